#include "server/socket_activation.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace qd40::server {

namespace {
constexpr int kFirstHandedFd = 3;

long envNumber(const char* name) {
    const char* v = std::getenv(name);
    if (!v || !*v)
        return -1;
    char* end = nullptr;
    const long n = std::strtol(v, &end, 10);
    return end && *end == '\0' ? n : -1;
}
}  // namespace

int handedListenSocket() {
    const long pid = envNumber("LISTEN_PID");
    const long fds = envNumber("LISTEN_FDS");
    ::unsetenv("LISTEN_PID");
    ::unsetenv("LISTEN_FDS");
    ::unsetenv("LISTEN_FDNAMES");
    if (pid != long(::getpid()) || fds < 1)
        return -1;
    // Only a listening stream socket will do.
    int type = 0, listening = 0;
    socklen_t len = sizeof type;
    if (::getsockopt(kFirstHandedFd, SOL_SOCKET, SO_TYPE, &type, &len) != 0 || type != SOCK_STREAM)
        return -1;
    len = sizeof listening;
    if (::getsockopt(kFirstHandedFd, SOL_SOCKET, SO_ACCEPTCONN, &listening, &len) != 0 ||
        !listening)
        return -1;
    ::fcntl(kFirstHandedFd, F_SETFD, FD_CLOEXEC);
    return kFirstHandedFd;
}

}  // namespace qd40::server
