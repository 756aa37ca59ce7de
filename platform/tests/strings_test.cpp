#include "platform/strings.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace qd40::strings {
namespace {

struct EnvCase {
    const char* lcAll;
    const char* lcMessages;
    const char* lang;
    Language expected;
};

TEST(Strings, LanguageFollowsTheFirstLocaleVariableSet) {
    const EnvCase cases[] = {
        {nullptr, nullptr, nullptr, Language::English},
        {nullptr, nullptr, "fr_FR.UTF-8", Language::French},
        {nullptr, "en_US.UTF-8", "fr_FR.UTF-8", Language::English},
        {"fr_CA", "en_US", "en_US", Language::French},
        {"C", nullptr, "fr_FR", Language::English},
    };
    for (const auto& c : cases) {
        auto set = [](const char* name, const char* v) {
            if (v)
                ::setenv(name, v, 1);
            else
                ::unsetenv(name);
        };
        set("LC_ALL", c.lcAll);
        set("LC_MESSAGES", c.lcMessages);
        set("LANG", c.lang);
        EXPECT_EQ(languageFromEnvironment(), c.expected)
            << (c.lcAll ? c.lcAll : "-") << " " << (c.lcMessages ? c.lcMessages : "-") << " "
            << (c.lang ? c.lang : "-");
    }
    ::setenv("LC_ALL", "C", 1);
}

TEST(Strings, TablesGiveTextsByIdAndLanguage) {
    static constexpr Entry entries[] = {{1, "One", "Un"}, {2, "Two", nullptr}};
    const StringTable table{entries};
    EXPECT_EQ(table.text(1, Language::French), "Un");
    EXPECT_EQ(table.text(2, Language::French), "Two");
    EXPECT_EQ(table.text(1, Language::English), "One");
    EXPECT_FALSE(table.text(3, Language::English));
}

template <class... Args>
constexpr bool formattable = requires(Args... args) {
    formatText(std::string(), args...);
};
static_assert(formattable<int, long, unsigned, double, const char*>);
static_assert(!formattable<std::string>, "an object cannot go through printf");

TEST(Strings, FormatsWithPrintfRules) {
    EXPECT_EQ(formatText(controlStrings().text(106, Language::English).value(), 1), "Chan01");
    EXPECT_EQ(formatText(controlStrings().text(106, Language::French).value(), 30), "Voie30");
    EXPECT_EQ(formatText(std::string("%08.8x"), 0x80041400u), "80041400");
}

}  // namespace
}  // namespace qd40::strings
