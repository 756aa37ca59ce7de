// The module's own error codes (0 to 63) and the server's texts for them.
#pragma once
#include <string>

#include "platform/strings.h"

namespace qd40::cfg {

// String 524 + c for c of 0 to 57, 532 + c for 58 to 63, 582 "Unknown Error" otherwise.
int moduleErrorTextId(long code);
// The server table's text of a module error code.
std::string moduleErrorText(long code, strings::Language language);
std::string moduleErrorText(long code);
// "QD40: <text> (<code>)": the description of a write the module refused.
std::string moduleErrorDescription(long code, strings::Language language);
std::string moduleErrorDescription(long code);

}  // namespace qd40::cfg
