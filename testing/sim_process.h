// SimProcess: starts the module simulator qd40sim for a test and stops it.
//
//   qd40::testing::SimProcess sim;                 // TCP on a free loopback port
//   ASSERT_TRUE(sim.ok()) << sim.error();
//   connect to sim.tcpAddress():sim.tcpPort() ...
//
//   SimProcess::Options o;
//   o.rtu = true;                                  // also a pseudo-terminal
//   o.args = {"--time-scale", "100", "--echo"};    // any other qd40sim option
//   SimProcess line(o);                            // line.rtuPath() is the serial device
//
// The program is $QD40_BIN_DIR/qd40sim (set by qd40_add_test), else the
// qd40sim beside the running test executable. Each instance
// works in a private temporary folder (removed at the end) holding the
// pseudo-terminal link and the faults file; the wait for the simulator's
// "listening ..." lines is bounded. The destructor stops the simulator by its
// pid (SIGTERM, then SIGKILL after a bounded wait).
#pragma once
#include <sys/types.h>

#include <string>
#include <vector>

#include "common/unique_fd.h"

namespace qd40::testing {

class SimProcess {
public:
    struct Options {
        bool tcp = true;                // --tcp 127.0.0.1:0
        bool rtu = false;               // --rtu <folder>/tty
        std::vector<std::string> args;  // further options, e.g. {"--slave", "7"}
        std::string stateFile;          // --state FILE; empty: none
        int startTimeoutMs = 10000;
    };

    SimProcess();
    explicit SimProcess(const Options& options);
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // True when the simulator runs and listens on what was asked.
    bool ok() const { return error_.empty() && pid_ > 0; }
    // Why it did not start (empty when it did).
    const std::string& error() const { return error_; }

    std::string tcpAddress() const { return "127.0.0.1"; }
    int tcpPort() const { return tcpPort_; }
    // Path of the serial device (a link to the pseudo-terminal's slave side).
    const std::string& rtuPath() const { return rtuPath_; }
    // The private folder of this instance.
    const std::string& folder() const { return folder_; }
    pid_t pid() const { return pid_; }

    // Replaces the faults (text of `NAME VALUE` lines, see qd40sim --help) and
    // waits, bounded, until the simulator has taken them. False on time-out
    // or when the simulator rejected the text.
    bool setFaults(const std::string& text, int timeoutMs = 5000);

    // Stops the simulator cleanly (SIGTERM, bounded wait); true when it exited
    // with status 0. Called by the destructor when still running.
    bool stop(int timeoutMs = 5000);

private:
    bool readLine(std::string& line, int timeoutMs);

    Options options_;
    std::string error_;
    std::string folder_;
    std::string rtuPath_;
    std::string faultsPath_;
    std::string pending_;  // simulator output not yet split into lines
    int tcpPort_ = 0;
    int faultsGeneration_ = 0;
    UniqueFd outFd_;  // the simulator's standard output
    pid_t pid_ = -1;
};

}  // namespace qd40::testing
