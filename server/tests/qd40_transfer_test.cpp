// Register map, command mailbox, configuration, status, record and event
// transfers: the exact request sequences over the scripted fake transport.
#include <gmock/gmock.h>

#include <algorithm>

#include "common/dates.h"
#include "common/le_bytes.h"
#include "server/qd40_errors.h"
#include "server/qd40_ids.h"
#include "server/tests/qd40_fixture.h"

namespace qd40::server::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

class TransferTest : public Qd40Fixture {
protected:
    void SetUp() override { openSerial(q); }
    Qd40 q{context};
    int32_t err = 0;
};

TEST_F(TransferTest, BlockReadsTakeTheRemainderFirst) {
    struct Case {
        int16_t qty;
        std::vector<std::string> requests;
    };
    const std::vector<Case> cases = {
        {125, {"R3 100 125"}},
        {126, {"R3 100 1", "R3 101 125"}},
        {310, {"R3 100 60", "R3 160 125", "R3 285 125"}},
        {0, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.qty);
        module.log.clear();
        for (int i = 0; i < c.qty; ++i)
            module.holding[100 + i] = uint16_t(i * 3);
        Variant v;
        ASSERT_EQ(q.ReadRegs(1, 100, c.qty, 1, &v, &err), S_OK);
        EXPECT_EQ(module.requests(), c.requests);
        EXPECT_EQ(v.vt, VT_ARRAY | VT_I2);
        ASSERT_EQ(v.data.size(), size_t(c.qty) * 2);
        if (c.qty > 0) {
            EXPECT_EQ(le::u16(v.data, 2 * size_t(c.qty - 1)), uint16_t((c.qty - 1) * 3));
        }
    }
    module.log.clear();
    Variant v;
    ASSERT_EQ(q.ReadRegs(1, 200, 2, 0, &v, &err), S_OK);
    EXPECT_THAT(module.requests(), ElementsAre("R4 200 2"));
}

TEST_F(TransferTest, SendRegsSplitsByHundredAndChecksItsArray) {
    std::vector<uint16_t> words(201);
    for (size_t i = 0; i < words.size(); ++i)
        words[i] = uint16_t(i);
    ASSERT_EQ(q.SendRegs(1, 3000, 201, Variant::words(words), &err), S_OK);
    EXPECT_THAT(module.requests(), ElementsAre("W16 3000 1", "W16 3001 100", "W16 3101 100"));
    EXPECT_EQ(module.holding[3200], 200);

    module.log.clear();
    EXPECT_EQ(q.SendRegs(1, 3000, 202, Variant::words(words), &err), E_INVALIDARG);
    EXPECT_EQ(q.SendRegs(1, 3000, 2, Variant::bytes({1, 2, 3, 4}), &err), E_INVALIDARG);
    EXPECT_EQ(q.lastError().description, "Invalid Argument");
    EXPECT_THAT(module.requests(), IsEmpty());
}

std::vector<uint8_t> commandBytes(uint16_t code, std::vector<uint16_t> params) {
    std::vector<uint16_t> w{code, uint16_t(params.size())};
    w.insert(w.end(), params.begin(), params.end());
    return Variant::words(w).data;
}

TEST_F(TransferTest, SendCmdWritesTopDownAndReturnsTheAnswer) {
    module.onCommand = [](const std::vector<uint16_t>& block) {
        return std::vector<uint16_t>{block[0], uint16_t(block.size())};
    };
    const Variant cmd = Variant::bytes(commandBytes(42, std::vector<uint16_t>(99, 7)));
    Variant answer;
    ASSERT_EQ(q.SendCmd(1, &cmd, 1, &answer, &err), S_OK);
    EXPECT_THAT(module.requests(),
                ElementsAre("W16 44100 1", "W16 44000 100", "R4 44001 1", "R4 44002 2"));
    EXPECT_EQ(answer.data, Variant::words(std::vector<uint16_t>{42, 2, 42, 101}).data);

    module.log.clear();
    const Variant small = Variant::bytes(commandBytes(7, {3}));
    ASSERT_EQ(q.SendCmd(1, &small, 0, &answer, &err), S_OK);
    EXPECT_THAT(module.requests(), ElementsAre("W16 44000 3"));
    EXPECT_EQ(answer.vt, VT_EMPTY);
}

