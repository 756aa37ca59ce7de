// The application's own command-line switches. The raw command line is split
// at "-", "/" and blanks; each token is compared ignoring case. The first
// "UnregServer" or "RegServer" ends the scan. A document path is the first
// argument that is not a switch.
#pragma once
#include <string>
#include <vector>

namespace qd40::app {

struct CommandLine {
    bool regServer = false;
    bool unregServer = false;
    bool startOpcServer = false;
    std::string documentPath;

    // A registration switch ends the program without a window.
    bool endsAtRegistration() const { return regServer || unregServer; }
};

// args excludes the program name.
CommandLine parseCommandLine(const std::vector<std::string>& args);

}  // namespace qd40::app
