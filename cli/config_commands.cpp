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

// The configuration commands: read, send and show.
namespace qd40::cli::detail {

namespace {

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

const Command kRows[] = {
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
};

}  // namespace

std::span<const Command> configCommands() {
    return kRows;
}

}  // namespace qd40::cli::detail
