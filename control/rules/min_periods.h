// Speed classes, channel measuring time and the minimal periods computation
// of a full configuration record.
#pragma once
#include <array>
#include <cstdint>

#include "common/config/cfg_layout.h"
#include "common/config/variant_blob.h"
#include "common/error_info.h"

namespace qd40::rules {

// Durations of the four measurement classes, in ms.
inline constexpr std::array<uint32_t, 4> kSpeedClassMs = {75, 12, 5, 2};
// Result code of the computation when the auxiliary period is too low.
inline constexpr int kErrAuxPeriodTooLow = 13;
// Slots of the auxiliary time packing.
inline constexpr int kAuxSlots = 32;

// Duration of class i; an index above 3 (or below 0) counts as class 3.
uint32_t speedClassMs(int cls);
// 2000 ms for Vac, 2 ms for Contact, else the speed class duration; plus the delay.
uint32_t channelMeasuringTimeMs(cfg::ConstChannelCfg ch);

// Auxiliary measurement counts per speed class for schedule code p (1 or 2).
using AuxCounts = std::array<uint32_t, 4>;
AuxCounts auxMeasurementCounts(cfg::ConstFullCfgView cfg, int schedule);
// Cycles needed to place the counted measurements in slices of `sliceMs`.
unsigned auxCyclesForSlice(const AuxCounts& counts, uint32_t sliceMs);

struct MinPeriods {
    uint32_t minAcqPeriodMs = 0;
    uint32_t auxPeriodMs = 0;  // the auxiliary period, or A + D when too low
    int errCode = 0;           // 0 or kErrAuxPeriodTooLow
    bool operator==(const MinPeriods&) const = default;
};
MinPeriods computeMinPeriods(cfg::ConstFullCfgView cfg);

// GetCfgMinAcqPeriod: the computation on a record passed as a VARIANT.
// A bad VARIANT gives 517 "Invalid Argument" (E_INVALIDARG); a null output
// gives 518 "Invalid Pointer" (E_POINTER).
Status getCfgMinAcqPeriod(const cfg::VariantBlob& vCfg, MinPeriods* out);

}  // namespace qd40::rules
