// The panel's logic without windows: the store, the enabling rule, Validate
// and Exit against a scripted daemon whose objects are real Qd40 objects over
// the scripted transport, the channel test's fields, identifiers and report,
// and the about box's lines.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "common/module_constants.h"
#include "server/panel/panel_logic.h"
#include "server/panel/panel_strings.h"
#include "server/qd40.h"
#include "server/tests/fake_transport.h"

namespace qd40::panel {
namespace {

using platform::Hive;
using server::kCommunicationKey;

struct Shown {
    MessagePort::Icon icon;
    std::string title, text;
};

class RecordingMessages final : public MessagePort {
public:
    void message(Icon icon, const std::string& title, const std::string& text) override {
        shown.push_back({icon, title, text});
    }
    std::vector<Shown> shown;
};

// A daemon in this process: one port table, each object a real Qd40 over the
// scripted module.
class InProcessDaemon final : public DaemonAccess {
public:
    std::unique_ptr<PanelObject> create(Status* status) override {
        ++created;
        if (!reachable) {
            if (status)
                *status = Status::failure(hr(0x800706BA), "no daemon here");
            return nullptr;
        }
        if (status)
            *status = Status::ok();
        return std::make_unique<PanelObjectOver<server::Qd40>>(
            std::make_unique<server::Qd40>(context));
    }
    std::unique_ptr<PanelObject> running(Status* status) override {
        if (!runs) {
            if (status)
                *status = Status::ok();
            return nullptr;
        }
        return create(status);
    }
    Status quit() override {
        ++quitRequests;
        return quitResult;
    }
    Status transportVersion(uint32_t& ms, uint32_t& ls, std::string& name) override {
        ms = 0x00030001;
        ls = 0x000A0000;
        name = transportName;
        return Status::ok();
    }

