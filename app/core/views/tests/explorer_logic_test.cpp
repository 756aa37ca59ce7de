// The records explorer's logic: tree keys, command rules, the clipboard round
// trip across documents with its refusals, progress and re-sort, delete and
// properties, the export command's dialogs and settings, and the print layout.
#include <fstream>
#include <map>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include "app/core/views/explorer_logic.h"
#include "app/core/views/tests/views_test_support.h"
#include "app/records/records_strings.h"

namespace qd40::app::views {
namespace {

using testing::RecordingSession;
using testing::ScriptedPrompter;

struct MemoryClipboard : ClipboardPort {
    bool put(const std::string& format, const QByteArray& d) override {
        if (broken)
            return false;
        data.clear();
        data[format] = d;
        return true;
    }
    std::optional<QByteArray> get(const std::string& format) const override {
        auto it = data.find(format);
        return it == data.end() ? std::nullopt : std::optional(it->second);
    }
    std::map<std::string, QByteArray> data;
    bool broken = false;
};

// The titles shown, and the positions of the paste's progress.
struct RecordingWait : records::WaitDialogState {
    void create(int titleId) override {
        WaitDialogState::create(titleId);
        titles.push_back(titleId);
    }
    void setPos(int64_t pos) override {
        WaitDialogState::setPos(pos);
        if (titleId() == records::IDS_PASTING)
            positions.push_back(pos);
    }
    std::vector<int> titles;
    std::vector<int64_t> positions;
};

// A block of n measurement records one second apart from `firstSecond`.
std::unique_ptr<records::CExplBloc> timedBlock(const std::string& name, int n, int firstSecond,
                                               int step = 1) {
    auto b = std::make_unique<records::CExplBloc>();
    b->name = name;
    for (int i = 0; i < n; ++i) {
        records::_tExplRecord r;
        r.setFlags(0x4000 | 1);
        r.setDate(36526.0 + double(firstSecond + i * step) / 86400.0);
        b->records.push_back(r);
    }
    return b;
}

// Keeps the buttons of the three-choice dialog too.
struct ButtonsPrompter : ScriptedPrompter {
    std::optional<int> threeChoices(const std::string& title, const std::string& text,
                                    const std::array<std::string, 3>& b) override {
        buttons = b;
        return ScriptedPrompter::threeChoices(title, text, b);
    }
    std::array<std::string, 3> buttons;
};

class ExplorerLogic : public ::testing::Test {
protected:
    ExplorerLogic() : doc(testing::offlineControls()) {}
    CTavikDoc doc;
    ButtonsPrompter prompter;
    RecordingSession session;
    ExplorerCommands commands{doc, prompter, session, platform::Locale::posix()};
};

TEST(ExplorerTree, KeysAndMenuPlacement) {
    struct Row {
        TreeKey key;
        ExplorerNode node;
        bool children;
        TreeAction action;
    } rows[] = {
        {TreeKey::Enter, ExplorerNode::Root, true, TreeAction::Toggle},
        {TreeKey::Enter, ExplorerNode::Root, false, TreeAction::Toggle},
        {TreeKey::Enter, ExplorerNode::NewBlock, false, TreeAction::AddNewItem},
        {TreeKey::Enter, ExplorerNode::Block, false, TreeAction::Properties},
        {TreeKey::Delete, ExplorerNode::Root, true, TreeAction::Erase},
        {TreeKey::Delete, ExplorerNode::Block, false, TreeAction::Erase},
        {TreeKey::Other, ExplorerNode::Block, false, TreeAction::None},
    };
    for (const Row& r : rows)
        EXPECT_EQ(treeAction(r.key, r.node, r.children), r.action)
            << int(r.key) << " on " << int(r.node);
    EXPECT_EQ(nodeKind(101), ExplorerNode::Root);
    EXPECT_EQ(nodeKind(201), ExplorerNode::NewBlock);
    EXPECT_EQ(nodeKind(400), ExplorerNode::None);
    EXPECT_EQ(nodeKind(0x7f001000), ExplorerNode::Block);
    EXPECT_EQ(contextMenuPoint(false, {30, 40}, {10, 20, 50, 16}), QPoint(30, 40));
    EXPECT_EQ(contextMenuPoint(true, {30, 40}, {10, 20, 50, 16}), QPoint(15, 25));
}

TEST(ExplorerRules, CommandsFollowSelectionClipboardAndRights) {
    using C = ExplorerCommand;
    const uint32_t all = 0xFFFFFFFFu;
    struct Row {
        C command;
        ExplorerContext context;
        bool enabled;
    } rows[] = {
        {C::Properties, {all, true, false, true}, true},
        {C::Properties, {all, false, false, true}, false},
        {C::Erase, {all, true, false, true}, true},
        {C::Erase, {all & ~(1u << 14), true, false, true}, false},
        {C::Paste, {all, true, false, true}, false},
        {C::Paste, {all, true, true, true}, true},
        {C::Paste, {all, false, true, true}, false},
        {C::Cut, {all, true, true, true}, false},
        {C::ExportSelected, {all & ~(1u << 2), true, false, true}, false},
        {C::ExportSelected, {all, true, false, true}, true},
        {C::ExportAll, {all, false, false, true}, true},
        {C::ExportAll, {all, false, false, false}, false},
        {C::Print, {all & ~(1u << 3), true, false, true}, false},
        {C::PrintPreview, {all, true, false, true}, true},
    };
    for (const Row& r : rows)
        EXPECT_EQ(explorerCommandEnabled(r.command, r.context), r.enabled) << int(r.command);
}

TEST_F(ExplorerLogic, PasteCarriesRecordsByValueAcrossDocumentsAndReSorts) {
    MemoryClipboard clipboard;
    {
        CTavikDoc source(testing::offlineControls());
        source.blocks().push_back(timedBlock("SRC", 250, 0, 2));  // even seconds
        ASSERT_TRUE(commands.copy(*source.blocks().front(), clipboard));
    }                                                     // the source document is gone
    doc.blocks().push_back(timedBlock("DST", 10, 1, 2));  // odd seconds
    records::CExplBloc& target = *doc.blocks().front();
    RecordingWait wait;
    ASSERT_TRUE(commands.paste(target, clipboard, wait, nullptr));
    ASSERT_EQ(target.records.size(), 260u);
    EXPECT_EQ(wait.positions, (std::vector<int64_t>{0, 100, 200}));
    EXPECT_EQ(wait.titles, (std::vector<int>{records::IDS_PASTING, records::IDS_SORTING}));
    EXPECT_TRUE(std::is_sorted(target.records.begin(), target.records.end(), records::recordLess));
    EXPECT_LT(target.records[1].date(), target.records[2].date()) << "the two readings interleave";
    EXPECT_TRUE(doc.isModified());
    EXPECT_TRUE(prompter.shown.empty());
}

TEST_F(ExplorerLogic, PasteRefusals) {
    doc.blocks().push_back(timedBlock("A", 3, 0));
    doc.blocks().push_back(timedBlock("EMPTY", 0, 0));
    records::CExplBloc& a = *doc.blocks()[0];
    MemoryClipboard clipboard;
    RecordingWait wait;
    struct Row {
        std::function<void()> setUp;
        std::string message;
        Icon icon;
    } rows[] = {
        {[&] { clipboard.data.clear(); }, "Invalid operation", Icon::Stop},
        {[&] { clipboard.data[kClipboardFormat] = "not a block"; }, "Invalid operation",
         Icon::Stop},
        {[&] { commands.copy(*doc.blocks()[1], clipboard); }, "Nothing to paste",
         Icon::Exclamation},
        {[&] { commands.copy(a, clipboard); }, "Don't paste an objet over himself",
         Icon::Exclamation},
    };
    for (const Row& r : rows) {
        prompter.shown.clear();
        r.setUp();
        EXPECT_FALSE(commands.paste(a, clipboard, wait, nullptr)) << r.message;
        ASSERT_EQ(prompter.shown.size(), 1u) << r.message;
        EXPECT_EQ(prompter.shown[0].text, r.message);
        EXPECT_EQ(prompter.shown[0].icon, r.icon);
        EXPECT_EQ(a.records.size(), 3u);
    }
    prompter.shown.clear();
    clipboard.broken = true;
    EXPECT_FALSE(commands.copy(a, clipboard));
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].text, "Invalid operation");
}

