#include "common/config/code_tables.h"

#include <array>

namespace qd40::cfg {

namespace {

using SV = std::string_view;

template <size_t N>
SV pick(const std::array<SV, N>& table, int code) {
    return code >= 0 && size_t(code) < N ? table[size_t(code)] : kUnknownCodeText;
}

constexpr std::array<SV, 8> kFunctions = {"Not Prog.", "Vdc", "Vac", "Ohm",
                                          "Current",   "RT",  "TC",  "Contact"};
constexpr std::array<SV, 5> kVdcRanges = {"50 mV", "500 mV", "5 V", "50 V", "100 V"};
constexpr std::array<SV, 2> kVacRanges = {"1 V", "100 V"};
constexpr std::array<SV, 5> kOhmRanges = {"100 Ohm", "1 KOhm", "3 KOhm", "100 KOhm", "200 KOhm"};
constexpr std::array<SV, 1> kCurrentRanges = {"20 mA"};
constexpr std::array<SV, 13> kRtRanges = {
    "Pt50",  "Pt100", "Pt200",  "Pt500", "Pt1000", "Pt100-A3916", "Pt100-A3926",
    "Ni100", "Ni120", "Ni1000", "Cu10",  "Cu50",   "Special RT"};
constexpr std::array<SV, 14> kTcRanges = {"K", "T", "J", "E", "N",  "U",  "L",
                                          "S", "R", "B", "C", "Pl", "Mo", "Special TC"};
constexpr std::array<SV, 1> kContactRanges = {"TOR"};

constexpr std::array<SV, 4> kConnections = {"1 Wire", "2 Wires", "3 Wires", "4 Wires"};
constexpr std::array<SV, 3> kSpeeds = {"High / Slow", "Intermediate", "Low / Fast"};
constexpr std::array<SV, 4> kPeriodUnits = {"x 1 ms", "x 10 ms", "x 100 ms", "x 1 s"};
constexpr std::array<unsigned, 4> kPeriodUnitMs = {1, 10, 100, 1000};
constexpr std::array<SV, 3> kSchedules = {"Only at Opening", "Acquisition Period",
                                          "Auxiliary Period"};
constexpr std::array<SV, 5> kExecModes = {
    "Periodical Continuous", "Periodical, validated by TRIG Input",
    "Periodical, resynchronized by TRIG Input", "Non Periodical, on ACQTRIG Command",
    "Non Periodical, triggered by TRIG Input"};
constexpr std::array<SV, 3> kAcqOpenings = {"RUN Command", "ACQTRIG Command",
                                            "ACQTRIG Command or TRIG Input"};
constexpr std::array<SV, 4> kAlarmConditions = {
    "At least one channel in alarm", "All channels in alarm", "At least one channel WITHOUT alarm",
    "No channel in alarm"};
constexpr std::array<SV, 4> kOpenings = {"No condition", "Opening Acquisition", "TRIG Input (0->1)",
                                         "TRIG Input (1->0)"};
constexpr std::array<SV, 4> kClosings = {"", "Storage Opening", "TRIG Input (0->1)",
                                         "TRIG Input (1->0)"};
constexpr std::array<SV, 4> kRecordAlarms = {
    "Limit 1 Alarm Appears/Disappears", "Limit 2 Alarm Appears/Disappears",
    "Limit 3 Alarm Appears/Disappears", "Limit 4 Alarm Appears/Disappears"};
constexpr std::array<SV, 3> kEmailConditions = {"On Global Alarm 1", "On Global Alarm 2",
                                                "On Memory Event signaled into Status Register"};
constexpr std::array<SV, 3> kRecipients = {"1st Recipient:", "2nd Recipient:", "3rd Recipient:"};
constexpr std::array<SV, 4> kMemoryEvents = {"Block Opening", "End Condition detected",
                                             "Records available", "Full Block"};

constexpr SV kDegreesC =
    "\xB0"
    "C";

}  // namespace

SV functionText(int fct) {
    return pick(kFunctions, fct);
}

std::span<const SV> rangeTexts(int fct) {
    switch (fct) {
        case kFctVdc:
            return kVdcRanges;
        case kFctVac:
            return kVacRanges;
        case kFctOhm:
            return kOhmRanges;
        case kFctCurrent:
            return kCurrentRanges;
        case kFctRt:
            return kRtRanges;
        case kFctTc:
            return kTcRanges;
        case kFctContact:
            return kContactRanges;
        default:
            return {};
    }
}

int rangeCount(int fct) {
    return int(rangeTexts(fct).size());
}

SV rangeText(int fct, int rge) {
    const auto list = rangeTexts(fct);
    return rge >= 0 && size_t(rge) < list.size() ? list[size_t(rge)] : kUnknownCodeText;
}

SV connectionText(int code, int fct) {
    if (code == kConn3Wires &&
        (fct == kFctVdc || fct == kFctVac || fct == kFctCurrent || fct == kFctTc))
        return "2 or 3 Wires";
    return pick(kConnections, code);
}

SV speedText(int code) {
    return pick(kSpeeds, code);
}
SV periodUnitText(int code) {
    return pick(kPeriodUnits, code);
}
unsigned periodUnitMs(int code) {
    return code >= 0 && code < 4 ? kPeriodUnitMs[size_t(code)] : 1;
}
SV scheduleText(int code) {
    return pick(kSchedules, code);
}
SV execModeText(int code) {
    return pick(kExecModes, code);
}
SV acqOpeningText(int code) {
    return pick(kAcqOpenings, code);
}

SV directionText(bool reverse) {
    return reverse ? "Reverse" : "Direct";
}
SV relaySourceText(int relay, bool modbus) {
    if (relay == 1)
        return modbus ? "Modbus Controlled (bit 18)" : "Controlled by Global Alarm 1";
    if (relay == 2)
        return modbus ? "Modbus Controlled (bit 19)" : "Controlled by Global Alarm 2";
    return kUnknownCodeText;
}
SV refJunctionText(bool external) {
    return external ? "External" : "Internal";
}

SV alarmConditionText(int code) {
    return pick(kAlarmConditions, code - kAlarmAtLeastOne);
}
SV openingConditionText(int code) {
    return code >= kAlarmAtLeastOne ? alarmConditionText(code) : pick(kOpenings, code);
}
SV closingEventText(int code) {
    return code >= kAlarmAtLeastOne ? alarmConditionText(code) : pick(kClosings, code);
}
SV recordAlarmText(int limit) {
    return pick(kRecordAlarms, limit - 1);
}
SV emailConditionText(int bit) {
    return pick(kEmailConditions, bit);
}
SV recipientLabel(int i) {
    return pick(kRecipients, i - 1);
}
SV memoryEventText(int e) {
    return pick(kMemoryEvents, e);
}

SV defaultUnit(int fct, int rge) {
    // Vdc and Ohm take their unit from the range: a range outside their list has none.
    const bool rangeKnown = rge >= 0 && rge < rangeCount(fct);
    switch (fct) {
        case kFctVdc:
            return !rangeKnown ? "" : rge <= 1 ? "mV" : "V";
        case kFctVac:
            return "V";
        case kFctOhm:
            return !rangeKnown ? "" : rge == 0 ? "Ohm" : "kOhm";
        case kFctCurrent:
            return "mA";
        case kFctRt:
        case kFctTc:
            return kDegreesC;
        default:
            return "";
    }
}

std::string defaultMnemonic(int n, strings::Language language) {
    const auto fmt = strings::controlStrings().text(106, language);
    return fmt ? strings::formatText(*fmt, n) : std::string();
}

std::string defaultMnemonic(int n) {
    return defaultMnemonic(n, strings::languageFromEnvironment());
}

}  // namespace qd40::cfg
