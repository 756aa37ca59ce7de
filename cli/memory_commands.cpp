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

// The memory commands: status, read and clear.
namespace qd40::cli::detail {

namespace {

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

const Command kRows[] = {
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
};

}  // namespace

std::span<const Command> memoryCommands() {
    return kRows;
}

}  // namespace qd40::cli::detail
