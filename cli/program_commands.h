// "qd40 doc export-program" and "qd40 doc show-program": a document's
// module programs written to, and read back from, the .wqx export of the
// desktop application.
#pragma once
#include <ostream>
#include <string>
#include <vector>

#include "cli/qd40_cli.h"
#include "common/error_info.h"

namespace qd40::cli {

// Help lines of the two commands.
extern const char* const kProgramDocHelp;
bool isProgramDocCommand(const std::string& sub);
// Runs the subcommand with its words (after the subcommand's name).
Status runProgramDocCommand(const std::string& sub, const std::vector<std::string>& words,
                            std::ostream& out, const CliContext& context);

}  // namespace qd40::cli
