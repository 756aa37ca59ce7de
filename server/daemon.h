// The daemon ovixqd40svr serving Qd40 objects: one event loop thread carries
// every client's calls, each object runs them on a thread of its own, and
// objects on one line take turns on it, so a silent module holds up only the
// clients of its own line. It listens on its Unix
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
