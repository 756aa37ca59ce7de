// The daemon's service: the client connections it accepts, each with its own
// RPC system and factory, and its idle shutdown. Its timer is given to it, so
// tests drive the idle delay and the accept retries with a timer they
// advance themselves; the process uses the event loop's own.
#pragma once
#include <capnp/rpc-twoparty.h>
#include <kj/async-io.h>
#include <kj/timer.h>

#include <list>

#include "server/qd40.h"
#include "server/rpc/call_threads.h"
#include "server/server_life.h"

namespace qd40::server {

// How long the daemon waits at a lock count of zero before it ends, how often
// it looks at the count, and how soon it accepts again after a failed accept.
inline constexpr kj::Duration kIdleDelay = 5 * kj::SECONDS;
inline constexpr kj::Duration kIdleCheck = 100 * kj::MILLISECONDS;
inline constexpr kj::Duration kAcceptRetry = 200 * kj::MILLISECONDS;

// One client connection with its own RPC system and factory. A connected
// client keeps the daemon alive, even before it asks for its first object:
// the lock is taken first and given back last, once the connection's objects
// are gone.
struct ClientConnection {
    ClientConnection(kj::Own<kj::AsyncIoStream>&& s, Qd40Context& context, rpc::CallThreads& calls);
    ServerLife::Hold alive;
    kj::Own<kj::AsyncIoStream> stream;
    capnp::TwoPartyVatNetwork network;
    capnp::RpcSystem<capnp::rpc::twoparty::VatId> rpc;
};

class Daemon : private kj::TaskSet::ErrorHandler {
public:
    Daemon(kj::Timer& timer, Qd40Context& context, ServerLife& life, rpc::CallThreads& calls);

    // Accepts clients on `receiver` for the daemon's life.
    void listen(kj::Own<kj::ConnectionReceiver> receiver);
    // Serves one client already connected.
    void serve(kj::Own<kj::AsyncIoStream> stream);
    // Resolves once the lock count has stayed at zero, with no lock taken in
    // between, for the idle delay. The count changes on the objects' call
    // threads, so it is watched rather than signalled.
    kj::Promise<void> idle();
    size_t connectionCount() const { return connections_.size(); }

private:
    kj::Promise<void> watchIdle(kj::TimePoint zeroSince, uint64_t locks);
    kj::Promise<void> acceptLoop(kj::ConnectionReceiver& receiver);
    void taskFailed(kj::Exception&& exception) override;

    kj::Timer& timer_;
    Qd40Context& context_;
    ServerLife& life_;
    rpc::CallThreads& calls_;
    std::list<ClientConnection> connections_;
    kj::TaskSet tasks_;
    bool acceptFailing_ = false;
};

}  // namespace qd40::server
