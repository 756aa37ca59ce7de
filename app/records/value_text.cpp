#include "app/records/value_text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace qd40::records {

namespace {

constexpr int kWidth = 8;
constexpr const char* kAsterisks = "********";

constexpr double kPow10[] = {1, 10, 100, 1000, 10000, 100000, 1000000};

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
    // Number of bounds below |v|, by bisection.
    const int k = static_cast<int>(std::lower_bound(std::begin(kBounds), std::end(kBounds), a) -
                                   std::begin(kBounds));
    int d = kDecimals[k];
    if (v < 0)
        d = std::max(0, d - 1);
    return d;
}

// Writes the digits of r backwards ending at p; returns the first.
template <class U>
char* digitsBackwards(char* p, U r, int fractionDigits) {
    for (int k = 0; k < fractionDigits; ++k) {
        *--p = static_cast<char>('0' + r % 10);
        r /= 10;
    }
    if (fractionDigits > 0)
        *--p = '.';
    do {
        *--p = static_cast<char>('0' + r % 10);
        r /= 10;
    } while (r != 0);
    return p;
}

// The "%.*f" text of value (no padding) written backwards ending at end;
// returns its first character. Only for |value| < 1e8. |value| x 10^d is
// exact in a double for a single and d <= 6; ties round to even, as printf
// does on the exact binary value.
char* fixedText(char* end, float value, int decimals) {
    const double v = value;
    const double x = std::fabs(v) * kPow10[decimals];  // below 1e14
    uint64_t r = static_cast<uint64_t>(x);             // truncation is the floor here
    const double frac = x - static_cast<double>(r);
    if (frac > 0.5 || (frac == 0.5 && (r & 1)))
        ++r;
    char* p = r <= 0xFFFFFFFFu ? digitsBackwards(end, static_cast<uint32_t>(r), decimals)
                               : digitsBackwards(end, r, decimals);
    if (std::signbit(v))
        *--p = '-';
    return p;
}

}  // namespace

void appendFixed(std::string& out, float value, int decimals) {
    char buf[40];
    char* end = buf + sizeof buf;
    const char* p = fixedText(end, value, decimals);
    const auto len = static_cast<size_t>(end - p);
    if (len < static_cast<size_t>(kWidth))
        out.append(static_cast<size_t>(kWidth) - len, ' ');
    out.append(p, len);
}

size_t writeValueText(char* dst, float value, int resolutionCode, char decimalSeparator) {
    if (!std::isfinite(value)) {
        std::memcpy(dst, kAsterisks, kWidth);
        return kWidth;
    }
    const bool automatic = resolutionCode < 0 || resolutionCode >= kAutoResolution;
    if (needsExponent(value)) {
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
    // The 8-character field only pads on the left, and leading spaces are
    // removed: the text is the unpadded printf text, when it fits.
    // The text is built backwards ending at buf + 32 (at most 9 characters
    // here), so that 16 bytes can always be copied from its start.
    char buf[48];
    char* end = buf + 32;
    int d = automatic ? autoDecimals(value) : resolutionCode;
    char* p;
    for (;;) {
        p = fixedText(end, value, d);
        const int len = static_cast<int>(end - p);
        if (len <= kWidth)
            break;
        if (d == 0) {
            std::memcpy(dst, kAsterisks, kWidth);
            return kWidth;
        }
        d = std::max(0, d - (len - kWidth));
    }
    if (d > 0) {
        if (automatic) {
            // Trailing zeros go, and the separator too when no decimal remains.
            while (end[-1] == '0')
                --end;
            if (end[-1] == '.')
                --end;
        }
        for (char* q = p; q < end; ++q) {
            if (*q == '.')
                *q = decimalSeparator;
        }
    }
    std::memcpy(dst, p, 16);  // a fixed-size copy is two moves; the length says what counts
    return static_cast<size_t>(end - p);
}

std::string formatValueText(float value, int resolutionCode, char decimalSeparator) {
    char buf[kValueTextMax];
    return std::string(buf, writeValueText(buf, value, resolutionCode, decimalSeparator));
}

}  // namespace qd40::records
