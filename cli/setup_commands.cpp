#include "cli/setup_commands.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "app/core/settings/settings_store.h"
#include "app/core/setup/setup_commands.h"
#include "app/core/setup/setup_strings.h"
#include "app/core/setup/setup_transfer.h"
#include "common/module_constants.h"

namespace qd40::cli {

namespace {
using namespace app::setup;

const char* kSetupHelp =
    "Usage: qd40 setup [--com N] [--baud RATE] [--slave N] SUBCOMMAND\n"
    "\n"
    "The module SETUP: the settings of the module's own interfaces (serial ports,\n"
    "network, modem, e-mail server, language, front button), on serial port COMN of\n"
    "the communication server, as the desktop application reaches them.\n"
    "  --com N       the serial port (1 to 8; default: the last SETUP port, else 1)\n"
    "  --baud RATE   the line speed (default 9600)\n"
    "  --slave N     the module's MODBUS address (default 1)\n"
    "\n"
    "Subcommands:\n"
    "  show             every item: identifier, name and value\n"
    "  get ITEM         the value of one item (ITEM: its name or identifier)\n"
    "  set ITEM VALUE   changes one item and stores the SETUP in the module\n"
    "  defaults         resets the module's SETUP to its factory values\n"
    "\n"
    "Values: numbers in decimal, IPv4 addresses as 192.168.1.40, texts as given\n"
    "(127 characters at most). Items the module's version does not have read as\n"
    "their default and cannot be set.\n";

Status usage(const std::string& text) {
    return Status::failure(E_INVALIDARG, text + " (see qd40 setup --help)");
}

std::optional<int> number(const std::string& text, int low, int high) {
    int v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty() || v < low ||
        v > high)
        return std::nullopt;
    return v;
}

// The messages of the transfer, kept for the error line.
class CliPrompter : public app::AppPrompter {
public:
    app::Answer message(const std::string& text, app::Buttons, app::Icon, int) override {
        shown.push_back(text);
        return app::Answer::Ok;
    }
    std::optional<int> threeChoices(const std::string&, const std::string&,
                                    const std::array<std::string, 3>&) override {
        return std::nullopt;
    }
    bool editCommParams(ctl::CtlConnection&) override { return false; }
    std::vector<std::string> shown;
};

Status failure(HRESULT hr, const ErrorInfo& e) {
    return Status{hr, e};
}

Status run(std::vector<std::string> words, std::ostream& out, const CliContext& context) {
    settings::CLocalMachineReg machine(context.registry);
    ctl::CtlConnection params;
    params.serial = true;
    params.ovixQd40SvrParams = false;
    params.port = int16_t(machine.readInt(kSetupSection, kSetupComEntry, 1));
    std::vector<std::string> rest;
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& w = words[i];
        if (w != "--com" && w != "--baud" && w != "--slave") {
            rest.push_back(w);
            continue;
        }
        if (i + 1 >= words.size())
            return usage(w + " needs a value");
        const std::string& v = words[++i];
        if (w == "--com") {
            const auto n = number(v, 1, 8);
            if (!n)
                return usage("invalid --com '" + v + "': expected 1 to 8");
            params.port = int16_t(*n);
        } else if (w == "--baud") {
            const auto n = number(v, 0, 115200);
            const auto& rates = module::kBaudRates;
            if (!n || std::find(rates.begin(), rates.end(), uint32_t(*n)) == rates.end())
                return usage("invalid --baud '" + v + "'");
            params.baudRate = uint32_t(*n);
        } else {
            const auto n = number(v, 1, 255);
            if (!n)
                return usage("invalid --slave '" + v + "': expected 1 to 255");
            params.mbAddr = uint8_t(*n);
        }
    }
    if (rest.empty())
        return usage("no setup subcommand given");
    const std::string sub = rest[0];
    const size_t args = rest.size() - 1;
    const SetupItemDef* item = nullptr;
    if (sub == "get" || sub == "set") {
        if (args != (sub == "get" ? 1u : 2u))
            return usage("setup " + sub + " takes " + (sub == "get" ? "ITEM" : "ITEM VALUE"));
        item = findSetupItem(rest[1]);
        if (!item)
            return usage("unknown SETUP item '" + rest[1] + "'");
    } else if (sub == "show" || sub == "defaults") {
        if (args != 0)
            return usage("setup " + sub + " takes no argument");
    } else {
        return usage("unknown setup subcommand '" + sub + "'");
    }
    // A value is checked before the module is reached.
    SetupRecord edited;
    if (sub == "set")
        if (auto why = parseItem(edited, item->id, rest[2]))
            return usage("invalid value '" + rest[2] + "' for " + item->key + ": expected " + *why);

