// The daemon as a process: command line and registration, activation,
// lifetime, one daemon per socket, dead clients, the remote-control mutex
// across processes, and remote clients over TCP.
#include <gmock/gmock.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <future>
#include <thread>

#include "platform/named_mutex.h"
#include "server/qd40_ids.h"
#include "server/registration.h"
#include "server/tests/e2e_fixture.h"

namespace qd40::server::testing {
namespace {

using qd40::testing::ServerProcess;
using qd40::testing::SimProcess;
using Clock = std::chrono::steady_clock;
using platform::Hive;

TEST(DaemonCommandLine, TokensAreReadAsTheServerReadsThem) {
    using A = CommandLine::Action;
    struct Case {
        std::vector<std::string> args;
        A action;
        bool lock;
    };
    const std::vector<Case> cases = {
        {{"/regserver"}, A::Register, false},
        {{"-UNREGSERVER"}, A::Unregister, false},
        {{"RegServer"}, A::Serve, false},
        {{"-Lock", "-RegServer"}, A::Register, true},
        {{"-UnregServer", "-RegServer"}, A::Unregister, false},
        {{"-Embedding", "/LOCK", "-whatever"}, A::Serve, true},
        {{"-Port", "3=/dev/ttyUSB0"}, A::SetPortDevice, false},
        {{"-Port", "9=/dev/ttyUSB0"}, A::Invalid, false},
        {{"-Listen"}, A::Invalid, false},
        {{"-Lock", "--help"}, A::Help, true},
        {{"-h"}, A::Help, false},
    };
    for (const auto& c : cases) {
        const CommandLine cl = parseCommandLine(c.args);
        EXPECT_EQ(cl.action, c.action) << ::testing::PrintToString(c.args);
        EXPECT_EQ(cl.lock, c.lock) << ::testing::PrintToString(c.args);
    }
    const CommandLine port = parseCommandLine({"-port", "3=/dev/ttyUSB0"});
    EXPECT_EQ(port.port, 3);
    EXPECT_EQ(port.device, "/dev/ttyUSB0");
}

TEST(DaemonProcess, HelpPrintsTheUsageAndStartsNoDaemon) {
    ServerProcess svr;
    ASSERT_TRUE(svr.ok()) << svr.error();
    EXPECT_EQ(svr.run({"--help"}, 3000), 0) << "a daemon would still be running";
    EXPECT_EQ(svr.daemonPid(), -1) << "no daemon was started";
}

TEST(DaemonProcess, RegistersAndUnregistersItsClass) {
    ServerProcess svr(ServerProcess::Options{false});
    ASSERT_TRUE(svr.ok()) << svr.error();
    platform::RegistryStore store;
    const std::string clsid = "CLSID\\" + kClsidQd40.toString();
    ASSERT_EQ(svr.run({"-Lock", "/regserver"}), 0);
    EXPECT_EQ(registeredServerPath(store),
              std::filesystem::canonical(ServerProcess::program()).string());
    EXPECT_EQ(store.getString(Hive::ClassesRoot, clsid, ""), "Qd40 Class");
    EXPECT_EQ(store.getString(Hive::ClassesRoot, clsid + "\\ProgID", ""), "OvixQd40Svr.Qd40.1");
    EXPECT_EQ(store.getString(Hive::ClassesRoot, "OvixQd40Svr.Qd40\\CurVer", ""),
              "OvixQd40Svr.Qd40.1");
    EXPECT_EQ(store.getString(Hive::ClassesRoot, "AppID\\OvixQd40Svr.EXE", "AppID"),
              kAppIdQd40Svr.toString());
    EXPECT_TRUE(store.keyExists(Hive::ClassesRoot, clsid + "\\Programmable"));

    ASSERT_EQ(svr.run({"-UnregServer", "-RegServer"}), 0);
    EXPECT_FALSE(registeredServerPath(store));
    EXPECT_FALSE(store.keyExists(Hive::ClassesRoot, clsid));
    EXPECT_FALSE(store.keyExists(Hive::ClassesRoot, "OvixQd40Svr.Qd40.1"));
    EXPECT_EQ(svr.daemonPid(), -1) << "registration never leaves a daemon running";
}

TEST(DaemonProcess, ActivationStartsOneDaemonThatEndsAfterItsLastObject) {
    ServerProcess svr;
    ASSERT_TRUE(svr.ok()) << svr.error();
    {
        Status st;
        ServerProcess unregistered(ServerProcess::Options{false});
        EXPECT_FALSE(rpc::Qd40Client::create("", &st));
        EXPECT_EQ(st.hr, hr(0x80040154)) << st.error.description;
    }
    auto a = newClient();
    auto b = newClient();
    ASSERT_TRUE(a && b);
    const pid_t pid = svr.daemonPid();
    ASSERT_GT(pid, 0);
    int32_t err = 0;
    ASSERT_EQ(a->PutAvailableComX(5, 1), S_OK);
    int32_t available = 0;
    ASSERT_EQ(b->GetAvailableComX(5, &available), S_OK);
    EXPECT_EQ(available, 1) << "both objects live in one daemon and share its port table";

    struct stat st {};
    ASSERT_EQ(::stat(svr.socketPath().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat(svr.runtimeDir().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    // A channel keeps the daemon alive after the objects' own locks are gone.
    SimProcess sim;
    ASSERT_TRUE(sim.ok()) << sim.error();
    ASSERT_EQ(a->OpenComm(sim.tcpAddress(), sim.tcpPort(), &err), S_OK);
    b.reset();
    std::this_thread::sleep_for(std::chrono::milliseconds(5600));
    EXPECT_EQ(svr.daemonPid(), pid);
    ASSERT_EQ(a->CloseComm(&err), S_OK);
    const auto released = Clock::now();
    a.reset();
    ASSERT_TRUE(svr.waitExit(9000));
    const auto lifetime = Clock::now() - released;
    EXPECT_GE(lifetime, std::chrono::milliseconds(4500));
    EXPECT_LE(lifetime, std::chrono::milliseconds(8000));
    EXPECT_FALSE(std::filesystem::exists(svr.socketPath()));
}

// How the idle delay restarts and how a connected client keeps the daemon
// are tested on an advanced timer (daemon_service_test.cpp); the test above
// keeps one measure of the real delay in a real process.

TEST(DaemonProcess, OneDaemonPerSocketAndAStaleSocketIsReplaced) {
    ServerProcess svr;
    ASSERT_TRUE(svr.ok()) << svr.error();
    ASSERT_TRUE(svr.start({"-Lock"}));
    const pid_t first = svr.daemonPid();
    EXPECT_EQ(svr.run({}), 2) << "a second daemon refuses to start";
    EXPECT_EQ(svr.daemonPid(), first);

    ::kill(first, SIGKILL);
    ASSERT_TRUE(svr.waitExit(5000));
    EXPECT_TRUE(std::filesystem::exists(svr.socketPath())) << "the dead daemon's socket stays";
    auto q = newClient();  // activation starts a fresh daemon over the stale socket
    ASSERT_TRUE(q);
    EXPECT_NE(svr.daemonPid(), first);
    std::string version;
    EXPECT_EQ(q->Version(&version), S_OK);
}

TEST(DaemonProcess, AKilledClientReleasesItsModuleAndTheOthersGoOn) {
    ServerProcess svr;
    ASSERT_TRUE(svr.ok()) << svr.error();
    SimProcess::Options o;
    o.tcp = false;
    o.rtu = true;
    SimProcess sim(o);
    ASSERT_TRUE(sim.ok()) << sim.error();
    ASSERT_TRUE(svr.setPortDevice(1, sim.rtuPath()));
    ASSERT_TRUE(svr.start({"-Lock"}));

    // The client process is forked before this process makes any client, so
    // it starts from a clean state; the guard kills it on every path.
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        auto c = rpc::Qd40Client::create();
        int32_t e = 0;
        const bool ok = c && succeeded(c->PutAvailableComX(1, 1)) &&
                        succeeded(c->OpenComm("", 1, &e)) && succeeded(c->Remote(1, &e));
        (void)!::write(ready[1], ok ? "y" : "n", 1);
        ::pause();
        ::_exit(0);
    }
    struct ChildGuard {
        pid_t pid;
        ~ChildGuard() {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    } guard{child};
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    ASSERT_EQ(c, 'y');
    // The mark spans processes: this test process sees the module held.
    EXPECT_EQ(platform::NamedMutex::create("Qd40MutexCom01@001").outcome,
              platform::NamedMutex::Outcome::AlreadyExists);
    auto q = newClient();
    int32_t err = 0;
    ASSERT_EQ(q->OpenComm("", 1, &err), S_OK) << q->lastError().description;
    EXPECT_EQ(q->Remote(1, &err), E_FAIL);

    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    HRESULT h = E_FAIL;
    while (failed(h) && Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        h = q->Remote(1, &err);
    }
    EXPECT_EQ(h, S_OK) << q->lastError().description;
    uint16_t id = 0;
    EXPECT_EQ(q->GetDevId(1, &id), S_OK);
    ::close(ready[0]);
    ::close(ready[1]);
}

TEST(DaemonProcess, ADaemonOutOfDescriptorsTakesNewClientsAgainOnceSomeAreFree) {
    ServerProcess::Options o;
    o.maxOpenFiles = 24;
    ServerProcess svr(o);
    ASSERT_TRUE(svr.ok()) << svr.error();
    ASSERT_TRUE(svr.start({"-Lock"}));
    // Bare connections that take the daemon's descriptors until it runs out.
    std::vector<int> bare;
    for (int i = 0; i < 40; ++i) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::strncpy(addr.sun_path, svr.socketPath().c_str(), sizeof addr.sun_path - 1);
        ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        bare.push_back(fd);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    for (int fd : bare)
        ::close(fd);

    auto served = std::async(std::launch::async, [] {
        Status st;
        auto q = rpc::Qd40Client::create({}, &st);
        std::string version;
        return q && succeeded(q->Version(&version)) && version == "B.10";
    });
    if (served.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        ADD_FAILURE() << "the daemon no longer takes new clients";
        svr.stop();  // ends the waiting client
    }
    EXPECT_TRUE(served.get());
}

TEST(DaemonProcess, NoTcpWithoutListenAndNoListenWithoutCertificates) {
    ServerProcess svr;
    ASSERT_TRUE(svr.ok()) << svr.error();
    // A free loopback port.
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(probe, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    socklen_t len = sizeof addr;
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&addr), &len);
    const std::string endpoint = "127.0.0.1:" + std::to_string(ntohs(addr.sin_port));
    ::close(probe);

    ASSERT_TRUE(svr.start({"-Lock"}));
    Status st;
    EXPECT_FALSE(rpc::Qd40Client::create(endpoint, &st)) << "no TCP without -Listen";
    EXPECT_EQ(st.hr, hr(0x800706BA));
    ASSERT_TRUE(svr.stop());

    // Remote clients are served over TLS only (server/tests/remote_tls_test.cpp):
    // without the daemon's certificate, -Listen refuses to start.
    EXPECT_FALSE(svr.start({"-Listen", endpoint}, 3000));
    EXPECT_EQ(svr.daemonPid(), -1);
}

}  // namespace
}  // namespace qd40::server::testing
