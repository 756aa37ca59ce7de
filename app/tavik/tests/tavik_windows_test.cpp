// The main window on a demonstration document, offscreen: the wiring of the
// windows that opening a document creates, of the module selection to the
// channel list and the commands, and of the modified mark. Waits are bounded.
#include <bit>
#include <unistd.h>

#include <gtest/gtest.h>
#include <QApplication>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QSignalSpy>
#include <QTest>

#include "app/core/opc/opc_toolkit.h"
#include "app/core/tavik_app.h"
#include "app/core/tests/doc_test_support.h"
#include "app/ui/graph/graph_view.h"
#include "app/ui/main_frame.h"
#include "app/ui/tests/qt_app_fixture.h"

namespace qd40::tavik {
namespace {

constexpr int kWaitMs = 5000;

std::filesystem::path testFolder() {
    auto p = std::filesystem::temp_directory_path() /
             ("qd40-tavik-windows-" + std::to_string(::getpid()));
    std::filesystem::remove_all(p);
    std::filesystem::create_directories(p);
    return p;
}

class TavikWindows : public ui::testing::WithQApplication {
protected:
    TavikWindows() : folder_(testFolder()) {
        factory_ = [registry = folder_ / "registry"](ctl::CtlContainer* c) {
            return std::make_unique<ctl::OvixQd40Ctl>(ctl::Qd40Factory{}, c,
                                                      platform::RegistryStore(registry));
        };
        app::AppConfig config;
        config.registry = platform::RegistryStore(folder_ / "registry");
        config.productVersion = "B.10";
        config.programPath = folder_ / "tavik";
        config.documentsFolder = folder_;
        config.auditFolder = folder_ / "audit";
        config.hashCost = security::HashCost::minimum();
        app_ = std::make_unique<app::CTavikApp>(config, prompter_, opc_, clock_);
        ui::FrameConfig frameConfig;
        frameConfig.controlFactory = factory_;
        frame_ = std::make_unique<ui::MainFrame>(*app_, prompter_, frameConfig);
    }
    ~TavikWindows() override {
        frame_.reset();
        app_.reset();
        std::filesystem::remove_all(folder_);
    }

    // A document on a network module with one record block of `records` records.
    std::filesystem::path demonstrationDocument(size_t records) {
        app::CTavikDoc doc(factory_);
        app::CTavikItem& item = doc.newItem();
        item.control().put_Serial(0);
        item.control().put_IpAddr("127.0.0.1");
        item.control().put_Port(1502);
        doc.numberItem(item);
        auto block = std::make_unique<records::CExplBloc>();
        block->name = "DEMO_01_1";
        block->records.resize(records);
        doc.blocks().push_back(std::move(block));
        const auto path = folder_ / "demo.dqx";
        EXPECT_TRUE(doc.save(path)) << path;
        return path;
    }

    std::filesystem::path folder_;
    app::CTavikDoc::ControlFactory factory_;
    app::testing::ScriptedPrompter prompter_;
    app::opc::NullOpcToolkit opc_{platform::RegistryStore(folder_ / "registry")};
    security::SystemClock clock_;
    std::unique_ptr<app::CTavikApp> app_;
    std::unique_ptr<ui::MainFrame> frame_;
};

TEST_F(TavikWindows, OpeningADocumentTilesItsProgramWindowAboveItsExplorer) {
    const auto path = demonstrationDocument(1000);
    ASSERT_TRUE(app_->start({path.string()}, *frame_));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame_.get(), kWaitMs));

    QMdiArea* mdi = frame_->mdiArea();
    const auto windows = mdi->subWindowList();
    ASSERT_EQ(windows.size(), 2);
    auto* program = qobject_cast<ui::ProgramWindow*>(mdi->activeSubWindow()->widget());
    ASSERT_NE(program, nullptr) << "the program window is active";
    QMdiSubWindow* programSub = mdi->activeSubWindow();
    QMdiSubWindow* explorerSub = windows[0] == programSub ? windows[1] : windows[0];
    auto* explorer = qobject_cast<ui::ExplorerWindow*>(explorerSub->widget());
    ASSERT_NE(explorer, nullptr);

    // Tiled one above the other over the whole area, once the frame has its size.
    const auto tiled = [&] {
        const QRect area = mdi->viewport()->rect();
        const QRect p = programSub->geometry(), e = explorerSub->geometry();
        return p.top() == area.top() && p.width() == area.width() && e.width() == area.width() &&
               e.top() == p.bottom() + 1 && e.bottom() == area.bottom();
    };
    EXPECT_TRUE(QTest::qWaitFor(tiled, kWaitMs));

    // The module is selected and its channels listed; the block's records are shown.
    EXPECT_EQ(program->selection(), app::views::Selection::Module);
    EXPECT_EQ(program->channelTable()->model()->rowCount(), 30);
    EXPECT_EQ(explorer->recordsTable()->model()->rowCount(), 1000);
    EXPECT_EQ(explorer->tree()->topLevelItem(0)->childCount(), 2) << "the block and New Block";
}

