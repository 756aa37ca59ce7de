// What the command groups of qd40 share: number and file helpers, the
// command line's connection and arguments, the session on one module, and
// the command table's rows. Internal to the command-line client.
#pragma once
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
#include <span>
#include <sstream>
#include <thread>
#include <vector>

#include "app/records/expl_bloc.h"
#include "app/records/record_export.h"
#include "app/records/value_text.h"
#include "cli/config_listing.h"
#include "cli/qd40_cli.h"
#include "common/config/ansi_text.h"
#include "common/config/code_tables.h"
#include "common/config/module_errors.h"
#include "common/file_io.h"
#include "common/le_bytes.h"
#include "common/module_commands.h"
#include "common/module_constants.h"
#include "common/output_file.h"
#include "control/ctl/ovixqd40ctl.h"
#include "platform/strings.h"

namespace qd40::cli::detail {

using strings::format;

namespace status = module::status;
// The years the module's clock holds (its year is kept from 2000 on).
constexpr int kClockFirstYear = 2000, kClockLastYear = 2255;
// How often and how far apart remote control is looked at once a MODBUS/TCP
// connection has closed (the module notices the close on its own time).
constexpr int kRemoteChecks = 20;
constexpr int kRemoteCheckMs = 50;
// Records asked of the module in one call, as the application reads memory.
constexpr uint32_t kRecordsPerCall = 256;
// Layout of the cyclic status block.
constexpr size_t kCycleMs = 0, kCycleSeconds = 2, kCycleErrorMask = 10, kCycleValues = 30,
                 kCycleErrors = 150, kCycleSize = 210;

inline Status usage(std::string text) {
    return Status::failure(E_INVALIDARG, std::move(text));
}

// ---------------------------------------------------------------- numbers

inline std::optional<long long> parseInteger(const std::string& text) {
    if (text.empty())
        return std::nullopt;
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(text.c_str() + (hex ? 2 : 0), &end, hex ? 16 : 10);
    if (errno != 0 || *end != '\0' || end == text.c_str() + (hex ? 2 : 0) ||
        (hex && (text[2] == '-' || text[2] == '+')))
        return std::nullopt;
    return v;
}

// A whole number of min..max (decimal, or hexadecimal with 0x).
inline Status parseNumber(const std::string& text, long long min, long long max,
                          const std::string& what, long long& value) {
    const auto v = parseInteger(text);
    if (!v || *v < min || *v > max)
        return usage(format("invalid %s '%s': expected a number from %lld to %lld", what.c_str(),
                            text.c_str(), min, max));
    value = *v;
    return Status::ok();
}

template <class T>
inline Status parseNumberAs(const std::string& text, long long min, long long max,
                            const std::string& what, T& value) {
    long long v = 0;
    Status st = parseNumber(text, min, max, what, v);
    if (st)
        value = static_cast<T>(v);
    return st;
}

// "1-4,7" -> mask of channels.
inline Status parseChannelList(const std::string& text, uint32_t& mask) {
    mask = 0;
    std::stringstream ss(text);
    std::string item;
    while (std::getline(ss, item, ',')) {
        const auto dash = item.find('-');
        long long lo = 0, hi = 0;
        const std::string a = item.substr(0, dash);
        const std::string b = dash == std::string::npos ? a : item.substr(dash + 1);
        if (!parseNumber(a, 1, cfg::kChannels, "channel", lo) ||
            !parseNumber(b, 1, cfg::kChannels, "channel", hi) || hi < lo)
            return usage("invalid channel list '" + text +
                         "': expected channels 1 to 30 as in 1-4,7");
        for (long long n = lo; n <= hi; ++n)
            mask |= 1u << (n - 1);
    }
    if (!mask)
        return usage("invalid channel list '" + text + "': expected channels 1 to 30 as in 1-4,7");
    return Status::ok();
}

// "YYYY-MM-DD HH:MM:SS" (or with a T between date and time).
inline std::optional<DateTime> parseDateTime(const std::string& text) {
    DateTime dt;
    char sep = 0;
    int used = 0;
    if (text.size() != 19 ||
        std::sscanf(text.c_str(), "%4d-%2d-%2d%c%2d:%2d:%2d%n", &dt.year, &dt.month, &dt.day, &sep,
                    &dt.hour, &dt.minute, &dt.second, &used) != 7 ||
        used != 19 || (sep != ' ' && sep != 'T') || !dt.isValid())
        return std::nullopt;
    return dt;
}

inline std::string dateTimeText(const DateTime& dt, const platform::Locale& locale) {
    return locale.shortDate(dt) + " " + locale.time(dt);
}

// ---------------------------------------------------------------- files

// A control state saved by "config read" (the control's stream persistence).
inline Status loadStateFile(const std::string& path, ctl::CtlState& state) {
    std::vector<uint8_t> bytes;
    if (Status st = readFile(path, bytes); !st)
        return st;
    state = ctl::CtlState::defaults();
    size_t used = 0;
    Status st = ctl::loadFromStream(bytes, state, &used);
    if (st && used < bytes.size())
        st = Status::failure(
            E_FAIL, format("%zu bytes follow the configuration's end", bytes.size() - used));
    if (!st)
        return Status::failure(
            st.hr,
            path + ": not a saved module configuration" +
                (st.error.description.empty() ? std::string() : " (" + st.error.description + ")"));
    return Status::ok();
}

// ---------------------------------------------------------------- command line

struct Connection {
    bool tcp = false, com = false;
    std::string host;  // module address (TCP)
    int32_t tcpPort = 502;
    int32_t comPort = 0;
    std::string serverHost;
    std::optional<int32_t> baud;
    std::optional<int16_t> serialMode;
    bool serverParams = false;
    int16_t slave = 1;
};

// The words of a command after its name, with its options taken out as they are asked for.
class Args {
public:
    explicit Args(std::vector<std::string> words) : words_(std::move(words)) {}

