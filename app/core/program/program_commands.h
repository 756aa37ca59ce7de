// The program window's commands: when each is enabled (the connected user's
// rights, what is selected, whether the module is connected) and the
// actions that have no place in the document's operations: programming a
// module through a sheet, clearing its memory, initialising, identifying,
// triggering, stopping and giving it back to local control, deleting it.
// Every per-module action uses the open-use-close envelope.
#pragma once
#include <functional>
#include <set>
#include <string>

#include "app/core/doc_operations.h"
#include "app/core/program/program_sheet.h"
#include "app/core/views/commands.h"

namespace qd40::app::program {

enum class ProgCommand : int {
    AddModule = 32788,
    ModuleConfiguration = 32789,
    CommProperties = 32790,
    Transmit = 32791,
    ReadProgram = 32792,
    Run = 32794,
    Stop = 32795,
    Trigger = 32798,
    ReadMemory = 32801,
    ClearMemory = 32802,
    Initialize = 32803,
    ForceRemote = 32820,
    Events = 32821,
    Status = 32822,
    Local = 32823,
    ExportProgram = 32836,
    Rename = 32842,
    Identify = 32843,
    Relays = 32844,
    EmailCounter = 32847,
    OpcParameters = 32849,
    SetClock = 32851,
    ProgramByControl = 32852,
    ReadName = 32853,
    CommInterfaces = 32865,
    Print = 57607,
    PrintPreview = 57609,
    Delete = 57632,
    Copy = 57634,
    Cut = 57635,
    Paste = 57637,
};

struct ProgContext {
    uint32_t rights = 0;
    bool securityOffOrConnected = false;
    views::Selection selection = views::Selection::None;
    bool connected = false;           // the selected module's control is open
    bool communicationsOpen = false;  // the document's flag
    // Commands whose dialogs this program has; the others stay disabled.
    std::function<bool(ProgCommand)> available;
};

bool progCommandEnabled(ProgCommand command, const ProgContext& context);
// The command's menu text.
std::string progCommandText(ProgCommand command);

// Runs a sheet modally: true on OK (the sheet is then finished by the caller).
using SheetRunner = std::function<bool(ProgramSheet& sheet)>;

class ProgramCommands {
public:
    ProgramCommands(CTavikDoc& doc, DocOperations& ops, AppPrompter& prompter, Session& session)
        : doc_(doc), ops_(ops), prompter_(prompter), session_(session) {}

    // Command 32789: DefEditChanNum from the channel list row (0..29, else
    // channel 1), the easy or full sheet, the write-back, and the document
    // marked modified only when the item changed. S_FALSE when cancelled.
    HRESULT programModule(CTavikItem& item, int selectedRow, bool easy, const SheetRunner& run,
                          pages::PagePrompter& pagePrompter, char decimalSep = '.');
    // The hook of "add module" in easy mode: the easy sheet on the new item.
    std::function<bool(CTavikItem&)> easyProgrammingHook(const SheetRunner& run,
                                                         pages::PagePrompter& pagePrompter,
                                                         char decimalSep = '.');

    // 184 (Yes/No/Cancel); on Yes MemClear of blocks 1 to 10.
    HRESULT clearMemory(CTavikItem& item);
    // 206 with the item's name; on Yes BoardInit.
    HRESULT initialize(CTavikItem& item);
    // Message 205 with the module's type, versions and SETUP name.
    HRESULT identify(CTavikItem& item);
    HRESULT trigger(CTavikItem& item);
    HRESULT stop(CTavikItem& item);
    HRESULT local(CTavikItem& item);
    // 152 with the node text; on Yes the item is deleted and the document
    // marked modified. False when kept.
    bool deleteModule(const CTavikItem& item, const std::string& nodeText);

private:
    CTavikDoc& doc_;
    DocOperations& ops_;
    AppPrompter& prompter_;
    Session& session_;
};

}  // namespace qd40::app::program
