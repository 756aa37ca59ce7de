// Argument errors of qd40 are found before any module is reached: the
// factory that would create the module's object is never called.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/qd40_cli.h"

namespace qd40::cli {
namespace {

TEST(CliArguments, ErrorsAreToldWithoutReachingAModule) {
    int created = 0;
    CliContext context;
    context.factory = [&](const std::string&, std::unique_ptr<ctl::Qd40Link>&) {
        ++created;
        return Status::failure(E_FAIL, "no module in this test");
    };
    struct Case {
        std::vector<std::string> args;
        std::string err;
    };
    const std::string m = "--tcp";
    const std::string at = "127.0.0.1:9";
    const Case cases[] = {
        {{m, at, "bogus"}, "unknown command 'bogus' (see qd40 --help)"},
        {{"status"}, "no module given: use --tcp HOST[:PORT] or --com N (see qd40 --help)"},
        {{m, at, "relay", "get", "3"}, "invalid relay '3': expected a number from 1 to 2"},
        {{m, at, "mem", "read", "11"}, "invalid block '11': expected a number from 1 to 10"},
        {{m, at, "mem", "read", "1", "--first", "2", "--clear", "--raw", "x"},
         "--clear removes the oldest records of the block: use it with --first 1 only"},
        {{m, at, "mem", "read", "1", "--clear"},
         "--clear needs --raw, --text or --sheet, so that the records read are kept"},
        {{m, at, "status", "--fast"},
         "unknown option '--fast' for status (see qd40 status --help)"},
        {{m, at, "clock", "set", "2026-13-01 00:00:00"},
         "invalid date '2026-13-01 00:00:00': expected \"YYYY-MM-DD HH:MM:SS\""},
        {{m, at, "clock", "set", "1999-12-31 23:59:59"},
         "invalid date '1999-12-31 23:59:59': the module's clock runs from 2000-01-01 to "
         "2255-12-31"},
        {{m, at, "--com", "1", "status"}, "give either --tcp or --com, not both"},
        {{m, at, "--baud", "9600", "status"},
         "--host, --baud, --serial-mode and --server-params go with --com"},
        {{"--com", "1", "--slave", "0", "status"},
         "MODBUS address 0 cannot be used on a serial line: 0 broadcasts to every module of the "
         "line and 248 to 255 are reserved (use 1 to 247)"},
        {{"--com", "1", "--baud", "1234", "status"},
         "invalid --baud '1234': expected 9600, 19200, 38400, 57600 or 115200"},
        {{m, "127.0.0.1:", "status"}, "invalid --tcp '127.0.0.1:': a port number must follow ':'"},
        {{m, "[::1]:", "status"}, "invalid --tcp '[::1]:': a port number must follow ':'"},
        {{m, at, "--slave", "2", "--slave", "3", "status"}, "--slave given twice"},
        {{m, at, "mem", "read", "1", "--raw", "a", "--raw", "b"}, "--raw given twice"},
        {{m, at, "mem", "read", "1", "--clear", "--raw", "a", "--clear"}, "--clear given twice"},
        {{m, at, "clock"},
         "'clock' needs a command: clock get, clock set, clock sync (see qd40 clock --help)"},
    };
    for (const Case& c : cases) {
        std::ostringstream out, err;
        EXPECT_EQ(runQd40(c.args, out, err, context), 1) << c.err;
        EXPECT_EQ(out.str(), "") << c.err;
        EXPECT_EQ(err.str(), "error 0x80070057: " + c.err + "\n");
    }
    EXPECT_EQ(created, 0) << "a module was reached for an argument error";
}

}  // namespace
}  // namespace qd40::cli
