// A readable listing of a module configuration: global word, acquisition,
// channels, memory blocks and the minimal periods the configuration allows.
#pragma once
#include <cstdint>
#include <string>

#include "control/ctl/ctl_state.h"
#include "platform/locale.h"

namespace qd40::cli {

// "1-4, 7, 9-10" for the bits of a channel or block mask (bit n-1 for item
// n, items 1 to `count`); "none" when no bit is set.
std::string maskText(uint32_t mask, int count);

// A float as "%g" with the locale's decimal separator; "MAX" for the largest float.
std::string numberText(float value, char decimalSeparator);

// The listing, lines ending with '\n'. It ends with the lines
// "Minimal acquisition period: N ms" and "Auxiliary period: N ms".
std::string configListing(const ctl::CtlState& state, const platform::Locale& locale);

}  // namespace qd40::cli
