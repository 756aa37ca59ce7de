// The Qd40 object through the real RPC: the daemon side runs on its own
// thread and event loop over one end of a socket pair, over the scripted
// fake transport; the test uses the synchronous client proxy.
#include <capnp/rpc-twoparty.h>
#include <gmock/gmock.h>
#include <kj/async-io.h>
#include <sys/socket.h>

#include <thread>

#include "server/qd40_ids.h"
#include "server/rpc/qd40_client.h"
#include "server/rpc/rpc_server.h"
#include "server/tests/qd40_fixture.h"

namespace qd40::server::testing {
namespace {

using rpc::Qd40Client;
using ::testing::ElementsAre;

class RpcTest : public Qd40Fixture {
protected:
    // A client connection served by a daemon thread until the client goes away.
    std::unique_ptr<Qd40Client> connect() {
        int fds[2];
        EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
        servers_.emplace_back([this, fd = fds[1]] {
            auto io = kj::setupAsyncIo();
            auto stream =
                io.lowLevelProvider->wrapSocketFd(fd, kj::LowLevelAsyncIoProvider::TAKE_OWNERSHIP);
            capnp::TwoPartyVatNetwork network(*stream, capnp::rpc::twoparty::Side::SERVER);
            auto system = capnp::makeRpcServer(network, rpc::makeFactory(context, calls_.get()));
            network.onDisconnect().wait(io.waitScope);
        });
        Status st;
        auto client = Qd40Client::createOnSocket(fds[0], &st);
        EXPECT_TRUE(client) << st.error.description;
        return client;
    }
    // Waits until every daemon thread has seen its client go.
    void joinServers() {
        for (auto& t : servers_)
            t.join();
        servers_.clear();
    }
    void TearDown() override { joinServers(); }

    // The objects' call threads; reset, it waits for the last jobs of
    // released objects.
    std::unique_ptr<rpc::CallThreads> calls_ = std::make_unique<rpc::CallThreads>();
    std::vector<std::thread> servers_;
};

TEST_F(RpcTest, ErrorRecordsCrossWithTheirInterface) {
    auto q = connect();
    int32_t err = 0;
    EXPECT_EQ(q->OpenComm("", 0, &err), E_INVALIDARG);
    EXPECT_EQ(q->lastError().description, "Invalid Port");
    EXPECT_EQ(q->lastError().source, "OvixQd40Svr.Qd40.1");
    EXPECT_EQ(q->lastError().interfaceId, kIidIUser);
    Variant cfg;
    EXPECT_EQ(q->GetChanCfg(1, 31, &cfg, &err), E_INVALIDARG);
    EXPECT_EQ(q->lastError().description, "Invalid Channel Nr");
    EXPECT_EQ(q->lastError().interfaceId, kIidIOvix);
    std::string version;
    EXPECT_EQ(q->Version(&version), S_OK);
    EXPECT_EQ(version, "B.10");
}

TEST_F(RpcTest, ValuesAndArraysCrossByteForByte) {
    auto q = connect();
    int32_t err = 0;
    ASSERT_EQ(q->OpenComm("10.0.0.9", 502, &err), S_OK) << q->lastError().description;
    EXPECT_EQ(err, -1);
    module.onCommand = [](const std::vector<uint16_t>& b) {
        return std::vector<uint16_t>{uint16_t(b[2] + 1), 0xBEEF};
    };
    const Variant cmd = Variant::words(std::vector<uint16_t>{40, 1, 6});
    Variant answer;
    ASSERT_EQ(q->SendCmd(1, &cmd, 1, &answer, &err), S_OK);
    EXPECT_EQ(answer, Variant::bytes({40, 0, 2, 0, 7, 0, 0xEF, 0xBE}));
    EXPECT_EQ(q->SendCmd(1, nullptr, 0, &answer, &err), E_POINTER) << "a missing VARIANT";

    std::vector<uint8_t> mask{1, 2, 3, 4, 5, 6, 7, 8};
    const Variant in = Variant::bytes(mask);
    ASSERT_EQ(q->SetMemsStatusMask(1, &in, &err), S_OK);
    Variant out;
    ASSERT_EQ(q->GetMemsStatusMask(1, &out, &err), S_OK);
    EXPECT_EQ(out, in);

    Variant regs;
    int32_t ret = 0;
    ASSERT_EQ(q->ReadOutputRegisters(1, 5260, 2, &regs, 2, -1, &ret), S_OK);
    EXPECT_EQ(regs, Variant::words(std::vector<uint16_t>{0x0201, 0x0403}, VT_I2));
    const double date = 40178.5;  // 2009-12-31 12:00
    ASSERT_EQ(q->SetDate(1, date, &err), S_OK);
    double back = 0;
    ASSERT_EQ(q->GetDate(1, &back), S_OK);
    EXPECT_DOUBLE_EQ(back, date);
}

TEST_F(RpcTest, ReleasingTheProxyReleasesObjectChannelAndLocks) {
    auto first = connect();
    auto second = connect();
    int32_t err = 0;
    ASSERT_EQ(first->OpenComm("", 3, &err), S_OK);
    ASSERT_EQ(first->Remote(9, &err), S_OK);
    ASSERT_EQ(second->LockServer(true), S_OK);
    EXPECT_EQ(second->Remote(9, &err), E_FAIL) << "second object, closed channel";
    first.reset();
    second.reset();
    joinServers();
    calls_.reset();  // released objects go on their own threads
    EXPECT_EQ(life.count(), 0) << "objects, channel and factory lock all given back";
    EXPECT_EQ(module.transportsAlive, 0);
    EXPECT_EQ(platform::NamedMutex::create(mutexDir, "Qd40MutexCom03@009").outcome,
              platform::NamedMutex::Outcome::Created);
}

TEST_F(RpcTest, ALostDaemonGivesDisconnectedNotAHang) {
    int fds[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
    ::close(fds[1]);
    Status st;
    EXPECT_FALSE(Qd40Client::createOnSocket(fds[0], &st));
    EXPECT_EQ(st.hr, rpc::RPC_E_DISCONNECTED);
    EXPECT_FALSE(st.error.description.empty());
}

}  // namespace
}  // namespace qd40::server::testing
