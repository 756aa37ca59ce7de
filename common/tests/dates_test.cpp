#include "common/dates.h"

#include <gtest/gtest.h>

namespace qd40 {
namespace {

struct OleCase {
    DateTime dt;
    double ole;
};

TEST(Dates, OleAutomationDatesBothWays) {
    const OleCase cases[] = {
        {{1899, 12, 30, 0, 0, 0}, 0.0},
        {{1899, 12, 31, 0, 0, 0}, 1.0},
        {{1900, 1, 1, 0, 0, 0}, 2.0},
        {{1899, 12, 29, 6, 0, 0}, -1.25},  // negative dates keep a positive time
        {{1900, 2, 28, 0, 0, 0}, 60.0},
        {{1900, 3, 1, 0, 0, 0}, 61.0},  // 1900 is not a leap year
        {{100, 1, 1, 0, 0, 0}, -657434.0},
        {{100, 1, 1, 12, 0, 0}, -657434.5},
        {{9999, 12, 31, 12, 0, 0}, 2958465.5},
        {{2000, 1, 1, 0, 0, 0}, 36526.0},
        {{2000, 2, 29, 12, 0, 0}, 36585.5},
        {{2009, 12, 31, 23, 59, 58}, 40178.0 + (86400.0 - 2.0) / 86400.0},
    };
    for (const auto& c : cases) {
        EXPECT_DOUBLE_EQ(toOleDate(c.dt), c.ole) << c.dt.year << "-" << c.dt.month;
        auto back = fromOleDate(c.ole);
        ASSERT_TRUE(back);
        EXPECT_EQ(*back, c.dt) << c.ole;
    }
    EXPECT_FALSE(fromOleDate(1e300));
}

struct RoundingCase {
    double ole;
    std::optional<DateTime> expected;
};

TEST(Dates, OleTimesRoundedToMidnightGoToTheNextDayAndTheRangeIsKept) {
    const RoundingCase cases[] = {
        // A time rounded up to midnight moves forward to the next calendar
        // day, for negative dates too (their time runs forward as well).
        {-1.9999999999, DateTime{1899, 12, 30, 0, 0, 0}},
        {-0.9999999999, DateTime{1899, 12, 31, 0, 0, 0}},
        {0.9999999999, DateTime{1899, 12, 31, 0, 0, 0}},
        {-2.0000000001, DateTime{1899, 12, 28, 0, 0, 0}},
        {-657434.9999, DateTime{100, 1, 1, 23, 59, 51, 360}},
        {-657435.0, std::nullopt},          // before 0100-01-01
        {2958466.0, std::nullopt},          // past 9999-12-31
        {2958465.999999999, std::nullopt},  // rounds to 10000-01-01
    };
    for (const auto& c : cases)
        EXPECT_EQ(fromOleDate(c.ole), c.expected) << c.ole;
}

TEST(Dates, WideSecondsRunPastThe32BitCount) {
    const DateTime last{2255, 12, 31, 23, 59, 59};
    const int64_t s = toSeconds2000Wide(last);
    EXPECT_GT(s, int64_t{0xFFFFFFFF});
    EXPECT_EQ(fromSeconds2000Wide(s), last);
    EXPECT_EQ(fromSeconds2000Wide(-1), (DateTime{1999, 12, 31, 23, 59, 59}));
}

TEST(Dates, Seconds2000AreExactAcrossLeapYears) {
    EXPECT_EQ(toSeconds2000({2000, 1, 1, 0, 0, 0}), 0u);
    EXPECT_EQ(toSeconds2000({2000, 3, 1, 0, 0, 0}), 60u * 86400u);
    EXPECT_EQ(toSeconds2000({2100, 3, 1, 0, 0, 0}) - toSeconds2000({2100, 2, 28, 0, 0, 0}), 86400u)
        << "2100 is not a leap year";
    for (uint32_t s : {0u, 1u, 86399u, 86400u, 315532799u, 0xFFFFFFFFu}) {
        EXPECT_EQ(toSeconds2000(fromSeconds2000(s)), s);
        EXPECT_EQ(seconds2000FromOleDate(oleDateFromSeconds2000(s)), s);
    }
    EXPECT_FALSE(seconds2000FromOleDate(toOleDate({1999, 12, 31, 23, 59, 59})));
}

TEST(Dates, CalendarHelpers) {
    EXPECT_EQ(daysInMonth(2000, 2), 29);
    EXPECT_EQ(daysInMonth(1900, 2), 28);
    EXPECT_EQ(dayOfWeek(2000, 1, 1), 6);  // a Saturday
    EXPECT_EQ(dayOfWeek(1969, 12, 28), 0);
    EXPECT_FALSE((DateTime{2001, 2, 29}).isValid());
}

}  // namespace
}  // namespace qd40
