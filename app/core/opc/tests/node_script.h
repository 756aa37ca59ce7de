// NodeScript: a Node.js script run by a test or a benchmark, its output
// taken line by line while the caller's Qt event loop keeps running (tavik's
// side of the conversation lives in that loop). Closing its input asks it to
// end; the destructor waits a bounded time, then kills it by its pid.
#pragma once
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <deque>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <QCoreApplication>

extern char** environ;

namespace qd40::app::opc::nodejs {

class NodeScript {
public:
    explicit NodeScript(std::vector<std::string> args) {
        int in[2], out[2];
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0)
            return;
        posix_spawn_file_actions_t a;
        posix_spawn_file_actions_init(&a);
        posix_spawn_file_actions_adddup2(&a, in[0], 0);
        posix_spawn_file_actions_adddup2(&a, out[1], 1);
        args.insert(args.begin(), "node");
        std::vector<char*> argv;
        for (auto& s : args)
            argv.push_back(s.data());
        argv.push_back(nullptr);
        if (::posix_spawnp(&pid_, "node", &a, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&a);
        ::close(in[0]);
        ::close(out[1]);
        stdin_ = in[1];
        stdout_ = out[0];
        ::fcntl(stdout_, F_SETFL, O_NONBLOCK);
    }
    ~NodeScript() {
        closeInput();
        if (pid_ > 0 && !waitExit(std::chrono::seconds(5))) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (stdout_ >= 0)
            ::close(stdout_);
    }
    NodeScript(const NodeScript&) = delete;
    NodeScript& operator=(const NodeScript&) = delete;

    bool started() const { return pid_ > 0; }
    void write(const std::string& text) { (void)!::write(stdin_, text.data(), text.size()); }
    void closeInput() {
        if (stdin_ >= 0)
            ::close(stdin_);
        stdin_ = -1;
    }
    // The next line, the event loop running meanwhile; nullopt once the time
    // is up or the script has ended without more output.
    std::optional<std::string> line(std::chrono::milliseconds limit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        for (;;) {
            read();
            if (!lines_.empty()) {
                std::string l = std::move(lines_.front());
                lines_.pop_front();
                return l;
            }
            if (std::chrono::steady_clock::now() > deadline || (eof_ && exitCode()))
                return std::nullopt;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    std::optional<int> exitCode() {
        if (!code_ && pid_ > 0) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_)
                code_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        return code_;
    }
    // Runs the event loop until the script ends; false on time-out.
    bool waitExit(std::chrono::milliseconds limit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (!exitCode()) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            read();
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }

private:
    void read() {
        char buf[65536];
        ssize_t n;
        while ((n = ::read(stdout_, buf, sizeof buf)) > 0)
            pending_.append(buf, static_cast<size_t>(n));
        if (n == 0)
            eof_ = true;
        for (size_t nl; (nl = pending_.find('\n')) != std::string::npos; pending_.erase(0, nl + 1))
            lines_.push_back(pending_.substr(0, nl));
    }

    pid_t pid_ = -1;
    int stdin_ = -1, stdout_ = -1;
    bool eof_ = false;
    std::string pending_;
    std::deque<std::string> lines_;
    std::optional<int> code_;
};

}  // namespace qd40::app::opc::nodejs
