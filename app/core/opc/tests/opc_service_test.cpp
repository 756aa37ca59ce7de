// The OPC service's rules with a toolkit that records its calls: the
// declaration in the five slots, the start at launch, the published list's
// errors, and against qd40sim the updates that follow the module's cycles,
// the qualities of a silent module and the modules stopped on closing.
#include <gtest/gtest.h>

#include "app/core/app_strings.h"
#include "app/core/opc/opc_docs_list.h"
#include "app/core/opc/opc_service.h"
#include "app/core/opc/opc_strings.h"
#include "app/core/opc/opc_users.h"
#include "app/core/tavik_app.h"
#include "app/core/tests/doc_test_support.h"
#include "common/config/cfg_layout.h"
#include "control/ctl/daemon_factory.h"
#include "server/port_settings.h"
#include "testing/server_process.h"
#include "testing/sim_process.h"

namespace qd40::app::opc {
namespace {

using security::AuditEvent;

class RecordingToolkit : public NullOpcToolkit {
public:
    struct Update {
        TagHandle tag;
        TagValue value;
        uint16_t quality;
        int64_t fileTime;
    };
    TagHandle CreateTag(const std::string& name, const TagValue&, uint16_t,
                        bool writable) override {
        if (name.find("Refused") != std::string::npos)
            return kInvalidTag;
        created.push_back({name, writable});
        return static_cast<TagHandle>(created.size());
    }
    bool SetTagProperties(TagHandle tag, unsigned id, const std::string& description,
                          const TagValue& value) override {
        properties.push_back(
            {tag, std::to_string(id) + " " + description + " " + std::get<std::string>(value)});
        return true;
    }
    bool UpdateTag(TagHandle tag, const TagValue& value, uint16_t quality) override {
        updates.push_back({tag, value, quality, 0});
        return true;
    }
    bool UpdateTagWithTimeStamp(TagHandle tag, const TagValue& value, uint16_t quality,
                                int64_t fileTime) override {
        updates.push_back({tag, value, quality, fileTime});
        return true;
    }
    bool RemoveTag(TagHandle tag) override {
        removed.push_back(tag);
        return true;
    }
    std::vector<std::pair<std::string, bool>> created;
    std::vector<std::pair<TagHandle, std::string>> properties;
    std::vector<Update> updates;
    int NumbrClientConnections() override { return clients; }
    void RequestDisconnect() override {
        ++disconnects;
        clients = 0;
    }
    std::vector<TagHandle> removed;
    int clients = 0;
    int disconnects = 0;
};

class OpcServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = testing::testFolder("opc-service");
        registry = platform::RegistryStore(folder / "reg");
        machine = std::make_unique<settings::CLocalMachineReg>(registry);
    }
    // A document on modules that cannot be reached (no server).
    std::unique_ptr<CTavikDoc> offlineDoc(int items) {
        auto doc = std::make_unique<CTavikDoc>(testing::controlFactory({}, folder / "reg"));
        for (int i = 0; i < items; ++i)
            doc->numberItem(doc->newItem());
        return doc;
    }
    std::vector<std::string> shown() const {
        std::vector<std::string> texts;
        for (const auto& s : prompter.shown)
            texts.push_back(s.text);
        return texts;
    }
    bool wasShown(const std::string& text) const {
        const auto t = shown();
        return std::find(t.begin(), t.end(), text) != t.end();
    }

    std::filesystem::path folder;
    platform::RegistryStore registry;
    std::unique_ptr<settings::CLocalMachineReg> machine;
    RecordingToolkit toolkit;
    testing::ScriptedPrompter prompter;
    testing::RecordingSession session;
};

