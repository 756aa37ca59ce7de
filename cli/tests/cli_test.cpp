// The qd40 commands through the communication daemon (started by activation
// in a private registry and runtime folder) against the module simulator.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <modbus.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "cli/config_listing.h"
#include "cli/qd40_cli.h"
#include "common/config/cfg_defaults.h"
#include "control/ctl/daemon_factory.h"
#include "control/ctl/ovixqd40ctl.h"
#include "control/ctl/persistence.h"
#include "control/rules/min_periods.h"
#include "testing/server_process.h"
#include "testing/sim_process.h"

extern char** environ;

namespace qd40::cli {
namespace {

namespace fs = std::filesystem;

struct Result {
    int code = -1;
    std::string out, err;
};

std::string readText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// The status word that "qd40 status" printed first, in hexadecimal.
uint16_t statusWord(const std::string& out) {
    return out.size() >= 6 ? uint16_t(std::stoul(out.substr(2, 4), nullptr, 16)) : 0xFFFF;
}
constexpr uint16_t kRun = 0x0001, kRem = 0x4000;

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream ss(text);
    for (std::string l; std::getline(ss, l);)
        out.push_back(l);
    return out;
}

class CliTest : public ::testing::Test {
protected:
    void start(std::vector<std::string> simArgs = {}, bool rtu = false) {
        qd40::testing::SimProcess::Options o;
        o.args = std::move(simArgs);
        o.rtu = rtu;
        sim = std::make_unique<qd40::testing::SimProcess>(o);
        ASSERT_TRUE(sim->ok()) << sim->error();
        ASSERT_TRUE(svr.ok()) << svr.error();
        context.factory = ctl::daemonFactory();
        context.registry = platform::RegistryStore(svr.registryDir());
        folder = fs::path(svr.runtimeDir()) / "files";
        fs::create_directories(folder);
    }
    std::string tcp() const { return "127.0.0.1:" + std::to_string(sim->tcpPort()); }
    // Runs the command logic in this process, on the simulator unless offline.
    Result run(std::vector<std::string> args, bool module = true) {
        if (module)
            args.insert(args.begin(), {"--tcp", tcp()});
        std::ostringstream out, err;
        Result r;
        r.code = runQd40(args, out, err, context);
        r.out = out.str();
        r.err = err.str();
        return r;
    }
    std::string file(const std::string& name) const { return (folder / name).string(); }

