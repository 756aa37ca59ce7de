// Conversions between the UTF-8 texts the program works with and the 8-bit
// Windows-1252 texts of stored documents, configuration blobs and text exports,
// plus the UTF-16 form the archive uses for texts that have no 8-bit form.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qd40::text {

// Every byte has a character: the five bytes Windows-1252 leaves undefined
// stand for the control characters U+0081, U+008D, U+008F, U+0090, U+009D, as
// the Windows conversion does, so that any byte string survives a round trip.
std::string ansiToUtf8(std::string_view ansi);

// The 8-bit form of a UTF-8 text, or nullopt when a character has none (or the
// UTF-8 is malformed).
std::optional<std::string> utf8ToAnsiExact(std::string_view utf8);

// The 8-bit form with '?' for each character that has none.
std::string utf8ToAnsi(std::string_view utf8);

// UTF-16 (code units) to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string utf16ToUtf8(std::u16string_view utf16);
// UTF-8 to UTF-16; malformed sequences become U+FFFD.
std::u16string utf8ToUtf16(std::string_view utf8);

}  // namespace qd40::text
