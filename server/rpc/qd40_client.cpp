#include "server/rpc/qd40_client.h"

#include <capnp/rpc-twoparty.h>
#include <kj/async-io.h>
#include <kj/timer.h>

#include "platform/activation/activation.h"
#include "server/qd40_ids.h"
#include "server/remote_tls.h"
#include "server/rpc/wire.h"

namespace qd40::rpc {

namespace {

// The KJ event loop of one thread, shared by its proxies and kept alive by them.
struct ClientLoop {
    kj::AsyncIoContext io = kj::setupAsyncIo();
};

std::shared_ptr<ClientLoop> threadLoop() {
    thread_local std::weak_ptr<ClientLoop> current;
    auto loop = current.lock();
    if (!loop) {
        loop = std::make_shared<ClientLoop>();
        current = loop;
    }
    return loop;
}

}  // namespace

struct Qd40Client::Impl {
    // Members are destroyed in reverse order: capabilities, then the RPC
    // client, then the socket, and the loop last.
    std::shared_ptr<ClientLoop> loop;
    kj::Own<kj::AsyncIoStream> stream;
    kj::Own<capnp::TwoPartyClient> client;
    schema::Qd40Factory::Client factory{nullptr};
    schema::Qd40::Client object{nullptr};
    Status last;
    std::chrono::milliseconds timeout{std::chrono::minutes(5)};

    template <typename Request, typename Take>
    HRESULT call(Request& request, Take&& take) {
        try {
            auto response = loop->io.provider->getTimer()
                                .timeoutAfter(timeout.count() * kj::MILLISECONDS, request.send())
                                .wait(loop->io.waitScope);
            const HRESULT h = response.getHr();
            last = Status{};
            if (failed(h)) {
                last.hr = h;
                last.error = fromWire(response.getError());
            }
            take(response);
            return h;
        } catch (const kj::Exception& e) {
            const bool timedOut = e.getType() == kj::Exception::Type::OVERLOADED;
            last = Status::failure(timedOut ? RPC_E_TIMEOUT : RPC_E_DISCONNECTED,
                                   timedOut ? "The call to the communication server timed out"
                                            : "The communication server is no longer reachable (" +
                                                  std::string(e.getDescription().cStr()) + ")");
            return last.hr;
        }
    }
};

namespace {
template <typename Request, typename Take>
HRESULT call(Qd40Client::Impl& impl, Request& request, Take&& take) {
    return impl.call(request, std::forward<Take>(take));
}
}  // namespace

Qd40Client::Qd40Client(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Qd40Client::~Qd40Client() = default;

const ErrorInfo& Qd40Client::lastError() const {
    return impl_->last.error;
}
void Qd40Client::setCallTimeout(std::chrono::milliseconds timeout) {
    impl_->timeout = timeout;
}

std::unique_ptr<Qd40Client> Qd40Client::createOnSocket(int fd, Status* status) {
    auto impl = std::make_unique<Impl>();
    impl->loop = threadLoop();
    impl->stream = impl->loop->io.lowLevelProvider->wrapSocketFd(
        fd, kj::LowLevelAsyncIoProvider::TAKE_OWNERSHIP);
    return createOnStream(std::move(impl), {}, status);
}

// The object over the connected stream of `impl`; `remoteHost` names the
// remote daemon whose refusal of the client's certificate shows in the first call.
std::unique_ptr<Qd40Client> Qd40Client::createOnStream(std::unique_ptr<Impl> impl,
                                                       const std::string& remoteHost,
                                                       Status* status) {
    try {
        impl->client = kj::heap<capnp::TwoPartyClient>(*impl->stream);
        impl->factory = impl->client->bootstrap().castAs<schema::Qd40Factory>();
        auto req = impl->factory.createInstanceRequest();
        auto response = impl->loop->io.provider->getTimer()
                            .timeoutAfter(impl->timeout.count() * kj::MILLISECONDS, req.send())
                            .wait(impl->loop->io.waitScope);
        if (failed(response.getHr())) {
            if (status)
                *status = Status{response.getHr(), fromWire(response.getError())};
            return nullptr;
        }
        impl->object = response.getObject();
    } catch (const kj::Exception& e) {
        if (status)
            *status = !remoteHost.empty()
                          ? remote::firstCallFailure(remoteHost, e)
                          : Status::failure(RPC_E_DISCONNECTED,
                                            "The communication server did not create the object (" +
                                                std::string(e.getDescription().cStr()) + ")");
        return nullptr;
    }
    if (status)
        *status = Status::ok();
    return std::unique_ptr<Qd40Client>(new Qd40Client(std::move(impl)));
}

std::unique_ptr<Qd40Client> Qd40Client::create(const std::string& host, Status* status) {
    if (!host.empty()) {
        // A remote daemon is reached over TLS only.
        auto impl = std::make_unique<Impl>();
        impl->loop = threadLoop();
        if (Status st = remote::connectTls(impl->loop->io, host, impl->stream); !st) {
            if (status)
                *status = st;
            return nullptr;
        }
        return createOnStream(std::move(impl), host, status);
    }
    const activation::Connection c = host.empty() ? activation::connectLocal(server::kClsidQd40)
                                                  : activation::connectRemote(host);
    if (!c) {
        if (status)
            *status = Status::failure(c.hr, c.error);
        return nullptr;
    }
    return createOnSocket(c.fd, status);
}

HRESULT Qd40Client::LockServer(bool fLock) {
    auto req = impl_->factory.lockServerRequest();
    req.setFLock(fLock);
    return impl_->call(req, [](auto&) {});
}

#include "server/rpc/qd40_methods_client.inc"

}  // namespace qd40::rpc
