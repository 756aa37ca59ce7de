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
