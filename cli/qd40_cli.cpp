#include "cli/qd40_cli.h"

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

Status usage(std::string text) {
    return Status::failure(E_INVALIDARG, std::move(text));
}

// ---------------------------------------------------------------- numbers

std::optional<long long> parseInteger(const std::string& text) {
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
Status parseNumber(const std::string& text, long long min, long long max, const std::string& what,
                   long long& value) {
    const auto v = parseInteger(text);
    if (!v || *v < min || *v > max)
        return usage(format("invalid %s '%s': expected a number from %lld to %lld", what.c_str(),
                            text.c_str(), min, max));
    value = *v;
    return Status::ok();
}

template <class T>
Status parseNumberAs(const std::string& text, long long min, long long max, const std::string& what,
                     T& value) {
    long long v = 0;
    Status st = parseNumber(text, min, max, what, v);
    if (st)
        value = static_cast<T>(v);
    return st;
}

// "1-4,7" -> mask of channels.
Status parseChannelList(const std::string& text, uint32_t& mask) {
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
std::optional<DateTime> parseDateTime(const std::string& text) {
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

std::string dateTimeText(const DateTime& dt, const platform::Locale& locale) {
    return locale.shortDate(dt) + " " + locale.time(dt);
}

// ---------------------------------------------------------------- files

Status readFile(const std::string& path, std::vector<uint8_t>& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return fileFailure("open", path, errno);
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> owned(f, &std::fclose);
    bytes.clear();
    uint8_t chunk[65536];
    size_t n = 0;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + n);
    if (std::ferror(f))
        return fileFailure("read", path, errno);
    return Status::ok();
}

// Written whole or not at all (see OutputFile), so a failure never leaves
// half a file and a file is on the disk before records are removed.
template <class Writer>
Status writeFileAtomic(const std::string& path, Writer&& write) {
    OutputFile file;
    Status st = file.open(path);
    if (st)
        st = write(file.stream());
    if (st)
        st = file.commit();
    return st;
}

// A control state saved by "config read" (the control's stream persistence).
Status loadStateFile(const std::string& path, ctl::CtlState& state) {
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
Status readModuleCfg(Session& s) {
    return s.call(s.ctl().ReadCfg());
}

// The module's channel resolutions; empty when it cannot give them.
std::vector<uint8_t> moduleResolutions(Session& s) {
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
void pause(const CliContext& context, int ms) {
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

Status cmdIdentify(Session& s, Args& a) {
    std::vector<std::string> pos;
    if (Status st = a.positionals(0, 0, "identify", pos); !st)
        return st;
    if (Status st = s.open(); !st)
        return st;
    std::string type, version, fileVersion, setup;
    Status st = s.call(s.ctl().get_DevType(&type));
    if (st)
        st = s.call(s.ctl().get_DevVersion(&version));
    if (st)
        st = s.call(s.ctl().get_DevFileVersion(&fileVersion));
    if (st)
        st = s.call(s.ctl().ReadSetupName(&setup));
    if (!st)
        return st;
    s.out() << "Device type: " << type << "\nVersion: " << version
            << "\nFile version: " << fileVersion << "\nSetup name: " << setup << "\n";
    return Status::ok();
}

Status cmdStatus(Session& s, Args& a) {
    std::vector<std::string> pos;
    if (Status st = a.positionals(0, 0, "status", pos); !st)
        return st;
    if (Status st = s.open(); !st)
        return st;
    int16_t word = 0;
    if (Status st = s.call(s.ctl().GetStatus(&word)); !st)
        return st;
    const uint16_t w = static_cast<uint16_t>(word);
    std::string line = format("0x%04X", w);
    if (w == 0) {
        // Nothing set: the bits are named all the same, so the line says
        // what was looked at.
        line += " (none of";
        for (const char* name : status::kNames)
            line += std::string(" ") + name;
        line += ")";
    }
    for (int bit = 0; bit < 16; ++bit)
        if (w & (1u << bit))
            line += std::string(" ") + status::kNames[bit];
    s.out() << line << "\n";
    return Status::ok();
}

template <HRESULT (ctl::OvixQd40Ctl::*Op)()>
Status cmdSimple(Session& s, Args& a, const char* name) {
    std::vector<std::string> pos;
    if (Status st = a.positionals(0, 0, name, pos); !st)
        return st;
    if (Status st = s.open(); !st)
        return st;
    return s.call((s.ctl().*Op)());
}
// The run with memory option: what happens to the records of a block that
// cannot be re-opened, by the option's name.
constexpr const char* kMemoryOptions[] = {"clear", "add", "keep"};

Status cmdRun(Session& s, Args& a) {
    std::optional<std::string> memory;
    if (Status st = a.option("--memory", memory); !st)
        return st;
    if (!memory)
        return cmdSimple<&ctl::OvixQd40Ctl::Run>(s, a, "run");
    const auto* found = std::find(std::begin(kMemoryOptions), std::end(kMemoryOptions), *memory);
    if (found == std::end(kMemoryOptions))
        return usage("invalid --memory '" + *memory + "': expected clear, add or keep");
    std::vector<std::string> pos;
    if (Status st = a.positionals(0, 0, "run", pos); !st)
        return st;
    if (Status st = s.open(); !st)
        return st;
    return s.call(s.ctl().RunWithOptMem(int16_t(found - std::begin(kMemoryOptions))));
}

// Records the module holds in `block` (1 to 10), or in every block with 0.
Status recordsHeld(Session& s, int block, uint32_t& total) {
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
Status refuseErasing(uint32_t records, const std::string& what) {
    return Status::failure(E_ABORT, format("the module holds %lu record%s that %s would erase: "
                                           "read them first (qd40 mem read) or add --yes",
                                           static_cast<unsigned long>(records),
                                           records == 1 ? "" : "s", what.c_str()));
}
Status cmdStop(Session& s, Args& a) {
    return cmdSimple<&ctl::OvixQd40Ctl::Stop>(s, a, "stop");
}
Status cmdTrig(Session& s, Args& a) {
    return cmdSimple<&ctl::OvixQd40Ctl::Trig>(s, a, "trig");
}
// Takes remote control and says how long it lasts, as the module shows it.
Status cmdRemote(Session& s, Args& a) {
    if (Status st = cmdSimple<&ctl::OvixQd40Ctl::Remote>(s, a, "remote"); !st)
        return st;
    const auto remoteShown = [&](bool& shown) {
        int16_t word = 0;
        Status st = s.call(s.ctl().GetStatus(&word));
        shown = st && status::heldHere(uint16_t(word));
        return st;
    };
    bool shown = false;
    if (Status st = remoteShown(shown); !st)
        return st;
    if (!shown)
        return Status::failure(E_FAIL, "the module does not show remote control");
    if (s.serial()) {
        s.out() << "remote control held until 'qd40 local'\n";
        return Status::ok();
    }
    // A MODBUS/TCP module keeps control while the connection that took it
    // lasts: look again once this command's connection is gone.
    if (Status st = s.close(); !st)
        return st;
    for (int i = 0; i < kRemoteChecks && shown; ++i) {
        if (i > 0)
            pause(s.context(), kRemoteCheckMs);
        Status st = s.open();
        if (st)
            st = remoteShown(shown);
        if (Status closed = s.close(); st && !closed)
            st = closed;
        if (!st)
            return st;
    }
    if (shown) {
        s.out() << "remote control held while another client keeps the daemon's connection to "
                   "the module open\n";
        return Status::ok();
    }
    return Status::failure(E_FAIL,
                           "the module gave remote control back when this command's connection "
                           "closed: a MODBUS/TCP module keeps it only while a connection holds it");
}
Status cmdLocal(Session& s, Args& a) {
    return cmdSimple<&ctl::OvixQd40Ctl::Local>(s, a, "local");
}

Status cmdClockGet(Session& s, Args& a) {
    std::vector<std::string> pos;
    if (Status st = a.positionals(0, 0, "clock get", pos); !st)
        return st;
    if (Status st = s.open(); !st)
        return st;
    double date = 0;
    if (Status st = s.call(s.ctl().GetDate(&date)); !st)
        return st;
    const auto dt = fromOleDate(date);
    if (!dt)
        return Status::failure(E_FAIL, "the module's clock gives no valid date");
    s.out() << dateTimeText(*dt, s.locale()) << "\n";
    return Status::ok();
}

Status sendDate(Session& s, const DateTime& dt) {
    if (Status st = s.open(); !st)
        return st;
    return s.call(s.ctl().SetDate(toOleDate(dt)));
}

Status cmdClockSet(Session& s, Args& a) {
    std::vector<std::string> pos;
    if (Status st = a.positionals(1, 2, "clock set", pos); !st)
        return st;
    const std::string text = pos.size() == 2 ? pos[0] + " " + pos[1] : pos[0];
    const auto dt = parseDateTime(text);
    if (!dt)
        return usage("invalid date '" + text + "': expected \"YYYY-MM-DD HH:MM:SS\"");
    if (dt->year < kClockFirstYear || dt->year > kClockLastYear)
        return usage(
            format("invalid date '%s': the module's clock runs from %d-01-01 to "
                   "%d-12-31",
                   text.c_str(), kClockFirstYear, kClockLastYear));
    return sendDate(s, *dt);
}

Status cmdClockSync(Session& s, Args& a) {
    std::vector<std::string> pos;
    if (Status st = a.positionals(0, 0, "clock sync", pos); !st)
        return st;
    DateTime now = s.context().now ? s.context().now() : localNow();
    now.millisecond = 0;
    if (Status st = sendDate(s, now); !st)
        return st;
    s.out() << dateTimeText(now, s.locale()) << "\n";
    return Status::ok();
}

Status cmdRelayGet(Session& s, Args& a) {
    std::vector<std::string> pos;
    int16_t relay = 0;
    Status st = a.positionals(1, 1, "relay get", pos);
    if (st)
        st = parseNumberAs(pos[0], 1, 2, "relay", relay);
    if (st)
        st = s.open();
    int32_t on = 0;
    if (st)
        st = s.call(s.ctl().GetRel(relay, &on));
    if (st)
        s.out() << (on ? "on" : "off") << "\n";
    return st;
}

Status cmdRelaySet(Session& s, Args& a) {
    std::vector<std::string> pos;
    int16_t relay = 0;
    Status st = a.positionals(2, 2, "relay set", pos);
    if (st)
        st = parseNumberAs(pos[0], 1, 2, "relay", relay);
    if (st && pos[1] != "on" && pos[1] != "off")
        st = usage("invalid relay state '" + pos[1] + "': expected on or off");
    if (st)
        st = s.open();
    if (st)
        st = s.call(s.ctl().SetRel(relay, pos[1] == "on" ? 1 : 0));
    return st;
}

Status cmdConfigRead(Session& s, Args& a) {
    std::vector<std::string> pos;
    Status st = a.positionals(1, 1, "config read", pos);
    if (st)
        st = s.open();
    if (st)
        st = readModuleCfg(s);
    ctl::VectorOutStream stream;
    if (st)
        st = s.call(s.ctl().Save(stream).hr);
    if (st)
        st = OutputFile::write(pos[0], stream.bytes());
    return st;
}

Status cmdConfigSend(Session& s, Args& a) {
    const bool init = a.flag("--init");
    const bool yes = a.flag("--yes");
    std::vector<std::string> pos;
    ctl::CtlState state;
    Status st = a.positionals(1, 1, "config send", pos);
    if (st)
        st = loadStateFile(pos[0], state);
    if (st)
        st = s.open();
    // The board initialisation erases every stored record.
    uint32_t held = 0;
    if (st && init && !yes)
        st = recordsHeld(s, 0, held);
    if (st && held > 0)
        st = refuseErasing(held, "--init");
    if (!st)
        return st;
    // An interrupt waits for the transfer to end, so that the module is
    // never left half configured; what was sent is then reported.
    const InterruptScope interrupts(s.context());
    // Only the configuration blobs are taken from the file; the connection
    // settings stay those of the command line.
    ctl::OvixQd40Ctl& c = s.ctl();
    st = s.call(c.put_Cfg(cfg::packBlob(state.cfg)));
    if (st)
        st = s.call(c.put_ChansResCfg(cfg::packBlob(state.chansRes)));
    if (st)
        st = s.call(c.put_Qd40ExtCfg(cfg::packBlob(state.ext)));
    if (st)
        st = s.call(c.put_EmailCfg(cfg::packBlob(state.email)));
    if (st)
        st = s.call(c.put_MemsStatusMaskCfg(cfg::packBlob(state.memsStatusMask)));
    if (st && interrupts.interrupted())
        return Status::failure(E_ABORT, "interrupted: nothing was sent to the module");
    if (st && init)
        st = s.call(c.BoardInit());
    if (st)
        st = s.call(c.SendCfg());
    if (st && interrupts.interrupted())
        return Status::failure(E_ABORT, init ? "interrupted once the module was initialised and "
                                               "the whole configuration sent"
                                             : "interrupted once the whole configuration was sent");
    return st;
}

Status cmdConfigShow(Session& s, Args& a) {
    std::vector<std::string> pos;
    if (Status st = a.positionals(0, 1, "config show", pos); !st)
        return st;
    ctl::CtlState state;
    if (!pos.empty()) {
        if (Status st = loadStateFile(pos[0], state); !st)
            return st;
    } else {
        Status st = s.open();
        if (st)
            st = readModuleCfg(s);
        if (!st)
            return st;
        state = s.ctl().state();
    }
    s.out() << configListing(state, s.locale());
    return Status::ok();
}

Status cmdMemStatus(Session& s, Args& a) {
    std::vector<std::string> pos;
    if (Status st = a.positionals(0, 0, "mem status", pos); !st)
        return st;
    if (Status st = s.open(); !st)
        return st;
    cfg::VariantBlob status;
    if (Status st = s.call(s.ctl().GetMemsStatus(&status)); !st)
        return st;
    if (status.data.size() < 8)
        return Status::failure(E_FAIL, "the module gave a short memory status");
    const auto word = [&](int i) { return le::u16(status.data, 2 * size_t(i)); };
    std::string text = "Block  Recording  Closed  Full  Records\n";
    for (int b = 1; b <= cfg::kMemBlocks; ++b) {
        const auto bit = [&](int i) { return ((word(i) >> (b - 1)) & 1) != 0; };
        uint32_t count = 0;
        if (bit(2))
            if (Status st = s.call(s.ctl().GetMemRecCount(int16_t(b), &count)); !st)
                return st;
        text +=
            format("%5d  %-9s  %-6s  %-4s  %lu\n", b, bit(0) ? "yes" : "no", bit(1) ? "yes" : "no",
                   bit(3) ? "yes" : "no", static_cast<unsigned long>(count));
    }
    s.out() << text;
    return Status::ok();
}

Status cmdMemRead(Session& s, Args& a) {
    std::optional<std::string> first, count, raw, textFile, sheet;
    const bool clear = a.flag("--clear");
    Status st = a.option("--first", first);
    if (st)
        st = a.option("--count", count);
    if (st)
        st = a.option("--raw", raw);
    if (st)
        st = a.option("--text", textFile);
    if (st)
        st = a.option("--sheet", sheet);
    std::vector<std::string> pos;
    if (st)
        st = a.positionals(1, 1, "mem read", pos);
    int16_t block = 0;
    uint32_t from = 1, wanted = 0;
    if (st)
        st = parseNumberAs(pos[0], 1, cfg::kMemBlocks, "block", block);
    if (st && first)
        st = parseNumberAs(*first, 1, UINT32_MAX, "--first", from);
    if (st && count)
        st = parseNumberAs(*count, 0, UINT32_MAX, "--count", wanted);
    // The module removes the oldest records of a block: clearing after a read
    // that skipped some would remove records nobody has, and clearing without
    // an output file would lose what was read.
    if (st && clear && from != 1)
        st = usage("--clear removes the oldest records of the block: use it with --first 1 only");
    if (st && clear && !raw && !textFile && !sheet)
        st = usage("--clear needs --raw, --text or --sheet, so that the records read are kept");
    if (!st)
        return st;

    if (st = s.open(); !st)
        return st;
    ctl::OvixQd40Ctl& c = s.ctl();
    // Reading and removing run under remote control, so that no other client
    // of the suite reads or removes records of the module in between.
    RemoteHold hold(s);
    if (clear)
        if (st = hold.take(); !st)
            return st;
    if (!count) {
        uint32_t available = 0;
        if (st = s.call(c.GetMemRecCount(block, &available)); !st)
            return st;
        wanted = available >= from ? available - from + 1 : 0;
    }
    std::vector<uint8_t> records;
    uint32_t read = 0;
    const InterruptScope interrupts(s.context());
    while (read < wanted) {
        if (interrupts.interrupted())
            return Status::failure(E_ABORT, "interrupted: no file written, no record removed");
        const uint32_t qty = std::min(wanted - read, kRecordsPerCall);
        uint32_t got = 0;
        cfg::VariantBlob data;
        if (st = s.call(c.GetMemRecords(block, from + read, qty, 0, &got, &data)); !st)
            return st;
        got = std::min<uint32_t>(got, uint32_t(data.data.size() / 8));
        records.insert(records.end(), data.data.begin(), data.data.begin() + size_t(got) * 8);
        read += got;
        if (got < qty)
            break;  // the block holds no more
    }

    if (raw)
        if (st = OutputFile::write(*raw, records); !st)
            return st;
    if (textFile || sheet) {
        // A record block as the application builds it when it reads memory.
        if (st = readModuleCfg(s); !st)
            return st;
        const ctl::CtlState& state = c.state();
        records::CExplBloc bloc;
        std::string module = cfg::ansiToUtf8(cfg::ConstQd40ExtCfg(state.ext).moduleMnemonic());
        bloc.name = (module.empty() ? std::string("Qd40") : module) + format("_%02d_1", block);
        bloc.setConfigSnapshot(state.cfg, moduleResolutions(s), state.ext, block);
        bloc.AppendRawRecords(records, read);
        const std::vector<const records::CExplBloc*> blocks{&bloc};
        const auto exported = [&](const std::string& path, auto exporter) {
            return writeFileAtomic(path, [&](std::FILE* f) {
                const records::ExportResult r = exporter(f);
                return r.hr == S_OK ? Status::ok() : Status::failure(r.hr, r.message);
            });
        };
        if (textFile)
            st = exported(*textFile, [&](std::FILE* f) {
                return records::exportTextInLineTo(f, blocks, s.locale(), nullptr);
            });
        if (st && sheet)
            st = exported(*sheet, [&](std::FILE* f) {
                return records::exportSpreadsheetTo(f, blocks, records::SpreadsheetOptions{},
                                                    s.locale(), nullptr);
            });
        if (!st)
            return st;
    }
    // Removed only once every file holds them, on the disk.
    if (clear && read > 0)
        if (st = s.call(c.MemRemove(block, read)); !st)
            return st;
    s.out() << read << (read == 1 ? " record read\n" : " records read\n");
    return Status::ok();
}

Status cmdMemClear(Session& s, Args& a) {
    const bool yes = a.flag("--yes");
    std::vector<std::string> pos;
    int16_t block = 0;
    Status st = a.positionals(1, 1, "mem clear", pos);
    if (st)
        st = parseNumberAs(pos[0], 1, cfg::kMemBlocks, "block", block);
    if (st)
        st = s.open();
    uint32_t held = 0;
    if (st && !yes)
        st = recordsHeld(s, block, held);
    if (st && held > 0)
        st = refuseErasing(held, "clearing block " + std::to_string(block));
    if (st)
        st = s.call(s.ctl().MemClear(block));
    return st;
}

std::string eventText(uint16_t code, uint16_t detail) {
    switch (code >> 12) {
        case 1:
            return "Power On";
        case 2:
            return "Power Off";
        case 3:
            return "Module Initializing";
        default: {
            const int number = code & 0x0FFF;
            return format("Error %d: ", number) + cfg::moduleErrorText(number) +
                   format(" (%d)", detail);
        }
    }
}

Status cmdEvents(Session& s, Args& a) {
    std::vector<std::string> pos;
    if (Status st = a.positionals(0, 0, "events", pos); !st)
        return st;
    if (Status st = s.open(); !st)
        return st;
    uint16_t count = 0, read = 0;
    cfg::VariantBlob events;
    Status st = s.call(s.ctl().GetEvtCount(&count));
    if (st && count > 0)
        st = s.call(s.ctl().GetEvts(count, &read, &events));
    if (!st)
        return st;
    read = uint16_t(std::min<size_t>(read, events.data.size() / 8));
    std::string text = format("%u event%s\n", unsigned(read), read == 1 ? "" : "s");
    for (size_t i = 0; i < read; ++i) {
        const size_t off = 8 * i;
        const DateTime dt = fromSeconds2000(le::u32(events.data, off));
        text += format("%03zu ", i + 1) + dateTimeText(dt, s.locale()) + " " +
                eventText(le::u16(events.data, off + 4), le::u16(events.data, off + 6)) + "\n";
    }
    s.out() << text;
    return Status::ok();
}

Status cmdEventsClear(Session& s, Args& a) {
    return cmdSimple<&ctl::OvixQd40Ctl::ClrEvts>(s, a, "events clear");
}

// One scan line, written at once so that a reader sees each scan as it comes.
Status printLine(Session& s, const std::string& line) {
    s.out() << line << std::endl;
    return s.out() ? Status::ok() : Status::failure(E_FAIL, "cannot write the scans to the output");
}

Status cmdScan(Session& s, Args& a) {
    std::optional<std::string> channels, count, period;
    Status st = a.option("--channels", channels);
    if (st)
        st = a.option("--count", count);
    if (st)
        st = a.option("--period", period);
    std::vector<std::string> pos;
    if (st)
        st = a.positionals(0, 0, "scan", pos);
    uint32_t mask = 0, scans = 1, periodMs = 1000;
    if (st && channels)
        st = parseChannelList(*channels, mask);
    if (st && count)
        st = parseNumberAs(*count, 1, 1000000, "--count", scans);
    if (st && period)
        st = parseNumberAs(*period, 0, 3600000, "--period", periodMs);
    if (st)
        st = s.open();
    // Units and names come from the module's configuration.
    if (st)
        st = readModuleCfg(s);
    if (!st)
        return st;
    ctl::OvixQd40Ctl& c = s.ctl();
    const ctl::CtlState& state = c.state();
    const cfg::ConstFullCfgView full(state.cfg);
    if (!mask)
        mask = full.chansToScan() & cfg::kAllChannelsMask;
    std::vector<uint8_t> res = moduleResolutions(s);
    if (res.empty())
        res.assign(state.chansRes.begin(), state.chansRes.end());
    const cfg::ConstChansResCfg resolutions(std::span<const uint8_t>(res).first(60));
    std::array<std::string, cfg::kChannels + 1> units;
    for (int n = 1; n <= cfg::kChannels; ++n) {
        std::string unit;
        if (qd40::failed(c.GetChanUnit(int16_t(n), &unit)) || unit.empty())
            unit = cfg::ansiToUtf8(
                cfg::defaultUnit(full.channel(n).function(), full.channel(n).range()));
        units[size_t(n)] = unit;
    }

    const char dec = s.locale().decimalSeparator();
    // An interrupt ends the scans; the lines printed so far are the result.
    const InterruptScope interrupts(s.context());
    for (uint32_t i = 0; i < scans && !interrupts.interrupted(); ++i) {
        if (i > 0 && periodMs > 0) {
            pause(s.context(), int(periodMs));
            if (interrupts.interrupted())
                break;
        }
        cfg::VariantBlob cycle;
        if (st = s.call(c.GetCyStatus(&cycle)); !st)
            return st;
        if (cycle.data.size() < kCycleSize)
            return Status::failure(E_FAIL, "the module gave a short cycle status");
        const auto& d = cycle.data;
        // A module that has not measured yet holds a cycle dated 2000-01-01
        // 00:00:00.000 with zero values: nothing of it is a measurement.
        if (le::u32(d, kCycleSeconds) == 0 && le::u16(d, kCycleMs) == 0) {
            if (st = printLine(s, "no measurement yet"); !st)
                return st;
            continue;
        }
        DateTime when = fromSeconds2000(le::u32(d, kCycleSeconds));
        std::string line = dateTimeText(when, s.locale()) +
                           format("%c%03u", dec, unsigned(le::u16(d, kCycleMs) % 1000));
        const uint32_t errors = le::u32(d, kCycleErrorMask);
        for (int n = 1; n <= cfg::kChannels; ++n) {
            if (!((mask >> (n - 1)) & 1))
                continue;
            line += format("  %02d: ", n);
            if (full.channel(n).function() == cfg::kFctNotProg) {
                line += "not programmed";
                continue;
            }
            if ((errors >> (n - 1)) & 1) {
                line += format("Err. %d", int(le::i16(d, kCycleErrors + 2 * size_t(n - 1))));
                continue;
            }
            line += records::formatValueText(le::f32(d, kCycleValues + 4 * size_t(n - 1)),
                                             resolutions.shownResol(n), dec);
            if (!units[size_t(n)].empty())
                line += " " + units[size_t(n)];
        }
        if (st = printLine(s, line); !st)
            return st;
    }
    return Status::ok();
}

Status cmdRegsRead(Session& s, Args& a) {
    const bool input = a.flag("--input");
    std::vector<std::string> pos;
    uint16_t start = 0;
    int16_t qty = 0;
    Status st = a.positionals(2, 2, "regs read", pos);
    if (st)
        st = parseNumberAs(pos[0], 0, 65535, "START", start);
    if (st)
        st = parseNumberAs(pos[1], 1, 2000, "QTY", qty);
    if (st && start + qty > 65536)
        st = usage("the registers read must end at 65535 at most");
    if (st)
        st = s.open();
    if (!st)
        return st;
    ctl::Qd40Link* link = nullptr;
    s.ctl().GetQd40IUserRef(&link);
    if (!link)
        return Status::failure(E_UNEXPECTED, "Communication not opened");
    server::Variant values;
    int32_t err = 0;
    const HRESULT h =
        link->ReadRegs(s.ctl().state().conn.mbAddr, start, qty, input ? 0 : 1, &values, &err);
    if (qd40::failed(h))
        return Status::failure(h, link->lastError().description);
    std::string text;
    const size_t words = std::min<size_t>(size_t(qty), values.data.size() / 2);
    for (size_t i = 0; i < words; ++i) {
        if (i % 8 == 0)
            text += format("%s%u:", i ? "\n" : "", unsigned(start + i));
        text += format(" 0x%04X", le::u16(values.data, 2 * i));
    }
    s.out() << text << "\n";
    return Status::ok();
}

Status cmdRegsWrite(Session& s, Args& a) {
    std::vector<std::string> pos;
    uint16_t start = 0;
    Status st = a.positionals(2, 123 + 1, "regs write", pos);
    if (st)
        st = parseNumberAs(pos[0], 0, 65535, "START", start);
    std::vector<uint16_t> words;
    for (size_t i = 1; st && i < pos.size(); ++i) {
        uint16_t w = 0;
        st = parseNumberAs(pos[i], 0, 65535, "WORD", w);
        words.push_back(w);
    }
    if (st && start + words.size() > 65536)
        st = usage("the registers written must end at 65535 at most");
    if (st)
        st = s.open();
    if (!st)
        return st;
    ctl::OvixQd40Ctl& c = s.ctl();
    ctl::Qd40Link* link = nullptr;
    c.GetQd40IUserRef(&link);
    if (!link)
        return Status::failure(E_UNEXPECTED, "Communication not opened");
    // Written under remote control, taken here unless this port holds it,
    // and given back afterwards even when the write fails.
    int16_t status = 0;
    if (st = s.call(c.GetStatus(&status)); !st)
        return st;
    const bool held = status::heldHere(uint16_t(status));
    if (!held)
        if (st = s.call(c.Remote()); !st)
            return st;
    int32_t err = 0;
    const HRESULT h = link->SendRegs(c.state().conn.mbAddr, start, int16_t(words.size()),
                                     server::Variant::words(words, server::VT_I2), &err);
    if (qd40::failed(h))
        st = Status::failure(h, link->lastError().description);
    if (!held) {
        const Status back = s.call(c.Local());
        if (st)
            st = back;
    }
    return st;
}

const Command kCommands[] = {
    {"identify", "identify",
     "Prints the module's device type, firmware version, file version and setup name.",
     cmdIdentify},
    {"status", "status",
     "Prints the global status word in hexadecimal and the names of its set bits\n"
     "(RUN WAI ACQ MEAS EVT CHER CHERC AL1C AL2C AL3C AL4C GMSR ALG1 ALG2 REM REMP).",
     cmdStatus},
    {"run", "run [--memory clear|add|keep]",
     "Starts the acquisition. --memory says what becomes of the records of a\n"
     "block that cannot be re-opened: cleared, added to, or kept as they are\n"
     "(the block is then not recorded into); without it such a block must be\n"
     "cleared first.",
     cmdRun},
    {"stop", "stop", "Stops the acquisition.", cmdStop},
    {"trig", "trig", "Sends the TRIG command.", cmdTrig},
    {"remote", "remote",
     "Takes remote control of the module and says how long it lasts: on a\n"
     "serial line until 'qd40 local'; a MODBUS/TCP module gives it back when\n"
     "the connection that took it closes, so the command then fails once it\n"
     "sees control gone. The other commands take it only while they run.",
     cmdRemote},
    {"local", "local", "Gives remote control back to the module.", cmdLocal},
    {"clock get", "clock get", "Prints the module's clock as date and time.", cmdClockGet},
    {"clock set", "clock set \"YYYY-MM-DD HH:MM:SS\"", "Sets the module's clock.", cmdClockSet},
    {"clock sync", "clock sync",
     "Sets the module's clock to this computer's local time and prints it.", cmdClockSync},
    {"relay get", "relay get N", "Prints the state of relay N (1 or 2): on or off.", cmdRelayGet},
    {"relay set", "relay set N on|off",
     "Switches relay N (1 or 2); the configuration must let MODBUS drive it.", cmdRelaySet},
    {"config read", "config read FILE",
     "Reads the module's configuration and saves it, with the connection\n"
     "settings, in FILE (the control's saved state).",
     cmdConfigRead},
    {"config send", "config send FILE [--init [--yes]]",
     "Sends the configuration saved in FILE to the module (the module must be\n"
     "stopped). Only the configuration is taken from FILE. --init initialises\n"
     "the module first, which erases every stored record: when the module\n"
     "holds records it is refused with their count unless --yes is given.",
     cmdConfigSend},
    {"config show", "config show [FILE]",
     "Lists a configuration: global word, acquisition, channels, memory blocks\n"
     "and the minimal periods. With FILE it works offline, without a module;\n"
     "otherwise the module's configuration is read.",
     cmdConfigShow},
    {"mem status", "mem status",
     "Lists each memory block: recording, closed, full and the records it holds.", cmdMemStatus},
    {"mem read",
     "mem read BLOCK [--first N] [--count N] [--clear] [--raw FILE] [--text FILE] [--sheet FILE]",
     "Reads the records of memory block BLOCK (1 to 10) from record N (default\n"
     "1), all of them unless --count is given, and prints how many were read.\n"
     "A block must be closed (not recording) to be read.\n"
     "  --raw FILE    the 8-byte records as received\n"
     "  --text FILE   the \"Text in line\" export of the records\n"
     "  --sheet FILE  the spreadsheet export (default options)\n"
     "  --clear       removes the records read from the module once the files\n"
     "                are written (needs --first 1 and an output file)",
     cmdMemRead},
    {"mem clear", "mem clear BLOCK [--yes]",
     "Clears memory block BLOCK (1 to 10). When it holds records it is refused\n"
     "with their count unless --yes is given.",
     cmdMemClear},
    {"events", "events",
     "Prints the number of events and each one with its date, kind, error text\n"
     "and detail.",
     cmdEvents},
    {"events clear", "events clear", "Clears the module's event list.", cmdEventsClear},
    {"scan", "scan [--channels LIST] [--count N] [--period MS]",
     "Prints one line per scan of the module's last cycle: its date and time,\n"
     "then each channel's value and unit (\"Err. CODE\" for a channel in error).\n"
     "  --channels LIST  channels such as 1-4,7 (default: the scanned channels)\n"
     "  --count N        number of scans (default 1)\n"
     "  --period MS      time between scans (default 1000)\n"
     "An interrupt (Ctrl-C) ends the scans.",
     cmdScan},
    {"regs read", "regs read START QTY [--input]",
     "Prints QTY holding registers (input registers with --input) from START,\n"
     "as hexadecimal words, eight to a line after the first register's number.",
     cmdRegsRead},
    {"regs write", "regs write START WORD...",
     "Writes the words (decimal, or hexadecimal with 0x) to the holding\n"
     "registers from START, under remote control.",
     cmdRegsWrite},
};

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
    for (const Command& c : kCommands)
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
        for (const Command& c : kCommands) {
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
            for (const Command& c : kCommands)
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
        for (const Command& c : kCommands)
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
