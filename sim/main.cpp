// qd40sim: a MODBUS slave that behaves like a Qd40 module, on MODBUS/TCP and
// on a serial pseudo-terminal.
#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "common/dates.h"
#include "common/file_io.h"
#include "common/output_file.h"
#include "sim/runtime.h"

using namespace qd40::sim;

namespace {

const char* kUsage =
    "Usage: qd40sim [--tcp ADDR:PORT] [--rtu PATH] [--slave N] [--dev-id HEX]\n"
    "               [--fw-version TEXT] [--file-version TEXT] [--capacity N]\n"
    "               [--time-scale X] [--echo] [--wire-baud N] [--state FILE]\n"
    "               [--faults FILE] [--preload BLOCK:COUNT]...\n"
    "\n"
    "A simulated Qd40 module: register map, coils, command mailbox at 44000,\n"
    "remote control, acquisition with memory blocks and events.\n"
    "\n"
    "  --tcp ADDR:PORT      serve MODBUS/TCP (several masters at once); port 0 picks a\n"
    "                       free one. Each connection is a port of its own for remote\n"
    "                       control; closing it gives back the control it held.\n"
    "  --rtu PATH           serve MODBUS RTU on a pseudo-terminal whose slave side is\n"
    "                       linked at PATH (usable as a serial device); one port.\n"
    "  --slave N            MODBUS slave number on the RTU line (default 1; TCP\n"
    "                       answers any unit number)\n"
    "  --dev-id HEX         device identifier, input register 1019 (default B052)\n"
    "  --fw-version TEXT    firmware version, input register 651 (default B.05)\n"
    "  --file-version TEXT  file version, input register 652 (default A.00)\n"
    "  --capacity N         storage memory in records, registers 5288-5289\n"
    "                       (default 100000; 0 is reported as 0 and holds 12000\n"
    "                       records, as the masters count it)\n"
    "  --time-scale X       module time (cycles, clock) runs X times real time\n"
    "                       (default 1)\n"
    "  --echo               the RTU line echoes every frame the master sends\n"
    "  --wire-baud N        pace the RTU line at N baud (10 bits a character, 3.5\n"
    "                       character silences)\n"
    "  --state FILE         permanent memory: configuration, SETUP, e-mail texts,\n"
    "                       extension block and clock, loaded at start and saved on\n"
    "                       change. Text lines 'holding ADDR HEX...', 'setup ID HEX...',\n"
    "                       'email N HEX...', 'clock MS_SINCE_2000 UNIX_MS'; values are\n"
    "                       taken as they are, even those the module would refuse.\n"
    "  --faults FILE        inject faults (below)\n"
    "  --preload BLOCK:COUNT fill memory block BLOCK with COUNT records of a synthetic\n"
    "                       acquisition at start (the block grows when needed)\n"
    "  --help               this text\n"
    "\n"
    "When ready, prints 'listening tcp ADDR:PORT' and/or 'listening rtu PATH', one\n"
    "line per endpoint. SIGINT and SIGTERM stop cleanly (the state is saved);\n"
    "SIGHUP re-reads the faults file.\n"
    "\n"
    "Factory configuration (without a state file): acquisition every 1000 ms;\n"
    "channels 1 to 4 scanned: 1 Vdc 5 V (limit 1 high at 3 V raising global\n"
    "alarm 1), 2 thermocouple K, 3 Pt100 4 wires, 4 current 20 mA; memory block 1\n"
    "of 10000 records opening with the acquisition, recording every cycle.\n"
    "\n"
    "Module behaviour worth knowing: a refused request answers MODBUS exception 4\n"
    "and puts the module error in input register 44198; addresses outside the map\n"
    "and writes to read-only registers answer exception 2. Configuration writes\n"
    "and state-changing commands need remote control (18, or 19 when another port\n"
    "holds it); configuration writes while acquiring are refused (17) unless SETUP\n"
    "item 50 allows them. Command 0 with the two confirmation words takes remote\n"
    "control without stopping the acquisition. Reading register 6000 acknowledges\n"
    "the change bits CHERC and AL1C-AL4C; reading the cycle status acknowledges\n"
    "MEAS. Scanned channels that are not programmed are skipped. A memory block\n"
    "without 'Full Block' closing keeps its newest whole cycles.\n"
    "\n";

bool parseInt(const std::string& s, long& v, int base = 10) {
    char* end = nullptr;
    errno = 0;
    v = std::strtol(s.c_str(), &end, base);
    return !s.empty() && *end == '\0' && errno == 0;
}

uint64_t unixMsNow() {
    return uint64_t(std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::system_clock::now().time_since_epoch())
                        .count());
}