TEST_F(TransferTest, SendCmdRefusesBadBlocksBeforeAnyRequest) {
    std::vector<uint8_t> tooMany = commandBytes(42, std::vector<uint16_t>(198, 0));
    std::vector<uint8_t> shortBlock = commandBytes(42, {1, 2, 3});
    shortBlock.resize(shortBlock.size() - 2);
    const Variant notArray{VT_I4, {1, 0, 0, 0}};
    for (const Variant& v : {Variant::bytes(tooMany), Variant::bytes(shortBlock), notArray}) {
        EXPECT_EQ(q.SendCmd(1, &v, 0, nullptr, &err), E_INVALIDARG);
        EXPECT_EQ(q.lastError().description, "Invalid Argument");
    }
    EXPECT_THAT(module.requests(), IsEmpty());
}

TEST_F(TransferTest, AnswerLengthIsCappedAt196) {
    module.onCommand = [](const std::vector<uint16_t>&) { return std::vector<uint16_t>(300, 1); };
    const Variant cmd = Variant::bytes(commandBytes(24, {34}));
    Variant answer;
    ASSERT_EQ(q.SendCmd(1, &cmd, 1, &answer, &err), S_OK);
    EXPECT_THAT(module.requests(),
                ElementsAre("W16 44000 3", "R4 44001 1", "R4 44002 71", "R4 44073 125"));
    EXPECT_EQ(answer.data.size(), size_t(198) * 2);
}

TEST_F(TransferTest, ClockIsEncodedBothWays) {
    const double date = toOleDate(DateTime{2009, 12, 31, 23, 59, 58, 0});
    ASSERT_EQ(q.SetDate(1, date, &err), S_OK);
    EXPECT_THAT(module.requests(), ElementsAre("W16 1015 3"));
    EXPECT_EQ(module.holding[1015], 0x1F0C);
    EXPECT_EQ(module.holding[1016], 0x0917);
    EXPECT_EQ(module.holding[1017], 0x3B3A);
    double back = 0;
    ASSERT_EQ(q.GetDate(1, &back), S_OK);
    EXPECT_EQ(fromOleDate(back), (DateTime{2009, 12, 31, 23, 59, 58, 0}));
    EXPECT_EQ(q.SetDate(1, toOleDate(DateTime{1999, 1, 1}), &err), E_INVALIDARG);
}

TEST_F(TransferTest, VersionsSetupNameDeviceIdAndRelays) {
    module.input[651] = 0x4103;
    module.input[652] = 0x5A09;
    module.input[1019] = 0xB05B;
    std::string text;
    ASSERT_EQ(q.GetDevVersion(1, &text), S_OK);
    EXPECT_EQ(text, "A.03");
    ASSERT_EQ(q.GetDevFileVersion(1, &text), S_OK);
    EXPECT_EQ(text, "Z.09");
    module.input[652] = 0x0003;  // no letter: an empty text, not one holding a zero
    ASSERT_EQ(q.GetDevFileVersion(1, &text), S_OK);
    EXPECT_EQ(text, "");
    uint16_t id = 0;
    ASSERT_EQ(q.GetDevId(1, &id), S_OK);
    EXPECT_EQ(id, 0xB05B);

    module.onCommand = [](const std::vector<uint16_t>& b) {
        EXPECT_EQ(b, (std::vector<uint16_t>{24, 1, 34}));
        return std::vector<uint16_t>{0x4100, 0x4243};
    };
    ASSERT_EQ(q.ReadSetupName(1, &text), S_OK);
    EXPECT_EQ(text, "A");
    // The module's 8-bit characters reach the client as UTF-8.
    module.onCommand = [](const std::vector<uint16_t>&) {
        return std::vector<uint16_t>{0x4CE9, 0x6D80, 0};
    };
    ASSERT_EQ(q.ReadSetupName(1, &text), S_OK);
    EXPECT_EQ(text, "L\xC3\xA9m\xE2\x82\xAC");

    module.log.clear();
    ASSERT_EQ(q.SetRel(1, 2, 5, &err), S_OK);
    EXPECT_THAT(module.requests(), ElementsAre("W5 19 on"));
    int32_t on = 0;
    ASSERT_EQ(q.GetRel(1, 2, &on), S_OK);
    EXPECT_EQ(on, 1);
    ASSERT_EQ(q.GetRel(1, 1, &on), S_OK);
    EXPECT_EQ(on, 0);
    EXPECT_EQ(q.SetRel(1, 3, 1, &err), E_INVALIDARG);
    EXPECT_EQ(q.lastError().description, "Invalid Relay Nr");

    module.failures["R4 651"] = Status::failure(transport::kErrTimeout, "No answer");
    text = "old";
    EXPECT_EQ(q.GetDevVersion(1, &text), transport::kErrTimeout);
    EXPECT_EQ(text, "");
}

