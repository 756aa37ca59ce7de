// The daemon's command line and its class registration in the registry
// store's classes root.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace qd40::server {

// What ovixqd40svr --help prints.
extern const char* const kDaemonUsage;

struct CommandLine {
    enum class Action { Serve, Register, Unregister, SetPortDevice, Help, Invalid };
    Action action = Action::Serve;
    bool lock = false;
    bool embedding = false;
    std::optional<std::string> listen;  // "-Listen ADDR[:PORT]"
    int port = 0;                       // "-Port N=PATH"
    std::string device;
    std::string error;  // Invalid: what is wrong
};

// Tokens begin with "-" or "/" and are compared without regard to case; the
// first RegServer or UnregServer decides and nothing after it is looked at.
// --help, -h or /? asks for the usage instead of a daemon.
// Other tokens are ignored, except the operands of -Listen and -Port.
CommandLine parseCommandLine(const std::vector<std::string>& args);

// Writes the class, ProgID, AppID and type library entries with
// LocalServer32 = serverPath. Returns false when the store cannot be written.
bool registerServer(platform::RegistryStore& store, const std::string& serverPath);
// Removes them, keeping the AppID key itself.
bool unregisterServer(platform::RegistryStore& store);

// The program registered for the Qd40 class (LocalServer32), if any.
std::optional<std::string> registeredServerPath(platform::RegistryStore& store);

}  // namespace qd40::server
