#include "app/records/records_strings.h"

namespace qd40::records {

namespace {
constexpr strings::Entry kEntries[] = {
    {IDS_PLEASE_WAIT, "Please wait...", nullptr},
    {IDS_DATE, "Date", nullptr},
    {IDS_RECORD_COLUMNS, "No.\tDate\tQd40\tVoie\tValue\tUnit\tAlarm\tError\t", nullptr},
    {IDS_ERR, "Err.", nullptr},
    {IDS_WRITE_FAILED, "Unable to write the records in the file", nullptr},
    {IDS_CREATE_FAILED, "Unable to create the file", nullptr},
    {IDS_EXPORTING, "Exporting records in progress", nullptr},
    {IDS_INTERVAL, "Interval", nullptr},
    {IDS_HOUR, "Hour", nullptr},
    {IDS_PASTING, "Pasting in progress...", nullptr},
    {IDS_SORTING, "Sorting in progress...", nullptr},
    {IDS_READING_MEMORY, "Reading storage memory in progress", nullptr},
    {IDS_CURSOR1, "Cursor 1", nullptr},
    {IDS_CURSOR2, "Cursor 2", nullptr},
    {IDS_DELTA, "Delta", nullptr},
    {IDS_GRAPH_PREPARATION_TITLE, "Graphic View Preparation", nullptr},
    {IDS_GRAPH_ASSIGN_Y, "Assign &Y Scale", nullptr},
    {IDS_GRAPH_Y1_SCALE, "Y1 &Scale:", nullptr},
    {IDS_GRAPH_Y2_SCALE, "Y2 S&cale:", nullptr},
    {IDS_GRAPH_MIN_MAX, "Min/Max", nullptr},
    {IDS_GRAPH_AUTO_Y1, "Auto Y1", nullptr},
    {IDS_GRAPH_AUTO_Y2, "Auto Y2", nullptr},
    {IDS_GRAPH_AUTO_X, "Auto X", nullptr},
    {IDS_GRAPH_GLOBAL_VIEW, "&Global View", nullptr},
    {IDS_GRAPH_CURSOR1_BOX, "C&ursor 1", nullptr},
    {IDS_GRAPH_CURSOR2_BOX, "Cu&rsor 2", nullptr},
    {IDS_GRAPH_LOCKED, "Locked", nullptr},
    {IDS_GRAPH_FREE, "Free", nullptr},
    {IDS_GRAPH_GRID, "Gr&id", nullptr},
    {IDS_GRAPH_LINK_POINTS, "Link\n&Points", nullptr},
    {IDS_GRAPH_UNDO_ZOOM, "&Undo Zoom", nullptr},
    {IDS_GRAPH_COPY, "Co&py", nullptr},
    {IDS_GRAPH_PRINT, "P&rint...", nullptr},
    {IDS_GRAPH_CHANNEL_COLUMNS, "\tNo.\tQd40\tChannel\tUnit", nullptr},
    {IDS_GRAPH_HINT,
     "Drag: zoom on a rectangle. Wheel: zoom. Right or middle drag: pan. Click: cursor 1, "
     "Shift+click: cursor 2.",
     nullptr},
    {IDS_SORT_ABORT_QUESTION,
     "Sorting is in progress !\nDo you confirm aborting ?\n\nIf YES, you should close the "
     "document without saving, to cancel operation.",
     nullptr},
    {IDS_EXPORT_PROGRESS, "%1 exported records of %2", nullptr},
    {IDS_CHANNEL_DEFAULT_NAME, "Chan.%02.2d", nullptr},
};
}  // namespace

const strings::StringTable& recordsStrings() {
    static const strings::StringTable table{kEntries};
    return table;
}

std::string recordsText(int id) {
    return recordsStrings().text(id, strings::Language::English).value_or("");
}

}  // namespace qd40::records