    server::testing::FakeModule module;
    server::PortSettingsTable ports;
    server::ServerLife life;
    server::Qd40Context context{ports, life, module.factory()};
    std::string transportName = "libmodbus 3.1.10";
    bool runs = true;
    bool reachable = true;
    int created = 0;
    int quitRequests = 0;
    Status quitResult;
};

class PanelLogic : public ::testing::Test {
protected:
    static std::filesystem::path privateRoot() {
        return std::filesystem::temp_directory_path() /
               ("qd40-panel-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    PanelLogic() {
        std::filesystem::remove_all(root);
        std::filesystem::create_directories(root);
        mutexDir = root / "mutex";
        std::filesystem::create_directories(mutexDir);
        daemon.context.createMutex = [this](const std::string& name) {
            return platform::NamedMutex::create(mutexDir, name);
        };
        daemon.module.input[module::reg::kDeviceId] = module::kDeviceIdQd40M;
    }
    ~PanelLogic() override { std::filesystem::remove_all(root); }

    std::optional<uint32_t> stored(const std::string& name) {
        return store.getDword(Hive::LocalMachine, kCommunicationKey, name);
    }
    void putStored(const std::string& name, uint32_t v) {
        ASSERT_TRUE(store.setDword(Hive::LocalMachine, kCommunicationKey, name, v));
    }

    std::filesystem::path root = privateRoot();
    std::filesystem::path mutexDir;
    platform::RegistryStore store{root / "registry"};
    InProcessDaemon daemon;
    RecordingMessages messages;
};

TEST_F(PanelLogic, LoadShowsTheStoreAndTicksEnableTheLists) {
    putStored("Com5", 7);  // any non-zero value is ticked
    putStored("Rate5", 57600);
    putStored("HalfDuplex5", 1);
    putStored("Rate3", 4800);  // not in the list: 9600
    PortsPreConfig w(store, daemon, messages);
    ASSERT_TRUE(w.load());
    EXPECT_TRUE(messages.shown.empty());
    for (int n = 1; n <= 8; ++n) {
        SCOPED_TRACE(n);
        const PortRow& r = w.row(n);
        EXPECT_EQ(r.available, n == 5);
        EXPECT_EQ(w.listsEnabled(n), n == 5);
        EXPECT_EQ(rateOfEntry(r.rateIndex), n == 5 ? 57600u : 9600u);
        EXPECT_EQ(r.cablingIndex, n == 5 ? 1 : 2);
    }
    // Missing values are written with their defaults.
    EXPECT_EQ(stored("Com1"), 0u);
    EXPECT_EQ(stored("HalfDuplex8"), 2u);
    EXPECT_EQ(stored("EofCharQty4"), 4u);
    EXPECT_EQ(stored("Retries"), 5u);

    w.setAvailable(2, true);
    EXPECT_TRUE(w.listsEnabled(2));
    w.setAvailable(5, false);
    EXPECT_FALSE(w.listsEnabled(5));
    // The lists keep their entries; an index outside them changes nothing.
    w.setRateIndex(2, 5);
    w.setCablingIndex(2, 3);
    EXPECT_EQ(w.settings(2).baudRate, 9600u);
    EXPECT_EQ(w.settings(2).halfDuplex, 2);
}

TEST_F(PanelLogic, AStoreThatCannotBeWrittenSaysSoAndLeavesEveryPortUnavailable) {
    // A file where the store's folder should be.
    std::filesystem::remove_all(root / "registry");
    { std::ofstream(root / "registry") << "x"; }
    PortsPreConfig w(store, daemon, messages);
    EXPECT_FALSE(w.load());
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "Unable to access registry");
    EXPECT_EQ(messages.shown[0].icon, MessagePort::Icon::Exclamation);
    for (int n = 1; n <= 8; ++n)
        EXPECT_FALSE(w.row(n).available);
    // Validate cannot save either, and says the same.
    EXPECT_FALSE(w.validate());
    EXPECT_EQ(messages.shown.back().text, "Unable to access registry");
}

TEST_F(PanelLogic, ValidateWritesTheThreeValuesOfEveryPortAndGivesThemToTheRunningDaemon) {
    putStored("HalfDuplexPause2", 33);
    PortsPreConfig w(store, daemon, messages);
    ASSERT_TRUE(w.load());
    daemon.ports.port(5).available = 1;  // a client's put, not shown in the window
    w.setAvailable(2, true);
    w.setRateIndex(2, 4);     // 115200
    w.setCablingIndex(2, 0);  // 4 Wires
    w.setRateIndex(7, 1);     // 19200 on an unticked port
    ASSERT_TRUE(w.validate());
    EXPECT_TRUE(messages.shown.empty());

    for (int n = 1; n <= 8; ++n) {
        SCOPED_TRACE(n);
        const std::string num = std::to_string(n);
        const uint32_t rate = n == 2 ? 115200 : n == 7 ? 19200 : 9600;
        EXPECT_EQ(stored("Com" + num), n == 2 ? 1u : 0u);
        EXPECT_EQ(stored("Rate" + num), rate);
        EXPECT_EQ(stored("HalfDuplex" + num), n == 2 ? 0u : 2u);
        // The daemon's table now says the same: no restart needed.
        const auto& p = daemon.ports.port(n);
        EXPECT_EQ(p.available, n == 2 ? 1 : 0);
        EXPECT_EQ(p.baudRate, rate);
        EXPECT_EQ(p.halfDuplex, n == 2 ? 0 : 2);
    }
    // Pause and end-of-frame characters are the store's business alone.
    EXPECT_EQ(stored("HalfDuplexPause2"), 33u);
    EXPECT_EQ(daemon.ports.port(2).halfDuplexPause, 0);
}

TEST_F(PanelLogic, ValidateWithoutARunningDaemonOnlyWritesTheStore) {
    daemon.runs = false;
    PortsPreConfig w(store, daemon, messages);
    ASSERT_TRUE(w.load());
    w.setAvailable(4, true);
    ASSERT_TRUE(w.validate());
    EXPECT_EQ(stored("Com4"), 1u);
    EXPECT_EQ(daemon.created, 0) << "no daemon started for Validate";
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(PanelLogic, ADaemonThatCannotBeReachedKeepsTheStoreAndSaysWhy) {
    daemon.reachable = false;
    PortsPreConfig w(store, daemon, messages);
    ASSERT_TRUE(w.load());
    w.setAvailable(4, true);
    EXPECT_FALSE(w.validate());
    EXPECT_EQ(stored("Com4"), 1u);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_NE(messages.shown[0].text.find("The settings are saved"), std::string::npos);
    EXPECT_NE(messages.shown[0].text.find("no daemon here"), std::string::npos);
}

TEST_F(PanelLogic, ExitAsksTheDaemonToEndAndSaysWhenItDidNot) {
    PortsPreConfig w(store, daemon, messages);
    EXPECT_TRUE(w.exit());
    EXPECT_EQ(daemon.quitRequests, 1);
    daemon.quitResult = Status::failure(E_FAIL, "process 42 still runs");
    EXPECT_FALSE(w.exit());
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text,
              "The communication server did not end: process 42 still runs");
}

std::array<PortRow, 8> rowsWith(std::initializer_list<int> ticked) {
    std::array<PortRow, 8> rows{};
    for (int n : ticked)
        rows[size_t(n - 1)].available = true;
    return rows;
}

TEST_F(PanelLogic, TheChannelListHoldsTheTickedPortsThenModbusTcp) {
    struct Case {
        std::initializer_list<int> ticked;
        std::vector<std::pair<std::string, int>> entries;
    };
    const Case cases[] = {
        {{}, {{"MODBUS/TCP", 8}}},
        {{2, 5}, {{"Local Serial Port COM2", 1}, {"Local Serial Port COM5", 4}, {"MODBUS/TCP", 8}}},
        {{8}, {{"Local Serial Port COM8", 7}, {"MODBUS/TCP", 8}}},
    };
    for (const auto& c : cases) {
        ChannelTest t(rowsWith(c.ticked), daemon, messages);
        std::vector<std::pair<std::string, int>> got;
        for (const auto& e : t.entries())
            got.emplace_back(e.text, e.data);
        EXPECT_EQ(got, c.entries);
        EXPECT_EQ(t.selected(), -1);
        EXPECT_FALSE(t.addressEnabled());
        EXPECT_FALSE(t.ipEnabled());
    }
    ChannelTest t(rowsWith({3}), daemon, messages);
    t.select(0);
    EXPECT_TRUE(t.addressEnabled());
    EXPECT_FALSE(t.ipEnabled());
    t.select(1);
    EXPECT_TRUE(t.addressEnabled());
    EXPECT_TRUE(t.ipEnabled());
}

TEST_F(PanelLogic, InvalidFieldsSayInvalidParamsAndOpenNothing) {
    struct Case {
        int select;
        std::string address, ip, port;
    };
    // Entry 0 is COM1, entry 1 MODBUS/TCP.
    const Case cases[] = {
        {-1, "1", "", ""},
        {0, "", "", ""},
        {0, "x1", "", ""},
        {1, "1", "", "502"},
        {1, "1", "10.0.0.1", ""},
        {1, "1", "10.0.0.1", "50x"},
        {0, "99999999999999999999", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.address + "|" + c.ip + "|" + c.port);
        messages.shown.clear();
        ChannelTest t(rowsWith({1}), daemon, messages);
        t.select(c.select);
        EXPECT_FALSE(t.test(c.address, c.ip, c.port));
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].text, "Invalid Params");
        EXPECT_EQ(messages.shown[0].icon, MessagePort::Icon::Exclamation);
    }
    EXPECT_EQ(daemon.created, 0);
}

