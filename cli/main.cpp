// qd40: the command-line client of Qd40 modules (see qd40 --help).
#include <signal.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <iostream>
#include <thread>

#include "cli/qd40_cli.h"
#include "control/ctl/daemon_factory.h"

namespace {

volatile std::sig_atomic_t gCatching = 0;
volatile std::sig_atomic_t gInterrupted = 0;

// Inside a loop that polls for it, an interrupt is only noted; elsewhere (and
// at a second interrupt) it ends the program as usual.
void onInterrupt(int sig) {
    if (gCatching && !gInterrupted) {
        gInterrupted = 1;
        return;
    }
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

}  // namespace

int main(int argc, char** argv) {
    // A closed output (qd40 ... | head) is a write error, not a silent death.
    std::signal(SIGPIPE, SIG_IGN);
    struct sigaction sa {};
    sa.sa_handler = onInterrupt;
    sa.sa_flags = SA_RESTART;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);

    qd40::cli::CliContext context;
    context.factory = qd40::ctl::daemonFactory();
    context.locale = qd40::cli::environmentLocale();
    context.now = qd40::cli::localNow;
    context.catchInterrupts = [](bool on) { gCatching = on ? 1 : 0; };
    context.interrupted = [] { return gInterrupted != 0; };
    // Waits in short steps, so that an interrupt ends the wait.
    context.sleep = [](int ms) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (!gInterrupted && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    };
    return qd40::cli::runQd40(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr,
                              context);
}
