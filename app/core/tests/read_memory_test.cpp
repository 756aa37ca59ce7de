// Reading storage memory into record blocks, against the simulator through
// the daemon: chunks, the reading dialog's rules, name conflicts, clearing
// only what is stored and on the disk, and a module that stops answering.
#include <gtest/gtest.h>

#include "app/core/app_strings.h"
#include "app/core/read_memory.h"
#include "app/core/tests/simulated_module.h"

namespace qd40::app {
namespace {

using security::AuditEvent;

// The windows of the command: the dialog's status read at each showing, as
// the widget does, then accepted as the test set it; the progress positions
// recorded.
struct FakeReadUi : ReadMemUi {
    bool showDialog(CReadMemDialog& dialog) override {
        ++shown;
        dialog.refreshStatus();
        if (edit)
            edit(dialog);
        dialog.accept();
        return accept;
    }
    records::IWaitDialog& waitDialog() override { return wait; }
    void showBlock(const std::string& name) override { selected = name; }

    struct Wait : records::WaitDialogState {
        std::vector<int64_t> positions;
        std::function<void(int64_t)> onPos;
        void setPos(int64_t pos) override {
            WaitDialogState::setPos(pos);
            positions.push_back(pos);
            if (onPos)
                onPos(pos);
        }
    } wait;
    std::function<void(CReadMemDialog&)> edit;
    bool accept = true;
    int shown = 0;
    std::string selected;
};

class ReadMemoryTest : public ::testing::Test {
protected:
    void start(std::vector<std::string> simArgs) {
        // A silent module fails a request within half a second.
        ASSERT_TRUE(module.start(std::move(simArgs), 500));
        sim = module.sim.get();
        folder = module.folder;
        doc = std::make_unique<CTavikDoc>(module.controls());
        item = &doc->newItem();
        item->control().put_Serial(0);
        item->control().put_IpAddr("127.0.0.1");
        item->control().put_Port(sim->tcpPort());
        doc->numberItem(*item);
        ASSERT_TRUE(doc->save(folder / "plant.dqx").isOk());
    }
    HRESULT read() {
        MemoryReader reader(*doc, prompter, session, ui, saveOrRecover(folder / "recovered"));
        return reader.ReadModuleMemory(*item);
    }
    uint32_t moduleCount(int block) {
        uint32_t n = 0;
        ctl::OvixQd40Ctl c(ctl::daemonFactory(), nullptr,
                           platform::RegistryStore(module.svr.registryDir()));
        c.put_Serial(0);
        c.put_IpAddr("127.0.0.1");
        c.put_Port(sim->tcpPort());
        EXPECT_EQ(c.Open(), S_OK) << c.lastError().description;
        EXPECT_EQ(c.GetMemRecCount(static_cast<int16_t>(block), &n), S_OK);
        return n;
    }
    size_t blocksOnDisk() {
        CTavikDoc saved(testing::controlFactory({}, module.svr.registryDir()));
        EXPECT_TRUE(saved.load(folder / "plant.dqx").isOk());
        return saved.blocks().size();
    }

