// The published channel list's stored form, the tags' names and the
// reading of a module's cycle, without windows nor modules.
#include <gtest/gtest.h>

#include "app/core/opc/opc_service.h"
#include "app/core/opc/opc_strings.h"
#include "app/core/opc/opc_tags.h"
#include "app/core/tests/doc_test_support.h"
#include "common/config/cfg_layout.h"
#include "common/le_bytes.h"

namespace qd40::app::opc {
namespace {

class OpcTagsTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = testing::testFolder("opc-tags");
        doc = std::make_unique<CTavikDoc>(testing::controlFactory({}, folder / "reg"));
        // Items 1, 2 and 4 (3 was deleted).
        for (int i = 0; i < 4; ++i)
            doc->numberItem(doc->newItem());
        doc->deleteItem(doc->items()[2].get());
    }
    CTavikItem& item(uint32_t number) { return *doc->findItemByNumber(number); }
    void setTcp(CTavikItem& it, const std::string& address, int slave) {
        ASSERT_EQ(it.control().put_Serial(0), S_OK);
        ASSERT_EQ(it.control().put_IpAddr(address), S_OK);
        ASSERT_EQ(it.control().put_MbAddr(static_cast<int16_t>(slave)), S_OK);
    }
    void setChannelMnemonic(CTavikItem& it, int channel, const std::string& mnemo) {
        cfg::VariantBlob ext;
        ASSERT_EQ(it.control().get_Qd40ExtCfg(&ext), S_OK);
        cfg::Qd40ExtCfg(std::span<uint8_t>(ext.data).first<cfg::kQd40ExtCfgSize>())
            .setChanMnemonic(channel, mnemo);
        ASSERT_EQ(it.control().put_Qd40ExtCfg(ext), S_OK);
    }

    std::filesystem::path folder;
    std::unique_ptr<CTavikDoc> doc;
};

TEST_F(OpcTagsTest, ChansInIsReadUpToItsLastCommaOrItsFirstError) {
    struct Case {
        const char* text;
        std::vector<std::pair<uint32_t, uint32_t>> entries;
        bool ok;
    };
    const std::vector<Case> cases = {
        {"", {}, true},
        {"1:3", {}, true},  // no trailing comma: nothing, and no error
        {"1:3,2:1,", {{1, 3}, {2, 1}}, true},
        {"1:3,2:1", {{1, 3}}, true},  // what follows the last comma is ignored
        {"1:3,4:1073741823,", {{1, 3}, {4, 0x3FFFFFFF}}, true},
        {"1:3,0:1,", {{1, 3}}, false},
        {"1:3,2:0,4:1,", {{1, 3}}, false},
        {"1:3,3:1,2:1,", {{1, 3}}, false},  // item 3 is no more
        {"2:5,1-3,", {{2, 5}}, false},
        {"x:1,", {}, false},
        {",", {}, false},
        {"1:3,,2:1,", {{1, 3}}, false},
    };
    for (const Case& c : cases) {
        const ChansInParse p = parseChansIn(c.text, *doc);
        std::vector<std::pair<uint32_t, uint32_t>> got;
        for (const auto& e : p.list)
            got.emplace_back(e.item->number, e.mask);
        EXPECT_EQ(got, c.entries) << c.text;
        EXPECT_EQ(p.ok, c.ok) << c.text;
    }
}

TEST_F(OpcTagsTest, ChansInIsWrittenAsItIsRead) {
    const std::vector<PublishedChannels> list = {{&item(4), 0x20000001}, {&item(1), 6}};
    const std::string text = formatChansIn(list);
    EXPECT_EQ(text, "4:536870913,1:6,");
    EXPECT_EQ(parseChansIn(text, *doc).list, list);
    EXPECT_EQ(formatChansIn({}), "");
}

TEST_F(OpcTagsTest, TagNamesFollowTheModuleAndChannelNames) {
    setTcp(item(1), "192.168.1.20", 5);
    setChannelMnemonic(item(1), 2, "T.in");
    setChannelMnemonic(item(1), 30, "");  // no mnemonic: the channel's number
    item(2).setMnemonic("Oven:A.1");
    const std::vector<std::pair<std::string, std::string>> cases = {
        {channelTagName(item(1), 1), "QD40@192_168_1_20#5.Chan01"},  // the default mnemonic
        {channelTagName(item(1), 2), "QD40@192_168_1_20#5.T_in"},
        {channelTagName(item(1), 30), "QD40@192_168_1_20#5.Chan_30"},
        {relayTagName(item(1), 1), "QD40@192_168_1_20#5.Relay 1"},
        {relayTagName(item(2), 2), "Oven.A_1.Relay 2"},
        {channelTagName(item(2), 7), "Oven.A_1.Chan07"},
    };
    for (const auto& [got, want] : cases)
        EXPECT_EQ(got, want);
}

