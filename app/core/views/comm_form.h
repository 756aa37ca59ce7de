// The rules of the communication parameters dialog: its lists, which fields
// are enabled, and when OK is refused. The dialog only shows and collects.
#pragma once
#include <array>
#include <cstdint>
#include <optional>

#include "common/module_constants.h"
#include "control/ctl/ctl_state.h"

namespace qd40::app::views {

inline constexpr int kComPorts = 8;  // "COM1".."COM8"
using module::kBaudRates;            // the rates a line offers
inline constexpr int kMaxTcpPort = 999;

// The list entry of a COM port (port - 1; the first entry below 1, the last above 8).
int comPortIndex(int port);
// The list entry of a rate; the first entry for a rate not in the list.
int baudRateIndex(uint32_t rate);

// The dialog's two forms: an item's communication parameters, or the serial
// port of a SETUP connection (nothing else may change there).
enum class CommForm { Item, Setup };

struct CommFieldsEnabled {
    bool serialFields = false;  // port, server parameters, local/host choice
    bool hostName = false;      // the host field
    bool rateAndInterface = false;
    bool networkFields = false;  // address (the TCP port stays disabled)
    // Separately, as the SETUP form keeps only the port:
    bool kindChoice = true;   // serial port / remote IP
    bool hostChoice = false;  // local / host
    bool comPort = false;
    bool serverParams = false;
    bool slave = true;
};
CommFieldsEnabled commFieldsEnabled(bool serial, bool remoteHost, bool serverParams,
                                    CommForm form = CommForm::Item);

enum class MissingField { HostName, Address };
// The empty field that refuses OK (message 138), nullopt when acceptable.
// remoteHost: "Host:" is chosen for a serial module.
std::optional<MissingField> missingField(const ctl::CtlConnection& params, bool remoteHost);

}  // namespace qd40::app::views
