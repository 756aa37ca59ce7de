// The user's date, time and number formats: the short date, the time of day
// and the decimal separator that record texts and exports use. Tests build a
// fixed Locale; the application takes it from the environment once.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "common/dates.h"

namespace qd40::platform {

class Locale {
public:
    // Patterns use strftime conversions. %Y %y %m %d %e %H %I %M %S %p %j %%
    // and the compound %D %F %T %R %r are formatted here directly (fast and
    // independent of the process locale); any other conversion goes through
    // strftime.
    Locale(std::string_view shortDatePattern, std::string_view timePattern, char decimalSeparator,
           std::string amText = "AM", std::string pmText = "PM");

    // The C/POSIX formats: YYYY-MM-DD, HH:MM:SS and '.'.
    static Locale posix();
    // The formats of the locale the environment selects (LC_ALL, then LC_TIME
    // or LC_NUMERIC, then LANG); the C/POSIX locale, an unset environment or
    // a locale that is not installed give posix().
    static Locale fromEnvironment();

    std::string shortDate(const DateTime& dt) const;
    std::string time(const DateTime& dt) const;
    // Appending forms for tight loops.
    void appendShortDate(std::string& out, const DateTime& dt) const;
    void appendTime(std::string& out, const DateTime& dt) const;
    char decimalSeparator() const { return decimal_; }
    // The strftime patterns as given (strptime reads texts written with them).
    const std::string& shortDatePattern() const { return datePattern_; }
    const std::string& timePattern() const { return timePattern_; }

private:
    struct Token {
        char conversion;   // 0: literal text
        char flag;         // '-': no padding, '_': space padding, else the default
        std::string text;  // the literal, or the conversion text for strftime
    };
    using Pattern = std::vector<Token>;

    Pattern compile(std::string_view pattern) const;
    void format(std::string& out, const Pattern& pattern, const DateTime& dt) const;

    std::string am_;
    std::string pm_;
    std::string datePattern_;
    std::string timePattern_;
    Pattern date_;
    Pattern time_;
    char decimal_;
};

}  // namespace qd40::platform
