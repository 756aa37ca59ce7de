// The program window's logic without a module: which commands each right
// enables, programming through a sheet, the program export with its
// version gates, and the printed program's content.
#include <gtest/gtest.h>

#include <fstream>

#include "app/core/app_strings.h"
#include "app/core/program/program_commands.h"
#include "app/core/program/program_export.h"
#include "app/core/program/program_report.h"
#include "app/core/program/program_strings.h"
#include "app/core/tests/doc_test_support.h"
#include "common/config/variant_blob.h"

namespace qd40::app::program {
namespace {

using views::Selection;

class NoPagePrompts : public pages::PagePrompter {
public:
    void warning(const std::string& t) override { warnings.push_back(t); }
    void error(const std::string& t) override { ADD_FAILURE() << t; }
    std::vector<std::string> warnings;
};

class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = testing::testFolder("program");
        doc = std::make_unique<CTavikDoc>(testing::controlFactory({}, folder / "registry"));
        ops = std::make_unique<DocOperations>(*doc, prompter, session);
        commands = std::make_unique<ProgramCommands>(*doc, *ops, prompter, session);
    }
    CTavikItem& addItem(int slave) {
        prompter.commParams.push_back(
            ctl::CtlConnection{true, "", 2, true, 19200, static_cast<uint8_t>(slave), 1});
        CTavikItem* item = ops->addModule(nullptr);
        EXPECT_NE(item, nullptr);
        doc->setModified(false);
        return *item;
    }
    std::vector<uint8_t> cfgOf(CTavikItem& item) {
        cfg::VariantBlob v;
        item.control().get_Cfg(&v);
        return v.data;
    }

    std::filesystem::path folder;
    testing::ScriptedPrompter prompter;
    testing::RecordingSession session;
    NoPagePrompts pagePrompter;
    std::unique_ptr<CTavikDoc> doc;
    std::unique_ptr<DocOperations> ops;
    std::unique_ptr<ProgramCommands> commands;
};

TEST_F(ProgramTest, CommandsFollowRightsSelectionAndConnection) {
    struct Case {
        ProgCommand command;
        int right;  // the bit it needs; -1 none
        bool needsConnection;
    };
    const Case cases[] = {
        {ProgCommand::ModuleConfiguration, 8, false},
        {ProgCommand::CommProperties, 8, false},
        {ProgCommand::Delete, 8, false},
        {ProgCommand::Rename, 8, false},
        {ProgCommand::Transmit, 4, true},
        {ProgCommand::Trigger, 4, true},
        {ProgCommand::Local, 4, true},
        {ProgCommand::Initialize, 4, true},
        {ProgCommand::ReadProgram, 5, true},
        {ProgCommand::ReadName, 5, true},
        {ProgCommand::Identify, 5, true},
        {ProgCommand::ClearMemory, 6, true},
        {ProgCommand::Status, 6, true},
        {ProgCommand::Run, 9, true},
        {ProgCommand::Stop, 10, true},
    };
    for (const Case& c : cases) {
        ProgContext ctx;
        ctx.rights = 1u << c.right;
        ctx.selection = Selection::Module;
        ctx.connected = true;
        EXPECT_TRUE(progCommandEnabled(c.command, ctx)) << int(c.command);
        ctx.rights = ~(1u << c.right);
        EXPECT_FALSE(progCommandEnabled(c.command, ctx)) << int(c.command) << " without its right";
        ctx.rights = ~0u;
        ctx.connected = false;
        EXPECT_EQ(progCommandEnabled(c.command, ctx), !c.needsConnection) << int(c.command);
        ctx.connected = true;
        ctx.selection = Selection::Port;
        EXPECT_FALSE(progCommandEnabled(c.command, ctx)) << int(c.command) << " without a module";
    }
    ProgContext ctx;
    ctx.rights = ~0u;
    ctx.selection = Selection::NewModule;
    EXPECT_TRUE(progCommandEnabled(ProgCommand::AddModule, ctx));
    EXPECT_FALSE(progCommandEnabled(ProgCommand::Paste, ctx));
    ctx.selection = Selection::Module;
    ctx.connected = true;
    ctx.available = [](ProgCommand c) { return c != ProgCommand::EmailCounter; };
    EXPECT_FALSE(progCommandEnabled(ProgCommand::EmailCounter, ctx));
    EXPECT_TRUE(progCommandEnabled(ProgCommand::SetClock, ctx));
    EXPECT_FALSE(progCommandEnabled(ProgCommand::ProgramByControl, ProgContext{}));
}

