// Texts of the application's windows: menus and commands (by their command
// ids), the records explorer's tree, the communication parameters dialog and
// the frame's own prompts. English only, like the rest of the application.
#pragma once
#include <string>
#include <vector>

#include "platform/strings.h"

namespace qd40::app::views {

namespace vtext {
// The document type: "\nTavik-\nDocument Tavik\nTavik Files (*.dqx)\n.dqx\n...", its
// fields separated by line feeds (see documentTypeField).
inline constexpr int kDocumentType = 3;
// Records explorer tree.
inline constexpr int kRecordsBlocks = 143;
inline constexpr int kNewBlock = 144;
// Hint of the communication parameters dialog for an empty address or host.
inline constexpr int kAddressNeeded = 138;
// Asked before leaving the full programming mode for the easy one.
inline constexpr int kEasyModeWarning = 353;

// Commands (menu texts, with their accelerator marks).
inline constexpr int kCmdAddModule = 32788;
inline constexpr int kCmdCommProperties = 32790;
inline constexpr int kCmdTransmit = 32791;
inline constexpr int kCmdReadProgram = 32792;
inline constexpr int kCmdRun = 32794;
inline constexpr int kCmdStop = 32795;
inline constexpr int kCmdForceRemote = 32820;
inline constexpr int kCmdOpenComm = 32825;
inline constexpr int kCmdTransmitAll = 32826;
inline constexpr int kCmdRecordsView = 32829;
inline constexpr int kCmdProgramView = 32830;
inline constexpr int kCmdCloseComm = 32832;
inline constexpr int kCmdRunAll = 32833;
inline constexpr int kCmdStopAll = 32834;
inline constexpr int kCmdRename = 32842;
inline constexpr int kCmdFullMode = 32845;
inline constexpr int kCmdEasyMode = 32846;
inline constexpr int kCmdReadName = 32853;
inline constexpr int kCmdFileNew = 57600;
inline constexpr int kCmdFileOpen = 57601;
inline constexpr int kCmdFileClose = 57602;
inline constexpr int kCmdFileSave = 57603;
inline constexpr int kCmdFileSaveAs = 57604;
inline constexpr int kCmdDelete = 57632;
inline constexpr int kCmdWindowCascade = 57650;
inline constexpr int kCmdWindowTile = 57651;
inline constexpr int kCmdAbout = 57664;
inline constexpr int kCmdExit = 57665;

// Ours: menus, window kinds, prompts and dialog labels.
inline constexpr int kMenuFile = 9100;
inline constexpr int kMenuDocument = 9101;
inline constexpr int kMenuModule = 9102;
inline constexpr int kMenuWindow = 9103;
inline constexpr int kMenuHelp = 9104;
inline constexpr int kSaveChangesAsk = 9110;
inline constexpr int kOpenTitle = 9111;
inline constexpr int kSaveAsTitle = 9112;
inline constexpr int kAboutTitle = 9114;
inline constexpr int kAboutText = 9115;
inline constexpr int kCmdGraphView = 9116;
inline constexpr int kRecentFile = 9119;
inline constexpr int kCannotOpen = 9121;

inline constexpr int kCommDialogTitle = 9130;
inline constexpr int kCommSerial = 9131;
inline constexpr int kCommRemote = 9132;
inline constexpr int kCommLocal = 9133;
inline constexpr int kCommHost = 9134;
inline constexpr int kCommPort = 9135;
inline constexpr int kCommServerParams = 9136;
inline constexpr int kCommRate = 9137;
inline constexpr int kCommInterface = 9138;
inline constexpr int kCommStandard = 9139;
inline constexpr int kCommUsb = 9140;
inline constexpr int kCommRadio = 9141;
inline constexpr int kCommAddress = 9142;
inline constexpr int kCommTcpPort = 9143;
inline constexpr int kCommSlave = 9144;
inline constexpr int kCommComPortItem = 9145;

// The records explorer, its printing and the storage memory reading dialog.
inline constexpr int kCmdReadMemory = 32801;
inline constexpr int kCmdMeasurements = 32793;
inline constexpr int kCmdEvents = 32821;
inline constexpr int kCmdModuleStatus = 32822;
inline constexpr int kCmdRelays = 32844;
inline constexpr int kCmdSetClock = 32851;
inline constexpr int kPrintDocument = 245;
inline constexpr int kPrintMemoryBlock = 246;
inline constexpr int kDeleteBlockAsk = 9300;
inline constexpr int kInvalidOperation = 9301;
inline constexpr int kNothingToPaste = 9302;
inline constexpr int kPasteOverItself = 9303;
inline constexpr int kExportTitle = 9304;
inline constexpr int kExportSpreadsheetFilter = 9305;
inline constexpr int kExportLineFilter = 9306;
inline constexpr int kExportFileExists = 9307;
inline constexpr int kExportAdd = 9308;
inline constexpr int kExportReplace = 9309;
inline constexpr int kExportOtherFile = 9310;
inline constexpr int kSelectMemoryBlock = 9311;
inline constexpr int kBlockPropertiesTitle = 9312;
inline constexpr int kBlockName = 9313;
inline constexpr int kBlockSize = 9314;
inline constexpr int kBlockRecords = 9315;
inline constexpr int kBlockComment = 9316;
inline constexpr int kFormatTitle = 9317;
inline constexpr int kFormatSeparator = 9318;
inline constexpr int kFormatSpace = 9319;
inline constexpr int kFormatTab = 9320;
inline constexpr int kFormatSemicolon = 9321;
inline constexpr int kFormatOther = 9322;
inline constexpr int kFormatFirstDate = 9323;
inline constexpr int kFormatGroup = 9324;
inline constexpr int kFormatInterval = 9325;
inline constexpr int kFormatDate = 9326;
inline constexpr int kFormatTime = 9327;
inline constexpr int kMenuRecords = 9330;
inline constexpr int kCmdBlockProperties = 9331;
inline constexpr int kCmdBlockErase = 9332;
inline constexpr int kCmdCopy = 9333;
inline constexpr int kCmdPaste = 9334;
inline constexpr int kCmdCut = 9335;
inline constexpr int kCmdExportSelected = 9336;
inline constexpr int kCmdExportAll = 9337;
inline constexpr int kCmdPrint = 9338;
inline constexpr int kCmdPrintDirect = 9339;
inline constexpr int kCmdPrintPreview = 9340;
inline constexpr int kReadMemRecording = 9350;
inline constexpr int kReadMemClosed = 9351;
inline constexpr int kReadMemFull = 9352;
inline constexpr int kReadMemAvailable = 9353;
inline constexpr int kReadMemRead = 9354;
inline constexpr int kReadMemCloseBefore = 9355;
inline constexpr int kReadMemClearAfter = 9356;
inline constexpr int kReadMemReopenAfter = 9357;
inline constexpr int kReadMemName = 9358;
inline constexpr int kReadMemComment = 9359;
inline constexpr int kReadMemStatus = 9360;
inline constexpr int kReadMemBlock = 9361;
}  // namespace vtext

const strings::StringTable& viewStrings();
// The text of id ("" when the table lacks it).
std::string viewText(int id);
// The text of id with "%1", "%2"... replaced by the arguments.
std::string viewMessage(int id, const std::vector<std::string>& args);

// The fields of the document type text.
enum class DocumentTypeField { WindowTitle, UntitledName, TypeName, Filter, Extension };
std::string documentTypeField(DocumentTypeField field);

}  // namespace qd40::app::views