    qd40::testing::ServerProcess svr;
    std::unique_ptr<qd40::testing::SimProcess> sim;
    CliContext context;
    fs::path folder;
};

#define EXPECT_OK(r) EXPECT_EQ((r).code, 0) << (r).err
#define ASSERT_OK(call)                    \
    do {                                   \
        const Result ok_ = (call);         \
        ASSERT_EQ(ok_.code, 0) << ok_.err; \
    } while (0)

TEST_F(CliTest, IdentifyStatusAndAcquisitionCommands) {
    start({"--time-scale", "20"});
    Result r = run({"identify"});
    EXPECT_OK(r);
    EXPECT_EQ(r.out, "Device type: QD40M\nVersion: B.05\nFile version: A.00\nSetup name: QD40\n");

    const std::regex statusLine(
        "0x[0-9A-F]{4}( \\(none of( [A-Z0-9]+){16}\\))?( (RUN|WAI|ACQ|MEAS|EVT|CHER|CHERC|"
        "AL[1-4]C|GMSR|ALG1|ALG2|REM|REMP))*\n");
    struct Step {
        const char* command;
        bool running;
    };
    for (const Step& s : {Step{"run", true}, Step{"trig", true}, Step{"stop", false}}) {
        ASSERT_OK(run({s.command}));
        r = run({"status"});
        EXPECT_OK(r);
        EXPECT_TRUE(std::regex_match(r.out, statusLine)) << r.out;
        EXPECT_EQ((statusWord(r.out) & kRun) != 0, s.running) << s.command << ": " << r.out;
        EXPECT_EQ(statusWord(r.out) & kRem, 0) << "control is given back: " << r.out;
    }
    // A MODBUS/TCP module keeps control only while the connection lasts.
    r = run({"remote"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err,
              "error 0x80004005: the module gave remote control back when this command's "
              "connection closed: a MODBUS/TCP module keeps it only while a connection holds "
              "it\n");
    EXPECT_OK(run({"local"}));
}

TEST_F(CliTest, SerialModuleIsReachedThroughTheDaemonsPort) {
    start({}, true);
    ASSERT_TRUE(svr.setPortDevice(1, sim->rtuPath()));
    // The control pushes its own port settings, or takes the daemon's.
    for (const std::vector<std::string>& connection : std::vector<std::vector<std::string>>{
             {"--com", "1", "--baud", "19200", "--serial-mode", "usb", "--slave", "1"},
             {"--com", "1", "--server-params"}}) {
        auto args = connection;
        args.push_back("identify");
        Result r = run(args, false);
        EXPECT_OK(r);
        EXPECT_EQ(r.out.rfind("Device type: QD40M\n", 0), 0u) << r.out;
        args.back() = "status";
        EXPECT_OK(run(args, false));
    }
    // On a serial line the module stays under remote control after "remote"
    // until "local".
    const std::vector<std::string> com{"--com", "1", "--server-params"};
    const auto on = [&](const char* command) {
        auto args = com;
        args.push_back(command);
        return run(args, false);
    };
    const Result remote = on("remote");
    EXPECT_OK(remote);
    EXPECT_EQ(remote.out, "remote control held until 'qd40 local'\n");
    EXPECT_EQ(on("status").out, "0xC000 REM REMP\n");
    ASSERT_OK(on("local"));
    EXPECT_EQ(on("status").out,
              "0x0000 (none of RUN WAI ACQ MEAS EVT CHER CHERC AL1C AL2C AL3C AL4C GMSR ALG1 "
              "ALG2 REM REMP)\n");
}

TEST_F(CliTest, FailuresExitWithOneErrorLine) {
    start();
    ASSERT_EQ(::mkfifo(file("fifo").c_str(), 0600), 0);
    struct Case {
        std::vector<std::string> args;
        bool module;
        std::string err;  // the whole line, or its beginning when it ends with '*'
    };
    const Case cases[] = {
        // Argument errors alone are in cli_args_test.cpp.
        {{"config", "show", file("missing.cfg")},
         false,
         "error 0x80004005: cannot open " + file("missing.cfg") + ": No such file or directory"},
        // Folders and FIFOs are neither read as files nor replaced by one.
        {{"config", "show", folder.string()},
         false,
         "error 0x80004005: cannot read " + folder.string() + ": Is a directory"},
        {{"config", "send", folder.string()},
         true,
         "error 0x80004005: cannot read " + folder.string() + ": Is a directory"},
        {{"config", "read", file("fifo")},
         true,
         "error 0x80004005: cannot write " + file("fifo") + ": not a regular file*"},
        // An IPv6 address is a host, with its port in brackets.
        {{"--tcp", "::1", "status"}, false, "error 0x80004005: Unable to open IP Port (::1:502: *"},
        {{"--tcp", "[::1]:1", "status"},
         false,
         "error 0x80004005: Unable to open IP Port (::1:1: *"},
        // A module refusal: block 2 holds nothing.
        {{"mem", "read", "2", "--count", "1"}, true, "error 0x800414*"},
    };
    for (const Case& c : cases) {
        const Result r = run(c.args, c.module);
        EXPECT_EQ(r.code, 1) << c.err;
        EXPECT_EQ(r.out, "") << c.err;
        if (c.err.back() == '*')
            EXPECT_EQ(r.err.rfind(c.err.substr(0, c.err.size() - 1), 0), 0u) << r.err;
        else
            EXPECT_EQ(r.err, c.err + "\n");
    }
}

TEST_F(CliTest, ModuleHeldThroughAnotherConnectionIsRefused) {
    start();
    // Another master takes remote control (command 3) on its own connection.
    modbus_t* other = modbus_new_tcp("127.0.0.1", sim->tcpPort());
    ASSERT_NE(other, nullptr);
    ASSERT_EQ(modbus_connect(other), 0);
    modbus_set_slave(other, 1);
    ASSERT_EQ(modbus_write_register(other, 44000, 3), 1) << modbus_strerror(errno);

    const std::string refusal =
        "error 0x80041413: The module is already controlled via its other Port\n";
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"run"},
             {"remote"},
             {"relay", "set", "1", "on"},
             {"regs", "write", "45000", "1"},
             {"mem", "read", "1", "--clear", "--raw", file("held.raw")}}) {
        const Result r = run(args);
        EXPECT_EQ(r.code, 1) << args[0];
        EXPECT_EQ(r.err, refusal) << args[0];
    }
    const Result status = run({"status"});
    EXPECT_OK(status);
    EXPECT_NE(status.out.find(" REM"), std::string::npos) << status.out;
    EXPECT_EQ(status.out.find("REMP"), std::string::npos) << status.out;
    modbus_close(other);
    modbus_free(other);
}

