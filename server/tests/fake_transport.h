// A scripted transport for tests that check exact MODBUS request sequences:
// it serves a register memory, runs the command mailbox through a callback,
// and logs every setting and request as text ("R3 6000 1", "W16 44000 3").
#pragma once
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "server/transport/transport.h"

namespace qd40::server::testing {

struct FakeModule {
    std::map<int32_t, uint16_t> holding, input;
    std::map<int32_t, uint8_t> coils;
    std::vector<std::string> log;
    // Answer words of a command block (code, count, parameters).
    std::function<std::vector<uint16_t>(const std::vector<uint16_t>&)> onCommand;
    int refuseWritesWith = -1;               // module error code for every write, -1: accept
    std::map<std::string, Status> failures;  // by log prefix ("R3 6000", "Connect")
    bool channelAlreadyOpen = false;
    int16_t connectResult = -1;
    int16_t halfDuplexActive = 0;
    int32_t portNumber = 0;
    int transportsCreated = 0;
    int transportsAlive = 0;

    // Only the requests ("R..."/"W...") of the log.
    std::vector<std::string> requests() const;
    transport::TransportFactory factory();
};

}  // namespace qd40::server::testing
