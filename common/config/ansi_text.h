// The 8-bit texts of the configuration blobs use the Windows ANSI code page
// (1252); the conversions are the common ones.
#pragma once
#include "common/ansi_text.h"

namespace qd40::cfg {

using text::ansiToUtf8;
using text::utf8ToAnsi;

}  // namespace qd40::cfg