    SetupConnection c;
    switch (c.open(context.factory, params)) {
        case SetupConnection::Step::CreateFailed:
            return failure(c.result(), c.error());
        case SetupConnection::Step::OpenFailed: {
            ErrorInfo e = c.error();
            e.description = setupText(stext::kUnableToOpenComm) + " on COM" +
                            std::to_string(params.port) +
                            (e.description.empty() ? "" : ": " + e.description);
            return failure(c.result(), e);
        }
        case SetupConnection::Step::RemoteFailed:
            return failure(c.result(), c.error());
        case SetupConnection::Step::Ok:
            break;
    }
    machine.writeInt(kSetupSection, kSetupComEntry, params.port);
    if (sub == "defaults") {
        int32_t err = 0;
        if (HRESULT hr = c.link().SetSetupDefault(c.devAddr(), &err); failed(hr))
            return failure(hr, c.link().lastError());
        return Status::ok();
    }
    std::string version;
    if (HRESULT hr = c.link().GetDevVersion(c.devAddr(), &version); failed(hr))
        return failure(hr, c.link().lastError());
    SetupTransfer transfer(c.link(), c.devAddr(), version);
    if (sub == "show") {
        SetupRecord r;
        if (HRESULT hr = transfer.read(r, nullptr); failed(hr))
            return failure(hr, transfer.lastError());
        for (const SetupItemDef& d : setupItems()) {
            char head[40];
            std::snprintf(head, sizeof head, "%2d %-22s ", d.id, d.key);
            out << head << formatItem(r, d.id) << "\n";
        }
        return Status::ok();
    }
    if (sub == "get") {
        SetupRecord r;
        if (HRESULT hr = transfer.readItem(item->id, r); failed(hr))
            return failure(hr, transfer.lastError());
        out << formatItem(r, item->id) << "\n";
        return Status::ok();
    }
    if (!itemPresent(item->id, version)) {
        const int text = absentChangeText(item->id);
        return Status::failure(E_FAIL, text ? setupText(text)
                                            : std::string("SETUP item ") + item->key +
                                                  " is not available in QD40 Module version " +
                                                  version);
    }
    SetupRecord original;
    if (HRESULT hr = transfer.readItem(item->id, original); failed(hr))
        return failure(hr, transfer.lastError());
    SetupRecord target = original;
    parseItem(target, item->id, rest[2]);
    CliPrompter prompter;
    if (HRESULT hr = transfer.write(target, original, nullptr, prompter); failed(hr))
        return failure(hr, transfer.lastError());
    return Status::ok();
}
}  // namespace

bool isSetupCommand(const std::vector<std::string>& args) {
    return !args.empty() && args[0] == "setup";
}

int runSetupCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                    const CliContext& context) {
    std::vector<std::string> words(args.begin() + 1, args.end());
    Status st;
    if (words.empty() || std::any_of(words.begin(), words.end(), [](const std::string& w) {
            return w == "--help" || w == "-h";
        }))
        out << kSetupHelp;
    else
        st = run(words, out, context);
    out.flush();
    if (st && !out)
        st = Status::failure(E_FAIL, "cannot write to the output");
    if (st)
        return 0;
    char code[32];
    std::snprintf(code, sizeof code, "error 0x%08X: ", unsigned(st.hr));
    std::string line = st.error.description;
    std::replace(line.begin(), line.end(), '\n', ' ');
    err << code << line << std::endl;
    return 1;
}

}  // namespace qd40::cli