TEST_F(CliTest, ClockIsSetSynchronisedAndReadInTheLocaleFormat) {
    start();
    ASSERT_OK(run({"clock", "set", "2026-03-04 05:06:07"}));
    Result r = run({"clock", "get"});
    EXPECT_OK(r);
    EXPECT_TRUE(std::regex_match(r.out, std::regex("2026-03-04 05:06:0[7-9]\n"))) << r.out;

    context.now = [] { return DateTime{2031, 12, 30, 22, 58, 1, 750}; };
    r = run({"clock", "sync"});
    EXPECT_OK(r);
    EXPECT_EQ(r.out, "2031-12-30 22:58:01\n");

    context.locale = platform::Locale("%d/%m/%Y", "%Hh%M", ',');
    r = run({"clock", "get"});
    EXPECT_OK(r);
    EXPECT_TRUE(std::regex_match(r.out, std::regex("30/12/2031 22h5[89]\n"))) << r.out;
}

TEST_F(CliTest, ConfigurationIsSentReadAndListedOffline) {
    start({"--time-scale", "20"});
    // A configuration saved as the control saves it: channel 5 in Vdc 50 V,
    // both relays driven over MODBUS, a 500 ms acquisition.
    ctl::CtlState wanted = ctl::CtlState::defaults();
    cfg::FullCfgView full(wanted.cfg);
    full.setAcqPeriod(500);
    full.setChansToScan(full.chansToScan() | 0x10);
    full.channel(5).setFunction(cfg::kFctVdc);
    full.channel(5).setRange(3);
    full.setRelayModbus(1, true);
    full.setRelayModbus(2, true);
    full.memBlock(3).setSize(500);
    full.memBlock(3).setChansToRecord(0x10);
    cfg::Qd40ExtCfg(wanted.ext).setModuleMnemonic("Kiln");
    ctl::VectorOutStream saved;
    ASSERT_TRUE(ctl::saveToStream(wanted, saved).isOk());
    {
        std::ofstream(file("wanted.cfg"), std::ios::binary)
            .write(reinterpret_cast<const char*>(saved.bytes().data()),
                   std::streamsize(saved.bytes().size()));
    }

    ASSERT_OK(run({"config", "send", file("wanted.cfg"), "--init"}));
    ASSERT_OK(run({"config", "read", file("read.cfg")}));
    const std::string bytes = readText(file("read.cfg"));
    ctl::CtlState read = ctl::CtlState::defaults();
    ASSERT_TRUE(ctl::loadFromStream(
                    std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), read)
                    .isOk());
    EXPECT_EQ(read.cfg, wanted.cfg);
    EXPECT_EQ(cfg::ConstQd40ExtCfg(read.ext).moduleMnemonic(), "Kiln");

    // Relays can now be driven over MODBUS.
    ASSERT_OK(run({"relay", "set", "2", "on"}));
    Result r = run({"relay", "get", "2"});
    EXPECT_EQ(r.out, "on\n");
    r = run({"relay", "get", "1"});
    EXPECT_EQ(r.out, "off\n");

    // Offline: no module is reached.
    context.factory = [](const std::string&, std::unique_ptr<ctl::Qd40Link>&) {
        return Status::failure(E_FAIL, "no module in this test");
    };
    r = run({"config", "show", file("read.cfg")}, false);
    EXPECT_OK(r);
    const rules::MinPeriods periods = rules::computeMinPeriods(cfg::ConstFullCfgView(read.cfg));
    const auto all = lines(r.out);
    ASSERT_GE(all.size(), 2u);
    EXPECT_EQ(all[all.size() - 2],
              "Minimal acquisition period: " + std::to_string(periods.minAcqPeriodMs) + " ms");
    EXPECT_EQ(all.back(), "Auxiliary period: " + std::to_string(periods.auxPeriodMs) + " ms");
    for (const char* expected :
         {"Module: Kiln", "  Acquisition period: 500 x 1 ms (500 ms)",
          "  Channel 05 \"Chan05\" (scanned): Vdc, 50 V, ",
          "  Relay 2: Direct, Modbus Controlled (bit 19)", "  Block 3: 500 records; channels 5\n",
          "Channels:\n  Channel 05", "  Not programmed: 1-4, 6-30\n"})
        EXPECT_NE(r.out.find(expected), std::string::npos) << expected << "\n" << r.out;

    context.factory = ctl::daemonFactory();
    // An interrupt during the transfer lets it end and says what was sent; one
    // before it sends nothing.
    full.setAcqPeriod(700);
    ctl::VectorOutStream interrupted;
    ASSERT_TRUE(ctl::saveToStream(wanted, interrupted).isOk());
    {
        std::ofstream(file("interrupted.cfg"), std::ios::binary)
            .write(reinterpret_cast<const char*>(interrupted.bytes().data()),
                   std::streamsize(interrupted.bytes().size()));
    }
    std::vector<bool> catching;
    int polls = 0;
    context.catchInterrupts = [&](bool on) { catching.push_back(on); };
    context.interrupted = [&] { return ++polls > 1; };  // comes once the transfer runs
    r = run({"config", "send", file("interrupted.cfg")});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "error 0x80004004: interrupted once the whole configuration was sent\n");
    EXPECT_EQ(catching, (std::vector<bool>{true, false}));
    context.interrupted = [] { return true; };  // came before
    r = run({"config", "send", file("wanted.cfg")});
    EXPECT_EQ(r.err, "error 0x80004004: interrupted: nothing was sent to the module\n");
    context.interrupted = nullptr;
    context.catchInterrupts = nullptr;
    ASSERT_OK(run({"config", "read", file("read.cfg")}));
    const std::string after = readText(file("read.cfg"));
    EXPECT_TRUE(ctl::loadFromStream(
                    std::span(reinterpret_cast<const uint8_t*>(after.data()), after.size()), read)
                    .isOk());
    EXPECT_EQ(cfg::ConstFullCfgView(read.cfg).acqPeriod(), 700) << "the interrupted send is whole";
    ASSERT_OK(run({"config", "send", file("wanted.cfg")}));

    // A running module refuses a configuration before anything is written.
    ASSERT_OK(run({"run"}));
    full.setAcqPeriod(2000);
    ctl::VectorOutStream changed;
    ASSERT_TRUE(ctl::saveToStream(wanted, changed).isOk());
    std::ofstream(file("changed.cfg"), std::ios::binary)
        .write(reinterpret_cast<const char*>(changed.bytes().data()),
               std::streamsize(changed.bytes().size()));
    r = run({"config", "send", file("changed.cfg")});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "error 0x8000FFFF: Stop the module before configuration\n");
    ASSERT_OK(run({"stop"}));
    r = run({"config", "show"});
    EXPECT_NE(r.out.find("  Acquisition period: 500 x 1 ms"), std::string::npos) << r.out;

    // A saved state with bytes after its end.
    {
        std::ofstream(file("trailing.cfg"), std::ios::binary)
                .write(reinterpret_cast<const char*>(saved.bytes().data()),
                       std::streamsize(saved.bytes().size()))
            << "tail";
    }
    r = run({"config", "show", file("trailing.cfg")}, false);
    EXPECT_EQ(r.err, "error 0x80004005: " + file("trailing.cfg") +
                         ": not a saved module configuration (4 bytes follow the configuration's "
                         "end)\n");

    // A file that is not a saved state.
    std::ofstream(file("junk.cfg")) << "junk";
    r = run({"config", "show", file("junk.cfg")}, false);
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err.rfind("error 0x", 0), 0u);
    EXPECT_NE(r.err.find("junk.cfg: not a saved module configuration"), std::string::npos) << r.err;
}

