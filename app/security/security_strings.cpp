#include "app/security/security_strings.h"

namespace qd40::security {

namespace {
using strings::Entry;

constexpr Entry kEntries[] = {
    {text::kAppName, "Tavik", nullptr},
    // Audit trail event codes: the text is the code written into the file.
    {5000, "ABORT_READ_QD40_MEM", nullptr},
    {5001, "APP_EXIT", nullptr},
    {5002, "APP_START", nullptr},
    {5003, "APPWND_MINIMIZE", nullptr},
    {5004, "APPWND_RESTORE", nullptr},
    {5005, "AUDITTRAIL_OFF", nullptr},
    {5006, "AUDITTRAIL_ON", nullptr},
    {5007, "AUDITTRAIL_VIEW", nullptr},
    {5008, "CLOSE_DOC", nullptr},
    {5009, "CNX_BAN", nullptr},
    {5010, "CNX_MAX_DURATION", nullptr},
    {5011, "CONNECT", nullptr},
    {5012, "CONNECT_FAIL", nullptr},
    {5013, "DISCONNECT", nullptr},
    {5014, "DISCONNECT_AUTO", nullptr},
    {5015, "EXPORT_DOC", nullptr},
    {5016, "MESSAGE", nullptr},
    {5017, "OVERWRITE_FILE_DIS", nullptr},
    {5018, "OVERWRITE_FILE_EN", nullptr},
    {5019, "PASSWORD_CHANGE_DAYS", nullptr},
    {5020, "PASSWORD_MIN_LEN", nullptr},
    {5021, "PASSWORD_RETRIES", nullptr},
    {5022, "PRINT_DOC", nullptr},
    {5023, "PRINT_USER_NAME_OFF", nullptr},
    {5024, "PRINT_USER_NAME_ON", nullptr},
    {5025, "DOC_OPC_ADDED", nullptr},
    {5026, "DOC_OPC_REMOVED", nullptr},
    {5027, "READ_QD40_MEM", nullptr},
    {5028, "RIGHTS_TASK_SWITCH_DIS", nullptr},
    {5029, "RIGHTS_TASK_SWITCH_EN", nullptr},
    {5030, "SAVE_DOC", nullptr},
    {5031, "SEND_DATE", nullptr},
    {5032, "SEND_PROG", nullptr},
    {5033, "SEND_RUN", nullptr},
    {5034, "SEND_STOP", nullptr},
    {5035, "USER_DELETE", nullptr},
    {5036, "USER_GROUP_CHANGE", nullptr},
    {5037, "USER_IDENT_CHANGE", nullptr},
    {5038, "USER_NAME_CHANGE", nullptr},
    {5039, "USER_NEW", nullptr},
    {5040, "USER_PASS_CHANGE", nullptr},
    {5041, "SEND_RUN_ALL", nullptr},
    {5042, "SEND_FORCE_REMOTE", nullptr},
    {5043, "SEND_STOP_ALL", nullptr},
    // Users and groups.
    {text::kDeleteUserAsk, "%1:\nDo you really want to delete this user?", nullptr},
    {text::kUserNotRegistered, "%1:\nThis user is not yet registered!", nullptr},
    {text::kUserNameRules,
     "User Name Rules:\n. %d characters as a minimum\n. %d characters as a maximum\n. No comma.",
     nullptr},
    {text::kUserAlreadyRegistered, "%1:\nThis user is already registered!", nullptr},
    {text::kUserIdentRules,
     "User Identifier Rules:\n. %d characters as a minimum\n. %d characters as a maximum\n. "
     "Neither comma nor space.",
     nullptr},
    {text::kIdentAlreadyUsed, "%1:\nThis identifier is already used.", nullptr},
    {text::kUserNeedsGroup, "User must be member of one group at least", nullptr},
    {text::kLiftBanAsk,
     "%1:\nConnection is forbidden for this user until %2 (Wrong Password)\nDo you want to lift "
     "this ban?",
     nullptr},
    {text::kGroupNameUnknown, "This Group Name doesn't exist!", nullptr},
    // Log-on and passwords.
    {text::kIdentUnknown, "%1:\nThis identifier does not correspond to a registered user.",
     nullptr},
    {text::kNotAllowedBefore, "%1:\nYou will be not allowed to connect before %2", nullptr},
    {text::kWrongPassword, "Wrong Password!", nullptr},
    {text::kPasswordExpired,
     "%1:\nThe Validity Duration of your Password has expired\nYou must change it to be allowed "
     "to connect.",
     nullptr},
    {text::kConnectionFailed, "%1:\nConnection failed", nullptr},
    {text::kPasswordNotModifiable, "%1:\nYou are not allowed to modify the password of this user",
     nullptr},
    {text::kPasswordsDiffer,
     "You must enter the same Password in the\r\n\"New Password\" and \"Confirm\" fields", nullptr},
    {text::kPasswordRules,
     "Password Rules:\n. %d characters as a minimum\n. %d characters as a maximum\n. Neither "
     "comma nor space.",
     nullptr},
    {text::kPasswordSameAsCurrent, "%1:\nYou are not able to keep the same password!", nullptr},
    {text::kPasswordAlreadyUsed, "%1:\nYou already have used this password!", nullptr},
    {text::kPasswordRecorded, "%1:\nYour new password is recorded.", nullptr},
    {text::kPasswordNotRecorded, "%1:\nYour new password could not be recorded.", nullptr},
    {text::kSettingsNotSaved, "The users and security settings could not be saved.", nullptr},
    {text::kNoConnectedUser, "There is no connected user for now", nullptr},
    {text::kDisconnectAsk, "Disconnect %1?", nullptr},
    {text::kAutoDisconnect, "Automatically Disconnect %1", nullptr},
    {text::kVerifyingPassword, "Verifying password", nullptr},
    {text::kLockingUnavailable,
     "Full Application Locking cannot block switching to other applications on this desktop: "
     "the window stays full screen and on top, but other applications remain reachable.",
     nullptr},
    {text::kConnectingUser, "Connecting User", nullptr},
    {text::kChangingPassword, "Changing Password", nullptr},
    {text::kForceDisconnectCommand, "Force disconnecting current User", nullptr},
    // Audit trail.
    {text::kAuditWriteFailed, "Unable to write the records in the file", nullptr},
    {text::kAuditReadFailed, "Unable to read the file records", nullptr},
    {text::kWrongDate, "Wrong Date", nullptr},
    {text::kSelectAuditFile, "Select Audit Trail File", nullptr},
    {text::kAuditFileFilter, "Audit Trail Files (*.atl;*.txt)", nullptr},
    {text::kEditingMessage, "Editing Message", nullptr},
    {text::kAuditFileTitle, "TAVIK USER AUDIT TRAIL FILE", nullptr},
    {text::kNoUser, "<no user>", nullptr},
    {text::kPrintFooter, "%s %s - %s - Printed by %s", nullptr},
    {text::kSelectDates, "Select Beginning and Ending Dates", nullptr},
    {text::kViewAuditTrailCommand, "View the current Audit Trail File, or an older one", nullptr},
    {text::kInsertMessageCommand, "Insert a Message into the current Audit Trail File", nullptr},
    // Dialogs and commands.
    {text::kUsersTitle, "Declaring Users", nullptr},
    {text::kNewUserButton, "&New User...", nullptr},
    {text::kEditButton, "&Edit...", nullptr},
    {text::kDeleteUserButton, "&Delete User", nullptr},
    {text::kUserTitle, "Declaring User", nullptr},
    {text::kUserNameLabel, "User &Name:", nullptr},
    {text::kUserIdentLabel, "User &Identifier:", nullptr},
    {text::kStartingPasswordLabel, "&Starting Password:", nullptr},
    {text::kSupervisorCheck, "Su&pervisor", nullptr},
    {text::kGroupsBox, "Member of the Groups", nullptr},
    {text::kGroupsTitle, "Users Groups", nullptr},
    {text::kGroupTitle, "Declaring a Users Group", nullptr},
    {text::kGroupNameLabel, "Group &Name:", nullptr},
    {text::kRegisteredUsers, "Registered &Users:", nullptr},
    {text::kUnregisteredUsers, "&Unregistered Users:", nullptr},
    {text::kAddButton, "&Add >>>", nullptr},
    {text::kRemoveButton, "<<< &Remove", nullptr},
    {text::kNewUserInGroup, "Ne&w User...", nullptr},
    {text::kRightsBox, "Rights", nullptr},
    {text::kDocumentsRights, "Documents", nullptr},
    {text::kModulesRights, "Modules", nullptr},
    {text::kApplicationRights, "Application", nullptr},
    {text::kRightLabel0 + 0, "&Open", nullptr},
    {text::kRightLabel0 + 1, "&Close", nullptr},
    {text::kRightLabel0 + 2, "&Save", nullptr},
    {text::kRightLabel0 + 3, "&Print", nullptr},
    {text::kRightLabel0 + 4, "S&end Program", nullptr},
    {text::kRightLabel0 + 5, "Re-Read Progra&m", nullptr},
    {text::kRightLabel0 + 6, "Re-Read Memor&y", nullptr},
    {text::kRightLabel0 + 7, "&View Audit Trail", nullptr},
    {text::kRightLabel0 + 8, "Modi&fy Program", nullptr},
    {text::kRightLabel0 + 9, "Send &RUN command", nullptr},
    {text::kRightLabel0 + 10, "Send S&TOP command", nullptr},
    {text::kRightLabel0 + 11, "E&xit TAVIK", nullptr},
    {text::kRightLabel0 + 12, "C&lear Memory", nullptr},
    {text::kRightLabel0 + 13, "Close wit&hout Saving", nullptr},
    {text::kRightLabel0 + 14, "Delete Records &Blocks", nullptr},
    {text::kAttributesTitle, "Programming Security Attributes", nullptr},
    {text::kPwdDaysLabel, "&Maximum Password Validity Duration (days):", nullptr},
    {text::kRetriesLabel, "Maximum &Number of retries when editing the password:", nullptr},
    {text::kPwdMinLenLabel, "Minimum Password &Length:", nullptr},
    {text::kCnxValidLabel, "&Connection Validity Duration (minutes):", nullptr},
    {text::kBanLabel,
     "&Duration of the Connection Ban in case of wrong  password (minutes):", nullptr},
    {text::kPrintUserNameCheck, "Date and User name on all &Printouts", nullptr},
    {text::kNoSwitchingCheck, "Disable &Switching to another Application", nullptr},
    {text::kNoOverwritingCheck, "Disable &Overwriting of Configuration and Result Files", nullptr},
    {text::kAuditTrailCheck, "Create an &Audit Trail File", nullptr},
    {text::kIdentifierLabel, "&Identifier:", nullptr},
    {text::kPasswordLabel, "&Password:", nullptr},
    {text::kChangePasswordButton, "&Changing Password...", nullptr},
    {text::kFixedIdentLabel, "Identifier:", nullptr},
    {text::kCurrentPasswordLabel, "Current &Password:", nullptr},
    {text::kNewPasswordLabel, "&New Password:", nullptr},
    {text::kConfirmPasswordLabel, "&Confirm New Password:", nullptr},
    {text::kTextTitle, "Text", nullptr},
    {text::kCloseButton, "Close", nullptr},
    {text::kCopyButton, "&Copy", nullptr},
    {text::kPrintButton, "&Print", nullptr},
    {text::kSelectDatesButton, "&Select Dates...", nullptr},
    {text::kPdfButton, "P&DF...", nullptr},
    {text::kBeginningLabel, "&Beginning Date and Time:", nullptr},
    {text::kEndingLabel, "&Ending Date and Time:", nullptr},
    {text::kEnterLineLabel, "&Enter the Line", nullptr},
    {text::kPasswordBusy, "Checking the password...", nullptr},
    {text::kSecurityMenu, "Se&curity", nullptr},
    {text::kConnectCommand, "&Connect User...", nullptr},
    {text::kDisconnectCommand, "&Disconnect User", nullptr},
    {text::kVerifyCommand, "&Verify Password...", nullptr},
    {text::kChangePasswordCommand, "Change &Password...", nullptr},
    {text::kUsersCommand, "Declaring &Users...", nullptr},
    {text::kGroupsCommand, "Users &Groups...", nullptr},
    {text::kAttributesCommand, "Security &Attributes...", nullptr},
    {text::kViewAuditCommand, "View Audit &Trail...", nullptr},
    {text::kInsertMessageMenu, "&Insert a Message...", nullptr},
    {text::kPdfFilter, "PDF Files (*.pdf)", nullptr},
    {text::kPdfNotWritten, "%1:\nThe file could not be written.", nullptr},
    {text::kLineTitle, "Editing a Line", nullptr},
};
}  // namespace

const strings::StringTable& securityStrings() {
    static const strings::StringTable table{kEntries};
    return table;
}

std::string fillPlaceholders(const std::string& fmt, const std::vector<std::string>& args) {
    std::string out;
    size_t next = 0;  // the argument "%d"/"%s" takes
    for (size_t i = 0; i < fmt.size(); ++i) {
        const char c = fmt[i];
        if (c != '%' || i + 1 >= fmt.size()) {
            out += c;
            continue;
        }
        const char k = fmt[i + 1];
        if (k >= '1' && k <= '9') {
            const size_t n = static_cast<size_t>(k - '1');
            if (n < args.size())
                out += args[n];
            ++i;
        } else if (k == 'd' || k == 's') {
            if (next < args.size())
                out += args[next];
            ++next;
            ++i;
        } else if (k == '%') {
            out += '%';
            ++i;
        } else {
            out += c;
        }
    }
    return out;
}

std::string securityText(int id, const std::vector<std::string>& args) {
    return fillPlaceholders(securityStrings().text(id, strings::Language::English).value_or(""),
                            args);
}

}  // namespace qd40::security