TEST_F(ExplorerLogic, DeleteAsksAndPropertiesCutTheName) {
    doc.blocks().push_back(timedBlock("OVEN_01_1", 3, 0));
    records::CExplBloc& b = *doc.blocks().front();
    EXPECT_EQ(commands.propertiesTitle(b), "Block \"OVEN_01_1\" Properties");
    commands.setProperties(b, std::string(100, 'x'), "line 1\nline 2");
    EXPECT_EQ(b.name, std::string(80, 'x'));
    EXPECT_EQ(b.comment, "line 1\nline 2");
    EXPECT_TRUE(doc.isModified());

    prompter.answers = {Answer::No, Answer::Yes};
    EXPECT_FALSE(commands.erase(b));
    ASSERT_EQ(doc.blocks().size(), 1u);
    EXPECT_TRUE(commands.erase(b));
    EXPECT_TRUE(doc.blocks().empty());
    ASSERT_EQ(prompter.shown.size(), 2u);
    EXPECT_EQ(prompter.shown[0].text,
              "Do you want to delete memory block \"" + std::string(80, 'x') + "\" ?");
    EXPECT_EQ(prompter.shown[0].buttons, Buttons::YesNoCancel);
}

struct ScriptedExportDialogs : ExportDialogs {
    std::optional<ExportFile> chooseFile(const std::string& title,
                                         const std::vector<std::string>& filters,
                                         const std::filesystem::path& proposed) override {
        this->title = title;
        this->filters = filters;
        proposals.push_back(proposed);
        if (files.empty())
            return std::nullopt;
        ExportFile f = files.front();
        files.pop_front();
        return f;
    }
    bool editFormat(records::SpreadsheetOptions& o) override {
        shownOptions = o;
        if (!formatOk)
            return false;
        o.separator = ';';
        o.date = true;
        return true;
    }
    std::string title;
    std::vector<std::string> filters;
    std::vector<std::filesystem::path> proposals;
    std::deque<ExportFile> files;
    bool formatOk = true;
    std::optional<records::SpreadsheetOptions> shownOptions;
};

