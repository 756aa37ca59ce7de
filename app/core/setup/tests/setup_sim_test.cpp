// Module SETUP read and written on the module simulator behind the daemon,
// over a serial line (the simulator's pseudo-terminal as COM1), with the
// requests watched on their way to the daemon.
#include <fstream>

#include <gtest/gtest.h>

#include "app/core/setup/email_counter.h"
#include "app/core/setup/module_interfaces.h"
#include "app/core/setup/setup_commands.h"
#include "app/core/setup/setup_strings.h"
#include "app/core/setup/setup_transfer.h"
#include "app/core/setup/tests/forwarding_link.h"
#include "app/core/tests/doc_test_support.h"
#include "app/core/tests/simulated_module.h"
#include "common/module_constants.h"
#include "common/module_registers.h"
#include "control/ctl/daemon_factory.h"
#include "server/port_settings.h"
#include "testing/server_process.h"
#include "testing/sim_process.h"

namespace qd40::app::setup::testing {
namespace {

using app::testing::ScriptedPrompter;

// Every command block written to the mailbox.
struct SentBlocks {
    std::vector<std::vector<uint16_t>> blocks;
    std::vector<std::vector<uint16_t>> withCode(uint16_t code) const {
        std::vector<std::vector<uint16_t>> out;
        for (const auto& b : blocks)
            if (!b.empty() && b[0] == code)
                out.push_back(b);
        return out;
    }
    // The item identifiers of the reads (24) or writes (25).
    std::vector<int> items(uint16_t code) const {
        std::vector<int> out;
        for (const auto& b : withCode(code))
            out.push_back(b[code == kCmdReadSetupItem ? 2 : 4]);
        return out;
    }
};

class WatchedLink : public ForwardingLink {
public:
    WatchedLink(std::unique_ptr<Qd40Link> inner, SentBlocks& sent)
        : ForwardingLink(std::move(inner)), sent_(sent) {}
    HRESULT SendRegs(uint8_t a, uint32_t first, int16_t n, const Variant& v,
                     int32_t* err) override {
        if (first == uint32_t(module::reg::kCommand)) {
            std::vector<uint16_t> w;
            for (size_t i = 0; i + 1 < v.data.size(); i += 2)
                w.push_back(uint16_t(v.data[i] | v.data[i + 1] << 8));
            sent_.blocks.push_back(w);
        }
        return ForwardingLink::SendRegs(a, first, n, v, err);
    }

private:
    SentBlocks& sent_;
};

// The progress dialog; `before(pos)` runs each time the transfer asks for
// Cancel, pos being the number of items done.
class Progress : public records::WaitDialogState {
public:
    bool IsCancelled() override {
        if (before)
            before(pos());
        return WaitDialogState::IsCancelled();
    }
    std::function<void(int64_t)> before;
};

class Ports : public SetupPorts, public AccessCodeAsker {
public:
    bool askSetupPort(ctl::CtlConnection& params) override {
        askedPort = params.port;
        params.port = int16_t(port);
        return true;
    }
    bool editSetup(SetupRecord& record, const std::string& version,
                   const SetupClock& clock) override {
        shownVersion = version;
        if (clockCheck)
            clockCheck(clock);
        shown = record;
        if (edit)
            edit(record);
        return ok;
    }
    bool editEthernetAddress(MacAddress&) override {
        ++ethernetShown;
        return false;
    }
    records::IWaitDialog& progress() override { return progressDialog; }
    AccessCodeAsker& accessCode() override { return *this; }
    std::optional<int> askNumber(const std::string&, const std::string&) override { return code; }

    int port = 1;
    int askedPort = 0;
    bool ok = true;
    std::function<void(SetupRecord&)> edit;
    std::function<void(const SetupClock&)> clockCheck;
    std::optional<SetupRecord> shown;
    std::string shownVersion;
    Progress progressDialog;
    std::optional<int> code;
    int ethernetShown = 0;
};

int indexOf(int id) {
    const auto items = setupItems();
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i].id == id)
            return int(i);
    return -1;
}

