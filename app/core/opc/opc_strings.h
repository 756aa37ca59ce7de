// The texts of the OPC publication: its messages, the service sheet, the
// list of declared documents and the relay tags' names.
#pragma once
#include <string>
#include <vector>

#include "platform/strings.h"

namespace qd40::app::opc {

namespace text {
inline constexpr int kRelay1 = 275;
inline constexpr int kRelay2 = 279;
inline constexpr int kDefineService = 385;
inline constexpr int kSaveBeforeDeclaring = 388;
inline constexpr int kTooManyDocuments = 389;
inline constexpr int kChannelsToPublish = 391;
inline constexpr int kChannelListErrors = 393;
inline constexpr int kModeAlways = 394;
inline constexpr int kModeIfDifferent = 395;
inline constexpr int kModeNever = 396;
inline constexpr int kYes = 397;
inline constexpr int kNo = 398;
inline constexpr int kListColumns = 399;
inline constexpr int kActive = 400;
inline constexpr int kInactive = 401;
// Ours: the captions and labels of the sheet and of the list.
inline constexpr int kServerPage = 9100;
inline constexpr int kPeriodLabel = 9101;
inline constexpr int kStartDelayLabel = 9102;
inline constexpr int kModeAlwaysButton = 9103;
inline constexpr int kModeIfDifferentButton = 9104;
inline constexpr int kModeNeverButton = 9105;
inline constexpr int kStopOnClose = 9106;
inline constexpr int kListTitle = 9107;
inline constexpr int kDeleteButton = 9108;
inline constexpr int kUnknownDocument = 9109;
inline constexpr int kMilliseconds = 9110;
inline constexpr int kSeconds = 9111;
inline constexpr int kOpcMenu = 9112;
inline constexpr int kServiceParamsItem = 9113;
inline constexpr int kServiceDocumentsItem = 9114;
// The commands and their prompts.
inline constexpr int kCmdServiceDocuments = 32848;
inline constexpr int kCmdServiceParams = 32849;
}  // namespace text

const strings::StringTable& opcStrings();
std::string opcText(int id);
// The text with "%1", "%2"... replaced by the arguments.
std::string opcMessage(int id, const std::vector<std::string>& args);

}  // namespace qd40::app::opc