TEST_F(CliTest, MemoryBlockIsReadIntoFilesAndCleared) {
    start({"--preload", "1:300"});
    Result r = run({"mem", "status"});
    EXPECT_OK(r);
    auto rows = lines(r.out);
    ASSERT_EQ(rows.size(), 11u) << r.out;
    EXPECT_EQ(rows[0], "Block  Recording  Closed  Full  Records");
    EXPECT_TRUE(std::regex_match(rows[1], std::regex("    1  no         (yes|no )     no    300")))
        << rows[1];
    EXPECT_EQ(rows[2], "    2  no         no      no    0");

    r = run({"mem", "read", "1", "--raw", file("all.raw"), "--text", file("all.txt"), "--sheet",
             file("all.sheet")});
    EXPECT_OK(r);
    EXPECT_EQ(r.out, "300 records read\n");
    const std::string raw = readText(file("all.raw"));
    ASSERT_EQ(raw.size(), 300u * 8);
    const std::string text = readText(file("all.txt"));
    EXPECT_EQ(lines(text).size(), 300u);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    const auto sheet = lines(readText(file("all.sheet")));
    ASSERT_GT(sheet.size(), 4u);
    EXPECT_EQ(sheet[0], "\"Qd40_01_1\"\t\"\"\r");
    EXPECT_TRUE(std::regex_match(
        sheet[1], std::regex("\\d{4}-\\d\\d-\\d\\d\t\\d\\d:\\d\\d:\\d\\d\\.\\d{3}\r")))
        << sheet[1];

    // A part: records 5 to 14, as the module gives them.
    r = run({"mem", "read", "1", "--first", "5", "--count", "10", "--raw", file("part.raw")});
    EXPECT_EQ(r.out, "10 records read\n");
    EXPECT_EQ(readText(file("part.raw")), raw.substr(4 * 8, 10 * 8));
    r = run({"mem", "read", "1", "--count", "1"});
    EXPECT_EQ(r.out, "1 record read\n");
    // Beyond the end: what there is.
    r = run({"mem", "read", "1", "--first", "295", "--count", "50"});
    EXPECT_EQ(r.out, "6 records read\n");

    r = run({"mem", "read", "1", "--clear", "--raw", file("again.raw")});
    EXPECT_EQ(r.out, "300 records read\n");
    EXPECT_EQ(readText(file("again.raw")), raw);
    r = run({"mem", "status"});
    EXPECT_EQ(lines(r.out)[1].substr(lines(r.out)[1].size() - 2), " 0") << r.out;
}

