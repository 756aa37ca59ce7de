// The live dialogs' tests: the module simulator and the daemon started for
// the test, a document whose items are simulated modules, scripted answers
// and a session that records audit events.
#pragma once
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include <gtest/gtest.h>

#include "app/core/open_for_command.h"
#include "app/core/tests/doc_test_support.h"
#include "app/security/clock.h"
#include "common/config/cfg_layout.h"
#include "control/ctl/daemon_factory.h"
#include "server/port_settings.h"
#include "testing/server_process.h"
#include "testing/sim_process.h"

namespace qd40::app::live::testing {

// The computer's time as the test sets it.
struct FixedClock : security::Clock {
    security::LocalTime now() const override { return t; }
    security::LocalTime t = security::localTimeOf(2030, 1, 2, 3, 4, 5);
};

class LiveTest : public ::testing::Test {
protected:
    // Starts one simulator per entry of simArgs and gives the document one
    // item for each.
    void start(std::vector<std::vector<std::string>> simArgs = {{"--time-scale", "10"}}) {
        // A silent module fails a request within half a second.
        platform::RegistryStore(svr.registryDir())
            .setDword(platform::Hive::LocalMachine, server::kCommunicationKey, "IpTimeOut", 500);
        ASSERT_TRUE(svr.ok()) << svr.error();
        doc = std::make_unique<CTavikDoc>(
            app::testing::controlFactory(ctl::daemonFactory(), svr.registryDir()));
        for (auto& args : simArgs) {
            qd40::testing::SimProcess::Options o;
            o.args = args;
            sims.push_back(std::make_unique<qd40::testing::SimProcess>(o));
            ASSERT_TRUE(sims.back()->ok()) << sims.back()->error();
            CTavikItem& item = doc->newItem();
            item.control().put_Serial(0);
            item.control().put_IpAddr("127.0.0.1");
            item.control().put_Port(sims.back()->tcpPort());
            doc->numberItem(item);
        }
    }
    CTavikItem& item(size_t i = 0) { return *doc->items().at(i); }
    // Starts the acquisition of module i, leaving its control as it was.
    void runModule(size_t i = 0) {
        OpenForCommand open(item(i).control());
        ASSERT_EQ(open.result(), S_OK) << item(i).control().lastError().description;
        ASSERT_EQ(item(i).control().Run(), S_OK) << item(i).control().lastError().description;
    }
    // Gives item i a configuration whose relays are driven over MODBUS or by
    // the global alarms, and sends it to the module when asked.
    void configureRelays(bool relay1, bool relay2, bool send, size_t i = 0) {
        ctl::OvixQd40Ctl& c = item(i).control();
        cfg::FullCfgData full = c.state().cfg;
        cfg::FullCfgView(full).setRelayModbus(1, relay1);
        cfg::FullCfgView(full).setRelayModbus(2, relay2);
        ASSERT_EQ(c.put_Cfg(cfg::packBlob(full)), S_OK);
        if (!send)
            return;
        OpenForCommand open(c);
        ASSERT_EQ(c.SendCfg(), S_OK) << c.lastError().description;
    }
    bool isOpen(size_t i = 0) {
        int32_t open = 0;
        item(i).control().get_IsOpen(&open);
        return open != 0;
    }
    // Calls `step` until `done` holds, for at most `seconds`.
    static bool until(const std::function<bool()>& done, const std::function<void()>& step = {},
                      double seconds = 10) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (!done()) {
            if (std::chrono::steady_clock::now() > end)
                return false;
            if (step)
                step();
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return true;
    }

    qd40::testing::ServerProcess svr;
    std::vector<std::unique_ptr<qd40::testing::SimProcess>> sims;
    app::testing::ScriptedPrompter prompter;
    app::testing::RecordingSession session;
    std::unique_ptr<CTavikDoc> doc;
};

}  // namespace qd40::app::live::testing
