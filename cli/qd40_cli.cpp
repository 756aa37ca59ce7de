#include "cli/qd40_cli.h"

#include "cli/cli_session.h"
#include "cli/doc_commands.h"
#include "cli/setup_commands.h"

#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <thread>

#include "app/records/expl_bloc.h"
#include "app/records/record_export.h"
#include "app/records/value_text.h"
#include "cli/config_listing.h"
#include "common/config/ansi_text.h"
#include "common/config/code_tables.h"
#include "common/config/module_errors.h"
#include "common/le_bytes.h"
#include "common/module_commands.h"
#include "common/module_constants.h"
#include "common/output_file.h"
#include "control/ctl/ovixqd40ctl.h"
#include "platform/strings.h"

namespace qd40::cli {

using strings::format;

DateTime localNow() {
    timeval tv{};
    ::gettimeofday(&tv, nullptr);
    std::tm tm{};
    const time_t secs = tv.tv_sec;
    ::localtime_r(&secs, &tm);
    return DateTime{tm.tm_year + 1900, tm.tm_mon + 1,         tm.tm_mday, tm.tm_hour, tm.tm_min,
                    tm.tm_sec,         int(tv.tv_usec / 1000)};
}

platform::Locale environmentLocale() {
    return platform::Locale::fromEnvironment();
}

namespace {

using namespace detail;

// The command table: the groups' rows in the order of the general help. A new
// group of commands adds its file and its line here.
const std::vector<Command>& allCommands() {
    static const std::vector<Command> all = [] {
        std::vector<Command> rows;
        for (std::span<const Command> group :
             {moduleCommands(), configCommands(), memoryCommands(), liveCommands()})
            rows.insert(rows.end(), group.begin(), group.end());
        return rows;
    }();
    return all;
}

const char* kConnectionHelp =
    "Connection (needed by every command but config show FILE):\n"
    "  --tcp HOST[:PORT]     a MODBUS/TCP module (port 502 by default)\n"
    "  --com N               a module on serial port COMN (1 to 8) of the server\n"
    "    --host SERVERHOST   the server of another machine owning that port\n"
    "                        (SERVERHOST[:PORT], its daemon started with -Listen)\n"
    "    --baud RATE         serial speed (default 9600)\n"
    "    --serial-mode std|usb|radio  half-duplex pause and end-of-frame count\n"
    "    --server-params     use the server's own port settings instead\n"
    "  --slave N             MODBUS address of the module (default 1)\n";

std::string generalHelp() {
    std::string text =
        "Usage: qd40 CONNECTION COMMAND [ARGUMENTS]\n"
        "\n"
        "Configures, drives and reads out a Qd40 module through the communication\n"
        "server. Each command exits with 0 on success; otherwise it prints\n"
        "\"error 0xHHHHHHHH: DESCRIPTION\" on stderr and exits with 1.\n"
        "\n";
    text += kConnectionHelp;
    text += "\nCommands:\n";
    for (const Command& c : allCommands())
        text += std::string("  ") + c.synopsis + "\n";
    text +=
        "  doc SUBCOMMAND FILE ...   desktop application documents, offline or on their\n"
        "                            modules (qd40 doc --help; no CONNECTION)\n"
        "  setup SUBCOMMAND ...      the module SETUP on a serial port of the server\n"
        "                            (qd40 setup --help; its own options)\n";
    text +=
        "\n'qd40 COMMAND --help' describes a command. Dates, times and numbers follow\n"
        "the locale of the environment (LC_ALL=C: YYYY-MM-DD, HH:MM:SS and '.').\n";
    return text;
}

std::string commandHelp(const Command& c) {
    return std::string("Usage: qd40 CONNECTION ") + c.synopsis + "\n\n" + c.help + "\n";
}

// Takes the connection options out of the command line.
// "9600, 19200, 38400, 57600 or 115200".
std::string rateList() {
    std::string text;
    const auto& rates = module::kBaudRates;
    for (size_t i = 0; i < rates.size(); ++i)
        text += (i == 0 ? "" : i + 1 == rates.size() ? " or " : ", ") + std::to_string(rates[i]);
    return text;
}

Status takeConnection(std::vector<std::string>& words, Connection& conn) {
    std::vector<std::string> rest;
    std::set<std::string> given;
    bool hostGiven = false;
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& w = words[i];
        const bool isValueOption = w == "--tcp" || w == "--com" || w == "--host" || w == "--baud" ||
                                   w == "--serial-mode" || w == "--slave";
        if (!isValueOption && w != "--server-params") {
            rest.push_back(w);
            continue;
        }
        if (w == "--server-params") {
            if (conn.serverParams)
                return usage(w + " given twice");
            conn.serverParams = true;
            continue;
        }
        if (i + 1 >= words.size())
            return usage(w + " needs a value");
        if (!given.insert(w).second)
            return usage(w + " given twice");
        const std::string& v = words[++i];
        if (w == "--tcp") {
            conn.tcp = true;
            std::string port;
            if (!v.empty() && v[0] == '[') {
                const auto close = v.find(']');
                if (close == std::string::npos)
                    return usage("invalid --tcp '" + v + "': expected HOST[:PORT]");
                conn.host = v.substr(1, close - 1);
                if (close + 1 < v.size()) {
                    if (v[close + 1] != ':')
                        return usage("invalid --tcp '" + v + "': expected HOST[:PORT]");
                    port = v.substr(close + 2);
                }
            } else if (const auto colon = v.rfind(':');
                       colon != std::string::npos && v.find(':') == colon) {
                conn.host = v.substr(0, colon);
                port = v.substr(colon + 1);
                if (port.empty())
                    return usage("invalid --tcp '" + v + "': a port number must follow ':'");
            } else {
                // A name, an IPv4 address, or an IPv6 address (more than one
                // ':'; with a port it goes in brackets: [::1]:502).
                conn.host = v;
            }
            if (conn.host.empty())
                return usage("invalid --tcp '" + v + "': expected HOST[:PORT]");
            if (v[0] == '[' && v.back() == ':')
                return usage("invalid --tcp '" + v + "': a port number must follow ':'");
            if (!port.empty())
                if (Status st = parseNumberAs(port, 1, 65535, "TCP port", conn.tcpPort); !st)
                    return st;
        } else if (w == "--com") {
            conn.com = true;
            if (Status st = parseNumberAs(v, 1, 8, "--com", conn.comPort); !st)
                return st;
        } else if (w == "--host") {
            conn.serverHost = v;
            hostGiven = true;
        } else if (w == "--baud") {
            const auto rate = parseInteger(v);
            const auto& rates = module::kBaudRates;
            if (!rate || std::find(rates.begin(), rates.end(), *rate) == rates.end())
                return usage("invalid --baud '" + v + "': expected " + rateList());
            conn.baud = int32_t(*rate);
        } else if (w == "--serial-mode") {
            if (v == "std")
                conn.serialMode = 0;
            else if (v == "usb")
                conn.serialMode = 1;
            else if (v == "radio")
                conn.serialMode = 2;
            else
                return usage("invalid --serial-mode '" + v + "': expected std, usb or radio");
        } else if (Status st = parseNumberAs(v, 0, 255, "--slave", conn.slave); !st) {
            return st;
        }
    }
    if (conn.tcp && conn.com)
        return usage("give either --tcp or --com, not both");
    if (!conn.com && (hostGiven || conn.baud || conn.serialMode || conn.serverParams))
        return usage("--host, --baud, --serial-mode and --server-params go with --com");
    words = std::move(rest);
    return Status::ok();
}

// A description on one line: line breaks of composed texts become spaces.
std::string oneLine(const std::string& text) {
    std::string out;
    for (char ch : text) {
        if (ch == '\n' || ch == '\r') {
            if (!out.empty() && out.back() != ' ')
                out += ' ';
        } else {
            out += ch;
        }
    }
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out.empty() ? "unknown error" : out;
}

bool isHelp(const std::string& w) {
    return w == "--help" || w == "-h";
}

// The exit code of a run once its output is flushed: output that could not
// be written (a closed pipe, a full disk) fails the run like any other error.
int finishRun(Status st, std::ostream& out, std::ostream& err) {
    out.flush();
    if (st && !out)
        st = Status::failure(E_FAIL, "cannot write to the output");
    if (st)
        return 0;
    err << format("error 0x%08X: ", static_cast<unsigned>(st.hr)) << oneLine(st.error.description)
        << std::endl;
    return 1;
}

}  // namespace

