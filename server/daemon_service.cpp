#include "server/daemon_service.h"

#include <cstdio>
#include <string>

#include "server/rpc/rpc_server.h"

namespace qd40::server {

namespace {

void say(const std::string& text) {
    std::fprintf(stderr, "ovixqd40svr: %s\n", text.c_str());
    std::fflush(stderr);
}

}  // namespace

ClientConnection::ClientConnection(kj::Own<kj::AsyncIoStream>&& s, Qd40Context& context,
                                   rpc::CallThreads& calls)
    : alive(context.life),
      stream(kj::mv(s)),
      network(*stream, capnp::rpc::twoparty::Side::SERVER),
      rpc(capnp::makeRpcServer(network, rpc::makeFactory(context, &calls))) {}

Daemon::Daemon(kj::Timer& timer, Qd40Context& context, ServerLife& life, rpc::CallThreads& calls)
    : timer_(timer), context_(context), life_(life), calls_(calls), tasks_(*this) {}

void Daemon::listen(kj::Own<kj::ConnectionReceiver> receiver) {
    auto& r = *receiver;
    tasks_.add(acceptLoop(r).attach(kj::mv(receiver)));
}

void Daemon::serve(kj::Own<kj::AsyncIoStream> stream) {
    connections_.emplace_back(kj::mv(stream), context_, calls_);
    auto it = std::prev(connections_.end());
    // A client that goes away, however it ends, releases its objects and
    // locks with its connection.
    tasks_.add(it->network.onDisconnect().then([this, it] { connections_.erase(it); }));
}

kj::Promise<void> Daemon::idle() {
    return watchIdle(timer_.now(), life_.locksTaken());
}

kj::Promise<void> Daemon::watchIdle(kj::TimePoint zeroSince, uint64_t locks) {
    return timer_.afterDelay(kIdleCheck).then([this, zeroSince, locks]() -> kj::Promise<void> {
        const auto now = timer_.now();
        const uint64_t taken = life_.locksTaken();
        if (life_.count() != 0 || taken != locks)
            return watchIdle(now, taken);
        if (now - zeroSince >= kIdleDelay)
            return kj::READY_NOW;
        return watchIdle(zeroSince, locks);
    });
}

kj::Promise<void> Daemon::acceptLoop(kj::ConnectionReceiver& receiver) {
    // accept() can throw before it returns a promise: evalNow turns that into
    // a failed promise too.
    return kj::evalNow([&receiver] { return receiver.accept(); })
        .then(
            [this, &receiver](kj::Own<kj::AsyncIoStream>&& stream) {
                acceptFailing_ = false;
                serve(kj::mv(stream));
                return acceptLoop(receiver);
            },
            [this, &receiver](kj::Exception&& e) {
                // Out of descriptors or memory for a moment: keep serving the
                // clients already in and accept again shortly, rather than stop
                // taking new clients for the rest of the daemon's life.
                if (!acceptFailing_)
                    say(std::string("cannot accept a client, trying again: ") +
                        e.getDescription().cStr());
                acceptFailing_ = true;
                return timer_.afterDelay(kAcceptRetry).then([this, &receiver] {
                    return acceptLoop(receiver);
                });
            });
}

void Daemon::taskFailed(kj::Exception&& exception) {
    say(std::string("connection error: ") + exception.getDescription().cStr());
}

}  // namespace qd40::server
