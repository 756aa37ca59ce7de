#include "platform/locale.h"

#include <langinfo.h>
#include <locale.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string_view>

namespace qd40::platform {

namespace {

void appendPadded(std::string& out, int value, int width, char pad) {
    char buf[16];
    int n = 0;
    unsigned v = static_cast<unsigned>(value < 0 ? -value : value);
    do {
        buf[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v != 0);
    if (value < 0)
        out += '-';
    for (int k = n; k < width; ++k)
        out += pad;
    while (n > 0)
        out += buf[--n];
}

std::string_view expandCompound(char c) {
    switch (c) {
        case 'D':
            return "%m/%d/%y";
        case 'F':
            return "%Y-%m-%d";
        case 'T':
            return "%H:%M:%S";
        case 'R':
            return "%H:%M";
        case 'r':
            return "%I:%M:%S %p";
        default:
            return {};
    }
}

// "C" and "POSIX", also with a character set ("C.UTF-8"): the formats stay the C ones.
bool isCPosix(const char* name) {
    if (name == nullptr || *name == '\0')
        return true;
    const std::string_view n(name);
    for (std::string_view c : {"C", "POSIX"})
        if (n == c || (n.size() > c.size() && n.substr(0, c.size()) == c && n[c.size()] == '.'))
            return true;
    return false;
}

const char* environmentLocale(const char* category) {
    for (const char* var : {"LC_ALL", category, "LANG"}) {
        const char* v = std::getenv(var);
        if (v && *v)
            return v;
    }
    return nullptr;
}

}  // namespace

Locale::Locale(std::string_view shortDatePattern, std::string_view timePattern,
               char decimalSeparator, std::string amText, std::string pmText)
    : am_(std::move(amText)),
      pm_(std::move(pmText)),
      datePattern_(shortDatePattern),
      timePattern_(timePattern),
      date_(compile(shortDatePattern)),
      time_(compile(timePattern)),
      decimal_(decimalSeparator) {}

Locale Locale::posix() {
    return Locale("%Y-%m-%d", "%H:%M:%S", '.');
}

Locale Locale::fromEnvironment() {
    const char* timeName = environmentLocale("LC_TIME");
    const char* numericName = environmentLocale("LC_NUMERIC");
    Locale result = posix();
    if (!isCPosix(timeName)) {
        if (locale_t loc = newlocale(LC_TIME_MASK, timeName, nullptr)) {
            result = Locale(nl_langinfo_l(D_FMT, loc), nl_langinfo_l(T_FMT, loc), '.',
                            nl_langinfo_l(AM_STR, loc), nl_langinfo_l(PM_STR, loc));
            freelocale(loc);
        }
    }
    if (!isCPosix(numericName)) {
        if (locale_t loc = newlocale(LC_NUMERIC_MASK, numericName, nullptr)) {
            const char* radix = nl_langinfo_l(RADIXCHAR, loc);
            // A separator outside ASCII has no single 8-bit form: keep '.'.
            if (radix && radix[0] > 0 && static_cast<unsigned char>(radix[0]) < 0x80 &&
                radix[1] == '\0')
                result.decimal_ = radix[0];
            freelocale(loc);
        }
    }
    return result;
}

Locale::Pattern Locale::compile(std::string_view pattern) const {
    Pattern out;
    auto literal = [&out](std::string_view s) {
        if (s.empty())
            return;
        if (out.empty() || out.back().conversion != 0)
            out.push_back(Token{0, 0, {}});
        out.back().text += s;
    };
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%' || i + 1 == pattern.size()) {
            literal(pattern.substr(i, 1));
            continue;
        }
        size_t j = i + 1;
        // GNU flags: '-' drops the padding, '_' pads with spaces; the other
        // flags and the E and O modifiers are accepted and ignored.
        char flag = 0;
        while (j + 1 < pattern.size() && std::strchr("-_0^#EO", pattern[j])) {
            if (pattern[j] == '-' || pattern[j] == '_')
                flag = pattern[j];
            ++j;
        }
        const char c = pattern[j];
        if (c == '%') {
            literal("%");
        } else if (auto compound = expandCompound(c); !compound.empty()) {
            for (Token& t : compile(compound)) {
                if (t.conversion == 0) {
                    literal(t.text);
                } else {
                    out.push_back(std::move(t));
                }
            }
        } else {
            out.push_back(Token{c, flag, std::string(pattern.substr(i, j - i + 1))});
        }
        i = j;
    }
    return out;
}

void Locale::format(std::string& out, const Pattern& pattern, const DateTime& dt) const {
    for (const Token& t : pattern) {
        auto appendNumber = [&out, &t](int value, int width, char pad) {
            if (t.flag == '-')
                width = 0;
            if (t.flag == '_')
                pad = ' ';
            appendPadded(out, value, width, pad);
        };
        switch (t.conversion) {
            case 0:
                out += t.text;
                break;
            case 'Y':
                appendNumber(dt.year, 4, '0');
                break;
            case 'y':
                appendNumber(((dt.year % 100) + 100) % 100, 2, '0');
                break;
            case 'm':
                appendNumber(dt.month, 2, '0');
                break;
            case 'd':
                appendNumber(dt.day, 2, '0');
                break;
            case 'e':
                appendNumber(dt.day, 2, ' ');
                break;
            case 'H':
                appendNumber(dt.hour, 2, '0');
                break;
            case 'I':
                appendNumber(dt.hour % 12 == 0 ? 12 : dt.hour % 12, 2, '0');
                break;
            case 'M':
                appendNumber(dt.minute, 2, '0');
                break;
            case 'S':
                appendNumber(dt.second, 2, '0');
                break;
            case 'p':
                out += dt.hour < 12 ? am_ : pm_;
                break;
            case 'j':
                appendNumber(static_cast<int>(daysFromCivil(dt.year, dt.month, dt.day) -
                                              daysFromCivil(dt.year, 1, 1)) +
                                 1,
                             3, '0');
                break;
            default: {
                std::tm tm{};
                tm.tm_year = dt.year - 1900;
                tm.tm_mon = dt.month - 1;
                tm.tm_mday = dt.day;
                tm.tm_hour = dt.hour;
                tm.tm_min = dt.minute;
                tm.tm_sec = dt.second;
                tm.tm_wday = dayOfWeek(dt.year, dt.month, dt.day);
                tm.tm_yday = static_cast<int>(daysFromCivil(dt.year, dt.month, dt.day) -
                                              daysFromCivil(dt.year, 1, 1));
                char buf[128];
                const size_t n = std::strftime(buf, sizeof buf, t.text.c_str(), &tm);
                out.append(buf, n);
            }
        }
    }
}

void Locale::appendShortDate(std::string& out, const DateTime& dt) const {
    format(out, date_, dt);
}
void Locale::appendTime(std::string& out, const DateTime& dt) const {
    format(out, time_, dt);
}

std::string Locale::shortDate(const DateTime& dt) const {
    std::string s;
    appendShortDate(s, dt);
    return s;
}

std::string Locale::time(const DateTime& dt) const {
    std::string s;
    appendTime(s, dt);
    return s;
}

}  // namespace qd40::platform
