#include "app/core/program/program_export.h"

#include <sstream>

#include "app/core/doc_version.h"
#include "app/core/program/program_strings.h"
#include "common/config/code_tables.h"
#include "common/config/variant_blob.h"
#include "common/output_file.h"

namespace qd40::app::program {

namespace {
constexpr uint32_t kTextsPerArray = cfg::kChannels;

bool atLeastIn(std::string_view v, std::string_view releaseFrom, std::string_view testFrom) {
    return (v >= releaseFrom && v < "Z.00") || v >= testFrom;
}

template <size_t N>
bool blobOf(HRESULT (ctl::OvixQd40Ctl::*get)(cfg::VariantBlob*), ctl::OvixQd40Ctl& c,
            std::array<uint8_t, N>& out) {
    cfg::VariantBlob v;
    return succeeded((c.*get)(&v)) && cfg::unpackBlob(v, out);
}
}  // namespace

bool wqxHasSerialMode(std::string_view v) {
    return atLeastIn(v, "B.06", "Z.24");
}

bool wqxHasChannelTexts(std::string_view v) {
    return atLeastIn(v, "A.00", "Z.10");
}

void CQd40CfgX::write(archive::Writer& w) const {
    w.writeString(name);
    w.writeI32(connectionType);
    w.writeString(address);
    w.writeU16(port);
    w.writeU8(slave);
    w.writeI32(serverParams);
    w.writeU32(rate);
    w.writeU16(serialMode);
    w.writeBytes(cfg);
    w.writeBytes(chansRes);
    w.writeBytes(email);
    w.writeBytes(memsMask);
    for (const std::vector<std::string>* texts : {&mnemonics, &units}) {
        w.writeCount(uint32_t(texts->size()));
        for (const std::string& t : *texts)
            w.writeString(t);
    }
}

void CQd40CfgX::read(archive::Reader& r, std::string_view version) {
    name = r.readString();
    connectionType = r.readI32();
    address = r.readString();
    port = r.readU16();
    slave = r.readU8();
    serverParams = r.readI32();
    rate = r.readU32();
    serialMode = wqxHasSerialMode(version) ? r.readU16() : 0;
    r.readBytes(cfg);
    r.readBytes(chansRes);
    r.readBytes(email);
    r.readBytes(memsMask);
    mnemonics.clear();
    units.clear();
    if (wqxHasChannelTexts(version)) {
        for (std::vector<std::string>* texts : {&mnemonics, &units}) {
            const uint32_t n = r.readCount(1);
            for (uint32_t i = 0; i < n; ++i)
                texts->push_back(r.readString());
        }
    }
}

std::string CAllQd40CfgX::version() const {
    return std::string(versionOfHeader(header));
}

std::vector<uint8_t> CAllQd40CfgX::write() const {
    archive::Writer w;
    w.writeString(header);
    w.writeCount(uint32_t(items.size()));
    for (const CQd40CfgX& item : items) {
        w.writeObjectTag(CQd40CfgX::kClassName, CQd40CfgX::kSchema);
        item.write(w);
    }
    return w.take();
}

CAllQd40CfgX CAllQd40CfgX::read(std::span<const uint8_t> bytes) {
    archive::Reader r(bytes);
    CAllQd40CfgX all;
    all.header = r.readString();
    if (all.header.find(CAllQd40CfgX::kMarker) == std::string::npos)
        throw archive::ArchiveError("the header is not the one of a program export");
    const std::string version = all.version();
    // Each object holds at least its tag and its fixed fields.
    const uint32_t n = r.readCount(2 + cfg::kFullCfgSize);
    for (uint32_t i = 0; i < n; ++i) {
        const archive::Reader::ObjectTag tag = r.readObjectTag();
        if (tag.kind != archive::Reader::ObjectTag::Kind::New ||
            tag.className != CQd40CfgX::kClassName || tag.schema != CQd40CfgX::kSchema)
            throw archive::ArchiveError("an object of the export is not a module program");
        CQd40CfgX item;
        item.read(r, version);
        all.items.push_back(std::move(item));
    }
    return all;
}

std::string wqxHeader() {
    return CTavikDoc::currentHeader() + CAllQd40CfgX::kMarker + "\n";
}

std::optional<CQd40CfgX> snapshotOf(CTavikItem& item) {
    ctl::OvixQd40Ctl& c = item.control();
    CQd40CfgX x;
    x.name = item.shortDisplayName();
    std::string address;
    int32_t serial = 0, port = 0, params = 0, rate = 0;
    int16_t slave = 0, mode = 0;
    if (failed(c.get_Serial(&serial)) || failed(c.get_IpAddr(&address)) ||
        failed(c.get_Port(&port)) || failed(c.get_MbAddr(&slave)) ||
        failed(c.get_OvixQd40SvrParams(&params)) || failed(c.get_BaudRate(&rate)) ||
        failed(c.get_SerialMode(&mode)))
        return std::nullopt;
    x.connectionType = serial;
    x.address = address;
    x.port = static_cast<uint16_t>(port);
    x.slave = static_cast<uint8_t>(slave);
    x.serverParams = params;
    x.rate = static_cast<uint32_t>(rate);
    x.serialMode = static_cast<uint16_t>(mode);
    using C = ctl::OvixQd40Ctl;
    if (!blobOf(&C::get_Cfg, c, x.cfg) || !blobOf(&C::get_ChansResCfg, c, x.chansRes) ||
        !blobOf(&C::get_EmailCfg, c, x.email) || !blobOf(&C::get_MemsStatusMaskCfg, c, x.memsMask))
        return std::nullopt;
    const cfg::ConstFullCfgView v(x.cfg);
    for (int16_t n = 1; n <= cfg::kChannels; ++n) {
        std::string mnemonic, unit;
        if (failed(c.GetChanMnemo(n, &mnemonic)) || failed(c.GetChanUnit(n, &unit)))
            return std::nullopt;
        if (unit.empty()) {
            const int16_t fct = int16_t(v.channel(n).function());
            const int16_t rge = int16_t(v.channel(n).range());
            if (failed(c.GetRgeDefUnit(fct, rge, &unit)))
                return std::nullopt;
        }
        x.mnemonics.push_back(mnemonic);
        x.units.push_back(unit);
    }
    return x;
}

std::string defaultExportName(const std::string& title) {
    return title.substr(0, title.find('.')) + ".wqx";
}

HRESULT exportProgram(CTavikDoc& doc, const std::filesystem::path& path, AppPrompter& prompter,
                      Session& session, const SnapshotSource& source) {
    CAllQd40CfgX all;
    all.header = wqxHeader();
    bool ok = true;
    for (const auto& item : doc.items()) {
        if (auto x = source(*item))
            all.items.push_back(std::move(*x));
        else
            ok = false;
    }
    if (!ok) {
        // The chosen file is created, then left empty.
        OutputFile::write(path.string(), {});
        prompter.message(programText(ptext::kExportFailed), Buttons::Ok, Icon::Exclamation);
        return E_FAIL;
    }
    if (const Status st = OutputFile::write(path.string(), all.write()); !st) {
        prompter.message(programText(ptext::kExportFailed) + "\n" + st.error.description,
                         Buttons::Ok, Icon::Exclamation);
        return E_FAIL;
    }
    session.audit(security::AuditEvent::EXPORT_DOC, {path.string()});
    return S_OK;
}

std::string describeProgram(const CAllQd40CfgX& all) {
    std::ostringstream out;
    out << "Header: " << all.header.substr(0, all.header.find('\n'))
        << "\nVersion: " << all.version() << "\nModules: " << all.items.size() << "\n";
    for (size_t i = 0; i < all.items.size(); ++i) {
        const CQd40CfgX& x = all.items[i];
        const cfg::ConstFullCfgView v(x.cfg);
        out << "\nModule " << i + 1 << ": " << x.name << "\n  "
            << (x.connectionType ? "serial, COM " + std::to_string(x.port) +
                                       (x.address.empty() ? "" : " of " + x.address) + ", " +
                                       std::to_string(x.rate) + " bauds, serial mode " +
                                       std::to_string(x.serialMode)
                                 : "network, " + x.address + ":" + std::to_string(x.port))
            << ", slave " << int(x.slave) << "\n";
        out << "  Scanned channels mask: 0x" << std::hex << v.chansToScan() << std::dec
            << ", acquisition period " << v.acqPeriod() << " "
            << cfg::periodUnitText(v.periodUnit()) << "\n";
        for (int n = 1; n <= cfg::kChannels; ++n) {
            const int fct = v.channel(n).function();
            if (fct == cfg::kFctNotProg)
                continue;
            out << "  " << strings::format("%.2d", n) << " ";
            if (size_t(n) <= x.mnemonics.size())
                out << x.mnemonics[size_t(n - 1)] << " ";
            out << cfg::functionText(fct) << " " << cfg::rangeText(fct, v.channel(n).range());
            if (size_t(n) <= x.units.size())
                out << " [" << x.units[size_t(n - 1)] << "]";
            out << "\n";
        }
        for (int b = 1; b <= cfg::kMemBlocks; ++b)
            if (v.memBlock(b).size() > 0)
                out << "  Memory block " << b << ": " << v.memBlock(b).size() << " records\n";
    }
    return out.str();
}

}  // namespace qd40::app::program
