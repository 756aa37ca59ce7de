// The records widgets offscreen: the progress dialog's wiring to its state
// and its owner.
#include <gtest/gtest.h>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <fstream>
#include <regex>

#include <QPrinter>
#include <QSignalSpy>
#include <QTreeWidget>

#include "app/core/tests/doc_test_support.h"
#include "app/records/records_strings.h"
#include "app/ui/explorer_dialogs.h"
#include "app/ui/explorer_window.h"
#include "app/ui/records_print.h"
#include "app/ui/tests/qt_app_fixture.h"
#include "app/ui/wait_dialog.h"

namespace qd40::ui {
namespace {

class RecordsWidgets : public testing::WithQApplication {};

TEST_F(RecordsWidgets, WaitDialogMirrorsItsStateAndDisablesItsOwner) {
    QWidget owner;
    owner.show();
    CWaitDialog wait(&owner);
    wait.create(records::IDS_EXPORTING);
    ASSERT_NE(wait.widget(), nullptr);
    EXPECT_TRUE(wait.widget()->isVisible());
    EXPECT_EQ(wait.widget()->windowTitle().toStdString(), "Exporting records in progress");
    EXPECT_FALSE(owner.isEnabled());
    EXPECT_TRUE(wait.widget()->isEnabled()) << "the dialog itself stays usable";

    wait.setRange(0, 400);
    wait.setStep(100);
    wait.step();
    wait.setMessage("100 exported records of 400");
    EXPECT_EQ(wait.bar()->value() * 400 / wait.bar()->maximum(), 100);
    EXPECT_EQ(wait.percentLabel()->text().toStdString(), "25%");
    EXPECT_EQ(wait.messageLabel()->text().toStdString(), "100 exported records of 400");
    const int changes = wait.percentChanges();
    wait.setPos(101);  // still 25%
    EXPECT_EQ(wait.percentChanges(), changes);

    EXPECT_FALSE(wait.IsCancelled());
    QTest::mouseClick(wait.cancelButton(), Qt::LeftButton);
    EXPECT_TRUE(wait.IsCancelled());
    EXPECT_FALSE(wait.IsCancelled()) << "reading the flag clears it";

    wait.destroy();
    EXPECT_EQ(wait.widget(), nullptr);
    EXPECT_TRUE(owner.isEnabled());
}

TEST_F(RecordsWidgets, AnInnerOperationsDialogGivesTheOuterOneBack) {
    QWidget owner;
    owner.show();
    CWaitDialog wait(&owner);
    wait.create(records::IDS_READING_MEMORY);
    wait.setRange(0, 600);
    wait.setStep(1);
    wait.setPos(300);
    wait.setMessage("Reading block 1 ...");
    wait.create(records::IDS_SORTING);  // a re-sort while reading
    wait.setRange(0, 10);
    EXPECT_EQ(wait.widget()->windowTitle().toStdString(), "Sorting in progress...");
    wait.destroy();
    ASSERT_NE(wait.widget(), nullptr) << "the reading goes on";
    EXPECT_EQ(wait.widget()->windowTitle().toStdString(), "Reading storage memory in progress");
    EXPECT_EQ(wait.percentLabel()->text().toStdString(), "50%");
    EXPECT_EQ(wait.messageLabel()->text().toStdString(), "Reading block 1 ...");
    EXPECT_FALSE(owner.isEnabled());
    wait.step();
    EXPECT_EQ(wait.pos(), 301);
    wait.destroy();
    EXPECT_EQ(wait.widget(), nullptr);
    EXPECT_TRUE(owner.isEnabled());
}

TEST_F(RecordsWidgets, WaitDialogOverAHugeRange) {
    CWaitDialog wait(nullptr);
    wait.create(records::IDS_SORTING);
    wait.setRange(0, int64_t(1) << 40);
    wait.setPos(int64_t(1) << 39);
    EXPECT_EQ(wait.percentLabel()->text().toStdString(), "50%");
    EXPECT_NEAR(double(wait.bar()->value()) / wait.bar()->maximum(), 0.5, 0.01);
}

// A document with one block of n measurement records.
std::unique_ptr<app::CTavikDoc> documentWithBlock(size_t n) {
    auto doc = std::make_unique<app::CTavikDoc>(app::testing::controlFactory({}, {}));
    auto block = std::make_unique<records::CExplBloc>();
    block->name = "OVEN_01_1";
    for (size_t i = 0; i < n; ++i) {
        records::_tExplRecord r;
        r.setFlags(0x4000 | 3);
        r.setDate(36526.0 + double(i) / 86400.0);
        block->records.push_back(r);
    }
    doc->blocks().push_back(std::move(block));
    return doc;
}

TEST_F(RecordsWidgets, PrintedBlockToPdfHasItsPagesAndTitleLines) {
    const auto folder = app::testing::testFolder("print");
    auto doc = documentWithBlock(500);
    RecordsPrintJob job;
    job.documentTitle = "demo.dqx";
    job.block = doc->blocks().front().get();
    job.columnChars = {8, 25, 18, 18, 10, 7, 7, 8};
    for (const bool footer : {false, true}) {
        if (footer)
            job.footer = "Tavik B.10 - 2026-03-07 10:00:00 - Printed by ???";
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setPageSize(QPageSize(QPageSize::A4));
        const auto pdf = folder / (footer ? "footer.pdf" : "plain.pdf");
        printer.setOutputFileName(QString::fromStdString(pdf.string()));
        const std::vector<std::string> titles = printRecords(printer, job);

        // The pages the layout asks for, each with its title, and that many in the file.
        ASSERT_GE(titles.size(), 2u);
        const int pages = int(titles.size());
        for (int p = 1; p <= pages; ++p)
            EXPECT_EQ(titles[size_t(p - 1)], "Document demo.dqx - Memory Block \"OVEN_01_1\" - " +
                                                 std::to_string(p) + "/" + std::to_string(pages));
        std::ifstream in(pdf, std::ios::binary);
        const std::string bytes(std::istreambuf_iterator<char>(in), {});
        const std::regex page("/Type\\s*/Page[^s]");
        EXPECT_EQ(std::distance(std::sregex_iterator(bytes.begin(), bytes.end(), page),
                                std::sregex_iterator()),
                  pages);
        const int perPage = (500 + pages - 1) / pages;
        EXPECT_GT(500, (pages - 1) * perPage) << "no empty page";
        static int plainPages = 0;
        if (!footer)
            plainPages = pages;
        else
            EXPECT_GE(pages, plainPages) << "the footer takes lines from every page";
    }
    std::filesystem::remove_all(folder);
}

TEST_F(RecordsWidgets, ExplorerKeysBecomeActions) {
    app::testing::ScriptedPrompter prompter;
    app::testing::RecordingSession session;
    DocumentHandle handle(documentWithBlock(3), prompter, session);
    ExplorerWindow explorer(handle, platform::Locale::posix());
    explorer.show();
    QSignalSpy actions(&explorer, &ExplorerWindow::actionRequested);
    QTreeWidget* tree = explorer.tree();
    QTreeWidgetItem* root = tree->topLevelItem(0);
    ASSERT_EQ(root->childCount(), 2) << "the block and New Block";
    ASSERT_EQ(explorer.selectedBlock(), handle.doc().blocks().front().get());
    EXPECT_EQ(explorer.recordsTable()->model()->rowCount(), 3);

    QTest::keyClick(tree, Qt::Key_Return);
    QTest::keyClick(tree, Qt::Key_Delete);
    tree->setCurrentItem(root->child(1));
    QTest::keyClick(tree, Qt::Key_Return);
    ASSERT_EQ(actions.count(), 3);
    EXPECT_EQ(actions[0][0].value<app::views::TreeAction>(), app::views::TreeAction::Properties);
    EXPECT_EQ(actions[1][0].value<app::views::TreeAction>(), app::views::TreeAction::Erase);
    EXPECT_EQ(actions[2][0].value<app::views::TreeAction>(), app::views::TreeAction::AddNewItem);
    EXPECT_EQ(explorer.recordsTable()->model()->rowCount(), 0) << "New Block shows no records";

    // Enter on the root folds and unfolds it.
    tree->setCurrentItem(root);
    QTest::keyClick(tree, Qt::Key_Return);
    EXPECT_FALSE(root->isExpanded());
    QTest::keyClick(tree, Qt::Key_Return);
    EXPECT_TRUE(root->isExpanded());

    // A renamed block keeps its selection through the refresh.
    tree->setCurrentItem(root->child(0));
    handle.doc().blocks().front()->name = "RENAMED";
    handle.doc().setModified();
    EXPECT_EQ(tree->currentItem()->text(0).toStdString(), "RENAMED");
    EXPECT_TRUE(explorer.selectBlockNamed("RENAMED"));
    EXPECT_FALSE(explorer.selectBlockNamed("NONE"));
}

TEST_F(RecordsWidgets, TheSystemClipboardCarriesABlockBetweenDocuments) {
    app::testing::ScriptedPrompter prompter;
    app::testing::RecordingSession session;
    QtClipboard clipboard;
    {
        auto source = documentWithBlock(250);
        app::views::ExplorerCommands commands(*source, prompter, session,
                                              platform::Locale::posix());
        ASSERT_TRUE(commands.copy(*source->blocks().front(), clipboard));
    }  // the source document is gone
    auto target = documentWithBlock(2);
    app::views::ExplorerCommands commands(*target, prompter, session, platform::Locale::posix());
    CWaitDialog wait(nullptr);
    ASSERT_TRUE(commands.paste(*target->blocks().front(), clipboard, wait, nullptr));
    EXPECT_EQ(target->blocks().front()->records.size(), 252u);
    EXPECT_TRUE(prompter.shown.empty());
    EXPECT_EQ(wait.widget(), nullptr) << "the progress dialog is gone";
}

TEST_F(RecordsWidgets, FormatDialogKeepsAnEmptyOtherSeparatorOpen) {
    records::SpreadsheetOptions o;
    o.separator = '|';
    CFormatExpExplDialog dialog(o);
    EXPECT_TRUE(dialog.otherButton()->isChecked());
    EXPECT_EQ(dialog.otherEdit()->text().toStdString(), "|");
    dialog.otherEdit()->clear();
    dialog.show();
    dialog.accept();
    EXPECT_TRUE(dialog.isVisible()) << "an empty separator is refused";
    dialog.otherEdit()->setText("#");
    dialog.accept();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.options().separator, '#');
}

}  // namespace
}  // namespace qd40::ui
