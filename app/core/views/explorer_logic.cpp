#include "app/core/views/explorer_logic.h"

#include <unistd.h>

#include <algorithm>

#include <QString>

#include "app/core/read_memory.h"
#include "app/core/views/view_strings.h"
#include "app/records/records_strings.h"

namespace qd40::app::views {

using security::AuditEvent;

namespace {
constexpr int kRightExport = 2;
constexpr int kRightPrint = 3;
constexpr int kRightDeleteBlock = 14;
// Progress of a paste: the position moves every this many records.
constexpr size_t kPasteProgressEvery = 100;
constexpr int kMenuInset = 5;
// Lines of a page that are not records: title, blank, column titles, rule;
// and the footer's two when printouts carry the user name.
constexpr int kPageHeadLines = 4;
constexpr int kFooterLines = 2;

constexpr char kClipboardMagic[] = "TAVIKEXPL1";

}  // namespace

// ---- the tree --------------------------------------------------------------------------

ExplorerNode nodeKind(uint64_t data) {
    if (data == kRootData)
        return ExplorerNode::Root;
    if (data == kNewBlockData)
        return ExplorerNode::NewBlock;
    if (data > kBlockDataFloor)
        return ExplorerNode::Block;
    return ExplorerNode::None;
}

TreeAction treeAction(TreeKey key, ExplorerNode node, bool hasChildren) {
    switch (key) {
        case TreeKey::Delete:
            return TreeAction::Erase;
        case TreeKey::Enter:
            if (hasChildren)
                return TreeAction::Toggle;
            if (node == ExplorerNode::NewBlock)
                return TreeAction::AddNewItem;
            if (node == ExplorerNode::Block)
                return TreeAction::Properties;
            return TreeAction::Toggle;
        case TreeKey::Other:
            break;
    }
    return TreeAction::None;
}

QPoint contextMenuPoint(bool fromKeyboard, QPoint cursor, QRect selectedNode) {
    if (!fromKeyboard)
        return cursor;
    return selectedNode.topLeft() + QPoint(kMenuInset, kMenuInset);
}

// ---- commands ------------------------------------------------------------------------

bool explorerCommandEnabled(ExplorerCommand command, const ExplorerContext& c) {
    const auto has = [&](int bit) { return (c.rights >> bit & 1u) != 0; };
    switch (command) {
        case ExplorerCommand::Properties:
        case ExplorerCommand::Copy:
        case ExplorerCommand::NewGraph:
            return c.blockSelected;
        case ExplorerCommand::Erase:
            return c.blockSelected && has(kRightDeleteBlock);
        case ExplorerCommand::Paste:
            return c.blockSelected && c.clipboardHasBlock;
        case ExplorerCommand::Cut:
            return false;
        case ExplorerCommand::ExportSelected:
            return c.blockSelected && has(kRightExport);
        case ExplorerCommand::ExportAll:
            return c.documentHasBlocks && has(kRightExport);
        case ExplorerCommand::Print:
        case ExplorerCommand::PrintPreview:
            return c.blockSelected && has(kRightPrint);
    }
    return false;
}

QByteArray encodeClipboardBlock(const records::CExplBloc& block) {
    archive::Writer w;
    w.writeBytes(
        std::span(reinterpret_cast<const uint8_t*>(kClipboardMagic), sizeof kClipboardMagic - 1));
    w.writeU64(static_cast<uint64_t>(::getpid()));
    w.writeU64(reinterpret_cast<uintptr_t>(&block));
    block.Serialize(w);
    return QByteArray(reinterpret_cast<const char*>(w.data().data()), qsizetype(w.data().size()));
}

std::optional<ClipboardBlock> decodeClipboardBlock(const QByteArray& data) {
    archive::Reader r(
        std::span(reinterpret_cast<const uint8_t*>(data.constData()), size_t(data.size())));
    try {
        std::array<uint8_t, sizeof kClipboardMagic - 1> magic{};
        r.readBytes(magic);
        if (!std::equal(magic.begin(), magic.end(), kClipboardMagic))
            return std::nullopt;
        ClipboardBlock b;
        b.process = r.readU64();
        b.source = r.readU64();
        b.block.Serialize(r, records::currentFormatVersion());
        return b;
    } catch (const archive::ArchiveError&) {
        return std::nullopt;
    }
}

records::SpreadsheetOptions readExportOptions(const settings::SettingsStore& p) {
    records::SpreadsheetOptions o;
    const int sep = p.readInt(kExportSection, "SeparateurColonnes", '\t');
    o.separator = sep > 0 && sep < 256 ? static_cast<char>(sep) : '\t';
    o.firstCycleDate = p.readInt(kExportSection, "InclureDatePremierCycle", 1) != 0;
    o.groupByCycle = p.readInt(kExportSection, "RegrouperVoiesCycle", 1) != 0;
    o.interval = p.readInt(kExportSection, "InclureIntervalle", 1) != 0;
    o.date = p.readInt(kExportSection, "InclureDate", 0) != 0;
    o.time = p.readInt(kExportSection, "InclureHeure", 0) != 0;
    return o;
}

void writeExportOptions(settings::SettingsStore& p, const records::SpreadsheetOptions& o) {
    p.writeInt(kExportSection, "SeparateurColonnes", static_cast<unsigned char>(o.separator));
    p.writeInt(kExportSection, "InclureDatePremierCycle", o.firstCycleDate);
    p.writeInt(kExportSection, "RegrouperVoiesCycle", o.groupByCycle);
    p.writeInt(kExportSection, "InclureIntervalle", o.interval);
    p.writeInt(kExportSection, "InclureDate", o.date);
    p.writeInt(kExportSection, "InclureHeure", o.time);
}

ExplorerCommands::ExplorerCommands(CTavikDoc& doc, AppPrompter& prompter, Session& session,
                                   platform::Locale locale)
    : doc_(doc), prompter_(prompter), session_(session), locale_(std::move(locale)) {}

std::string ExplorerCommands::propertiesTitle(const records::CExplBloc& block) const {
    return strings::formatText(viewText(vtext::kBlockPropertiesTitle), block.name.c_str());
}

void ExplorerCommands::setProperties(records::CExplBloc& block, const std::string& name,
                                     const std::string& comment) {
    block.name = QString::fromStdString(name).left(qsizetype(kBlockNameMax)).toStdString();
    block.comment = comment;
    doc_.setModified();
}

bool ExplorerCommands::erase(const records::CExplBloc& block) {
    if (prompter_.message(viewMessage(vtext::kDeleteBlockAsk, {block.name}), Buttons::YesNoCancel,
                          Icon::Question) != Answer::Yes)
        return false;
    auto& blocks = doc_.blocks();
    std::erase_if(blocks, [&](const auto& b) { return b.get() == &block; });
    doc_.setModified();
    return true;
}

bool ExplorerCommands::copy(const records::CExplBloc& block, ClipboardPort& clipboard) {
    if (!clipboard.put(kClipboardFormat, encodeClipboardBlock(block))) {
        prompter_.message(viewText(vtext::kInvalidOperation), Buttons::Ok, Icon::Stop);
        return false;
    }
    return true;
}

bool ExplorerCommands::paste(records::CExplBloc& target, const ClipboardPort& clipboard,
                             records::IWaitDialog& wait, records::IRecordsPrompter* sortPrompter) {
    const std::optional<QByteArray> data = clipboard.get(kClipboardFormat);
    std::optional<ClipboardBlock> source;
    if (data)
        source = decodeClipboardBlock(*data);
    if (!source) {
        prompter_.message(viewText(vtext::kInvalidOperation), Buttons::Ok, Icon::Stop);
        return false;
    }
    const auto& records = source->block.records;
    if (records.empty()) {
        prompter_.message(viewText(vtext::kNothingToPaste), Buttons::Ok, Icon::Exclamation);
        return false;
    }
    // The same block: same process and address, and (in case the address was
    // used again since) the same name and records.
    if (source->process == static_cast<uint64_t>(::getpid()) &&
        source->source == reinterpret_cast<uintptr_t>(&target) &&
        source->block.name == target.name && records == target.records) {
        prompter_.message(viewText(vtext::kPasteOverItself), Buttons::Ok, Icon::Exclamation);
        return false;
    }
    wait.create(records::IDS_PASTING);
    wait.setRange(0, int64_t(records.size()));
    wait.setStep(1);
    target.records.reserve(target.records.size() + records.size());
    for (size_t i = 0; i < records.size(); ++i) {
        if (wait.IsCancelled())
            break;
        if (i % kPasteProgressEvery == 0)
            wait.setPos(int64_t(i));
        target.records.push_back(records[i]);
    }
    wait.destroy();
    target.SortRecords(&wait, sortPrompter);
    doc_.setModified();
    return true;
}

HRESULT ExplorerCommands::exportBlocks(const std::vector<const records::CExplBloc*>& blocks,
                                       ExportDialogs& dialogs, settings::SettingsStore& profile,
                                       records::IWaitDialog& wait,
                                       const std::filesystem::path& folder) {
    if (!session_.hasRight(kRightExport)) {
        prompter_.beep();
        return E_ABORT;
    }
    const std::string title = viewText(vtext::kExportTitle);
    const std::vector<std::string> filters = {viewText(vtext::kExportSpreadsheetFilter),
                                              viewText(vtext::kExportLineFilter)};
    std::filesystem::path proposed = folder / records::defaultExportFileName(doc_.title());
    std::optional<ExportFile> file;
    bool append = false;
    for (;;) {
        file = dialogs.chooseFile(title, filters, proposed);
        if (!file)
            return E_ABORT;
        proposed = file->path;
        append = false;
        std::error_code ec;
        if (!std::filesystem::exists(file->path, ec))
            break;
        const bool overwriting = session_.isOverwritingAllowed();
        const std::optional<int> choice = prompter_.threeChoices(
            title, viewMessage(vtext::kExportFileExists, {file->path.filename().string()}),
            {viewText(vtext::kExportAdd), overwriting ? viewText(vtext::kExportReplace) : "",
             viewText(vtext::kExportOtherFile)});
        if (choice == 0) {
            append = true;
            break;
        }
        if (choice == 1 && overwriting)
            break;
    }
    records::ExportResult result;
    if (file->kind == ExportKind::TextInLine) {
        result = records::exportTextInLine(blocks, file->path.string(), append, locale_, &wait);
    } else {
        records::SpreadsheetOptions options = readExportOptions(profile);
        if (!dialogs.editFormat(options))
            return E_ABORT;
        writeExportOptions(profile, options);
        result = records::exportSpreadsheet(blocks, file->path.string(), append, options, locale_,
                                            &wait);
    }
    if (failed(result.hr)) {
        prompter_.message(result.message, Buttons::Ok, Icon::Exclamation);
        return E_ABORT;
    }
    session_.audit(AuditEvent::EXPORT_DOC, {doc_.path().string(), file->path.string()});
    return S_OK;
}

// ---- printing -----------------------------------------------------------------------

PrintLayout printLayout(const std::vector<int>& columnChars, const PrintMetrics& m, size_t records,
                        bool footer) {
    PrintLayout l;
    int pos = 1;
    l.tabs.push_back(pos);
    for (int chars : columnChars)
        l.tabs.push_back(pos += chars);
    l.linesPerPage = m.lineHeight > 0 ? m.printableHeight / m.lineHeight : 0;
    l.recordsPerPage = std::max(1, l.linesPerPage - kPageHeadLines - (footer ? kFooterLines : 0));
    l.pages =
        std::max<int>(1, int((records + size_t(l.recordsPerPage) - 1) / size_t(l.recordsPerPage)));
    return l;
}

std::string printTitleLine(const std::string& documentTitle, const std::string& blockName, int page,
                           int pages) {
    return viewText(vtext::kPrintDocument) + " " + documentTitle + " - " +
           viewText(vtext::kPrintMemoryBlock) + " \"" + blockName + "\" - " + std::to_string(page) +
           "/" + std::to_string(pages);
}

}  // namespace qd40::app::views
