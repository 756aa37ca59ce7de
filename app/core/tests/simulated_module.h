// A simulated module behind the daemon, for the tests of document
// operations: qd40sim on a free loopback port, the daemon with private
// registry and runtime folders, and a folder for the test's files.
#pragma once
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/core/tavik_doc.h"
#include "app/core/tests/doc_test_support.h"
#include "control/ctl/daemon_factory.h"
#include "server/port_settings.h"
#include "testing/server_process.h"
#include "testing/sim_process.h"

namespace qd40::app::testing {

struct SimulatedModule {
    // Starts the simulator with simArgs. With silentMs, the daemon gives up
    // on a module that does not answer after that long (its own setting).
    ::testing::AssertionResult start(std::vector<std::string> simArgs, int silentMs = 0) {
        if (!svr.ok())
            return ::testing::AssertionFailure() << svr.error();
        if (silentMs > 0)
            platform::RegistryStore(svr.registryDir())
                .setDword(platform::Hive::LocalMachine, server::kCommunicationKey, "IpTimeOut",
                          static_cast<uint32_t>(silentMs));
        qd40::testing::SimProcess::Options o;
        o.args = std::move(simArgs);
        sim = std::make_unique<qd40::testing::SimProcess>(o);
        if (!sim->ok())
            return ::testing::AssertionFailure() << sim->error();
        folder = std::filesystem::path(svr.runtimeDir()) / "files";
        std::filesystem::create_directories(folder);
        return ::testing::AssertionSuccess();
    }
    // Controls that reach the daemon, as the application's.
    CTavikDoc::ControlFactory controls() const {
        return controlFactory(ctl::daemonFactory(), svr.registryDir());
    }

    qd40::testing::ServerProcess svr;
    std::unique_ptr<qd40::testing::SimProcess> sim;
    std::filesystem::path folder;
};

}  // namespace qd40::app::testing
