// Texts of the program window's commands, the programming sheets, the
// program export and the printed program (English, as the application's
// other tables).
#pragma once
#include <string>
#include <vector>

#include "platform/strings.h"

namespace qd40::app::program {

namespace ptext {
inline constexpr int kSelectFileToRecord = 162;
inline constexpr int kWqxFilter = 189;
inline constexpr int kExportFailed = 190;
// Command names, by command id.
inline constexpr int kCmdAddModule = 32788;
inline constexpr int kCmdModuleConfiguration = 32789;
inline constexpr int kCmdCommProperties = 32790;
inline constexpr int kCmdTransmit = 32791;
inline constexpr int kCmdReadProgram = 32792;
inline constexpr int kCmdRun = 32794;
inline constexpr int kCmdStop = 32795;
inline constexpr int kCmdTrigger = 32798;
inline constexpr int kCmdReadMemory = 32801;
inline constexpr int kCmdClearMemory = 32802;
inline constexpr int kCmdInitialize = 32803;
inline constexpr int kCmdForceRemote = 32820;
inline constexpr int kCmdEvents = 32821;
inline constexpr int kCmdStatus = 32822;
inline constexpr int kCmdLocal = 32823;
inline constexpr int kCmdExportProgram = 32836;
inline constexpr int kCmdRename = 32842;
inline constexpr int kCmdIdentify = 32843;
inline constexpr int kCmdRelays = 32844;
inline constexpr int kCmdEmailCounter = 32847;
inline constexpr int kCmdOpcParameters = 32849;
inline constexpr int kCmdSetClock = 32851;
inline constexpr int kCmdProgramByControl = 32852;
inline constexpr int kCmdReadName = 32853;
inline constexpr int kCmdCommInterfaces = 32865;
inline constexpr int kCmdPrint = 57607;
inline constexpr int kCmdPrintPreview = 57609;
inline constexpr int kCmdDelete = 57632;
inline constexpr int kCmdCopy = 57634;
inline constexpr int kCmdCut = 57635;
inline constexpr int kCmdPaste = 57637;
// Sheet pages.
inline constexpr int kEasyChannels = 9700;
inline constexpr int kEasyAcqMemory = 9701;
inline constexpr int kEasyEmail = 9702;
inline constexpr int kFullChannels = 9703;
inline constexpr int kFullAcquisition = 9704;
inline constexpr int kFullMemory = 9705;
inline constexpr int kFullGlobal = 9706;
inline constexpr int kFullEmail = 9707;
// Printed program.
inline constexpr int kPrintTitle = 9710;
inline constexpr int kPrintCommunication = 9711;
inline constexpr int kPrintChannels = 9712;
inline constexpr int kPrintAcquisition = 9713;
inline constexpr int kPrintMemoryBlocks = 9714;
inline constexpr int kPrintGlobal = 9715;
inline constexpr int kPrintEmail = 9716;
inline constexpr int kPrintPage = 9717;
inline constexpr int kProgramWindowTools = 9718;
}  // namespace ptext

const strings::StringTable& programStrings();
std::string programText(int id);
// With "%1", "%2"... replaced as message boxes fill them.
std::string programMessage(int id, const std::vector<std::string>& args);

}  // namespace qd40::app::program