TEST_F(TavikWindows, CommandsFollowTheSelectionAndTheTitleMarksChanges) {
    const auto path = demonstrationDocument(3);
    ASSERT_TRUE(frame_->openDocument(path));
    auto* program = qobject_cast<ui::ProgramWindow*>(frame_->activeWindow());
    ASSERT_NE(program, nullptr);
    using app::views::Command;
    frame_->updateCommands();
    EXPECT_TRUE(frame_->action(Command::AddModule)->isEnabled());
    EXPECT_TRUE(frame_->action(Command::CommProperties)->isEnabled());
    EXPECT_FALSE(frame_->action(Command::Transmit)->isEnabled()) << "the module is not open";
    EXPECT_FALSE(frame_->action(Command::FileSave)->isEnabled()) << "nothing changed yet";

    // Selecting the "Workstation" node leaves no module to act on.
    QSignalSpy selection(program, &ui::ProgramWindow::selectionChanged);
    program->tree()->setCurrentItem(program->tree()->topLevelItem(0));
    ASSERT_TRUE(selection.count() > 0 || selection.wait(kWaitMs));
    EXPECT_FALSE(frame_->action(Command::CommProperties)->isEnabled());
    EXPECT_EQ(program->channelTable()->model()->rowCount(), 0);

    QSignalSpy title(program, &QWidget::windowTitleChanged);
    program->document().doc().items().front()->setMnemonic("OVEN");
    ASSERT_TRUE(title.count() > 0 || title.wait(kWaitMs));
    EXPECT_EQ(program->windowTitle(), "demo.dqx:1*");
    EXPECT_TRUE(frame_->action(Command::FileSave)->isEnabled());

    // The explorer's selected block opens a graph window.
    EXPECT_FALSE(frame_->action(Command::GraphView)->isEnabled());
    QMdiArea* mdi = frame_->mdiArea();
    for (QMdiSubWindow* w : mdi->subWindowList()) {
        if (qobject_cast<ui::ExplorerWindow*>(w->widget()))
            mdi->setActiveSubWindow(w);
    }
    ASSERT_TRUE(frame_->action(Command::GraphView)->isEnabled());
    frame_->action(Command::GraphView)->trigger();
    auto* graph = qobject_cast<ui::GraphWindow*>(frame_->activeWindow());
    ASSERT_NE(graph, nullptr);
    const records::CExplBloc& block = *program->document().doc().blocks().front();
    EXPECT_EQ(graph->blockName().toStdString(), block.name);
    EXPECT_EQ(graph->view().model().curves().size(),
              size_t(std::popcount(block.storedChannelMask())))
        << "one curve per stored channel";
}

TEST_F(TavikWindows, RenamingAModuleInTheTreeSetsItsMnemonic) {
    ASSERT_TRUE(frame_->openDocument(demonstrationDocument(3)));
    auto* program = qobject_cast<ui::ProgramWindow*>(frame_->activeWindow());
    ASSERT_NE(program, nullptr);
    app::CTavikItem* item = program->selectedItem();
    ASSERT_NE(item, nullptr);

    program->startRename();
    QLineEdit* editor = nullptr;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return (editor = program->tree()->viewport()->findChild<QLineEdit*>()); }, kWaitMs));
    EXPECT_EQ(editor->text().toStdString(), item->shortDisplayName());
    editor->setText("A NAME LONGER THAN SIXTEEN");
    QTest::keyClick(editor, Qt::Key_Return);

    EXPECT_TRUE(QTest::qWaitFor([&] { return item->mnemonic() == "A NAME LONGER TH"; }, kWaitMs));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return program->tree()->currentItem() &&
                   program->tree()->currentItem()->text(0).endsWith("\"A NAME LONGER TH\"");
        },
        kWaitMs));
    EXPECT_TRUE(program->document().doc().isModified());
}

TEST_F(TavikWindows, TheLastWindowOfAModifiedDocumentAsksBeforeClosing) {
    ASSERT_TRUE(frame_->openDocument(demonstrationDocument(3)));
    QMdiArea* mdi = frame_->mdiArea();
    auto* program = qobject_cast<ui::ProgramWindow*>(frame_->activeWindow());
    ASSERT_NE(program, nullptr);
    program->document().doc().setModified();

    // Another window of the document stays: no question.
    ASSERT_TRUE(mdi->activeSubWindow()->close());
    EXPECT_TRUE(prompter_.shown.empty());
    ASSERT_TRUE(QTest::qWaitFor([&] { return mdi->subWindowList().size() == 1; }, kWaitMs));

    // The last one asks; Cancel keeps it, No lets it go without saving.
    QMdiSubWindow* last = mdi->subWindowList().front();
    EXPECT_TRUE(QTest::qWaitFor([&] { return last->windowTitle() == "demo.dqx*"; }, kWaitMs))
        << "the one window left has no number";
    prompter_.answers = {app::Answer::Cancel};
    EXPECT_FALSE(last->close());
    ASSERT_EQ(prompter_.shown.size(), 1u);
    EXPECT_EQ(prompter_.shown[0].text, "Save changes to demo.dqx?");
    prompter_.answers = {app::Answer::No};
    EXPECT_TRUE(last->close());
    EXPECT_TRUE(QTest::qWaitFor([&] { return mdi->subWindowList().empty(); }, kWaitMs));
    EXPECT_FALSE(frame_->action(app::views::Command::FileClose)->isEnabled());
}

TEST_F(TavikWindows, DeletingAModuleAsksWithItsNodeText) {
    ASSERT_TRUE(frame_->openDocument(demonstrationDocument(3)));
    auto* program = qobject_cast<ui::ProgramWindow*>(frame_->activeWindow());
    ASSERT_NE(program, nullptr);
    frame_->updateCommands();
    prompter_.answers = {app::Answer::Yes};
    frame_->action(app::views::Command::DeleteModule)->trigger();
    ASSERT_EQ(prompter_.shown.size(), 1u);
    EXPECT_EQ(prompter_.shown[0].text, "Do you want to delete module \"QD40@127.0.0.1#1\" ?");
    EXPECT_TRUE(program->document().doc().items().empty());
    EXPECT_EQ(program->selectedItem(), nullptr);
    EXPECT_EQ(program->channelTable()->model()->rowCount(), 0);
}

}  // namespace
}  // namespace qd40::tavik
