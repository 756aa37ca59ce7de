// The panel against the real daemon and simulator: Validate changes the
// table of the daemon that runs, the channel test passes on the simulated
// module over MODBUS/TCP and on its serial line, and Exit ends the daemon.
#include <gtest/gtest.h>

#include "server/panel/panel_daemon.h"
#include "server/port_settings.h"
#include "server/rpc/qd40_client.h"
#include "testing/server_process.h"
#include "testing/sim_process.h"

namespace qd40::panel {
namespace {

using qd40::testing::ServerProcess;
using qd40::testing::SimProcess;

class RecordingMessages final : public MessagePort {
public:
    void message(Icon, const std::string&, const std::string& text) override {
        texts.push_back(text);
    }
    std::vector<std::string> texts;
};

TEST(PanelWithDaemon, ValidateChangesTheRunningDaemonsTableAndExitEndsIt) {
    ServerProcess svr;
    ASSERT_TRUE(svr.ok()) << svr.error();
    ASSERT_TRUE(svr.start({"-Lock"}));
    const pid_t pid = svr.daemonPid();

    platform::RegistryStore store;
    LocalDaemon daemon;
    RecordingMessages messages;
    PortsPreConfig window(store, daemon, messages);
    ASSERT_TRUE(window.load());
    window.setAvailable(3, true);
    window.setRateIndex(3, 3);     // 57600
    window.setCablingIndex(3, 1);  // 2 Wires
    window.setAvailable(6, true);
    ASSERT_TRUE(window.validate()) << ::testing::PrintToString(messages.texts);

    // Another client of the same daemon sees the new table at once.
    Status st;
    auto q = rpc::Qd40Client::create("", &st);
    ASSERT_TRUE(q) << st.error.description;
    for (int n = 1; n <= 8; ++n) {
        SCOPED_TRACE(n);
        int32_t available = -1, cabling = -1;
        uint32_t rate = 0;
        ASSERT_EQ(q->GetAvailableComX(n, &available), S_OK);
        ASSERT_EQ(q->GetBaudRateComX(n, &rate), S_OK);
        ASSERT_EQ(q->GetHalfDuplexComX(n, &cabling), S_OK);
        EXPECT_EQ(available, n == 3 || n == 6 ? 1 : 0);
        EXPECT_EQ(rate, n == 3 ? 57600u : 9600u);
        EXPECT_EQ(cabling, n == 3 ? 1 : 2);
    }
    EXPECT_EQ(store.getDword(platform::Hive::LocalMachine, server::kCommunicationKey, "Rate3"),
              57600u);
    EXPECT_EQ(svr.daemonPid(), pid) << "the same daemon, not restarted";
    q.reset();

    // Exit ends the daemon although it was started with -Lock.
    ASSERT_TRUE(window.exit()) << ::testing::PrintToString(messages.texts);
    EXPECT_TRUE(svr.waitExit(5000));
    EXPECT_FALSE(qd40::testing::processAlive(pid));
    // Exit with no daemon left is no failure.
    EXPECT_TRUE(window.exit());
    EXPECT_TRUE(messages.texts.empty());
}

TEST(PanelWithDaemon, TheChannelTestPassesOnTheSimulatedModuleOverTcpAndSerial) {
    SimProcess::Options o;
    o.rtu = true;
    SimProcess sim(o);
    ASSERT_TRUE(sim.ok()) << sim.error();
    ServerProcess svr;
    ASSERT_TRUE(svr.ok()) << svr.error();
    ASSERT_TRUE(svr.setPortDevice(2, sim.rtuPath()));
    platform::RegistryStore store;
    store.setDword(platform::Hive::LocalMachine, server::kCommunicationKey, "Retries", 1);
    store.setDword(platform::Hive::LocalMachine, server::kCommunicationKey, "RsTimeOut", 300);

    LocalDaemon daemon;
    RecordingMessages messages;
    // COM2 ticked in the window only, never validated: activation starts the
    // daemon, which reads COM2 as unavailable, and the test still opens it.
    std::array<PortRow, 8> rows{};
    rows[1].available = true;
    ChannelTest test(rows, daemon, messages);
    ASSERT_EQ(test.entries().size(), 2u);
    test.select(1);
    EXPECT_TRUE(test.test("1", sim.tcpAddress(), std::to_string(sim.tcpPort())));
    test.select(0);
    EXPECT_TRUE(test.test("1", "", ""));
    EXPECT_EQ(messages.texts, (std::vector<std::string>{"Communication Channel is OK",
                                                        "Communication Channel is OK (4 Wires)"}));
    // A MODBUS address nobody answers on the line: the failure's own description.
    messages.texts.clear();
    EXPECT_FALSE(test.test("77", "", ""));
    ASSERT_EQ(messages.texts.size(), 1u);
    EXPECT_EQ(messages.texts[0].rfind("Communication Channel Test failed\n", 0), 0u)
        << messages.texts[0];
}

}  // namespace
}  // namespace qd40::panel
