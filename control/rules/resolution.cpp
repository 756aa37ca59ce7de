#include "control/rules/resolution.h"

#include <array>

#include "common/config/cfg_layout.h"
#include "common/config/code_tables.h"

namespace qd40::rules {

namespace {

using Row = std::array<DefaultResolution, 3>;  // speed codes 0, 1, 2

constexpr Row kVdc[] = {
    {{{3, 0.001f}, {3, 0.005f}, {2, 0.01f}}},      // 50 mV
    {{{3, 0.001f}, {2, 0.01f}, {1, 0.1f}}},        // 500 mV
    {{{5, 0.00001f}, {4, 0.0001f}, {3, 0.001f}}},  // 5 V
    {{{4, 0.0001f}, {3, 0.001f}, {2, 0.01f}}},     // 50 V
    {{{3, 0.001f}, {2, 0.01f}, {1, 0.1f}}},        // 100 V
};
constexpr Row kVac[] = {
    {{{3, 0.001f}, {3, 0.005f}, {2, 0.01f}}},  // 1 V
    {{{2, 0.01f}, {1, 0.1f}, {1, 0.1f}}},      // 100 V
};
constexpr Row kOhm[] = {
    {{{3, 0.001f}, {2, 0.01f}, {1, 0.1f}}},        // 100 Ohm
    {{{5, 0.00001f}, {4, 0.0001f}, {3, 0.001f}}},  // 1 KOhm
    {{{5, 0.00001f}, {4, 0.0001f}, {3, 0.001f}}},  // 3 KOhm
    {{{3, 0.001f}, {2, 0.01f}, {1, 0.1f}}},        // 100 KOhm
    {{{3, 0.005f}, {2, 0.05f}, {1, 0.5f}}},        // 200 KOhm
};
constexpr Row kCurrent = {{{5, 0.00001f}, {4, 0.0001f}, {3, 0.001f}}};
constexpr Row kRowPt50 = {{{2, 0.02f}, {1, 0.1f}, {0, 0.0f}}};
constexpr Row kRowPt500Ni1000 = {{{1, 0.2f}, {1, 0.5f}, {0, 0.0f}}};
constexpr Row kRowCu10 = {{{1, 0.1f}, {1, 0.5f}, {0, 0.0f}}};
constexpr Row kRowRtOther = {{{2, 0.01f}, {1, 0.1f}, {0, 0.0f}}};
constexpr Row kTc = {{{1, 0.1f}, {1, 0.5f}, {0, 0.0f}}};

// RT range indexes with their own rows.
constexpr int kRtPt50 = 0, kRtPt500 = 3, kRtNi1000 = 9, kRtCu10 = 10;

}  // namespace

DefaultResolution defaultChanResol(int fct, int rge, int acc) {
    using namespace qd40::cfg;
    if (fct == kFctContact)
        return {0, 0.0f};
    const DefaultResolution autoResol{};
    if (acc < 0 || acc >= 3)
        return autoResol;
    const bool rangeKnown = rge >= 0 && rge < rangeCount(fct);
    const size_t s = size_t(acc);
    switch (fct) {
        case kFctCurrent:
            return kCurrent[s];
        case kFctTc:
            return kTc[s];
        case kFctVdc:
            return rangeKnown ? kVdc[rge][s] : autoResol;
        case kFctVac:
            return rangeKnown ? kVac[rge][s] : autoResol;
        case kFctOhm:
            return rangeKnown ? kOhm[rge][s] : autoResol;
        case kFctRt:
            if (!rangeKnown)
                return autoResol;
            if (rge == kRtPt50)
                return kRowPt50[s];
            if (rge == kRtPt500 || rge == kRtNi1000)
                return kRowPt500Ni1000[s];
            if (rge == kRtCu10)
                return kRowCu10[s];
            return kRowRtOther[s];
        default:
            return autoResol;
    }
}

uint16_t channelResolution(uint16_t stored, int linCount) {
    if (linCount <= 0)
        return kResolAuto;
    return stored > kResolAuto ? kResolAuto : stored;
}

}  // namespace qd40::rules
