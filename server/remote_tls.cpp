#include "server/remote_tls.h"

#include <kj/compat/tls.h>
#include <kj/debug.h>
#include <kj/timer.h>

#include <cstdio>
#include <ctime>
#include <deque>
#include <fstream>
#include <memory>

#include "platform/activation/activation.h"

namespace qd40::remote {

namespace {

constexpr auto kHandshakeTimeout = 10 * kj::SECONDS;
constexpr auto kAcceptRetry = 200 * kj::MILLISECONDS;

bool contains(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

// Why a handshake failed, as an operator reads it.
std::string refusalReason(const std::string& description) {
    if (contains(description, "did not return a certificate") ||
        contains(description, "certificate required"))
        return "no client certificate";
    if (contains(description, "certificate verify failed") || contains(description, "unknown ca"))
        return "certificate not in the allow-list";
    if (contains(description, "timed out") || contains(description, "timeout"))
        return "no TLS handshake in time";
    return "TLS handshake failed (" + description + ")";
}

class TlsReceiver final : public kj::ConnectionReceiver, private kj::TaskSet::ErrorHandler {
public:
    TlsReceiver(kj::Timer& timer, kj::Own<kj::ConnectionReceiver> tcp, const ServerConfig& config,
                std::function<void(const std::string&)> audit)
        : timer_(timer),
          tcp_(kj::mv(tcp)),
          keypair_{kj::TlsPrivateKey(kj::StringPtr(config.keyPem.c_str())),
                   kj::TlsCertificate(kj::StringPtr(config.certPem.c_str()))},
          trusted_(makeTrusted(config)),
          tls_(options()),
          max_(config.maxConnections),
          audit_(kj::mv(audit)),
          tasks_(*this) {
        loop_ = acceptLoop().eagerlyEvaluate(nullptr);
    }

    kj::Promise<kj::Own<kj::AsyncIoStream>> accept() override {
        if (!ready_.empty()) {
            auto s = kj::mv(ready_.front());
            ready_.pop_front();
            return kj::mv(s);
        }
        auto paf = kj::newPromiseAndFulfiller<kj::Own<kj::AsyncIoStream>>();
        waiting_ = kj::mv(paf.fulfiller);
        return kj::mv(paf.promise);
    }
    uint getPort() override { return tcp_->getPort(); }

private:
    static kj::Array<kj::TlsCertificate> makeTrusted(const ServerConfig& config) {
        auto out = kj::heapArrayBuilder<kj::TlsCertificate>(config.allowedPems.size());
        for (const auto& pem : config.allowedPems)
            out.add(kj::StringPtr(pem.c_str()));
        return out.finish();
    }
    kj::TlsContext::Options options() {
        kj::TlsContext::Options o;
        o.useSystemTrustStore = false;
        o.verifyClients = true;
        o.trustedCertificates = trusted_;
        o.defaultKeypair = keypair_;
        o.timer = timer_;
        o.acceptTimeout = kHandshakeTimeout;
        return o;
    }

    kj::Promise<void> acceptLoop() {
        return kj::evalNow([this] { return tcp_->acceptAuthenticated(); })
            .then(
                [this](kj::AuthenticatedStream&& s) {
                    acceptFailing_ = false;
                    handle(kj::mv(s));
                    return acceptLoop();
                },
                [this](kj::Exception&& e) {
                    if (!acceptFailing_)
                        audit_(std::string("remote: cannot accept a client, trying again: ") +
                               e.getDescription().cStr());
                    acceptFailing_ = true;
                    return timer_.afterDelay(kAcceptRetry).then([this] { return acceptLoop(); });
                });
    }

    void handle(kj::AuthenticatedStream&& s) {
        const std::string peer = s.peerIdentity->toString().cStr();
        // Handshakes under way count too: the limit holds however slow peers are.
        if (*live_ >= max_) {
            audit_("remote " + peer + " refused: " + std::to_string(max_) +
                   " remote clients already served");
            return;  // the connection closes with the stream
        }
        ++*live_;
        tasks_.add(tls_.wrapServer(kj::mv(s)).then(
            [this, peer, live = live_](kj::AuthenticatedStream&& secured) {
                std::string who = "a certificate";
                KJ_IF_MAYBE (id, kj::dynamicDowncastIfAvailable<kj::TlsPeerIdentity>(
                                     *secured.peerIdentity)) {
                    if (id->hasCertificate())
                        who = std::string("certificate CN=") + id->getCommonName().cStr();
                }
                audit_("remote " + peer + " accepted: " + who);
                // The count goes down when the connection ends.
                deliver(kj::mv(secured.stream).attach(kj::defer([live] { --*live; })));
            },
            [this, peer, live = live_](kj::Exception&& e) {
                --*live;
                audit_("remote " + peer + " refused: " + refusalReason(e.getDescription().cStr()));
            }));
    }

    void deliver(kj::Own<kj::AsyncIoStream> stream) {
        if (waiting_ && waiting_->isWaiting()) {
            waiting_->fulfill(kj::mv(stream));
            waiting_ = nullptr;
        } else {
            ready_.push_back(kj::mv(stream));
        }
    }

    void taskFailed(kj::Exception&& e) override {
        audit_(std::string("remote: ") + e.getDescription().cStr());
    }

    kj::Timer& timer_;
    kj::Own<kj::ConnectionReceiver> tcp_;
    kj::TlsKeypair keypair_;
    kj::Array<kj::TlsCertificate> trusted_;
    kj::TlsContext tls_;
    uint32_t max_;
    std::function<void(const std::string&)> audit_;
    // Shared with the connections, which may outlive the receiver.
    std::shared_ptr<uint32_t> live_ = std::make_shared<uint32_t>(0);
    std::deque<kj::Own<kj::AsyncIoStream>> ready_;
    kj::Own<kj::PromiseFulfiller<kj::Own<kj::AsyncIoStream>>> waiting_;
    bool acceptFailing_ = false;
    kj::TaskSet tasks_;
    kj::Promise<void> loop_ = nullptr;
};

}  // namespace

std::filesystem::path auditFile(const platform::RegistryStore& store) {
    return store.root() / "ovixqd40svr-remote.log";
}

void writeAudit(const std::filesystem::path& file, const std::string& line) {
    char stamp[32] = {};
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    ::localtime_r(&now, &tm);
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &tm);
    const std::string whole = std::string(stamp) + " " + line + "\n";
    std::fprintf(stderr, "ovixqd40svr: %s\n", line.c_str());
    std::fflush(stderr);
    // One write of the whole line, so concurrent writers never mix lines.
    if (std::FILE* f = std::fopen(file.c_str(), "a")) {
        std::fwrite(whole.data(), 1, whole.size(), f);
        std::fclose(f);
    }
}

kj::Own<kj::ConnectionReceiver> listenTls(kj::Timer& timer, kj::Own<kj::ConnectionReceiver> tcp,
                                          const ServerConfig& config,
                                          std::function<void(const std::string&)> audit) {
    return kj::heap<TlsReceiver>(timer, kj::mv(tcp), config, kj::mv(audit));
}

kj::Own<kj::ConnectionReceiver> listenRemote(kj::AsyncIoContext& io, const std::string& host,
                                             uint16_t port, std::string* error) {
    platform::RegistryStore store;
    const auto config = loadServerConfig(store, error);
    if (!config)
        return {};
    const auto file = auditFile(store);
    auto tcp = io.provider->getNetwork().parseAddress(host, port).wait(io.waitScope);
    return listenTls(io.provider->getTimer(), tcp->listen(), *config,
                     [file](const std::string& line) { writeAudit(file, line); });
}

Status connectTls(kj::AsyncIoContext& io, const std::string& hostPort,
                  kj::Own<kj::AsyncIoStream>& out, std::chrono::milliseconds timeout) {
    std::string host;
    uint16_t port = 0;
    if (!activation::parseHostPort(hostPort, host, port))
        return Status::failure(activation::RPC_S_SERVER_UNAVAILABLE,
                               "Invalid host \"" + hostPort + "\"");
    auto& timer = io.provider->getTimer();
    const auto limit = timeout.count() * kj::MILLISECONDS;
    // The host first: an unreachable one says so before any certificate matter.
    kj::Own<kj::AsyncIoStream> tcp;
    try {
        auto connected = io.provider->getNetwork()
                             .parseAddress(kj::StringPtr(host.c_str()), port)
                             .then([](kj::Own<kj::NetworkAddress>&& a) {
                                 return a->connect().attach(kj::mv(a));
                             });
        tcp = timer.timeoutAfter(limit, kj::mv(connected)).wait(io.waitScope);
    } catch (const kj::Exception& e) {
        return Status::failure(activation::RPC_S_SERVER_UNAVAILABLE,
                               hostPort + ": " + e.getDescription().cStr());
    }

    std::string error;
    platform::RegistryStore store;
    const auto config = loadClientConfig(store, host, &error);
    if (!config)
        return Status::failure(activation::RPC_S_SERVER_UNAVAILABLE, error);
    try {
        kj::TlsKeypair keypair{kj::TlsPrivateKey(kj::StringPtr(config->keyPem.c_str())),
                               kj::TlsCertificate(kj::StringPtr(config->certPem.c_str()))};
        auto trusted = kj::heapArray<kj::TlsCertificate>(
            {kj::TlsCertificate(kj::StringPtr(config->serverPem.c_str()))});
        kj::TlsContext::Options o;
        o.useSystemTrustStore = false;
        o.trustedCertificates = trusted;
        o.defaultKeypair = keypair;
        auto tls = kj::heap<kj::TlsContext>(kj::mv(o));
        auto secured = tls->wrapClient(kj::mv(tcp), kj::StringPtr(host.c_str()));
        out = timer.timeoutAfter(limit, kj::mv(secured))
                  .wait(io.waitScope)
                  .attach(kj::mv(tls), kj::mv(trusted));
        return Status::ok();
    } catch (const kj::Exception& e) {
        const std::string d = e.getDescription().cStr();
        if (contains(d, "certificate verify failed"))
            return Status::failure(CERT_E_UNTRUSTEDROOT,
                                   "The certificate of " + host +
                                       " is not the one this user trusts for it (" + d + ")");
        if (e.getType() == kj::Exception::Type::DISCONNECTED || contains(d, "disconnect") ||
            contains(d, "reset") || contains(d, "EOF"))
            return Status::failure(activation::RPC_S_SERVER_UNAVAILABLE,
                                   hostPort +
                                       " closed the connection during the TLS handshake "
                                       "(it may serve its limit of remote clients)");
        return Status::failure(activation::RPC_S_SERVER_UNAVAILABLE,
                               hostPort + ": TLS handshake failed (" + d + ")");
    }
}

Status firstCallFailure(const std::string& hostPort, const kj::Exception& e) {
    const std::string d = e.getDescription().cStr();
    // With TLS 1.3 the server checks the client's certificate after the
    // client's side of the handshake: a refusal shows as an alert, or as the
    // connection ending, in the client's first call.
    const bool alert =
        contains(d, "alert") &&
        (contains(d, "certificate") || contains(d, "unknown ca") || contains(d, "access denied"));
    if (alert || e.getType() == kj::Exception::Type::DISCONNECTED ||
        contains(d, "ssl connection ended"))
        return Status::failure(E_ACCESSDENIED, "The communication server on " + hostPort +
                                                   " refused this user's client certificate (" + d +
                                                   ")");
    return Status::failure(hr(0x80010108),
                           "The communication server did not create the object (" + d + ")");
}

}  // namespace qd40::remote