TEST_F(OpcServiceTest, DeclaringNeedsOpenCommunicationsASavedDocumentAndAFreeSlot) {
    auto doc = offlineDoc(1);
    OpcDocService service(*doc, toolkit, prompter, session);
    int edits = 0;
    const auto edit = [&](OpcServiceParams& p) {
        ++edits;
        p.period = 250;
        p.mode = kModeNever;
        p.stopOnClose = false;
        p.startDelay = 12;
        p.published = {{doc->items()[0].get(), 3}};
        return true;
    };
    EXPECT_FALSE(defineService(service, *machine, prompter, session, edit));
    EXPECT_EQ(edits, 0) << "communications closed: no sheet";

    doc->communicationsOpen = true;
    EXPECT_FALSE(defineService(service, *machine, prompter, session, edit));
    EXPECT_EQ(shown(), std::vector<std::string>{opcText(text::kSaveBeforeDeclaring)});
    EXPECT_EQ(service.period, 250) << "the sheet's values are kept by the document";
    EXPECT_EQ(service.mode, kModeNever);
    EXPECT_EQ(service.stopOnClose, 0u);
    EXPECT_FALSE(service.inService());

    ASSERT_TRUE(doc->save(folder / "plant.dqx").isOk());
    for (int slot = 0; slot < kOpcSlots; ++slot)
        machine->writeString(slotSection(slot), "Path", "/elsewhere/" + std::to_string(slot));
    prompter.shown.clear();
    EXPECT_FALSE(defineService(service, *machine, prompter, session, edit));
    ASSERT_EQ(shown().size(), 1u);
    EXPECT_EQ(shown()[0], opcMessage(text::kTooManyDocuments, {"5"}));
    EXPECT_NE(shown()[0].find("(5 as a Maximum)"), std::string::npos);

    // Slot 2 freed: the declaration goes there and the service starts.
    machine->deleteSection(slotSection(2));
    prompter.shown.clear();
    EXPECT_TRUE(defineService(service, *machine, prompter, session, edit));
    const OpcSlot s = readSlot(*machine, 2);
    EXPECT_EQ(s.path, (folder / "plant.dqx").string());
    EXPECT_EQ(s.sendProg, kModeNever);
    EXPECT_EQ(s.chansIn, "1:3,");
    EXPECT_EQ(s.period, 250);
    EXPECT_EQ(s.stopOnClose, 0);
    EXPECT_EQ(machine->readInt(kOpcSection, "StartDelay", 0), 12);
    ASSERT_EQ(session.events.size(), 1u);
    EXPECT_EQ(session.events[0].first, AuditEvent::DOC_OPC_ADDED);
    EXPECT_EQ(session.events[0].second, std::vector<std::string>{s.path});
    EXPECT_EQ(service.slot, 2);
    EXPECT_TRUE(service.inService());
    EXPECT_EQ(readSlot(*machine, 3).path, "/elsewhere/3");
}

TEST_F(OpcServiceTest, TheListsEntriesBeforeAnErrorArePublishedAndTheErrorShownWhenAsking) {
    for (const bool ask : {false, true}) {
        auto doc = offlineDoc(2);
        doc->communicationsOpen = true;
        toolkit.created.clear();
        toolkit.properties.clear();
        toolkit.removed.clear();
        prompter.shown.clear();
        {
            OpcDocService service(*doc, toolkit, prompter, session);
            EXPECT_EQ(service.start("1:3,0:1,2:1,", kModeNever, ask), 1);
            EXPECT_EQ(service.published(),
                      (std::vector<PublishedChannels>{{doc->items()[0].get(), 3}}));
            const std::vector<std::pair<std::string, bool>> tags = {{"QD40#1.Chan01", false},
                                                                    {"QD40#1.Chan02", false}};
            EXPECT_EQ(toolkit.created, tags);
            // Each channel tag carries its unit (the default one of its range here).
            ASSERT_EQ(toolkit.properties.size(), 2u);
            EXPECT_EQ(toolkit.properties[0].second.rfind("100 EU Units ", 0), 0u);
            EXPECT_EQ(wasShown(opcText(text::kChannelListErrors)), ask);
            EXPECT_EQ(service.start("1:3,", kModeNever, ask), 0) << "already in service";
        }
        EXPECT_EQ(toolkit.removed, (std::vector<TagHandle>{1, 2}))
            << "the tags go with the service";
    }
    // Communications closed: refused without a word.
    auto doc = offlineDoc(1);
    OpcDocService service(*doc, toolkit, prompter, session);
    prompter.shown.clear();
    EXPECT_EQ(service.start("1:3,", kModeNever, true), 0);
    EXPECT_TRUE(prompter.shown.empty());
}