class SetupSim : public ::testing::Test {
protected:
    // Starts the module as COM1 with the given options and SETUP lines of
    // its permanent memory.
    void start(std::vector<std::string> args, const std::string& setupLines = {}) {
        ASSERT_TRUE(svr.ok()) << svr.error();
        platform::RegistryStore reg(svr.registryDir());
        reg.setDword(platform::Hive::LocalMachine, server::kCommunicationKey, "Retries", 1);
        reg.setDword(platform::Hive::LocalMachine, server::kCommunicationKey, "RsTimeOut", 300);
        qd40::testing::SimProcess::Options o;
        o.tcp = false;
        o.rtu = true;
        o.args = std::move(args);
        if (!setupLines.empty()) {
            o.stateFile = svr.runtimeDir() + "/module.state";
            std::ofstream(o.stateFile) << setupLines;
        }
        sim = std::make_unique<qd40::testing::SimProcess>(o);
        ASSERT_TRUE(sim->ok()) << sim->error();
        ASSERT_TRUE(svr.setPortDevice(1, sim->rtuPath()));
    }
    bool progressClosed() const { return !ports.progressDialog.isOpen(); }
    ctl::Qd40Factory factory() {
        return [this](const std::string& host, std::unique_ptr<ctl::Qd40Link>& out) {
            std::unique_ptr<ctl::Qd40Link> inner;
            Status st = ctl::daemonFactory()(host, inner);
            if (st)
                out = std::make_unique<WatchedLink>(std::move(inner), sent);
            return st;
        };
    }
    HRESULT runSheet() {
        SetupCommands commands(factory(), machine, prompter, ports);
        return commands.runSetupSheet();
    }
    // What the module holds now, read through a fresh connection.
    SetupRecord readBack() {
        Ports plain;
        plain.ok = false;
        SetupCommands commands(factory(), machine, prompter, plain);
        EXPECT_EQ(commands.runSetupSheet(), S_FALSE);
        return plain.shown.value_or(SetupRecord{});
    }

    qd40::testing::ServerProcess svr;
    std::unique_ptr<qd40::testing::SimProcess> sim;
    settings::CLocalMachineReg machine{platform::RegistryStore(svr.registryDir())};
    ScriptedPrompter prompter;
    Ports ports;
    SentBlocks sent;
};

TEST_F(SetupSim, SheetClosedWithoutChangeReadsEveryItemAndSendsOnlyTheStore) {
    start({});
    machine.writeInt(kSetupSection, kSetupComEntry, 4);
    ASSERT_EQ(runSheet(), S_OK) << (prompter.shown.empty() ? "" : prompter.shown[0].text);
    EXPECT_EQ(ports.askedPort, 4) << "the dialog starts on the last SETUP port";
    EXPECT_EQ(machine.readInt(kSetupSection, kSetupComEntry, 0), 1);
    EXPECT_EQ(ports.shownVersion, "B.05");

    std::vector<int> all;
    for (const SetupItemDef& d : setupItems())
        all.push_back(d.id);
    EXPECT_EQ(sent.items(kCmdReadSetupItem), all);
    EXPECT_TRUE(sent.withCode(kCmdWriteSetupItem).empty());
    const std::vector<std::vector<uint16_t>> store{
        {kCmdStoreSetup, 2, module::kConfirmWord1, module::kConfirmWord2}};
    EXPECT_EQ(sent.withCode(kCmdStoreSetup), store);

    // The module's factory SETUP as the pages get it.
    ASSERT_TRUE(ports.shown);
    const SetupRecord& r = *ports.shown;
    EXPECT_EQ(r.number(item::kP1Rate), 9600u);
    EXPECT_EQ(r.number(item::kP1Slave), 1u);
    EXPECT_EQ(ipv4Text(r.number(item::kIpAddress)), "192.168.1.40");
    EXPECT_EQ(ipv4Text(r.number(item::kSubnetMask)), "255.255.255.0");
    EXPECT_EQ(r.text(item::kModemInit), "ATZ");
    EXPECT_EQ(r.text(item::kModuleName), "QD40");
    EXPECT_EQ(r.number(item::kGatewayWait), 10u);
    EXPECT_EQ(serialInterface(r, 1), SerialInterface::Standard);
    EXPECT_TRUE(progressClosed());
}

