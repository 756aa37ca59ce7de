#include "app/security/clock.h"

#include <cctype>
#include <cstdio>
#include <ctime>

namespace qd40::security {

LocalTime SystemClock::now() const {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return localTimeOf(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min,
                       tm.tm_sec);
}

LocalTime localTimeOf(int year, int month, int day, int hour, int minute, int second) {
    return daysFromCivil(year, month, day) * kSecondsPerDay + hour * 3600 + minute * 60 + second;
}

LocalTime localTimeOf(const DateTime& dt) {
    return localTimeOf(dt.year, dt.month, dt.day, dt.hour, dt.minute, dt.second);
}

DateTime dateTimeOf(LocalTime t) {
    int64_t days = t / kSecondsPerDay;
    int64_t secs = t % kSecondsPerDay;
    if (secs < 0) {
        secs += kSecondsPerDay;
        --days;
    }
    DateTime dt;
    civilFromDays(days, dt.year, dt.month, dt.day);
    dt.hour = static_cast<int>(secs / 3600);
    dt.minute = static_cast<int>(secs / 60 % 60);
    dt.second = static_cast<int>(secs % 60);
    return dt;
}

LocalTime startOfDay(LocalTime t) {
    const DateTime dt = dateTimeOf(t);
    return localTimeOf(dt.year, dt.month, dt.day);
}

std::string formatLocalTime(LocalTime t, const char* fmt) {
    const DateTime dt = dateTimeOf(t);
    std::string out;
    char buf[16];
    for (const char* p = fmt; *p; ++p) {
        if (*p != '%' || !p[1]) {
            out += *p;
            continue;
        }
        ++p;
        switch (*p) {
            case 'Y':
                std::snprintf(buf, sizeof buf, "%04d", dt.year);
                break;
            case 'y':
                std::snprintf(buf, sizeof buf, "%02d", ((dt.year % 100) + 100) % 100);
                break;
            case 'm':
                std::snprintf(buf, sizeof buf, "%02d", dt.month);
                break;
            case 'd':
                std::snprintf(buf, sizeof buf, "%02d", dt.day);
                break;
            case 'H':
                std::snprintf(buf, sizeof buf, "%02d", dt.hour);
                break;
            case 'M':
                std::snprintf(buf, sizeof buf, "%02d", dt.minute);
                break;
            case 'S':
                std::snprintf(buf, sizeof buf, "%02d", dt.second);
                break;
            case '%':
                std::snprintf(buf, sizeof buf, "%%");
                break;
            default:
                std::snprintf(buf, sizeof buf, "%%%c", *p);
                break;
        }
        out += buf;
    }
    return out;
}

std::optional<LocalTime> parseDateTimePrefix(const std::string& text) {
    // "YYYY-MM-DD HH:MM:SS"
    static constexpr const char* kPattern = "dddd-dd-dd dd:dd:dd";
    const size_t n = std::char_traits<char>::length(kPattern);
    if (text.size() < n)
        return std::nullopt;
    for (size_t i = 0; i < n; ++i) {
        const bool digit = std::isdigit(static_cast<unsigned char>(text[i])) != 0;
        if (kPattern[i] == 'd' ? !digit : text[i] != kPattern[i])
            return std::nullopt;
    }
    auto num = [&](size_t pos, size_t len) { return std::stoi(text.substr(pos, len)); };
    DateTime dt;
    dt.year = num(0, 4);
    dt.month = num(5, 2);
    dt.day = num(8, 2);
    dt.hour = num(11, 2);
    dt.minute = num(14, 2);
    dt.second = num(17, 2);
    if (!dt.isValid())
        return std::nullopt;
    return localTimeOf(dt);
}

std::optional<LocalTime> parseDateTimePrefix(const std::string& text,
                                             const platform::Locale& userFormat) {
    if (auto iso = parseDateTimePrefix(text))
        return iso;
    const std::string pattern = userFormat.shortDatePattern() + " " + userFormat.timePattern();
    std::tm tm{};
    if (!::strptime(text.c_str(), pattern.c_str(), &tm))
        return std::nullopt;
    DateTime dt;
    dt.year = tm.tm_year + 1900;
    dt.month = tm.tm_mon + 1;
    dt.day = tm.tm_mday;
    dt.hour = tm.tm_hour;
    dt.minute = tm.tm_min;
    dt.second = tm.tm_sec;
    if (!dt.isValid())
        return std::nullopt;
    return localTimeOf(dt);
}

}  // namespace qd40::security
