#include <gtest/gtest.h>

#include "app/core/setup/setup_commands.h"
#include "app/core/setup/setup_record.h"
#include "common/le_bytes.h"

namespace qd40::app::setup {
namespace {

TEST(SetupRecord, TableHoldsTheItemsInTransferOrderWithoutOverlaps) {
    const auto items = setupItems();
    ASSERT_EQ(items.size(), size_t(kSetupItemCount));
    for (size_t i = 1; i < items.size(); ++i)
        EXPECT_LT(items[i - 1].id, items[i].id);
    for (int missing : {12, 13, 14, 15, 18, 19, 26, 29, 46})
        EXPECT_EQ(findSetupItem(missing), nullptr) << missing;
    std::vector<int> owner(kSetupRecordSize, -1);
    for (const SetupItemDef& d : items)
        for (size_t b = d.offset; b < d.offset + fieldSize(d.type); ++b) {
            ASSERT_LT(b, kSetupRecordSize) << d.id;
            EXPECT_EQ(owner[b], -1) << "items " << owner[b] << " and " << d.id << " overlap";
            owner[b] = d.id;
        }
    EXPECT_EQ(findSetupItem("module-name")->id, 34);
    EXPECT_EQ(findSetupItem("34")->id, 34);
    EXPECT_EQ(findSetupItem("3x"), nullptr);
}

// Module words -> record bytes at the item's offset -> the same words back.
TEST(SetupRecord, WordsBecomeRecordFieldsByTypeAndComeBackUnchanged) {
    struct Case {
        int id;
        std::vector<uint16_t> words;
        std::vector<uint8_t> field;  // the record bytes at the item's offset
    };
    const Case cases[] = {
        {1, {0x0007}, {0x07}},                                    // byte
        {2, {0x1234}, {0x34, 0x12, 0, 0}},                        // word, zero-extended
        {0, {0x2580, 0x0001}, {0x80, 0x25, 0x01, 0x00}},          // two words, low first
        {20, {0xFFFE}, {0xFE, 0xFF}},                             // short
        {21, {192, 168, 1, 40}, {0x28, 0x01, 0xA8, 0xC0}},        // IPv4, first number high
        {34, {'A' << 8 | 'B', 'C' << 8, 0}, {'A', 'B', 'C', 0}},  // text
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        SetupRecord r;
        r.fromWords(c.id, c.words);
        const size_t off = findSetupItem(c.id)->offset;
        EXPECT_EQ(std::vector<uint8_t>(r.bytes().begin() + ptrdiff_t(off),
                                       r.bytes().begin() + ptrdiff_t(off + c.field.size())),
                  c.field);
        std::vector<uint16_t> back = r.toWords(c.id);
        ASSERT_EQ(back.size(), size_t(wordCount(findSetupItem(c.id)->type)));
        back.resize(c.words.size());
        EXPECT_EQ(back, c.words);
    }
}

TEST(SetupRecord, TextEndsAtTheFirstZeroCharacterAndLeavesTheRestZero) {
    SetupRecord r;
    ASSERT_TRUE(r.setText(34, std::string(100, 'x')));
    r.fromWords(34, std::vector<uint16_t>{'a' << 8 | 'b', 0x0063, 'z' << 8 | 'z'});
    EXPECT_EQ(r.text(34), "ab");
    const size_t off = findSetupItem(34)->offset;
    for (size_t i = 2; i < kSetupTextSize; ++i)
        ASSERT_EQ(r.bytes()[off + i], 0) << i;
    EXPECT_FALSE(r.setText(34, std::string(kSetupTextSize, 'y')));
    EXPECT_TRUE(r.setText(34, std::string(kSetupTextSize - 1, 'y')));
    EXPECT_EQ(r.toWords(34).back(), uint16_t('y' << 8));
}

TEST(SetupRecord, VersionGatesAndTheirDefaults) {
    struct Case {
        const char* version;
        std::vector<int> absent;
    };
    const Case cases[] = {
        {"A.01", {50, 51, 52, 53, 54, 55}},
        {"A.02", {51, 52, 53, 54, 55}},
        {"B.03", {51, 52, 53, 54, 55}},
        {"B.04", {52, 53, 54, 55}},
        {"B.05", {}},
        {"Z.12", {40, 41, 42, 43, 44, 45, 47, 48, 49, 50, 51, 52, 53, 54, 55}},
        {"Z.13", {47, 48, 49, 50, 51, 52, 53, 54, 55}},
        {"Z.21", {51, 52, 53, 54, 55}},
        {"Z.29", {52, 53, 54, 55}},
        {"Z.30", {}},
    };
    for (const Case& c : cases) {
        std::vector<int> absent;
        for (const SetupItemDef& d : setupItems())
            if (!itemPresent(d.id, c.version))
                absent.push_back(d.id);
        EXPECT_EQ(absent, c.absent) << c.version;
    }
    EXPECT_EQ(absentValue(49), 10u);
    EXPECT_EQ(absentValue(54), 4u);
    EXPECT_EQ(absentValue(55), 4u);
    EXPECT_EQ(absentValue(52), 0u);
    EXPECT_EQ(absentChangeText(50), 431);
    EXPECT_EQ(absentChangeText(51), 432);
    EXPECT_EQ(absentChangeText(53), 433);
    EXPECT_EQ(absentChangeText(41), 0);
}

TEST(SetupRecord, InterfaceIsStoredAsPauseAndEndOfFrameCount) {
    struct Read {
        uint16_t pause, count;
        SerialInterface is;
    };
    for (const Read& c :
         {Read{0, 4, SerialInterface::Standard}, Read{10, 4, SerialInterface::Usb},
          Read{1, 7, SerialInterface::Usb}, Read{0, 8, SerialInterface::Radio},
          Read{100, 12, SerialInterface::Radio}, Read{0, 0, SerialInterface::Standard}}) {
        SetupRecord r;
        r.setNumber(item::kP2Pause, c.pause);
        r.setNumber(item::kP2EofCount, c.count);
        EXPECT_EQ(serialInterface(r, 2), c.is) << c.pause << "/" << c.count;
        EXPECT_EQ(serialInterface(r, 1), SerialInterface::Standard);
    }
    struct Write {
        SerialInterface is;
        uint32_t pause, count;
    };
    for (const Write& c :
         {Write{SerialInterface::Standard, 0, 4}, Write{SerialInterface::Usb, 10, 4},
          Write{SerialInterface::Radio, 100, 8}}) {
        SetupRecord r;
        setSerialInterface(r, 1, c.is);
        EXPECT_EQ(r.number(item::kP1Pause), c.pause);
        EXPECT_EQ(r.number(item::kP1EofCount), c.count);
        EXPECT_EQ(serialInterface(r, 1), c.is);
    }
}

TEST(SetupRecord, ParsesScriptValuesWithinTheItemsBounds) {
    struct Case {
        const char* key;
        const char* value;
        bool ok;
        const char* shown;
    };
    const Case cases[] = {
        {"p1-slave", "250", true, "250"},
        {"p1-slave", "0", false, ""},
        {"p1-slave", "251", false, ""},
        {"gateway-wait", "11", false, ""},
        {"p2-rate", "115200", true, "115200"},
        {"p1-format", "256", false, ""},
        {"ip-address", "10.0.0.1", true, "10.0.0.1"},
        {"ip-address", "10.0.0", false, ""},
        {"ip-address", "10.0.0.256", false, ""},
        {"dns1", "1.2.3.4.5", false, ""},
        {"module-name", "Line 2", true, "Line 2"},
        {"idle-seconds", "-1", false, ""},
        {"idle-seconds", "65535", true, "65535"},
        {"dhcp", "x", false, ""},
    };
    for (const Case& c : cases) {
        SetupRecord r;
        const int id = findSetupItem(c.key)->id;
        const auto refused = parseItem(r, id, c.value);
        EXPECT_EQ(!refused, c.ok) << c.key << " " << c.value;
        if (c.ok)
            EXPECT_EQ(formatItem(r, id), c.shown);
        else
            EXPECT_EQ(r, SetupRecord{}) << "a refused value changes nothing";
    }
}

TEST(EthernetAddress, BytesInHexadecimalOrDecimal) {
    EXPECT_EQ(addressByteText(0x0A, true), "0A");
    EXPECT_EQ(addressByteText(0x0A, false), "10");
    EXPECT_EQ(addressByteText(255, true), "FF");
    struct Case {
        const char* text;
        bool hex;
        std::optional<uint8_t> value;
    };
    for (const Case& c : {Case{"ff", true, 255}, Case{"FF", true, 255}, Case{"100", true, {}},
                          Case{"255", false, 255}, Case{"256", false, {}}, Case{"1f", false, {}},
                          Case{"", true, {}}, Case{"-1", false, {}}})
        EXPECT_EQ(parseAddressByte(c.text, c.hex), c.value) << c.text << c.hex;
}

}  // namespace
}  // namespace qd40::app::setup