// While the pages are shown the module's clock is read and set on the same
// connection.
TEST_F(SetupSim, PagesReadAndSetTheModuleClock) {
    start({});
    std::optional<DateTime> before, after;
    bool sent = false;
    ports.clockCheck = [&](const SetupClock& clock) {
        before = clock.read();
        sent = clock.send(DateTime{2031, 5, 17, 8, 30, 0, 0});
        after = clock.read();
    };
    ports.ok = false;
    ASSERT_EQ(runSheet(), S_FALSE);
    ASSERT_TRUE(before && after);
    EXPECT_TRUE(sent);
    EXPECT_NE(before->year, 2031);
    EXPECT_EQ(after->year, 2031);
    EXPECT_EQ(after->month, 5);
    EXPECT_EQ(after->day, 17);
    EXPECT_EQ(after->hour, 8);
    EXPECT_TRUE(prompter.shown.empty());
}

TEST_F(SetupSim, ChangedItemsAreSentWithTheirWordsAndStored) {
    start({});
    ports.edit = [](SetupRecord& r) {
        r.setNumber(item::kIpAddress, *parseIpv4("10.1.2.3"));
        ASSERT_TRUE(r.setText(item::kModuleName, "Boiler room"));
        r.setNumber(item::kP2Rate, 115200);
        setSerialInterface(r, 1, SerialInterface::Radio);
        r.setNumber(item::kFrontRunStop, 1);
    };
    ASSERT_EQ(runSheet(), S_OK);
    EXPECT_EQ(sent.items(kCmdWriteSetupItem),
              (std::vector<int>{item::kP2Rate, item::kIpAddress, item::kModuleName,
                                item::kFrontRunStop, item::kP1Pause, item::kP1EofCount}));
    const auto writes = sent.withCode(kCmdWriteSetupItem);
    const uint16_t c1 = module::kConfirmWord1, c2 = module::kConfirmWord2;
    EXPECT_EQ(writes[0], (std::vector<uint16_t>{25, 5, c1, c2, 4, 0xC200, 0x0001}));
    EXPECT_EQ(writes[1], (std::vector<uint16_t>{25, 7, c1, c2, 21, 10, 1, 2, 3}));
    ASSERT_EQ(writes[2].size(), 2u + 67u);
    EXPECT_EQ(writes[2][5], uint16_t('B' << 8 | 'o'));
    EXPECT_EQ(writes[2][10], uint16_t('m' << 8));
    EXPECT_EQ(writes[5], (std::vector<uint16_t>{25, 4, c1, c2, 54, 8}));
    EXPECT_EQ(sent.withCode(kCmdStoreSetup).size(), 1u);

    const SetupRecord back = readBack();
    EXPECT_EQ(ipv4Text(back.number(item::kIpAddress)), "10.1.2.3");
    EXPECT_EQ(back.text(item::kModuleName), "Boiler room");
    EXPECT_EQ(back.number(item::kP2Rate), 115200u);
    EXPECT_EQ(serialInterface(back, 1), SerialInterface::Radio);
    EXPECT_EQ(back.number(item::kFrontRunStop), 1u);
}