TEST_F(TransferTest, CommandsUseTheirFormsAndChecks) {
    ASSERT_EQ(q.MemRun(1, 10, &err), S_OK);
    ASSERT_EQ(q.RunWithOptMem(1, 2, &err), S_OK);
    ASSERT_EQ(q.SetSetupDefault(1, &err), S_OK);
    ASSERT_EQ(q.MemRemove(1, 12, 0x12345, &err), S_OK);  // the number is the module's to judge
    ASSERT_EQ(q.ClrEvts(1, &err), S_OK);
    ASSERT_EQ(q.ReInitEmailAlerter(1, &err), S_OK);
    ASSERT_EQ(q.SetLongFormatDefault(1, &err), S_OK);
    EXPECT_THAT(module.requests(),
                ElementsAre("W16 44000 3", "W16 44000 3", "W16 44000 4", "W16 44000 5",
                            "W6 44000 21", "W6 44000 36", "W6 901 0"));
    EXPECT_EQ(module.holding[44003], 0x2345);
    EXPECT_EQ(module.holding[44004], 0x1);

    module.log.clear();
    EXPECT_EQ(q.MemClear(1, 11, &err), E_INVALIDARG);
    EXPECT_EQ(q.lastError().description, "Invalid Memory Nr");
    EXPECT_EQ(q.MemStop(1, 0, &err), E_INVALIDARG);
    EXPECT_EQ(q.RunWithOptMem(1, 3, &err), E_INVALIDARG);
    EXPECT_EQ(q.lastError().description, "Invalid Argument");
    EXPECT_THAT(module.requests(), IsEmpty());
}

TEST_F(TransferTest, ChannelWordIsNormalisedOnReads) {
    struct Case {
        uint16_t stored, read;
    };
    for (const Case& c : {Case{0x00F9, 0x0000}, Case{0x0051, 0x0001}, Case{0x0043, 0x0043},
                          Case{0x12F5, 0x1205}, Case{0x12D6, 0x12D6}, Case{0x3418, 0x3400}}) {
        SCOPED_TRACE(c.stored);
        module.holding[2000 + 100 * 4] = c.stored;  // channel 5
        Variant v;
        ASSERT_EQ(q.GetChanCfg(1, 5, &v, &err), S_OK);
        EXPECT_EQ(le::u16(v.data, 0), c.read);
    }
    module.log.clear();
    Variant v;
    EXPECT_EQ(q.GetChanCfg(1, 31, &v, &err), E_INVALIDARG);
    EXPECT_EQ(q.lastError().description, "Invalid Channel Nr");
    EXPECT_EQ(q.GetChanCfg(1, 0, &v, &err), E_INVALIDARG);
    EXPECT_THAT(module.requests(), IsEmpty());
}

