#include <gtest/gtest.h>

#include "common/config/cfg_defaults.h"
#include "control/rules/module_checks.h"
#include "control/rules/period_mem_rules.h"

namespace qd40::rules {
namespace {

using namespace qd40::cfg;

std::vector<int> ids(const std::vector<RuleMessage>& msgs) {
    std::vector<int> out;
    for (const auto& m : msgs)
        out.push_back(m.id);
    return out;
}

TEST(PeriodRules, CountsAndMinimalPeriodWarnings) {
    EXPECT_FALSE(checkPeriodCounts(0, 65535));
    const auto bad = checkPeriodCounts(65536, 0);
    ASSERT_TRUE(bad);
    EXPECT_EQ(bad->text, "Period must be in the range of 0 and 65535");
    EXPECT_TRUE(checkPeriodCounts(10, -1));

    FullCfgData data = defaultFullCfg();
    const FullCfgView cfg(data);
    EXPECT_TRUE(periodWarnings(cfg).empty());
    cfg.setAcqPeriod(119);
    const auto low = periodWarnings(cfg);
    EXPECT_EQ(ids(low), std::vector<int>{525});
    EXPECT_EQ(low.at(0).text, "Acquisition Period too low (min. 120 ms)");

    // One TC channel with RJC, everything every auxiliary period of 100 ms.
    cfg.setChansToScan(1);
    cfg.channel(1).setFlags(0x0806);  // TC, RJC, speed 0
    cfg.setAuxPeriod(100);
    cfg.setAcqPeriod(100);
    const auto both = periodWarnings(cfg);
    EXPECT_EQ(ids(both), (std::vector<int>{524, 525}));
    EXPECT_EQ(both.at(0).text, "Auxiliary Period too low (min. 152 ms)");
    EXPECT_EQ(both.at(1).text, "Acquisition Period too low (min. 152 ms)");
    EXPECT_EQ(minAcqPeriodText(152), "(min:152 ms)");
}

TEST(MemoryRules, TotalSizeFillingTimeAndUsability) {
    FullCfgData data = defaultFullCfg();
    const FullCfgView cfg(data);
    cfg.memBlock(1).setSize(60000);
    cfg.memBlock(10).setSize(40000);
    EXPECT_FALSE(checkMemorySizes(cfg));
    cfg.memBlock(5).setSize(1);
    const auto over = checkMemorySizes(cfg);
    ASSERT_TRUE(over);
    EXPECT_EQ(over->text,
              "100000 records all in all as a maximum for all memory blocks (at present: 100001)");

    // Default block 1: every cycle, 30 channels, acquisition period 1000 x 1 ms.
    cfg.memBlock(1).setSize(31000);
    EXPECT_DOUBLE_EQ(expectedFillingTimeSeconds(cfg, 1).value(), 1000.0);
    EXPECT_EQ(fillingTimeText(1000.0), "1000 s");
    // Unit 1 s, period 2, N = 0 read as 1, 10 records of 2 channels: 2 x 1 x 10 / 3.
    cfg.setPeriodUnit(kUnit1s);
    cfg.setAcqPeriod(2);
    cfg.memBlock(2).setSize(10);
    cfg.memBlock(2).setEveryN(0);
    cfg.memBlock(2).setChansToRecord(0x3);
    EXPECT_DOUBLE_EQ(expectedFillingTimeSeconds(cfg, 2).value(), 20.0 / 3.0);
    cfg.memBlock(2).setChansToRecord(0xC0000003);
    EXPECT_DOUBLE_EQ(expectedFillingTimeSeconds(cfg, 2).value(), 20.0 / 3.0)
        << "bits 30 and 31 of the mask are not channels";

    struct Case {
        const char* name;
        void (*edit)(MemBlockCfg);
    };
    const Case hidden[] = {
        {"compacting", [](MemBlockCfg b) { b.setCompacting(true); }},
        {"limit alarm", [](MemBlockCfg b) { b.setRecordAlarmLimits(0x2); }},
        {"TRIG input", [](MemBlockCfg b) { b.setRecordOnTrig(true); }},
        {"not Every", [](MemBlockCfg b) { b.setRecordEvery(false); }},
    };
    for (const auto& c : hidden) {
        FullCfgData d = defaultFullCfg();
        c.edit(FullCfgView(d).memBlock(3));
        EXPECT_FALSE(expectedFillingTimeSeconds(ConstFullCfgView(d), 3)) << c.name;
    }

    const MemBlockCfg blk = cfg.memBlock(4);
    EXPECT_EQ(memBlockUsability(blk), (MemBlockUsability{false, false, false, false, true, false}));
    blk.setOpeningCondition(kAlarmAll);
    blk.setClosingEvent(kCloseTrigRising);
    blk.setNextBlock(2);
    EXPECT_EQ(memBlockUsability(blk), (MemBlockUsability{true, true, true, false, true, true}));
    // The alarm buttons follow the alarm condition codes 4 to 7 only.
    for (const auto& [code, alarm] : {std::pair{3, false}, {4, true}, {7, true}, {8, false}}) {
        blk.setOpeningCondition(code);
        blk.setClosingEvent(code);
        EXPECT_EQ(memBlockUsability(blk).openingAlarmButton, alarm) << code;
        EXPECT_EQ(memBlockUsability(blk).closingAlarmButton, alarm) << code;
    }
    EXPECT_EQ(nextBlockChoices(4), (std::vector<int>{1, 2, 3, 5, 6, 7, 8, 9, 10}));
}

TEST(ModuleChecks, DeviceIdentityAndFirmwareVersion) {
    EXPECT_EQ(deviceTypeText(0xB052), "QD40M");
    EXPECT_EQ(deviceTypeText(0xB05B), "QD40E");
    EXPECT_EQ(deviceTypeText(0xB053), "?");
    EXPECT_TRUE(checkModuleDevice(0xB05B).isOk());
    const Status notQd40 = checkModuleDevice(0x1234);
    EXPECT_EQ(notQd40.hr, qd40CtlErrNotQd40);
    EXPECT_EQ(notQd40.error.description, "Device connected is not a QD40 Module");

    const std::string tooOldModule =
        "Too old QD40 Module Version.\nIt must be updated.\nMinimal Version required: A.00 (Z.00)";
    const std::string tooOldControl = "Too old Exploitation Software Version.\nIt must be updated.";
    struct Case {
        const char* version;
        HRESULT hr;
        std::string description;
    };
    const Case cases[] = {
        {"A.00", S_OK, ""},
        {"Z.00", S_OK, ""},
        {"A.01", qd40CtlErrHigherQd40CtlVerRequired, tooOldControl},
        {"B.10", qd40CtlErrHigherQd40CtlVerRequired, tooOldControl},
        {"Z.01", qd40CtlErrHigherQd40CtlVerRequired, tooOldControl},
        {"", qd40CtlErrHigherQd40VerRequired, tooOldModule},
        {"9.99", qd40CtlErrHigherQd40VerRequired, tooOldModule},
    };
    for (const auto& c : cases) {
        const Status st = checkModuleVersion(c.version);
        EXPECT_EQ(st.hr, c.hr) << c.version;
        EXPECT_EQ(st.error.description, c.description) << c.version;
    }
}

TEST(ModuleChecks, ArgumentRanges) {
    for (long n : {1L, 30L})
        EXPECT_TRUE(checkChannelNumber(n).isOk()) << n;
    for (long n : {0L, 31L, -1L}) {
        const Status st = checkChannelNumber(n);
        EXPECT_EQ(st.hr, E_INVALIDARG) << n;
        EXPECT_EQ(st.error.description, "Channels Numbers must be in the range of 1 and 30") << n;
    }
    EXPECT_EQ(checkDefEditChanNum(0).error.description, "Invalid Argument");
    for (long b : {1L, 10L})
        EXPECT_TRUE(checkMemBlockNumber(b).isOk()) << b;
    for (long b : {0L, 11L}) {
        const Status st = checkMemBlockNumber(b);
        EXPECT_EQ(st.hr, E_INVALIDARG) << b;
        EXPECT_EQ(st.error.description, "Invalid Memory Nr") << b;
    }
    EXPECT_EQ(invalidPointer().hr, E_POINTER);
}

}  // namespace
}  // namespace qd40::rules
