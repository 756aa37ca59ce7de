// The command logic of the qd40 command-line client: the whole command line
// is parsed and run against one OvixQd40Ctl, so that scripts exercise the
// same path as the desktop application. The program is a thin main() over
// runQd40(); tests call runQd40() directly with their own factory, clock
// and output streams.
#pragma once
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "common/dates.h"
#include "control/ctl/qd40_link.h"
#include "platform/locale.h"
#include "platform/registry.h"

namespace qd40::cli {

struct CliContext {
    // Creates the module's Qd40 object (the daemon factory in the program).
    ctl::Qd40Factory factory;
    // Dates, times and the decimal separator of every printed value.
    platform::Locale locale = platform::Locale::posix();
    // The registry store the control reads its serial-mode settings from.
    platform::RegistryStore registry;
    // The computer's local time, sent by "clock sync".
    std::function<DateTime()> now;
    // Waits between two scans.
    std::function<void(int ms)> sleep;
    // Interrupts (Ctrl-C) of the long loops, scan and mem read: while
    // catchInterrupts(true) is in force an interrupt is only noted, so that the
    // loop ends and the module is closed properly (its register 901 given
    // back); interrupted() tells whether one came. Either may be empty.
    std::function<void(bool)> catchInterrupts;
    std::function<bool()> interrupted;
};

// The formats of the environment's locale (platform::Locale::fromEnvironment),
// where the C locale with a character set ("C.UTF-8") formats dates and
// times as the C locale does: YYYY-MM-DD and HH:MM:SS.
platform::Locale environmentLocale();

// The computer's local time with its milliseconds.
DateTime localNow();

// Runs one command line (without the program name). Results go to `out`;
// on failure one line "error 0xHHHHHHHH: DESCRIPTION" goes to `err`.
// Returns the exit code: 0 on success, otherwise 1.
int runQd40(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
            const CliContext& context);

}  // namespace qd40::cli
