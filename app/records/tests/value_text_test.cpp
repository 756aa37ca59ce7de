#include "app/records/value_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace qd40::records {
namespace {

// The value text built literally from the rules with printf: "%8.<d>f" with
// the decimals reduced by the excess, 8 "*" when nothing fits, "%8.<p>e" for
// large values, trailing zeros dropped for the automatic resolution, leading
// spaces removed, and the locale's separator in place of the point.
std::string printfValueText(float value, int code, char separator) {
    if (!std::isfinite(value))
        return "********";
    const double v = value;
    const bool automatic = code < 0 || code >= kAutoResolution;
    char buf[64];
    std::string text;
    if (value >= 99999999.0f || value < -9999999.0f) {
        std::snprintf(buf, sizeof buf, "%.0e", v);
        const int expLen = static_cast<int>(std::strlen(std::strchr(buf, 'e') + 1));
        const int precision = std::max(0, 8 - (value < 0 ? 1 : 0) - 3 - expLen);
        std::snprintf(buf, sizeof buf, "%8.*e", precision, v);
        text = buf;
    } else {
        int d = code;
        if (automatic) {
            const float a = std::fabs(value);
            // Each bound is the largest single that still prints with its decimals.
            d = a <= 0.99999994f  ? 6
                : a <= 9.999999f  ? 6
                : a <= 99.99999f  ? 5
                : a <= 999.99994f ? 4
                : a <= 9999.999f  ? 3
                : a <= 99999.99f  ? 2
                : a <= 999999.94f ? 1
                                  : 0;
            if (value < 0)
                d = std::max(0, d - 1);
        }
        for (;;) {
            text.assign(buf, static_cast<size_t>(std::snprintf(buf, sizeof buf, "%8.*f", d, v)));
            const int excess = static_cast<int>(text.size()) - 8;
            if (excess <= 0)
                break;
            if (d == 0)
                return "********";
            d = std::max(0, d - excess);
        }
        if (automatic && text.find('.') != std::string::npos) {
            while (text.back() == '0')
                text.pop_back();
            if (text.back() == '.')
                text.pop_back();
        }
    }
    text.erase(0, text.find_first_not_of(' '));
    if (!text.empty() && text[0] == '.')
        text.insert(text.begin(), '0');
    for (char& c : text) {
        if (c == '.')
            c = separator;
    }
    return text;
}

TEST(ValueText, EqualsThePrintfRulesOnManyValues) {
    std::mt19937 rng(2024);
    std::uniform_int_distribution<uint32_t> bits;
    std::uniform_int_distribution<int> code(0, 9);
    std::vector<float> values;
    // Any bit pattern: NaNs, infinities, subnormals, huge and tiny values.
    for (int i = 0; i < 100000; ++i)
        values.push_back(std::bit_cast<float>(bits(rng)));
    // Measurement-like values at every scale the texts switch at.
    for (int i = 0; i < 100000; ++i) {
        const float unit = std::uniform_real_distribution<float>(-1.0f, 1.0f)(rng);
        values.push_back(std::ldexp(unit, static_cast<int>(rng() % 60) - 30));
    }
    // Exact ties (k / 2^n) and the neighbours of the powers of ten and of
    // the automatic bounds, where rounding carries into a new digit.
    for (int i = 0; i < 20000; ++i)
        values.push_back(std::ldexp(static_cast<float>(rng() % 200001) - 100000.0f,
                                    -static_cast<int>(rng() % 12)));
    for (float p = 1e-7f; p < 1e9f; p *= 10.0f) {
        for (float edge : {p, p * 0.99999994f, p * 0.9999999f, p * 0.999995f, p * 0.99995f,
                           p * 0.9995f, p * 0.995f, p * 0.95f}) {
            float v = edge;
            for (int k = 0; k < 8; ++k) {
                values.push_back(v);
                values.push_back(-v);
                v = std::nextafter(v, 0.0f);
            }
        }
    }
    for (float v : values) {
        const int c = code(rng);
        const char separator = c % 2 ? ',' : '.';
        ASSERT_EQ(formatValueText(v, c, separator), printfValueText(v, c, separator))
            << std::hexfloat << v << " code " << c;
    }
}

TEST(ValueText, FixedDigitsMatchPrintfForEverySingle) {
    std::mt19937 rng(12345);
    std::uniform_int_distribution<uint32_t> bits;
    int checked = 0;
    for (int i = 0; i < 200000; ++i) {
        const float v = std::bit_cast<float>(bits(rng));
        if (!std::isfinite(v) || std::fabs(v) >= 1e8f)
            continue;
        const int d = i % 7;
        std::string ours;
        appendFixed(ours, v, d);
        char ref[64];
        std::snprintf(ref, sizeof ref, "%8.*f", d, static_cast<double>(v));
        ASSERT_EQ(ours, ref) << v << " d=" << d;
        ++checked;
    }
    // Exact ties round to even, as printf does.
    for (float v : {0.125f, 0.375f, 2.5f, 3.5f, -0.5f, 1e7f + 0.5f}) {
        for (int d = 0; d <= 3; ++d) {
            std::string ours;
            appendFixed(ours, v, d);
            char ref[64];
            std::snprintf(ref, sizeof ref, "%8.*f", d, static_cast<double>(v));
            EXPECT_EQ(ours, ref) << v << " d=" << d;
        }
    }
}

TEST(ValueText, ResolutionRules) {
    struct Case {
        float value;
        int code;
        char sep;
        const char* expected;
    };
    const float aboveNineish = std::nextafter(9.999999f, 10.0f);
    const Case cases[] = {
        {1.5f, 2, '.', "1.50"},
        {1.25f, 2, ',', "1,25"},
        {3.0f, 0, '.', "3"},
        {12345.678f, 5, '.', "12345.68"},    // 5 decimals do not fit: 2 remain
        {-1234567.0f, 3, '.', "-1234567"},   // no decimal fits
        {1e8f, 2, '.', "1.00e+08"},          // 99999999 and above: exponent form
        {-12345678.0f, 1, '.', "-1.2e+07"},  // below -9999999
        {-9999999.0f, 3, '.', "-9999999"},
        {std::numeric_limits<float>::quiet_NaN(), 2, '.', "********"},
        {std::numeric_limits<float>::infinity(), 6, '.', "********"},
        // automatic
        {1.5f, 6, '.', "1.5"},
        {1.5f, 9, ',', "1,5"},  // codes above 6 read as automatic
        {0.0f, 6, '.', "0"},
        {1e-7f, 6, '.', "0"},
        {0.000001f, 6, '.', "0.000001"},
        {-0.5f, 6, '.', "-0.5"},
        {-0.1234567f, 6, '.', "-0.12346"},  // one decimal fewer for a negative value
        {9.999999f, 6, '.', "9.999999"},
        {aboveNineish, 6, '.', "10"},  // past the bound: 5 decimals, "10.00000"
        {0.12345678f, 6, '.', "0.123457"},
        {123456.7f, 6, '.', "123456.7"},
        {999999.94f, 6, '.', "999999.9"},
        {1234567.0f, 6, '.', "1234567"},
        {-9999.5f, 6, '.', "-9999.5"},
        {-99999.99f, 6, '.', "-100000"},  // rounds up to 7 digits: no decimal left
        {2e9f, 6, ',', "2,00e+09"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(formatValueText(c.value, c.code, c.sep), c.expected)
            << c.value << " code " << c.code;
    }
}

}  // namespace
}  // namespace qd40::records
