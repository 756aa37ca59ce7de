// Deterministic synthetic signals measured by the simulated channels.
#pragma once

namespace qd40::sim {

// Value of channel `channel` (1..30) for measurement function `function` and
// range index `range` at module time `seconds`: a waveform of its own per
// channel (sine, triangle, rounded square, saw-tooth, with different periods),
// always inside the range, in the channel's default unit.
double synthValue(int channel, int function, int range, double seconds);

// Lowest and highest value of a function's range, in its default unit.
void rangeBounds(int function, int range, double& low, double& high);

}  // namespace qd40::sim
