// A Qd40 object over the scripted fake transport, with its own port settings
// table, lock count and mutex folder.
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "server/qd40.h"
#include "server/tests/fake_transport.h"

namespace qd40::server::testing {

class Qd40Fixture : public ::testing::Test {
protected:
    Qd40Fixture() {
        mutexDir = std::filesystem::temp_directory_path() /
                   ("qd40-mx-" + std::to_string(::getpid()) + "-" +
                    ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(mutexDir);
        context.createMutex = [this](const std::string& name) {
            return platform::NamedMutex::create(mutexDir, name);
        };
        for (int n = 1; n <= kPortCount; ++n)
            ports.port(n).available = 1;
    }
    ~Qd40Fixture() override { std::filesystem::remove_all(mutexDir); }

    // Opens COM3 on the fake and forgets the opening's log.
    void openSerial(Qd40& q, int port = 3) {
        int32_t err = 0;
        ASSERT_EQ(q.OpenComm("", port, &err), S_OK) << q.lastError().description;
        module.log.clear();
    }
    void openTcp(Qd40& q) {
        int32_t err = 0;
        ASSERT_EQ(q.OpenComm("10.1.2.3", 502, &err), S_OK) << q.lastError().description;
        module.log.clear();
    }

    FakeModule module;
    PortSettingsTable ports;
    ServerLife life;
    std::filesystem::path mutexDir;
    Qd40Context context{ports, life, module.factory()};
};

}  // namespace qd40::server::testing
