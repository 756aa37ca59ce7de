#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "common/config/cfg_defaults.h"
#include "common/config/legacy_cfg.h"
#include "common/config/module_ext_block.h"
#include "common/config/variant_blob.h"
#include "common/le_bytes.h"

namespace qd40::cfg {
namespace {

// The default record written byte by byte at the offsets of the layout.
std::vector<uint8_t> handMadeDefaultRecord() {
    std::vector<uint8_t> b(4684, 0);
    le::setU16(b, 2, 0x2A00);
    le::setU32(b, 4, 0x3FF);
    le::setU16(b, 8, 1000);
    le::setU16(b, 10, 10000);
    for (size_t n = 0; n < 30; ++n) {
        const size_t ch = 12 + 144 * n;
        le::setU16(b, ch, 0x1000);
        le::setU32(b, ch + 4, 0x7F7FFFFF);
        for (size_t k = 0; k < 4; ++k)
            le::setU16(b, ch + 8 + 10 * k, 0x0101);
    }
    for (size_t m = 0; m < 10; ++m) {
        const size_t blk = 4332 + 32 * m;
        le::setU32(b, blk + 4, 0x3FFFFFFF);
        le::setU16(b, blk + 8, 1);
        le::setU16(b, blk + 26, 8);
        le::setU32(b, blk + 28, 1);
    }
    return b;
}

TEST(CfgDefaults, DefaultRecordMatchesTheLayoutAndRoundTrips) {
    const FullCfgData def = defaultFullCfg();
    EXPECT_EQ(std::vector<uint8_t>(def.begin(), def.end()), handMadeDefaultRecord());
    const ConstFullCfgView cfg(def);
    EXPECT_EQ(cfg.channel(1).flags(), 0x1000);
    EXPECT_EQ(cfg.channel(1).limit(1).flags(), 0x0101);
    EXPECT_EQ(cfg.channel(1).speed(), kSpeedIntermediate);
    EXPECT_EQ(cfg.refJunctionSchedule(), kSchedAuxPeriod);

    FullCfgData back{};
    ASSERT_TRUE(unpackBlob(packBlob(def), back).isOk());
    EXPECT_EQ(back, def);
}

TEST(CfgDefaults, CompanionBlobsOfANewControl) {
    const ChansResCfgData res = defaultChansResCfg();
    for (int n = 1; n <= kChannels; ++n)
        EXPECT_EQ(ConstChansResCfg(res).resol(n), 6);
    const EmailCfgData mail = defaultEmailCfg();
    EXPECT_TRUE(std::all_of(mail.begin(), mail.end(), [](uint8_t v) { return v == 0; }));
    EXPECT_EQ(defaultMemsStatusMaskCfg(), (MemsStatusMaskCfgData{0, 0, 0, 0, 0, 0, 1, 0}));

    const Qd40ExtCfgData ext = defaultQd40ExtCfg(strings::Language::English);
    const ConstQd40ExtCfg view(ext);
    EXPECT_EQ(view.chanMnemonic(1), "Chan01");
    EXPECT_EQ(view.chanMnemonic(30), "Chan30");
    EXPECT_EQ(view.chanUnit(7), "") << "Not Prog. has no unit";
    EXPECT_EQ(view.cfgName(), "");
    EXPECT_EQ(view.moduleMnemonic(), "");
    EXPECT_EQ(ConstQd40ExtCfg(defaultQd40ExtCfg(strings::Language::French)).chanMnemonic(5),
              "Voie05");
    const ChansExtCfgData chans = defaultChansExtCfg(strings::Language::English);
    EXPECT_TRUE(std::equal(chans.begin(), chans.end(), ext.begin() + 39));
}

TEST(VariantBlob, UnpackAcceptsOnlyOneDimensionByteLikeArraysLongEnough) {
    struct Case {
        const char* name;
        uint16_t vt;
        uint16_t dims;
        size_t length;
        bool accepted;
    };
    const Case cases[] = {
        {"byte array", 0x2011, 1, 8, true},
        {"longer array: first bytes taken", 0x2011, 1, 12, true},
        {"I4 array shares bit 0x01", 0x2003, 1, 8, true},
        {"I1 array shares bit 0x10", 0x2010, 1, 8, true},
        {"I2 array", 0x2002, 1, 8, false},
        {"not an array", 0x0011, 1, 8, false},
        {"two dimensions", 0x2011, 2, 8, false},
        {"shorter than the blob", 0x2011, 1, 7, false},
        {"empty", VT_EMPTY, 0, 0, false},
    };
    for (const auto& c : cases) {
        VariantBlob v{c.vt, c.dims, {}};
        for (size_t i = 0; i < c.length; ++i)
            v.data.push_back(uint8_t(i + 1));
        MemsStatusMaskCfgData blob;
        blob.fill(0xEE);
        const Status st = unpackBlob(v, blob);
        EXPECT_EQ(st.isOk(), c.accepted) << c.name;
        if (c.accepted) {
            EXPECT_EQ(blob, (MemsStatusMaskCfgData{1, 2, 3, 4, 5, 6, 7, 8})) << c.name;
        } else {
            EXPECT_EQ(st.hr, E_INVALIDARG) << c.name;
            EXPECT_EQ(st.error.description, "Invalid Argument") << c.name;
            EXPECT_EQ(blob, MemsStatusMaskCfgData{}) << c.name << ": left zeroed";
        }
    }
    const VariantBlob packed = packBlob(defaultMemsStatusMaskCfg());
    EXPECT_EQ(packed.vt, 0x2011);
    EXPECT_EQ(packed.dims, 1);
    EXPECT_EQ(packed.data.size(), 8u);
}

// An old image whose every byte is distinct enough to follow where it lands.
std::vector<uint8_t> patterned(size_t size) {
    std::vector<uint8_t> b(size);
    for (size_t i = 0; i < size; ++i)
        b[i] = uint8_t(i * 7 + 3);
    return b;
}

TEST(LegacyCfg, SizeFollowsTheSavingVersion) {
    struct Case {
        FileVersion v;
        size_t size;
    };
    const Case cases[] = {
        {FileVersion::of(0, 0, 0, 0), 4544},    {FileVersion::of(0, 0, 99, 499), 4544},
        {FileVersion::of(0, 0, 99, 500), 4664}, {FileVersion::of(0, 0, 99, 899), 4664},
        {FileVersion::of(0, 0, 99, 900), 4684}, {FileVersion::of(0, 0, 100, 0), 4684},
        {FileVersion::of(0, 1, 0, 0), 4684},    {FileVersion::of(2, 10, 0, 0), 4684},
    };
    for (const auto& c : cases)
        EXPECT_EQ(persistedFullCfgSize(c.v), c.size) << c.v.toString();
    EXPECT_FALSE(convertPersistedFullCfg(FileVersion::of(0, 0, 99, 499), patterned(4664)));
    EXPECT_FALSE(convertPersistedFullCfg(FileVersion::of(2, 10, 0, 0), patterned(4544)));
}

void expectBlocksConverted(const std::vector<uint8_t>& old, size_t blocksAt,
                           const FullCfgData& out) {
    for (int b = 1; b <= kMemBlocks; ++b) {
        const size_t src = blocksAt + 30 * size_t(b - 1);
        const ConstMemBlockCfg blk = ConstFullCfgView(out).memBlock(b);
        EXPECT_EQ(blk.size(), le::u16(old, src)) << "16-bit size kept, block " << b;
        EXPECT_TRUE(std::equal(old.begin() + long(src + 2), old.begin() + long(src + 30),
                               blk.bytes().begin() + 4))
            << "block " << b;
    }
}

TEST(LegacyCfg, Converts4544ByteRecords) {
    const auto old = patterned(4544);
    const auto out = convertPersistedFullCfg(FileVersion::of(0, 0, 98, 0), old);
    ASSERT_TRUE(out);
    EXPECT_TRUE(std::equal(old.begin(), old.begin() + 12, out->begin()));
    for (int n = 1; n <= kChannels; ++n) {
        const ConstChannelCfg ch = ConstFullCfgView(*out).channel(n);
        const auto src = old.begin() + 12 + 140 * (n - 1);
        EXPECT_TRUE(std::equal(src, src + 140, ch.bytes().begin())) << "channel " << n;
        EXPECT_EQ(ch.deadBandAbs(), 0.0f);
    }
    expectBlocksConverted(old, 4212, *out);
    EXPECT_TRUE(std::equal(old.begin() + 4512, old.end(), out->begin() + 4652));
}

TEST(LegacyCfg, Converts4664ByteRecordsAndTakesTodaysAsTheyAre) {
    const auto old = patterned(4664);
    const auto out = convertPersistedFullCfg(FileVersion::of(0, 0, 99, 600), old);
    ASSERT_TRUE(out);
    EXPECT_TRUE(std::equal(old.begin(), old.begin() + 4332, out->begin()));
    expectBlocksConverted(old, 4332, *out);
    EXPECT_TRUE(std::equal(old.begin() + 4632, old.end(), out->begin() + 4652));

    const auto today = patterned(4684);
    const auto same = convertPersistedFullCfg(FileVersion::of(0, 0, 99, 900), today);
    ASSERT_TRUE(same);
    EXPECT_TRUE(std::equal(today.begin(), today.end(), same->begin()));
}

}  // namespace
}  // namespace qd40::cfg

