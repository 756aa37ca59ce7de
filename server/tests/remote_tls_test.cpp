// Remote clients of a daemon started with -Listen: TLS only, a client
// certificate from the machine-wide allow-list, a limit on simultaneous
// remote clients, one audit line per accepted or refused peer, and a daemon
// that stays until it is told to stop.
#include <gmock/gmock.h>
#include <kj/compat/tls.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/registry.h"
#include "server/remote_certs.h"
#include "server/remote_tls.h"
#include "server/rpc/qd40_client.h"
#include "testing/server_process.h"

namespace qd40::remote {
namespace {

using qd40::testing::ServerProcess;
using ::testing::HasSubstr;
using ::testing::Not;
using Clock = std::chrono::steady_clock;
using platform::Hive;

std::string freeLoopbackEndpoint() {
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(probe, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&addr), &len);
    ::close(probe);
    return "127.0.0.1:" + std::to_string(ntohs(addr.sin_port));
}

// A daemon serving remote clients on loopback, with the certificates made by
// its own command line: the server's, and the client "alice" allowed and
// trusting the server.
class RemoteDaemon : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(svr.ok()) << svr.error();
        certs = svr.registryDir() + "/certs/";
        ASSERT_EQ(svr.run({"-NewCert", "Server", "127.0.0.1"}), 0);
        ASSERT_EQ(svr.run({"-NewCert", "Client", "alice"}), 0);
        ASSERT_EQ(svr.run({"-AllowClient", certs + "client-cert.pem"}), 0);
        ASSERT_EQ(svr.run({"-TrustServer", "127.0.0.1", certs + "server-cert.pem"}), 0);
    }
    void startListening() { ASSERT_TRUE(svr.start({"-Listen", endpoint})); }

    // The audit file's text once it holds `part`, waiting a bounded time.
    std::string waitAudit(const std::string& part) {
        const auto deadline = Clock::now() + std::chrono::seconds(5);
        std::string text;
        do {
            std::ifstream in(svr.registryDir() + "/ovixqd40svr-remote.log");
            std::ostringstream s;
            s << in.rdbuf();
            text = s.str();
            if (text.find(part) != std::string::npos)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        } while (Clock::now() < deadline);
        return text;
    }

    // This user's client certificate replaced by a new one named `name`.
    void becomeClient(const std::string& name) {
        std::string error;
        auto pair = newKeyPair(Side::Client, {name}, &error);
        ASSERT_TRUE(pair) << error;
        const std::string key = certs + name + "-key.pem", cert = certs + name + "-cert.pem";
        std::ofstream(key) << pair->keyPem;
        std::ofstream(cert) << pair->certPem;
        platform::RegistryStore store;
        ASSERT_TRUE(store.setString(Hive::CurrentUser, kRemoteKey, "ClientCertificate", cert));
        ASSERT_TRUE(store.setString(Hive::CurrentUser, kRemoteKey, "ClientKey", key));
    }

    ServerProcess svr;
    std::string certs;
    std::string endpoint = freeLoopbackEndpoint();
};

TEST_F(RemoteDaemon, AnAllowedCertificateIsServedAndTheDaemonStaysWithoutClients) {
    startListening();
    const pid_t pid = svr.daemonPid();
    {
        Status st;
        auto q = rpc::Qd40Client::create(endpoint, &st);
        ASSERT_TRUE(q) << st.error.description;
        std::string version;
        EXPECT_EQ(q->Version(&version), S_OK);
        EXPECT_EQ(version, "B.10");
    }
    EXPECT_THAT(waitAudit("accepted"), HasSubstr("remote 127.0.0.1:"));
    EXPECT_THAT(waitAudit("accepted"), HasSubstr("accepted: certificate CN=alice"));
    // Well past the idle delay of a daemon started on demand.
    EXPECT_FALSE(svr.waitExit(6500));
    EXPECT_EQ(svr.daemonPid(), pid);
}

TEST_F(RemoteDaemon, APeerWithoutCertificateIsRefused) {
    startListening();
    // A TLS client that trusts the server but shows no certificate of its own.
    auto io = kj::setupAsyncIo();
    std::ifstream in(certs + "server-cert.pem");
    std::ostringstream pem;
    pem << in.rdbuf();
    auto serverCert =
        kj::heapArray<kj::TlsCertificate>({kj::TlsCertificate(kj::StringPtr(pem.str().c_str()))});
    kj::TlsContext::Options o;
    o.useSystemTrustStore = false;
    o.trustedCertificates = serverCert;
    kj::TlsContext tls(kj::mv(o));
    bool refused = false;
    try {
        const auto colon = endpoint.rfind(':');
        auto addr = io.provider->getNetwork()
                        .parseAddress("127.0.0.1", uint(std::stoi(endpoint.substr(colon + 1))))
                        .wait(io.waitScope);
        auto stream =
            tls.wrapClient(addr->connect().wait(io.waitScope), "127.0.0.1").wait(io.waitScope);
        // The server's verdict arrives after the client's side of the handshake.
        char byte;
        const size_t n = io.provider->getTimer()
                             .timeoutAfter(5 * kj::SECONDS, stream->tryRead(&byte, 1, 1))
                             .wait(io.waitScope);
        refused = n == 0;
    } catch (const kj::Exception& e) {
        refused = true;
    }
    EXPECT_TRUE(refused);
    EXPECT_THAT(waitAudit("refused"), HasSubstr("refused: no client certificate"));
}

TEST_F(RemoteDaemon, AnUnlistedCertificateGetsAccessDenied) {
    startListening();
    becomeClient("mallory");
    Status st;
    EXPECT_FALSE(rpc::Qd40Client::create(endpoint, &st));
    EXPECT_EQ(st.hr, E_ACCESSDENIED) << st.error.description;
    EXPECT_THAT(st.error.description, HasSubstr("refused this user's client certificate"));
    const std::string audit = waitAudit("refused");
    EXPECT_THAT(audit, HasSubstr("refused: certificate not in the allow-list"));
    EXPECT_THAT(audit, Not(HasSubstr("accepted")));
}

TEST_F(RemoteDaemon, ClientsBeyondTheLimitAreRefusedUntilOneLeaves) {
    platform::RegistryStore store;
    ASSERT_TRUE(store.setDword(Hive::LocalMachine, kRemoteKey, "MaxConnections", 2));
    startListening();
    Status st;
    auto first = rpc::Qd40Client::create(endpoint, &st);
    ASSERT_TRUE(first) << st.error.description;
    auto second = rpc::Qd40Client::create(endpoint, &st);
    ASSERT_TRUE(second) << st.error.description;

    EXPECT_FALSE(rpc::Qd40Client::create(endpoint, &st));
    EXPECT_EQ(st.hr, hr(0x800706BA)) << st.error.description;
    EXPECT_THAT(st.error.description, HasSubstr("limit of remote clients"));
    EXPECT_THAT(waitAudit("already served"), HasSubstr("refused: 2 remote clients already served"));

    // A client that leaves makes room; the daemon sees the connection end
    // shortly after, so the next one is tried until it gets in (bounded).
    first.reset();
    std::unique_ptr<rpc::Qd40Client> third;
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (!third && Clock::now() < deadline)
        third = rpc::Qd40Client::create(endpoint, &st);
    ASSERT_TRUE(third) << st.error.description;
    std::string version;
    EXPECT_EQ(third->Version(&version), S_OK);
}

}  // namespace
}  // namespace qd40::remote
