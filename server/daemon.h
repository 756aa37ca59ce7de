// The daemon ovixqd40svr serving Qd40 objects: one event loop thread runs
// every object and every call one after another. It listens on its Unix
// socket in the runtime folder (owner-only) and, with -Listen, on TCP; it
// ends about 5 seconds after its last object, lock and open channel.
#pragma once
#include <optional>
#include <string>

namespace qd40::server {

struct DaemonOptions {
    bool lock = false;                  // never end by itself
    std::optional<std::string> listen;  // "ADDR[:PORT]" for remote clients
};

// Serves until idle or signalled; returns the process exit code.
int runDaemon(const DaemonOptions& options);

// The whole command line of ovixqd40svr; returns the exit code.
int daemonMain(int argc, char** argv);

}  // namespace qd40::server
