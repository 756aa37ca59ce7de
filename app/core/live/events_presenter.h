// The module's abnormal events list (CVisEvtsDialog without its widget): the
// events read from the module, one row of three texts each, and their export
// to a text file.
#pragma once
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "app/core/live/live_link.h"
#include "common/error_info.h"
#include "platform/locale.h"

namespace qd40::app::live {

// An 8-byte event: u32 seconds since 2000-01-01, u16 code word (bits 15-12
// kind, bits 11-0 error number), u16 detail.
struct ModuleEvent {
    uint32_t seconds = 0;
    uint16_t code = 0;
    uint16_t detail = 0;
    int kind() const { return code >> 12; }
    int number() const { return code & 0xFFF; }
};
std::vector<ModuleEvent> parseEvents(std::span<const uint8_t> bytes);

// "Power On", "Power Off", "Module Initializing", or
// "Error <number>: <module error text> (<detail>)".
std::string eventText(const ModuleEvent& e);

class EventsPresenter {
public:
    using Row = std::array<std::string, 3>;  // No., Date, Event

    EventsPresenter(CTavikItem& item, AppPrompter& prompter, platform::Locale locale);

    std::string title() const;
    // The column titles, and their widths in widths of "X".
    static std::vector<std::string> columns();
    static std::array<int, 3> columnWidths() { return {3, 19, 80}; }

    // Reads the count and the events; a failure is shown and the rows stay.
    bool refresh();
    const std::vector<Row>& rows() const { return rows_; }
    const std::string& error() const { return link_.error(); }

    // The export: the title "Events", the column titles, then one line per
    // event, fields separated by tabs.
    std::string exportText() const;
    // Writes the export to path whole, or leaves the file as it was and says why.
    Status exportTo(const std::string& path) const;

private:
    LiveLink link_;
    platform::Locale locale_;
    std::vector<Row> rows_;
};

}  // namespace qd40::app::live
