#include "app/records/expl_bloc.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "app/records/records_strings.h"
#include "app/records/tests/test_blocks.h"
#include "common/config/cfg_defaults.h"
#include "common/config/code_tables.h"
#include "common/dates.h"

namespace qd40::records {
namespace {

using testing::kS;
using testing::Raw;

double ole(uint32_t seconds2000) {
    return toOleDate(fromSeconds2000(seconds2000));
}

TEST(RecordBlock, NewBlockIsEmptyWithAutomaticResolutions) {
    const CExplBloc b;
    EXPECT_TRUE(b.name.empty());
    EXPECT_TRUE(b.records.empty());
    EXPECT_TRUE(
        std::all_of(b.resolutions.begin(), b.resolutions.end(), [](uint16_t r) { return r == 6; }));
    EXPECT_TRUE(std::all_of(b.chanCfg.begin(), b.chanCfg.end(), [](uint8_t x) { return x == 0; }));
}

// The snapshot takes the chosen memory block, the channels, their
// resolutions and texts from the module's configuration.
TEST(RecordBlock, ConfigSnapshotTakesTheBlockChannelsAndTexts) {
    cfg::FullCfgData full = cfg::defaultFullCfg();
    const cfg::FullCfgView view(full);
    view.memBlock(1).setChansToRecord(0x1);
    view.memBlock(2).setChansToRecord(0x20000006);
    view.channel(2).setFunction(cfg::kFctOhm);
    view.channel(2).setRange(1);
    view.channel(3).setDefaultValue(12.5f);
    view.channel(30).setDefaultValue(-3.0f);
    cfg::ChansResCfgData res = cfg::defaultChansResCfg();
    cfg::ChansResCfg(res).setResol(3, 2);
    cfg::ChansResCfg(res).setResol(30, 9);
    cfg::Qd40ExtCfgData ext{};
    const cfg::Qd40ExtCfg extView(ext);
    extView.setModuleMnemonic("Oven");
    extView.setChanMnemonic(3, "Inlet");
    extView.setChanUnit(3, "degC");
    extView.setChanMnemonic(30, "Last");

    CExplBloc b;
    b.setConfigSnapshot(full, res, ext, 2);
    EXPECT_EQ(b.storedChannelMask(), 0x20000006u);
    EXPECT_EQ(b.moduleMnemonicAnsi(), "Oven");
    EXPECT_EQ(b.channelMnemonicAnsi(3), "Inlet");
    EXPECT_EQ(b.channelMnemonicAnsi(30), "Last");
    EXPECT_EQ(b.channelUnitAnsi(3), "degC");
    EXPECT_EQ(b.channelUnitAnsi(2), cfg::defaultUnit(cfg::kFctOhm, 1));
    EXPECT_FALSE(b.channelUnitAnsi(2).empty());
    EXPECT_EQ(b.channelDefaultValue(3), 12.5f);
    EXPECT_EQ(b.channelDefaultValue(30), -3.0f);
    EXPECT_EQ(b.channelResolution(3), 2);
    EXPECT_EQ(b.channelResolution(30), 6);  // codes above 6 count as automatic

    // Without the module's resolutions every channel is automatic.
    CExplBloc noRes;
    noRes.setConfigSnapshot(full, {}, ext, 1);
    EXPECT_EQ(noRes.storedChannelMask(), 0x1u);
    EXPECT_EQ(noRes.channelResolution(3), 6);
}

TEST(RecordBlock, RawRecordsAreDatedFromTheLastDateRecord) {
    const CExplBloc b = testing::sampleBlock();
    struct Expected {
        uint32_t seconds;
        uint16_t ms;
        int type;
        int channel;
    };
    const Expected expected[] = {
        {0, 0, 1, 1},  // before the first date record: 2000-01-01 00:00:00.000
        {kS, 250, 0, 0},      {kS, 750, 1, 1},  // 0x8005: 250 + 5 x 100 ms
        {kS + 10, 250, 1, 3},                   // 0xC00A: 10 s 250 ms after the base
        {kS + 11, 250, 1, 3}, {kS, 251, 1, 2},      {kS + 60, 100, 0, 0},
        {kS + 60, 100, 1, 1}, {kS + 60, 100, 2, 3},
    };
    ASSERT_EQ(b.records.size(), std::size(expected));
    for (size_t i = 0; i < b.records.size(); ++i) {
        const _tExplRecord& r = b.records[i];
        EXPECT_EQ(r.date(), ole(expected[i].seconds)) << i;
        EXPECT_EQ(r.ms(), expected[i].ms) << i;
        EXPECT_EQ(r.type(), expected[i].type) << i;
        EXPECT_EQ(r.channel(), expected[i].channel) << i;
        EXPECT_EQ(r.dateStatus(), 0) << i;
    }
    EXPECT_EQ(b.records[7].alarms(), 0b0101);
    EXPECT_EQ(b.records[8].errorCode(), -3);
    EXPECT_EQ(b.records[1].payload(), kS);
}

TEST(RecordBlock, StoredRecordIsLaidOutByteForByte) {
    CExplBloc b;
    Raw raw;
    raw.date(kS, 250).put(0x7A05, 0x8005, 0x41ABCDEF);  // bits 13-12 set in the raw flags
    ASSERT_EQ(b.AppendRawRecords(raw.bytes, 2), 2u);
    std::array<uint8_t, 24> expected{};
    le::setU16(expected, 0, 0x4A05);  // bits 13-12 dropped
    le::setF64(expected, 4, toOleDate(DateTime{2001, 1, 1, 10, 20, 30, 0}));
    le::setU16(expected, 16, 750);
    le::setU32(expected, 20, 0x41ABCDEF);
    EXPECT_EQ(b.records[1].bytes, expected);
}

TEST(RecordBlock, ConversionEdgeCases) {
    CExplBloc b;
    Raw first;
    first.date(kS, 0);
    b.AppendRawRecords(first.bytes, 1);
    // Each call starts again from 2000-01-01; a 10 ms unit; a millisecond word
    // of 1000 or more carries into the seconds; count is bounded by the bytes.
    Raw raw;
    raw.value(1, 0x4096, 1.0f).date(kS, 1500).value(1, 0x0600, 1.0f);
    EXPECT_EQ(b.AppendRawRecords(raw.bytes, 10), 3u);
    ASSERT_EQ(b.records.size(), 4u);
    EXPECT_EQ(b.records[1].date(), ole(1));  // 150 x 10 ms = 1.5 s
    EXPECT_EQ(b.records[1].ms(), 500);
    EXPECT_EQ(b.records[2].date(), ole(kS + 1));
    EXPECT_EQ(b.records[2].ms(), 500);
    EXPECT_EQ(b.records[3].date(), ole(kS + 3));  // 1536 ms + 500 ms
    EXPECT_EQ(b.records[3].ms(), 36);
}

TEST(RecordBlock, ConvertedDatesEqualTheCalendarForEverySecond) {
    // One day in 2000 and one past 2079, where dates reach 2^16 days.
    for (uint32_t day : {0u, 29500u}) {
        Raw raw;
        for (uint32_t s = 0; s < 86400; ++s)
            raw.date(day * 86400 + s, 0);
        CExplBloc b;
        b.AppendRawRecords(raw.bytes, raw.count());
        for (uint32_t s = 0; s < 86400; ++s)
            ASSERT_EQ(b.records[s].date(), ole(day * 86400 + s)) << day << " " << s;
    }
}

class ScriptedDialog : public WaitDialogState {
public:
    int cancelAtCall = -1;  // IsCancelled call (1-based) that sees a Cancel
    int calls = 0;

protected:
    void pumpEvents() override {
        if (++calls == cancelAtCall)
            requestCancel();
    }
};

class ScriptedPrompter : public IRecordsPrompter {
public:
    explicit ScriptedPrompter(Answer a) : answer(a) {}
    Answer askYesNoCancel(const std::string& text) override {
        questions.push_back(text);
        return answer;
    }
    Answer answer;
    std::vector<std::string> questions;
};

std::vector<_tExplRecord> randomRecords(size_t n, int distinctKeys) {
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> key(0, distinctKeys - 1);
    std::vector<_tExplRecord> v(n);
    for (size_t i = 0; i < n; ++i) {
        const int k = key(rng);
        v[i].setDate(40000.0 + (k / 4) / 86400.0);
        v[i].setMs(static_cast<uint16_t>(k % 4 * 250));
        v[i].setPayload(static_cast<uint32_t>(i));  // tells the records apart
    }
    return v;
}

bool samePermutation(std::vector<_tExplRecord> a, std::vector<_tExplRecord> b) {
    auto byPayload = [](const _tExplRecord& x, const _tExplRecord& y) {
        return x.payload() < y.payload();
    };
    std::sort(a.begin(), a.end(), byPayload);
    std::sort(b.begin(), b.end(), byPayload);
    return a == b;
}

TEST(RecordBlock, SortOrdersByDateThenMillisecondsWhateverTheInput) {
    struct Case {
        const char* name;
        std::vector<_tExplRecord> records;
    };
    std::vector<Case> cases;
    cases.push_back({"random", randomRecords(20000, 1 << 30)});
    cases.push_back({"few keys", randomRecords(20000, 5)});
    cases.push_back({"all equal", randomRecords(50000, 1)});
    auto sorted = randomRecords(50000, 1 << 30);
    std::sort(sorted.begin(), sorted.end(), recordLess);
    cases.push_back({"sorted", sorted});
    std::reverse(sorted.begin(), sorted.end());
    cases.push_back({"reversed", sorted});
    cases.push_back({"small", randomRecords(7, 100)});
    for (Case& c : cases) {
        CExplBloc b;
        b.records = c.records;
        EXPECT_TRUE(b.SortRecords(nullptr, nullptr)) << c.name;
        EXPECT_TRUE(std::is_sorted(b.records.begin(), b.records.end(), recordLess)) << c.name;
        EXPECT_TRUE(samePermutation(b.records, c.records)) << c.name;
    }
    // Milliseconds break ties between equal dates.
    CExplBloc b;
    b.records.resize(2);
    b.records[0].setMs(900);
    b.records[1].setMs(100);
    b.SortRecords(nullptr, nullptr);
    EXPECT_EQ(b.records[0].ms(), 100);
}

TEST(RecordBlock, SortShowsProgressAndAsksBeforeStopping) {
    const auto records = randomRecords(20000, 1 << 30);
    const int64_t expectedHigh = 20000 * static_cast<int64_t>((std::log(20000.0) + 1) * 1.5) / 1000;
    struct Case {
        Answer answer;
        bool completes;
    };
    for (const Case& c :
         {Case{Answer::No, true}, Case{Answer::Cancel, true}, Case{Answer::Yes, false}}) {
        CExplBloc b;
        b.records = records;
        ScriptedDialog dialog;
        dialog.cancelAtCall = 5;
        ScriptedPrompter prompter(c.answer);
        EXPECT_EQ(b.SortRecords(&dialog, &prompter), c.completes);
        EXPECT_EQ(dialog.titleId(), IDS_SORTING);
        EXPECT_EQ(dialog.high(), expectedHigh);
        EXPECT_FALSE(dialog.isOpen());
        ASSERT_EQ(prompter.questions.size(), 1u);
        EXPECT_EQ(prompter.questions[0], recordsText(IDS_SORT_ABORT_QUESTION));
        EXPECT_EQ(std::is_sorted(b.records.begin(), b.records.end(), recordLess), c.completes);
        EXPECT_TRUE(samePermutation(b.records, records));
        if (c.completes) {
            // One position per 1000 comparisons: n log n comparisons.
            EXPECT_GT(dialog.pos(), 200);
            EXPECT_LT(dialog.pos(), 2000);
        } else {
            EXPECT_EQ(dialog.pos(), 5);
        }
    }
}

TEST(RecordBlock, RecordTextColumns) {
    CExplBloc b = testing::sampleBlock();
    const auto locale = platform::Locale::posix();
    struct Case {
        size_t index;
        bool dateKnown;
        const char* line;
    };
    const Case cases[] = {
        {0, false,
         "000001\t?\tLAB\tTemp\t5.0\t\xC2\xB0"
         "C\t\t"},
        {0, true,
         "000001\t2000-01-01 00:00:00.000\tLAB\tTemp\t5.0\t\xC2\xB0"
         "C\t\t"},
        {1, false, "000002\t2001-01-01 10:20:30.250\t\t\t\t\t\t"},
        {3, true, "000004\t2001-01-01 10:20:40.250\tLAB\tChan.03\t1.5\tV\t\t"},
        {5, true, "000006\t2001-01-01 10:20:30.251\tLAB\tAux\t9\tmV\t\t"},
        {7, true,
         "000008\t2001-01-01 10:21:30.100\tLAB\tTemp\t-0.1\t\xC2\xB0"
         "C\t1;3\t"},
        {8, true, "000009\t2001-01-01 10:21:30.100\tLAB\tChan.03\t0\tV\t\t -3"},
    };
    for (const Case& c : cases) {
        const RecordText t = b.FormatRecordText(c.index, '\t', c.dateKnown, locale);
        EXPECT_EQ(t.line, c.line) << c.index;
    }
    // A type-3 record shows its number and "?" only; an unknown channel its number.
    Raw raw;
    raw.other(0x0105, 0, 0).value(31, 0, 2.5f);
    b.AppendRawRecords(raw.bytes, 2);
    EXPECT_EQ(b.FormatRecordText(9, ' ', true, locale).line, "000010 ?      ");
    const RecordText t = b.FormatRecordText(10, ' ', true, locale);
    EXPECT_EQ(t.columns[3], "Chan.31");
    EXPECT_EQ(t.columns[4], "2.5");
    EXPECT_EQ(t.columns[5], "");
    // The locale's decimal separator and formats.
    const platform::Locale fr("%d/%m/%Y", "%H:%M:%S", ',');
    EXPECT_EQ(b.FormatRecordText(2, '\t', true, fr).columns[1], "01/01/2001 10:20:30,750");
    EXPECT_EQ(b.FormatRecordText(2, '\t', true, fr).columns[4], "21,5");
    const platform::Locale noTime("%Y", "", '.');
    EXPECT_EQ(b.FormatRecordText(1, '\t', true, noTime).columns[1], "2001 00:00:00.250");
}

// Writes a block in the layout of a given format version, field by field as
// the document format describes it.
std::vector<uint8_t> writeOldLayout(const CExplBloc& b, std::string_view v) {
    archive::Writer w;
    w.writeString(b.name);
    if (formatHasField(v, "Z.02"))
        w.writeString(b.comment);
    if (formatHasField(v, "Z.04")) {
        if (formatHasField(v, "Z.12")) {
            w.writeBytes(b.memCfg);
        } else {
            w.writeU16(static_cast<uint16_t>(le::u32(b.memCfg, 0)));
            w.writeBytes(std::span(b.memCfg).subspan(4));
        }
        w.writeBytes(b.acqPart);
        for (int n = 0; n < 30; ++n) {
            const size_t size = formatHasField(v, "Z.07") ? 144 : 140;
            w.writeBytes(std::span(b.chanCfg).subspan(144 * static_cast<size_t>(n), size));
        }
        for (uint16_t r : b.resolutions)
            w.writeU16(r);
        if (formatHasField(v, "Z.13"))
            w.writeBytes(b.extCfg);
    }
    w.writeCount(static_cast<uint32_t>(b.records.size()));
    for (const auto& r : b.records)
        w.writeBytes(r.bytes);
    return w.take();
}

TEST(RecordBlock, StorageFollowsTheVersionGates) {
    CExplBloc full = testing::sampleBlock();
    full.comment = "second run, \xC3\xA9t\xC3\xA9";
    le::setU32(full.memCfg, 0, 0x12345);
    full.memCfg[31] = 0x5A;
    full.acqPart[9] = 0x77;
    for (int n = 0; n < 30; ++n)
        le::setF32(full.chanCfg, 144 * static_cast<size_t>(n) + 140, 0.5f);
    full.records[0].bytes[2] = 0xEE;  // reserved bytes are kept

    struct Case {
        const char* version;
        bool comment, config, mem32, chan144, ext;
    };
    const Case cases[] = {
        {"", false, false, false, false, false},  // a block read outside any document
        {"Z.01", false, false, false, false, false}, {"Z.02", true, false, false, false, false},
        {"Z.03", true, false, false, false, false},  {"Z.04", true, true, false, false, false},
        {"Z.07", true, true, false, true, false},    {"Z.12", true, true, true, true, false},
        {"Z.13", true, true, true, true, true},      {"Z.21", true, true, true, true, true},
        {"A.00", true, true, true, true, true},      {"B.10", true, true, true, true, true},
        {"Y.99", true, true, true, true, true},
    };
    const CExplBloc empty;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version);
        const auto bytes = writeOldLayout(full, c.version);
        archive::Reader r(bytes);
        CExplBloc b;
        b.Serialize(r, c.version);
        EXPECT_TRUE(r.atEnd());
        EXPECT_EQ(b.name, full.name);
        EXPECT_EQ(b.comment, c.comment ? full.comment : "");
        EXPECT_EQ(b.records, full.records);
        EXPECT_EQ(b.acqPart, c.config ? full.acqPart : empty.acqPart);
        EXPECT_EQ(b.resolutions, c.config ? full.resolutions : empty.resolutions);
        // The 30-byte record had a u16 size, widened on reading.
        EXPECT_EQ(le::u32(b.memCfg, 0), c.config ? (c.mem32 ? 0x12345u : 0x2345u) : 0u);
        EXPECT_EQ(b.memCfg[31], c.config ? 0x5A : 0);
        EXPECT_EQ(le::u16(b.chanCfg, 0), c.config ? le::u16(full.chanCfg, 0) : 0);
        EXPECT_EQ(le::f32(b.chanCfg, 140), c.config && c.chan144 ? 0.5f : 0.0f);
        EXPECT_EQ(b.extCfg, c.ext ? full.extCfg : empty.extCfg);
    }
    // The current layout is what Serialize writes.
    archive::Writer w;
    full.Serialize(w);
    EXPECT_EQ(w.data(), writeOldLayout(full, currentFormatVersion()));
    const CExplBloc copy(full);
    EXPECT_EQ(copy.records, full.records);
    EXPECT_EQ(copy.extCfg, full.extCfg);
}

TEST(RecordBlock, TruncatedStorageFailsAndLeavesTheBlockUnchanged) {
    CExplBloc full = testing::sampleBlock();
    archive::Writer w;
    full.Serialize(w);
    const auto& bytes = w.data();
    for (size_t n : {size_t(0), size_t(3), size_t(40), size_t(5000), bytes.size() - 1}) {
        archive::Reader r(std::span(bytes.data(), n));
        CExplBloc b;
        b.name = "kept";
        EXPECT_THROW(b.Serialize(r, currentFormatVersion()), archive::ArchiveError) << n;
        EXPECT_EQ(b.name, "kept");
        EXPECT_TRUE(b.records.empty());
    }
}

}  // namespace
}  // namespace qd40::records
