// Texts of the operator window ovixqd40svr-panel in English and French, by
// id. The server's own interface texts (100 to 111) stay in the server's
// table; these are the window's labels and the panel's own messages.
#pragma once
#include "platform/strings.h"

namespace qd40::panel {

enum PanelText : int {
    kTxtPortsGroup = 1,
    kTxtBaudRate,
    kTxtCabling,
    kTxtTestButton,
    kTxtAboutButton,
    kTxtValidate,
    kTxtExit,
    kTxtTestCaption,
    kTxtChannel,
    kTxtTarget,
    kTxtModbusAddress,
    kTxtIpAddress,
    kTxtIpPort,
    kTxtTest,
    kTxtClose,
    kTxtAboutCaption,
    kTxtComponent,
    kTxtSubComponents,
    kTxtOk,
    kTxtModbusTcp,
    kTxtPushFailed,
    kTxtQuitFailed,
    kTxtServerUnreachable,
    kTxtTransportMissing,
};

const strings::StringTable& panelStrings();
// The text of `id` in the environment's language ("" when missing).
std::string panelText(int id);
// The server's interface text `id` (100 to 111).
std::string serverText(int id);

}  // namespace qd40::panel
