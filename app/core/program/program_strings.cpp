#include "app/core/program/program_strings.h"

#include "app/core/app_strings.h"

namespace qd40::app::program {

namespace {
using namespace ptext;
constexpr strings::Entry kEntries[] = {
    {kSelectFileToRecord, "Select file to record", nullptr},
    {kWqxFilter, "QD40/KW7 Files (*.wqx)", nullptr},
    {kExportFailed, "Unable to export Document Program Data", nullptr},
    {kCmdAddModule, "Add a New Module", nullptr},
    {kCmdModuleConfiguration, "Module Configuration", nullptr},
    {kCmdCommProperties, "Module Communication Properties", nullptr},
    {kCmdTransmit, "Transmit Module Program", nullptr},
    {kCmdReadProgram, "Read Module Program", nullptr},
    {kCmdRun, "Run Module", nullptr},
    {kCmdStop, "Stop Module", nullptr},
    {kCmdTrigger, "Trigger Module", nullptr},
    {kCmdReadMemory, "Read Module Memory", nullptr},
    {kCmdClearMemory, "Clear Module Memory", nullptr},
    {kCmdInitialize, "Initialize Module", nullptr},
    {kCmdForceRemote, "Force REMOTE", nullptr},
    {kCmdEvents, "Abnormal Events", nullptr},
    {kCmdStatus, "Module Status", nullptr},
    {kCmdLocal, "LOCAL", nullptr},
    {kCmdExportProgram, "Export Program to KW7...", nullptr},
    {kCmdRename, "Rename Module", nullptr},
    {kCmdIdentify, "Identify Module", nullptr},
    {kCmdRelays, "Relays", nullptr},
    {kCmdEmailCounter, "E-mail Counter", nullptr},
    {kCmdOpcParameters, "OPC Service Parameters", nullptr},
    {kCmdSetClock, "Set Clock", nullptr},
    {kCmdProgramByControl, "Program by the Control", nullptr},
    {kCmdReadName, "Read Name", nullptr},
    {kCmdCommInterfaces, "Communication Interfaces", nullptr},
    {kCmdPrint, "Print Module Program...", nullptr},
    {kCmdPrintPreview, "Print Preview", nullptr},
    {kCmdDelete, "Delete Module", nullptr},
    {kCmdCopy, "Copy", nullptr},
    {kCmdCut, "Cut", nullptr},
    {kCmdPaste, "Paste", nullptr},
    {kEasyChannels, "&Channels", nullptr},
    {kEasyAcqMemory, "&Acquisition / Memory", nullptr},
    {kEasyEmail, "&E-mail", nullptr},
    {kFullChannels, "&Channels", nullptr},
    {kFullAcquisition, "&Acquisition", nullptr},
    {kFullMemory, "Memory &Blocks", nullptr},
    {kFullGlobal, "&Global", nullptr},
    {kFullEmail, "&E-mail", nullptr},
    {kPrintTitle, "%s %s - %s - Printed by %s", nullptr},
    {kPrintCommunication, "Communication Parameters", nullptr},
    {kPrintChannels, "Channels", nullptr},
    {kPrintAcquisition, "Acquisition", nullptr},
    {kPrintMemoryBlocks, "Memory Blocks", nullptr},
    {kPrintGlobal, "Global Configuration", nullptr},
    {kPrintEmail, "E-mail Configuration", nullptr},
    {kPrintPage, "Page %d", nullptr},
    {kProgramWindowTools, "Program", nullptr},
};
}  // namespace

const strings::StringTable& programStrings() {
    static const strings::StringTable table{kEntries};
    return table;
}

std::string programText(int id) {
    return programStrings().textOrEmpty(id);
}

std::string programMessage(int id, const std::vector<std::string>& args) {
    std::string t = programText(id);
    for (size_t i = args.size(); i-- > 0;) {
        const std::string key = "%" + std::to_string(i + 1);
        for (size_t at = t.find(key); at != std::string::npos;
             at = t.find(key, at + args[i].size())) {
            t.replace(at, key.size(), args[i]);
        }
    }
    return t;
}

}  // namespace qd40::app::program