TEST_F(TransferTest, FullConfigurationReadsFortyFourRequests) {
    module.holding[5000] = 0x1234;
    module.holding[2000 + 100 * 29] = 0x00F9;  // channel 30, invalid function
    module.holding[5014 + 7] = 0xBEEF;
    Variant v;
    ASSERT_EQ(q.GetFullCfg(1, &v, &err), S_OK);
    const auto r = module.requests();
    ASSERT_EQ(r.size(), 44u);
    EXPECT_EQ(r[0], "R3 5000 1");
    EXPECT_EQ(r[1], "R3 5001 5");
    EXPECT_EQ(r[2], "R3 2000 72");
    EXPECT_EQ(r[31], "R3 4900 72");
    EXPECT_EQ(r[32], "R3 5100 16");
    EXPECT_EQ(r[41], "R3 5244 16");
    EXPECT_EQ(r[42], "R3 5006 8");
    EXPECT_EQ(r[43], "R3 5014 8");
    ASSERT_EQ(v.data.size(), 4684u);
    EXPECT_EQ(le::u16(v.data, 0), 0x1234);
    EXPECT_EQ(le::u16(v.data, 12 + 144 * 29), 0);
    EXPECT_EQ(le::u16(v.data, 4668 + 14), 0xBEEF);
}

TEST_F(TransferTest, FullWriteKeepsItsStepsAndCapsMemoryToCapacity) {
    std::vector<uint8_t> cfg(4684, 0);
    le::setU16(cfg, 0, 0x0102);
    le::setU32(cfg, 4332, 8000);
    le::setU32(cfg, 4332 + 32, 8000);
    le::setU16(cfg, 12, 0x00F9);  // written as given, never normalised
    const Variant v = Variant::bytes(cfg);
    ASSERT_EQ(q.SetFullCfg(1, &v, &err), S_OK);
    const auto r = module.requests();
    ASSERT_EQ(r.size(), 46u);  // the version read and 45 requests
    EXPECT_EQ(r[0], "R4 651 1");
    EXPECT_EQ(r[1], "W6 5000 258");
    EXPECT_EQ(r[2], "W16 5001 5");
    EXPECT_EQ(r[3], "W16 2000 72");
    EXPECT_EQ(r[33], "R3 5288 2");
    EXPECT_EQ(r[34], "W16 5100 16");
    EXPECT_EQ(r[45], "W16 5014 8");
    EXPECT_EQ(module.holding[2000], 0x00F9);
    EXPECT_EQ(module.holding[5100], 8000);  // capacity 0 counts as 12000
    EXPECT_EQ(module.holding[5116], 0);

    // A module capacity below block 1's size caps it.
    module.holding[5288] = 5000;
    ASSERT_EQ(q.SetFullCfg(1, &v, &err), S_OK);
    EXPECT_EQ(module.holding[5100], 5000);
    EXPECT_EQ(module.holding[5116], 0);

    module.log.clear();
    cfg.resize(4683);
    const Variant shortCfg = Variant::bytes(cfg);
    EXPECT_EQ(q.SetFullCfg(1, &shortCfg, &err), E_INVALIDARG);
    const Variant words = Variant::words(std::vector<uint16_t>(2342));
    EXPECT_EQ(q.SetFullCfg(1, &words, &err), E_INVALIDARG) << "16-bit elements do not qualify";
    EXPECT_EQ(q.SetFullCfg(1, nullptr, &err), E_POINTER);
    EXPECT_THAT(module.requests(), IsEmpty());
}

TEST_F(TransferTest, RefusalStopsAFullWrite) {
    std::vector<uint8_t> cfg(4684, 0);
    const Variant v = Variant::bytes(cfg);
    module.refuseWritesWith = 17;
    EXPECT_EQ(q.SetFullCfg(1, &v, &err), moduleErrorResult(17));
    EXPECT_EQ(q.lastError().description,
              "QD40: Acquisition must be stopped before executing Command (17)");
    // The global word's refusal stops the transfer before any block is written.
    EXPECT_THAT(module.requests(), ElementsAre("R4 651 1", "W6 5000 0", "R4 44198 1"));
}