    // A repeated flag is left among the words, for positionals() to refuse.
    bool flag(const std::string& name) {
        for (size_t i = 0; i < words_.size(); ++i)
            if (words_[i] == name) {
                words_.erase(words_.begin() + ptrdiff_t(i));
                if (std::find(words_.begin(), words_.end(), name) != words_.end())
                    repeated_ = name;
                return true;
            }
        return false;
    }
    Status option(const std::string& name, std::optional<std::string>& value) {
        for (size_t i = 0; i < words_.size(); ++i)
            if (words_[i] == name) {
                if (i + 1 >= words_.size())
                    return usage(name + " needs a value");
                if (value)
                    return usage(name + " given twice");
                value = words_[i + 1];
                words_.erase(words_.begin() + ptrdiff_t(i), words_.begin() + ptrdiff_t(i) + 2);
                --i;
            }
        return Status::ok();
    }
    // The remaining words, once every option has been taken: exactly min..max of them.
    Status positionals(size_t min, size_t max, const std::string& command,
                       std::vector<std::string>& out) {
        if (!repeated_.empty())
            return usage(repeated_ + " given twice");
        for (const std::string& w : words_)
            if (w.size() > 1 && w[0] == '-' && !parseInteger(w))
                return usage("unknown option '" + w + "' for " + command + " (see qd40 " + command +
                             " --help)");
        if (words_.size() < min)
            return usage("missing argument for " + command + " (see qd40 " + command + " --help)");
        if (words_.size() > max)
            return usage("unexpected argument '" + words_[max] + "' for " + command +
                         " (see qd40 " + command + " --help)");
        out = words_;
        return Status::ok();
    }

private:
    std::vector<std::string> words_;
    std::string repeated_;
};

// One run: the connection, the control once opened, the output.
class Session {
public:
    Session(const CliContext& context, std::ostream& out, Connection conn)
        : context_(context), out_(out), conn_(std::move(conn)) {}
    ~Session() {
        if (ctl_)
            ctl_->Close();
    }

    std::ostream& out() { return out_; }
    bool serial() const { return conn_.com; }
    const platform::Locale& locale() const { return context_.locale; }
    const CliContext& context() const { return context_; }
    ctl::OvixQd40Ctl& ctl() { return *ctl_; }

    // The control's failure as a result.
    Status failed(HRESULT h) const {
        return Status::failure(h, ctl_ ? ctl_->lastError().description : std::string());
    }
    Status call(HRESULT h) const { return qd40::failed(h) ? failed(h) : Status::ok(); }

