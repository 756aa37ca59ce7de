// "qd40 setup ...": the module SETUP (the settings of the module's own
// communication interfaces) read and changed on a serial port of the
// communication server, on the same classes as the desktop application.
#pragma once
#include <ostream>
#include <string>
#include <vector>

#include "cli/qd40_cli.h"

namespace qd40::cli {

// Whether a command line (without the program name) is a setup command.
bool isSetupCommand(const std::vector<std::string>& args);
// Runs "setup [OPTIONS] SUBCOMMAND ..."; same outputs and exit codes as runQd40.
int runSetupCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                    const CliContext& context);

}  // namespace qd40::cli
