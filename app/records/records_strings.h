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
    // The graph window.
    IDS_CURSOR1 = 346,
    IDS_CURSOR2 = 347,
    IDS_DELTA = 348,
    IDS_GRAPH_PREPARATION_TITLE = 351,
    IDS_GRAPH_ASSIGN_Y = 8200,
    IDS_GRAPH_Y1_SCALE = 8201,
    IDS_GRAPH_Y2_SCALE = 8202,
    IDS_GRAPH_MIN_MAX = 8203,
    IDS_GRAPH_AUTO_Y1 = 8204,
    IDS_GRAPH_AUTO_Y2 = 8205,
    IDS_GRAPH_AUTO_X = 8206,
    IDS_GRAPH_GLOBAL_VIEW = 8207,
    IDS_GRAPH_CURSOR1_BOX = 8208,
    IDS_GRAPH_CURSOR2_BOX = 8209,
    IDS_GRAPH_LOCKED = 8210,
    IDS_GRAPH_FREE = 8211,
    IDS_GRAPH_GRID = 8212,
    IDS_GRAPH_LINK_POINTS = 8213,
    IDS_GRAPH_UNDO_ZOOM = 8214,
    IDS_GRAPH_COPY = 8215,
    IDS_GRAPH_PRINT = 8216,
    IDS_GRAPH_CHANNEL_COLUMNS = 8217,
    IDS_GRAPH_HINT = 8218,
    IDS_SORT_ABORT_QUESTION = 8101,
    IDS_EXPORT_PROGRESS = 8102,
    IDS_CHANNEL_DEFAULT_NAME = 8103,
};

const strings::StringTable& recordsStrings();
// The text of id; the table holds every id above.
std::string recordsText(int id);

}  // namespace qd40::records
