// The codes of the configuration record with their display texts (English,
// as shown by the property pages and program views), the default unit of a
// function and range, and the default channel mnemonic.
#pragma once
#include <span>
#include <string>
#include <string_view>

#include "common/config/cfg_layout.h"
#include "platform/strings.h"

namespace qd40::cfg {

// The text shown for any code outside a table.
inline constexpr std::string_view kUnknownCodeText = "?";

// Functions 0 to 7 ("Not Prog.", "Vdc", ...); "?" outside.
std::string_view functionText(int fct);
// The range list of a function (empty for Not Prog. and unknown codes).
std::span<const std::string_view> rangeTexts(int fct);
int rangeCount(int fct);
// Range text; "?" for an unknown function or a range outside its list.
std::string_view rangeText(int fct, int rge);
// Connection text: code 2 shows "2 or 3 Wires" for Vdc, Vac, Current and TC.
std::string_view connectionText(int code, int fct = -1);
// Speed codes 0 to 2.
std::string_view speedText(int code);
// Period unit codes 0 to 3 ("1 ms" to "1 s") and their length in ms (1 for any other code).
std::string_view periodUnitText(int code);
unsigned periodUnitMs(int code);
// Auxiliary measurement schedules 0 to 2.
std::string_view scheduleText(int code);
// Execution modes 0 to 4 and acquisition openings 0 to 2 of the acquisition word.
std::string_view execModeText(int code);
std::string_view acqOpeningText(int code);
// Global word: TRIG input and relay control ("Direct"/"Reverse"), relay r
// source, reference junction ("Internal"/"External").
std::string_view directionText(bool reverse);
std::string_view relaySourceText(int relay, bool modbus);
std::string_view refJunctionText(bool external);
// Opening conditions 0 to 7, closing events 0 to 7 (0 has no text), alarm conditions 4 to 7.
std::string_view openingConditionText(int code);
std::string_view closingEventText(int code);
std::string_view alarmConditionText(int code);
// Words of the block record.
inline constexpr std::string_view kReopenableText = "Re-Openable";
inline constexpr std::string_view kEmptyOnOpeningText = "Do empty when Opening";
inline constexpr std::string_view kFullBlockText = "Full Block";
inline constexpr std::string_view kCompactingText = "Compacting";
inline constexpr std::string_view kRecordOnTrigText = "TRIG Input (0->1)";
inline constexpr std::string_view kRecordEveryText = "Every";
// "Limit k Alarm Appears/Disappears", k = 1 to 4.
std::string_view recordAlarmText(int limit);
// E-mail sending conditions (bits 0 to 2) and recipient labels (1 to 3).
std::string_view emailConditionText(int bit);
std::string_view recipientLabel(int i);
// Memory events 0 to 3 of MemsStatusMaskCfg.
std::string_view memoryEventText(int e);

// Default unit of a function and range as ANSI bytes (the degree sign is 0xB0);
// empty for Not Prog., Contact, unknown functions and Vdc or Ohm ranges outside
// their list. Vac, Current, RT and TC do not look at the range.
std::string_view defaultUnit(int fct, int rge);
// Default mnemonic of channel n: string 106 of the control formatted with n.
std::string defaultMnemonic(int n, strings::Language language);
std::string defaultMnemonic(int n);

}  // namespace qd40::cfg
