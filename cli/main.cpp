// qd40: the command-line client of Qd40 modules (see qd40 --help).
#include <iostream>

#include "cli/qd40_cli.h"
#include "control/ctl/daemon_factory.h"

int main(int argc, char** argv) {
    qd40::cli::CliContext context;
    context.factory = qd40::ctl::daemonFactory();
    context.locale = qd40::cli::environmentLocale();
    context.now = qd40::cli::localNow;
    return qd40::cli::runQd40(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr,
                              context);
}
