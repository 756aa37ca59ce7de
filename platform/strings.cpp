#include "platform/strings.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace qd40::strings {

Language languageFromEnvironment() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value)
            return std::strncmp(value, "fr", 2) == 0 ? Language::French : Language::English;
    }
    return Language::English;
}

std::optional<std::string> StringTable::text(int id, Language language) const {
    for (const Entry& e : entries_) {
        if (e.id != id)
            continue;
        if (language == Language::French && e.french)
            return std::string(e.french);
        return std::string(e.english);
    }
    return std::nullopt;
}

std::string vformat(const char* fmt, va_list args) {
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(nullptr, 0, fmt, copy);
    va_end(copy);
    if (n < 0)
        return std::string(fmt);
    std::vector<char> buf(static_cast<size_t>(n) + 1);
    std::vsnprintf(buf.data(), buf.size(), fmt, args);
    return std::string(buf.data(), static_cast<size_t>(n));
}

std::string format(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    std::string s = vformat(fmt, args);
    va_end(args);
    return s;
}

std::string formatRuntime(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    std::string s = vformat(fmt, args);
    va_end(args);
    return s;
}

}  // namespace qd40::strings
