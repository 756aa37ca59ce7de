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
