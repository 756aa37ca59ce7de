// When each command of the main window is enabled: the rights of the
// connected user, the document's communications flag and what is selected
// in the program window.
#pragma once
#include <cstdint>

namespace qd40::app::views {

enum class Command {
    FileNew,
    FileOpen,
    FileRecent,
    FileSave,
    FileSaveAs,
    FileClose,
    Exit,
    RecordsView,
    ProgramView,
    GraphView,
    OpenCommunications,
    CloseCommunications,
    TransmitAll,
    RunAll,
    StopAll,
    FullMode,
    EasyMode,
    AddModule,
    CommProperties,
    Transmit,
    ReadProgram,
    ReadName,
    ReadMemory,
    Run,
    Stop,
    ForceRemote,
    DeleteModule,
    RenameModule,
    Events,
    ModuleStatus,
    Relays,
    SetClock,
    Measurements,
    WindowTile,
    WindowCascade,
    About,
};

// What is selected in the active program window.
enum class Selection { None, Host, Port, Ethernet, NewModule, Module };

struct CommandContext {
    uint32_t rights = 0;
    bool hasDocument = false;
    bool documentModified = false;
    bool communicationsOpen = false;  // the active document's flag
    Selection selection = Selection::None;
    bool moduleConnected = false;  // the selected module's control is open
    bool blockSelected = false;    // a record block is selected in the active explorer
};

bool commandEnabled(Command command, const CommandContext& context);

}  // namespace qd40::app::views
