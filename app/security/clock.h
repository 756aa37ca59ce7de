// Wall-clock time as the security code sees it: local civil time in whole
// seconds since 1970-01-01 00:00:00, so that "now + N minutes" and calendar
// days are plain arithmetic. The clock is injected so that tests drive it.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "common/dates.h"
#include "platform/locale.h"

namespace qd40::security {

using LocalTime = int64_t;

inline constexpr LocalTime kSecondsPerMinute = 60;
inline constexpr LocalTime kSecondsPerDay = 86400;

class Clock {
public:
    virtual ~Clock() = default;
    // Must be callable from any thread.
    virtual LocalTime now() const = 0;
};

// The machine's local time.
class SystemClock : public Clock {
public:
    LocalTime now() const override;
};

LocalTime localTimeOf(const DateTime& dt);
LocalTime localTimeOf(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);
DateTime dateTimeOf(LocalTime t);
// The start (00:00:00) of the day of t.
LocalTime startOfDay(LocalTime t);

// strftime-like formatting with %Y %y %m %d %H %M %S and %%.
std::string formatLocalTime(LocalTime t, const char* fmt);

// The date and time format of audit trail lines and of the date selection.
inline constexpr const char* kDateTimeFormat = "%Y-%m-%d %H:%M:%S";
// Parses kDateTimeFormat at the start of text; nullopt when it does not match
// or the date is not a calendar date.
std::optional<LocalTime> parseDateTimePrefix(const std::string& text);
// The same, also accepting the user's short date and time ("10/12/2026
// 14:05:09" in a French locale).
std::optional<LocalTime> parseDateTimePrefix(const std::string& text,
                                             const platform::Locale& userFormat);

}  // namespace qd40::security