    // Creates the control with the connection settings and opens the module.
    Status open() {
        if (!conn_.tcp && !conn_.com)
            return usage("no module given: use --tcp HOST[:PORT] or --com N (see qd40 --help)");
        ctl_ = std::make_unique<ctl::OvixQd40Ctl>(context_.factory, nullptr, context_.registry);
        ctl::OvixQd40Ctl& c = *ctl_;
        Status st = call(c.put_Serial(conn_.com ? 1 : 0));
        if (st)
            st = call(c.put_IpAddr(conn_.com ? conn_.serverHost : conn_.host));
        if (st)
            st = call(c.put_Port(conn_.com ? conn_.comPort : conn_.tcpPort));
        if (st)
            st = call(c.put_MbAddr(conn_.slave));
        if (st && conn_.com) {
            st = call(c.put_OvixQd40SvrParams(conn_.serverParams ? 1 : 0));
            if (st && conn_.baud)
                st = call(c.put_BaudRate(*conn_.baud));
            if (st && conn_.serialMode)
                st = call(c.put_SerialMode(*conn_.serialMode));
        }
        if (st)
            st = call(c.Open());
        return st;
    }
    // Closes the module; its failure is reported when nothing failed before.
    Status close() {
        if (!ctl_)
            return Status::ok();
        const Status st = call(ctl_->Close());
        ctl_.reset();
        return st;
    }

private:
    const CliContext& context_;
    std::ostream& out_;
    Connection conn_;
    std::unique_ptr<ctl::OvixQd40Ctl> ctl_;
};

// Reads the module's configuration through the control.
inline Status readModuleCfg(Session& s) {
    return s.call(s.ctl().ReadCfg());
}

// The module's channel resolutions; empty when it cannot give them.
inline std::vector<uint8_t> moduleResolutions(Session& s) {
    cfg::VariantBlob res;
    if (qd40::failed(s.ctl().GetChansResStatus(&res)) || res.data.size() < cfg::kChansResCfgSize)
        return {};
    return res.data;
}

// Interrupts are caught while one of these lives (see CliContext).
class InterruptScope {
public:
    explicit InterruptScope(const CliContext& context) : context_(context) {
        if (context_.catchInterrupts)
            context_.catchInterrupts(true);
    }
    ~InterruptScope() {
        if (context_.catchInterrupts)
            context_.catchInterrupts(false);
    }
    InterruptScope(const InterruptScope&) = delete;
    InterruptScope& operator=(const InterruptScope&) = delete;
    bool interrupted() const { return context_.interrupted && context_.interrupted(); }

private:
    const CliContext& context_;
};

// Remote control held for a whole operation and given back at its end when
// it was taken for it; while held, every other client of the suite is
// refused instead of interleaving its commands with ours.
class RemoteHold {
public:
    explicit RemoteHold(Session& s) : s_(s) {}
    ~RemoteHold() {
        if (taken_)
            (void)s_.ctl().Local();
    }
    RemoteHold(const RemoteHold&) = delete;
    RemoteHold& operator=(const RemoteHold&) = delete;

    Status take() {
        ctl::OvixQd40Ctl& c = s_.ctl();
        if (c.holdsRemote())
            return Status::ok();
        int32_t before = 0;
        if (Status st = s_.call(c.get_IsMaster(&before)); !st)
            return st;
        Status st = s_.call(c.Remote());
        // A module this line already controlled stays so afterwards.
        taken_ = st && !before;
        return st;
    }

private:
    Session& s_;
    bool taken_ = false;
};

// Waits `ms`, through the context's sleep when it has one.
inline void pause(const CliContext& context, int ms) {
    if (context.sleep)
        context.sleep(ms);
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// ---------------------------------------------------------------- commands

using Handler = Status (*)(Session&, Args&);

struct Command {
    const char* name;  // "clock get"
    const char* synopsis;
    const char* help;
    Handler run;
};

inline Status recordsHeld(Session& s, int block, uint32_t& total) {
    total = 0;
    for (int b = block ? block : 1; b <= (block ? block : cfg::kMemBlocks); ++b) {
        uint32_t count = 0;
        if (Status st = s.call(s.ctl().GetMemRecCount(int16_t(b), &count)); !st)
            return st;
        total += count;
    }
    return Status::ok();
}

// A command that would erase records goes on only when there are none or
// the user said --yes.
inline Status refuseErasing(uint32_t records, const std::string& what) {
    return Status::failure(E_ABORT, format("the module holds %lu record%s that %s would erase: "
                                           "read them first (qd40 mem read) or add --yes",
                                           static_cast<unsigned long>(records),
                                           records == 1 ? "" : "s", what.c_str()));
}

// A command without arguments that is one call of the control.
template <HRESULT (ctl::OvixQd40Ctl::*Op)()>
inline Status cmdSimple(Session& s, Args& a, const char* name) {
    std::vector<std::string> pos;
    if (Status st = a.positionals(0, 0, name, pos); !st)
        return st;
    if (Status st = s.open(); !st)
        return st;
    return s.call((s.ctl().*Op)());
}

// The command table is made of groups, one per file, each giving its rows in
// the order of the general help.
std::span<const Command> moduleCommands();  // cli/module_commands.cpp
std::span<const Command> configCommands();  // cli/config_commands.cpp
std::span<const Command> memoryCommands();  // cli/memory_commands.cpp
std::span<const Command> liveCommands();    // cli/live_commands.cpp

}  // namespace qd40::cli::detail