TEST_F(OpcServiceTest, LaunchStartsOnlyACompleteDeclaration) {
    auto doc = offlineDoc(0);
    const std::string section = slotSection(1);
    machine->writeString(section, "Path", "plant.dqx");
    {
        OpcDocService service(*doc, toolkit, prompter, session);
        EXPECT_FALSE(startDeclaredService(service, 1, *machine)) << "no SendProg";
        machine->writeInt(section, "SendProg", kModeNever);
        EXPECT_FALSE(startDeclaredService(service, 1, *machine)) << "no Period";
        EXPECT_FALSE(doc->communicationsOpen);
    }
    machine->writeInt(section, "Period", 50);
    machine->writeInt(section, "StopOnClose", 0);
    OpcDocService service(*doc, toolkit, prompter, session);
    EXPECT_TRUE(startDeclaredService(service, 1, *machine));
    EXPECT_TRUE(doc->communicationsOpen);
    EXPECT_TRUE(service.inService());
    EXPECT_EQ(service.slot, 1);
    EXPECT_EQ(service.period, 50);
    EXPECT_EQ(service.stopOnClose, 0u);
}

TEST_F(OpcServiceTest, TheDeclaredDocumentsListShowsEachSlotAndRemovesOnlyOnOk) {
    // Slot 0: a document of two modules, relay 2 of the second left to MODBUS.
    auto doc = offlineDoc(2);
    cfg::VariantBlob blob;
    CTavikItem& second = *doc->items()[1];
    ASSERT_EQ(second.control().get_Cfg(&blob), S_OK);
    cfg::FullCfgView(std::span<uint8_t>(blob.data).first<cfg::kFullCfgSize>())
        .setRelayModbus(2, true);
    ASSERT_EQ(second.control().put_Cfg(blob), S_OK);
    second.setMnemonic("Oven");
    const auto path = folder / "plant.dqx";
    ASSERT_TRUE(doc->save(path).isOk());
    const auto declare = [&](int slot, const std::string& p, const std::string& chansIn) {
        const std::string section = slotSection(slot);
        machine->writeString(section, "Path", p);
        machine->writeInt(section, "SendProg", slot % 3);
        machine->writeString(section, "ChansIn", chansIn);
        machine->writeInt(section, "Period", 100 * (slot + 1));
        machine->writeInt(section, "StopOnClose", slot == 0 ? 1 : 0);
    };
    declare(0, path.string(), "1:3,2:4,");
    declare(1, (folder / "gone.dqx").string(), "1:1,");
    declare(3, path.string(), "1:3,0:1,");
    machine->writeInt(kOpcSection, "StartDelay", 7);
    const OpcDocsList::Loader load = [&](const std::filesystem::path& p) {
        auto d = std::make_unique<CTavikDoc>(testing::controlFactory({}, folder / "reg"));
        return d->load(p).isOk() ? std::move(d) : nullptr;
    };
    const auto make = [&] {
        return OpcDocsList(*machine, session, load, [](int slot) { return slot == 0; });
    };

    OpcDocsList list = make();
    EXPECT_EQ(OpcDocsList::columns(),
              (std::vector<std::string>{"No.", "Status", "Document", "Trans. Prog.", "Inputs",
                                        "Outputs", "Period", "End Stop", "Start Delay"}));
    using Row = std::vector<std::string>;
    EXPECT_EQ(list.cells(0), (Row{"1", "Active", path.string(), "Always",
                                  "QD40#1.Chan01, QD40#1.Chan02, Oven.Chan03", "Oven.Relay 2",
                                  "100 ms", "Yes", "7 s"}));
    EXPECT_EQ(list.cells(1), (Row{"2", "Inactive", (folder / "gone.dqx").string(), "If Different",
                                  "???", "???", "200 ms", "No", "7 s"}));
    EXPECT_EQ(list.cells(2), (Row{"3", "", "", "", "", "", "", "", ""})) << "not declared";
    EXPECT_EQ(list.cells(3)[4], "") << "a list with errors publishes nothing here";
    EXPECT_EQ(list.cells(3)[5], "Oven.Relay 2");

    // Without right 1, Delete does nothing.
    std::vector<int> closed;
    const auto close = [&](int slot) { closed.push_back(slot); };
    session.rights = ~(1u << right::kCloseWindow);
    EXPECT_FALSE(list.canDelete());
    list.deleteRow(0, close);
    EXPECT_FALSE(list.rows()[0].blanked);

    session.rights = ~0u;
    list.deleteRow(0, close);
    list.deleteRow(1, close);
    EXPECT_EQ(closed, std::vector<int>{0}) << "only an open document is closed";
    EXPECT_EQ(list.cells(0), (Row{"1", "", "", "", "", "", "", "", ""}));
    EXPECT_EQ(readSlot(*machine, 0).path, path.string()) << "nothing removed before OK";

    list.commit();
    EXPECT_EQ(readSlot(*machine, 0).path, "");
    EXPECT_EQ(readSlot(*machine, 0).sendProg, -1);
    EXPECT_EQ(readSlot(*machine, 1).path, "");
    EXPECT_EQ(readSlot(*machine, 3).path, path.string());
    ASSERT_EQ(session.events.size(), 2u);
    EXPECT_EQ(session.events[0],
              std::make_pair(AuditEvent::DOC_OPC_REMOVED, std::vector<std::string>{path.string()}));
    EXPECT_EQ(session.events[1].second, std::vector<std::string>{(folder / "gone.dqx").string()});
}

