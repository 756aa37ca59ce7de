#include "app/records/value_text.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace qd40::records {

namespace {

constexpr int kWidth = 8;
constexpr const char* kAsterisks = "********";

// 10^0 to 10^15.
constexpr std::array<uint64_t, 16> kPow10 = [] {
    std::array<uint64_t, 16> p{};
    uint64_t v = 1;
    for (uint64_t& x : p) {
        x = v;
        v *= 10;
    }
    return p;
}();

constexpr double kScale[] = {1, 10, 100, 1000, 10000, 100000, 1000000};

// The texts "0000" to "9999", four characters in memory order in each word
// on this little-endian host, so that digits are written four at a time.
constexpr std::array<uint32_t, 10000> kDigitQuads = [] {
    std::array<uint32_t, 10000> t{};
    for (uint32_t i = 0; i < 10000; ++i) {
        const uint32_t d[4] = {i / 1000, i / 100 % 10, i / 10 % 10, i % 10};
        t[i] = ('0' + d[0]) | ('0' + d[1]) << 8 | ('0' + d[2]) << 16 | ('0' + d[3]) << 24;
    }
    return t;
}();

// Values printed in exponent form: 99999999 and above, below -9999999.
bool needsExponent(float v) {
    return v >= 99999999.0f || v < -9999999.0f;
}

// "%8.<p>e" with p chosen so that the mantissa decimals fill 8 characters.
std::string exponentText(float v) {
    const double d = v;
    char probe[32];
    std::snprintf(probe, sizeof probe, "%.0e", d);
    const char* e = std::strchr(probe, 'e');
    const int expLen = e ? static_cast<int>(std::strlen(e + 1)) : 3;  // exponent sign and digits
    const int sign = v < 0 ? 1 : 0;
    const int precision = std::max(0, kWidth - sign - 3 - expLen);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%*.*e", kWidth, precision, d);
    return buf;
}

// The decimals of the automatic resolution: the most that fit in 8
// characters. The bounds are the largest singles that still print with that
// many decimals in 8 characters.
int autoDecimals(float v) {
    static constexpr float kBounds[] = {0.99999994f, 9.999999f, 99.99999f, 999.99994f,
                                        9999.999f,   99999.99f, 999999.94f};
    static constexpr int kDecimals[] = {6, 6, 5, 4, 3, 2, 1, 0};
    const float a = std::fabs(v);
    // The number of bounds below |v| (its place among the sorted bounds, as
    // a bisection finds it), counted with independent comparisons: a chain
    // of dependent bisection steps is slower here.
    int k = 0;
#pragma GCC unroll 8
    for (float bound : kBounds)
        k += bound < a ? 1 : 0;
    int d = kDecimals[k];
    if (v < 0)
        d = std::max(0, d - 1);
    return d;
}

// |v| x 10^d rounded to an integer as printf rounds the exact binary value:
// to the nearest, ties to even (the default rounding mode, which std::rint
// follows). Only for |v| < 1e8 and d <= 6: the product is then exact in a
// double (a single's 24 significant bits times 5^d < 2^14) and below 2^53.
uint64_t scaledRounded(float v, int d) {
    const double x = std::fabs(static_cast<double>(v)) * kScale[static_cast<size_t>(d)];
    return static_cast<uint64_t>(static_cast<int64_t>(std::rint(x)));
}

// The number of decimal digits of u: from its bit width, log10(2) ~
// 1233 / 4096 gives the count or one less, and one comparison settles which.
int digitCount(uint64_t u) {
    const int guess = static_cast<int>((std::bit_width(u | 1) * 1233) >> 12);
    return guess + ((u | 1) >= kPow10[static_cast<size_t>(guess)] ? 1 : 0);
}

// Writes at p the n (1 to 8) last decimal digits of u (below 10^8), zero
// padded, with the separator before the last d of them (none when d is 0;
// n > d, and n < 8 when d > 0); returns the length written. 8 bytes are
// stored: the text is composed in one word, so the work is the same
// whatever the number of digits.
size_t writeDigits(char* p, uint32_t u, int n, int d, char separator) {
    static_assert(std::endian::native == std::endian::little,
                  "digits are composed in memory order");
    uint64_t text = kDigitQuads[u / 10000] | uint64_t{kDigitQuads[u % 10000]} << 32;
    text >>= 8 * (8 - n);  // drops the leading digits: the first of n is now the lowest byte
    if (d > 0) {
        const int integerBits = 8 * (n - d);
        const uint64_t integer = text & ((uint64_t{1} << integerBits) - 1);
        text = integer | uint64_t{static_cast<uint8_t>(separator)} << integerBits |
               (text >> integerBits) << (integerBits + 8);
    }
    std::memcpy(p, &text, 8);
    return static_cast<size_t>(n + (d > 0 ? 1 : 0));
}

// Writes at dst the value text of a finite value below 1e8 in magnitude: the
// fixed-point text of `decimals` decimals that printf would print, with
// decimals reduced by the excess while it is longer than 8 characters; up to
// 8 bytes past the text may be overwritten. Returns its length, or 0 when
// even 0 decimals do not fit. Automatic texts drop the trailing zeros of
// their decimals, and the separator with them when no decimal remains.
size_t fixedText(char* dst, float value, int decimals, char separator, bool automatic) {
    const int sign = std::signbit(value) ? 1 : 0;
    int d = decimals;
    uint64_t r;
    int digits;  // of the text: at least one before the separator
    for (;;) {
        r = scaledRounded(value, d);
        digits = std::max(digitCount(r), d + 1);
        const int length = sign + digits + (d > 0 ? 1 : 0);
        if (length <= kWidth)
            break;
        if (d == 0)
            return 0;
        d = std::max(0, d - (length - kWidth));
    }
    if (automatic) {
        while (d > 0 && r % 10 == 0) {
            r /= 10;
            --d;
            --digits;
        }
    }
    dst[0] = '-';
    return static_cast<size_t>(sign) +
           writeDigits(dst + sign, static_cast<uint32_t>(r), digits, d, separator);
}

// The text of a value that is not a finite number (8 "*") or that is
// printed in exponent form. Kept apart so that the usual values take a
// short path.
[[gnu::noinline]] size_t writeRareValueText(char* dst, float value, char decimalSeparator) {
    if (!std::isfinite(value)) {
        std::memcpy(dst, kAsterisks, kWidth);
        return kWidth;
    }
    const std::string e = exponentText(value);
    size_t n = 0;
    for (char c : e) {
        if (c == ' ')
            continue;
        dst[n++] = c == '.' ? decimalSeparator : c;
        if (n == kValueTextMax)
            break;
    }
    return n;
}

}  // namespace

