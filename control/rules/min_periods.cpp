#include "control/rules/min_periods.h"

#include "common/config/code_tables.h"
#include "control/rules/rule_message.h"

namespace qd40::rules {

using namespace qd40::cfg;

uint32_t speedClassMs(int cls) {
    return kSpeedClassMs[cls >= 0 && cls < 3 ? size_t(cls) : 3];
}

uint32_t channelMeasuringTimeMs(ConstChannelCfg ch) {
    uint32_t t;
    switch (ch.function()) {
        case kFctVac:
            t = 2000;
            break;
        case kFctContact:
            t = 2;
            break;
        default:
            t = speedClassMs(ch.speed());
    }
    return t + ch.delayMs();
}

AuxCounts auxMeasurementCounts(ConstFullCfgView cfg, int p) {
    AuxCounts c{};
    if ((cfg.chansToScan() & kAllChannelsMask) == 0)
        return c;
    int r = 3;
    const bool cutOff = cfg.cutOffSchedule() == p;
    for (int n = 1; n <= kChannels; ++n) {
        if (!cfg.scanned(n))
            continue;
        const ConstChannelCfg ch = cfg.channel(n);
        const int fct = ch.function();
        if (fct == kFctOhm || fct == kFctRt) {
            if (cutOff && ch.connection() == kConn4Wires && ch.cutOffTest())
                ++c[3];
            if (cfg.lineResSchedule() == p && ch.connection() == kConn3Wires)
                ++c[size_t(ch.speed())];
        } else if (fct == kFctTc) {
            if (cutOff && ch.cutOffTest())
                ++c[3];
            if (ch.rjc() && ch.speed() < r)
                r = ch.speed();
        }
    }
    if (r <= 2) {
        if (cfg.refJunctionSchedule() == p)
            ++c[size_t(r)];
        if (cutOff)
            ++c[3];
    }
    return c;
}

unsigned auxCyclesForSlice(const AuxCounts& counts, uint32_t sliceMs) {
    std::array<uint32_t, kAuxSlots> slots{};
    for (size_t i = 0; i < counts.size(); ++i) {
        const uint32_t d = kSpeedClassMs[i];
        for (uint32_t m = 0; m < counts[i]; ++m) {
            for (auto& slot : slots) {
                if (slot + d <= sliceMs) {
                    slot += d;
                    break;
                }
            }
        }
    }
    unsigned n = 0;
    while (n < slots.size() && slots[n] != 0)
        ++n;
    return n;
}

MinPeriods computeMinPeriods(ConstFullCfgView cfg) {
    const uint32_t u = periodUnitMs(cfg.periodUnit());
    const uint32_t P = u * cfg.auxPeriod();

    const AuxCounts c1 = auxMeasurementCounts(cfg, kSchedAcqPeriod);
    uint32_t A = 0;
    for (size_t i = 0; i < c1.size(); ++i)
        A += c1[i] * kSpeedClassMs[i];
    for (int n = 1; n <= kChannels; ++n)
        if (cfg.scanned(n))
            A += channelMeasuringTimeMs(cfg.channel(n));

    const AuxCounts c2 = auxMeasurementCounts(cfg, kSchedAuxPeriod);
    uint32_t sum = 0;
    for (size_t i = 0; i < c2.size(); ++i)
        sum += c2[i] * kSpeedClassMs[i];
    // The auxiliary time is a 16-bit quantity.
    uint32_t D = uint16_t(sum);
    uint32_t L = 0;
    for (size_t i = 0; i < c2.size(); ++i) {
        if (c2[i] != 0) {
            L = kSpeedClassMs[i];
            break;
        }
    }

    if (D != 0 && uint64_t(A) + D > P)
        return MinPeriods{A + D, A + D, kErrAuxPeriodTooLow};

    // Narrow D to the smallest slice whose cycles still fit in the auxiliary period.
    while (D != 0 && D > L + 1) {
        const uint32_t M = (L + D) / 2;
        const uint64_t n = auxCyclesForSlice(c2, M);
        if (n * (uint64_t(M) + A) > P)
            L = M;
        else
            D = M;
    }
    return MinPeriods{A + D, P, 0};
}

Status getCfgMinAcqPeriod(const VariantBlob& vCfg, MinPeriods* out) {
    if (!out)
        return controlFailure(E_POINTER, ctl::kTxtInvalidPointer);
    FullCfgData data{};
    if (Status st = unpackBlob(vCfg, data); !st)
        return st;
    *out = computeMinPeriods(ConstFullCfgView(data));
    return Status::ok();
}

}  // namespace qd40::rules
