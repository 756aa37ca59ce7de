// ScrambleText: each character c at position i becomes
// c XOR (k[i mod 17] AND 0x0F) with the fixed key k = "QUIETHARBORKEYS47".
// The same call unscrambles. Characters are Unicode code points of the UTF-8
// text (for ASCII, one byte each); changing only the low four bits keeps every
// code point in its UTF-8 length class, so a valid text stays valid and the
// registry store keeps it intact. Bytes that are not part of a valid sequence
// keep their value and take one position.
#pragma once
#include <string>
#include <string_view>

namespace qd40::security {

inline constexpr std::string_view kScrambleKey = "QUIETHARBORKEYS47";

std::string ScrambleText(std::string_view text);

// The same transformation on each byte of an 8-bit text (the audit trail
// files): byte i becomes b XOR (k[i mod 17] AND 0x0F).
std::string ScrambleBytes(std::string_view bytes);

}  // namespace qd40::security
