#include "server/panel/panel_daemon.h"

#include <signal.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <thread>

#include "platform/activation/activation.h"
#include "platform/named_mutex.h"
#include "platform/runtime_dir.h"
#include "server/rpc/qd40_client.h"
#include "server/transport/line.h"
#include "server/transport/modbus_transport.h"

namespace qd40::panel {

namespace {

using Client = rpc::Qd40Client;
constexpr const char* kInstanceMutex = "ovixqd40svr";
constexpr const char* kDaemonName = "ovixqd40svr";

std::unique_ptr<PanelObject> wrap(std::unique_ptr<Client> client) {
    if (!client)
        return nullptr;
    return std::make_unique<PanelObjectOver<Client>>(std::move(client));
}

// True while a daemon holds the instance lock of the runtime folder.
bool daemonRuns(const std::filesystem::path& dir) {
    auto probe = platform::NamedMutex::create(dir, kInstanceMutex);
    return probe.outcome == platform::NamedMutex::Outcome::AlreadyExists;
}

std::string processName(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(in, name);
    return name;
}

}  // namespace

std::unique_ptr<PanelObject> LocalDaemon::create(Status* status) {
    return wrap(Client::create("", status));
}

std::unique_ptr<PanelObject> LocalDaemon::running(Status* status) {
    if (status)
        *status = Status::ok();
    activation::Connection c = activation::connectSocket(activation::socketPath());
    if (!c)
        return nullptr;
    return wrap(Client::createOnSocket(c.fd, status));
}

Status LocalDaemon::quit() {
    const auto dir = platform::runtimeDirPath();
    if (!daemonRuns(dir))
        return Status::ok();
    const auto pidFile = dir / "ovixqd40svr.pid";
    pid_t pid = 0;
    {
        std::ifstream in(pidFile);
        in >> pid;
    }
    if (pid <= 0)
        return Status::failure(E_FAIL, "no process number in " + pidFile.string());
    // A pid file left by a dead daemon may name another program by now.
    if (processName(pid) != kDaemonName)
        return Status::failure(E_FAIL, "process " + std::to_string(pid) + " named by " +
                                           pidFile.string() + " is not " + kDaemonName);
    if (::kill(pid, SIGTERM) != 0)
        return Status::failure(E_FAIL,
                               "process " + std::to_string(pid) + ": " + std::strerror(errno));
    const auto deadline = std::chrono::steady_clock::now() + quitTimeout_;
    while (daemonRuns(dir)) {
        if (std::chrono::steady_clock::now() >= deadline)
            return Status::failure(E_FAIL, "process " + std::to_string(pid) + " still runs after " +
                                               std::to_string(quitTimeout_.count()) + " ms");
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return Status::ok();
}

Status LocalDaemon::transportVersion(uint32_t& versionMS, uint32_t& versionLS, std::string& name) {
    // The daemon and the panel come from one build: a transport made for the
    // purpose, and dropped at once, answers for the daemon's.
    transport::LineRegistry lines;
    transport::ModbusTransport t(lines, [](int32_t) { return std::string(); });
    return t.GetComponentVersion(versionMS, versionLS, name);
}

}  // namespace qd40::panel
