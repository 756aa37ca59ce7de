// Remote access to the daemon over TLS (kj-tls). The daemon side wraps its
// TCP listener: each peer must present a client certificate that is in the
// machine-wide allow-list, no more than the configured number of remote
// clients are served at once, and every accepted or refused peer leaves one
// audit line (standard error and the audit file). The client side connects
// to "HOST[:PORT]" with the certificate of the per-user store and accepts
// only the server certificate that store trusts for HOST.
#pragma once
#include <kj/async-io.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

#include "common/error_info.h"
#include "platform/registry.h"
#include "server/remote_certs.h"

namespace qd40::remote {

// The certificate of the remote client was refused by the server (E_ACCESSDENIED
// reaches the caller); the server's certificate was not the trusted one.
inline constexpr HRESULT CERT_E_UNTRUSTEDROOT = hr(0x800B0109);

// The audit file of remote peers, beside the machine-wide store.
std::filesystem::path auditFile(const platform::RegistryStore& store);

// Receives remote clients over TLS from `tcp`. `audit` gets one line per
// peer (the daemon writes it out). The receiver's accept() gives only the
// connections whose handshake succeeded.
kj::Own<kj::ConnectionReceiver> listenTls(kj::Timer& timer, kj::Own<kj::ConnectionReceiver> tcp,
                                          const ServerConfig& config,
                                          std::function<void(const std::string&)> audit);

// The daemon's TLS listener on HOST:PORT, configured from the machine-wide
// store, writing its audit lines to auditFile(). Null, with the reason, when
// the store lacks the certificate, the key or any allowed client.
kj::Own<kj::ConnectionReceiver> listenRemote(kj::AsyncIoContext& io, const std::string& host,
                                             uint16_t port, std::string* error);

// Writes an audit line to standard error and appends it to `file`.
void writeAudit(const std::filesystem::path& file, const std::string& line);

// Connects to the daemon of "HOST[:PORT]" and completes the TLS handshake;
// the stream in `out` on success.
Status connectTls(kj::AsyncIoContext& io, const std::string& hostPort,
                  kj::Own<kj::AsyncIoStream>& out,
                  std::chrono::milliseconds timeout = std::chrono::seconds(10));

// The status of a remote client whose first call failed with `e`: a TLS
// alert about its certificate means the server refused it (E_ACCESSDENIED).
Status firstCallFailure(const std::string& hostPort, const kj::Exception& e);

}  // namespace qd40::remote
