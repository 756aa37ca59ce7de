// A communication server living in the test process: Qd40 objects over the
// real MODBUS transport, handed to the control through its factory. It lets
// the control's tests reach qd40sim without a daemon.
#pragma once
#include <filesystem>
#include <memory>

#include "control/ctl/qd40_link.h"
#include "server/qd40.h"
#include "server/transport/line.h"
#include "server/transport/modbus_transport.h"

namespace qd40::ctl::testing {

class InProcessServer {
public:
    explicit InProcessServer(std::filesystem::path mutexDir) : mutexDir_(std::move(mutexDir)) {
        std::filesystem::create_directories(mutexDir_);
        context_.createMutex = [this](const std::string& name) {
            return platform::NamedMutex::create(mutexDir_, name);
        };
        for (int n = 1; n <= server::kPortCount; ++n)
            ports_.port(n).available = 1;
    }

    Qd40Factory factory() {
        return [this](const std::string& host, std::unique_ptr<Qd40Link>& out) -> Status {
            if (!host.empty())
                return Status::failure(refuseRemote, "no remote daemon in this test");
            out = std::make_unique<Qd40LinkTo<server::Qd40>>(
                std::make_unique<server::Qd40>(context_));
            return Status::ok();
        };
    }

    server::PortSettingsTable& ports() { return ports_; }
    HRESULT refuseRemote = E_ACCESSDENIED;

private:
    std::filesystem::path mutexDir_;
    server::PortSettingsTable ports_;
    server::ServerLife life_;
    transport::LineRegistry lines_;
    server::Qd40Context context_{ports_, life_, [this] {
                                     return std::make_unique<transport::ModbusTransport>(
                                         lines_,
                                         [this](int32_t port) { return ports_.port(port).device; });
                                 }};
};

}  // namespace qd40::ctl::testing
