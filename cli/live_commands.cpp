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
#include "cli/cli_session.h"
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

// Events, live values and raw registers.
namespace qd40::cli::detail {

namespace {

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

const Command kRows[] = {
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

}  // namespace

std::span<const Command> liveCommands() {
    return kRows;
}

}  // namespace qd40::cli::detail
