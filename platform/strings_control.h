// Ids of the configuration control's string table (platform/strings_control.cpp):
// the texts its rules and pages use and its error messages.
#pragma once

namespace qd40::ctl {

enum ControlText : int {
    kTxtVersion = 101,
    kTxtChannelName = 106,  // "Chan%02.2d"
    kTxtMinPoints = 112,
    kTxtOpeningAlarm = 164,
    kTxtClosingAlarm = 165,
    kTxtLinPointsTitle = 166,
    kTxtMaxPoints = 167,
    kTxtClipboardOpen = 168,
    kTxtClipboardEmpty = 169,
    kTxtSameX = 170,
    kTxtAuto = 174,
    kTxtOtherPort = 513,
    kTxtNotOpened = 514,
    kTxtChannelRange = 515,
    kTxtStopFirst = 516,
    kTxtInvalidArgument = 517,
    kTxtInvalidPointer = 518,
    kTxtInvalidMemory = 519,
    kTxtNoServer = 520,
    kTxtTooManyRecords = 521,
    kTxtAccessRights = 522,
    kTxtNotQd40 = 523,
    kTxtAuxPeriodLow = 524,
    kTxtAcqPeriodLow = 525,
    kTxtModuleTooOld = 526,
    kTxtSoftwareTooOld = 527,
    kTxtPeriodRange = 528,
};

}  // namespace qd40::ctl
