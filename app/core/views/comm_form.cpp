#include "app/core/views/comm_form.h"

#include <algorithm>

namespace qd40::app::views {

int comPortIndex(int port) {
    return std::clamp(port, 1, kComPorts) - 1;
}

int baudRateIndex(uint32_t rate) {
    const auto it = std::find(kBaudRates.begin(), kBaudRates.end(), rate);
    return it == kBaudRates.end() ? 0 : static_cast<int>(it - kBaudRates.begin());
}

CommFieldsEnabled commFieldsEnabled(bool serial, bool remoteHost, bool serverParams,
                                    CommForm form) {
    CommFieldsEnabled e;
    if (form == CommForm::Setup) {
        // A SETUP connection is made on a port of this machine with fixed
        // line settings: only the port is chosen.
        e.kindChoice = false;
        e.slave = false;
        e.comPort = true;
        return e;
    }
    e.serialFields = serial;
    e.hostName = serial && remoteHost;
    e.rateAndInterface = serial && !serverParams;
    e.networkFields = !serial;
    e.hostChoice = e.comPort = e.serverParams = serial;
    return e;
}

std::optional<MissingField> missingField(const ctl::CtlConnection& params, bool remoteHost) {
    if (params.serial && remoteHost && params.ipAddr.empty())
        return MissingField::HostName;
    if (!params.serial && params.ipAddr.empty())
        return MissingField::Address;
    return std::nullopt;
}

}  // namespace qd40::app::views
