// Reading storage memory end to end, offscreen: the main window's Read
// Module Memory command on a module of the simulator (through the daemon)
// shows the reading dialog, which the test accepts as it comes; the block
// lands in the document, the explorer shows it, the document is on the disk
// before the module is cleared, it opens again with the same records, and
// the explorer's export writes them. Waits are bounded.
#include <fstream>

#include <gtest/gtest.h>
#include <QAction>
#include <QElapsedTimer>
#include <QLabel>
#include <QTimer>

#include "app/core/opc/opc_toolkit.h"
#include "app/core/tavik_app.h"
#include "app/core/tests/doc_test_support.h"
#include "app/ui/main_frame.h"
#include "app/ui/read_mem_dialog.h"
#include "app/ui/records_commands.h"
#include "app/ui/tests/qt_app_fixture.h"
#include "control/ctl/daemon_factory.h"
#include "testing/server_process.h"
#include "testing/sim_process.h"

namespace qd40::ui {
namespace {

constexpr int kDialogWaitMs = 10000;
constexpr uint32_t kRecords = 700;  // three chunks: 256, 256, 188

struct OneFile : app::views::ExportDialogs {
    std::optional<app::views::ExportFile> chooseFile(const std::string&,
                                                     const std::vector<std::string>&,
                                                     const std::filesystem::path&) override {
        return file;
    }
    bool editFormat(records::SpreadsheetOptions&) override { return true; }
    app::views::ExportFile file;
};

class RecordsSim : public testing::WithQApplication {};

TEST_F(RecordsSim, ReadsModuleMemoryIntoTheDocumentThenSavesReopensAndExports) {
    qd40::testing::ServerProcess svr;
    ASSERT_TRUE(svr.ok()) << svr.error();
    qd40::testing::SimProcess::Options o;
    o.args = {"--preload", "1:" + std::to_string(kRecords)};
    qd40::testing::SimProcess sim(o);
    ASSERT_TRUE(sim.ok()) << sim.error();
    const std::filesystem::path folder = std::filesystem::path(svr.runtimeDir()) / "files";
    std::filesystem::create_directories(folder);

    const auto factory = app::testing::controlFactory(ctl::daemonFactory(), svr.registryDir());
    const std::filesystem::path path = folder / "plant.dqx";
    {
        app::CTavikDoc doc(factory);
        app::CTavikItem& item = doc.newItem();
        item.control().put_Serial(0);
        item.control().put_IpAddr("127.0.0.1");
        item.control().put_Port(sim.tcpPort());
        doc.numberItem(item);
        ASSERT_TRUE(doc.save(path).isOk());
    }

    app::AppConfig config;
    config.registry = platform::RegistryStore(folder / "registry");
    config.productVersion = "B.10";
    config.programPath = folder / "tavik";
    config.documentsFolder = folder;
    config.auditFolder = folder / "audit";
    config.hashCost = security::HashCost::minimum();
    app::testing::ScriptedPrompter prompter;
    app::opc::NullOpcToolkit opc(config.registry);
    security::SystemClock clock;
    app::CTavikApp tavik(config, prompter, opc, clock);
    FrameConfig frameConfig;
    frameConfig.controlFactory = factory;
    MainFrame frame(tavik, prompter, frameConfig);
    RecordsFrameCommands commands(frame, tavik, prompter, platform::Locale::posix(),
                                  folder / "data");
    commands.addMenus();

    ASSERT_TRUE(frame.openDocument(path));
    auto* program = qobject_cast<ProgramWindow*>(frame.activeWindow());
    ASSERT_NE(program, nullptr);
    ASSERT_NE(program->selectedItem(), nullptr);
    commands.updateCommands();
    EXPECT_FALSE(commands.readMemoryAction()->isEnabled()) << "the module is not connected";
    ASSERT_EQ(program->document().ops().openCommunications(), S_OK);
    commands.updateCommands();
    ASSERT_TRUE(commands.readMemoryAction()->isEnabled());

    // The dialog is accepted as soon as it shows; past the bound, whatever is
    // modal is closed so that the test fails instead of hanging.
    QString title;
    QString available;
    QTimer poll;
    QElapsedTimer since;
    since.start();
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* dialog = qobject_cast<ReadMemDialog*>(modal)) {
            title = dialog->windowTitle();
            available = dialog->column(1).available->text();
            dialog->accept();
        } else if (modal && since.elapsed() > kDialogWaitMs) {
            modal->close();
        }
    });
    poll.start(20);
    commands.readMemoryAction()->trigger();
    poll.stop();

    EXPECT_EQ(title.toStdString(), "Reading  Module \"QD40@127.0.0.1#1\" Memory Blocks");
    EXPECT_EQ(available.toUInt(), kRecords);
    app::CTavikDoc& doc = program->document().doc();
    ASSERT_EQ(doc.blocks().size(), 1u);
    const records::CExplBloc& block = *doc.blocks().front();
    EXPECT_EQ(block.name, "QD40@127.0.0.1#1_01_1");
    ASSERT_EQ(block.records.size(), kRecords);

    // The explorer shows the block read, selected.
    auto* explorer = qobject_cast<ExplorerWindow*>(frame.activeWindow());
    ASSERT_NE(explorer, nullptr);
    EXPECT_EQ(std::as_const(*explorer).selectedBlock(), &block);
    EXPECT_EQ(explorer->recordsTable()->model()->rowCount(), int(kRecords));

    // Saved before the module was cleared; it opens again with the same records.
    app::CTavikDoc reopened(factory);
    ASSERT_TRUE(reopened.load(path).isOk());
    ASSERT_EQ(reopened.blocks().size(), 1u);
    EXPECT_EQ(reopened.blocks().front()->records, block.records);
    ctl::OvixQd40Ctl& c = program->selectedItem()->control();
    uint32_t left = 1;
    ASSERT_EQ(c.GetMemRecCount(1, &left), S_OK);
    EXPECT_EQ(left, 0u);

    // The explorer's export of the block, in lines.
    OneFile dialogs;
    dialogs.file = {folder / "plant.txt", app::views::ExportKind::TextInLine};
    commands.setExportDialogs(&dialogs);
    commands.updateCommands();
    ASSERT_TRUE(commands.action(app::views::ExplorerCommand::ExportSelected)->isEnabled());
    commands.action(app::views::ExplorerCommand::ExportSelected)->trigger();
    std::ifstream in(dialogs.file.path, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    ASSERT_EQ(lines.size(), size_t(kRecords));
    EXPECT_EQ(lines.front().rfind("000001 ", 0), 0u) << lines.front();
    EXPECT_EQ(lines.back().rfind("000700 ", 0), 0u) << lines.back();
    EXPECT_TRUE(prompter.shown.empty()) << prompter.shown.front().text;
}

}  // namespace
}  // namespace qd40::ui