TEST(OpcCycle, TheCycleStatusGivesValuesErrorsAndTime) {
    std::vector<uint8_t> bytes(CycleStatus::kSize);
    le::setU16(bytes, 0, 250);
    le::setU32(bytes, 2, 789000000);
    le::setU32(bytes, 10, 0x20000002);
    for (int i = 0; i < 30; ++i)
        le::setF32(bytes, 30 + 4 * size_t(i), 1.5f * float(i));
    const auto s = readCycleStatus(bytes);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->milliseconds, 250);
    EXPECT_EQ(s->seconds, 789000000u);
    EXPECT_EQ(s->errorMask, 0x20000002u);
    EXPECT_EQ(s->values[0], 0.0f);
    EXPECT_EQ(s->values[29], 43.5f);
    EXPECT_FALSE(readCycleStatus(std::span(bytes).first(CycleStatus::kSize - 1)));
}

TEST(OpcCycle, DelaysCountInTheirUnits) {
    std::vector<uint8_t> bytes(60);
    le::setU16(bytes, 0, 7);                  // 7 x 1 ms
    le::setU16(bytes, 2, 1u << 14 | 7);       // 7 x 10 ms
    le::setU16(bytes, 4, 2u << 14 | 0x3FFF);  // 16383 x 100 ms
    le::setU16(bytes, 58, 3u << 14 | 2);      // 2 x 1000 ms
    const auto d = readChannelDelays(bytes);
    EXPECT_EQ(d[0], 7u);
    EXPECT_EQ(d[1], 70u);
    EXPECT_EQ(d[2], 1638300u);
    EXPECT_EQ(d[3], 0u);
    EXPECT_EQ(d[29], 2000u);
    const std::array<uint32_t, 30> none{};
    EXPECT_EQ(readChannelDelays(std::span(bytes).first(59)), none);
}

TEST(OpcCycle, OnlyASetTimeSeenBeforeIsAnOldCycle) {
    struct Case {
        uint32_t s;
        uint16_t ms;
        uint32_t lastS;
        uint16_t lastMs;
        bool isNew;
    };
    for (const Case& c : std::vector<Case>{{100, 500, 100, 500, false},
                                           {100, 500, 100, 400, true},
                                           {101, 500, 100, 500, true},
                                           {100, 0, 100, 0, true},  // milliseconds 0: always new
                                           {0, 500, 0, 500, true},
                                           {0, 0, 0, 0, true}})
        EXPECT_EQ(isNewCycle(c.s, c.ms, c.lastS, c.lastMs), c.isNew)
            << c.s << "." << c.ms << " after " << c.lastS << "." << c.lastMs;
}

TEST(OpcCycle, TimeStampsCarryMillisecondsIntoSeconds) {
    // 2000-01-01 00:00:00 is 125911584000000000 in 100 ns since 1601.
    EXPECT_EQ(measurementFileTime(0, 0, 0), 125911584000000000LL);
    EXPECT_EQ(measurementFileTime(1, 900, 250), 125911584000000000LL + 2150LL * 10000);
    EXPECT_EQ(measurementFileTime(0xFFFFFFFFu, 999, 1638300),
              125911584000000000LL + (4294967295LL * 1000 + 999 + 1638300) * 10000);
}

TEST(OpcTimer, APeriodBelowTheMinimumScansAtTheMinimum) {
    using std::chrono::milliseconds;
    EXPECT_EQ(timerPeriod(50), milliseconds(100));
    EXPECT_EQ(timerPeriod(0), milliseconds(100));
    EXPECT_EQ(timerPeriod(100), milliseconds(100));
    EXPECT_EQ(timerPeriod(1000), milliseconds(1000));
    EXPECT_EQ(timerPeriod(65535), milliseconds(65535));
}

}  // namespace
}  // namespace qd40::app::opc
