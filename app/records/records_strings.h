// Texts of the record blocks, their progress dialogs and the exports
// (application texts: English only).
#pragma once
#include "platform/strings.h"

namespace qd40::records {

enum RecordsStringId : int {
    IDS_PLEASE_WAIT = 102,
    IDS_DATE = 135,
    IDS_RECORD_COLUMNS = 139,
    IDS_ERR = 140,
    IDS_WRITE_FAILED = 142,
    IDS_CREATE_FAILED = 239,
    IDS_EXPORTING = 240,
    IDS_INTERVAL = 242,
    IDS_HOUR = 243,
    IDS_PASTING = 412,
    IDS_SORTING = 413,
    IDS_READING_MEMORY = 349,
    IDS_SORT_ABORT_QUESTION = 8101,
    IDS_EXPORT_PROGRESS = 8102,
    IDS_CHANNEL_DEFAULT_NAME = 8103,
};

const strings::StringTable& recordsStrings();
// The text of id; the table holds every id above.
std::string recordsText(int id);

}  // namespace qd40::records
