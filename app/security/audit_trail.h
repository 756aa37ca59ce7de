// The audit trail: one text file per month, "Tavik-%y%m.atl", in a folder the
// caller chooses. The file is 8-bit text (Windows-1252; a character it cannot
// hold is written "?"), created readable by its owner and group only. A new
// file starts with two header lines, the product name and version in plain
// text, then the scrambled title with month and year; every event is one line
// scrambled byte by byte
//   <date time>,<user identifier or "<no user>">,<event code>[,<argument>]...
// ending with CR LF (not scrambled). The date and time are in the user's short
// date and time formats. A line is appended whole or not at all.
#pragma once
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/security/clock.h"
#include "common/error_info.h"

namespace qd40::security {

// Audit trail events; each value is the id of its code in the string table.
enum class AuditEvent : int {
    ABORT_READ_QD40_MEM = 5000,
    APP_EXIT = 5001,
    APP_START = 5002,
    APPWND_MINIMIZE = 5003,
    APPWND_RESTORE = 5004,
    AUDITTRAIL_OFF = 5005,
    AUDITTRAIL_ON = 5006,
    AUDITTRAIL_VIEW = 5007,
    CLOSE_DOC = 5008,
    CNX_BAN = 5009,
    CNX_MAX_DURATION = 5010,
    CONNECT = 5011,
    CONNECT_FAIL = 5012,
    DISCONNECT = 5013,
    DISCONNECT_AUTO = 5014,
    EXPORT_DOC = 5015,
    MESSAGE = 5016,
    OVERWRITE_FILE_DIS = 5017,
    OVERWRITE_FILE_EN = 5018,
    PASSWORD_CHANGE_DAYS = 5019,
    PASSWORD_MIN_LEN = 5020,
    PASSWORD_RETRIES = 5021,
    PRINT_DOC = 5022,
    PRINT_USER_NAME_OFF = 5023,
    PRINT_USER_NAME_ON = 5024,
    DOC_OPC_ADDED = 5025,
    DOC_OPC_REMOVED = 5026,
    READ_QD40_MEM = 5027,
    RIGHTS_TASK_SWITCH_DIS = 5028,
    RIGHTS_TASK_SWITCH_EN = 5029,
    SAVE_DOC = 5030,
    SEND_DATE = 5031,
    SEND_PROG = 5032,
    SEND_RUN = 5033,
    SEND_STOP = 5034,
    USER_DELETE = 5035,
    USER_GROUP_CHANGE = 5036,
    USER_IDENT_CHANGE = 5037,
    USER_NAME_CHANGE = 5038,
    USER_NEW = 5039,
    USER_PASS_CHANGE = 5040,
    SEND_RUN_ALL = 5041,
    SEND_FORCE_REMOTE = 5042,
    SEND_STOP_ALL = 5043,
};

// The code written into the file ("CONNECT_FAIL").
std::string auditEventCode(AuditEvent event);
// "%d,%d" of an old and a new value.
std::string oldNewArgument(int oldValue, int newValue);

class AuditTrailWriter {
public:
    AuditTrailWriter(std::filesystem::path folder, const Clock& clock, std::string productName,
                     std::string productVersion);

    // "Tavik-%y%m.atl" of the given time.
    static std::string fileNameFor(LocalTime t);
    // The file of the current month.
    std::filesystem::path currentFile() const;
    const std::filesystem::path& folder() const { return folder_; }

    // Appends one event line, creating the month's file with its header first
    // when it does not exist. Line breaks and other control characters inside
    // the arguments become spaces, so an event is always one line. On failure
    // nothing of the line is left in the file and the result says why.
    Status append(const std::string& user, const std::string& code,
                  const std::vector<std::string>& args) const;
    // The formats of the lines' date and time (the C formats until set).
    void setDateFormat(platform::Locale format) { dateFormat_ = std::move(format); }
    const platform::Locale& dateFormat() const { return dateFormat_; }

private:
    Status createWithHeader(const std::filesystem::path& file, LocalTime now) const;

    std::filesystem::path folder_;
    const Clock& clock_;
    std::string productName_;
    std::string productVersion_;
    platform::Locale dateFormat_ = platform::Locale::posix();
};

// Reads an audit trail file for viewing: the plain first line is skipped,
// every other line is unscrambled and followed by CR LF, the whole as UTF-8.
// nullopt when the file cannot be read.
std::optional<std::string> readAuditTrail(const std::filesystem::path& file);

// Selection in the viewed text, as character offsets [begin, end).
struct TextSelection {
    size_t begin = 0;
    size_t end = 0;
    bool operator==(const TextSelection&) const = default;
};

// From the first line dated at or after `from` to the end of the last line
// dated not after `to`. nullopt ("Wrong Date") when the text has fewer than
// two lines or the first event line or the last line does not start with a
// date.
// Dates are read in the C formats or in userFormat.
std::optional<TextSelection> selectDateRange(
    const std::string& text, LocalTime from, LocalTime to,
    const platform::Locale& userFormat = platform::Locale::posix());

}  // namespace qd40::security
