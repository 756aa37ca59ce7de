#include "server/remote_certs.h"

#include <arpa/inet.h>
#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "common/output_file.h"

namespace qd40::remote {

using platform::Hive;

const char* const kCertUsage =
    "       ovixqd40svr -NewCert Server [NAME...]      key and certificate of this daemon for\n"
    "                                                  remote clients (NAME: host names and\n"
    "                                                  addresses they use; default this host)\n"
    "       ovixqd40svr -NewCert Client NAME           key and certificate of this user as a\n"
    "                                                  remote client\n"
    "       ovixqd40svr -AllowClient FILE              allow the client of certificate FILE\n"
    "       ovixqd40svr -TrustServer HOST FILE         accept certificate FILE from HOST\n";

namespace {

template <class T, void (*Free)(T*)>
struct Deleter {
    void operator()(T* p) const { Free(p); }
};
using Key = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY, EVP_PKEY_free>>;
using Cert = std::unique_ptr<X509, Deleter<X509, X509_free>>;
using Bio = std::unique_ptr<BIO, Deleter<BIO, BIO_free_all>>;

std::string opensslError() {
    const unsigned long e = ERR_get_error();
    if (e == 0)
        return "unknown OpenSSL failure";
    char buf[256];
    ERR_error_string_n(e, buf, sizeof buf);
    ERR_clear_error();
    return buf;
}

bool isAddress(const std::string& name) {
    unsigned char buf[16];
    return ::inet_pton(AF_INET, name.c_str(), buf) == 1 ||
           ::inet_pton(AF_INET6, name.c_str(), buf) == 1;
}

bool addExtension(X509* x, int nid, const std::string& value) {
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, x, x, nullptr, nullptr, 0);
    X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value.c_str());
    if (!ext)
        return false;
    const bool ok = X509_add_ext(x, ext, -1) == 1;
    X509_EXTENSION_free(ext);
    return ok;
}

std::string bioText(BIO* bio) {
    char* data = nullptr;
    const long n = BIO_get_mem_data(bio, &data);
    return std::string(data, size_t(n));
}

Cert parseCert(const std::string& pem) {
    Bio bio(BIO_new_mem_buf(pem.data(), int(pem.size())));
    if (!bio)
        return nullptr;
    return Cert(PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr));
}

std::string localHostName() {
    char buf[256] = {};
    if (::gethostname(buf, sizeof buf - 1) != 0 || !buf[0])
        return "localhost";
    return buf;
}

// Writes `text` as `path` whole, readable by its owner only when `secret`.
Status writeFile(const std::filesystem::path& path, const std::string& text, bool secret) {
    OutputFile out;
    if (Status st = out.open(path.string()); !st)
        return st;
    if (secret && ::fchmod(::fileno(out.stream()), 0600) != 0)
        return Status::failure(E_FAIL, "cannot restrict " + path.string());
    std::fwrite(text.data(), 1, text.size(), out.stream());
    return out.commit();
}

// "" when `pem` holds a certificate, else the reason.
std::string checkCert(const std::string& pem) {
    return parseCert(pem) ? std::string() : "not a PEM certificate";
}

int fail(const std::string& text) {
    std::fprintf(stderr, "ovixqd40svr: %s\n", text.c_str());
    return 1;
}

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

}  // namespace