TEST_F(OpcServiceTest, OnlyADeclaredUserWithAValidPasswordOpensASession) {
    // A clock that can be moved, in whole seconds.
    class MovableClock : public security::Clock {
    public:
        security::LocalTime now() const override { return t; }
        security::LocalTime t = 1'000'000'000;
    } clock;
    security::CUserRights rights(*machine, clock,
                                 security::UserRightsConfig{folder / "audit", "Tavik", "B.10",
                                                            security::HashCost::minimum()});
    security::CUser jane;
    jane.name = "Jane Doe";
    jane.identifier = "jdoe";
    ASSERT_TRUE(jane.changePassword("secret1", clock.t, 30, rights.hasher()));
    rights.addUser(jane);
    const auto check = opcUserCheck(rights, clock);
    struct Case {
        const char* identifier;
        const char* password;
        bool accepted;
    };
    for (const Case& c : std::vector<Case>{{"JDOE", "secret1", true},
                                           {"jdoe", "secret1", true},  // as at log-on
                                           {"JDOE", "secret2", false},
                                           {"JROE", "secret1", false},
                                           {"", "", false}})
        EXPECT_EQ(check(c.identifier, c.password), c.accepted) << c.identifier << "/" << c.password;
    clock.t += 31 * security::kSecondsPerDay;
    EXPECT_FALSE(check("JDOE", "secret1")) << "expired";
}

TEST_F(OpcServiceTest, ClosingAWindowOfADocumentInServiceAsksWhileClientsAreConnected) {
    auto doc = offlineDoc(0);
    ASSERT_TRUE(doc->save(folder / "plant.dqx").isOk());
    OpcServices services(toolkit, prompter, session);
    std::vector<std::chrono::milliseconds> waits;
    const auto wait = [&](std::chrono::milliseconds ms) { waits.push_back(ms); };
    toolkit.clients = 2;
    EXPECT_TRUE(mayCloseServedWindow(services, *doc, prompter, session, wait))
        << "not in service: nothing asked";
    EXPECT_TRUE(prompter.shown.empty());

    doc->communicationsOpen = true;
    ASSERT_EQ(services.of(*doc).start("", kModeNever, false), 1);
    prompter.answers = {Answer::No, Answer::Cancel, Answer::Yes};
    EXPECT_FALSE(mayCloseServedWindow(services, *doc, prompter, session, wait));
    EXPECT_FALSE(mayCloseServedWindow(services, *doc, prompter, session, wait));
    EXPECT_EQ(toolkit.disconnects, 0);
    EXPECT_TRUE(mayCloseServedWindow(services, *doc, prompter, session, wait));
    EXPECT_EQ(toolkit.disconnects, 1);
    EXPECT_EQ(waits, std::vector<std::chrono::milliseconds>{std::chrono::milliseconds(2000)});
    ASSERT_EQ(prompter.shown.size(), 3u);
    EXPECT_EQ(prompter.shown[0].text, appText(app::text::kOpcClientsConnected));
    EXPECT_EQ(prompter.shown[0].buttons, Buttons::YesNoCancel);
    EXPECT_EQ(session.events.size(), 3u);
    EXPECT_EQ(session.events[0], std::make_pair(AuditEvent::CLOSE_DOC,
                                                std::vector<std::string>{doc->path().string()}));

    // Nobody connected: recorded, not asked; without right 1: neither.
    EXPECT_TRUE(mayCloseServedWindow(services, *doc, prompter, session, wait));
    EXPECT_EQ(prompter.shown.size(), 3u);
    EXPECT_EQ(session.events.size(), 4u);
    session.rights = ~(1u << right::kCloseWindow);
    EXPECT_TRUE(mayCloseServedWindow(services, *doc, prompter, session, wait));
    EXPECT_EQ(session.events.size(), 4u);
}

// ---- against the simulator -----------------------------------------------------------

