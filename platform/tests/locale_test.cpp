#include "platform/locale.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace qd40::platform {
namespace {

const DateTime kAfternoon{2026, 3, 7, 14, 5, 9, 0};
const DateTime kMidnight{1999, 12, 31, 0, 0, 0, 0};

TEST(Locale, PosixFormatsAreIsoDateAndTwentyFourHourTime) {
    const Locale l = Locale::posix();
    EXPECT_EQ(l.shortDate(kAfternoon), "2026-03-07");
    EXPECT_EQ(l.time(kAfternoon), "14:05:09");
    EXPECT_EQ(l.time(kMidnight), "00:00:00");
    EXPECT_EQ(l.decimalSeparator(), '.');
}

TEST(Locale, PatternsFormatEveryField) {
    struct Case {
        const char* pattern;
        DateTime dt;
        const char* expected;
    };
    const Case cases[] = {
        {"%d/%m/%Y", kAfternoon, "07/03/2026"},
        {"%D", kAfternoon, "03/07/26"},
        {"%e.%m.%y", kAfternoon, " 7.03.26"},
        {"%r", kAfternoon, "02:05:09 PM"},
        {"%I:%M %p", kMidnight, "12:00 AM"},
        {"%T", kMidnight, "00:00:00"},
        {"%F day %j %%", kAfternoon, "2026-03-07 day 066 %"},
        {"%a %-d", kAfternoon, "Sat 7"},
        {"", kAfternoon, ""},
    };
    for (const Case& c : cases) {
        const Locale l(c.pattern, c.pattern, ',');
        EXPECT_EQ(l.shortDate(c.dt), c.expected) << c.pattern;
        EXPECT_EQ(l.time(c.dt), c.expected) << c.pattern;
    }
}

TEST(Locale, CAndUnsetEnvironmentsGiveThePosixFormats) {
    for (const char* value : {"C", "POSIX", "C.UTF-8", "POSIX.utf8", "xx_NOT_INSTALLED.UTF-8"}) {
        setenv("LC_ALL", value, 1);
        const Locale l = Locale::fromEnvironment();
        EXPECT_EQ(l.shortDate(kAfternoon), "2026-03-07") << value;
        EXPECT_EQ(l.time(kAfternoon), "14:05:09") << value;
        EXPECT_EQ(l.decimalSeparator(), '.') << value;
    }
    setenv("LC_ALL", "C", 1);
}

}  // namespace
}  // namespace qd40::platform