int fail(const std::string& message) {
    std::cerr << "qd40sim: " << message << "\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    ModuleOptions opt;
    std::string tcp, rtu, stateFile, faultsFile;
    long slave = 1, wireBaud = 0;
    double scale = 1;
    bool echo = false;
    std::vector<std::pair<int, uint32_t>> preloads;

    std::vector<std::string> args(argv + 1, argv + argc);
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size())
                return false;
            out = args[++i];
            return true;
        };
        std::string v;
        long n = 0;
        if (a == "--help" || a == "-h") {
            std::cout << kUsage << faultsHelp();
            return 0;
        } else if (a == "--echo") {
            echo = true;
        } else if (a == "--tcp") {
            if (!value(tcp))
                return fail("--tcp needs ADDR:PORT");
        } else if (a == "--rtu") {
            if (!value(rtu))
                return fail("--rtu needs a path");
        } else if (a == "--state") {
            if (!value(stateFile))
                return fail("--state needs a file");
        } else if (a == "--faults") {
            if (!value(faultsFile))
                return fail("--faults needs a file");
        } else if (a == "--slave") {
            if (!value(v) || !parseInt(v, slave) || slave < 1 || slave > 247)
                return fail("--slave needs a number from 1 to 247");
        } else if (a == "--dev-id") {
            if (!value(v) || !parseInt(v, n, 16) || n < 0 || n > 0xFFFF)
                return fail("--dev-id needs a hexadecimal word, e.g. B052");
            opt.devId = uint16_t(n);
        } else if (a == "--fw-version" || a == "--file-version") {
            std::optional<uint16_t> w;
            if (!value(v) || !(w = parseVersionWord(v)))
                return fail(a + " needs a text like B.05 (a letter, a point, two digits)");
            (a == "--fw-version" ? opt.fwVersion : opt.fileVersion) = *w;
        } else if (a == "--capacity") {
            if (!value(v) || !parseInt(v, n) || n < 0 || n > 100'000'000)
                return fail("--capacity needs a number of records (0 to 100000000)");
            opt.capacity = uint32_t(n);
        } else if (a == "--time-scale") {
            char* end = nullptr;
            if (!value(v) || (scale = std::strtod(v.c_str(), &end), *end != '\0') ||
                !(scale > 0 && scale <= 1e6))
                return fail("--time-scale needs a positive number");
        } else if (a == "--wire-baud") {
            if (!value(v) || !parseInt(v, wireBaud) || wireBaud < 50 || wireBaud > 10'000'000)
                return fail("--wire-baud needs a rate in baud");
        } else if (a == "--preload") {
            long b = 0, c = 0;
            const auto colon = value(v) ? v.find(':') : std::string::npos;
            if (colon == std::string::npos || !parseInt(v.substr(0, colon), b) ||
                !parseInt(v.substr(colon + 1), c) || b < 1 || b > 10 || c < 0)
                return fail("--preload needs BLOCK:COUNT, block 1 to 10");
            preloads.emplace_back(int(b), uint32_t(c));
        } else {
            return fail("unknown option '" + a + "' (see --help)");
        }
    }
    if (tcp.empty() && rtu.empty())
        return fail("nothing to serve: give --tcp and/or --rtu");

    std::string tcpAddr;
    long tcpPort = 0;
    if (!tcp.empty()) {
        const auto colon = tcp.rfind(':');
        if (colon == std::string::npos || !parseInt(tcp.substr(colon + 1), tcpPort) ||
            tcpPort < 0 || tcpPort > 65535)
            return fail("--tcp needs ADDR:PORT");
        tcpAddr = tcp.substr(0, colon);
    }

    // Signals are taken by sigtimedwait in the main loop only.
    sigset_t sigs;
    sigemptyset(&sigs);
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGPIPE})
        sigaddset(&sigs, s);
    pthread_sigmask(SIG_BLOCK, &sigs, nullptr);

    const uint64_t clockMs = (unixMsNow() - uint64_t(qd40::kSecondsFrom1970To2000) * 1000);
    Simulator sim(opt, clockMs, scale);
    if (!stateFile.empty()) {
        std::string text, error;
        if (qd40::readFile(stateFile, text)) {
            const bool ok =
                sim.withModule([&](Module& m) { return m.loadState(text, unixMsNow(), error); });
            if (!ok)
                return fail("state file " + stateFile + ": " + error);
        }
    }
    for (auto [b, c] : preloads) {
        std::string error;
        if (!sim.withModule([&](Module& m) { return m.preload(b, c, error); }))
            return fail("--preload " + std::to_string(b) + ":" + std::to_string(c) + ": " + error);
    }
    struct timespec faultsMtime {};
    std::string faultsText;  // the text last taken
    // Reads the faults file; a change of its text is reported on the output
    // ("faults loaded" or "faults rejected: ...") so that a test can wait for it.
    auto loadFaults = [&] {
        if (faultsFile.empty())
            return;
        struct stat st {};
        std::string text;
        if (::stat(faultsFile.c_str(), &st) == 0) {
            faultsMtime = st.st_mtim;
            if (!qd40::readFile(faultsFile, text))
                return;
        } else {
            faultsMtime = {};
        }
        if (text == faultsText)
            return;
        faultsText = text;
        Faults f;
        std::string error;
        if (!parseFaults(text, f, error)) {
            std::cerr << "qd40sim: faults file " << faultsFile << ": " << error << "\n";
            std::cout << "faults rejected: " << error << std::endl;
            return;
        }
        sim.setFaults(f);
        std::cout << "faults loaded" << std::endl;
    };
    loadFaults();

    std::atomic<bool> stopping{false};
    TcpServer tcpServer(sim, stopping);
    RtuLine rtuLine(sim, stopping);
    std::string error;
    if (!tcp.empty()) {
        if (!tcpServer.listen(tcpAddr, int(tcpPort), error))
            return fail(error);
    }
    if (!rtu.empty()) {
        if (!rtuLine.open(rtu, uint8_t(slave), echo, int(wireBaud), error))
            return fail(error);
    }
    if (!tcp.empty()) {
        tcpServer.start();
        std::cout << "listening tcp " << tcpAddr << ":" << tcpServer.boundPort() << "\n";
    }
    if (!rtu.empty()) {
        rtuLine.start();
        std::cout << "listening rtu " << rtu << "\n";
    }
    std::cout.flush();

    auto saveState = [&] {
        if (stateFile.empty())
            return;
        const std::string text = sim.withModule([&](Module& m) {
            m.takeDirty();
            return m.saveState(unixMsNow());
        });
        // Written whole or not at all, so a stop never leaves half a file.
        const qd40::Status st = qd40::OutputFile::write(
            stateFile, {reinterpret_cast<const uint8_t*>(text.data()), text.size()});
        if (!st)
            std::cerr << "qd40sim: state file: " << st.error.description << "\n";
    };
    if (!stateFile.empty())
        saveState();

    for (;;) {
        const timespec wait{0, 50'000'000};
        const int s = sigtimedwait(&sigs, nullptr, &wait);
        if (s == SIGINT || s == SIGTERM)
            break;
        if (s == SIGHUP)
            loadFaults();
        sim.tick();
        if (!faultsFile.empty()) {
            struct stat st {};
            const bool exists = ::stat(faultsFile.c_str(), &st) == 0;
            const timespec m = exists ? st.st_mtim : timespec{};
            if (m.tv_sec != faultsMtime.tv_sec || m.tv_nsec != faultsMtime.tv_nsec)
                loadFaults();
        }
        if (!stateFile.empty() && sim.withModule([](Module& m) { return m.takeDirty(); }))
            saveState();
    }
    stopping = true;
    tcpServer.stop();
    rtuLine.stop();
    saveState();
    return 0;
}
