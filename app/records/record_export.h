// The two text exports of record blocks: "Text in line" (each record's text
// on its own line) and the spreadsheet export (one column per stored channel,
// optionally grouped by acquisition cycle). Both write 8-bit text with CR LF
// line ends, into a new file or at the end of an existing one, and show
// progress every 1024 records; a cancel keeps what was written.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "app/records/expl_bloc.h"
#include "app/records/wait_progress.h"
#include "common/hresult.h"
#include "platform/locale.h"

namespace qd40::records {

// Options of the spreadsheet export (the per-user settings of the export
// format dialog).
struct SpreadsheetOptions {
    char separator = '\t';
    bool firstCycleDate = true;
    bool groupByCycle = true;
    bool interval = true;
    bool date = false;
    bool time = false;
};

struct ExportResult {
    HRESULT hr = S_OK;       // S_OK, or E_ABORT when the file could not be created or written
    std::string message;     // the text to show on failure
    bool cancelled = false;  // the user stopped the export; what was written stays
    uint64_t records = 0;    // records walked
};

// The file name proposed for an export of a document titled documentTitle:
// the title without its extension, cut at the first of " #%;/\\", then ".txt".
std::string defaultExportFileName(const std::string& documentTitle);

// Every export writes whole lines; exportTo* write to an open stream (which
// they do not close), export* open path (appending or truncating) and close it.
ExportResult exportTextInLine(const std::vector<const CExplBloc*>& blocks, const std::string& path,
                              bool append, const platform::Locale& locale, IWaitDialog* dialog);
ExportResult exportSpreadsheet(const std::vector<const CExplBloc*>& blocks, const std::string& path,
                               bool append, const SpreadsheetOptions& options,
                               const platform::Locale& locale, IWaitDialog* dialog);
ExportResult exportTextInLineTo(std::FILE* file, const std::vector<const CExplBloc*>& blocks,
                                const platform::Locale& locale, IWaitDialog* dialog);
ExportResult exportSpreadsheetTo(std::FILE* file, const std::vector<const CExplBloc*>& blocks,
                                 const SpreadsheetOptions& options, const platform::Locale& locale,
                                 IWaitDialog* dialog);

}  // namespace qd40::records