// The global word (relays, TRIG input) is written first; when that write
// alone fails, the failure is reported like any other write of the transfer
// instead of a success over the old setting.
TEST_F(TransferTest, AFailedGlobalWordWriteFailsTheFullWrite) {
    std::vector<uint8_t> cfg(4684, 0);
    const Variant v = Variant::bytes(cfg);
    module.failures["W6 5000"] = Status::failure(transport::kErrTimeout, "Time-out");
    EXPECT_EQ(q.SetFullCfg(1, &v, &err), transport::kErrTimeout);
    EXPECT_EQ(q.lastError().description, "Time-out");
    EXPECT_THAT(module.requests(), ElementsAre("R4 651 1", "W6 5000 0"));
}

TEST_F(TransferTest, RegisterAddressesOfTheImages) {
    struct Case {
        const char* name;
        std::function<HRESULT(Variant*)> get;
        std::string request;
    };
    const std::vector<Case> cases = {
        {"acq", [&](Variant* v) { return q.GetAcqCfg(1, v, &err); }, "R3 5001 5"},
        {"chan 1", [&](Variant* v) { return q.GetChanCfg(1, 1, v, &err); }, "R3 2000 72"},
        {"chans res", [&](Variant* v) { return q.GetChansRes(1, v, &err); }, "R3 6140 30"},
        {"mem 10", [&](Variant* v) { return q.GetMemCfg(1, 10, v, &err); }, "R3 5244 16"},
        {"cy status", [&](Variant* v) { return q.GetCyStatus(1, v, &err); }, "R3 6001 105"},
        {"delays", [&](Variant* v) { return q.GetChansDelays(1, v, &err); }, "R3 6110 30"},
        {"mems status", [&](Variant* v) { return q.GetMemsStatus(1, v, &err); }, "R3 5264 4"},
        {"mask", [&](Variant* v) { return q.GetMemsStatusMask(1, v, &err); }, "R3 5260 4"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        module.log.clear();
        Variant v;
        ASSERT_EQ(c.get(&v), S_OK);
        EXPECT_THAT(module.requests(), ElementsAre(c.request));
        EXPECT_EQ(v.vt, VT_ARRAY | VT_UI1);
    }
    module.log.clear();
    const Variant mask = Variant::bytes({1, 0, 2, 0, 3, 0, 4, 0});
    ASSERT_EQ(q.SetMemsStatusMask(1, &mask, &err), S_OK);
    ASSERT_EQ(q.SetChanRes(1, 30, 9, &err), S_OK);
    uint16_t w = 0;
    ASSERT_EQ(q.GetChanRes(1, 30, &w, &err), S_OK);
    EXPECT_EQ(w, 9);
    ASSERT_EQ(q.SetSentEmailCount(1, 4, &err), S_OK);
    ASSERT_EQ(q.GetSentEmailCount(1, &w, &err), S_OK);
    EXPECT_EQ(w, 4);
    uint32_t count = 0;
    module.holding[5268] = 0x0002;
    module.holding[5269] = 0x0001;
    ASSERT_EQ(q.GetMemRecCount(1, 1, &count, &err), S_OK);
    EXPECT_EQ(count, 65538u);
    EXPECT_THAT(module.requests(), ElementsAre("W16 5260 4", "W6 6169 9", "R3 6169 1", "W6 108 4",
                                               "R3 108 1", "R3 5268 2"));
    module.log.clear();
    EXPECT_EQ(q.GetMemRecCount(1, 11, &count, &err), E_INVALIDARG);
    EXPECT_THAT(module.requests(), IsEmpty());
}

// A module that answers command 11 with `perBatch(asked)` records numbered
// from the first record asked.
void serveRecords(FakeModule& m, std::function<uint32_t(uint32_t)> perBatch) {
    m.onCommand = [perBatch](const std::vector<uint16_t>& b) {
        std::vector<uint16_t> answer;
        if (b[0] != 11)
            return answer;
        const uint32_t first = uint32_t(b[3]) | uint32_t(b[4]) << 16;
        const uint32_t n = perBatch(b[5]);
        for (uint32_t i = 0; i < n; ++i)
            answer.insert(answer.end(), {uint16_t(first + i), 0, 0, uint16_t(b[2])});
        return answer;
    };
}

TEST_F(TransferTest, RecordsAreReadInBatchesOfFortyNine) {
    serveRecords(module, [](uint32_t asked) { return asked; });
    uint32_t qtyRead = 0;
    Variant records;
    ASSERT_EQ(q.GetMemRecords(1, 3, 1, 100, 1, &qtyRead, &records, &err), S_OK);
    EXPECT_EQ(qtyRead, 100u);
    ASSERT_EQ(records.data.size(), 800u);
    for (uint32_t i = 0; i < 100; ++i)
        ASSERT_EQ(le::u16(records.data, 8 * i), i + 1);
    const auto r = module.requests();
    EXPECT_THAT(r, ElementsAre("R3 5134 2",  // the block's stored channels
                               "W16 44000 6", "R4 44001 1", "R4 44002 71", "R4 44073 125",  //
                               "W16 44000 6", "R4 44001 1", "R4 44002 71", "R4 44073 125",  //
                               "W16 44000 6", "R4 44001 1", "R4 44002 8",                   //
                               "W16 44000 5"));
    EXPECT_EQ(module.holding[44002], 3);    // block number of the removal
    EXPECT_EQ(module.holding[44003], 100);  // quantity removed
}

TEST_F(TransferTest, RecordReadingEdgeCases) {
    uint32_t qtyRead = 9;
    Variant records;
    // Nothing asked: no reading, but the removal of 0 records is still sent.
    ASSERT_EQ(q.GetMemRecords(1, 1, 1, 0, 1, &qtyRead, &records, &err), S_OK);
    EXPECT_EQ(qtyRead, 0u);
    EXPECT_TRUE(records.data.empty());
    EXPECT_THAT(module.requests(), ElementsAre("W16 44000 5"));

    // A module that runs dry: a batch shorter than asked is the block's end.
    module.log.clear();
    uint32_t served = 0;
    serveRecords(module, [&](uint32_t asked) {
        const uint32_t n = std::min<uint32_t>(asked, 60 - served);
        served += n;
        return n;
    });
    ASSERT_EQ(q.GetMemRecords(1, 1, 1, 100, 1, &qtyRead, &records, &err), S_OK);
    EXPECT_EQ(qtyRead, 60u);
    EXPECT_EQ(records.data.size(), 480u);
    EXPECT_EQ(module.requests().size(), 1u + 4 + 3 + 1);  // block, 49 (71 + 125 words), 11, removal
    EXPECT_EQ(module.holding[44003], 60) << "only what was read is removed";

    module.log.clear();
    EXPECT_EQ(q.GetMemRecords(1, 11, 1, 10, 0, &qtyRead, &records, &err), E_INVALIDARG);
    EXPECT_EQ(q.GetMemRecords(1, 0, 1, 10, 0, &qtyRead, &records, &err), E_INVALIDARG);
    EXPECT_THAT(module.requests(), IsEmpty());
}

// The mailbox is shared by every master of the module: an answer that cannot
// be this read's own (another master's command 11 came between) is read
// again, and a read whose answer stays foreign fails without removing
// anything.
TEST_F(TransferTest, ForeignRecordBatchesAreReadAgainThenRefused) {
    constexpr int kBlock = 2;
    module.holding[5084 + 16 * kBlock + 2] = 0x0003;  // channels 1 and 2 stored
    const auto record = [](uint16_t type, uint16_t channel) {
        return std::vector<uint16_t>{uint16_t(type << 14 | channel), 0, 0, 0};
    };
    struct Case {
        const char* what;
        std::vector<uint16_t> foreign;  // the answer another master's command leaves
        int foreignAnswers;             // how many readings get it
        HRESULT result;
    };
    const std::vector<uint16_t> moreThanAsked(4 * 11, 0);
    const std::vector<uint16_t> partRecord(6, 0);
    const Case cases[] = {
        {"more records than asked, once", moreThanAsked, 1, S_OK},
        {"half a record, twice", partRecord, 2, S_OK},
        {"a channel the block does not store, once", record(1, 7), 1, S_OK},
        {"an error record of channel 0, always", record(2, 0), 99, E_FAIL},
        {"more records than asked, always", moreThanAsked, 99, E_FAIL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        module.log.clear();
        int foreignLeft = c.foreignAnswers, commands = 0;
        module.onCommand = [&](const std::vector<uint16_t>& b) {
            std::vector<uint16_t> answer;
            if (b[0] != 11)
                return answer;
            ++commands;
            if (foreignLeft-- > 0)
                return c.foreign;
            for (uint16_t i = 0; i < b[5]; ++i) {
                const auto r = record(1, uint16_t(1 + i % 2));
                answer.insert(answer.end(), r.begin(), r.end());
            }
            return answer;
        };
        uint32_t qtyRead = 99;
        Variant records;
        EXPECT_EQ(q.GetMemRecords(1, kBlock, 1, 10, 1, &qtyRead, &records, &err), c.result);
        const auto r = module.requests();
        const bool removed = std::count(r.begin(), r.end(), "W16 44000 5") == 1;
        if (c.result == S_OK) {
            EXPECT_EQ(qtyRead, 10u);
            EXPECT_EQ(commands, c.foreignAnswers + 1);
            EXPECT_TRUE(removed);
        } else {
            EXPECT_EQ(qtyRead, 0u);
            EXPECT_EQ(commands, 3) << "a foreign batch is read three times before the read fails";
            EXPECT_FALSE(removed) << "nothing is removed after a doubtful read";
            EXPECT_NE(q.lastError().description.find("nothing was removed"), std::string::npos)
                << q.lastError().description;
        }
    }

    // The block reconfigured since the last call (channel 3 only): its
    // channels are read again before a batch is taken for foreign.
    module.holding[5084 + 16 * kBlock + 2] = 0x0004;
    module.log.clear();
    int commands = 0;
    module.onCommand = [&](const std::vector<uint16_t>& b) {
        std::vector<uint16_t> answer;
        if (b[0] == 11) {
            ++commands;
            for (uint16_t i = 0; i < b[5]; ++i) {
                const auto r = record(1, 3);
                answer.insert(answer.end(), r.begin(), r.end());
            }
        }
        return answer;
    };
    uint32_t qtyRead = 0;
    Variant records;
    EXPECT_EQ(q.GetMemRecords(1, kBlock, 1, 10, 0, &qtyRead, &records, &err), S_OK)
        << q.lastError().description;
    EXPECT_EQ(qtyRead, 10u);
    EXPECT_EQ(commands, 1);
}

TEST_F(TransferTest, EventsAreCountedReadAndBounded) {
    uint16_t available = 100;
    module.onCommand = [&](const std::vector<uint16_t>& b) {
        std::vector<uint16_t> answer;
        if (b[0] == 19)
            return std::vector<uint16_t>{available};
        if (b[0] != 20)
            return answer;
        const uint16_t n = std::min(b[2], available);
        available = uint16_t(available - n);
        for (uint16_t i = 0; i < n; ++i)
            answer.insert(answer.end(), {i, 1, 2, 3});
        return answer;
    };
    uint16_t count = 0;
    ASSERT_EQ(q.GetEvtCount(1, &count, &err), S_OK);
    EXPECT_EQ(count, 100);
    EXPECT_THAT(module.requests(), ElementsAre("W16 44000 2", "R4 44002 1"));

    module.log.clear();
    available = 60;
    uint16_t got = 0;
    Variant events;
    ASSERT_EQ(q.GetEvts(1, 100, &got, &events, &err), S_OK);
    EXPECT_EQ(got, 60);
    EXPECT_EQ(events.data.size(), 480u);
    const auto r = module.requests();
    // 48 events, then 12, then an empty batch ends it.
    EXPECT_THAT(
        r, ElementsAre("W16 44000 3", "R4 44001 1", "R4 44002 67", "R4 44069 125", "W16 44000 3",
                       "R4 44001 1", "R4 44002 48", "W16 44000 3", "R4 44001 1"));
}

TEST_F(TransferTest, EmailConfigurationUsesCommandsTwentySevenAndTwentyEight) {
    std::map<uint16_t, std::vector<uint16_t>> texts;
    module.onCommand = [&](const std::vector<uint16_t>& b) {
        if (b[0] == 27)
            texts[b[2]] = std::vector<uint16_t>(b.begin() + 3, b.end());
        if (b[0] == 28)
            return texts[b[2]];
        return std::vector<uint16_t>{};
    };
    std::vector<uint8_t> cfg(642, 0);
    const std::string host = "smtp.example.org";
    std::copy(host.begin(), host.end(), cfg.begin());
    for (size_t i = 384; i < 640; ++i)
        cfg[i] = uint8_t('a' + i % 26);  // text 3 full, no NUL
    le::setU16(cfg, 640, 0x0005);
    const Variant in = Variant::bytes(cfg);
    ASSERT_EQ(q.SetEmailCfg(1, &in, &err), S_OK);
    EXPECT_THAT(module.requests(), ElementsAre("W16 109 3", "W16 44000 67", "W16 44000 67",
                                               "W16 44000 67", "W16 44100 31", "W16 44000 100"));
    EXPECT_EQ(module.holding[109], 1);
    EXPECT_EQ(module.holding[110], 0);
    EXPECT_EQ(module.holding[111], 1);
    EXPECT_EQ(texts[0][0], uint16_t('s' << 8 | 'm'));

    Variant out;
    ASSERT_EQ(q.GetEmailCfg(1, &out, &err), S_OK);
    EXPECT_EQ(out.data, cfg);
}

TEST_F(TransferTest, RegisterPrimitivesConvertTheirValues) {
    module.holding[10] = 0xFFFE;
    module.holding[11] = 0x3F80;  // 1.0f as low word 0, high 0x3F80 in reverse order
    module.holding[12] = 0x0000;
    int32_t ret = 0;
    Variant v;
    ASSERT_EQ(q.ReadOutputRegisters(1, 10, 1, &v, VT_I2, -1, &ret), S_OK);
    EXPECT_EQ(v, Variant::words(std::vector<uint16_t>{0xFFFE}, VT_I2));
    ASSERT_EQ(q.ReadOutputRegisters(1, 10, 1, &v, VT_I4, -1, &ret), S_OK);
    EXPECT_EQ(le::i32(v.data, 0), -2);
    ASSERT_EQ(q.ReadOutputRegisters(1, 11, 2, &v, VT_R4, 1, &ret), S_OK);
    EXPECT_EQ(le::f32(v.data, 0), 1.0f);
    EXPECT_EQ(q.ReadOutputRegisters(1, 10, 1, &v, VT_BOOL, -1, &ret), E_INVALIDARG);

    module.coils[20] = 1;
    ASSERT_EQ(q.ReadOutputStatus(1, 20, 2, &v, &ret), S_OK);
    EXPECT_EQ(v.vt, VT_ARRAY | VT_BOOL);
    EXPECT_EQ(le::i16(v.data, 0), -1);
    EXPECT_EQ(le::i16(v.data, 2), 0);

    module.log.clear();
    Variant reals{uint16_t(VT_ARRAY | VT_R4), std::vector<uint8_t>(4)};
    le::setF32(reals.data, 0, 1.0f);
    ASSERT_EQ(q.PresetMultipleRegisters(1, 30, 2, reals, 0, &ret), S_OK);
    EXPECT_EQ(module.holding[30], 0x0000);
    EXPECT_EQ(module.holding[31], 0x3F80);
    ASSERT_EQ(q.ForceSingleCoil(1, 5, -1, &ret), S_OK);
    ASSERT_EQ(q.PresetSingleRegister(1, 7, 0x1234, -1, &ret), S_OK);
    EXPECT_THAT(module.requests(), ElementsAre("W16 30 2", "W5 5 on", "W6 7 4660"));
}

}  // namespace
}  // namespace qd40::server::testing