class OpcServiceSimTest : public OpcServiceTest {
protected:
    void start(std::vector<std::string> simArgs = {}) {
        qd40::testing::SimProcess::Options o;
        o.args = std::move(simArgs);
        sim = std::make_unique<qd40::testing::SimProcess>(o);
        ASSERT_TRUE(sim->ok()) << sim->error();
        ASSERT_TRUE(svr.ok()) << svr.error();
        // A silent module fails a request within half a second.
        platform::RegistryStore(svr.registryDir())
            .setDword(platform::Hive::LocalMachine, server::kCommunicationKey, "IpTimeOut", 500);
        doc = std::make_unique<CTavikDoc>(
            testing::controlFactory(ctl::daemonFactory(), svr.registryDir()));
        ops = std::make_unique<DocOperations>(*doc, prompter, session);
        prompter.commParams.push_back(ctl::CtlConnection{
            false, "127.0.0.1", static_cast<int16_t>(sim->tcpPort()), true, 9600, 1, 0});
        item = ops->addModule(nullptr);
        ASSERT_NE(item, nullptr);
        ASSERT_EQ(ops->withOpenItem(*item, [](ctl::OvixQd40Ctl& c) { return c.ReadCfg(); }), S_OK);
        ASSERT_EQ(ops->openCommunications(), S_OK);
    }
    bool moduleRunning() {
        int32_t running = 0;
        return succeeded(item->control().get_IsRunning(&running)) && running;
    }

    qd40::testing::ServerProcess svr;
    std::unique_ptr<qd40::testing::SimProcess> sim;
    std::unique_ptr<CTavikDoc> doc;
    std::unique_ptr<DocOperations> ops;
    CTavikItem* item = nullptr;
};

TEST_F(OpcServiceSimTest, OnlyANewCycleUpdatesAndASilentModuleIsACommunicationFailure) {
    start();
    OpcDocService service(*doc, toolkit, prompter, session);
    service.period = 60000;  // ticks are called here
    ASSERT_EQ(service.start("1:5,", kModeNever, false), 1);
    ASSERT_EQ(toolkit.created.size(), 2u);
    ASSERT_TRUE(moduleRunning());

    // Back-to-back ticks: a tag is updated again only with another cycle time.
    std::map<TagHandle, std::vector<int64_t>> times;
    int quietTicks = 0;
    for (int i = 0; i < 6; ++i) {
        const size_t before = toolkit.updates.size();
        service.tick();
        quietTicks += toolkit.updates.size() == before;
        for (size_t u = before; u < toolkit.updates.size(); ++u) {
            EXPECT_EQ(toolkit.updates[u].quality, kQualityGood);
            times[toolkit.updates[u].tag].push_back(toolkit.updates[u].fileTime);
        }
    }
    EXPECT_GE(quietTicks, 4);
    for (const auto& [tag, t] : times) {
        EXPECT_FALSE(t.empty());
        for (size_t i = 1; i < t.size(); ++i)
            EXPECT_GT(t[i], t[i - 1]) << "tag " << tag;
    }
    // Channel 3 (Pt100) is stamped with its own measurement delay after channel 1.
    ASSERT_EQ(toolkit.updates[0].tag, 1u);
    EXPECT_GE(toolkit.updates[1].fileTime, toolkit.updates[0].fileTime);

    ASSERT_TRUE(sim->setFaults("off 1\n"));
    const size_t before = toolkit.updates.size();
    service.tick();
    ASSERT_EQ(toolkit.updates.size(), before + 2);
    for (size_t u = before; u < toolkit.updates.size(); ++u) {
        EXPECT_EQ(toolkit.updates[u].quality, kQualityCommFailure);
        EXPECT_EQ(toolkit.updates[u].value, TagValue(0.0f));
    }
    ASSERT_TRUE(sim->setFaults(""));
}

TEST_F(OpcServiceSimTest, ClosingTheDocumentStopsItsModulesWhenAsked) {
    start();
    for (const uint32_t stop : {0u, 1u}) {
        {
            OpcDocService service(*doc, toolkit, prompter, session);
            service.stopOnClose = stop;
            ASSERT_EQ(service.start("1:1,", kModeNever, false), 1);
            EXPECT_TRUE(moduleRunning());
        }
        EXPECT_EQ(moduleRunning(), stop == 0) << "stop-on-close " << stop;
    }
}

}  // namespace
}  // namespace qd40::app::opc