// A read that removes what it read holds remote control throughout: another
// client of the daemon that holds the module refuses it before anything is
// read or removed, and once that client gives control back the read runs.
TEST_F(CliTest, ClearingReadWaitsForNoOtherClientOfTheModule) {
    start({"--preload", "1:100"});
    ctl::OvixQd40Ctl other(context.factory, nullptr, context.registry);
    ASSERT_EQ(other.put_Serial(0), S_OK);
    ASSERT_EQ(other.put_IpAddr("127.0.0.1"), S_OK);
    ASSERT_EQ(other.put_Port(sim->tcpPort()), S_OK);
    ASSERT_EQ(other.Open(), S_OK) << other.lastError().description;
    ASSERT_EQ(other.Remote(), S_OK) << other.lastError().description;

    const std::vector<std::string> read{"mem", "read", "1", "--clear", "--raw", file("held.raw")};
    Result r = run(read);
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err,
              "error 0x80004005: The module is already controlled by another Client on this "
              "Port\n");
    EXPECT_FALSE(fs::exists(file("held.raw")));
    uint32_t count = 0;
    ASSERT_EQ(other.GetMemRecCount(1, &count), S_OK);
    EXPECT_EQ(count, 100u);

    ASSERT_EQ(other.Local(), S_OK);
    r = run(read);
    EXPECT_OK(r);
    EXPECT_EQ(r.out, "100 records read\n");
    EXPECT_EQ(fs::file_size(file("held.raw")), 800u);
    ASSERT_EQ(other.GetMemRecCount(1, &count), S_OK);
    EXPECT_EQ(count, 0u);
    r = run({"status"});
    EXPECT_EQ(statusWord(r.out) & kRem, 0) << "control is given back: " << r.out;
}

