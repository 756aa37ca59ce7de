#include "control/ctl/persistence.h"

#include <gtest/gtest.h>

#include "common/config/cfg_defaults.h"
#include "common/config/code_tables.h"
#include "common/le_bytes.h"

namespace qd40::ctl {
namespace {

namespace pv = persist_version;

CtlState changedState() {
    CtlState s = CtlState::defaults();
    cfg::FullCfgView(s.cfg).setAcqPeriod(250);
    cfg::ChannelCfg ch = cfg::FullCfgView(s.cfg).channel(3);
    ch.setFunction(cfg::kFctVdc);
    const cfg::LinPoint pts[] = {{0.f, 1.f}, {10.f, 2.f}};
    ch.setLinPoints(pts);
    cfg::ChansResCfg(s.chansRes).setResol(3, 2);
    cfg::Qd40ExtCfg(s.ext).setModuleMnemonic("Furnace");
    s.ext[729] = 0x5A;
    cfg::EmailCfg(s.email).setRecipient(1, "ops@example.org");
    s.memsStatusMask[0] = 0x03;
    s.conn = CtlConnection{false, "127.0.0.1 é", 502, false, 19200, 7, qd40SerialModeRadio};
    s.extentCx = 1234;
    s.extentCy = 5678;
    return s;
}

// Writes the variant stream items of an older control, for the loader's version paths.
struct OldStream {
    std::vector<uint8_t> b;
    void u16(uint16_t v) { b.push_back(uint8_t(v)), b.push_back(uint8_t(v >> 8)); }
    void u32(uint32_t v) { u16(uint16_t(v)), u16(uint16_t(v >> 16)); }
    void raw(std::span<const uint8_t> r) { b.insert(b.end(), r.begin(), r.end()); }
    void ui4(uint32_t v) { u16(kVtUi4), u32(v); }
    void boolean(bool v) { u16(kVtBool), u16(v ? 0xFFFF : 0); }
    void ui1(uint8_t v) { u16(kVtUi1), b.push_back(v); }
    void i2(int16_t v) { u16(kVtI2), u16(uint16_t(v)); }
    void emptyBstr() { u16(kVtBstr), u32(0); }
    void bstr(std::u16string_view w) {
        u16(kVtBstr), u32(uint32_t((w.size() + 1) * 2));
        for (char16_t c : w)
            u16(c);
        u16(0);
    }
};

// The stream of changedState() written by hand in the documented order, with
// the offsets of a few items for the corruption cases.
struct CurrentStream {
    OldStream w;
    size_t serialAt = 0, portAt = 0, markerAt = 0;
    CurrentStream() {
        const CtlState s = changedState();
        w.ui4(ownFileVersion().ms), w.ui4(ownFileVersion().ls);
        w.raw(s.cfg), w.raw(s.chansRes), w.raw(s.ext), w.raw(s.email), w.raw(s.memsStatusMask);
        serialAt = w.b.size();
        w.boolean(false);
        w.bstr(u"127.0.0.1 \u00e9");
        portAt = w.b.size();
        w.i2(502), w.ui1(7), w.boolean(false), w.ui4(19200), w.ui1(qd40SerialModeRadio);
        markerAt = w.b.size();
        w.u32(kExtentMarker), w.u32(1234), w.u32(5678);
    }
};

TEST(Persistence, StreamRoundTripKeepsEveryByteAndSetting) {
    const CtlState s = changedState();
    VectorOutStream out;
    ASSERT_TRUE(saveToStream(s, out).isOk());
    EXPECT_EQ(le::u32(out.bytes(), 2), ownFileVersion().ms);
    CtlState loaded = CtlState::defaults();
    size_t used = 0;
    ASSERT_TRUE(loadFromStream(out.bytes(), loaded, &used).isOk());
    EXPECT_EQ(used, out.bytes().size());
    EXPECT_EQ(loaded, s);
}

TEST(Persistence, StreamHoldsItsItemsInTheirOrderWithTheirTypes) {
    const CurrentStream expected;
    VectorOutStream out;
    ASSERT_TRUE(saveToStream(changedState(), out).isOk());
    EXPECT_EQ(out.bytes(), expected.w.b);
}

TEST(Persistence, StreamValueOfAnotherTypeOrUnknownMarkerFailsTheLoad) {
    struct Case {
        const char* what;
        size_t CurrentStream::*at;
        uint16_t word;
    };
    const Case cases[] = {{"Serial as VT_I2", &CurrentStream::serialAt, kVtI2},
                          {"Port as VT_UI4", &CurrentStream::portAt, kVtUi4},
                          {"marker of a later layout", &CurrentStream::markerAt, 0x0400}};
    const CtlState before = CtlState::defaults();
    for (const Case& c : cases) {
        CurrentStream bad;
        le::setU16(bad.w.b, bad.*c.at, c.word);
        CtlState s = before;
        EXPECT_EQ(loadFromStream(bad.w.b, s).hr, E_INVALIDARG) << c.what;
        EXPECT_EQ(s, before) << c.what;
    }
    CtlState s = before;
    ASSERT_TRUE(loadFromStream(CurrentStream().w.b, s).isOk());
    EXPECT_EQ(s, changedState());
}

TEST(Persistence, PropertyBagRoundTripUsesExactTypes) {
    const CtlState s = changedState();
    PropertyBag bag;
    saveToPropertyBag(s, bag);
    const std::vector<std::pair<std::string, uint16_t>> expected = {
        {"FileVersionMS", kVtUi4},
        {"FileVersionLS", kVtUi4},
        {"Cfg", kVtByteArray},
        {"ChansResCfg", kVtByteArray},
        {"Qd40ExtCfg", kVtByteArray},
        {"EmailCfg", kVtByteArray},
        {"MemsStatusMaskCfg", kVtByteArray},
        {"Serial", kVtBool},
        {"IpAddr", kVtBstr},
        {"Port", kVtI2},
        {"OvixQd40SvrParams", kVtBool},
        {"BaudRate", kVtUi4},
        {"MbAddr", kVtUi1},
        {"SerialMode", kVtUi1},
        {"_cx", kVtUi4},
        {"_cy", kVtUi4}};
    std::vector<std::pair<std::string, uint16_t>> written;
    for (const auto& [n, v] : bag.items())
        written.emplace_back(n, v.vt);
    EXPECT_EQ(written, expected);

    CtlState loaded = CtlState::defaults();
    ASSERT_TRUE(loadFromPropertyBag(bag, loaded).isOk());
    EXPECT_EQ(loaded, s);
}

TEST(Persistence, FailedLoadsLeaveTheStateAsItWas) {
    const CtlState before = changedState();
    CtlState s = before;
    // Values of another type than saved, the container's extent included.
    const std::pair<const char*, PropValue> wrongTypes[] = {
        {"Port", PropValue::ui4(3)}, {"SerialMode", PropValue::i2(1)}, {"_cx", PropValue::i2(1)}};
    for (const auto& [name, value] : wrongTypes) {
        PropertyBag bag;
        saveToPropertyBag(CtlState::defaults(), bag);
        bag.write(name, value);
        const Status st = loadFromPropertyBag(bag, s);
        EXPECT_EQ(st.hr, E_INVALIDARG) << name;
        EXPECT_EQ(s, before) << name;
    }

    VectorOutStream out;
    ASSERT_TRUE(saveToStream(CtlState::defaults(), out).isOk());
    for (size_t cut : {size_t(3), size_t(4000), out.bytes().size() - 1}) {
        std::vector<uint8_t> shortStream(out.bytes().begin(), out.bytes().begin() + long(cut));
        s = before;
        EXPECT_FALSE(loadFromStream(shortStream, s).isOk()) << cut;
        EXPECT_EQ(s, before) << cut;
    }
}

TEST(Persistence, ShortWriteFailsTheSave) {
    VectorOutStream full(100);
    EXPECT_EQ(saveToStream(CtlState::defaults(), full).hr, STG_E_CANTSAVE);
}

TEST(Persistence, OldestStreamLayoutLoadsWithDefaultsForWhatItLacks) {
    // 0.0.99.200: 4544-byte record, no resolutions, no e-mail, HalfDuplex after BaudRate.
    std::vector<uint8_t> old(4544, 0);
    le::setU16(old, 0, 0x0021);                 // global word
    le::setU16(old, 12 + 140 * 2 + 0, 0x1031);  // channel 3 flags
    le::setU16(old, 4212 + 30 * 1, 5000);       // block 2 size, u16
    le::setU32(old, 4212 + 30 * 1 + 2, 0x0F);   // block 2 channels to record
    le::setU32(old, 4528, 0xABCD);              // global alarm 2 mask, limit 1
    OldStream w;
    w.ui4(0);
    w.ui4(FileVersion::of(0, 0, 99, 200).ls);
    w.raw(old);
    w.boolean(true), w.emptyBstr(), w.i2(2), w.ui1(5), w.boolean(true), w.ui4(9600);
    w.boolean(true);  // HalfDuplex, read and ignored
    w.u32(kExtentMarker), w.u32(10), w.u32(20);

    CtlState s = changedState();
    ASSERT_TRUE(loadFromStream(w.b, s).isOk());
    const cfg::ConstFullCfgView v(s.cfg);
    EXPECT_EQ(v.globalWord(), 0x0021);
    EXPECT_EQ(v.channel(3).flags(), 0x1031);
    EXPECT_EQ(v.channel(3).deadBandAbs(), 0.0f);
    EXPECT_EQ(v.memBlock(2).size(), 5000u);
    EXPECT_EQ(v.memBlock(2).chansToRecord(), 0x0Fu);
    EXPECT_EQ(v.globalAlarmMask(2, 1), 0xABCDu);
    EXPECT_EQ(s.chansRes, cfg::defaultChansResCfg());
    EXPECT_EQ(s.email, cfg::defaultEmailCfg());
    EXPECT_EQ(s.ext, cfg::defaultQd40ExtCfg());
    EXPECT_EQ(s.conn.port, 2);
    EXPECT_EQ(s.conn.mbAddr, 5);
    EXPECT_EQ(s.conn.serialMode, qd40SerialModeStd);
    EXPECT_EQ(s.extentCx, 10u);
}

TEST(Persistence, ChannelTextsOfTheirVersionsLandInTheExtension) {
    // 0.0.99.800: 4664-byte record, resolutions, the 690-byte channel texts, e-mail and masks.
    CtlState src = changedState();
    cfg::Qd40ExtCfg(src.ext).setChanMnemonic(4, "Oven");
    cfg::ChansResCfg(src.chansRes).setResol(1, 9);  // no points on channel 1: becomes 6
    OldStream w;
    w.ui4(0);
    w.ui4(FileVersion::of(0, 0, 99, 800).ls);
    std::vector<uint8_t> record(src.cfg.begin(), src.cfg.begin() + 4332);
    record.resize(4664);  // ten 30-byte blocks of zero, then zero masks
    w.raw(record);
    w.raw(src.chansRes);
    w.raw(std::span<const uint8_t>(src.ext).subspan(39, 690));
    w.raw(src.email);
    w.raw(src.memsStatusMask);
    w.boolean(false), w.emptyBstr(), w.i2(502), w.ui1(1), w.boolean(false), w.ui4(115200);
    w.u32(kExtentMarker), w.u32(1), w.u32(2);

    CtlState s = CtlState::defaults();
    ASSERT_TRUE(loadFromStream(w.b, s).isOk());
    EXPECT_EQ(cfg::ConstQd40ExtCfg(s.ext).chanMnemonic(4), "Oven");
    EXPECT_EQ(cfg::ConstQd40ExtCfg(s.ext).moduleMnemonic(), "")
        << "outside the channel texts: default";
    EXPECT_EQ(cfg::ConstChansResCfg(s.chansRes).resol(1), 6);
    EXPECT_EQ(cfg::ConstChansResCfg(s.chansRes).resol(3), 2);
    EXPECT_EQ(s.email, src.email);
    EXPECT_EQ(cfg::ConstFullCfgView(s.cfg).channel(3).linCount(), 2);
}

TEST(Persistence, PropertyBagVersionRules) {
    struct Case {
        FileVersion v;
        size_t cfgSize;
        bool chansRes, emailMasks, chansExt, qd40Ext, halfDuplex, serialMode;
    };
    const Case cases[] = {
        {FileVersion::of(0, 0, 99, 200), 4544, false, false, false, false, true, false},
        {FileVersion::of(0, 0, 99, 299), 4544, false, false, false, false, true, false},
        {FileVersion::of(0, 0, 99, 300), 4544, true, false, false, false, true, false},
        {FileVersion::of(0, 0, 99, 399), 4544, true, false, false, false, true, false},
        {FileVersion::of(0, 0, 99, 400), 4544, true, false, false, false, false, false},
        {FileVersion::of(0, 0, 99, 499), 4544, true, false, false, false, false, false},
        {FileVersion::of(0, 0, 99, 500), 4664, true, true, false, false, false, false},
        {FileVersion::of(0, 0, 99, 700), 4664, true, true, true, false, false, false},
        {FileVersion::of(0, 0, 99, 899), 4664, true, true, true, false, false, false},
        {FileVersion::of(0, 0, 99, 900), 4684, true, true, false, true, false, false},
        {FileVersion::of(1, 8, 99, 1799), 4684, true, true, false, true, false, false},
        {FileVersion::of(1, 8, 99, 1800), 4684, true, true, false, true, false, true},
    };
    for (const Case& c : cases) {
        CtlState src = changedState();
        cfg::Qd40ExtCfg(src.ext).setChanMnemonic(1, "Oven");
        // Channel 1 stands at the same place in every record layout.
        const cfg::LinPoint pts[] = {{0.f, 1.f}, {10.f, 2.f}};
        cfg::FullCfgView(src.cfg).channel(1).setLinPoints(pts);
        cfg::ChansResCfg(src.chansRes).setResol(1, 3);
        PropertyBag bag;
        bag.write("FileVersionMS", PropValue::ui4(c.v.ms));
        bag.write("FileVersionLS", PropValue::ui4(c.v.ls));
        std::vector<uint8_t> record(src.cfg.begin(), src.cfg.begin() + long(c.cfgSize));
        bag.write("Cfg", PropValue{kVtByteArray, record});
        if (c.chansRes)
            bag.write("ChansResCfg", PropValue::bytes(src.chansRes));
        if (c.qd40Ext)
            bag.write("Qd40ExtCfg", PropValue::bytes(src.ext));
        if (c.chansExt)
            bag.write("ChansExtCfg",
                      PropValue::bytes(std::span<const uint8_t>(src.ext).subspan(39, 690)));
        if (c.emailMasks) {
            bag.write("EmailCfg", PropValue::bytes(src.email));
            bag.write("MemsStatusMaskCfg", PropValue::bytes(src.memsStatusMask));
        }
        bag.write("Serial", PropValue::boolean(true));
        bag.write("IpAddr", PropValue::bstr(""));
        bag.write("Port", PropValue::i2(4));
        bag.write("OvixQd40SvrParams", PropValue::boolean(true));
        bag.write("BaudRate", PropValue::ui4(38400));
        if (c.halfDuplex)
            bag.write("HalfDuplex", PropValue::boolean(true));
        bag.write("MbAddr", PropValue::ui1(9));
        if (c.serialMode)
            bag.write("SerialMode", PropValue::ui1(qd40SerialModeUsb));

        CtlState s = CtlState::defaults();
        ASSERT_TRUE(loadFromPropertyBag(bag, s).isOk()) << c.v.toString();
        EXPECT_EQ(s.conn.baudRate, 38400u);
        EXPECT_EQ(s.conn.serialMode, c.serialMode ? qd40SerialModeUsb : qd40SerialModeStd)
            << c.v.toString();
        EXPECT_EQ(s.email == src.email, c.emailMasks) << c.v.toString();
        EXPECT_EQ(cfg::ConstChansResCfg(s.chansRes).resol(1), c.chansRes ? 3 : 6) << c.v.toString();
        // The channel texts come from ChansExtCfg or Qd40ExtCfg by version, else the default.
        EXPECT_EQ(cfg::ConstQd40ExtCfg(s.ext).chanMnemonic(1),
                  c.chansExt || c.qd40Ext ? "Oven" : cfg::defaultMnemonic(1))
            << c.v.toString();
        EXPECT_EQ(cfg::ConstQd40ExtCfg(s.ext).moduleMnemonic() == "Furnace", c.qd40Ext)
            << c.v.toString();

        // The same bag without an item its version must have fails.
        if (c.halfDuplex) {
            PropertyBag missing;
            for (const auto& [n, v] : bag.items())
                if (n != "HalfDuplex")
                    missing.write(n, v);
            CtlState t = CtlState::defaults();
            EXPECT_FALSE(loadFromPropertyBag(missing, t).isOk()) << c.v.toString();
        }
    }
}

}  // namespace
}  // namespace qd40::ctl
