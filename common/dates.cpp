#include "common/dates.h"

#include <cmath>

namespace qd40 {

namespace {
constexpr int64_t kOleEpochDays = -25569;  // 1899-12-30 relative to 1970-01-01
constexpr int64_t kMsPerDay = 86400000;
}  // namespace

int64_t daysFromCivil(int year, int month, int day) {
    const int64_t y = static_cast<int64_t>(year) - (month <= 2 ? 1 : 0);
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t mp = (month + 9) % 12;
    const int64_t doy = (153 * mp + 2) / 5 + day - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void civilFromDays(int64_t z, int& year, int& month, int& day) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

int daysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12)
        return 0;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

int dayOfWeek(int year, int month, int day) {
    const int64_t d = daysFromCivil(year, month, day);
    return static_cast<int>(d >= -4 ? (d + 4) % 7 : (d + 5) % 7 + 6);
}

bool DateTime::isValid() const {
    return month >= 1 && month <= 12 && day >= 1 && day <= daysInMonth(year, month) && hour >= 0 &&
           hour < 24 && minute >= 0 && minute < 60 && second >= 0 && second < 60 &&
           millisecond >= 0 && millisecond < 1000;
}

double toOleDate(const DateTime& dt) {
    const int64_t days = daysFromCivil(dt.year, dt.month, dt.day) - kOleEpochDays;
    const double fraction =
        ((dt.hour * 60.0 + dt.minute) * 60.0 + dt.second + dt.millisecond / 1000.0) / 86400.0;
    return days >= 0 ? static_cast<double>(days) + fraction : static_cast<double>(days) - fraction;
}

std::optional<DateTime> fromOleDate(double date) {
    // The OLE range: 0100-01-01 (-657434) to 9999-12-31 (2958465.99...).
    if (!std::isfinite(date) || date <= -657435.0 || date >= 2958466.0)
        return std::nullopt;
    // Work in whole milliseconds to avoid drift; negative dates keep a positive time.
    const double wholeDays = std::trunc(date);
    int64_t ms = std::llround(std::fabs(date - wholeDays) * kMsPerDay);
    int64_t days = static_cast<int64_t>(wholeDays);
    if (ms >= kMsPerDay) {
        // The time rounded up to midnight: the next calendar day, also for a
        // negative date, whose time runs forward from its own midnight.
        ms -= kMsPerDay;
        days += 1;
    }
    DateTime dt;
    civilFromDays(days + kOleEpochDays, dt.year, dt.month, dt.day);
    if (dt.year > 9999)
        return std::nullopt;
    dt.hour = static_cast<int>(ms / 3600000);
    dt.minute = static_cast<int>(ms / 60000 % 60);
    dt.second = static_cast<int>(ms / 1000 % 60);
    dt.millisecond = static_cast<int>(ms % 1000);
    return dt;
}

int64_t toSeconds2000Wide(const DateTime& dt) {
    const int64_t days = daysFromCivil(dt.year, dt.month, dt.day) - daysFromCivil(2000, 1, 1);
    return days * 86400 + dt.hour * 3600 + dt.minute * 60 + dt.second;
}

DateTime fromSeconds2000Wide(int64_t seconds) {
    DateTime dt;
    int64_t days = seconds / 86400;
    int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    civilFromDays(days + daysFromCivil(2000, 1, 1), dt.year, dt.month, dt.day);
    dt.hour = static_cast<int>(rest / 3600);
    dt.minute = static_cast<int>(rest / 60 % 60);
    dt.second = static_cast<int>(rest % 60);
    return dt;
}

uint32_t toSeconds2000(const DateTime& dt) {
    return static_cast<uint32_t>(toSeconds2000Wide(dt));
}

DateTime fromSeconds2000(uint32_t seconds) {
    return fromSeconds2000Wide(seconds);
}

double oleDateFromSeconds2000(uint32_t seconds) {
    return toOleDate(fromSeconds2000(seconds));
}

std::optional<uint32_t> seconds2000FromOleDate(double date) {
    auto dt = fromOleDate(date);
    if (!dt)
        return std::nullopt;
    const int64_t days = daysFromCivil(dt->year, dt->month, dt->day) - daysFromCivil(2000, 1, 1);
    int64_t s = days * 86400 + dt->hour * 3600 + dt->minute * 60 + dt->second +
                (dt->millisecond >= 500 ? 1 : 0);
    if (s < 0 || s > 0xFFFFFFFFLL)
        return std::nullopt;
    return static_cast<uint32_t>(s);
}

}  // namespace qd40