int runQd40(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
            const CliContext& context) {
    if (isDocCommand(args))
        return runDocCommand(args, out, err, context);
    if (isSetupCommand(args))
        return runSetupCommand(args, out, err, context);
    std::vector<std::string> words = args;
    Connection conn;
    Status st = takeConnection(words, conn);
    // "qd40 help COMMAND" is "qd40 COMMAND --help".
    bool help = !words.empty() && words[0] == "help";
    if (help)
        words.erase(words.begin());
    help = help || std::any_of(words.begin(), words.end(), isHelp);

    // The command: the longest name made of the first words.
    const Command* command = nullptr;
    size_t nameWords = 0;
    if (st && !words.empty()) {
        for (const Command& c : allCommands()) {
            std::istringstream name(c.name);
            std::string part;
            size_t n = 0;
            bool match = true;
            while (name >> part)
                match = match && n < words.size() && words[n++] == part;
            if (match && n > nameWords)
                command = &c, nameWords = n;
        }
    }
    if (st && help) {
        if (command) {
            out << commandHelp(*command);
            return finishRun(Status::ok(), out, err);
        }
        // A group name ("clock --help") lists its commands.
        std::string group;
        if (!words.empty() && !isHelp(words[0]))
            for (const Command& c : allCommands())
                if (std::string(c.name).rfind(words[0] + " ", 0) == 0)
                    group += commandHelp(c) + "\n";
        out << (group.empty() ? generalHelp() : group);
        return finishRun(Status::ok(), out, err);
    }
    if (st && words.empty())
        st = usage("no command given (see qd40 --help)");
    if (st && !command) {
        // A group name alone ("qd40 clock") names the commands of the group.
        std::string group;
        for (const Command& c : allCommands())
            if (std::string(c.name).rfind(words[0] + " ", 0) == 0)
                group += (group.empty() ? "" : ", ") + std::string(c.name);
        st = group.empty() ? usage("unknown command '" + words[0] + "' (see qd40 --help)")
                           : usage("'" + words[0] + "' needs a command: " + group + " (see qd40 " +
                                   words[0] + " --help)");
    }

    if (st) {
        Session session(context, out, conn);
        Args rest(std::vector<std::string>(words.begin() + ptrdiff_t(nameWords), words.end()));
        st = command->run(session, rest);
        const Status closed = session.close();
        if (st)
            st = closed;
    }
    return finishRun(st, out, err);
}

}  // namespace qd40::cli
