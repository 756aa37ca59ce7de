// The texts of the users, rights and audit trail manager (English only), and
// the formatting of their placeholders.
#pragma once
#include <string>
#include <vector>

#include "platform/strings.h"

namespace qd40::security {

// Text ids. The audit trail event codes are 5000..5043 (see audit_events.h).
namespace text {
inline constexpr int kAppName = 57344;
inline constexpr int kDeleteUserAsk = 5100;
inline constexpr int kUserNotRegistered = 5101;
inline constexpr int kUserNameRules = 5102;
inline constexpr int kUserAlreadyRegistered = 5103;
inline constexpr int kUserIdentRules = 5104;
inline constexpr int kIdentAlreadyUsed = 5105;
inline constexpr int kUserNeedsGroup = 5106;
inline constexpr int kLiftBanAsk = 5107;
inline constexpr int kGroupNameUnknown = 5108;
inline constexpr int kIdentUnknown = 5110;
inline constexpr int kNotAllowedBefore = 5111;
inline constexpr int kWrongPassword = 5112;
inline constexpr int kPasswordExpired = 5113;
inline constexpr int kConnectionFailed = 5114;
inline constexpr int kPasswordNotModifiable = 5115;
inline constexpr int kPasswordsDiffer = 5116;
inline constexpr int kPasswordRules = 5117;
inline constexpr int kPasswordSameAsCurrent = 5118;
inline constexpr int kPasswordAlreadyUsed = 5119;
inline constexpr int kPasswordRecorded = 5120;
inline constexpr int kNoConnectedUser = 5121;
inline constexpr int kDisconnectAsk = 5122;
inline constexpr int kAutoDisconnect = 5123;
inline constexpr int kVerifyingPassword = 5124;
inline constexpr int kLockingUnavailable = 5125;
inline constexpr int kAuditWriteFailed = 5126;
inline constexpr int kAuditReadFailed = 5127;
inline constexpr int kWrongDate = 5128;
inline constexpr int kConnectingUser = 5129;
inline constexpr int kChangingPassword = 5130;
inline constexpr int kSelectAuditFile = 5131;
inline constexpr int kAuditFileFilter = 5132;
inline constexpr int kEditingMessage = 5133;
inline constexpr int kAuditFileTitle = 5134;
inline constexpr int kNoUser = 5135;
inline constexpr int kForceDisconnectCommand = 5136;
inline constexpr int kPrintFooter = 5137;
inline constexpr int kSelectDates = 5138;
inline constexpr int kViewAuditTrailCommand = 5139;
inline constexpr int kInsertMessageCommand = 5140;
inline constexpr int kPasswordNotRecorded = 5141;
inline constexpr int kSettingsNotSaved = 5142;
}  // namespace text

const strings::StringTable& securityStrings();

// The text of id with its placeholders filled: "%1".."%9" take the argument
// of that number; "%d" and "%s" take the arguments in order.
std::string securityText(int id, const std::vector<std::string>& args = {});
std::string fillPlaceholders(const std::string& fmt, const std::vector<std::string>& args);

}  // namespace qd40::security