void appendFixed(std::string& out, float value, int decimals) {
    // The digits of the scaled value, at least one before the point.
    char digits[24];
    const auto r = scaledRounded(value, decimals);
    const auto count =
        static_cast<size_t>(std::to_chars(digits, digits + sizeof digits, r).ptr - digits);
    const size_t d = static_cast<size_t>(decimals);
    std::string text = std::signbit(value) ? "-" : "";
    if (count <= d)
        text.append(d + 1 - count, '0');
    text.append(digits, count);
    if (d > 0)
        text.insert(text.size() - d, 1, '.');
    if (text.size() < static_cast<size_t>(kWidth))
        out.append(static_cast<size_t>(kWidth) - text.size(), ' ');
    out += text;
}

size_t writeValueText(char* dst, float value, int resolutionCode, char decimalSeparator) {
    if (!std::isfinite(value) || needsExponent(value))
        return writeRareValueText(dst, value, decimalSeparator);
    // The 8-character field only pads on the left, and leading spaces are
    // removed: the text is the unpadded printf text, when it fits.
    const bool automatic = resolutionCode < 0 || resolutionCode >= kAutoResolution;
    const int decimals = automatic ? autoDecimals(value) : resolutionCode;
    const size_t len = fixedText(dst, value, decimals, decimalSeparator, automatic);
    if (len == 0) {
        std::memcpy(dst, kAsterisks, kWidth);
        return kWidth;
    }
    return len;
}

std::string formatValueText(float value, int resolutionCode, char decimalSeparator) {
    char buf[kValueTextMax];
    return std::string(buf, writeValueText(buf, value, resolutionCode, decimalSeparator));
}

}  // namespace qd40::records
