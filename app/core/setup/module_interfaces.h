// The communication interfaces of a document's module: its SETUP sheet over
// the item's own connection (the control's server object and the module's
// slave number) instead of a SETUP connection on a serial port.
#pragma once
#include "app/core/doc_operations.h"
#include "app/core/setup/setup_commands.h"
#include "app/core/tavik_item.h"

namespace qd40::app::setup {

// Opens the item's communication when it is closed, takes remote control for
// the time of the sheet unless the module is already under it, and gives
// back what it took. S_OK, S_FALSE when the sheet was cancelled, else E_FAIL
// or E_ABORT (shown).
HRESULT showModuleInterfaces(SetupCommands& setup, DocOperations& ops, CTavikItem& item);

}  // namespace qd40::app::setup
