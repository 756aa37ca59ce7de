#include "control/ctl/persistence.h"

#include <algorithm>
#include <optional>

#include "common/ansi_text.h"
#include "common/config/cfg_defaults.h"
#include "common/config/legacy_cfg.h"
#include "common/le_bytes.h"
#include "control/rules/resolution.h"
#include "ovixqd40_version.h"
#include "platform/strings.h"
#include "platform/strings_control.h"

namespace qd40::ctl {

namespace pv = persist_version;

CtlState CtlState::defaults() {
    CtlState s;
    s.cfg = cfg::defaultFullCfg();
    s.chansRes = cfg::defaultChansResCfg();
    s.ext = cfg::defaultQd40ExtCfg();
    s.email = cfg::defaultEmailCfg();
    s.memsStatusMask = cfg::defaultMemsStatusMaskCfg();
    return s;
}

void fixChannelResolutions(const cfg::FullCfgData& full, cfg::ChansResCfgData& res) {
    const cfg::ConstFullCfgView view(full);
    const cfg::ChansResCfg resView(res);
    for (int n = 1; n <= cfg::kChannels; ++n)
        resView.setResol(n, rules::channelResolution(resView.resol(n), view.channel(n).linCount()));
}

namespace {

Status invalidArg() {
    return Status::failure(E_INVALIDARG,
                           strings::controlStrings().textOrEmpty(ctl::kTxtInvalidArgument));
}

std::span<uint8_t> chansExtPart(cfg::Qd40ExtCfgData& ext) {
    return cfg::Qd40ExtCfg(ext).chansExt().bytes();
}

// The items of one saving version, in stream and bag order.
struct Presence {
    size_t cfgSize;
    bool chansRes, chansExt, qd40Ext, emailAndMasks, halfDuplex, serialMode;
};

Presence presenceFor(FileVersion v) {
    return Presence{cfg::persistedFullCfgSize(v),
                    v >= pv::kChansRes,
                    v >= pv::kChansExt && v < pv::kQd40Ext,
                    v >= pv::kQd40Ext,
                    v >= pv::kEmailAndMasks,
                    v < pv::kNoHalfDuplex,
                    v >= pv::kSerialMode};
}

// ---- property bag

template <class T>
std::optional<T> bagValue(const PropertyBag& bag, const std::string& name, uint16_t vt) {
    const PropValue* p = bag.read(name);
    if (!p || p->vt != vt)
        return std::nullopt;
    if (const T* v = std::get_if<T>(&p->value))
        return *v;
    return std::nullopt;
}

bool bagBlob(const PropertyBag& bag, const std::string& name, std::span<uint8_t> out) {
    auto bytes = bagValue<std::vector<uint8_t>>(bag, name, kVtByteArray);
    if (!bytes || bytes->size() != out.size())
        return false;
    std::copy(bytes->begin(), bytes->end(), out.begin());
    return true;
}

}  // namespace

void PropertyBag::write(const std::string& name, PropValue value) {
    for (auto& [n, v] : items_) {
        if (n == name) {
            v = std::move(value);
            return;
        }
    }
    items_.emplace_back(name, std::move(value));
}

const PropValue* PropertyBag::read(const std::string& name) const {
    for (const auto& [n, v] : items_)
        if (n == name)
            return &v;
    return nullptr;
}

FileVersion ownFileVersion() {
    return FileVersion{version::ovixqd40::kFileVersionMS, version::ovixqd40::kFileVersionLS};
}

void saveToPropertyBag(const CtlState& s, PropertyBag& bag) {
    const FileVersion writer = ownFileVersion();
    const Presence p = presenceFor(writer);
    bag.write("FileVersionMS", PropValue::ui4(writer.ms));
    bag.write("FileVersionLS", PropValue::ui4(writer.ls));
    bag.write("Cfg", PropValue::bytes(s.cfg));
    if (p.chansRes)
        bag.write("ChansResCfg", PropValue::bytes(s.chansRes));
    if (p.qd40Ext)
        bag.write("Qd40ExtCfg", PropValue::bytes(s.ext));
    if (p.chansExt) {
        auto copy = s.ext;
        bag.write("ChansExtCfg", PropValue::bytes(chansExtPart(copy)));
    }
    if (p.emailAndMasks) {
        bag.write("EmailCfg", PropValue::bytes(s.email));
        bag.write("MemsStatusMaskCfg", PropValue::bytes(s.memsStatusMask));
    }
    bag.write("Serial", PropValue::boolean(s.conn.serial));
    bag.write("IpAddr", PropValue::bstr(s.conn.ipAddr));
    bag.write("Port", PropValue::i2(s.conn.port));
    bag.write("OvixQd40SvrParams", PropValue::boolean(s.conn.ovixQd40SvrParams));
    bag.write("BaudRate", PropValue::ui4(s.conn.baudRate));
    if (p.halfDuplex)
        bag.write("HalfDuplex", PropValue::boolean(false));
    bag.write("MbAddr", PropValue::ui1(s.conn.mbAddr));
    if (p.serialMode)
        bag.write("SerialMode", PropValue::ui1(s.conn.serialMode));
    bag.write("_cx", PropValue::ui4(s.extentCx));
    bag.write("_cy", PropValue::ui4(s.extentCy));
}

Status loadFromPropertyBag(const PropertyBag& bag, CtlState& state) {
    auto ms = bagValue<uint32_t>(bag, "FileVersionMS", kVtUi4);
    auto ls = bagValue<uint32_t>(bag, "FileVersionLS", kVtUi4);
    if (!ms || !ls)
        return invalidArg();
    const FileVersion v{*ms, *ls};
    const Presence p = presenceFor(v);

    CtlState s = CtlState::defaults();
    auto cfgBytes = bagValue<std::vector<uint8_t>>(bag, "Cfg", kVtByteArray);
    if (!cfgBytes)
        return invalidArg();
    auto converted = cfg::convertPersistedFullCfg(v, *cfgBytes);
    if (!converted)
        return invalidArg();
    s.cfg = *converted;
    if (p.chansRes && !bagBlob(bag, "ChansResCfg", s.chansRes))
        return invalidArg();
    if (p.qd40Ext && !bagBlob(bag, "Qd40ExtCfg", s.ext))
        return invalidArg();
    if (p.chansExt && !bagBlob(bag, "ChansExtCfg", chansExtPart(s.ext)))
        return invalidArg();
    if (p.emailAndMasks && (!bagBlob(bag, "EmailCfg", s.email) ||
                            !bagBlob(bag, "MemsStatusMaskCfg", s.memsStatusMask)))
        return invalidArg();

    auto serial = bagValue<bool>(bag, "Serial", kVtBool);
    auto ipAddr = bagValue<std::string>(bag, "IpAddr", kVtBstr);
    auto port = bagValue<int16_t>(bag, "Port", kVtI2);
    auto svrParams = bagValue<bool>(bag, "OvixQd40SvrParams", kVtBool);
    auto baud = bagValue<uint32_t>(bag, "BaudRate", kVtUi4);
    auto mbAddr = bagValue<uint8_t>(bag, "MbAddr", kVtUi1);
    if (!serial || !ipAddr || !port || !svrParams || !baud || !mbAddr)
        return invalidArg();
    if (p.halfDuplex && !bagValue<bool>(bag, "HalfDuplex", kVtBool))
        return invalidArg();
    std::optional<uint8_t> mode;
    if (p.serialMode && !(mode = bagValue<uint8_t>(bag, "SerialMode", kVtUi1)))
        return invalidArg();

    // The extent is the container's business: kept when the bag has none, but
    // a value of another type fails the load like any other.
    const auto extent = [&](const char* name, uint32_t kept) -> std::optional<uint32_t> {
        return bag.read(name) ? bagValue<uint32_t>(bag, name, kVtUi4) : kept;
    };
    const auto cx = extent("_cx", state.extentCx);
    const auto cy = extent("_cy", state.extentCy);
    if (!cx || !cy)
        return invalidArg();

    s.conn = CtlConnection{
        *serial, *ipAddr, *port, *svrParams, *baud, *mbAddr, mode.value_or(qd40SerialModeStd)};
    s.extentCx = *cx;
    s.extentCy = *cy;
    if (p.chansRes)
        fixChannelResolutions(s.cfg, s.chansRes);
    state = s;
    return Status::ok();
}

// ---- stream

size_t VectorOutStream::write(std::span<const uint8_t> b) {
    const size_t n = std::min(b.size(), limit_ - std::min(limit_, bytes_.size()));
    bytes_.insert(bytes_.end(), b.begin(), b.begin() + static_cast<ptrdiff_t>(n));
    return n;
}

namespace {

class StreamWriter {
public:
    explicit StreamWriter(OutStream& out) : out_(out) {}
    void raw(std::span<const uint8_t> b) {
        if (ok_)
            ok_ = out_.write(b) == b.size();
    }
    void u16(uint16_t v) {
        uint8_t b[2];
        le::setU16(b, 0, v);
        raw(b);
    }
    void u32(uint32_t v) {
        uint8_t b[4];
        le::setU32(b, 0, v);
        raw(b);
    }
    void ui4(uint32_t v) { u16(kVtUi4), u32(v); }
    void boolean(bool v) { u16(kVtBool), u16(v ? 0xFFFF : 0); }
    void i2(int16_t v) { u16(kVtI2), u16(static_cast<uint16_t>(v)); }
    void ui1(uint8_t v) {
        u16(kVtUi1);
        raw(std::span<const uint8_t>(&v, 1));
    }
    void bstr(const std::string& utf8) {
        u16(kVtBstr);
        if (utf8.empty())
            return u32(0);
        const std::u16string w = text::utf8ToUtf16(utf8);
        u32(static_cast<uint32_t>((w.size() + 1) * 2));
        for (char16_t c : w)
            u16(c);
        u16(0);
    }
    bool ok() const { return ok_; }

private:
    OutStream& out_;
    bool ok_ = true;
};

class StreamReader {
public:
    explicit StreamReader(std::span<const uint8_t> in) : in_(in) {}
    bool raw(std::span<uint8_t> out) {
        if (in_.size() - pos_ < out.size())
            return false;
        std::copy_n(in_.begin() + static_cast<ptrdiff_t>(pos_), out.size(), out.begin());
        pos_ += out.size();
        return true;
    }
    std::optional<uint16_t> u16() {
        uint8_t b[2];
        if (!raw(b))
            return std::nullopt;
        return le::u16(b, 0);
    }
    std::optional<uint32_t> u32() {
        uint8_t b[4];
        if (!raw(b))
            return std::nullopt;
        return le::u32(b, 0);
    }
    bool expectType(uint16_t vt) {
        auto t = u16();
        return t && *t == vt;
    }
    std::optional<uint32_t> ui4() { return expectType(kVtUi4) ? u32() : std::nullopt; }
    std::optional<bool> boolean() {
        if (!expectType(kVtBool))
            return std::nullopt;
        auto v = u16();
        if (!v)
            return std::nullopt;
        return *v != 0;
    }
    std::optional<int16_t> i2() {
        if (!expectType(kVtI2))
            return std::nullopt;
        auto v = u16();
        if (!v)
            return std::nullopt;
        return static_cast<int16_t>(*v);
    }
    std::optional<uint8_t> ui1() {
        uint8_t b[1];
        if (!expectType(kVtUi1) || !raw(b))
            return std::nullopt;
        return b[0];
    }
    std::optional<std::string> bstr() {
        if (!expectType(kVtBstr))
            return std::nullopt;
        auto bytes = u32();
        if (!bytes)
            return std::nullopt;
        if (*bytes == 0)
            return std::string();
        // An odd count or one beyond what is left cannot be a string of ours.
        if (*bytes % 2 != 0 || *bytes > in_.size() - pos_)
            return std::nullopt;
        std::u16string w;
        for (uint32_t i = 0; i < *bytes / 2; ++i)
            w.push_back(static_cast<char16_t>(*u16()));
        if (w.back() == u'\0')
            w.pop_back();
        return text::utf16ToUtf8(w);
    }
    size_t position() const { return pos_; }

private:
    std::span<const uint8_t> in_;
    size_t pos_ = 0;
};

}  // namespace

Status saveToStream(const CtlState& s, OutStream& out) {
    const FileVersion writer = ownFileVersion();
    const Presence p = presenceFor(writer);
    StreamWriter w(out);
    w.ui4(writer.ms);
    w.ui4(writer.ls);
    w.raw(s.cfg);
    if (p.chansRes)
        w.raw(s.chansRes);
    if (p.qd40Ext)
        w.raw(s.ext);
    if (p.chansExt) {
        auto copy = s.ext;
        w.raw(chansExtPart(copy));
    }
    if (p.emailAndMasks) {
        w.raw(s.email);
        w.raw(s.memsStatusMask);
    }
    w.boolean(s.conn.serial);
    w.bstr(s.conn.ipAddr);
    w.i2(s.conn.port);
    w.ui1(s.conn.mbAddr);
    w.boolean(s.conn.ovixQd40SvrParams);
    w.ui4(s.conn.baudRate);
    if (p.halfDuplex)
        w.boolean(false);
    if (p.serialMode)
        w.ui1(s.conn.serialMode);
    w.u32(kExtentMarker);
    w.u32(s.extentCx);
    w.u32(s.extentCy);
    if (!w.ok())
        return Status::failure(STG_E_CANTSAVE,
                               "The control's state could not be saved: the stream is full");
    return Status::ok();
}

Status loadFromStream(std::span<const uint8_t> in, CtlState& state, size_t* consumed) {
    StreamReader r(in);
    auto fail = [] {
        return Status::failure(E_INVALIDARG,
                               strings::controlStrings().textOrEmpty(ctl::kTxtInvalidArgument));
    };
    auto ms = r.ui4();
    auto ls = r.ui4();
    if (!ms || !ls)
        return fail();
    const FileVersion v{*ms, *ls};
    const Presence p = presenceFor(v);

    CtlState s = CtlState::defaults();
    std::vector<uint8_t> cfgBytes(p.cfgSize);
    if (!r.raw(cfgBytes))
        return fail();
    auto converted = cfg::convertPersistedFullCfg(v, cfgBytes);
    if (!converted)
        return fail();
    s.cfg = *converted;
    if (p.chansRes && !r.raw(s.chansRes))
        return fail();
    if (p.qd40Ext && !r.raw(s.ext))
        return fail();
    if (p.chansExt && !r.raw(chansExtPart(s.ext)))
        return fail();
    if (p.emailAndMasks && (!r.raw(s.email) || !r.raw(s.memsStatusMask)))
        return fail();

    auto serial = r.boolean();
    auto ipAddr = r.bstr();
    auto port = r.i2();
    auto mbAddr = r.ui1();
    auto svrParams = r.boolean();
    auto baud = r.ui4();
    if (!serial || !ipAddr || !port || !mbAddr || !svrParams || !baud)
        return fail();
    if (p.halfDuplex && !r.boolean())
        return fail();
    std::optional<uint8_t> mode;
    if (p.serialMode && !(mode = r.ui1()))
        return fail();
    auto marker = r.u32();
    auto cx = r.u32();
    auto cy = r.u32();
    // A marker above ours comes from a layout this control does not know.
    if (!marker || *marker > kExtentMarker || !cx || !cy)
        return fail();

    s.conn = CtlConnection{
        *serial, *ipAddr, *port, *svrParams, *baud, *mbAddr, mode.value_or(qd40SerialModeStd)};
    s.extentCx = *cx;
    s.extentCy = *cy;
    if (p.chansRes)
        fixChannelResolutions(s.cfg, s.chansRes);
    state = s;
    if (consumed)
        *consumed = r.position();
    return Status::ok();
}

}  // namespace qd40::ctl