namespace qd40::cfg {
namespace {

TEST(ModuleExtBlock, RegisterImageIdentityAndTrust) {
    Qd40ExtCfgData ext = defaultQd40ExtCfg(strings::Language::English);
    Qd40ExtCfg(ext).setLastByte(0x77);
    const FileVersion own = FileVersion::of(2, 10, 0, 0);
    const ModuleExtBlockData block = makeModuleExtBlock(own, Qd40ExtCfg(ext));
    const auto regs = bytesToRegisters(block);
    ASSERT_EQ(regs.size(), size_t(kExtBlockRegisters));
    EXPECT_EQ(regs[0], 'O' | 'v' << 8) << "two consecutive bytes, low byte first";
    EXPECT_EQ(regs[9], 0x000A) << "file version MS 2.10, low word";
    EXPECT_EQ(registersToBytes(regs), std::vector<uint8_t>(block.begin(), block.end()));
    EXPECT_EQ(ConstModuleExtBlock(block).ext().chanMnemonic(3), "Chan03");
    EXPECT_EQ(ConstModuleExtBlock(block).ext().lastByte(), 0x77);

    const CfgIdentityData id = makeCfgIdentity(own, "Plant A", 123456);
    EXPECT_TRUE(std::equal(id.begin(), id.begin() + 26, block.begin()));
    EXPECT_EQ(ConstCfgIdentity(id).cfgName(), "Plant A");
    EXPECT_EQ(ConstCfgIdentity(id).cfgTime(), 123456u);

    struct Case {
        const char* text;
        FileVersion writer;
        bool trusted;
    };
    const Case cases[] = {
        {"OvixQd40Ctl", own, true},
        {"OvixQd40Ctl", FileVersion::of(2, 9, 9, 9), true},
        {"OvixQd40Ctl", FileVersion::of(2, 10, 0, 1), false},
        {"OvixQd40Ct", own, false},
    };
    for (const auto& c : cases) {
        CfgIdentityData d = makeCfgIdentity(c.writer, "", 0);
        CfgIdentity(d).setWriterText(c.text);
        EXPECT_EQ(isTrustedIdentity(ConstCfgIdentity(d), own), c.trusted)
            << c.text << " " << c.writer.toString();
    }
}

}  // namespace
}  // namespace qd40::cfg
