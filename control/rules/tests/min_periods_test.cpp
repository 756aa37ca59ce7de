#include "control/rules/min_periods.h"

#include <gtest/gtest.h>

#include <functional>

#include "common/config/cfg_defaults.h"

namespace qd40::rules {
namespace {

using namespace qd40::cfg;

// A record built from the default one: nothing scanned, all schedules "Only
// at Opening", unit 1 ms, then the case's own edits.
FullCfgData record(const std::function<void(FullCfgView)>& edit) {
    FullCfgData data = defaultFullCfg();
    const FullCfgView cfg(data);
    cfg.setChansToScan(0);
    cfg.setRefJunctionSchedule(kSchedAtOpening);
    cfg.setLineResSchedule(kSchedAtOpening);
    cfg.setCutOffSchedule(kSchedAtOpening);
    edit(cfg);
    return data;
}

void tcWithRjc(FullCfgView cfg, int n, int speed, bool test) {
    const ChannelCfg ch = cfg.channel(n);
    ch.setFunction(kFctTc);
    ch.setRjc(true);
    ch.setCutOffTest(test);
    ch.setSpeed(speed);
    cfg.setChansToScan(cfg.chansToScan() | 1u << (n - 1));
}

void allSchedulesAux(FullCfgView cfg, uint16_t auxCount) {
    cfg.setRefJunctionSchedule(kSchedAuxPeriod);
    cfg.setLineResSchedule(kSchedAuxPeriod);
    cfg.setCutOffSchedule(kSchedAuxPeriod);
    cfg.setAuxPeriod(auxCount);
}

// Channels 1 to 4 in Ohm, 3 wires, speed 1, line resistance every auxiliary period.
void fourOhmLines(FullCfgView cfg, uint16_t auxCount) {
    for (int n = 1; n <= 4; ++n) {
        cfg.channel(n).setFunction(kFctOhm);
        cfg.channel(n).setConnection(kConn3Wires);
    }
    cfg.setChansToScan(0xF);
    cfg.setLineResSchedule(kSchedAuxPeriod);
    cfg.setAuxPeriod(auxCount);
}

TEST(MinPeriods, ComputesTheFiguresOfHandCheckedRecords) {
    struct Case {
        const char* name;
        std::function<void(FullCfgView)> edit;
        MinPeriods expected;
    };
    const Case cases[] = {
        {"nothing scanned", [](FullCfgView) {}, {0, 10000, 0}},
        {"default record: ten Not Prog. channels of class 1",
         [](FullCfgView c) { c.setAcqWord(kDefaultAcqWord), c.setChansToScan(0x3FF); },
         {120, 10000, 0}},
        {"Vac takes 2000 ms plus its delay whatever its speed",
         [](FullCfgView c) {
             c.channel(2).setFunction(kFctVac), c.channel(2).setSpeed(0);
             c.channel(2).setDelayMs(30), c.setChansToScan(0x2);
         },
         {2030, 10000, 0}},
        {"Contact takes 2 ms whatever its speed",
         [](FullCfgView c) {
             c.channel(1).setFunction(kFctContact), c.channel(1).setSpeed(0);
             c.setChansToScan(0x1);
         },
         {2, 10000, 0}},
        {"TC with RJC: auxiliary period too low",
         [](FullCfgView c) { tcWithRjc(c, 1, 0, false), allSchedulesAux(c, 100); },
         {152, 152, kErrAuxPeriodTooLow}},
        {"TC with RJC and test: D narrowed from 79 to 76",
         [](FullCfgView c) { tcWithRjc(c, 1, 0, true), allSchedulesAux(c, 1000); },
         {151, 1000, 0}},
        {"TC with RJC and test, tight period: D stays 79",
         [](FullCfgView c) { tcWithRjc(c, 1, 0, true), allSchedulesAux(c, 200); },
         {154, 200, 0}},
        {"four line resistances narrowed to one slot each",
         [](FullCfgView c) { fourOhmLines(c, 10000); },
         {61, 10000, 0}},
        {"four line resistances packed two per slot",
         [](FullCfgView c) { fourOhmLines(c, 200); },
         {72, 200, 0}},
        {"acquisition-period measurements count in A",
         [](FullCfgView c) {
             tcWithRjc(c, 1, 1, true);
             c.setCutOffSchedule(kSchedAcqPeriod), c.setRefJunctionSchedule(kSchedAcqPeriod);
         },
         // 12 (measuring) + 12 (RJ, class 1) + 2 (test) + 2 (cut-off after the channels)
         {28, 10000, 0}},
        {"unit 1 s multiplies the auxiliary period",
         [](FullCfgView c) {
             tcWithRjc(c, 1, 0, false), allSchedulesAux(c, 1), c.setPeriodUnit(kUnit1s);
         },
         {151, 1000, 0}},
    };
    for (const auto& c : cases) {
        const FullCfgData data = record(c.edit);
        const MinPeriods got = computeMinPeriods(ConstFullCfgView(data));
        EXPECT_EQ(got.minAcqPeriodMs, c.expected.minAcqPeriodMs) << c.name;
        EXPECT_EQ(got.auxPeriodMs, c.expected.auxPeriodMs) << c.name;
        EXPECT_EQ(got.errCode, c.expected.errCode) << c.name;
    }
}

TEST(MinPeriods, AuxiliaryCountsAndSlotPacking) {
    const FullCfgData data = record([](FullCfgView c) {
        tcWithRjc(c, 3, 2, true);
        tcWithRjc(c, 4, 1, false);  // the fastest RJC channel wins: class 1
        c.channel(5).setFunction(kFctRt), c.channel(5).setConnection(kConn4Wires);
        c.channel(5).setCutOffTest(true), c.setChansToScan(c.chansToScan() | 0x10);
        allSchedulesAux(c, 1000);
    });
    EXPECT_EQ(auxMeasurementCounts(ConstFullCfgView(data), kSchedAuxPeriod),
              (AuxCounts{0, 1, 0, 3}));
    EXPECT_EQ(auxMeasurementCounts(ConstFullCfgView(data), kSchedAcqPeriod), (AuxCounts{}));

    EXPECT_EQ(auxCyclesForSlice({0, 0, 0, 100}, 2), 32u) << "at most 32 slots";
    EXPECT_EQ(auxCyclesForSlice({0, 0, 0, 3}, 1), 0u) << "nothing fits";
    EXPECT_EQ(auxCyclesForSlice({1, 0, 0, 2}, 77), 2u);
    EXPECT_EQ(auxCyclesForSlice({0, 4, 0, 0}, 24), 2u);
    EXPECT_EQ(speedClassMs(7), 2u);
}

TEST(MinPeriods, OperationChecksItsArguments) {
    MinPeriods out;
    ASSERT_TRUE(getCfgMinAcqPeriod(packBlob(defaultFullCfg()), &out).isOk());
    EXPECT_EQ(out, (MinPeriods{120, 10000, 0}));

    const Status bad = getCfgMinAcqPeriod(VariantBlob{VT_R4, 0, {}}, &out);
    EXPECT_EQ(bad.hr, E_INVALIDARG);
    EXPECT_EQ(bad.error.description, "Invalid Argument");
    const Status null = getCfgMinAcqPeriod(packBlob(defaultFullCfg()), nullptr);
    EXPECT_EQ(null.hr, E_POINTER);
    EXPECT_EQ(null.error.description, "Invalid Pointer");
}

}  // namespace
}  // namespace qd40::rules