std::optional<KeyPair> newKeyPair(Side side, const std::vector<std::string>& names,
                                  std::string* error) {
    auto failure = [&](const std::string& what) -> std::optional<KeyPair> {
        if (error)
            *error = what + ": " + opensslError();
        return std::nullopt;
    };
    if (names.empty() || names[0].empty()) {
        if (error)
            *error = "a certificate needs a name";
        return std::nullopt;
    }
    Key key(EVP_EC_gen("P-256"));
    if (!key)
        return failure("cannot make a key");
    Cert x(X509_new());
    if (!x || X509_set_version(x.get(), 2) != 1)
        return failure("cannot make a certificate");
    std::unique_ptr<BIGNUM, Deleter<BIGNUM, BN_free>> serial(BN_new());
    if (!serial || BN_rand(serial.get(), 127, BN_RAND_TOP_ANY, BN_RAND_BOTTOM_ANY) != 1 ||
        !BN_to_ASN1_INTEGER(serial.get(), X509_get_serialNumber(x.get())))
        return failure("cannot number the certificate");
    X509_gmtime_adj(X509_getm_notBefore(x.get()), -3600);
    X509_gmtime_adj(X509_getm_notAfter(x.get()), 10L * 366 * 24 * 3600);
    X509_set_pubkey(x.get(), key.get());
    X509_NAME* subject = X509_get_subject_name(x.get());
    X509_NAME_add_entry_by_txt(subject, "O", MBSTRING_UTF8,
                               reinterpret_cast<const unsigned char*>("Qd40 Suite"), -1, -1, 0);
    X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_UTF8,
                               reinterpret_cast<const unsigned char*>(names[0].c_str()), -1, -1, 0);
    X509_set_issuer_name(x.get(), subject);
    std::string alt;
    for (const auto& n : names) {
        if (!alt.empty())
            alt += ",";
        // Clients check the host name they were given against the DNS names,
        // an address included.
        alt += "DNS:" + n;
        if (isAddress(n))
            alt += ",IP:" + n;
    }
    // Self-signed: each peer trusts exactly this certificate as its own root.
    if (!addExtension(x.get(), NID_basic_constraints, "critical,CA:TRUE") ||
        !addExtension(x.get(), NID_key_usage, "critical,digitalSignature,keyCertSign") ||
        !addExtension(x.get(), NID_ext_key_usage,
                      side == Side::Server ? "serverAuth" : "clientAuth") ||
        !addExtension(x.get(), NID_subject_key_identifier, "hash") ||
        !addExtension(x.get(), NID_subject_alt_name, alt))
        return failure("cannot describe the certificate");
    if (X509_sign(x.get(), key.get(), EVP_sha256()) <= 0)
        return failure("cannot sign the certificate");

    Bio keyBio(BIO_new(BIO_s_mem())), certBio(BIO_new(BIO_s_mem()));
    if (!keyBio || !certBio ||
        PEM_write_bio_PrivateKey(keyBio.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) !=
            1 ||
        PEM_write_bio_X509(certBio.get(), x.get()) != 1)
        return failure("cannot write the key pair");
    return KeyPair{bioText(keyBio.get()), bioText(certBio.get())};
}

std::string fingerprint(const std::string& certPem) {
    Cert x = parseCert(certPem);
    if (!x)
        return {};
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int n = 0;
    if (X509_digest(x.get(), EVP_sha256(), md, &n) != 1)
        return {};
    std::string hex;
    char b[3];
    for (unsigned i = 0; i < n; ++i) {
        std::snprintf(b, sizeof b, "%02x", md[i]);
        hex += b;
    }
    return hex;
}

std::string commonName(const std::string& certPem) {
    Cert x = parseCert(certPem);
    if (!x)
        return {};
    char buf[256] = {};
    if (X509_NAME_get_text_by_NID(X509_get_subject_name(x.get()), NID_commonName, buf, sizeof buf) <
        0)
        return {};
    return buf;
}

std::optional<std::string> readText(const std::string& path, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (error)
            *error = "cannot read " + path;
        return std::nullopt;
    }
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::optional<ServerConfig> loadServerConfig(const platform::RegistryStore& store,
                                             std::string* error) {
    auto missing = [&](const std::string& what) -> std::optional<ServerConfig> {
        if (error)
            *error = what;
        return std::nullopt;
    };
    const auto certPath = store.getString(Hive::LocalMachine, kRemoteKey, "Certificate");
    const auto keyPath = store.getString(Hive::LocalMachine, kRemoteKey, "PrivateKey");
    if (!certPath || !keyPath || certPath->empty() || keyPath->empty())
        return missing(
            "remote clients need the daemon's certificate: run ovixqd40svr -NewCert Server");
    ServerConfig c;
    std::string why;
    auto cert = readText(*certPath, &why);
    if (!cert)
        return missing(why);
    // The private key must be the owner's alone.
    struct stat st {};
    if (::stat(keyPath->c_str(), &st) == 0 && (st.st_mode & 077) != 0)
        return missing(*keyPath + " can be read by others: chmod 600 it");
    auto key = readText(*keyPath, &why);
    if (!key)
        return missing(why);
    c.certPem = *cert;
    c.keyPem = *key;
    for (const auto& name : store.valueNames(Hive::LocalMachine, kAllowedClientsKey)) {
        auto pem = store.getString(Hive::LocalMachine, kAllowedClientsKey, name);
        if (pem && !pem->empty())
            c.allowedPems.push_back(*pem);
    }
    if (c.allowedPems.empty())
        return missing(
            "no client is allowed yet: run ovixqd40svr -AllowClient FILE with each client's "
            "certificate");
    if (auto m = store.getDword(Hive::LocalMachine, kRemoteKey, "MaxConnections"); m && *m > 0)
        c.maxConnections = *m;
    return c;
}