// Release B.03 has no front button setting: the change is explained and not
// sent, the other change goes through.
TEST_F(SetupSim, OlderModuleRefusesFrontButtonWithItsMessageAndSendsNothingForIt) {
    start({"--fw-version", "B.03"});
    ports.edit = [](SetupRecord& r) {
        r.setNumber(item::kFrontRunStop, 1);
        r.setNumber(item::kMains60Hz, 1);
    };
    ASSERT_EQ(runSheet(), S_OK);
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].text, setupText(stext::kFrontButtonSince));
    EXPECT_EQ(prompter.shown[0].icon, Icon::Exclamation);
    EXPECT_EQ(sent.items(kCmdWriteSetupItem), std::vector<int>{item::kMains60Hz});
    const SetupRecord back = readBack();
    EXPECT_EQ(back.number(item::kFrontRunStop), 0u);
    EXPECT_EQ(back.number(item::kMains60Hz), 1u);
}

// Test build Z.12 predates items 40 to 45: they read as 0 without a
// request, even when the module's memory holds something there.
TEST_F(SetupSim, EarlyTestModuleReadsItems40To45AsZeroWithoutAsking) {
    std::string lines;
    for (int id : {40, 43, 44})
        lines += "setup " + std::to_string(id) + " 000A 0001 0002 0003\n";
    lines += "setup 45 0001\n";
    start({"--fw-version", "Z.12"}, lines);
    ports.ok = false;
    ASSERT_EQ(runSheet(), S_FALSE);
    const std::vector<int> asked = sent.items(kCmdReadSetupItem);
    for (int id = 40; id <= 45; ++id) {
        EXPECT_EQ(std::count(asked.begin(), asked.end(), id), 0) << id;
        EXPECT_EQ(formatItem(*ports.shown, id), findSetupItem(id)->type == ValueType::Text ? ""
                                                : findSetupItem(id)->type == ValueType::Ipv4
                                                    ? "0.0.0.0"
                                                    : "0")
            << id;
    }
    EXPECT_EQ(asked.size(), size_t(kSetupItemCount - 6 - 3 - 1 - 1 - 4))
        << "items 40-45, 47-49, 50, 51 and 52-55 are all absent from Z.12";
    EXPECT_EQ(ports.shown->number(item::kGatewayWait), 10u);
    EXPECT_EQ(ports.shown->number(item::kP1EofCount), 4u);
    EXPECT_TRUE(sent.withCode(kCmdStoreSetup).empty()) << "Cancel sends nothing";
}

TEST_F(SetupSim, ModuleSilentMidWriteReportsTheItemItStoppedAt) {
    start({});
    ports.edit = [](SetupRecord& r) {
        r.setNumber(item::kIpAddress, *parseIpv4("10.0.0.9"));
        ASSERT_TRUE(r.setText(item::kModuleName, "Silent"));
        r.setNumber(item::kMailOnPowerOn, 1);
    };
    // The module goes quiet once the address is written, before the name.
    bool writing = false;
    ports.progressDialog.before = [&](int64_t pos) {
        if (ports.progressDialog.titleId() == stext::kWritingSetup)
            writing = true;
        if (writing && pos == indexOf(item::kModuleName)) {
            ASSERT_TRUE(sim->setFaults("off 1\n"));
        }
    };
    const HRESULT hr = runSheet();
    EXPECT_TRUE(failed(hr));
    EXPECT_EQ(sent.items(kCmdWriteSetupItem),
              (std::vector<int>{item::kIpAddress, item::kModuleName}));
    EXPECT_TRUE(sent.withCode(kCmdStoreSetup).empty());
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_NE(prompter.shown[0].text.find("SETUP item 34 (module-name)"), std::string::npos)
        << prompter.shown[0].text;
    EXPECT_TRUE(progressClosed());
}

TEST_F(SetupSim, CancelWhileReadingEndsWithAbortAndNothingWritten) {
    start({});
    ports.progressDialog.before = [&](int64_t pos) {
        if (pos == 5)
            ports.progressDialog.requestCancel();
    };
    EXPECT_EQ(runSheet(), E_ABORT);
    EXPECT_EQ(sent.items(kCmdReadSetupItem).size(), 5u);
    EXPECT_FALSE(ports.shown) << "no pages after a failed read";
    EXPECT_TRUE(sent.withCode(kCmdStoreSetup).empty());
    EXPECT_TRUE(prompter.shown.empty()) << "a cancel is not an error to show";
}

