// End-to-end fixture: a private daemon world (ServerProcess) and qd40sim on
// loopback TCP and a pseudo-terminal; clients reach the daemon through
// activation, exactly as the control does.
#pragma once
#include <gtest/gtest.h>

#include "platform/registry.h"
#include "server/port_settings.h"
#include "server/rpc/qd40_client.h"
#include "testing/server_process.h"
#include "testing/sim_process.h"

namespace qd40::server::testing {

// Short time-outs so that the failure paths stay quick; written before the
// daemon starts, which loads them.
inline void writeShortTimeouts() {
    platform::RegistryStore store;
    store.setDword(platform::Hive::LocalMachine, kCommunicationKey, "Retries", 1);
    store.setDword(platform::Hive::LocalMachine, kCommunicationKey, "RsTimeOut", 300);
    store.setDword(platform::Hive::LocalMachine, kCommunicationKey, "IpTimeOut", 500);
}

inline std::unique_ptr<rpc::Qd40Client> newClient() {
    Status st;
    auto q = rpc::Qd40Client::create("", &st);
    EXPECT_TRUE(q) << st.error.description;
    return q;
}

}  // namespace qd40::server::testing
