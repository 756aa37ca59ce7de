// The programming windows offscreen: each sheet and page in English and
// French, the program window's commands by rights, programming through
// the window, and a module's program printed to PDF.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <regex>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPrinter>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextDocument>

#include "app/core/app_strings.h"
#include "app/core/tests/doc_test_support.h"
#include "app/core/tests/simulated_module.h"
#include "app/ui/program_sheets.h"
#include "app/ui/program_window.h"
#include "app/ui/tests/qt_app_fixture.h"

namespace qd40::ui {
namespace {

using app::program::ProgCommand;
using app::program::ProgramSheet;

class ProgramWindowTest : public testing::WithQApplication {
protected:
    void SetUp() override {
        setenv("LC_ALL", "C", 1);
        folder = app::testing::testFolder("program-ui");
        auto doc =
            std::make_unique<app::CTavikDoc>(app::testing::controlFactory({}, folder / "registry"));
        handle = std::make_unique<DocumentHandle>(std::move(doc), prompter, session);
        prompter.commParams.push_back(ctl::CtlConnection{false, "10.0.0.9", 502, true, 9600, 2, 0});
        item = handle->ops().addModule(nullptr);
        ASSERT_NE(item, nullptr);
        handle->doc().setModified(false);
    }
    void TearDown() override { setenv("LC_ALL", "C", 1); }

