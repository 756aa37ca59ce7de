// The panel's way to the daemon of this user: objects through the RPC proxy
// (a new one starts the daemon through activation; "running" only reaches a
// daemon that already serves its socket) and the request to end, sent to the
// process named by the daemon's pid file once its instance lock shows it is
// the daemon.
#pragma once
#include <chrono>

#include "server/panel/panel_logic.h"

namespace qd40::panel {

class LocalDaemon final : public DaemonAccess {
public:
    explicit LocalDaemon(std::chrono::milliseconds quitTimeout = std::chrono::seconds(10))
        : quitTimeout_(quitTimeout) {}
    std::unique_ptr<PanelObject> create(Status* status) override;
    std::unique_ptr<PanelObject> running(Status* status) override;
    Status quit() override;
    Status transportVersion(uint32_t& versionMS, uint32_t& versionLS, std::string& name) override;

private:
    std::chrono::milliseconds quitTimeout_;
};

}  // namespace qd40::panel
