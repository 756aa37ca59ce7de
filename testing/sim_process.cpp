#include "testing/sim_process.h"

#include "common/output_file.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

namespace qd40::testing {

namespace {

using Clock = std::chrono::steady_clock;

int remainingMs(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? int(left) : 0;
}

}  // namespace

SimProcess::SimProcess() : SimProcess(Options{}) {}

SimProcess::SimProcess(const Options& options) : options_(options) {
    // Programs and tests land in the same folder: without QD40_BIN_DIR, look
    // beside the running test.
    std::string binDir;
    if (const char* env = std::getenv("QD40_BIN_DIR"); env && *env) {
        binDir = env;
    } else {
        std::error_code ec;
        binDir = std::filesystem::read_symlink("/proc/self/exe", ec).parent_path().string();
    }
    const std::string program = binDir + "/qd40sim";
    if (::access(program.c_str(), X_OK) != 0) {
        error_ = "cannot run " + program + ": " + std::strerror(errno);
        return;
    }
    char tmpl[] = "/tmp/qd40sim-test-XXXXXX";
    if (!::mkdtemp(tmpl)) {
        error_ = std::string("cannot create a temporary folder: ") + std::strerror(errno);
        return;
    }
    folder_ = tmpl;
    faultsPath_ = folder_ + "/faults";

    std::vector<std::string> args{program, "--faults", faultsPath_};
    if (options_.tcp)
        args.insert(args.end(), {"--tcp", "127.0.0.1:0"});
    if (options_.rtu) {
        rtuPath_ = folder_ + "/tty";
        args.insert(args.end(), {"--rtu", rtuPath_});
    }
    if (!options_.stateFile.empty())
        args.insert(args.end(), {"--state", options_.stateFile});
    args.insert(args.end(), options_.args.begin(), options_.args.end());

    // Built before fork: the child of a threaded test may only make
    // async-signal-safe calls (no allocation) before exec.
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        error_ = std::string("cannot create a pipe: ") + std::strerror(errno);
        return;
    }
    const pid_t pid = ::fork();
    if (pid < 0) {
        error_ = std::string("cannot fork: ") + std::strerror(errno);
        ::close(fds[0]);
        ::close(fds[1]);
        return;
    }
    if (pid == 0) {
        ::dup2(fds[1], STDOUT_FILENO);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(fds[1]);
    pid_ = pid;
    outFd_.reset(fds[0]);

    // Bounded wait for one "listening" line per endpoint.
    const auto deadline = Clock::now() + std::chrono::milliseconds(options_.startTimeoutMs);
    int expected = (options_.tcp ? 1 : 0) + (options_.rtu ? 1 : 0);
    while (expected > 0) {
        std::string line;
        if (!readLine(line, remainingMs(deadline))) {
            error_ = "qd40sim did not report listening within " +
                     std::to_string(options_.startTimeoutMs) + " ms (see its messages above)";
            stop(1000);
            return;
        }
        if (line.rfind("listening tcp ", 0) == 0) {
            tcpPort_ = std::atoi(line.substr(line.rfind(':') + 1).c_str());
            --expected;
        } else if (line.rfind("listening rtu ", 0) == 0) {
            --expected;
        }
    }
}

SimProcess::~SimProcess() {
    if (pid_ > 0)
        stop();
    if (!folder_.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(folder_, ec);
    }
}

bool SimProcess::readLine(std::string& line, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto nl = pending_.find('\n');
        if (nl != std::string::npos) {
            line = pending_.substr(0, nl);
            pending_.erase(0, nl + 1);
            return true;
        }
        if (!outFd_)
            return false;
        pollfd pfd{outFd_.get(), POLLIN, 0};
        const int r = ::poll(&pfd, 1, remainingMs(deadline));
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return false;
        char buf[512];
        const ssize_t n = ::read(outFd_.get(), buf, sizeof buf);
        if (n <= 0)
            return false;  // the simulator ended
        pending_.append(buf, size_t(n));
    }
}

bool SimProcess::setFaults(const std::string& text, int timeoutMs) {
    if (pid_ <= 0)
        return false;
    // Replaced whole, so the simulator never reads half a text; a counter
    // line makes every text new, so the simulator reports it.
    const std::string content = text + "\n# " + std::to_string(++faultsGeneration_) + "\n";
    if (!OutputFile::write(faultsPath_,
                           {reinterpret_cast<const uint8_t*>(content.data()), content.size()}))
        return false;
    ::kill(pid_, SIGHUP);
    // The simulator reports every load of the faults file on its output.
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string line;
    while (readLine(line, remainingMs(deadline))) {
        if (line == "faults loaded")
            return true;
        if (line.rfind("faults rejected", 0) == 0)
            return false;
    }
    return false;
}

bool SimProcess::stop(int timeoutMs) {
    if (pid_ <= 0)
        return false;
    ::kill(pid_, SIGTERM);
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    int status = 0;
    for (;;) {
        const pid_t r = ::waitpid(pid_, &status, WNOHANG);
        if (r == pid_)
            break;
        if (r < 0 || Clock::now() >= deadline) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &status, 0);
            pid_ = -1;
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    pid_ = -1;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace qd40::testing
