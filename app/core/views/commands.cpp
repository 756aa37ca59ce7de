#include "app/core/views/commands.h"

#include "app/core/app_ports.h"

namespace qd40::app::views {

bool commandEnabled(Command command, const CommandContext& c) {
    const auto has = [&](int bit) { return (c.rights >> bit & 1u) != 0; };
    const bool module = c.hasDocument && c.selection == Selection::Module;
    const bool connected = module && c.moduleConnected;
    const bool commRight =
        has(right::kTransmit) || has(right::kReadProgram) || has(right::kReadMemory);
    const bool open = c.hasDocument && c.communicationsOpen;
    switch (command) {
        case Command::FileNew:
        case Command::FileOpen:
        case Command::FileRecent:
            return has(right::kOpenDocument);
        case Command::FileSave:
            return c.hasDocument && c.documentModified && has(right::kSaveDocument);
        case Command::FileSaveAs:
            return c.hasDocument && has(right::kSaveDocument);
        case Command::FileClose:
            return c.hasDocument && has(right::kCloseWindow);
        case Command::Exit:
            return has(right::kLeave);
        case Command::GraphView:
            return c.hasDocument && c.blockSelected;
        case Command::RecordsView:
        case Command::ProgramView:
        case Command::FullMode:
        case Command::EasyMode:
            return c.hasDocument;
        case Command::OpenCommunications:
            return c.hasDocument && !c.communicationsOpen && commRight;
        case Command::CloseCommunications:
            return open && commRight;
        case Command::TransmitAll:
            return open && has(right::kTransmit);
        case Command::RunAll:
            return open && has(right::kRun);
        case Command::StopAll:
            return open && has(right::kStop);
        case Command::AddModule:
            return c.hasDocument && has(right::kProgram) &&
                   (c.selection == Selection::Host || c.selection == Selection::NewModule ||
                    c.selection == Selection::Module);
        case Command::CommProperties:
        case Command::DeleteModule:
        case Command::RenameModule:
            return module && has(right::kProgram);
        case Command::Transmit:
        case Command::ForceRemote:
            return connected && has(right::kTransmit);
        case Command::ReadProgram:
        case Command::ReadName:
            return connected && has(right::kReadProgram);
        case Command::ReadMemory:
            return connected && has(right::kReadMemory);
        case Command::Run:
            return connected && has(right::kRun);
        case Command::Stop:
            return connected && has(right::kStop);
        case Command::Events:
        case Command::ModuleStatus:
            return connected && has(right::kReadMemory);
        case Command::Relays:
        case Command::SetClock:
            return connected && has(right::kTransmit);
        case Command::Measurements:
            return open && has(right::kReadMemory);
        case Command::WindowTile:
        case Command::WindowCascade:
            return c.hasDocument;
        case Command::About:
            return true;
    }
    return false;
}

}  // namespace qd40::app::views