TEST_F(SetupSim, PortThatCannotOpenShowsUnableToOpenCommunication) {
    start({});
    ports.port = 3;  // COM3 stands for a device that does not exist
    ASSERT_TRUE(svr.setPortDevice(3, svr.runtimeDir() + "/no-such-tty"));
    machine.writeInt(kSetupSection, kSetupComEntry, 1);
    EXPECT_TRUE(failed(runSheet()));
    ASSERT_FALSE(prompter.shown.empty());
    EXPECT_EQ(prompter.shown[0].text.rfind(setupText(stext::kUnableToOpenComm), 0), 0u);
    EXPECT_EQ(machine.readInt(kSetupSection, kSetupComEntry, 0), 1) << "a failed port is not kept";
    EXPECT_TRUE(sent.blocks.empty());
}

TEST_F(SetupSim, ResetAfterTheManufacturingCodeRestoresTheFactorySetup) {
    start({});
    ports.edit = [](SetupRecord& r) { ASSERT_TRUE(r.setText(item::kModuleName, "Renamed")); };
    ASSERT_EQ(runSheet(), S_OK);
    ASSERT_EQ(readBack().text(item::kModuleName), "Renamed");

    const ServiceCodes codes{{11, 22, 33}};
    struct Case {
        std::optional<int> code;
        std::vector<Answer> answers;
        bool reset;
    };
    for (const Case& c : {Case{std::nullopt, {}, false}, Case{11, {}, false},
                          Case{22, {Answer::No}, false}, Case{22, {Answer::Yes}, true}}) {
        prompter.shown.clear();
        prompter.answers.assign(c.answers.begin(), c.answers.end());
        ports.code = c.code;
        SetupCommands commands(factory(), machine, prompter, ports, codes);
        EXPECT_EQ(commands.resetSetup(), c.reset ? S_OK : S_FALSE);
        if (c.code == 11) {
            ASSERT_EQ(prompter.shown.size(), 1u);
            EXPECT_EQ(prompter.shown[0].text,
                      "This code does not grant access to Service \"Manufacturing\"");
        }
        EXPECT_EQ(readBack().text(item::kModuleName), c.reset ? "QD40" : "Renamed")
            << c.code.value_or(-1);
    }
}

// The Ethernet address asks the manufacturing code before connecting.
TEST_F(SetupSim, EthernetAddressNeedsTheManufacturingCodeBeforeConnecting) {
    start({});
    const ServiceCodes codes{{11, 22, 33}};
    ports.code = 33;  // the adjustment service's code
    SetupCommands commands(factory(), machine, prompter, ports, codes);
    EXPECT_EQ(commands.ethernetAddress(), S_FALSE);
    EXPECT_EQ(ports.askedPort, 0) << "no port asked";
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].text,
              "This code does not grant access to Service \"Manufacturing\"");
    ports.code = 22;
    EXPECT_EQ(commands.ethernetAddress(), S_FALSE) << "the dialog was cancelled";
    EXPECT_EQ(ports.ethernetShown, 1);
    EXPECT_EQ(ports.askedPort, 1);
    EXPECT_TRUE(sent.blocks.empty());
}

