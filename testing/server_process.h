// ServerProcess: a private world for the communication daemon ovixqd40svr.
//
//   qd40::testing::ServerProcess svr;     // private registry and runtime folder
//   ASSERT_TRUE(svr.ok()) << svr.error(); // ... and the Qd40 class registered
//   svr.setPortDevice(1, sim.rtuPath());  // COM1 stands for the simulator's line
//   auto q = qd40::rpc::Qd40Client::create();  // activation starts the daemon
//   // or: ASSERT_TRUE(svr.start({"-Lock"}));  // start it yourself
//
// The constructor makes two temporary folders and points OVIX_REGISTRY and
// OVIX_RUNTIME_DIR of this process at them (restored by the destructor), so
// the test's clients, activation and the daemon all use them and nothing
// touches the user's settings. It then runs "ovixqd40svr -RegServer". The
// program is $QD40_BIN_DIR/ovixqd40svr, else the one beside the test.
// Whoever started the daemon, it is found by the pid file it keeps in the
// runtime folder and stopped by that pid (SIGTERM, then SIGKILL after a
// bounded wait) when the ServerProcess ends.
#pragma once
#include <sys/types.h>

#include <string>
#include <vector>

namespace qd40::testing {

class ServerProcess {
public:
    struct Options {
        bool registerClass = true;
        // The descriptor limit (RLIMIT_NOFILE) of a daemon started by start();
        // 0 keeps this process's limit.
        int maxOpenFiles = 0;
    };
    ServerProcess();
    explicit ServerProcess(const Options& options);
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }
    const std::string& registryDir() const { return registryDir_; }
    const std::string& runtimeDir() const { return runtimeDir_; }
    std::string socketPath() const { return runtimeDir_ + "/ovixqd40svr.sock"; }
    static std::string program();

    // Runs the program once with `args` and returns its exit code (-1 when it
    // did not end within the time-out; it is then killed).
    int run(const std::vector<std::string>& args, int timeoutMs = 10000);
    // "ovixqd40svr -Port N=PATH": COM n stands for `device`.
    bool setPortDevice(int n, const std::string& device);

    // Starts the daemon with `args` and waits, bounded, for its socket.
    bool start(const std::vector<std::string>& args = {}, int timeoutMs = 10000);
    // The running daemon's pid from its pid file, -1 when none runs.
    pid_t daemonPid() const;
    // Waits until no daemon runs; false on time-out.
    bool waitExit(int timeoutMs) const;
    // Stops the running daemon; true when none runs afterwards.
    bool stop(int timeoutMs = 5000);

private:
    std::string error_;
    std::string registryDir_, runtimeDir_;
    std::string savedRegistry_, savedRuntime_;
    bool hadRegistry_ = false, hadRuntime_ = false;
    pid_t child_ = -1;
    int maxOpenFiles_ = 0;
};

// True while process `pid` exists and is not a zombie.
bool processAlive(pid_t pid);

}  // namespace qd40::testing
