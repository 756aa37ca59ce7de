// Texts of the property pages and their two dialogs, in English and French:
// tab captions, labels, group titles and the radio and box texts. The codes
// of the configuration record keep their English display texts (common
// code tables); translated() gives their French form when French is chosen.
#pragma once
#include <string>
#include <string_view>

#include "platform/strings.h"

namespace qd40::pages {

namespace ptext {
enum : int {
    // Tabs
    kTabChannels = 2001,
    kTabAcquisition,
    kTabMemBlocks,
    kTabGlobal,
    kTabEmail,
    kTabAbout,
    // Frame
    kFrameTitle,
    kOk,
    kCancel,
    kApply,
    kCheckAll,
    kCheckNone,
    // Channels page
    kChannel = 2020,
    kMnemonic,
    kFunction,
    kRange,
    kConnection,
    kLinearisation,
    kAccuracySpeed,
    kTests,
    kRjc,
    kUnit,
    kDelay,
    kDefaultValue,
    kDeadBand,
    kDeadBandPlus,
    kChannelAlarms,
    kLimitN,  // "Limit &%d:"
    kLevel,
    kDirection,
    kHigh,
    kLow,
    kHysteresis,
    kCounter,
    kRelayAlarm1,
    kRelayAlarm2,
    // Linearisation dialog
    kLinTitle = 2050,
    kAdd,
    kModify,
    kNr,
    kCopyAll,
    kPasteAll,
    kDelete,
    kClearAll,
    kResolution,
    // Acquisition page
    kChansToScan = 2070,
    kOpening,
    kExecution,
    kCutOffTests,
    kRjTemperature,
    kLineResistance,
    kPeriods,
    kAcqPeriod,
    kAuxPeriod,
    // Memory blocks page
    kBlockNumber = 2090,
    kSize,
    kRecords,
    kChansToRecord,
    kMemOpening,
    kReopening,
    kEventsToSignal,
    kIntoStatusRegister,
    kRecording,
    kAcqCycles,
    kClosing,
    kCyclesAfterEvent,
    kOnClosingOpen,
    kFillingTime,
    kDefine,
    // Define condition dialog
    kChansToConsider = 2110,
    kAlarmsToConsider,
    kConditionToTest,
    kLimitAlarmN,  // "Limit %d Alarm"
    // Global page
    kRefJunction = 2120,
    kTrigInput,
    kRelay1,
    kRelay2,
    kRelayControl,
    // E-mail page
    kAddressees = 2130,
    kSendingConditions,
    kMessageText,
    // About page
    kAboutControl = 2140,
    kSubComponents,
    kServerUnavailable,
    // Values that cannot be read
    kNotANumber = 2150,
    kOutOfRange,
};
}  // namespace ptext

const strings::StringTable& pageStrings();
// The text of id in the language of the environment ("" when unknown).
std::string pageText(int id);
// The French form of an English code text (function, range, schedule...)
// when French is chosen and the table has one; otherwise the text itself.
std::string translated(std::string_view english);
std::string translated(std::string_view english, strings::Language language);

}  // namespace qd40::pages
