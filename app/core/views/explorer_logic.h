// The records explorer without its widgets: the tree's nodes and keys, the
// commands on the selected block (properties, delete, copy and paste through
// the clipboard, export) with their rules, questions and messages, and the
// layout of a printed block. The window shows and collects; it reaches the
// clipboard, the file dialog and the format dialog through the ports below.
#pragma once
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <QByteArray>
#include <QPoint>
#include <QRect>

#include "app/core/app_ports.h"
#include "app/core/settings/settings_store.h"
#include "app/core/tavik_doc.h"
#include "app/records/record_export.h"
#include "app/records/wait_progress.h"
#include "platform/locale.h"

namespace qd40::app::views {

// ---- the tree ---------------------------------------------------------------------

// Item data of the tree's nodes; any value above kBlockDataFloor is a block.
inline constexpr uint32_t kRootData = 101;
inline constexpr uint32_t kNewBlockData = 201;
inline constexpr uint32_t kBlockDataFloor = 400;
enum class ExplorerNode { None, Root, NewBlock, Block };
ExplorerNode nodeKind(uint64_t itemData);

enum class TreeKey { Enter, Delete, Other };
enum class TreeAction { None, Toggle, AddNewItem, Properties, Erase };
// What a key (a double click acts as Enter) does on a node.
TreeAction treeAction(TreeKey key, ExplorerNode node, bool hasChildren);
// Where the context menu opens: at the cursor, or from the keyboard 5 pixels
// inside the selected node's top left corner.
QPoint contextMenuPoint(bool fromKeyboard, QPoint cursor, QRect selectedNode);

// ---- commands -----------------------------------------------------------------------

enum class ExplorerCommand {
    Properties,
    Erase,
    Copy,
    Paste,
    Cut,
    NewGraph,
    ExportSelected,
    ExportAll,
    Print,
    PrintPreview,
};

struct ExplorerContext {
    uint32_t rights = 0;
    bool blockSelected = false;
    bool clipboardHasBlock = false;
    bool documentHasBlocks = false;
};
bool explorerCommandEnabled(ExplorerCommand command, const ExplorerContext& context);

// The clipboard as the explorer uses it: one format, bytes by value.
inline constexpr const char* kClipboardFormat = "CF_TAVIK_EXPLVIEW";
class ClipboardPort {
public:
    virtual ~ClipboardPort() = default;
    // Empties the clipboard and puts data under format; false when it failed.
    virtual bool put(const std::string& format, const QByteArray& data) = 0;
    // The data under format, nullopt when the clipboard holds none.
    virtual std::optional<QByteArray> get(const std::string& format) const = 0;
};

// The clipboard form of a block: the block's own stored layout, by value,
// tagged with where it came from so that a paste onto itself is refused.
QByteArray encodeClipboardBlock(const records::CExplBloc& block);
struct ClipboardBlock {
    records::CExplBloc block;
    uint64_t process = 0;
    uint64_t source = 0;  // the source block's address in that process
};
std::optional<ClipboardBlock> decodeClipboardBlock(const QByteArray& data);

// The export's file dialog and format dialog.
enum class ExportKind { Spreadsheet = 0, TextInLine = 1 };
struct ExportFile {
    std::filesystem::path path;
    ExportKind kind = ExportKind::Spreadsheet;
};
class ExportDialogs {
public:
    virtual ~ExportDialogs() = default;
    // The save-file dialog (title, filters in order, the first chosen, no
    // overwrite prompt) proposing `proposed`; nullopt on Cancel.
    virtual std::optional<ExportFile> chooseFile(const std::string& title,
                                                 const std::vector<std::string>& filters,
                                                 const std::filesystem::path& proposed) = 0;
    // The spreadsheet format dialog filled with options; false on Cancel.
    virtual bool editFormat(records::SpreadsheetOptions& options) = 0;
};

// The spreadsheet options in the per-user section "Export enregistrements".
inline constexpr const char* kExportSection = "Export enregistrements";
records::SpreadsheetOptions readExportOptions(const settings::SettingsStore& profile);
void writeExportOptions(settings::SettingsStore& profile, const records::SpreadsheetOptions& o);

class ExplorerCommands {
public:
    ExplorerCommands(CTavikDoc& doc, AppPrompter& prompter, Session& session,
                     platform::Locale locale);

    // ---- properties: name at most 80 characters, comment
    std::string propertiesTitle(const records::CExplBloc& block) const;
    void setProperties(records::CExplBloc& block, const std::string& name,
                       const std::string& comment);

    // ---- delete: asks, then removes the block; true when it was deleted
    bool erase(const records::CExplBloc& block);

    // ---- copy and paste; false when refused (the message has been shown)
    bool copy(const records::CExplBloc& block, ClipboardPort& clipboard);
    bool paste(records::CExplBloc& target, const ClipboardPort& clipboard,
               records::IWaitDialog& wait, records::IRecordsPrompter* sortPrompter);

    // ---- export of one block or all of them: S_OK, or E_ABORT when refused,
    // cancelled or failed (the failure has been shown).
    HRESULT exportBlocks(const std::vector<const records::CExplBloc*>& blocks,
                         ExportDialogs& dialogs, settings::SettingsStore& profile,
                         records::IWaitDialog& wait, const std::filesystem::path& folder);

private:
    CTavikDoc& doc_;
    AppPrompter& prompter_;
    Session& session_;
    platform::Locale locale_;
};

// ---- printing -----------------------------------------------------------------------

// What the printer offers, in device units.
struct PrintMetrics {
    int charWidth = 1;
    int lineHeight = 1;
    int printableWidth = 0;
    int printableHeight = 0;
};
struct PrintLayout {
    std::vector<int> tabs;  // character positions: the first column at 1, one after the last
    int linesPerPage = 0;
    int recordsPerPage = 0;
    int pages = 1;
};
// columnChars: each column's width in characters (the list's widths over
// the width of "X"); footer: printouts carry the user name.
PrintLayout printLayout(const std::vector<int>& columnChars, const PrintMetrics& metrics,
                        size_t records, bool footer);
// "Document <title> - Memory Block "<name>" - <page>/<pages>"
std::string printTitleLine(const std::string& documentTitle, const std::string& blockName, int page,
                           int pages);

}  // namespace qd40::app::views
