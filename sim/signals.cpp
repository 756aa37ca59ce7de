#include "sim/signals.h"

#include <cmath>
#include <numbers>

namespace qd40::sim {

void rangeBounds(int function, int range, double& low, double& high) {
    static constexpr double vdc[] = {50, 500, 5, 50, 100};
    static constexpr double vac[] = {1, 100};
    static constexpr double ohm[] = {100, 1, 3, 100, 200};
    low = 0;
    high = 1;
    switch (function) {
        case 1:
            high = vdc[range >= 0 && range < 5 ? range : 0];
            low = -high;
            break;
        case 2:
            high = vac[range == 1 ? 1 : 0];
            break;
        case 3:
            high = ohm[range >= 0 && range < 5 ? range : 0];
            break;
        case 4:
            low = 4;
            high = 20;
            break;
        case 5:
            low = -20;
            high = 180;
            break;
        case 6:
            low = 0;
            high = 600;
            break;
        default:
            break;
    }
}

double synthValue(int channel, int function, int range, double seconds) {
    const double period = 40.0 + 8.0 * channel;
    double phase = std::fmod(seconds / period + 0.13 * channel, 1.0);
    if (phase < 0)
        phase += 1.0;
    const double s = std::sin(2 * std::numbers::pi * phase);
    double w = 0;  // -1..1
    switch ((channel - 1) % 4) {
        case 0:
            w = s;
            break;
        case 1:
            w = 1.0 - 4.0 * std::fabs(phase - 0.5);
            break;
        case 2:
            w = std::tanh(4 * s) / std::tanh(4.0);
            break;
        default:
            w = 2 * phase - 1;
            break;
    }
    if (function == 7)
        return w >= 0 ? 1.0 : 0.0;
    double low, high;
    rangeBounds(function, range, low, high);
    return low + (high - low) * (0.5 + 0.45 * w);
}

}  // namespace qd40::sim
