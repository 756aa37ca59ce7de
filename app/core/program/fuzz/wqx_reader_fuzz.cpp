// Fuzz target: the program export reader (header, version gates, module
// snapshots). Whatever it accepts under a version that has every field must
// write back to bytes that read again to the same programs.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "app/core/program/program_export.h"

using namespace qd40;
using app::program::CAllQd40CfgX;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CAllQd40CfgX all;
    try {
        all = CAllQd40CfgX::read(std::span(data, size));
    } catch (const archive::ArchiveError&) {
        return 0;
    }
    (void)app::program::describeProgram(all);
    const std::string v = all.version();
    if (!app::program::wqxHasSerialMode(v) || !app::program::wqxHasChannelTexts(v))
        return 0;
    const std::vector<uint8_t> written = all.write();
    try {
        const CAllQd40CfgX again = CAllQd40CfgX::read(written);
        if (again.header != all.header || again.items != all.items)
            std::abort();
    } catch (const archive::ArchiveError&) {
        std::abort();
    }
    return 0;
}
