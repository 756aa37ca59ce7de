// The simulated module driven in-process through MODBUS PDUs.
#include "sim/module.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>

#include "common/le_bytes.h"
#include "common/module_commands.h"
#include "common/module_constants.h"
#include "common/module_registers.h"
#include "sim/faults.h"

namespace qd40::sim {
namespace {

using qd40::module::kConfirmWord1;
using qd40::module::kConfirmWord2;
namespace reg = qd40::module::reg;
namespace status = qd40::module::status;

constexpr int kA = 1;  // a master
constexpr int kB = 2;  // another master
// 2020-01-01 00:00:00 in ms since 2000-01-01.
constexpr uint64_t kClock2020 = 631152000ull * 1000;

struct Reply {
    uint8_t exception = 0;  // 0: normal answer
    std::vector<uint16_t> regs;
};

Pdu pdu(uint8_t f, uint16_t a, uint16_t b) {
    return {f, uint8_t(a >> 8), uint8_t(a), uint8_t(b >> 8), uint8_t(b)};
}

Reply send(Module& m, int port, const Pdu& req) {
    const Pdu ans = m.handle(port, req);
    Reply r;
    EXPECT_GE(ans.size(), 2u);
    if (ans[0] & 0x80) {
        EXPECT_EQ(ans[0], req[0] | 0x80);
        r.exception = ans[1];
        return r;
    }
    EXPECT_EQ(ans[0], req[0]);
    if (req[0] == 3 || req[0] == 4) {
        EXPECT_EQ(ans[1], ans.size() - 2);
        for (size_t i = 2; i + 1 < ans.size(); i += 2)
            r.regs.push_back(uint16_t(ans[i] << 8 | ans[i + 1]));
    }
    return r;
}

Reply read(Module& m, int port, int addr, int qty, bool holding = true) {
    return send(m, port, pdu(holding ? 3 : 4, uint16_t(addr), uint16_t(qty)));
}

std::vector<uint16_t> regs(Module& m, int port, int addr, int qty, bool holding = true) {
    Reply r = read(m, port, addr, qty, holding);
    EXPECT_EQ(r.exception, 0) << "reading " << addr;
    return r.regs;
}

uint8_t write1(Module& m, int port, int addr, uint16_t v) {
    return send(m, port, pdu(6, uint16_t(addr), v)).exception;
}

uint8_t writeN(Module& m, int port, int addr, const std::vector<uint16_t>& v) {
    Pdu req = pdu(16, uint16_t(addr), uint16_t(v.size()));
    req.push_back(uint8_t(2 * v.size()));
    for (uint16_t w : v) {
        req.push_back(uint8_t(w >> 8));
        req.push_back(uint8_t(w));
    }
    return send(m, port, req).exception;
}

// Sends a command block with function 16; returns the module error (0: accepted).
uint16_t command(Module& m, int port, uint16_t code, std::vector<uint16_t> params = {}) {
    std::vector<uint16_t> block{code, uint16_t(params.size())};
    block.insert(block.end(), params.begin(), params.end());
    const uint8_t e = writeN(m, port, 44000, block);
    if (e == 0)
        return 0;
    EXPECT_EQ(e, 4);
    return regs(m, port, reg::kModuleError, 1, false)[0];
}

std::vector<uint16_t> answer(Module& m, int port) {
    const uint16_t len = regs(m, port, 44001, 1, false)[0];
    std::vector<uint16_t> words;
    for (int done = 0; done < len; done += 125) {
        const auto part = regs(m, port, 44002 + done, std::min(125, len - done), false);
        words.insert(words.end(), part.begin(), part.end());
    }
    return words;
}

class ModuleTest : public ::testing::Test {
protected:
    Module m{ModuleOptions{}, kClock2020};
    void remote(int port = kA) { ASSERT_EQ(command(m, port, 3), 0); }
};

TEST_F(ModuleTest, MapAnswersKnownRegistersAndRefusesOthersWithException2) {
    struct Case {
        uint8_t function;
        int addr, qty;
        uint8_t exception;
    } cases[] = {
        {4, 651, 2, 0},     {4, 1019, 1, 0},    {3, 2000, 72, 0},
        {3, 4900, 72, 0},   {3, 1900, 72, 2},   {3, 2072, 1, 2},
        {3, 5000, 22, 0},   {3, 5022, 1, 2},    {3, 5100, 125, 0},
        {3, 5260, 30, 0},   {3, 5290, 1, 2},    {3, 6000, 106, 0},
        {3, 6106, 1, 2},    {3, 6110, 60, 0},   {3, 6170, 1, 2},
        {3, 44000, 125, 0}, {3, 45000, 125, 0}, {3, 45377, 1, 0},
        {3, 45378, 1, 2},   {3, 0, 1, 2},       {4, reg::kModuleError, 1, 0},
        {4, 653, 1, 2},     {1, 18, 2, 0},      {1, 17, 1, 2},
        {2, 19, 1, 0},      {3, 108, 4, 0},     {3, 1015, 3, 0},
        {3, 5000, 126, 3},
    };
    for (const Case& c : cases)
        EXPECT_EQ(send(m, kA, pdu(c.function, uint16_t(c.addr), uint16_t(c.qty))).exception,
                  c.exception)
            << "function " << int(c.function) << " at " << c.addr;
    EXPECT_EQ(send(m, kA, Pdu{7}).exception, 1);  // unsupported function
    EXPECT_EQ(regs(m, kA, 651, 2, false), (std::vector<uint16_t>{0x4205, 0x4100}));
    EXPECT_EQ(regs(m, kA, 1019, 1, false)[0], 0xB052);
    EXPECT_EQ(regs(m, kA, 5288, 2), (std::vector<uint16_t>{uint16_t(100000), 1}));
}

TEST_F(ModuleTest, RemoteControlDecidesWhoMayWriteAndShowsInTheStatusWord) {
    // Without remote control: refused with 18; none needed for the long-format register.
    EXPECT_EQ(write1(m, kA, 5000, 0), 4);
    EXPECT_EQ(regs(m, kA, reg::kModuleError, 1, false)[0], 18);
    EXPECT_EQ(write1(m, kA, reg::kLongFormatDefault, 0), 0);
    EXPECT_EQ(command(m, kA, 1), 18);

    remote(kA);
    EXPECT_TRUE(status::heldHere(regs(m, kA, reg::kGlobalStatus, 1)[0]));
    EXPECT_TRUE(status::heldElsewhere(regs(m, kB, reg::kGlobalStatus, 1)[0]));
    EXPECT_EQ(write1(m, kA, 5000, 0x0008), 0);
    // The other port is refused with 19, for writes and for taking control.
    EXPECT_EQ(write1(m, kB, 5000, 0), 4);
    EXPECT_EQ(regs(m, kB, reg::kModuleError, 1, false)[0], 19);
    EXPECT_EQ(command(m, kB, 3), 19);
    EXPECT_EQ(command(m, kB, 5), 19);
    EXPECT_EQ(send(m, kB, pdu(5, 18, 0xFF00)).exception, 4);
    // Force remote with the confirmation words moves control to the sender.
    EXPECT_EQ(command(m, kB, 0, {kConfirmWord1, 0x1234}), 46);
    EXPECT_EQ(command(m, kB, 0, {kConfirmWord1, kConfirmWord2}), 0);
    EXPECT_EQ(m.remoteHolder(), kB);
    EXPECT_EQ(command(m, kA, 2), 19);
    // Local gives it back; a closed connection gives it back too.
    EXPECT_EQ(command(m, kB, 5), 0);
    EXPECT_FALSE(status::has(regs(m, kA, reg::kGlobalStatus, 1)[0], status::kRem));
    remote(kA);
    m.portClosed(kA);
    EXPECT_EQ(m.remoteHolder(), -1);
}

TEST_F(ModuleTest, MailboxReadsBackAndChecksParameterCountsOfBlocksOnly) {
    // Function 6 runs a command without parameters; 44000 reads back the code.
    ASSERT_EQ(write1(m, kA, 44000, 19), 0);
    const auto back = regs(m, kA, 44000, 3);
    EXPECT_EQ(back[0], 19);
    EXPECT_EQ(back[1], 1);
    EXPECT_EQ(back[2], m.events().size());
    // A block with a wrong count is refused with 54; function 6 does not check it.
    ASSERT_EQ(writeN(m, kA, 44001, {7}), 0);
    EXPECT_EQ(command(m, kA, 19, {1}), 54);
    EXPECT_EQ(write1(m, kA, 44000, 19), 0);
    // So does a function 16 write of the code alone, whatever count an
    // earlier block left at 44001.
    EXPECT_EQ(command(m, kA, 20, {1}), 0);
    ASSERT_EQ(writeN(m, kA, 44000, {19}), 0);
    EXPECT_EQ(answer(m, kA), std::vector<uint16_t>{uint16_t(m.events().size())});
    // An unknown code: exception 4 and module error 20.
    EXPECT_EQ(command(m, kA, 99), 20);
    EXPECT_EQ(regs(m, kA, reg::kModuleError, 1)[0], 20);
}

TEST_F(ModuleTest, TopDownBlockRunsWhenItsLastRequestReaches44000) {
    remote();
    // E-mail text 3: 129 parameters, 131 words: first 31 words at 44100, then 100 at 44000.
    std::vector<uint16_t> block{27, 129, 3};
    for (int i = 0; i < 128; ++i)
        block.push_back(uint16_t(0x4100 + i));
    ASSERT_EQ(writeN(m, kA, 44100, std::vector<uint16_t>(block.begin() + 100, block.end())), 0);
    ASSERT_EQ(writeN(m, kA, 44000, std::vector<uint16_t>(block.begin(), block.begin() + 100)), 0);
    ASSERT_EQ(command(m, kA, 28, {3}), 0);
    EXPECT_EQ(answer(m, kA), std::vector<uint16_t>(block.begin() + 3, block.end()));
}

TEST_F(ModuleTest, ConfigurationWritesAreCheckedLikeAModule) {
    remote();
    struct Case {
        int addr;
        std::vector<uint16_t> values;
        uint16_t error;
    } cases[] = {
        {2000, {0x0008}, 2},           // function 8 does not exist
        {2100, {0x0051}, 3},           // Vdc has ranges 0 to 4
        {2100, {0x0041}, 0},           // Vdc 100 V
        {5100, {0xA0, 0x1}, 0},        // block 1 of 65696 records
        {5100, {0x86A1, 0x1}, 37},     // 100001 records: beyond the capacity
        {5116, {0x86A0, 0x1}, 37},     // block 2 of 100000 beside block 1
        {reg::chanRes(1), {3}, 0},     // channel results
        {45000, {0x764F, 0x6978}, 0},  // extension block
    };
    for (const Case& c : cases) {
        const uint8_t e = writeN(m, kA, c.addr, c.values);
        EXPECT_EQ(e ? regs(m, kA, reg::kModuleError, 1, false)[0] : 0, c.error) << "at " << c.addr;
    }
    EXPECT_EQ(regs(m, kA, 2100, 1)[0], 0x0041);
    // Relay coils need the global word to leave the relay to MODBUS.
    EXPECT_EQ(send(m, kA, pdu(5, 19, 0xFF00)).exception, 4);
    EXPECT_EQ(regs(m, kA, reg::kModuleError, 1, false)[0], 21);
    ASSERT_EQ(write1(m, kA, 5000, 0x0010), 0);
    EXPECT_EQ(send(m, kA, pdu(5, 19, 0xFF00)).exception, 0);
    const Pdu coils = m.handle(kA, pdu(1, 18, 2));
    EXPECT_EQ(coils, (Pdu{1, 1, 0x02}));
    // While acquiring: 17.
    ASSERT_EQ(command(m, kA, 1), 0);
    ASSERT_EQ(command(m, kA, 0), 0);
    EXPECT_EQ(write1(m, kA, 5004, 500), 0);
    ASSERT_EQ(command(m, kA, 1), 0);
    EXPECT_EQ(write1(m, kA, 5004, 200), 4);
    EXPECT_EQ(regs(m, kA, reg::kModuleError, 1, false)[0], 17);
}

TEST(ModuleCapacityTest, UnreportedCapacityHoldsTwelveThousandRecords) {
    ModuleOptions o;
    o.capacity = 0;
    Module m(o, kClock2020);
    EXPECT_EQ(regs(m, kA, 5288, 2), (std::vector<uint16_t>{0, 0}));
    ASSERT_EQ(command(m, kA, 3), 0);
    EXPECT_EQ(writeN(m, kA, 5100, {12000, 0}), 0);
    EXPECT_EQ(writeN(m, kA, 5116, {1, 0}), 4);
    EXPECT_EQ(regs(m, kA, reg::kModuleError, 1, false)[0], 37);
}

TEST_F(ModuleTest, RefuseWritesFaultRefusesEveryWrite) {
    m.setRefuseWrites(52);
    EXPECT_EQ(write1(m, kA, reg::kLongFormatDefault, 0), 4);
    EXPECT_EQ(command(m, kA, 3), 52);
    EXPECT_EQ(send(m, kA, pdu(5, 18, 0)).exception, 4);
    EXPECT_EQ(read(m, kA, 5000, 1).exception, 0);
}

TEST_F(ModuleTest, ClockRegistersUseTheModuleEncoding) {
    remote();
    ASSERT_EQ(writeN(m, kA, 1015, {0x1F0C, 0x0917, 0x3B3A}), 0);  // 2009-12-31 23:59:58
    EXPECT_EQ(regs(m, kA, 1015, 3), (std::vector<uint16_t>{0x1F0C, 0x0917, 0x3B3A}));
    m.advance(m.uptimeMs() + 2500);
    EXPECT_EQ(regs(m, kA, 1015, 3), (std::vector<uint16_t>{0x0101, 0x0A00, 0x0000}));
    EXPECT_EQ(writeN(m, kA, 1015, {0x200D, 0, 0}), 3);  // month 13
    // The last second the clock registers can hold, past the 32-bit count.
    ASSERT_EQ(writeN(m, kA, 1015, {0x1F0C, 0xFF17, 0x3B3B}), 0);  // 2255-12-31 23:59:59
    EXPECT_EQ(regs(m, kA, 1015, 3), (std::vector<uint16_t>{0x1F0C, 0xFF17, 0x3B3B}));
}

// Decoded raw record.
struct Rec {
    int type, alarms, channel;
    uint16_t word1;
    uint32_t payload;
};
Rec decode(const RawRecord& r) {
    const uint16_t w0 = le::u16(r, 0);
    return {w0 >> 14, (w0 >> 8) & 0xF, w0 & 0xFF, le::u16(r, 2), le::u32(r, 4)};
}

TEST_F(ModuleTest, AcquisitionRecordsCyclesStatusAndCycleData) {
    remote();
    ASSERT_EQ(command(m, kA, 1), 0);
    EXPECT_EQ(regs(m, kA, 6000, 1)[0] & 0x7, 0x5);  // RUN and ACQ
    m.advance(m.uptimeMs() + 4500);                 // cycles at 0, 1, 2, 3, 4 s
    // Block 1 records every cycle: a date record and channels 1 to 4.
    const auto& recs = m.records(1);
    ASSERT_EQ(recs.size(), 25u);
    EXPECT_EQ(regs(m, kA, 5268, 2), (std::vector<uint16_t>{25, 0}));
    EXPECT_EQ(regs(m, kA, 5264, 4), (std::vector<uint16_t>{1, 0, 1, 0}));
    for (int cycle = 0; cycle < 5; ++cycle) {
        const Rec date = decode(recs[cycle * 5]);
        EXPECT_EQ(date.type, 0);
        EXPECT_EQ(date.payload, 631152000u + uint32_t(cycle));
        EXPECT_EQ(date.word1, 0);
        uint16_t lastOffset = 0;
        for (int c = 1; c <= 4; ++c) {
            const Rec r = decode(recs[cycle * 5 + c]);
            EXPECT_EQ(r.type, 1);
            EXPECT_EQ(r.channel, c);
            EXPECT_GT(r.word1, lastOffset);  // 1 ms units, growing through the cycle
            lastOffset = r.word1;
            const float v = std::bit_cast<float>(r.payload);
            const float lo[] = {-5, 0, -20, 4}, hi[] = {5, 600, 180, 20};
            EXPECT_GE(v, lo[c - 1]);
            EXPECT_LE(v, hi[c - 1]);
            // The limit 1 of channel 1 is high at 3 V.
            if (c == 1 && v > 3.0f) {
                EXPECT_EQ(r.alarms, 1);
            }
        }
    }
    // Cycle status: the last cycle's time, values and offsets as recorded.
    const auto cy = regs(m, kA, 6001, 105);
    std::vector<uint8_t> img(210);
    for (int i = 0; i < 105; ++i)
        le::setU16(img, 2 * size_t(i), cy[i]);
    EXPECT_EQ(le::u32(img, 2), 631152004u);
    for (int c = 1; c <= 4; ++c)
        EXPECT_EQ(le::u32(img, 30 + 4 * size_t(c - 1)), decode(recs[20 + c]).payload);
    EXPECT_EQ(regs(m, kA, 6110, 4)[3], decode(recs[24]).word1);
    EXPECT_EQ(regs(m, kA, 6110 + 4, 1)[0], 0);  // channel 5 is not scanned
    // Reading records: empty block 41, running block 42, then after STOP.
    EXPECT_EQ(command(m, kA, 11, {2, 1, 0, 10}), 41);
    EXPECT_EQ(command(m, kA, 11, {1, 1, 0, 10}), 42);
    ASSERT_EQ(command(m, kA, 0), 0);
    EXPECT_EQ(regs(m, kA, 5264, 4), (std::vector<uint16_t>{0, 1, 1, 0}));
    EXPECT_EQ(command(m, kA, 11, {1, 1, 0, 50}), 49);
    ASSERT_EQ(command(m, kA, 11, {1, 6, 0, 3}), 0);
    const auto words = answer(m, kA);
    ASSERT_EQ(words.size(), 12u);
    for (int i = 0; i < 3; ++i)
        for (int w = 0; w < 4; ++w)
            EXPECT_EQ(words[4 * i + w], le::u16(recs[5 + i], 2 * size_t(w)));
    // Plain RUN refuses a block that holds data and is not re-openable;
    // RUN with option 0 re-opens and clears it.
    EXPECT_EQ(command(m, kA, 1), 62);
    EXPECT_EQ(command(m, kA, 7, {1}), 62);
    ASSERT_EQ(command(m, kA, 29, {0}), 0);
    EXPECT_EQ(m.recordCount(1), 0u);
    m.advance(m.uptimeMs() + 10);
    EXPECT_EQ(m.recordCount(1), 5u);
    // Removing records takes the oldest ones.
    ASSERT_EQ(command(m, kA, 0), 0);
    ASSERT_EQ(command(m, kB, 37, {1, 2, 0}), 0);
    EXPECT_EQ(m.recordCount(1), 3u);
}

TEST_F(ModuleTest, BlockClosesWhenFullAndRecordsEveryNthCycle) {
    remote();
    // Block 1: 12 records, close on full, every 2 cycles, channels 1 and 2 only.
    ASSERT_EQ(writeN(m, kA, 5100, {12, 0, 0x3, 0, 1, 0, 0, 0x8000, 0, 0, 0, 0, 0, 8, 2, 0}), 0);
    ASSERT_EQ(command(m, kA, 1), 0);
    m.advance(m.uptimeMs() + 10'000);
    EXPECT_EQ(m.recordCount(1), 12u);
    const auto& recs = m.records(1);
    EXPECT_EQ(decode(recs[3]).payload - decode(recs[0]).payload, 2u);  // every 2nd cycle
    EXPECT_EQ(regs(m, kA, 5264, 4), (std::vector<uint16_t>{0, 1, 1, 1}));
    // The status mask selects "Full Block" of block 1: GMSR.
    EXPECT_NE(regs(m, kA, 6000, 1)[0] & (1 << 11), 0);
}

TEST_F(ModuleTest, LimitCounterRaisesAlarmsGlobalAlarmRelayAndOpensABlock) {
    remote();
    // Channel 1, limit 1: high, in use, counter 3, level -10 V (always passed).
    const uint32_t level = std::bit_cast<uint32_t>(-10.0f);
    ASSERT_EQ(writeN(m, kA, 2004, {0x0303, uint16_t(level), uint16_t(level >> 16)}), 0);
    // Block 2 opens when channel 1 is in alarm on limit 1, records channel 1 every cycle.
    ASSERT_EQ(writeN(m, kA, 5116, {100, 0, 1, 0, 0x0014, 1, 0, 0, 0, 0, 0, 0, 0, 8, 1, 0}), 0);
    ASSERT_EQ(write1(m, kB, 109, 1), 0);  // e-mail on global alarm 1
    ASSERT_EQ(command(m, kA, 1), 0);
    m.advance(m.uptimeMs() + 3500);  // four cycles
    const auto& recs = m.records(1);
    ASSERT_EQ(recs.size(), 20u);
    for (int cycle = 0; cycle < 4; ++cycle)
        EXPECT_EQ(decode(recs[cycle * 5 + 1]).alarms, cycle >= 2 ? 1 : 0) << "cycle " << cycle;
    ASSERT_EQ(m.recordCount(2), 4u);  // opened at the third cycle: two cycles of two records
    EXPECT_EQ(decode(m.records(2)[0]).payload, decode(recs[10]).payload);
    const uint16_t status = regs(m, kA, 6000, 1)[0];
    EXPECT_NE(status & (1 << 12), 0);                                // ALG1
    EXPECT_NE(status & (1 << 7), 0);                                 // AL1C
    EXPECT_EQ(regs(m, kA, 6008, 2), (std::vector<uint16_t>{1, 0}));  // limit 1 alarm mask
    EXPECT_EQ(m.handle(kA, pdu(1, 18, 1)), (Pdu{1, 1, 1}));          // relay 1 follows ALG1
    // One e-mail for the alarm, another only after the alerter is re-initialised.
    EXPECT_EQ(regs(m, kA, 108, 1)[0], 1);
    m.advance(m.uptimeMs() + 1000);
    EXPECT_EQ(regs(m, kA, 108, 1)[0], 1);
    ASSERT_EQ(command(m, kA, 36), 0);
    m.advance(m.uptimeMs() + 1000);
    EXPECT_EQ(regs(m, kA, 108, 1)[0], 2);
}

TEST_F(ModuleTest, TriggerOpensOrPacesTheAcquisitionByMode) {
    remote();
    EXPECT_EQ(command(m, kA, 2), 45);  // no RUN yet
    struct Case {
        uint16_t acqWord;   // execution mode and opening
        size_t beforeTrig;  // records of block 1 after 3.5 s without a trigger
        size_t afterTrig;   // then after the trigger and 2 s more
    } cases[] = {
        {0x2A00 | 3, 0, 5},        // non periodic, on ACQTRIG: one cycle per trigger
        {0x2A00 | 1 << 3, 0, 15},  // periodic, opened by ACQTRIG: cycles at 0, 1, 2 s
    };
    for (const Case& c : cases) {
        ASSERT_EQ(command(m, kA, 0), 0);
        ASSERT_EQ(command(m, kA, 12, {1}), 0);
        ASSERT_EQ(write1(m, kA, 5001, c.acqWord), 0);
        ASSERT_EQ(command(m, kA, 1), 0);
        EXPECT_EQ(regs(m, kA, 6000, 1)[0] & 0x3, 0x3) << c.acqWord;  // RUN and WAI
        m.advance(m.uptimeMs() + 3500);
        EXPECT_EQ(m.recordCount(1), c.beforeTrig) << c.acqWord;
        ASSERT_EQ(command(m, kA, 2), 0);
        m.advance(m.uptimeMs() + 2000);
        EXPECT_EQ(m.recordCount(1), c.afterTrig) << c.acqWord;
    }
}

TEST_F(ModuleTest, MemoryBlockCommandsOpenStoreStopAndClear) {
    remote();
    // Block 1 opens on the TRIG input and records only when asked to store.
    ASSERT_EQ(writeN(m, kA, 5104, {2}), 0);
    ASSERT_EQ(writeN(m, kA, 5113, {0}), 0);
    ASSERT_EQ(command(m, kA, 1), 0);
    m.advance(m.uptimeMs() + 1500);
    EXPECT_EQ(regs(m, kA, 5264, 1)[0] & 1, 0);  // armed, not recording
    EXPECT_EQ(command(m, kA, 10, {1}), 40);     // store: not running
    ASSERT_EQ(command(m, kA, 9, {1}), 0);       // trigger opens it
    EXPECT_EQ(regs(m, kA, 5264, 1)[0] & 1, 1);
    ASSERT_EQ(command(m, kA, 10, {1}), 0);  // store the last cycle
    EXPECT_EQ(m.recordCount(1), 5u);
    m.advance(m.uptimeMs() + 3000);
    EXPECT_EQ(m.recordCount(1), 5u);  // nothing recorded by itself
    ASSERT_EQ(command(m, kA, 8, {1}), 0);
    EXPECT_EQ(regs(m, kA, 5264, 4), (std::vector<uint16_t>{0, 1, 1, 0}));
    ASSERT_EQ(command(m, kA, 12, {1}), 0);
    EXPECT_EQ(regs(m, kA, 5264, 4), (std::vector<uint16_t>{0, 0, 0, 0}));
    EXPECT_EQ(command(m, kA, 7, {2}), 39);   // block 2 has no size
    EXPECT_EQ(command(m, kA, 7, {11}), 38);  // no block 11
    EXPECT_EQ(command(m, kA, 12, {1, 0}), 54);
}

TEST_F(ModuleTest, FailingChannelGivesErrorRecordsBitsAndEvents) {
    m.setChannelFailure(2, 26);
    remote();
    ASSERT_EQ(command(m, kA, 1), 0);
    m.advance(m.uptimeMs() + 1500);
    const Rec r = decode(m.records(1)[2]);
    EXPECT_EQ(r.type, 2);
    EXPECT_EQ(r.channel, 2);
    EXPECT_EQ(int32_t(r.payload), 26);
    const uint16_t status = regs(m, kA, 6000, 1)[0];
    EXPECT_NE(status & (1 << 5), 0);                   // CHER
    EXPECT_NE(status & (1 << 6), 0);                   // CHERC
    EXPECT_NE(status & (1 << 4), 0);                   // EVT
    EXPECT_EQ(regs(m, kA, 6000, 1)[0] & (1 << 6), 0);  // the change bit was acknowledged
    const auto cy = regs(m, kA, 6006, 2);
    EXPECT_EQ(cy[0], 0x0002);  // channel error mask
    EXPECT_EQ(int16_t(regs(m, kA, 6001 + 75 + 1, 1)[0]), 26);
    // Events: power on, then the channel error with its channel as detail.
    ASSERT_EQ(command(m, kB, 19), 0);
    ASSERT_EQ(answer(m, kB), std::vector<uint16_t>{2});
    ASSERT_EQ(command(m, kB, 20, {48}), 0);
    const auto ev = answer(m, kB);
    ASSERT_EQ(ev.size(), 8u);
    EXPECT_EQ(ev[0] | uint32_t(ev[1]) << 16, 631152000u);
    EXPECT_EQ(ev[2], 0x1000);
    EXPECT_EQ(ev[6], 0x4000 | 26);
    EXPECT_EQ(ev[7], 2);
    ASSERT_EQ(command(m, kB, 20, {48}), 0);
    EXPECT_TRUE(answer(m, kB).empty());  // read position at the end
    EXPECT_EQ(command(m, kB, 20, {49}), 49);
    ASSERT_EQ(command(m, kB, 21), 0);
    EXPECT_TRUE(m.events().empty());
}

TEST_F(ModuleTest, SetupItemsAreReadWrittenStoredAndReset) {
    // Reading the module name, as the SETUP reading does: 66 registers from 44000.
    ASSERT_EQ(command(m, kA, 24, {34}), 0);
    const auto back = regs(m, kA, 44000, 66);
    EXPECT_EQ(back[0], 24);
    EXPECT_EQ(back[1], 64);
    EXPECT_EQ(back[2], 0x5144);  // "QD"
    EXPECT_EQ(back[3], 0x3430);  // "40"
    EXPECT_EQ(command(m, kA, 24, {12}), 55);
    EXPECT_EQ(command(m, kA, 25, {kConfirmWord1, kConfirmWord2, 27, 1}), 18);
    remote();
    EXPECT_EQ(command(m, kA, 25, {kConfirmWord1, kConfirmWord2, 27, 1, 2}), 54);
    EXPECT_EQ(command(m, kA, 25, {0, 0, 27, 1}), 46);
    ASSERT_EQ(command(m, kA, 25, {kConfirmWord1, kConfirmWord2, 0, 0xC200, 0x0001}), 0);
    ASSERT_EQ(command(m, kA, 26, {kConfirmWord1, kConfirmWord2}), 0);
    ASSERT_EQ(command(m, kA, 24, {0}), 0);
    EXPECT_EQ(answer(m, kA), (std::vector<uint16_t>{0xC200, 0x0001}));  // 115200
    ASSERT_EQ(command(m, kA, 34, {kConfirmWord1, kConfirmWord2}), 0);
    ASSERT_EQ(command(m, kA, 24, {0}), 0);
    EXPECT_EQ(answer(m, kA), (std::vector<uint16_t>{9600, 0}));
    // Item 50 authorises configuration writes during acquisition.
    ASSERT_EQ(command(m, kA, 25, {kConfirmWord1, kConfirmWord2, 50, 1}), 0);
    ASSERT_EQ(command(m, kA, 1), 0);
    EXPECT_EQ(write1(m, kA, 5004, 2000), 0);
}

TEST_F(ModuleTest, StateKeepsConfigurationSetupAndClockAndAcceptsPlantedValues) {
    remote();
    ASSERT_EQ(writeN(m, kA, 45000, {0x1111, 0x2222}), 0);
    ASSERT_EQ(command(m, kA, 25, {kConfirmWord1, kConfirmWord2, 30, 1}), 0);
    ASSERT_EQ(command(m, kA, 26, {kConfirmWord1, kConfirmWord2}), 0);
    const std::string state = m.saveState(1'000'000) + "holding 2000 00F9\n";

    Module again(ModuleOptions{}, 0);
    std::string error;
    ASSERT_TRUE(again.loadState(state, 1'060'000, error)) << error;
    EXPECT_EQ(regs(again, kA, 45000, 2), (std::vector<uint16_t>{0x1111, 0x2222}));
    EXPECT_EQ(regs(again, kA, 2000, 1)[0], 0x00F9);  // kept as planted
    ASSERT_EQ(command(again, kA, 24, {30}), 0);
    EXPECT_EQ(answer(again, kA), std::vector<uint16_t>{1});
    EXPECT_EQ(again.clockMs(), m.clockMs() + 60'000);  // the clock ran while stopped

    const char* bad[] = {"holding 5264 0001\n", "setup 12 0000\n", "setup 0 0001\n",
                         "holding 2000 XYZ\n", "bogus 1\n"};
    for (const char* text : bad)
        EXPECT_FALSE(again.loadState(text, 0, error)) << text;
}

TEST_F(ModuleTest, PreloadFillsAClosedBlockReadyToRead) {
    std::string error;
    ASSERT_TRUE(m.preload(3, 1003, error)) << error;
    EXPECT_EQ(m.recordCount(3), 1003u);
    EXPECT_EQ(regs(m, kA, 5132, 2), (std::vector<uint16_t>{1003, 0}));
    EXPECT_EQ(decode(m.records(3)[0]).type, 0);
    EXPECT_EQ(decode(m.records(3)[1]).type, 1);
    EXPECT_EQ(command(m, kA, 11, {3, 1000, 0, 49}), 0);
    EXPECT_EQ(answer(m, kA).size(), 16u);
    EXPECT_FALSE(m.preload(2, 95'000, error));  // beyond the capacity beside block 1
}

TEST(FaultsTest, ParsesEveryFaultAndRejectsBadLines) {
    Faults f;
    std::string error;
    ASSERT_TRUE(
        parseFaults("# comment\n\ndrop 0.25\ndelay 40\nbad_crc 1\nwrong_slave 0.5\n"
                    "close_after 3\nrefuse_writes 17\noff\nfail_channel 4\n"
                    "fail_channel 5 24\n",
                    f, error))
        << error;
    EXPECT_EQ(f.drop, 0.25);
    EXPECT_EQ(f.delayMs, 40);
    EXPECT_EQ(f.badCrc, 1);
    EXPECT_EQ(f.wrongSlave, 0.5);
    EXPECT_EQ(f.closeAfter, 3);
    EXPECT_EQ(f.refuseWrites, 17);
    EXPECT_TRUE(f.off);
    EXPECT_EQ(f.failChannels, (std::vector<std::pair<int, int16_t>>{{4, 26}, {5, 24}}));
    for (const char* text :
         {"drop 2\n", "delay x\n", "fail_channel 31\n", "explode 1\n", "drop_at R5 901\n",
          "drop_at W3 901\n", "drop_at R3 65536\n", "delay_at R3 901\n", "exception_at R4 651 0\n",
          "first_only drop 1\n", "first_only\n", "byte_gap -1\n"}) {
        EXPECT_FALSE(parseFaults(text, f, error)) << text;
        EXPECT_NE(error.find("line 1"), std::string::npos) << text;
    }
}

TEST(FaultsTest, TargetedFaultsNameTheRequestTheyHit) {
    using Kind = TargetedFault::Kind;
    Faults f;
    std::string error;
    ASSERT_TRUE(
        parseFaults("drop_at R3 5084\nfirst_only drop_at W16 44000\n"
                    "delay_at R4 1019 250\nbad_crc_at R4 651\nwrong_slave_at W6 901\n"
                    "exception_at R3 6000\nexception_at W5 18 4\nbyte_gap 3\n",
                    f, error))
        << error;
    EXPECT_EQ(f.targeted, (std::vector<TargetedFault>{
                              {Kind::Drop, 3, 5084, 0, false},
                              {Kind::Drop, 16, 44000, 0, true},
                              {Kind::Delay, 4, 1019, 250, false},
                              {Kind::BadCrc, 4, 651, 0, false},
                              {Kind::WrongSlave, 6, 901, 0, false},
                              {Kind::Exception, 3, 6000, 2, false},
                              {Kind::Exception, 5, 18, 4, false},
                          }));
    EXPECT_EQ(f.byteGapMs, 3);
}

}  // namespace
}  // namespace qd40::sim
