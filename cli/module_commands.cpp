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

// The module commands: identify, status, run, stop, trig, remote control, clock and relays.
namespace qd40::cli::detail {

namespace {

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

const Command kRows[] = {
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
};

}  // namespace

std::span<const Command> moduleCommands() {
    return kRows;
}

}  // namespace qd40::cli::detail
