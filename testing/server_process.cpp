#include "testing/server_process.h"

#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

namespace qd40::testing {

namespace {

using Clock = std::chrono::steady_clock;

std::string makeTempDir(const char* prefix) {
    std::string pattern = std::string("/tmp/") + prefix + "XXXXXX";
    if (!::mkdtemp(pattern.data()))
        return {};
    return pattern;
}

bool canConnect(const std::string& path) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path)
        return false;
    std::strcpy(addr.sun_path, path.c_str());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool ok = fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    if (fd >= 0)
        ::close(fd);
    return ok;
}

pid_t spawn(const std::vector<std::string>& args, int maxOpenFiles = 0) {
    std::vector<char*> argv;
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (maxOpenFiles > 0) {
            rlimit limit{};
            ::getrlimit(RLIMIT_NOFILE, &limit);
            limit.rlim_cur = rlim_t(maxOpenFiles);
            if (::setrlimit(RLIMIT_NOFILE, &limit) != 0)
                ::_exit(126);
        }
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    return pid;
}

// Waits for our child; false on time-out.
bool reap(pid_t pid, int timeoutMs, int* status) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const pid_t r = ::waitpid(pid, status, WNOHANG);
        if (r == pid || r < 0)
            return true;
        if (Clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

}  // namespace

bool processAlive(pid_t pid) {
    if (pid <= 0 || ::kill(pid, 0) != 0)
        return false;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const size_t close = line.rfind(')');
    return close == std::string::npos || close + 2 >= line.size() || line[close + 2] != 'Z';
}

std::string ServerProcess::program() {
    if (const char* bin = std::getenv("QD40_BIN_DIR"); bin && *bin)
        return std::string(bin) + "/ovixqd40svr";
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return (self.parent_path() / "ovixqd40svr").string();
}

ServerProcess::ServerProcess() : ServerProcess(Options{}) {}

ServerProcess::ServerProcess(const Options& options) : maxOpenFiles_(options.maxOpenFiles) {
    registryDir_ = makeTempDir("qd40-reg-");
    runtimeDir_ = makeTempDir("qd40-run-");
    if (registryDir_.empty() || runtimeDir_.empty()) {
        error_ = "cannot create the private folders";
        return;
    }
    if (const char* r = std::getenv("OVIX_REGISTRY"))
        hadRegistry_ = true, savedRegistry_ = r;
    if (const char* r = std::getenv("OVIX_RUNTIME_DIR"))
        hadRuntime_ = true, savedRuntime_ = r;
    ::setenv("OVIX_REGISTRY", registryDir_.c_str(), 1);
    ::setenv("OVIX_RUNTIME_DIR", runtimeDir_.c_str(), 1);
    if (!std::filesystem::exists(program())) {
        error_ = program() + " not found";
        return;
    }
    if (options.registerClass && run({"-RegServer"}) != 0)
        error_ = "ovixqd40svr -RegServer failed";
}

ServerProcess::~ServerProcess() {
    stop();
    if (hadRegistry_)
        ::setenv("OVIX_REGISTRY", savedRegistry_.c_str(), 1);
    else
        ::unsetenv("OVIX_REGISTRY");
    if (hadRuntime_)
        ::setenv("OVIX_RUNTIME_DIR", savedRuntime_.c_str(), 1);
    else
        ::unsetenv("OVIX_RUNTIME_DIR");
    std::error_code ec;
    if (!registryDir_.empty())
        std::filesystem::remove_all(registryDir_, ec);
    if (!runtimeDir_.empty())
        std::filesystem::remove_all(runtimeDir_, ec);
}

int ServerProcess::run(const std::vector<std::string>& args, int timeoutMs) {
    std::vector<std::string> argv{program()};
    argv.insert(argv.end(), args.begin(), args.end());
    const pid_t pid = spawn(argv);
    if (pid < 0)
        return -1;
    int status = 0;
    if (!reap(pid, timeoutMs, &status)) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool ServerProcess::setPortDevice(int n, const std::string& device) {
    return run({"-Port", std::to_string(n) + "=" + device}) == 0;
}

bool ServerProcess::start(const std::vector<std::string>& args, int timeoutMs) {
    std::vector<std::string> argv{program()};
    argv.insert(argv.end(), args.begin(), args.end());
    child_ = spawn(argv, maxOpenFiles_);
    if (child_ < 0)
        return false;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Clock::now() < deadline) {
        if (canConnect(socketPath()))
            return true;
        int status = 0;
        if (::waitpid(child_, &status, WNOHANG) == child_) {
            child_ = -1;
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

pid_t ServerProcess::daemonPid() const {
    std::ifstream in(runtimeDir_ + "/ovixqd40svr.pid");
    pid_t pid = -1;
    if (!(in >> pid) || !processAlive(pid))
        return -1;
    return pid;
}

bool ServerProcess::waitExit(int timeoutMs) const {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (child_ > 0)
            ::waitpid(child_, nullptr, WNOHANG);
        if (daemonPid() < 0)
            return true;
        if (Clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

bool ServerProcess::stop(int timeoutMs) {
    const pid_t pid = daemonPid();
    if (pid > 0) {
        ::kill(pid, SIGTERM);
        if (!waitExit(timeoutMs)) {
            ::kill(pid, SIGKILL);
            waitExit(timeoutMs);
        }
    }
    if (child_ > 0) {
        int status = 0;
        if (!reap(child_, timeoutMs, &status)) {
            ::kill(child_, SIGKILL);
            ::waitpid(child_, &status, 0);
        }
        child_ = -1;
    }
    return daemonPid() < 0;
}

}  // namespace qd40::testing