// The e-mail counter of a document's module: read, forced, and the sending
// conditions reset; each action gives the module's communication back.
TEST(EmailCounterSim, ReadsForcesAndResetsThroughTheItem) {
    app::testing::SimulatedModule module;
    ASSERT_TRUE(module.start({}));
    CTavikDoc doc(module.controls());
    ScriptedPrompter prompter;
    app::testing::RecordingSession session;
    DocOperations ops(doc, prompter, session);
    prompter.commParams.push_back(ctl::CtlConnection{
        false, "127.0.0.1", static_cast<int16_t>(module.sim->tcpPort()), true, 9600, 1, 0});
    CTavikItem* item = ops.addModule(nullptr);
    ASSERT_NE(item, nullptr);

    EmailCounter counter(ops, *item);
    EXPECT_EQ(counter.title(),
              "Counter of E-mails sent by module \"" + item->longDisplayName() + "\"");
    EXPECT_EQ(counter.count(), std::nullopt);
    ASSERT_TRUE(counter.update());
    EXPECT_EQ(counter.count(), 0);
    ASSERT_TRUE(counter.forceTo(42));
    EXPECT_EQ(counter.count(), 42) << "read back from the module";
    EXPECT_TRUE(counter.resetConditions());
    int32_t open = -1;
    ASSERT_EQ(item->control().get_IsOpen(&open), S_OK);
    EXPECT_EQ(open, 0) << "the communication is given back";
    EXPECT_TRUE(prompter.shown.empty());

    // A module that went away: the failure is shown, the last count kept.
    module.sim->stop();
    EXPECT_FALSE(counter.update());
    EXPECT_EQ(counter.count(), 42);
    EXPECT_EQ(prompter.shown.size(), 1u);
}

// The communication interfaces of a document's module: the SETUP sheet over
// the item's own line, remote control taken only for the sheet's time.
TEST(ModuleInterfacesSim, SheetOverTheItemsLineGivesItsCommunicationBack) {
    app::testing::SimulatedModule module;
    ASSERT_TRUE(module.start({}));
    CTavikDoc doc(module.controls());
    ScriptedPrompter prompter;
    app::testing::RecordingSession session;
    DocOperations ops(doc, prompter, session);
    prompter.commParams.push_back(ctl::CtlConnection{
        false, "127.0.0.1", static_cast<int16_t>(module.sim->tcpPort()), true, 9600, 1, 0});
    CTavikItem* item = ops.addModule(nullptr);
    ASSERT_NE(item, nullptr);
    settings::CLocalMachineReg machine{platform::RegistryStore(module.svr.registryDir())};
    Ports ports;
    int32_t remoteDuringSheet = -1;
    ports.edit = [&](SetupRecord& record) {
        item->control().get_IsRemote(&remoteDuringSheet);
        EXPECT_TRUE(record.setText(item::kModuleName, "Boiler room"));
    };
    SetupCommands commands(ctl::daemonFactory(), machine, prompter, ports);

    ASSERT_EQ(showModuleInterfaces(commands, ops, *item), S_OK);
    EXPECT_EQ(ports.askedPort, 0) << "no serial port asked";
    ASSERT_TRUE(ports.shown);
    EXPECT_EQ(remoteDuringSheet, 1);
    int32_t open = -1, remote = -1;
    ASSERT_EQ(item->control().get_IsOpen(&open), S_OK);
    EXPECT_EQ(open, 0) << "the communication is given back";
    EXPECT_TRUE(prompter.shown.empty());

    // Read again: the change is in the module, and a module already under
    // remote control stays so after a cancelled sheet.
    ports.ok = false;
    ports.edit = nullptr;
    ASSERT_EQ(ops.withOpenItem(*item,
                               [&](ctl::OvixQd40Ctl& c) {
                                   if (HRESULT hr = c.Remote(); failed(hr))
                                       return hr;
                                   const HRESULT shown = showModuleInterfaces(commands, ops, *item);
                                   c.get_IsRemote(&remote);
                                   c.Local();
                                   return shown;
                               }),
              S_FALSE);
    EXPECT_EQ(remote, 1);
    EXPECT_EQ(ports.shown->text(item::kModuleName), "Boiler room");

    // A module that went away: the failure is shown once.
    module.sim->stop();
    EXPECT_EQ(showModuleInterfaces(commands, ops, *item), E_FAIL);
    EXPECT_EQ(prompter.shown.size(), 1u);
}

}  // namespace
}  // namespace qd40::app::setup::testing