std::optional<ClientConfig> loadClientConfig(const platform::RegistryStore& store,
                                             const std::string& host, std::string* error) {
    auto missing = [&](const std::string& what) -> std::optional<ClientConfig> {
        if (error)
            *error = what;
        return std::nullopt;
    };
    const auto certPath = store.getString(Hive::CurrentUser, kRemoteKey, "ClientCertificate");
    const auto keyPath = store.getString(Hive::CurrentUser, kRemoteKey, "ClientKey");
    if (!certPath || !keyPath || certPath->empty() || keyPath->empty())
        return missing(
            "this user has no client certificate: run ovixqd40svr -NewCert Client NAME and have "
            "the server allow it");
    const auto server = store.getString(Hive::CurrentUser, kServersKey, lower(host));
    if (!server || server->empty())
        return missing("no certificate of server " + host +
                       " is trusted: run ovixqd40svr -TrustServer " + host + " FILE");
    ClientConfig c;
    std::string why;
    auto cert = readText(*certPath, &why);
    auto key = cert ? readText(*keyPath, &why) : std::nullopt;
    if (!cert || !key)
        return missing(why);
    c.certPem = *cert;
    c.keyPem = *key;
    c.serverPem = *server;
    return c;
}

std::optional<int> runCertCommand(const std::vector<std::string>& args,
                                  platform::RegistryStore& store) {
    if (args.empty() || args[0].size() < 2 || (args[0][0] != '-' && args[0][0] != '/'))
        return std::nullopt;
    const std::string token = lower(args[0].substr(1));
    const std::filesystem::path dir = store.root() / "certs";

    if (token == "newcert") {
        const std::string kind = args.size() > 1 ? lower(args[1]) : std::string();
        if (kind != "server" && kind != "client")
            return fail("-NewCert needs Server [NAME...] or Client NAME");
        const Side side = kind == "server" ? Side::Server : Side::Client;
        std::vector<std::string> names(args.begin() + 2, args.end());
        if (side == Side::Client && names.size() != 1)
            return fail("-NewCert Client needs one NAME");
        if (side == Side::Server && names.empty())
            names = {localHostName(), "localhost", "127.0.0.1"};
        std::string error;
        auto pair = newKeyPair(side, names, &error);
        if (!pair)
            return fail(error);
        std::error_code ec;
        std::filesystem::create_directories(dir, ec);
        ::chmod(dir.c_str(), 0700);
        const auto keyPath = dir / (kind + "-key.pem");
        const auto certPath = dir / (kind + "-cert.pem");
        if (Status st = writeFile(keyPath, pair->keyPem, true); !st)
            return fail(st.error.description);
        if (Status st = writeFile(certPath, pair->certPem, false); !st)
            return fail(st.error.description);
        const Hive hive = side == Side::Server ? Hive::LocalMachine : Hive::CurrentUser;
        const bool ok =
            store.setString(hive, kRemoteKey,
                            side == Side::Server ? "Certificate" : "ClientCertificate",
                            certPath.string()) &&
            store.setString(hive, kRemoteKey, side == Side::Server ? "PrivateKey" : "ClientKey",
                            keyPath.string());
        if (!ok)
            return fail("cannot write the store in " + store.root().string());
        std::printf("%s certificate %s (SHA-256 %s)\n", side == Side::Server ? "Server" : "Client",
                    certPath.c_str(), fingerprint(pair->certPem).c_str());
        if (side == Side::Server)
            std::printf("On each client: ovixqd40svr -TrustServer %s %s\n", names[0].c_str(),
                        certPath.c_str());
        else
            std::printf("On the server: ovixqd40svr -AllowClient %s\n", certPath.c_str());
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    if (token == "allowclient") {
        if (args.size() != 2)
            return fail("-AllowClient needs FILE");
        std::string error;
        auto pem = readText(args[1], &error);
        if (!pem)
            return fail(error);
        if (std::string why = checkCert(*pem); !why.empty())
            return fail(args[1] + ": " + why);
        const std::string fp = fingerprint(*pem);
        if (!store.setString(Hive::LocalMachine, kAllowedClientsKey, fp, *pem))
            return fail("cannot write the store in " + store.root().string());
        std::printf("Allowed client %s (SHA-256 %s)\n", commonName(*pem).c_str(), fp.c_str());
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    if (token == "trustserver") {
        if (args.size() != 3 || args[1].empty())
            return fail("-TrustServer needs HOST FILE");
        std::string error;
        auto pem = readText(args[2], &error);
        if (!pem)
            return fail(error);
        if (std::string why = checkCert(*pem); !why.empty())
            return fail(args[2] + ": " + why);
        if (!store.setString(Hive::CurrentUser, kServersKey, lower(args[1]), *pem))
            return fail("cannot write the store in " + store.root().string());
        std::printf("Server %s trusted with certificate %s (SHA-256 %s)\n", args[1].c_str(),
                    commonName(*pem).c_str(), fingerprint(*pem).c_str());
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    return std::nullopt;
}

}  // namespace qd40::remote