std::string fileText(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST_F(ExplorerLogic, ExportAsksForAnExistingFileAndKeepsTheFormatOptions) {
    const auto folder = app::testing::testFolder("explorer-export");
    settings::UserProfileStore profile{platform::RegistryStore(folder / "registry")};
    doc.blocks().push_back(timedBlock("B", 3, 0));
    const std::vector<const records::CExplBloc*> blocks{doc.blocks().front().get()};
    RecordingWait wait;
    ScriptedExportDialogs dialogs;

    // Cancel in the file dialog: nothing written, no event.
    EXPECT_EQ(commands.exportBlocks(blocks, dialogs, profile, wait, folder), E_ABORT);
    EXPECT_EQ(dialogs.title, "Export to the file");
    EXPECT_EQ(dialogs.filters,
              (std::vector<std::string>{"Spreadsheet Text (*.txt)", "Text in line (*.txt)"}));
    EXPECT_EQ(dialogs.proposals.back(), folder / "Tavik-1.txt");
    EXPECT_TRUE(session.events.empty());

    // A new file in line form.
    const auto path = folder / "out.txt";
    dialogs.files = {{path, ExportKind::TextInLine}};
    ASSERT_EQ(commands.exportBlocks(blocks, dialogs, profile, wait, folder), S_OK);
    const std::string once = fileText(path);
    EXPECT_EQ(std::count(once.begin(), once.end(), '\n'), 3);
    ASSERT_EQ(session.events.size(), 1u);
    EXPECT_EQ(session.events[0].first, security::AuditEvent::EXPORT_DOC);
    EXPECT_EQ(session.events[0].second.back(), path.string());

    // The file exists: without the overwriting setting, no replace button;
    // "another file" asks again, then "add" appends.
    session.overwriting = false;
    dialogs.files = {{path, ExportKind::TextInLine}};
    prompter.choice = 2;
    EXPECT_EQ(commands.exportBlocks(blocks, dialogs, profile, wait, folder), E_ABORT)
        << "another file, then Cancel";
    ASSERT_FALSE(prompter.shown.empty());
    EXPECT_EQ(prompter.shown.back().text, "Export to the file|File \"out.txt\" already exists.");
    EXPECT_EQ(dialogs.proposals.back(), path) << "the file dialog again, on the same name";
    EXPECT_EQ(prompter.buttons[1], "") << "no replace without the overwriting setting";
    prompter.choice = 0;
    dialogs.files = {{path, ExportKind::TextInLine}};
    ASSERT_EQ(commands.exportBlocks(blocks, dialogs, profile, wait, folder), S_OK);
    EXPECT_EQ(fileText(path), once + once);

    // Spreadsheet: the format dialog shows the stored options (defaults
    // first) and its choices are written back.
    dialogs.files = {{folder / "sheet.txt", ExportKind::Spreadsheet}};
    ASSERT_EQ(commands.exportBlocks(blocks, dialogs, profile, wait, folder), S_OK);
    ASSERT_TRUE(dialogs.shownOptions);
    EXPECT_EQ(dialogs.shownOptions->separator, '\t');
    EXPECT_TRUE(dialogs.shownOptions->interval);
    EXPECT_EQ(profile.readInt(kExportSection, "SeparateurColonnes", 0), ';');
    EXPECT_EQ(profile.readInt(kExportSection, "InclureDate", 0), 1);
    EXPECT_EQ(readExportOptions(profile).separator, ';');

    // A cancelled format dialog writes nothing and records nothing.
    const size_t events = session.events.size();
    dialogs.formatOk = false;
    dialogs.files = {{folder / "none.txt", ExportKind::Spreadsheet}};
    EXPECT_EQ(commands.exportBlocks(blocks, dialogs, profile, wait, folder), E_ABORT);
    EXPECT_FALSE(std::filesystem::exists(folder / "none.txt"));
    EXPECT_EQ(session.events.size(), events);

    // Without the right to export: refused before any dialog.
    session.rights &= ~(1u << 2);
    dialogs.proposals.clear();
    EXPECT_EQ(commands.exportBlocks(blocks, dialogs, profile, wait, folder), E_ABORT);
    EXPECT_TRUE(dialogs.proposals.empty());
    std::filesystem::remove_all(folder);
}

TEST(ExplorerPrint, PagesAndTitleLine) {
    const std::vector<int> chars{8, 25, 18, 18, 10, 7, 7, 8};
    // 60 lines a page: 56 records, 54 with the footer.
    const PrintMetrics m{10, 20, 1200, 1200};
    struct Row {
        size_t records;
        bool footer;
        int perPage;
        int pages;
    } rows[] = {{0, false, 56, 1}, {56, false, 56, 1}, {57, false, 56, 2}, {3000, true, 54, 56}};
    for (const Row& r : rows) {
        const PrintLayout l = printLayout(chars, m, r.records, r.footer);
        EXPECT_EQ(l.linesPerPage, 60);
        EXPECT_EQ(l.recordsPerPage, r.perPage) << r.records;
        EXPECT_EQ(l.pages, r.pages) << r.records;
    }
    EXPECT_EQ(printLayout(chars, m, 1, false).tabs,
              (std::vector<int>{1, 9, 34, 52, 70, 80, 87, 94, 102}));
    EXPECT_EQ(printTitleLine("My data.dqx", "OVEN_01_1", 2, 7),
              "Document My data.dqx - Memory Block \"OVEN_01_1\" - 2/7");
}

}  // namespace
}  // namespace qd40::app::views