// Commands that erase stored records say how many and go on only with --yes;
// a block that cannot be re-opened is run into with --memory instead.
TEST_F(CliTest, RecordsAreErasedOnlyWhenSaidSo) {
    start({"--preload", "1:5"});
    ASSERT_OK(run({"config", "read", file("now.cfg")}));
    const auto held = [&] {
        const auto rows = lines(run({"mem", "status"}).out);
        return rows.size() > 1 ? rows[1].substr(rows[1].rfind(' ') + 1) : std::string();
    };
    struct Refusal {
        std::vector<std::string> args;
        std::string what;
    };
    for (const Refusal& c : {Refusal{{"config", "send", file("now.cfg"), "--init"}, "--init"},
                             Refusal{{"mem", "clear", "1"}, "clearing block 1"}}) {
        const Result r = run(c.args);
        EXPECT_EQ(r.code, 1);
        EXPECT_EQ(r.err, "error 0x80004004: the module holds 5 records that " + c.what +
                             " would erase: read them first (qd40 mem read) or add --yes\n");
        EXPECT_EQ(held(), "5");
    }

    Result r = run({"run"});
    EXPECT_EQ(r.code, 1) << "block 1 cannot be re-opened while it holds records";
    r = run({"run", "--memory", "again"});
    EXPECT_EQ(r.err, "error 0x80070057: invalid --memory 'again': expected clear, add or keep\n");
    ASSERT_OK(run({"run", "--memory", "keep"}));
    EXPECT_NE(statusWord(run({"status"}).out) & kRun, 0);
    ASSERT_OK(run({"stop"}));
    EXPECT_EQ(held(), "5") << "kept as they were";

    ASSERT_OK(run({"config", "send", file("now.cfg"), "--init", "--yes"}));
    EXPECT_EQ(held(), "0");
    r = run({"mem", "clear", "1"});  // nothing to erase, nothing to confirm
    EXPECT_OK(r);
}

TEST_F(CliTest, EventsAreListedAndCleared) {
    start();
    Result r = run({"events"});
    EXPECT_OK(r);
    auto rows = lines(r.out);
    ASSERT_GE(rows.size(), 2u) << r.out;
    EXPECT_EQ(rows[0], std::to_string(rows.size() - 1) + (rows.size() == 2 ? " event" : " events"));
    EXPECT_TRUE(std::regex_match(
        rows[1], std::regex("001 \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d Power On")))
        << rows[1];
    ASSERT_OK(run({"events", "clear"}));
    r = run({"events"});
    EXPECT_EQ(r.out, "0 events\n");
}

TEST_F(CliTest, ScanPrintsOneLinePerScanWithValuesAndUnits) {
    start({"--time-scale", "20"});
    // Before the first cycle nothing is made up; a channel without a
    // function is said to be so.
    Result r = run({"scan", "--channels", "1"});
    EXPECT_EQ(r.out, "no measurement yet\n");
    ASSERT_OK(run({"run"}));
    context.sleep = [](int ms) { ::usleep(useconds_t(ms) * 1000); };
    r = run({"scan", "--channels", "1,4", "--count", "3", "--period", "60"});
    EXPECT_OK(r);
    const auto rows = lines(r.out);
    ASSERT_EQ(rows.size(), 3u) << r.out;
    const std::regex line(
        "\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3}  01: -?[0-9.]+ V  04: -?[0-9.]+ mA");
    for (const std::string& row : rows)
        EXPECT_TRUE(std::regex_match(row, line)) << row;
    EXPECT_NE(rows.front().substr(0, 23), rows.back().substr(0, 23)) << "new cycles are shown";

    r = run({"scan", "--channels", "1,30"});
    EXPECT_NE(r.out.find("  30: not programmed\n"), std::string::npos) << r.out;

    context.locale = platform::Locale("%d.%m.%Y", "%H:%M:%S", ',');
    r = run({"scan", "--channels", "1"});
    EXPECT_TRUE(std::regex_match(
        r.out,
        std::regex(
            "\\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d:\\d\\d,\\d{3}  01: -?[0-9]+(,[0-9]+)? V\n")))
        << r.out;
}

