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

// The labels of the security dialogs and commands.
inline constexpr int kUsersTitle = 5200;
inline constexpr int kNewUserButton = 5201;
inline constexpr int kEditButton = 5202;
inline constexpr int kDeleteUserButton = 5203;
inline constexpr int kUserTitle = 5204;
inline constexpr int kUserNameLabel = 5205;
inline constexpr int kUserIdentLabel = 5206;
inline constexpr int kStartingPasswordLabel = 5207;
inline constexpr int kSupervisorCheck = 5208;
inline constexpr int kGroupsBox = 5209;
inline constexpr int kGroupsTitle = 5210;
inline constexpr int kGroupTitle = 5211;
inline constexpr int kGroupNameLabel = 5212;
inline constexpr int kRegisteredUsers = 5213;
inline constexpr int kUnregisteredUsers = 5214;
inline constexpr int kAddButton = 5215;
inline constexpr int kRemoveButton = 5216;
inline constexpr int kNewUserInGroup = 5217;
inline constexpr int kRightsBox = 5218;
inline constexpr int kDocumentsRights = 5219;
inline constexpr int kModulesRights = 5220;
inline constexpr int kApplicationRights = 5221;
// 5222..5236: the rights' check boxes, bit 0 to bit 14.
inline constexpr int kRightLabel0 = 5222;
inline constexpr int kAttributesTitle = 5240;
inline constexpr int kPwdDaysLabel = 5241;
inline constexpr int kRetriesLabel = 5242;
inline constexpr int kPwdMinLenLabel = 5243;
inline constexpr int kCnxValidLabel = 5244;
inline constexpr int kBanLabel = 5245;
inline constexpr int kPrintUserNameCheck = 5246;
inline constexpr int kNoSwitchingCheck = 5247;
inline constexpr int kNoOverwritingCheck = 5248;
inline constexpr int kAuditTrailCheck = 5249;
inline constexpr int kIdentifierLabel = 5250;
inline constexpr int kPasswordLabel = 5251;
inline constexpr int kChangePasswordButton = 5252;
inline constexpr int kFixedIdentLabel = 5253;
inline constexpr int kCurrentPasswordLabel = 5254;
inline constexpr int kNewPasswordLabel = 5255;
inline constexpr int kConfirmPasswordLabel = 5256;
inline constexpr int kTextTitle = 5257;
inline constexpr int kCloseButton = 5258;
inline constexpr int kCopyButton = 5259;
inline constexpr int kPrintButton = 5260;
inline constexpr int kSelectDatesButton = 5261;
inline constexpr int kPdfButton = 5262;
inline constexpr int kBeginningLabel = 5263;
inline constexpr int kEndingLabel = 5264;
inline constexpr int kEnterLineLabel = 5265;
inline constexpr int kPasswordBusy = 5266;
inline constexpr int kSecurityMenu = 5267;
inline constexpr int kConnectCommand = 5268;
inline constexpr int kDisconnectCommand = 5269;
inline constexpr int kVerifyCommand = 5270;
inline constexpr int kChangePasswordCommand = 5271;
inline constexpr int kUsersCommand = 5272;
inline constexpr int kGroupsCommand = 5273;
inline constexpr int kAttributesCommand = 5274;
inline constexpr int kViewAuditCommand = 5275;
inline constexpr int kInsertMessageMenu = 5276;
inline constexpr int kPdfFilter = 5277;
inline constexpr int kPdfNotWritten = 5278;
inline constexpr int kLineTitle = 5279;
}  // namespace text

const strings::StringTable& securityStrings();

// The text of id with its placeholders filled: "%1".."%9" take the argument
// of that number; "%d" and "%s" take the arguments in order.
std::string securityText(int id, const std::vector<std::string>& args = {});
std::string fillPlaceholders(const std::string& fmt, const std::vector<std::string>& args);

}  // namespace qd40::security
