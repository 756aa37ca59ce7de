// A daemon started by the service manager on its socket (LISTEN_FDS): it
// serves on the socket it was handed, ends after the idle delay as any
// daemon started on demand, and leaves the socket in place for the next
// start.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

#include "platform/activation/activation.h"
#include "server/rpc/qd40_client.h"
#include "testing/server_process.h"

namespace qd40::server::testing {
namespace {

using qd40::testing::ServerProcess;
using Clock = std::chrono::steady_clock;

// A listening Unix socket at `path`, as the service manager holds it.
int listenAt(const std::string& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(fd, 16) != 0)
        return -1;
    return fd;
}

// Starts the daemon with `fd` as its descriptor 3 and the protocol's variables.
pid_t startActivated(int fd) {
    const std::string program = ServerProcess::program();
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (fd != 3) {
            ::dup2(fd, 3);
            ::close(fd);
        }
        const std::string self = std::to_string(::getpid());
        ::setenv("LISTEN_PID", self.c_str(), 1);
        ::setenv("LISTEN_FDS", "1", 1);
        const char* argv[] = {program.c_str(), "-Embedding", nullptr};
        ::execv(program.c_str(), const_cast<char* const*>(argv));
        ::_exit(127);
    }
    return pid;
}

TEST(SocketActivation, TheHandedSocketIsServedAndOutlivesTheIdleDaemon) {
    ServerProcess svr(ServerProcess::Options{.registerClass = false});
    ASSERT_TRUE(svr.ok()) << svr.error();
    const std::string path = svr.socketPath();
    const int fd = listenAt(path);
    ASSERT_GE(fd, 0) << std::strerror(errno);
    const pid_t pid = startActivated(fd);
    ASSERT_GT(pid, 0);
    ::close(fd);  // the manager's copy; the daemon has its own

    {
        // No class registration: the client finds the socket and nothing else.
        Status st;
        auto q = rpc::Qd40Client::create("", &st);
        ASSERT_TRUE(q) << st.error.description;
        std::string version;
        EXPECT_EQ(q->Version(&version), S_OK);
        EXPECT_EQ(version, "B.10");
    }
    // The idle exit stays: about five seconds after its last client.
    int status = 0;
    pid_t ended = 0;
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while ((ended = ::waitpid(pid, &status, WNOHANG)) == 0 && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_EQ(ended, pid) << "the daemon did not end after its idle delay";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_TRUE(std::filesystem::exists(path)) << "the manager's socket was removed";
}

}  // namespace
}  // namespace qd40::server::testing
