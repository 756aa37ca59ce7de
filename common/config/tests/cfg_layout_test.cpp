#include "common/config/cfg_layout.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "common/config/cfg_defaults.h"

namespace qd40::cfg {
namespace {

// One named field: writing it on a zeroed blob changes exactly `bytes` at `offset`.
struct FieldCase {
    const char* name;
    std::function<void(std::span<uint8_t>)> write;
    size_t offset;
    std::vector<uint8_t> bytes;
};

void expectFieldWrites(size_t size, const std::vector<FieldCase>& cases) {
    for (const auto& c : cases) {
        std::vector<uint8_t> blob(size, 0);
        c.write(blob);
        std::vector<uint8_t> expected(size, 0);
        std::copy(c.bytes.begin(), c.bytes.end(), expected.begin() + long(c.offset));
        EXPECT_EQ(blob, expected) << c.name;
    }
}

const std::vector<uint8_t> k1234 = {0x04, 0x03, 0x02, 0x01};  // 0x01020304
const std::vector<uint8_t> kMaxF = {0xFF, 0xFF, 0x7F, 0x7F};

TEST(CfgLayout, FullRecordFieldsSitAtTheirOffsets) {
    const auto F = [](std::span<uint8_t> b) { return FullCfgView(b); };
    expectFieldWrites(
        kFullCfgSize,
        {
            {"global word", [&](auto b) { F(b).setGlobalWord(0xA55A); }, 0, {0x5A, 0xA5}},
            {"acq word", [&](auto b) { F(b).setAcqWord(0x2A00); }, 2, {0x00, 0x2A}},
            {"scan", [&](auto b) { F(b).setChansToScan(0x01020304); }, 4, k1234},
            {"acq period", [&](auto b) { F(b).setAcqPeriod(1000); }, 8, {0xE8, 0x03}},
            {"aux period", [&](auto b) { F(b).setAuxPeriod(10000); }, 10, {0x10, 0x27}},
            {"ch2 flags", [&](auto b) { F(b).channel(2).setFlags(0x1234); }, 156, {0x34, 0x12}},
            {"ch1 delay", [&](auto b) { F(b).channel(1).setDelayMs(7); }, 14, {7, 0}},
            {"ch1 default", [&](auto b) { F(b).channel(1).setDefaultValue(kMaxFloat); }, 16, kMaxF},
            {"ch1 limit4 flags",
             [&](auto b) { F(b).channel(1).limit(4).setFlags(0x0301); },
             50,
             {0x01, 0x03}},
            {"ch1 limit4 hyst", [&](auto b) { F(b).channel(1).limit(4).setHysteresis(kMaxFloat); },
             56, kMaxF},
            {"ch1 limit1 level", [&](auto b) { F(b).channel(1).limit(1).setLevel(kMaxFloat); }, 22,
             kMaxF},
            {"ch1 dead band rel",
             [&](auto b) { F(b).channel(1).setDeadBandRel(10000); },
             60,
             {0x10, 0x27}},
            {"ch1 lin count", [&](auto b) { F(b).channel(1).setLinCount(11); }, 62, {11, 0}},
            {"ch1 point 11",
             [&](auto b) {
                 F(b).channel(1).setLinPoint(10, {kMaxFloat, kMaxFloat});
             },
             144,
             {0xFF, 0xFF, 0x7F, 0x7F, 0xFF, 0xFF, 0x7F, 0x7F}},
            {"ch30 dead band abs", [&](auto b) { F(b).channel(30).setDeadBandAbs(kMaxFloat); },
             4328, kMaxF},
            {"blk1 size", [&](auto b) { F(b).memBlock(1).setSize(0x01020304); }, 4332, k1234},
            {"blk1 to record", [&](auto b) { F(b).memBlock(1).setChansToRecord(0x01020304); }, 4336,
             k1234},
            {"blk1 opening",
             [&](auto b) { F(b).memBlock(1).setOpeningWord(0xC0F4); },
             4340,
             {0xF4, 0xC0}},
            {"blk1 opening chans (unaligned)",
             [&](auto b) { F(b).memBlock(1).setOpeningChans(0x01020304); }, 4342, k1234},
            {"blk1 closing",
             [&](auto b) { F(b).memBlock(1).setClosingWord(0x80F5); },
             4346,
             {0xF5, 0x80}},
            {"blk1 closing chans", [&](auto b) { F(b).memBlock(1).setClosingChans(0x01020304); },
             4348, k1234},
            {"blk1 closing delay",
             [&](auto b) { F(b).memBlock(1).setClosingDelayCycles(0x01020304); }, 4352, k1234},
            {"blk1 next", [&](auto b) { F(b).memBlock(1).setNextBlock(10); }, 4356, {10, 0}},
            {"blk1 recording",
             [&](auto b) { F(b).memBlock(1).setRecordingWord(0x00FF); },
             4358,
             {0xFF, 0}},
            {"blk10 every N", [&](auto b) { F(b).memBlock(10).setEveryN(0x01020304); }, 4648,
             k1234},
            {"alarm 1 limit 1", [&](auto b) { F(b).setGlobalAlarmMask(1, 1, 0x01020304); }, 4652,
             k1234},
            {"alarm 2 limit 4", [&](auto b) { F(b).setGlobalAlarmMask(2, 4, 0x01020304); }, 4680,
             k1234},
        });
}

TEST(CfgLayout, CompanionBlobFieldsSitAtTheirOffsets) {
    expectFieldWrites(kChansResCfgSize,
                      {{"res 30", [](auto b) { ChansResCfg(b).setResol(30, 5); }, 58, {5, 0}}});
    expectFieldWrites(
        kEmailCfgSize,
        {
            {"recipient 3", [](auto b) { EmailCfg(b).setRecipient(3, "ab"); }, 256, {'a', 'b'}},
            {"message", [](auto b) { EmailCfg(b).setMessage("m"); }, 384, {'m'}},
            {"memory event", [](auto b) { EmailCfg(b).setOnMemoryEvent(true); }, 640, {4, 0}},
            {"alarm 2", [](auto b) { EmailCfg(b).setOnGlobalAlarm(2, true); }, 640, {2, 0}},
        });
    expectFieldWrites(kMemsStatusMaskCfgSize,
                      {{"full block of block 10",
                        [](auto b) { MemsStatusMaskCfg(b).setSignals(kEvtFullBlock, 10, true); },
                        6,
                        {0, 2}}});
    expectFieldWrites(
        kQd40ExtCfgSize,
        {
            {"name", [](auto b) { Qd40ExtCfg(b).setCfgName("n"); }, 0, {'n'}},
            {"time", [](auto b) { Qd40ExtCfg(b).setCfgTime(0x01020304); }, 18, k1234},
            {"module mnemo", [](auto b) { Qd40ExtCfg(b).setModuleMnemonic("M"); }, 22, {'M'}},
            {"ch1 mnemo", [](auto b) { Qd40ExtCfg(b).setChanMnemonic(1, "A"); }, 39, {'A'}},
            {"ch1 unit", [](auto b) { Qd40ExtCfg(b).setChanUnit(1, "V"); }, 56, {'V'}},
            {"ch30 mnemo", [](auto b) { Qd40ExtCfg(b).setChanMnemonic(30, "Z"); }, 706, {'Z'}},
            {"ch30 unit", [](auto b) { Qd40ExtCfg(b).setChanUnit(30, "mA"); }, 723, {'m', 'A'}},
            {"last byte", [](auto b) { Qd40ExtCfg(b).setLastByte(0x5A); }, 729, {0x5A}},
        });
    expectFieldWrites(kChansExtCfgSize,
                      {{"ch2 unit", [](auto b) { ChansExtCfg(b).setUnit(2, "V"); }, 40, {'V'}}});
    expectFieldWrites(
        kModuleExtBlockSize,
        {
            {"writer", [](auto b) { ModuleExtBlock(b).setWriterText("Ov"); }, 0, {'O', 'v'}},
            {"MS", [](auto b) { ModuleExtBlock(b).setFileVersionMS(0x01020304); }, 18, k1234},
            {"LS", [](auto b) { ModuleExtBlock(b).setFileVersionLS(0x01020304); }, 22, k1234},
            {"ext name", [](auto b) { ModuleExtBlock(b).ext().setCfgName("x"); }, 26, {'x'}},
            {"identity time", [](auto b) { ModuleExtBlock(b).identity().setCfgTime(0x01020304); },
             44, k1234},
            {"ext ch30 unit",
             [](auto b) { ModuleExtBlock(b).ext().setChanUnit(30, "V"); },
             749,
             {'V'}},
        });
}

// Bit-field setters change only their bits: the rest of the word (reserved
// bits included) stays as it came.
TEST(CfgLayout, BitFieldSettersKeepTheOtherBits) {
    struct BitCase {
        const char* name;
        size_t offset;  // of the word in the full record
        std::function<void(FullCfgView)> clear;
        uint16_t expected;  // the word after clearing the field in 0xFFFF
    };
    const BitCase cases[] = {
        {"function", 12, [](auto c) { c.channel(1).setFunction(0); }, 0xFFF0},
        {"range", 12, [](auto c) { c.channel(1).setRange(0); }, 0xFF0F},
        {"connection", 12, [](auto c) { c.channel(1).setConnection(0); }, 0xFCFF},
        {"tests", 12, [](auto c) { c.channel(1).setCutOffTest(false); }, 0xFBFF},
        {"rjc", 12, [](auto c) { c.channel(1).setRjc(false); }, 0xF7FF},
        {"speed", 12, [](auto c) { c.channel(1).setSpeed(0); }, 0xCFFF},
        {"counter", 20, [](auto c) { c.channel(1).limit(1).setCounter(0); }, 0xFF00},
        {"direction", 20, [](auto c) { c.channel(1).limit(1).setHigh(false); }, 0xFEFF},
        {"in use", 20, [](auto c) { c.channel(1).limit(1).setInUse(false); }, 0xFDFF},
        {"trig", 0, [](auto c) { c.setTrigReverse(false); }, 0xFFFE},
        {"relay 2 control", 0, [](auto c) { c.setRelayReverse(2, false); }, 0xFFFB},
        {"relay 1 source", 0, [](auto c) { c.setRelayModbus(1, false); }, 0xFFF7},
        {"rj external", 0, [](auto c) { c.setExternalRefJunction(false); }, 0xFFDF},
        {"exec mode", 2, [](auto c) { c.setExecMode(0); }, 0xFFF8},
        {"acq opening", 2, [](auto c) { c.setAcqOpening(0); }, 0xFFE7},
        {"unit", 2, [](auto c) { c.setPeriodUnit(0); }, 0xFF1F},
        {"rj schedule", 2, [](auto c) { c.setRefJunctionSchedule(0); }, 0xFCFF},
        {"line schedule", 2, [](auto c) { c.setLineResSchedule(0); }, 0xF3FF},
        {"cut-off schedule", 2, [](auto c) { c.setCutOffSchedule(0); }, 0xCFFF},
        {"opening cond", 4340, [](auto c) { c.memBlock(1).setOpeningCondition(0); }, 0xFFF0},
        {"opening limits", 4340, [](auto c) { c.memBlock(1).setOpeningLimits(0); }, 0xFF0F},
        {"reopenable", 4340, [](auto c) { c.memBlock(1).setReopenable(false); }, 0xBFFF},
        {"empty", 4340, [](auto c) { c.memBlock(1).setEmptyOnOpening(false); }, 0x7FFF},
        {"closing event", 4346, [](auto c) { c.memBlock(1).setClosingEvent(0); }, 0xFFF0},
        {"closing limits", 4346, [](auto c) { c.memBlock(1).setClosingLimits(0); }, 0xFF0F},
        {"full block", 4346, [](auto c) { c.memBlock(1).setCloseOnFull(false); }, 0x7FFF},
        {"compacting", 4358, [](auto c) { c.memBlock(1).setCompacting(false); }, 0xFFFE},
        {"record trig", 4358, [](auto c) { c.memBlock(1).setRecordOnTrig(false); }, 0xFFFD},
        {"record every", 4358, [](auto c) { c.memBlock(1).setRecordEvery(false); }, 0xFFF7},
        {"record alarms", 4358, [](auto c) { c.memBlock(1).setRecordAlarmLimits(0); }, 0xFF0B},
    };
    for (const auto& c : cases) {
        FullCfgData data;
        data.fill(0xFF);
        c.clear(FullCfgView(data));
        EXPECT_EQ(le::u16(data, c.offset), c.expected) << c.name;
        EXPECT_EQ(std::count(data.begin(), data.end(), 0xFF), long(kFullCfgSize) - 1) << c.name;
    }
}

TEST(CfgLayout, ViewsRefuseWrongSizesAndIndexes) {
    std::vector<uint8_t> shortBlob(kFullCfgSize - 1);
    EXPECT_THROW(FullCfgView{shortBlob}, std::length_error);
    FullCfgData data{};
    const ConstFullCfgView cfg(data);
    EXPECT_THROW(cfg.channel(0), std::out_of_range);
    EXPECT_THROW(cfg.channel(31), std::out_of_range);
    EXPECT_THROW(cfg.memBlock(11), std::out_of_range);
    EXPECT_THROW(cfg.globalAlarmMask(3, 1), std::out_of_range);
    EXPECT_THROW(cfg.channel(1).limit(5), std::out_of_range);
}

TEST(CfgLayout, TextsAreCutToTheirFieldAndKeepANul) {
    Qd40ExtCfgData data;
    data.fill(0xAA);
    const Qd40ExtCfg ext(data);
    EXPECT_FALSE(ext.setChanMnemonic(1, "ABCDEFGHIJKLMNOPQ"));  // 17 characters
    EXPECT_EQ(ext.chanMnemonic(1), "ABCDEFGHIJKLMNOP");
    EXPECT_TRUE(ext.setChanUnit(1, "kOhm"));
    EXPECT_EQ(ext.chanUnit(1), "kOhm");
    EXPECT_EQ(data[39 + 23], 0xAA) << "channel 2 untouched";
    EXPECT_EQ(ext.chanMnemonic(2), std::string(17, '\xAA')) << "no NUL: the whole field";
}

TEST(CfgLayout, LinearisationPointsAndMaxDefault) {
    FullCfgData data = defaultFullCfg();
    const ChannelCfg ch = FullCfgView(data).channel(3);
    EXPECT_TRUE(ch.defaultValueIsMax());
    ch.setDefaultValue(3.4e38f);
    EXPECT_FALSE(ch.defaultValueIsMax());
    const LinPoint pts[] = {{0, 1}, {2, 3}, {4, 5}};
    ch.setLinPoints(pts);
    EXPECT_EQ(ch.linCount(), 3);
    EXPECT_EQ(ch.linPoints(), std::vector<LinPoint>(std::begin(pts), std::end(pts)));
    ch.setLinPoints(std::span<const LinPoint>(pts, 1));
    EXPECT_EQ(ch.linPoint(1), LinPoint{}) << "unused entries are zeroed";
    ch.setLinCount(0);
    EXPECT_TRUE(ch.linPoints().empty());
}

}  // namespace
}  // namespace qd40::cfg
