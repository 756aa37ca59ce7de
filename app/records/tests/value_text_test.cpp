#include "app/records/value_text.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>

namespace qd40::records {
namespace {

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
