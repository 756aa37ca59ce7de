// The windows' string table.
#include "app/core/views/view_strings.h"

#include "app/security/security_strings.h"

namespace qd40::app::views {

namespace {
using namespace vtext;
constexpr strings::Entry kEntries[] = {
    {kDocumentType,
     "\nTavik-\nDocument Tavik\nTavik Files (*.dqx)\n.dqx\nTavik.Document\nTavik Document",
     nullptr},
    {kRecordsBlocks, "Records Blocks", nullptr},
    {kNewBlock, "New Block", nullptr},
    {kAddressNeeded,
     "Enter the IP address or the host name of the computer (for example 192.168.1.20 or "
     "LABPC)",
     nullptr},
    {kEasyModeWarning,
     "Warning ! Changing from Full Programming Mode to Easy Programming Mode.\n\nWhen editing "
     "configurations created in Full Programming, some elements may be hidden, even modified.",
     nullptr},

    {kCmdAddModule, "&Add a New Module...", nullptr},
    {kCmdCommProperties, "Module Co&mmunication Properties...", nullptr},
    {kCmdTransmit, "&Transmit Module Program", nullptr},
    {kCmdReadProgram, "Read Module &Program", nullptr},
    {kCmdRun, "R&un Module", nullptr},
    {kCmdStop, "&Stop Module", nullptr},
    {kCmdForceRemote, "Force &REMOTE", nullptr},
    {kCmdOpenComm, "&Open Communications", nullptr},
    {kCmdTransmitAll, "&Transmit Modules Programs", nullptr},
    {kCmdRecordsView, "&Records View", nullptr},
    {kCmdProgramView, "&Program View", nullptr},
    {kCmdCloseComm, "&Close Communications", nullptr},
    {kCmdRunAll, "R&un Modules", nullptr},
    {kCmdStopAll, "&Stop Modules", nullptr},
    {kCmdRename, "Re&name Module", nullptr},
    {kCmdFullMode, "&Full Programming Mode", nullptr},
    {kCmdEasyMode, "&Easy Programming Mode", nullptr},
    {kCmdReadName, "Read &Name", nullptr},
    {kCmdFileNew, "&New", nullptr},
    {kCmdFileOpen, "&Open...", nullptr},
    {kCmdFileClose, "&Close", nullptr},
    {kCmdFileSave, "&Save", nullptr},
    {kCmdFileSaveAs, "Save &As...", nullptr},
    {kCmdDelete, "&Delete Module", nullptr},
    {kCmdWindowCascade, "&Cascade", nullptr},
    {kCmdWindowTile, "&Tile", nullptr},
    {kCmdAbout, "&About Tavik...", nullptr},
    {kCmdExit, "E&xit", nullptr},

    {kMenuFile, "&File", nullptr},
    {kMenuDocument, "&Document", nullptr},
    {kMenuModule, "&Module", nullptr},
    {kMenuWindow, "&Window", nullptr},
    {kMenuHelp, "&Help", nullptr},
    {kSaveChangesAsk, "Save changes to %1?", nullptr},
    {kOpenTitle, "Open", nullptr},
    {kSaveAsTitle, "Save As", nullptr},
    {kAboutTitle, "About Tavik", nullptr},
    {kAboutText, "%1 version %2\nFile version %3\n\nQd40 data-acquisition modules", nullptr},
    {kCmdGraphView, "New &Graph View", nullptr},
    {kRecentFile, "&%1 %2", nullptr},
    {kCannotOpen, "Unable to open the document \"%1\":\n%2", nullptr},

    {kCommDialogTitle, "Parameters for Communication with the QD40 module", nullptr},
    {kCommSerial, "&Serial Port", nullptr},
    {kCommRemote, "Remote &IP (or Modem Connexion)", nullptr},
    {kCommLocal, "&Local", nullptr},
    {kCommHost, "&Host:", nullptr},
    {kCommPort, "&Port:", nullptr},
    {kCommServerParams, "According to OvixQd40Svr Parameters", nullptr},
    {kCommRate, "&Rate:", nullptr},
    {kCommInterface, "Inter&face :", nullptr},
    {kCommStandard, "Standard", nullptr},
    {kCommUsb, "USB", nullptr},
    {kCommRadio, "Radio", nullptr},
    {kCommAddress, "&Address:", nullptr},
    {kCommTcpPort, "Port:", nullptr},
    {kCommSlave, "MODB&US Slave No.:", nullptr},
    {kCommComPortItem, "COM%d", nullptr},

    {kCmdReadMemory, "Read Module &Memory...", nullptr},
    {kCmdMeasurements, "View Modules Measure&ments...", nullptr},
    {kCmdEvents, "Abnormal &Events...", nullptr},
    {kCmdModuleStatus, "Module S&tatus...", nullptr},
    {kCmdRelays, "Re&lays...", nullptr},
    {kCmdSetClock, "Set Module C&lock...", nullptr},
    {kPrintDocument, "Document", nullptr},
    {kPrintMemoryBlock, "Memory Block", nullptr},
    {kDeleteBlockAsk, "Do you want to delete memory block \"%1\" ?", nullptr},
    {kInvalidOperation, "Invalid operation", nullptr},
    {kNothingToPaste, "Nothing to paste", nullptr},
    {kPasteOverItself, "Don't paste an objet over himself", nullptr},
    {kExportTitle, "Export to the file", nullptr},
    {kExportSpreadsheetFilter, "Spreadsheet Text (*.txt)", nullptr},
    {kExportLineFilter, "Text in line (*.txt)", nullptr},
    {kExportFileExists, "File \"%1\" already exists.", nullptr},
    {kExportAdd, "&ADD data to the end of the file", nullptr},
    {kExportReplace, "&REPLACE existing data", nullptr},
    {kExportOtherFile, "Select ANOTHER &FILE NAME", nullptr},
    {kSelectMemoryBlock, "Select a Memory Block", nullptr},
    {kBlockPropertiesTitle, "Block \"%s\" Properties", nullptr},
    {kBlockName, "&Name:", nullptr},
    {kBlockSize, "Size:", nullptr},
    {kBlockRecords, "records", nullptr},
    {kBlockComment, "&Comment:", nullptr},
    {kFormatTitle, "Exported Data Format", nullptr},
    {kFormatSeparator, "Column separator", nullptr},
    {kFormatSpace, "Space", nullptr},
    {kFormatTab, "Tabulation", nullptr},
    {kFormatSemicolon, "';'", nullptr},
    {kFormatOther, "Other", nullptr},
    {kFormatFirstDate, "Write &First Cycle Date to File Beginning", nullptr},
    {kFormatGroup, "&Group Channels by cycle", nullptr},
    {kFormatInterval, "Include \"&Interval\" Column (in seconds from beginning time)", nullptr},
    {kFormatDate, "Include \"&Date\" Column", nullptr},
    {kFormatTime, "Include \"&Time\" Column", nullptr},
    {kMenuRecords, "R&ecords", nullptr},
    {kCmdBlockProperties, "Block P&roperties...", nullptr},
    {kCmdBlockErase, "&Erase Block", nullptr},
    {kCmdCopy, "&Copy", nullptr},
    {kCmdPaste, "&Paste", nullptr},
    {kCmdCut, "Cu&t", nullptr},
    {kCmdExportSelected, "E&xport selected Records Block...", nullptr},
    {kCmdExportAll, "Export &all Records Blocks...", nullptr},
    {kCmdPrint, "&Print...", nullptr},
    {kCmdPrintDirect, "Print &direct", nullptr},
    {kCmdPrintPreview, "Print Pre&view...", nullptr},
    {kReadMemRecording, "Recording:", nullptr},
    {kReadMemClosed, "Closed:", nullptr},
    {kReadMemFull, "Full:", nullptr},
    {kReadMemAvailable, "Available:", nullptr},
    {kReadMemRead, "Read block:", nullptr},
    {kReadMemCloseBefore, "Close memory\nbefore reading:", nullptr},
    {kReadMemClearAfter, "Clear memory\nafter reading:", nullptr},
    {kReadMemReopenAfter, "Re-open memory\nafter reading:", nullptr},
    {kReadMemName, "Name:", nullptr},
    {kReadMemComment, "Comment:", nullptr},
    {kReadMemStatus, "&Status", nullptr},
    {kReadMemBlock, "Block %1", nullptr},
};
}  // namespace

const strings::StringTable& viewStrings() {
    static const strings::StringTable table{kEntries};
    return table;
}

std::string viewText(int id) {
    return viewStrings().text(id, strings::Language::English).value_or(std::string());
}

std::string viewMessage(int id, const std::vector<std::string>& args) {
    return security::fillPlaceholders(viewText(id), args);
}

std::string documentTypeField(DocumentTypeField field) {
    const std::string all = viewText(vtext::kDocumentType);
    size_t start = 0;
    for (int i = 0; i < static_cast<int>(field); ++i) {
        start = all.find('\n', start);
        if (start == std::string::npos)
            return {};
        ++start;
    }
    return all.substr(start, all.find('\n', start) - start);
}

}  // namespace qd40::app::views