TEST_F(PanelLogic, OnlyTheTwoQd40IdentifiersPassTheTest) {
    struct Case {
        uint16_t id;
        bool ok;
    };
    const Case cases[] = {{0xB052, true}, {0xB05B, true}, {0xB053, false}, {0, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        messages.shown.clear();
        daemon.module.input[module::reg::kDeviceId] = c.id;
        ChannelTest t(rowsWith({}), daemon, messages);
        t.select(0);  // MODBUS/TCP
        EXPECT_EQ(t.test("1", "10.0.0.9", "502"), c.ok);
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].title, "Channel Test Report");
        EXPECT_EQ(messages.shown[0].text,
                  c.ok ? "Communication Channel is OK"
                       : "Communication Channel Test failed\nThe device read is not a QD40 module");
    }
    EXPECT_EQ(daemon.life.count(), 0) << "each test's object and channel are given back";
}

TEST_F(PanelLogic, ASerialTestUsesTheWindowsRowsAndNamesTheCabling) {
    struct Case {
        int16_t halfDuplex;
        const char* text;
    };
    const Case cases[] = {{0, "Communication Channel is OK (4 Wires)"},
                          {-1, "Communication Channel is OK (2 Wires)"}};
    for (const auto& c : cases) {
        messages.shown.clear();
        daemon.module.log.clear();
        daemon.module.halfDuplexActive = c.halfDuplex;
        // COM6 ticked in the window only, at 38400 on two wires: the daemon's
        // table still says unavailable, the window's rows win.
        auto rows = rowsWith({6});
        rows[5].rateIndex = 2;
        rows[5].cablingIndex = 1;
        ChannelTest t(rows, daemon, messages);
        t.select(0);
        EXPECT_TRUE(t.test("17", "", ""));
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].text, c.text);
        const auto& log = daemon.module.log;
        EXPECT_NE(std::find(log.begin(), log.end(), "SelectChannel COM6 1"), log.end());
        EXPECT_NE(std::find(log.begin(), log.end(), "BaudRate 38400"), log.end());
        EXPECT_NE(std::find(log.begin(), log.end(), "Cabling 1"), log.end());
        EXPECT_NE(std::find(log.begin(), log.end(), "R4 1019 1"), log.end())
            << ::testing::PrintToString(log);
    }
}

