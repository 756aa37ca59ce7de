// The default resolution of a channel (decimals shown and rounding step) by
// function, range and speed code, and the resolution a channel actually gets.
#pragma once
#include <cstdint>

namespace qd40::rules {

inline constexpr uint16_t kResolAuto = 6;

struct DefaultResolution {
    uint16_t decimals = kResolAuto;
    float roundStep = 0.0f;
    bool operator==(const DefaultResolution&) const = default;
};

// GetDefChanResol. Speed codes of 3 or more, ranges outside the function's
// list, Not Prog. and unknown functions give 6 ("Auto") with a step of 0;
// Contact gives 0 decimals and a step of 0 whatever the range and speed;
// Current and TC do not look at the range.
DefaultResolution defaultChanResol(int fct, int rge, int acc);

// The decimals a channel shows: 6 without linearisation points, otherwise
// the stored value with anything above 6 read as 6.
uint16_t channelResolution(uint16_t stored, int linCount);

}  // namespace qd40::rules