TEST_F(CliTest, InterruptEndsScansAndStopsAMemoryRead) {
    start({"--preload", "2:300"});
    std::vector<bool> catching;
    int polls = 0;
    context.catchInterrupts = [&](bool on) { catching.push_back(on); };
    context.interrupted = [&] { return ++polls > 3; };
    Result r = run({"scan", "--count", "50", "--period", "0"});
    EXPECT_OK(r);
    EXPECT_EQ(lines(r.out).size(), 3u) << r.out;
    EXPECT_EQ(catching, (std::vector<bool>{true, false}));

    context.interrupted = [] { return true; };
    r = run({"mem", "read", "2", "--clear", "--raw", file("cut.raw")});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "error 0x80004004: interrupted: no file written, no record removed\n");
    EXPECT_FALSE(fs::exists(file("cut.raw")));
    context.interrupted = nullptr;
    EXPECT_EQ(run({"mem", "read", "2", "--count", "0"}).out, "0 records read\n");
    r = run({"mem", "status"});
    EXPECT_TRUE(std::regex_search(r.out, std::regex("\n    2  no  .* 300\n"))) << r.out;
}

TEST_F(CliTest, RegistersAreWrittenAndRead) {
    start();
    ASSERT_OK(run({"regs", "write", "45000", "0x1234", "4660", "65535"}));
    Result r = run({"regs", "read", "45000", "3"});
    EXPECT_OK(r);
    EXPECT_EQ(r.out, "45000: 0x1234 0x1234 0xFFFF\n");
    r = run({"regs", "read", "1019", "1", "--input"});
    EXPECT_EQ(r.out, "1019: 0xB052\n");
    r = run({"regs", "read", "45000", "9"});
    EXPECT_EQ(lines(r.out).size(), 2u);
    EXPECT_EQ(lines(r.out)[1].rfind("45008: 0x", 0), 0u) << r.out;
    r = run({"regs", "write", "45000", "65536"});
    EXPECT_EQ(r.err, "error 0x80070057: invalid WORD '65536': expected a number from 0 to 65535\n");
}

// The program itself: exit codes, streams and help.
Result runProgram(const std::vector<std::string>& args, const fs::path& folder) {
    // $QD40_BIN_DIR, else the folder of this test (both are build/bin).
    const char* bin = std::getenv("QD40_BIN_DIR");
    const fs::path dir =
        bin && *bin ? fs::path(bin) : fs::read_symlink("/proc/self/exe").parent_path();
    std::vector<std::string> argv{(dir / "qd40").string()};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> cargv;
    for (auto& a : argv)
        cargv.push_back(a.data());
    cargv.push_back(nullptr);
    const std::string out = (folder / "stdout").string(), err = (folder / "stderr").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = -1;
    Result r;
    const int spawned = posix_spawn(&pid, cargv[0], &actions, nullptr, cargv.data(), environ);
    int status = 0;
    if (spawned == 0 && ::waitpid(pid, &status, 0) == pid)
        r.code = WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
    else
        r.err = "spawn " + argv[0] + ": " + std::strerror(spawned);
    posix_spawn_file_actions_destroy(&actions);
    r.out = readText(out);
    r.err += readText(err);
    return r;
}

