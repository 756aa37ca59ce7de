#include "platform/activation/activation.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

#include "platform/registry.h"
#include "platform/runtime_dir.h"

namespace qd40::activation {

namespace {

using Clock = std::chrono::steady_clock;

Connection failure(HRESULT h, std::string text) {
    return Connection{-1, h, std::move(text)};
}

// Starts `program -Embedding` detached from this process (its own session,
// reaped by init), its output going to a log in the runtime folder. Returns
// the error text, empty on success.
std::string spawnDetached(const std::string& program, const std::filesystem::path& logFile) {
    int errPipe[2];
    if (::pipe2(errPipe, O_CLOEXEC) != 0)
        return std::strerror(errno);
    const pid_t child = ::fork();
    if (child < 0) {
        const int err = errno;
        ::close(errPipe[0]);
        ::close(errPipe[1]);
        return std::strerror(err);
    }
    if (child == 0) {
        ::close(errPipe[0]);
        ::setsid();
        const pid_t grandchild = ::fork();
        if (grandchild != 0)
            ::_exit(grandchild < 0 ? 1 : 0);
        const int devnull = ::open("/dev/null", O_RDONLY);
        const int log = ::open(logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        if (devnull >= 0)
            ::dup2(devnull, 0);
        if (log >= 0) {
            ::dup2(log, 1);
            ::dup2(log, 2);
        }
        for (int fd = 3; fd < 1024; ++fd)
            if (fd != errPipe[1])
                ::close(fd);
        const char* argv[] = {program.c_str(), "-Embedding", nullptr};
        ::execv(program.c_str(), const_cast<char* const*>(argv));
        const int err = errno;
        (void)!::write(errPipe[1], &err, sizeof err);
        ::_exit(127);
    }
    ::close(errPipe[1]);
    int status = 0;
    ::waitpid(child, &status, 0);
    int err = 0;
    const ssize_t n = ::read(errPipe[0], &err, sizeof err);
    ::close(errPipe[0]);
    if (n == sizeof err)
        return program + ": " + std::strerror(err);
    return {};
}

}  // namespace

std::filesystem::path socketPath() {
    return platform::runtimeDirPath() / kSocketName;
}

Connection connectSocket(const std::filesystem::path& path) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.native().size() >= sizeof addr.sun_path)
        return failure(RPC_S_SERVER_UNAVAILABLE, "Socket path too long: " + path.string());
    std::strcpy(addr.sun_path, path.c_str());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return failure(RPC_S_SERVER_UNAVAILABLE, std::strerror(errno));
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        const int err = errno;
        ::close(fd);
        return failure(RPC_S_SERVER_UNAVAILABLE, path.string() + ": " + std::strerror(err));
    }
    return Connection{fd, S_OK, {}};
}

Connection connectLocal(const Guid& clsid, std::chrono::milliseconds startTimeout) {
    std::string error;
    const auto dir = platform::ensureRuntimeDir(&error);
    if (!dir)
        return failure(CO_E_SERVER_EXEC_FAILURE, error);
    const auto path = *dir / kSocketName;
    if (Connection c = connectSocket(path))
        return c;

    platform::RegistryStore store;
    const auto program = store.getString(platform::Hive::ClassesRoot,
                                         "CLSID\\" + clsid.toString() + "\\LocalServer32", "");
    if (!program || program->empty())
        return failure(REGDB_E_CLASSNOTREG, "Class not registered: " + clsid.toString());
    if (std::string err = spawnDetached(*program, *dir / "ovixqd40svr.log"); !err.empty())
        return failure(CO_E_SERVER_EXEC_FAILURE, "Server execution failed: " + err);

    const auto deadline = Clock::now() + startTimeout;
    for (;;) {
        if (Connection c = connectSocket(path))
            return c;
        if (Clock::now() >= deadline)
            return failure(CO_E_SERVER_EXEC_FAILURE, "Server execution failed: " + *program +
                                                         " did not open " + path.string());
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

bool parseHostPort(const std::string& text, std::string& host, uint16_t& port,
                   uint16_t defaultPort) {
    std::string portText;
    if (!text.empty() && text[0] == '[') {
        const size_t close = text.find(']');
        if (close == std::string::npos)
            return false;
        host = text.substr(1, close - 1);
        if (close + 1 < text.size()) {
            if (text[close + 1] != ':')
                return false;
            portText = text.substr(close + 2);
            if (portText.empty())
                return false;
        }
    } else {
        const size_t colon = text.rfind(':');
        if (colon != std::string::npos && text.find(':') == colon) {
            host = text.substr(0, colon);
            portText = text.substr(colon + 1);
            if (portText.empty())
                return false;
        } else {
            host = text;  // no port, or a bare IPv6 address
        }
    }
    if (host.empty())
        return false;
    port = defaultPort;
    if (!portText.empty()) {
        if (portText.size() > 5 || portText.find_first_not_of("0123456789") != std::string::npos)
            return false;
        const int p = std::stoi(portText);
        if (p < 1 || p > 65535)
            return false;
        port = uint16_t(p);
    }
    return true;
}

Connection connectRemote(const std::string& hostPort, std::chrono::milliseconds timeout) {
    std::string host;
    uint16_t port = 0;
    if (!parseHostPort(hostPort, host, port))
        return failure(RPC_S_SERVER_UNAVAILABLE, "Invalid host \"" + hostPort + "\"");
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    if (int rc = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &list); rc != 0)
        return failure(RPC_S_SERVER_UNAVAILABLE, host + ": " + ::gai_strerror(rc));
    std::string error = host + ": no address";
    for (addrinfo* a = list; a; a = a->ai_next) {
        const int fd =
            ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol);
        if (fd < 0)
            continue;
        int rc = ::connect(fd, a->ai_addr, a->ai_addrlen);
        if (rc != 0 && errno == EINPROGRESS) {
            pollfd p{fd, POLLOUT, 0};
            rc = ::poll(&p, 1, int(timeout.count())) == 1 ? 0 : -1;
            int soErr = rc == 0 ? 0 : ETIMEDOUT;
            socklen_t len = sizeof soErr;
            if (rc == 0)
                ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &soErr, &len);
            if (soErr != 0) {
                errno = soErr;
                rc = -1;
            }
        }
        if (rc == 0) {
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
            ::freeaddrinfo(list);
            return Connection{fd, S_OK, {}};
        }
        error = hostPort + ": " + std::strerror(errno);
        ::close(fd);
    }
    ::freeaddrinfo(list);
    return failure(RPC_S_SERVER_UNAVAILABLE, error);
}

}  // namespace qd40::activation
