// Certificates of the daemon's remote access: a key pair with a self-signed
// certificate for either side, and where each side keeps what it needs.
//
// Machine-wide store (the daemon's side), key
// "Software\Ovix Servers\OvixQd40Svr\Remote": "Certificate" and "PrivateKey" (paths of the server's
// PEM files), "MaxConnections" (DWORD, simultaneous remote clients, default
// 8), and below it the key "AllowedClients": one string value per allowed
// client certificate, named by its SHA-256 fingerprint, holding its PEM text.
//
// Per-user store (a client's side), same key: "ClientCertificate" and
// "ClientKey" (paths of the client's PEM files), and below it the key
// "Servers": one string value per server host name, holding the PEM text of
// the certificate that host must present.
//
// Command line (ovixqd40svr):
//   -NewCert Server [NAME...]   key pair and certificate of this daemon (names:
//                               the host names and addresses clients use)
//   -NewCert Client NAME        key pair and certificate of this user as a client
//   -AllowClient FILE           lets the client whose certificate is FILE in
//   -TrustServer HOST FILE      this user's clients accept FILE from HOST
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "common/error_info.h"
#include "platform/registry.h"

namespace qd40::remote {

inline constexpr const char* kRemoteKey = "Software\\Ovix Servers\\OvixQd40Svr\\Remote";
inline constexpr const char* kAllowedClientsKey =
    "Software\\Ovix Servers\\OvixQd40Svr\\Remote\\AllowedClients";
inline constexpr const char* kServersKey = "Software\\Ovix Servers\\OvixQd40Svr\\Remote\\Servers";
inline constexpr uint32_t kDefaultMaxConnections = 8;

enum class Side { Server, Client };

struct KeyPair {
    std::string keyPem;
    std::string certPem;
};

// A new EC P-256 key and a self-signed certificate for `side`, named
// `names[0]`, valid for every name (host names as DNS names, addresses also
// as IP addresses), for ten years.
std::optional<KeyPair> newKeyPair(Side side, const std::vector<std::string>& names,
                                  std::string* error);

// The SHA-256 fingerprint of a PEM certificate in lowercase hex, "" when the
// text is not a certificate; its common name likewise.
std::string fingerprint(const std::string& certPem);
std::string commonName(const std::string& certPem);

// Reads a whole text file; nullopt with the reason on failure.
std::optional<std::string> readText(const std::string& path, std::string* error);

// What the daemon needs to serve remote clients, from the machine-wide store.
struct ServerConfig {
    std::string certPem, keyPem;
    std::vector<std::string> allowedPems;
    uint32_t maxConnections = kDefaultMaxConnections;
};
std::optional<ServerConfig> loadServerConfig(const platform::RegistryStore& store,
                                             std::string* error);

// What a client needs to reach `host`, from the per-user store.
struct ClientConfig {
    std::string certPem, keyPem, serverPem;
};
std::optional<ClientConfig> loadClientConfig(const platform::RegistryStore& store,
                                             const std::string& host, std::string* error);

// Runs a certificate command of the daemon's command line; nullopt when
// `args` is not one. Returns the exit code.
std::optional<int> runCertCommand(const std::vector<std::string>& args,
                                  platform::RegistryStore& store);

// The usage lines of the certificate commands.
extern const char* const kCertUsage;

}  // namespace qd40::remote