TEST_F(ProgramTest, ProgrammingWritesBackAndMarksTheDocumentOnlyOnChange) {
    CTavikItem& item = addItem(3);
    int16_t shown = 0;
    // OK without an edit: nothing written, the document stays unmodified.
    auto okUnchanged = [&](ProgramSheet& sheet) {
        shown = int16_t(sheet.chans.channel());
        EXPECT_EQ(sheet.pages().size(), 5u);
        EXPECT_EQ(sheet.title(), strings::formatText(appText(text::kModuleConfigTitle),
                                                     item.shortDisplayName().c_str()));
        return true;
    };
    EXPECT_EQ(commands->programModule(item, 4, false, okUnchanged, pagePrompter), S_OK);
    EXPECT_EQ(shown, 5) << "the selected row plus 1";
    EXPECT_FALSE(doc->isModified());
    EXPECT_EQ(commands->programModule(item, 35, false, okUnchanged, pagePrompter), S_OK);
    EXPECT_EQ(shown, 1) << "no row selected: channel 1";

    // An edit in the easy sheet reaches the control.
    auto edit = [](ProgramSheet& sheet) {
        EXPECT_EQ(sheet.pages().size(), 3u);
        sheet.chans.setFunction(cfg::kFctTc);
        sheet.acq.acqCount = "7";
        sheet.acq.setChanged();
        return true;
    };
    EXPECT_EQ(commands->programModule(item, 1, true, edit, pagePrompter), S_OK);
    EXPECT_TRUE(doc->isModified());
    const std::vector<uint8_t> now = cfgOf(item);
    const cfg::ConstFullCfgView v(now);
    EXPECT_EQ(v.channel(2).function(), cfg::kFctTc);
    EXPECT_EQ(v.acqPeriod(), 7);
    EXPECT_EQ(v.chansToScan() & 2u, 2u) << "the easy sheet scans its programmed channels";

    // Cancel changes nothing.
    doc->setModified(false);
    auto cancel = [](ProgramSheet& sheet) {
        sheet.chans.setFunction(cfg::kFctVdc);
        return false;
    };
    EXPECT_EQ(commands->programModule(item, 1, false, cancel, pagePrompter), S_FALSE);
    EXPECT_FALSE(doc->isModified());
    EXPECT_EQ(cfg::ConstFullCfgView(cfgOf(item)).channel(2).function(), cfg::kFctTc);
}

TEST_F(ProgramTest, DeleteAsksWithTheNodeText) {
    CTavikItem& item = addItem(4);
    prompter.answers = {Answer::No, Answer::Yes};
    EXPECT_FALSE(commands->deleteModule(item, "QD40#4"));
    EXPECT_EQ(doc->items().size(), 1u);
    EXPECT_TRUE(commands->deleteModule(item, "QD40#4"));
    EXPECT_TRUE(doc->items().empty());
    EXPECT_TRUE(doc->isModified());
    EXPECT_EQ(prompter.shown.back().text, appMessage(text::kDeleteModuleAsk, {"QD40#4"}));
}

// An export written by a program of the given version, field by field.
std::vector<uint8_t> exportOfVersion(const std::string& version, const CQd40CfgX& x) {
    archive::Writer w;
    w.writeString("OVIX,TAVIK,0," + version + ",XKW7\n");
    w.writeCount(1);
    w.writeObjectTag("CQd40CfgX", 0);
    w.writeString(x.name);
    w.writeI32(x.connectionType);
    w.writeString(x.address);
    w.writeU16(x.port);
    w.writeU8(x.slave);
    w.writeI32(x.serverParams);
    w.writeU32(x.rate);
    if (wqxHasSerialMode(version))
        w.writeU16(x.serialMode);
    w.writeBytes(x.cfg);
    w.writeBytes(x.chansRes);
    w.writeBytes(x.email);
    w.writeBytes(x.memsMask);
    if (wqxHasChannelTexts(version))
        for (const auto* texts : {&x.mnemonics, &x.units}) {
            w.writeCount(uint32_t(texts->size()));
            for (const auto& t : *texts)
                w.writeString(t);
        }
    return w.take();
}

