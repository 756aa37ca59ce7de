// The application's string table.
#include "app/core/app_strings.h"

#include "app/security/security_strings.h"
#include "common/config/module_errors.h"

namespace qd40::app {

namespace {
using namespace text;
constexpr strings::Entry kAppEntries[] = {
    {kOleInitFailed,
     "OLE initialization failed.  Make sure that the OLE libraries are the correct version.",
     nullptr},
    {kSameCommParams, "A QD40 module already has the same communication parameters", nullptr},
    {kWorkstation, "Workstation", nullptr},
    {kComPort, "COM %d", nullptr},
    {kEthernet, "Ethernet", nullptr},
    {kNewModule, "New Module", nullptr},
    {kCannotAccessModule, "Unable to access to the QD40 module object", nullptr},
    {kChannelDefault, "Chan.%02.2d", nullptr},
    {kControlError, "Error:\n\n. Code 0x%08x (%d)\n\n. Source: %s\n\n. Cause: \"%s\"", nullptr},
    {kOff, "OFF", nullptr},
    {kUnableToRead, "Unable to read the file \"%1\"", nullptr},
    {kCannotReadData, "The application can't read its data", nullptr},
    {kChannelColumns,
     "Chan.\tMnemo.\tFunct.\tRange\tCnx\tTests\tRJC\tAcc./Rate\tUnit\tDelay\tDef.Val.\tDeadBand\t"
     "1.Level\t1.H/L\t1.Hyst\t1.Cnt\t1.GAL1\t1.GAL2\t2.Level\t2.H/"
     "L\t2.Hyst\t2.Cnt\t2.GAL1\t2.GAL2\t"
     "3.Level\t3.H/L\t3.Hyst\t3.Cnt\t3.GAL1\t3.GAL2\t4.Level\t4.H/"
     "L\t4.Hyst\t4.Cnt\t4.GAL1\t4.GAL2\t"
     "Lin.Resol.\tLinearization",
     nullptr},
    {kTransmitOneAsk,
     "Warning !\nTransmitting program to the QD40 module will bring out measurements memory "
     "erasure.\n\nDo you want to continue ?",
     nullptr},
    {kDeleteModuleAsk, "Do you want to delete module \"%1\" ?", nullptr},
    {kUnableToReadStatus, "Unable to read status", nullptr},
    {kClearMemoryAsk, "Do you want to clear all memory blocks ?", nullptr},
    {kReadProgramAsk,
     "Warning !\nReading program form QD40 module will overwrite current data of this "
     "document.\n\nDo you want to continue ?",
     nullptr},
    {kTransmitAllAsk,
     "Warning !\nTransmitting program to QD40 modules will bring out their measurements memory "
     "erasure.\n\nDo you want to continue ?",
     nullptr},
    {kProgramNotSentAsk,
     "The program of the \"%1\" item has been modified or has never been sent to the "
     "corresponding QD40 module.\nDo you want to send this program ?\n\nNote: Transmitting "
     "program to the QD40 module will bring out measurements memory erasure.",
     nullptr},
    {kCannotShowChannels, "Unable to display the Channels List", nullptr},
    {kHigh, "H", nullptr},
    {kLow, "L", nullptr},
    {kOn, "ON", nullptr},
    {kMax, "MAX", nullptr},
    {196, "1 Wire", nullptr},
    {197, "2 Wires", nullptr},
    {198, "3 Wires", nullptr},
    {199, "4 Wires", nullptr},
    {200, "High/Slow", nullptr},
    {201, "Intermediate", nullptr},
    {202, "Low/Fast", nullptr},
    {203, "Contact", nullptr},
    {kResolutionAuto, "Auto", nullptr},
    {kIdentifyModule,
     "Connection QD40 Module Identification:\nType :\t%s\nVersion :\t%s\nConfiguration Internal "
     "File Version: %s\nSETUP assigned Name: \"%s\"",
     nullptr},
    {kInitializeAsk,
     "Warning !\nRe-Initializing QD40 module will bring out measurements memory erasure.\n\nDo "
     "you want to re-initialize module \"%1\" ?",
     nullptr},
    {kRunTitle, "RUN Command", nullptr},
    {kRunChoiceText,
     "Some Memory Blocks contain data and have not been defined as re-openable.\n\nSelect an "
     "option for RUN command execution",
     nullptr},
    {kRunClearing, "With memory reopening and &Clearing previous data", nullptr},
    {kRunAdding, "With memory reopening and &Adding data", nullptr},
    {kRunWithout, "&Without memory reopening", nullptr},
    {kModuleConfigTitle, "QD40 Module Configuration \"%s\"", nullptr},
    {kAddressTaken, "This IP address is already assigned to an existing module or to a remote host",
     nullptr},
    {kFileExists, "File \"%1\" already exists.", nullptr},
    {kSelectModule, "Select a QD40 module", nullptr},
    {kAssignNameAsk,
     "The name of the QD40 module current program is \"%1\" .\nDo you want to assign this name "
     "to the document ?",
     nullptr},
    {kTwoOrThreeWires, "2 or 3 Wires", nullptr},
    {kSaveAnotherName, "Save the document with another File Name", nullptr},
    {kOpcClientsConnected,
     "One Client at least is connected to the OPC Server.\nDo you really want to close the "
     "Server?",
     nullptr},
    {kOpcServiceActive,
     "The document is activated as OPC Service.\nTo close current communication, close the "
     "document.",
     nullptr},
    {kSaveBeforeClosing, "Save the document before closing it", nullptr},
    {kSaveFailed, "Unable to save the document \"%1\":\n%2", nullptr},
    {kCommParamsTitle, "Module Communication Properties", nullptr},
    {kReadMemTitle, "Reading  Module \"%s\" Memory Blocks", nullptr},
    {kReadMemBlockLabel, "%d (\"%s\")", nullptr},
    {kReadMemBlockProgress, "Reading block %1 ...", nullptr},
    {kReadMemBlockFailed, "Unable to read block %1", nullptr},
    {kReadMemConflictTitle, "Reading Memory Blocks from module \"%s\"", nullptr},
    {kReadMemConflictText, "Some Blocks Names are already assigned to blocks in the document",
     nullptr},
    {kReadMemAdd, "&ADD records into respective existing blocks", nullptr},
    {kReadMemReplace, "&REPLACE records of respective existing blocks", nullptr},
    {kReadMemOtherNames, "Select &OTHER Blocks Names", nullptr},
    {kReadMemReplaceAsk, "Do you confirm replacing blocks with same name ?", nullptr},
    {kReadMemNotReopenedAsk,
     "Blocs %1 will be closed before reading and will not be re-opened.\nDo you want to "
     "continue ?",
     nullptr},
    {kReadMemNotSecured,
     "The records read could not be saved to the disk, so they were left in the module:\n%1",
     nullptr},
    {kStopScanning, "Stop Scanning", nullptr},
    {kStartScanning, "&Start Scanning", nullptr},
    {kMeasureColumns, "Qd40\tChan.\tValue\tUnit\tDate\tAlarm\tError\t", nullptr},
    {kBlockNameTitle, "Block Name", nullptr},
    {kActivateRecording, "Activate Re&cording", nullptr},
    {kDeactivateRecording, "Deactivate &Recording", nullptr},
    {kEventColumns, "No.\tDate\tEvent\t", nullptr},
    {kEventsExportTitle, "Events", nullptr},
    {kEventsTitle, "Module \"%s\" Abnormal Events", nullptr},
    {kEventPowerOn, "Power On", nullptr},
    {kEventPowerOff, "Power Off", nullptr},
    {kEventInitializing, "Module Initializing", nullptr},
    {kEventError, "Error", nullptr},
    {kSelectFileToRecord, "Select file to record", nullptr},
    {kTextFilesFilter, "Texte Files (*.txt)", nullptr},
    {kToTextFile, ">> &Text File", nullptr},
    {kUpdate, "&Update", nullptr},
    {kWriteFileFailed, "Unable to write the file \"%1\":\n%2", nullptr},
    {kRelaysTitle, "Module \"%s\" Relays Status and Control", nullptr},
    {kRelaysNotModbus,
     "Warning !\nAll relays are not able to be controlled by TAVIK.\n\nTo enable TAVIK to "
     "control relays, the module configuration must be set to control the relay via MODBUS "
     "(see QD40|Configure: \"Global\" Tab).",
     nullptr},
    {kClosedState, "Closed", nullptr},
    {kOpenState, "Open", nullptr},
    {kRelayLabel, "Relay %d", nullptr},
    {kCloseRelay, "Close", nullptr},
    {kOpenRelay, "Open", nullptr},
    {kStatusTitle, "Module \"%s\" Status", nullptr},
    {kStatusBitFirst + 0, "In ACQUISITION mode (RUN)", nullptr},
    {kStatusBitFirst + 1, "Waiting for TRIG (WAI)", nullptr},
    {kStatusBitFirst + 2, "Running an acquisition cycle (ACQ)", nullptr},
    {kStatusBitFirst + 3, "New measurements available (MEAS)", nullptr},
    {kStatusBitFirst + 4, "One or several abnormal events signaled (EVT)", nullptr},
    {kStatusBitFirst + 5, "At least one of the channels is in error (CHER)", nullptr},
    {kStatusBitFirst + 6, "Error appearance or disappearance over one channel (CHERC)", nullptr},
    {kStatusBitFirst + 7, "Changing status of alarm 1 over one channel (AL1C)", nullptr},
    {kStatusBitFirst + 8, "Changing status of alarm 2 over one channel (AL2C)", nullptr},
    {kStatusBitFirst + 9, "Changing status of alarm 3 over one channel (AL3C)", nullptr},
    {kStatusBitFirst + 10, "Changing status of alarm 4 over one channel (AL4C)", nullptr},
    {kStatusBitFirst + 11, "Global Memory Status Report (GMSR)", nullptr},
    {kStatusBitFirst + 12, "Global alarm 1 (ALG1)", nullptr},
    {kStatusBitFirst + 13, "Global alarm 2 (ALG2)", nullptr},
    {kStatusBitFirst + 14, "Remote control via one of the ports (REM)", nullptr},
    {kStatusBitFirst + 15, "Remote control via the current port (REMP)", nullptr},
    {kMemRecording, "Recording", nullptr},
    {kMemFull, "Full", nullptr},
    {kMemAvailable, "Available for reading", nullptr},
    {kStatusRun, "&Run", nullptr},
    {kStatusStop, "&Stop", nullptr},
    {kStatusTrig, "&Trig", nullptr},
    {kStatusLocal, "&Local", nullptr},
    {kStatusRemote, "&Remote", nullptr},
    {kStatusSeeEvents, "&See", nullptr},
    {kStatusWordGroup, "Status Word", nullptr},
    {kMemBlocksGroup, "Memory Blocks", nullptr},
    {kMemBlockLabel, "Block %d", nullptr},
    {kEventsGroup, "Abnormal Events", nullptr},
    {kClockTitle, "Set module \"%s\" internal clock", nullptr},
    {kModuleTime, "Module Time:", nullptr},
    {kComputerTime, "Computer Time:", nullptr},
    {kSynchronize, "Synchronize", nullptr},
    {kSendTime, "Send", nullptr},
    {kEnteredTime, "Entered Time to send:", nullptr},
    {kTimeNotUnderstood,
     "\"%1\" is not a date and time. Type them as the computer's time is shown.", nullptr},
    {kMeasuresTitle, "Measurements Display", nullptr},
    {kScannedChannels, "Scanned Cha&nnels", nullptr},
    {kChannelsToScanTitle, "Channels to scan Selection", nullptr},
    {kAllChannels, "&All", nullptr},
    {kNoChannels, "&None", nullptr},
    {kOneShot, "&One Shot", nullptr},
    {kContinuous, "Cont&inuous", nullptr},
    {kPeriod, "&Period", nullptr},
    {kArrangeColumns, "&Arrange columns", nullptr},
    {kRunModules, "&RUN modules", nullptr},
    {kCurves, "Curves", nullptr},
    {kBlockNamePrompt, "For recording measurements of module \"%s\"", nullptr},
    {kCurvesTitle, "Measurements Curves", nullptr},
    {kSecondsSuffix, " s", nullptr},
    {kReading, "Reading", nullptr},
    {kModuleNotAnswering, "Module \"%1\": %2", nullptr},
};
}  // namespace

const strings::StringTable& appStrings() {
    static const strings::StringTable table{kAppEntries};
    return table;
}

std::string appText(int id) {
    return appStrings().text(id, strings::Language::English).value_or(std::string());
}

std::string appMessage(int id, const std::vector<std::string>& args) {
    return security::fillPlaceholders(appText(id), args);
}

std::string moduleErrorAppText(long number) {
    // The same English texts as the server's table, numbered from 3000.
    return cfg::moduleErrorText(number, strings::Language::English);
}

}  // namespace qd40::app
