// Calendar conversions used across the system: OLE automation dates (days
// since 1899-12-30 as a double) and module times (seconds since 2000-01-01),
// both through an exact proleptic Gregorian calendar.
#pragma once
#include <cstdint>
#include <optional>

namespace qd40 {

struct DateTime {
    int year = 2000;
    int month = 1;  // 1..12
    int day = 1;    // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;

    bool operator==(const DateTime&) const = default;
    bool isValid() const;
};

// Days since 1970-01-01 of a civil date, and back.
int64_t daysFromCivil(int year, int month, int day);
void civilFromDays(int64_t days, int& year, int& month, int& day);
int daysInMonth(int year, int month);
// 0 = Sunday .. 6 = Saturday
int dayOfWeek(int year, int month, int day);

// OLE automation date: the integer part counts days from 1899-12-30, the
// fraction is the time of day; for dates before 1899-12-30 the fraction is
// still added as a positive time (-1.25 is 1899-12-29 06:00).
double toOleDate(const DateTime& dt);
std::optional<DateTime> fromOleDate(double date);

// Module time: whole seconds since 2000-01-01 00:00:00.
inline constexpr int64_t kSecondsFrom1970To2000 = 946684800;
// The 32-bit count reaches 2136-02-07 06:28:15; later dates wrap.
uint32_t toSeconds2000(const DateTime& dt);
DateTime fromSeconds2000(uint32_t seconds);
// The same count on 64 bits, for clocks that run past 2136 (a module clock
// holds years up to 2255).
int64_t toSeconds2000Wide(const DateTime& dt);
DateTime fromSeconds2000Wide(int64_t seconds);

double oleDateFromSeconds2000(uint32_t seconds);
// Rounds to the nearest second; dates before 2000 or past the u32 range give nullopt.
std::optional<uint32_t> seconds2000FromOleDate(double date);

}  // namespace qd40