    std::filesystem::path folder;
    app::testing::ScriptedPrompter prompter;
    app::testing::RecordingSession session;
    std::unique_ptr<DocumentHandle> handle;
    app::CTavikItem* item = nullptr;
};

TEST_F(ProgramWindowTest, EverySheetAndPageOpensInBothLanguages) {
    for (const char* language : {"C", "fr_FR.UTF-8"}) {
        setenv("LC_ALL", language, 1);
        const bool french = language[0] == 'f';
        for (const auto kind : {ProgramSheet::Kind::Full, ProgramSheet::Kind::Easy}) {
            ProgramSheet sheet(kind, *item);
            ASSERT_TRUE(sheet.open());
            auto frame = makeProgramSheet(sheet, nullptr);
            const int pages = kind == ProgramSheet::Kind::Full ? 5 : 3;
            ASSERT_EQ(frame->tabs()->count(), pages);
            EXPECT_EQ(frame->windowTitle().toStdString(), sheet.title());
            for (int i = 0; i < pages; ++i) {
                frame->tabs()->setCurrentIndex(i);
                frame->show();
                QApplication::processEvents();
                EXPECT_FALSE(frame->grab().toImage().isNull());
            }
            bool mnemonic = false;
            for (QLabel* l : frame->findChildren<QLabel*>())
                mnemonic = mnemonic || l->text() == (french ? "&Mnémonique :" : "&Mnemonic:");
            EXPECT_TRUE(mnemonic) << language;
            frame->hide();
        }
    }
}

TEST_F(ProgramWindowTest, CommandsFollowTheRightsAndProgrammingMarksTheDocument) {
    ProgramWindow window(*handle, prompter);
    window.setEasyProgramming([] { return false; });
    window.selectItem(item);
    ASSERT_EQ(window.selection(), app::views::Selection::Module);
    EXPECT_TRUE(window.action(ProgCommand::ModuleConfiguration)->isEnabled());
    EXPECT_FALSE(window.action(ProgCommand::Transmit)->isEnabled()) << "not connected";
    EXPECT_FALSE(window.action(ProgCommand::EmailCounter)->isEnabled());
    EXPECT_FALSE(window.action(ProgCommand::Paste)->isEnabled());

    bool full = false;
    window.setSheetRunner([&](ProgramSheet& sheet) {
        full = sheet.kind() == ProgramSheet::Kind::Full;
        sheet.glob.setTrigReverse(true);
        return true;
    });
    window.action(ProgCommand::ModuleConfiguration)->trigger();
    EXPECT_TRUE(full);
    EXPECT_TRUE(handle->doc().isModified());
    cfg::VariantBlob v;
    item->control().get_Cfg(&v);
    EXPECT_TRUE(cfg::ConstFullCfgView(v.data).trigReverse());

    session.rights = ~(1u << app::right::kProgram);
    window.updateCommands();
    EXPECT_FALSE(window.action(ProgCommand::ModuleConfiguration)->isEnabled());
    EXPECT_FALSE(window.action(ProgCommand::Delete)->isEnabled());
}

// The e-mail counter and the communication interfaces open dialogs that the
// application gives the window; without them the buttons stay disabled.
TEST_F(ProgramWindowTest, ItemCommandsRunOnTheConnectedModuleWithTheirRight) {
    app::testing::SimulatedModule module;
    ASSERT_TRUE(module.start({}));
    DocumentHandle simDoc(std::make_unique<app::CTavikDoc>(module.controls()), prompter, session);
    prompter.commParams.push_back(ctl::CtlConnection{
        false, "127.0.0.1", static_cast<int16_t>(module.sim->tcpPort()), true, 9600, 1, 0});
    app::CTavikItem* simItem = simDoc.ops().addModule(nullptr);
    ASSERT_NE(simItem, nullptr);
    ASSERT_EQ(simDoc.ops().openCommunications(), S_OK);

    ProgramWindow window(simDoc, prompter);
    window.selectItem(simItem);
    for (const ProgCommand command : {ProgCommand::EmailCounter, ProgCommand::CommInterfaces})
        EXPECT_FALSE(window.action(command)->isEnabled()) << "no dialog given";
    std::vector<std::pair<ProgCommand, app::CTavikItem*>> ran;
    for (const ProgCommand command : {ProgCommand::EmailCounter, ProgCommand::CommInterfaces})
        window.setItemCommand(command, [&ran, command](ProgramWindow&, app::CTavikItem& it) {
            ran.emplace_back(command, &it);
        });
    window.action(ProgCommand::EmailCounter)->trigger();
    window.action(ProgCommand::CommInterfaces)->trigger();
    EXPECT_EQ(ran,
              (std::vector<std::pair<ProgCommand, app::CTavikItem*>>{
                  {ProgCommand::EmailCounter, simItem}, {ProgCommand::CommInterfaces, simItem}}));

    // Each refused without its right.
    session.rights = ~(1u << app::right::kTransmit);
    window.updateCommands();
    EXPECT_FALSE(window.action(ProgCommand::EmailCounter)->isEnabled());
    EXPECT_TRUE(window.action(ProgCommand::CommInterfaces)->isEnabled());
    session.rights = ~(1u << app::right::kReadProgram);
    window.updateCommands();
    EXPECT_FALSE(window.action(ProgCommand::CommInterfaces)->isEnabled());
    window.run(ProgCommand::CommInterfaces);
    EXPECT_EQ(ran.size(), 2u) << "refused";
}

TEST_F(ProgramWindowTest, PrintWithoutAModuleAsksToSelectOne) {
    ProgramWindow window(*handle, prompter);
    window.selectItem(nullptr);
    window.tree()->setCurrentItem(nullptr);
    window.run(ProgCommand::Print);
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].text, app::appText(app::text::kSelectModule));
    EXPECT_EQ(prompter.shown[0].icon, app::Icon::Information);
}

TEST_F(ProgramWindowTest, ProgramPrintedToPdf) {
    cfg::VariantBlob v;
    item->control().get_Cfg(&v);
    for (int n = 1; n <= cfg::kChannels; ++n)
        cfg::FullCfgView(v.data).channel(n).setFunction(cfg::kFctTc);
    ASSERT_EQ(item->control().put_Cfg(v), S_OK);
    const auto report = app::program::programReport(*item, "Tavik", "B.10", "bob");
    ASSERT_TRUE(report);
    EXPECT_EQ(programDocument(*report)->firstBlock().text().toStdString(),
              "Tavik B.10 - Ethernet:QD40@10.0.0.9#2 - Printed by bob");

    const std::string pdf = (folder / "program.pdf").string();
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(pdf));
    const int pages = printProgram(printer, *report);
    EXPECT_GE(pages, 2) << "thirty channels take more than a page";
    EXPECT_EQ(printer.docName().toStdString(), report->title);
    std::ifstream in(pdf, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    const std::regex page("/Type\\s*/Page[^s]");
    const auto count = std::distance(std::sregex_iterator(bytes.begin(), bytes.end(), page),
                                     std::sregex_iterator());
    EXPECT_EQ(count, pages);
}

}  // namespace
}  // namespace qd40::ui
