// Texts by id in English and French, as each component's string table. The
// language comes from the locale environment: LC_ALL, then LC_MESSAGES, then
// LANG; French when the first one set begins with "fr", otherwise English.
#pragma once
#include <cstdarg>
#include <optional>
#include <span>
#include <string>
#include <type_traits>

namespace qd40::strings {

enum class Language { English, French };

Language languageFromEnvironment();

struct Entry {
    int id;
    const char* english;
    const char* french;  // nullptr when the text has no French form: English is used
};

class StringTable {
public:
    constexpr explicit StringTable(std::span<const Entry> entries) : entries_(entries) {}

    // The text of id in the given language, or nullopt when the table lacks it.
    std::optional<std::string> text(int id, Language language) const;
    std::optional<std::string> text(int id) const { return text(id, languageFromEnvironment()); }
    // The text, or "" when the table lacks it.
    std::string textOrEmpty(int id) const { return text(id).value_or(std::string()); }

private:
    std::span<const Entry> entries_;
};

// printf-style formatting of a table text ("Chan%02.2d", "%ld records ...").
std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string vformat(const char* fmt, va_list args);
// printf-style formatting of a format known only at run time (a table text).
std::string formatRuntime(const char* fmt, ...);
// What printf can take: numbers, enumerations, C strings and pointers. An
// object such as std::string would be undefined behaviour.
template <class T>
concept PrintfArgument = std::is_arithmetic_v<T> || std::is_enum_v<T> || std::is_pointer_v<T>;
// Formats a text taken from a table; the format is checked at run time only.
template <PrintfArgument... Args>
std::string formatText(const std::string& fmt, Args... args) {
    return formatRuntime(fmt.c_str(), args...);
}

// Component tables. Each component owns its ids, like the resources of a
// Windows module.
const StringTable& serverStrings();
const StringTable& controlStrings();

}  // namespace qd40::strings