    testing::SimulatedModule module;
    qd40::testing::SimProcess* sim = nullptr;
    std::filesystem::path folder;
    testing::ScriptedPrompter prompter;
    testing::RecordingSession session;
    FakeReadUi ui;
    std::unique_ptr<CTavikDoc> doc;
    CTavikItem* item = nullptr;
};

TEST_F(ReadMemoryTest, ReadsInChunksAndClearsOnceTheDocumentIsOnTheDisk) {
    start({"--preload", "1:600", "--preload", "3:10"});
    ASSERT_EQ(read(), S_OK);
    ASSERT_EQ(doc->blocks().size(), 2u);
    EXPECT_EQ(doc->blocks()[0]->name, "QD40@127.0.0.1#1_01_1");
    EXPECT_EQ(doc->blocks()[1]->name, "QD40@127.0.0.1#1_03_1");
    EXPECT_EQ(doc->blocks()[0]->records.size(), 600u);
    EXPECT_EQ(doc->blocks()[1]->records.size(), 10u);
    EXPECT_EQ(ui.wait.positions, (std::vector<int64_t>{256, 512, 600, 610}));
    EXPECT_EQ(ui.wait.high(), 610);
    EXPECT_EQ(ui.selected, "QD40@127.0.0.1#1_01_1");
    EXPECT_EQ(session.events.back().first, AuditEvent::READ_QD40_MEM);
    EXPECT_EQ(blocksOnDisk(), 2u) << "the document was saved before the module was cleared";
    EXPECT_EQ(moduleCount(1), 0u);
    EXPECT_EQ(moduleCount(3), 0u);
}

TEST_F(ReadMemoryTest, DialogRulesAndTheRightToClear) {
    start({"--preload", "2:20"});
    session.rights &= ~(1u << 12);
    CReadMemDialog dialog(*item, *doc, false);
    EXPECT_EQ(dialog.title(), "Reading  Module \"QD40@127.0.0.1#1\" Memory Blocks");
    EXPECT_FALSE(dialog.refreshStatus()) << "the module is not open";
    ASSERT_EQ(item->control().Open(), S_OK);
    ASSERT_TRUE(dialog.refreshStatus());
    item->control().Close();
    for (int b = 1; b <= 10; ++b) {
        const ReadMemRow& r = dialog.row(b);
        EXPECT_EQ(r.read, b == 2) << b;
        EXPECT_EQ(r.readEnabled, b == 2) << b;
        EXPECT_FALSE(r.clearAfter) << b;
        EXPECT_FALSE(r.clearAfterEnabled) << b;
    }
    EXPECT_EQ(dialog.row(2).available, 20u);
    // A recording block read is closed before reading and re-opened after.
    dialog.row(2).recording = true;
    dialog.setRead(2, true);
    EXPECT_TRUE(dialog.row(2).closeBefore);
    EXPECT_TRUE(dialog.row(2).reopenAfter);
    EXPECT_EQ(dialog.closingQuestion(), std::nullopt);
    dialog.row(2).reopenAfter = false;
    EXPECT_EQ(dialog.closingQuestion(),
              "Blocs 2 will be closed before reading and will not be re-opened.\nDo you want "
              "to continue ?");
    dialog.setRead(2, false);
    EXPECT_FALSE(dialog.row(2).closeBefore);
    EXPECT_EQ(dialog.toRead(2), 0u);
    dialog.row(2).name = std::string(100, 'x');
    dialog.accept();
    EXPECT_EQ(dialog.row(2).name.size(), 80u);

    ASSERT_EQ(read(), S_OK);
    EXPECT_EQ(doc->blocks().size(), 1u);
    EXPECT_EQ(moduleCount(2), 20u) << "nothing removed without the right";
}

TEST_F(ReadMemoryTest, NameConflictsAddReplaceOrAskForOtherNames) {
    start({"--preload", "1:40"});
    // Every reading names block 1 "Oven" and leaves the module's records.
    ui.edit = [](CReadMemDialog& d) {
        d.row(1).name = "Oven";
        d.row(1).clearAfter = false;
    };
    ASSERT_EQ(read(), S_OK);

    prompter.choice = 0;  // add into the existing block
    ASSERT_EQ(read(), S_OK);
    ASSERT_EQ(doc->blocks().size(), 1u);
    const auto& merged = doc->blocks()[0]->records;
    EXPECT_EQ(merged.size(), 80u);
    EXPECT_TRUE(std::is_sorted(merged.begin(), merged.end(), records::recordLess));
    ASSERT_FALSE(prompter.shown.empty());
    EXPECT_EQ(prompter.shown.back().text,
              "Reading Memory Blocks from module \"QD40@127.0.0.1#1\"|" +
                  appText(text::kReadMemConflictText));

    prompter.choice = 1;  // replace, confirmed
    prompter.answers = {Answer::Yes};
    ASSERT_EQ(read(), S_OK);
    ASSERT_EQ(doc->blocks().size(), 1u);
    EXPECT_EQ(doc->blocks()[0]->records.size(), 40u);

    // Other names: the dialog comes again with the entries kept.
    prompter.choice = 2;
    ui.shown = 0;
    ui.edit = [this](CReadMemDialog& d) {
        d.row(1).clearAfter = false;
        if (ui.shown == 1) {
            d.row(1).name = "Oven";
        } else {
            EXPECT_EQ(d.row(1).name, "Oven") << "kept from the first showing";
            d.row(1).name = "Second reading";
        }
    };
    ASSERT_EQ(read(), S_OK);
    EXPECT_EQ(ui.shown, 2);
    ASSERT_EQ(doc->blocks().size(), 2u);
    EXPECT_EQ(doc->blocks()[1]->name, "Second reading");

    // Closing the conflict dialog ends the command.
    prompter.choice = std::nullopt;
    ui.edit = [](CReadMemDialog& d) { d.row(1).name = "Oven"; };
    EXPECT_EQ(read(), E_ABORT);
    EXPECT_EQ(doc->blocks().size(), 2u);
}

TEST_F(ReadMemoryTest, AModuleThatStopsAnsweringKeepsWhatWasReadAndClearsNothing) {
    start({"--preload", "1:600"});
    ui.wait.onPos = [this](int64_t pos) {
        if (pos == 256) {
            ASSERT_TRUE(sim->setFaults("off 1\n"));
        }
    };
    ASSERT_EQ(read(), S_OK);
    ASSERT_EQ(doc->blocks().size(), 1u);
    EXPECT_EQ(doc->blocks()[0]->records.size(), 256u);
    ASSERT_FALSE(prompter.shown.empty());
    EXPECT_EQ(prompter.shown.back().text, "Unable to read block 1 (\"QD40@127.0.0.1#1_01_1\")");
    ASSERT_TRUE(sim->setFaults(""));
    EXPECT_EQ(moduleCount(1), 600u);
}

TEST_F(ReadMemoryTest, CancelledReadingStopsAndKeepsTheModulesRecords) {
    start({"--preload", "1:600", "--preload", "2:5"});
    ui.wait.onPos = [this](int64_t pos) {
        if (pos == 256)
            ui.wait.requestCancel();
    };
    EXPECT_EQ(read(), E_ABORT);
    EXPECT_TRUE(doc->blocks().empty());
    EXPECT_EQ(moduleCount(1), 600u);
    EXPECT_EQ(moduleCount(2), 5u);
    EXPECT_FALSE(ui.wait.isOpen());
}

TEST_F(ReadMemoryTest, ANeverSavedDocumentIsCopiedAsideBeforeClearing) {
    start({"--preload", "1:30"});
    doc = std::make_unique<CTavikDoc>(module.controls());
    item = &doc->newItem();
    item->control().put_Serial(0);
    item->control().put_IpAddr("127.0.0.1");
    item->control().put_Port(sim->tcpPort());
    ASSERT_EQ(read(), S_OK);
    EXPECT_TRUE(doc->path().empty());
    EXPECT_TRUE(doc->isModified());
    ASSERT_TRUE(std::filesystem::exists(folder / "recovered"));
    const auto copy = std::filesystem::directory_iterator(folder / "recovered")->path();
    CTavikDoc recovered(testing::controlFactory({}, module.svr.registryDir()));
    ASSERT_TRUE(recovered.load(copy).isOk());
    EXPECT_EQ(recovered.blocks().at(0)->records.size(), 30u);
    EXPECT_EQ(moduleCount(1), 0u);
}

}  // namespace
}  // namespace qd40::app
