// The blobs keep texts in the Windows ANSI code page (1252); the rest of the
// system works in UTF-8. These convert between the two.
#pragma once
#include <string>
#include <string_view>

namespace qd40::cfg {

std::string ansiToUtf8(std::string_view ansi);
// Characters without an ANSI form become '?'.
std::string utf8ToAnsi(std::string_view utf8);

}  // namespace qd40::cfg
