// Printing a record block: the records list's eight columns at their tab
// positions in a fixed-pitch font shrunk to the page width, a title line on
// each page ("Document ... - Memory Block "..." - page/pages"), the column
// titles and a rule, and the user's footer when printouts carry it.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "app/records/expl_bloc.h"
#include "platform/locale.h"

class QPrinter;

namespace qd40::ui {

struct RecordsPrintJob {
    std::string documentTitle;
    const records::CExplBloc* block = nullptr;
    // Each column's width in characters, as in the records list.
    std::vector<int> columnChars;
    std::optional<std::string> footer;
    platform::Locale locale = platform::Locale::posix();
};

// Draws every page on printer; returns the title line of each page, or an
// empty list when the printer could not be started.
std::vector<std::string> printRecords(QPrinter& printer, const RecordsPrintJob& job);

}  // namespace qd40::ui