TEST_F(CliTest, ProgramClosesTheModuleWhenAScanIsInterrupted) {
    start({"--time-scale", "20"});
    // Register 901 as another master left it: the control puts it back on closing.
    modbus_t* other = modbus_new_tcp("127.0.0.1", sim->tcpPort());
    ASSERT_NE(other, nullptr);
    ASSERT_EQ(modbus_connect(other), 0);
    ASSERT_EQ(modbus_write_register(other, 901, 7), 1);

    const char* bin = std::getenv("QD40_BIN_DIR");
    const fs::path program =
        (bin && *bin ? fs::path(bin) : fs::read_symlink("/proc/self/exe").parent_path()) / "qd40";
    std::vector<std::string> argv{program.string(), "--tcp", tcp(),      "scan",
                                  "--count",        "1000",  "--period", "100"};
    std::vector<char*> cargv;
    for (auto& a : argv)
        cargv.push_back(a.data());
    cargv.push_back(nullptr);
    const std::string out = file("scan.out");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = -1;
    ASSERT_EQ(posix_spawn(&pid, cargv[0], &actions, nullptr, cargv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    // Interrupted once it has printed two scans.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (lines(readText(out)).size() < 2 && std::chrono::steady_clock::now() < deadline)
        ::usleep(20'000);
    EXPECT_GE(lines(readText(out)).size(), 2u);
    ::kill(pid, SIGINT);
    int status = 0;
    pid_t done = 0;
    while ((done = ::waitpid(pid, &status, WNOHANG)) == 0 &&
           std::chrono::steady_clock::now() < deadline)
        ::usleep(20'000);
    if (done != pid) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        FAIL() << "qd40 did not end after the interrupt";
    }
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_LT(lines(readText(out)).size(), 1000u);
    uint16_t v = 0;
    ASSERT_EQ(modbus_read_registers(other, 901, 1, &v), 1);
    EXPECT_EQ(v, 7);
    modbus_close(other);
    modbus_free(other);
}

// Output that cannot be written fails the run, after the command itself.
TEST_F(CliTest, UnwritableOutputIsAnError) {
    start();
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--help"}, {"status", "--help"}, {"--tcp", tcp(), "status"}}) {
        std::ostringstream out, err;
        out.setstate(std::ios::badbit);
        EXPECT_EQ(runQd40(args, out, err, context), 1) << args.back();
        EXPECT_EQ(err.str(), "error 0x80004005: cannot write to the output\n") << args.back();
    }
}

TEST_F(CliTest, ProgramExitCodesAndHelp) {
    start();
    Result r = runProgram({"--tcp", tcp(), "status"}, folder);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out.rfind("0x", 0), 0u) << r.out;
    EXPECT_EQ(r.err, "");

    r = runProgram({"--tcp", tcp(), "mem", "read", "0"}, folder);
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "error 0x80070057: invalid block '0': expected a number from 1 to 10\n");

    struct HelpCase {
        std::vector<std::string> args;
        std::vector<std::string> contains;
    };
    const HelpCase cases[] = {
        {{"--help"},
         {"Usage: qd40 CONNECTION COMMAND", "--tcp HOST[:PORT]", "  regs write START WORD...\n"}},
        {{"mem", "read", "--help"}, {"Usage: qd40 CONNECTION mem read BLOCK", "--sheet FILE"}},
        {{"clock", "--help"}, {"clock get", "clock set", "clock sync"}},
        {{"help", "events", "clear"}, {"Usage: qd40 CONNECTION events clear\n"}},
    };
    for (const HelpCase& c : cases) {
        r = runProgram(c.args, folder);
        EXPECT_EQ(r.code, 0);
        for (const std::string& s : c.contains)
            EXPECT_NE(r.out.find(s), std::string::npos) << s << "\n" << r.out;
    }
}

TEST(CliLocale, CLocalesWithACharacterSetFormatAsC) {
    const DateTime dt{2031, 12, 30, 22, 58, 1, 0};
    const char* saved = std::getenv("LC_ALL");
    for (const char* name : {"C", "C.UTF-8", "C.utf8", "POSIX"}) {
        ::setenv("LC_ALL", name, 1);
        const platform::Locale locale = environmentLocale();
        EXPECT_EQ(locale.shortDate(dt) + " " + locale.time(dt), "2031-12-30 22:58:01") << name;
        EXPECT_EQ(locale.decimalSeparator(), '.') << name;
    }
    if (saved)
        ::setenv("LC_ALL", saved, 1);
    else
        ::unsetenv("LC_ALL");
}

TEST(CliListing, MasksAndNumbers) {
    struct Case {
        uint32_t mask;
        int count;
        const char* text;
    };
    for (const Case& c :
         {Case{0, 30, "none"}, Case{0xF, 30, "1-4"}, Case{0x2000004F, 30, "1-4, 7, 30"},
          Case{0x3FF, 10, "1-10"}, Case{0x200, 10, "10"}})
        EXPECT_EQ(maskText(c.mask, c.count), c.text);
    EXPECT_EQ(numberText(2.5f, ','), "2,5");
    EXPECT_EQ(numberText(cfg::kMaxFloat, '.'), "MAX");
}

}  // namespace
}  // namespace qd40::cli
