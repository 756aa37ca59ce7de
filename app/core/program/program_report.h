// What the printed program of a module holds: the title line and the
// sections (communication parameters, channels, acquisition, memory blocks,
// global and e-mail configuration) as lines of text.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "app/core/tavik_item.h"

namespace qd40::app::program {

struct ReportSection {
    std::string title;
    std::vector<std::string> lines;
};

struct ProgramReport {
    std::string title;
    std::vector<ReportSection> sections;
};

// The report of item; nullopt when its control cannot give its configuration.
// The title is "%s %s - %s - Printed by %s" with the product name and
// version, the item's long display name and the user.
std::optional<ProgramReport> programReport(CTavikItem& item, const std::string& productName,
                                           const std::string& productVersion,
                                           const std::string& userName);

}  // namespace qd40::app::program