TEST_F(ProgramTest, ExportReadsBackUnderEachVersionGate) {
    addItem(5);
    CTavikItem& second = addItem(6);
    second.setMnemonic("Boiler");
    const std::filesystem::path path = folder / "plant.wqx";
    ASSERT_EQ(exportProgram(*doc, path, prompter, session), S_OK);
    ASSERT_EQ(session.events.size(), 1u);
    EXPECT_EQ(session.events[0].first, security::AuditEvent::EXPORT_DOC);
    EXPECT_EQ(session.events[0].second, std::vector<std::string>{path.string()});

    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    const CAllQd40CfgX all = CAllQd40CfgX::read(bytes);
    EXPECT_EQ(all.header, CTavikDoc::currentHeader() + ",XKW7\n");
    EXPECT_EQ(all.version(), "B.10");
    ASSERT_EQ(all.items.size(), 2u);
    EXPECT_EQ(all.items[1].name, "Boiler");
    EXPECT_EQ(all.items[1].slave, 6);
    EXPECT_EQ(all.items[1].serialMode, 1);
    EXPECT_EQ(all.items[1].mnemonics.size(), 30u);
    EXPECT_EQ(all.items[1], *snapshotOf(second));

    struct Gate {
        std::string version;
        bool serialMode;
        bool texts;
    };
    const Gate gates[] = {
        {"A.00", false, true}, {"B.05", false, true}, {"B.06", true, true}, {"Z.09", false, false},
        {"Z.10", false, true}, {"Z.23", false, true}, {"Z.24", true, true},
    };
    const CQd40CfgX x = *snapshotOf(second);
    for (const Gate& g : gates) {
        const CAllQd40CfgX read = CAllQd40CfgX::read(exportOfVersion(g.version, x));
        ASSERT_EQ(read.items.size(), 1u) << g.version;
        EXPECT_EQ(read.items[0].serialMode, g.serialMode ? 1 : 0) << g.version;
        EXPECT_EQ(read.items[0].units.size(), g.texts ? 30u : 0u) << g.version;
        EXPECT_EQ(read.items[0].cfg, x.cfg) << g.version;
        EXPECT_EQ(read.items[0].memsMask, x.memsMask) << g.version;
    }
    EXPECT_THROW(CAllQd40CfgX::read(std::span(bytes).first(bytes.size() - 3)),
                 archive::ArchiveError);
}

TEST_F(ProgramTest, ExportWithAnItemThatFailsLeavesTheFileEmpty) {
    addItem(7);
    addItem(8);
    const std::filesystem::path path = folder / "broken.wqx";
    std::ofstream(path) << "old content";
    int calls = 0;
    const SnapshotSource failSecond = [&](CTavikItem& item) -> std::optional<CQd40CfgX> {
        return ++calls == 2 ? std::nullopt : snapshotOf(item);
    };
    EXPECT_EQ(exportProgram(*doc, path, prompter, session, failSecond), E_FAIL);
    EXPECT_EQ(std::filesystem::file_size(path), 0u);
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].text, programText(ptext::kExportFailed));
    EXPECT_TRUE(session.events.empty());
    EXPECT_EQ(defaultExportName("plant.v2.dqx"), "plant.wqx");
}

TEST_F(ProgramTest, ReportHoldsTheTitleAndTheSections) {
    CTavikItem& item = addItem(9);
    cfg::VariantBlob v;
    item.control().get_Cfg(&v);
    cfg::FullCfgView(v.data).channel(4).setFunction(cfg::kFctVdc);
    cfg::FullCfgView(v.data).memBlock(2).setSize(500);
    ASSERT_EQ(item.control().put_Cfg(v), S_OK);
    const auto r = programReport(item, "Tavik", "B.10", "alice");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->title, "Tavik B.10 - " + item.longDisplayName() + " - Printed by alice");
    ASSERT_EQ(r->sections.size(), 6u);
    const auto& chans = r->sections[1].lines;
    ASSERT_FALSE(chans.empty());
    EXPECT_EQ(chans[0].rfind("Chan. 04", 0), 0u) << chans[0];
    bool block2 = false;
    for (const auto& l : r->sections[3].lines)
        block2 = block2 || l.rfind("Block 2: 500 records", 0) == 0;
    EXPECT_TRUE(block2);
}

}  // namespace
}  // namespace qd40::app::program
