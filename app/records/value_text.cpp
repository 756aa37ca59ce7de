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

}  // namespace

void appendFixed(std::string& out, float value, int decimals) {
    const double v = value;
    const bool negative = std::signbit(v);
    // |v| x 10^d is exact in a double for a single and d <= 6; ties round to
    // even, as printf does on the exact binary value.
    const double x = std::fabs(v) * kPow10[decimals];
    double whole = std::floor(x);
    const double frac = x - whole;
    uint64_t r = static_cast<uint64_t>(whole);
    if (frac > 0.5 || (frac == 0.5 && (r & 1)))
        ++r;
    const uint64_t scale = static_cast<uint64_t>(kPow10[decimals]);
    uint64_t ip = r / scale;
    uint64_t fp = r % scale;

    char buf[40];
    int n = sizeof buf;
    for (int k = 0; k < decimals; ++k) {
        buf[--n] = static_cast<char>('0' + fp % 10);
        fp /= 10;
    }
    if (decimals > 0)
        buf[--n] = '.';
    do {
        buf[--n] = static_cast<char>('0' + ip % 10);
        ip /= 10;
    } while (ip != 0);
    if (negative)
        buf[--n] = '-';
    const int len = static_cast<int>(sizeof buf) - n;
    if (len < kWidth)
        out.append(static_cast<size_t>(kWidth - len), ' ');
    out.append(buf + n, static_cast<size_t>(len));
}

void appendValueText(std::string& out, float value, int resolutionCode, char decimalSeparator) {
    if (!std::isfinite(value)) {
        out += kAsterisks;
        return;
    }
    const bool automatic = resolutionCode < 0 || resolutionCode >= kAutoResolution;
    const size_t start = out.size();
    if (needsExponent(value)) {
        out += exponentText(value);
    } else {
        int d = automatic ? autoDecimals(value) : resolutionCode;
        for (;;) {
            appendFixed(out, value, d);
            const int len = static_cast<int>(out.size() - start);
            if (len <= kWidth)
                break;
            out.resize(start);
            if (d == 0) {
                out += kAsterisks;
                return;
            }
            d = std::max(0, d - (len - kWidth));
        }
        if (automatic && out.find('.', start) != std::string::npos) {
            size_t end = out.size();
            while (out[end - 1] == '0')
                --end;
            if (out[end - 1] == '.')
                --end;
            out.resize(end);
        }
    }
    // Leading spaces go; a separator left in front gets a "0".
    size_t first = start;
    while (first < out.size() && out[first] == ' ')
        ++first;
    out.erase(start, first - start);
    if (start < out.size() && out[start] == '.')
        out.insert(out.begin() + start, '0');
    for (size_t i = start; i < out.size(); ++i) {
        if (out[i] == '.')
            out[i] = decimalSeparator;
    }
}

std::string formatValueText(float value, int resolutionCode, char decimalSeparator) {
    std::string s;
    appendValueText(s, value, resolutionCode, decimalSeparator);
    return s;
}

}  // namespace qd40::records
