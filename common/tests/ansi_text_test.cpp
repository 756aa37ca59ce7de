#include "common/ansi_text.h"

#include <gtest/gtest.h>

namespace qd40::text {
namespace {

struct ToAnsiCase {
    const char* utf8;
    std::optional<std::string> exact;  // nullopt: no 8-bit form
    std::string lossy;
};

TEST(AnsiText, Utf8ToWindows1252ExactOrWithQuestionMarks) {
    const ToAnsiCase cases[] = {
        {"Chan01", "Chan01", "Chan01"},
        {"\xE2\x82\xAC \xC2\xB0"
         "C",
         "\x80 \xB0"
         "C",
         "\x80 \xB0"
         "C"},                         // euro, degree
        {"\xC2\x81", "\x81", "\x81"},  // a byte Windows-1252 leaves undefined
        {"a\xE4\xB8\xAD"
         "b",
         std::nullopt, "a?b"},                // a character without 8-bit form
        {"\xC0\x80", std::nullopt, "?"},      // overlong NUL
        {"\xED\xA0\x80", std::nullopt, "?"},  // an encoded surrogate
        {"x\xE2\x82", std::nullopt, "x?"},    // cut sequence
        {"\xFF"
         "A",
         std::nullopt, "?A"},  // not a lead byte
    };
    for (const auto& c : cases) {
        EXPECT_EQ(utf8ToAnsiExact(c.utf8), c.exact) << c.utf8;
        EXPECT_EQ(utf8ToAnsi(c.utf8), c.lossy) << c.utf8;
    }
}

TEST(AnsiText, EveryByteSurvivesTheRoundTrip) {
    std::string all;
    for (int b = 1; b < 256; ++b)
        all += static_cast<char>(b);
    EXPECT_EQ(utf8ToAnsiExact(ansiToUtf8(all)), all);
    EXPECT_EQ(ansiToUtf8("\x80\x9F\xE9"), "\xE2\x82\xAC\xC5\xB8\xC3\xA9");
}

TEST(AnsiText, Utf16BothWaysWithPairsAndLoneSurrogates) {
    EXPECT_EQ(utf8ToUtf16("\xF0\x9F\x98\x80"
                          "a"),
              (std::u16string{0xD83D, 0xDE00, u'a'}));
    EXPECT_EQ(utf16ToUtf8(std::u16string{0xD83D, 0xDE00}), "\xF0\x9F\x98\x80");
    EXPECT_EQ(utf16ToUtf8(std::u16string{0xD800, u'x'}), "\xEF\xBF\xBDx");
    EXPECT_EQ(utf16ToUtf8(std::u16string{0xDC00}), "\xEF\xBF\xBD");
    EXPECT_EQ(utf8ToUtf16("\xC3"), std::u16string{0xFFFD});
}

}  // namespace
}  // namespace qd40::text
