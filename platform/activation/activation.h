// Finds or starts the daemon that serves a class, the way a local-server
// object is created: connect to the daemon's Unix socket in the runtime
// folder; when nobody listens, start the program registered as the class's
// LocalServer32 with "-Embedding", wait (bounded) for its socket and connect.
// A remote host is reached over TCP as HOST[:PORT].
#pragma once
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>

#include "common/guid.h"
#include "common/hresult.h"

namespace qd40::activation {

inline constexpr const char* kSocketName = "ovixqd40svr.sock";
inline constexpr uint16_t kDefaultTcpPort = 47040;

inline constexpr HRESULT REGDB_E_CLASSNOTREG = hr(0x80040154);
inline constexpr HRESULT CO_E_SERVER_EXEC_FAILURE = hr(0x80080005);
inline constexpr HRESULT RPC_S_SERVER_UNAVAILABLE = hr(0x800706BA);

// A connected stream socket, owned by the receiver, or the failure.
struct Connection {
    int fd = -1;
    HRESULT hr = S_OK;
    std::string error;
    explicit operator bool() const { return fd >= 0; }
};

// The daemon's socket in the runtime folder.
std::filesystem::path socketPath();

// Connects to the daemon's socket once, without starting anything.
Connection connectSocket(const std::filesystem::path& path);

// The local daemon of class `clsid`, started when nobody listens.
Connection connectLocal(const Guid& clsid,
                        std::chrono::milliseconds startTimeout = std::chrono::seconds(10));

// The daemon of a remote host, "HOST[:PORT]" (default port 47040).
Connection connectRemote(const std::string& hostPort,
                         std::chrono::milliseconds timeout = std::chrono::seconds(10));

// Splits "HOST[:PORT]" ("[v6]:PORT" for IPv6 addresses). False when the port
// is not a number from 1 to 65535 or the host is empty.
bool parseHostPort(const std::string& text, std::string& host, uint16_t& port,
                   uint16_t defaultPort = kDefaultTcpPort);

}  // namespace qd40::activation
