// "qd40 doc ...": documents of the desktop application, read and changed on
// the same classes, for scripts and machines without a display.
#pragma once
#include <ostream>
#include <string>
#include <vector>

#include "cli/qd40_cli.h"

namespace qd40::cli {

// Whether a command line (without the program name) is a doc command.
bool isDocCommand(const std::vector<std::string>& args);
// Runs "doc SUBCOMMAND ..."; same outputs and exit codes as runQd40.
int runDocCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                  const CliContext& context);

}  // namespace qd40::cli
