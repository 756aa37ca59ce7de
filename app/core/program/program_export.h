// The program export for the sibling product (".wqx"): a header line, then
// one snapshot per module item (communication parameters, the four
// configuration blobs, the channels' mnemonics and units), in the archive
// conventions of the document file. The reader follows the version of the
// header: the serial mode and the two text arrays exist only from the
// versions that wrote them.
#pragma once
#include <array>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "app/core/app_ports.h"
#include "app/core/tavik_doc.h"
#include "common/archive/archive.h"
#include "common/config/cfg_layout.h"

namespace qd40::app::program {

// One module's program.
struct CQd40CfgX {
    static constexpr const char* kClassName = "CQd40CfgX";
    static constexpr uint16_t kSchema = 0;

    std::string name;            // short display name
    int32_t connectionType = 1;  // Serial
    std::string address;         // IpAddr
    uint16_t port = 1;
    uint8_t slave = 1;
    int32_t serverParams = 1;  // OvixQd40SvrParams
    uint32_t rate = 9600;
    uint16_t serialMode = 0;
    cfg::FullCfgData cfg{};
    cfg::ChansResCfgData chansRes{};
    cfg::EmailCfgData email{};
    cfg::MemsStatusMaskCfgData memsMask{};
    std::vector<std::string> mnemonics;  // 30 when the version has them
    std::vector<std::string> units;

    bool operator==(const CQd40CfgX&) const = default;

    void write(archive::Writer& w) const;
    void read(archive::Reader& r, std::string_view version);
};

// The whole export.
struct CAllQd40CfgX {
    static constexpr const char* kMarker = ",XKW7";
    std::string header;  // "OVIX,TAVIK,0,B.10,XKW7\n"
    std::vector<CQd40CfgX> items;

    // The fourth comma-separated field of the header.
    std::string version() const;
    std::vector<uint8_t> write() const;
    // Throws archive::ArchiveError on a truncated or inconsistent file.
    static CAllQd40CfgX read(std::span<const uint8_t> bytes);
};

// The version gates of the reader.
bool wqxHasSerialMode(std::string_view version);
bool wqxHasChannelTexts(std::string_view version);

// The header this program writes.
std::string wqxHeader();
// The snapshot of an item from its control, nullopt when the control cannot give it.
std::optional<CQd40CfgX> snapshotOf(CTavikItem& item);
// The proposed file name: the document title up to its first "." plus ".wqx".
std::string defaultExportName(const std::string& title);

using SnapshotSource = std::function<std::optional<CQd40CfgX>(CTavikItem&)>;

// Writes the program of every item of the document to path and records
// EXPORT_DOC with the path. When an item fails, message 190 is shown, the
// file is left empty and the result is E_FAIL.
HRESULT exportProgram(CTavikDoc& doc, const std::filesystem::path& path, AppPrompter& prompter,
                      Session& session, const SnapshotSource& source = snapshotOf);

// A listing of an export, one section per module, for the command line.
std::string describeProgram(const CAllQd40CfgX& all);

}  // namespace qd40::app::program
