// Synchronous client proxy of one Qd40 object in the communication daemon.
//
//   Status st;
//   auto q = qd40::rpc::Qd40Client::create("", &st);  // local daemon, started when needed
//   if (!q) { /* st.hr, st.error.description */ }
//   int32_t err = 0;
//   if (failed(q->OpenComm("192.168.1.20", 502, &err))) show(q->lastError().description);
//   uint16_t status = 0;
//   q->GetStatus(1, &status, &err);
//
// Every IUser and IOvix method has its name, argument order and types (out
// values through pointers; a null out pointer is simply not written). Each
// returns the object's HRESULT and leaves the error record of a failure in
// lastError(). The numbered port properties (AvailableCom1..8 and the like)
// are reached through their indexed methods (GetAvailableComX(n, ...)).
// SendCmd has an added out value pvAnswer: the answer block (command code,
// length, words) when bWithAnswer is set.
//
// Calls wait for the daemon's answer on the calling thread, bounded by the
// call time-out (5 minutes unless set). A lost daemon gives
// RPC_E_DISCONNECTED, an expired wait RPC_E_TIMEOUT. The proxy runs a KJ event
// loop on the calling thread, shared by the proxies of that thread; a proxy is
// used from the thread that created it, and a child process made by fork()
// creates its own proxies rather than using its parent's. Releasing the proxy
// releases the object, which closes its channel and gives back its remote
// control.
#pragma once
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "common/error_info.h"
#include "server/variant.h"

namespace qd40::rpc {

using server::Variant;

inline constexpr HRESULT RPC_E_DISCONNECTED = hr(0x80010108);
inline constexpr HRESULT RPC_E_TIMEOUT = hr(0x8001011F);

class Qd40Client {
public:
    // Creates a Qd40 object: in the local daemon when `host` is empty
    // (activation starts it when nobody listens), else in the daemon of
    // "HOST[:PORT]" over TLS with this user's client certificate (a refused
    // certificate gives E_ACCESSDENIED). Null on failure, with the reason in *status.
    static std::unique_ptr<Qd40Client> create(const std::string& host = {},
                                              Status* status = nullptr);
    // The same over an already connected socket (taken over), for tests and tools.
    static std::unique_ptr<Qd40Client> createOnSocket(int fd, Status* status = nullptr);
    ~Qd40Client();
    Qd40Client(const Qd40Client&) = delete;
    Qd40Client& operator=(const Qd40Client&) = delete;

    const ErrorInfo& lastError() const;
    void setCallTimeout(std::chrono::milliseconds timeout);
    // The factory's lock on the daemon, held until unlocked or disconnected.
    HRESULT LockServer(bool fLock);

#include "server/rpc/qd40_methods_client.h.inc"

    struct Impl;

private:
    explicit Qd40Client(std::unique_ptr<Impl> impl);
    static std::unique_ptr<Qd40Client> createOnStream(std::unique_ptr<Impl> impl,
                                                      const std::string& remoteHost,
                                                      Status* status);
    std::unique_ptr<Impl> impl_;
};

}  // namespace qd40::rpc