TEST_F(PanelLogic, AFailedStepReportsItsDescription) {
    daemon.module.connectResult = 0;
    ChannelTest t(rowsWith({2}), daemon, messages);
    t.select(0);
    EXPECT_FALSE(t.test("1", "", ""));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text,
              "Communication Channel Test failed\nUnable to open Local Serial Port");

    messages.shown.clear();
    daemon.reachable = false;
    EXPECT_FALSE(t.test("1", "", ""));
    EXPECT_EQ(messages.shown.at(0).text, "Communication Channel Test failed\nno daemon here");
}

TEST_F(PanelLogic, TheAboutBoxGivesTheDaemonsAndTheTransportsVersions) {
    AboutLines lines = aboutLines(daemon);
    EXPECT_EQ(lines.component, "Qd40 Communication Software Component");
    EXPECT_EQ(lines.server, "OvixQd40Svr Version B.10 (2,10,0,0)");
    EXPECT_EQ(lines.transport, "OvixModbusServer Version libmodbus 3.1.10 (3,1,10,0)");
    EXPECT_EQ(lines.legal, "Copyright (C) Ovix");
    EXPECT_EQ(lines.special, "");
    // The component's own name is not said twice.
    daemon.transportName = "OvixModbusServer (libmodbus 3.1.10)";
    EXPECT_EQ(aboutLines(daemon).transport, "OvixModbusServer Version libmodbus 3.1.10 (3,1,10,0)");
    daemon.reachable = false;
    lines = aboutLines(daemon);
    EXPECT_EQ(lines.server,
              "OvixQd40Svr Version (the communication server cannot be reached: no daemon here)");
}

TEST_F(PanelLogic, TextsFollowTheLanguage) {
    struct Case {
        const char* lang;
        const char* entry;
        std::vector<std::string> cabling;
        const char* validate;
    };
    const Case cases[] = {
        {"C", "Local Serial Port COM1", {"4 Wires", "2 Wires", "AutoCheck"}, "&Validate"},
        {"fr_FR.UTF-8", "Port Série local COM1", {"4 fils", "2 fils", "AutoCheck"}, "&Valider"},
    };
    const char* saved = ::getenv("LC_ALL");
    const std::string keep = saved ? saved : "";
    for (const auto& c : cases) {
        ::setenv("LC_ALL", c.lang, 1);
        ChannelTest t(rowsWith({1}), daemon, messages);
        EXPECT_EQ(t.entries().at(0).text, c.entry);
        EXPECT_EQ(cablingEntries(), c.cabling);
        EXPECT_EQ(panelText(kTxtValidate), c.validate);
    }
    if (saved)
        ::setenv("LC_ALL", keep.c_str(), 1);
    else
        ::unsetenv("LC_ALL");
}

}  // namespace
}  // namespace qd40::panel
