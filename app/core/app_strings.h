// The desktop application's own texts (English only): messages, captions of
// the program views and the names of its commands.
#pragma once
#include <string>
#include <vector>

#include "platform/strings.h"

namespace qd40::app {

namespace text {
inline constexpr int kOleInitFailed = 100;
inline constexpr int kSameCommParams = 106;
inline constexpr int kWorkstation = 114;
inline constexpr int kComPort = 115;
inline constexpr int kEthernet = 116;
inline constexpr int kNewModule = 117;
inline constexpr int kCannotAccessModule = 119;
inline constexpr int kChannelDefault = 124;
inline constexpr int kControlError = 125;
inline constexpr int kOff = 134;
inline constexpr int kUnableToRead = 146;
inline constexpr int kCannotReadData = 147;
inline constexpr int kChannelColumns = 148;
inline constexpr int kTransmitOneAsk = 150;
inline constexpr int kDeleteModuleAsk = 152;
inline constexpr int kUnableToReadStatus = 167;
inline constexpr int kClearMemoryAsk = 184;
inline constexpr int kReadProgramAsk = 185;
inline constexpr int kTransmitAllAsk = 187;
inline constexpr int kProgramNotSentAsk = 188;
inline constexpr int kCannotShowChannels = 191;
inline constexpr int kHigh = 192;
inline constexpr int kLow = 193;
inline constexpr int kOn = 194;
inline constexpr int kMax = 195;
inline constexpr int kOneWire = 196;       // 196..199: 1 to 4 wires
inline constexpr int kAccuracyHigh = 200;  // 200..203: the accuracy/speed codes
inline constexpr int kResolutionAuto = 204;
inline constexpr int kIdentifyModule = 205;
inline constexpr int kInitializeAsk = 206;
inline constexpr int kRunTitle = 210;
inline constexpr int kRunChoiceText = 211;
inline constexpr int kRunClearing = 212;
inline constexpr int kRunAdding = 213;
inline constexpr int kRunWithout = 214;
inline constexpr int kModuleConfigTitle = 215;
inline constexpr int kAddressTaken = 227;
inline constexpr int kFileExists = 235;
inline constexpr int kSelectModule = 248;
inline constexpr int kAssignNameAsk = 249;
inline constexpr int kTwoOrThreeWires = 352;
inline constexpr int kSaveAnotherName = 386;
inline constexpr int kOpcClientsConnected = 387;
inline constexpr int kOpcServiceActive = 402;
inline constexpr int kSaveBeforeClosing = 423;
// Ours: no text is given for these.
inline constexpr int kSaveFailed = 9002;
inline constexpr int kCommParamsTitle = 9003;
// Reading a module's storage memory.
inline constexpr int kReadMemTitle = 9010;
inline constexpr int kReadMemBlockLabel = 9011;
inline constexpr int kReadMemBlockProgress = 9012;
inline constexpr int kReadMemBlockFailed = 9013;
inline constexpr int kReadMemConflictTitle = 9014;
inline constexpr int kReadMemConflictText = 9015;
inline constexpr int kReadMemAdd = 9016;
inline constexpr int kReadMemReplace = 9017;
inline constexpr int kReadMemOtherNames = 9018;
inline constexpr int kReadMemReplaceAsk = 9019;
inline constexpr int kReadMemNotReopenedAsk = 9020;
inline constexpr int kReadMemNotSecured = 9021;
}  // namespace text

const strings::StringTable& appStrings();
// The text of id ("" when the table lacks it).
std::string appText(int id);
// The text of id with "%1", "%2"... replaced by the arguments, as message
// boxes fill them.
std::string appMessage(int id, const std::vector<std::string>& args);

}  // namespace qd40::app
