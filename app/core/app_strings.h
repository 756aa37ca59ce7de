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
// The live dialogs: measurements display, module status, relays, clock and
// abnormal events.
inline constexpr int kStopScanning = 127;
inline constexpr int kStartScanning = 128;
inline constexpr int kMeasureColumns = 130;
inline constexpr int kBlockNameTitle = 145;
inline constexpr int kActivateRecording = 158;
inline constexpr int kDeactivateRecording = 159;
inline constexpr int kEventColumns = 160;
inline constexpr int kEventsExportTitle = 226;
// Ours, 9100 to 9199.
inline constexpr int kEventsTitle = 9100;
inline constexpr int kEventPowerOn = 9101;
inline constexpr int kEventPowerOff = 9102;
inline constexpr int kEventInitializing = 9103;
inline constexpr int kEventError = 9104;
inline constexpr int kSelectFileToRecord = 9105;
inline constexpr int kTextFilesFilter = 9106;
inline constexpr int kToTextFile = 9107;
inline constexpr int kUpdate = 9108;
inline constexpr int kWriteFileFailed = 9109;
inline constexpr int kRelaysTitle = 9120;
inline constexpr int kRelaysNotModbus = 9121;
inline constexpr int kClosedState = 9122;
inline constexpr int kOpenState = 9123;
inline constexpr int kRelayLabel = 9124;
inline constexpr int kCloseRelay = 9125;
inline constexpr int kOpenRelay = 9126;
inline constexpr int kStatusTitle = 9130;
inline constexpr int kStatusBitFirst = 9131;  // 9131..9146: bits 0 to 15 of the status word
inline constexpr int kMemRecording = 9147;
inline constexpr int kMemFull = 9148;
inline constexpr int kMemAvailable = 9149;
inline constexpr int kStatusRun = 9150;
inline constexpr int kStatusStop = 9151;
inline constexpr int kStatusTrig = 9152;
inline constexpr int kStatusLocal = 9153;
inline constexpr int kStatusRemote = 9154;
inline constexpr int kStatusSeeEvents = 9155;
inline constexpr int kStatusWordGroup = 9156;
inline constexpr int kMemBlocksGroup = 9157;
inline constexpr int kMemBlockLabel = 9158;
inline constexpr int kEventsGroup = 9159;
inline constexpr int kClockTitle = 9160;
inline constexpr int kModuleTime = 9161;
inline constexpr int kComputerTime = 9162;
inline constexpr int kSynchronize = 9163;
inline constexpr int kSendTime = 9164;
inline constexpr int kEnteredTime = 9165;
inline constexpr int kTimeNotUnderstood = 9166;
inline constexpr int kMeasuresTitle = 9170;
inline constexpr int kScannedChannels = 9171;
inline constexpr int kChannelsToScanTitle = 9172;
inline constexpr int kAllChannels = 9173;
inline constexpr int kNoChannels = 9174;
inline constexpr int kOneShot = 9175;
inline constexpr int kContinuous = 9176;
inline constexpr int kPeriod = 9177;
inline constexpr int kArrangeColumns = 9178;
inline constexpr int kRunModules = 9179;
inline constexpr int kCurves = 9180;
inline constexpr int kBlockNamePrompt = 9181;
inline constexpr int kCurvesTitle = 9183;
inline constexpr int kSecondsSuffix = 9184;
inline constexpr int kReading = 9185;
inline constexpr int kModuleNotAnswering = 9186;
}  // namespace text

const strings::StringTable& appStrings();
// The text of id ("" when the table lacks it).
std::string appText(int id);
// The text of id with "%1", "%2"... replaced by the arguments, as message
// boxes fill them.
std::string appMessage(int id, const std::vector<std::string>& args);
// The application's own copy of the module error table: the text of module
// error number (strings 3000 to 3063), "Unknown Error" (3064) for any other.
std::string moduleErrorAppText(long number);

}  // namespace qd40::app
