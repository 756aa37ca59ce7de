// What one configuration control keeps and persists: the configuration blobs
// and the connection settings of its module.
#pragma once
#include <cstdint>
#include <string>

#include "common/config/cfg_layout.h"

namespace qd40::ctl {

enum SerialMode : uint8_t {
    qd40SerialModeStd = 0,
    qd40SerialModeUsb = 1,
    qd40SerialModeRadio = 2,
    qd40SerialModeQty = 3,
};

struct CtlConnection {
    bool serial = true;  // TRUE: a serial port; FALSE: MODBUS/TCP
    std::string ipAddr;  // module address (TCP) or server host (serial)
    int16_t port = 1;    // COM number or TCP port
    bool ovixQd40SvrParams = true;
    uint32_t baudRate = 9600;
    uint8_t mbAddr = 1;
    uint8_t serialMode = qd40SerialModeStd;

    bool operator==(const CtlConnection&) const = default;
};

struct CtlState {
    cfg::FullCfgData cfg{};
    cfg::ChansResCfgData chansRes{};
    cfg::Qd40ExtCfgData ext{};
    cfg::EmailCfgData email{};
    cfg::MemsStatusMaskCfgData memsStatusMask{};
    CtlConnection conn;
    // The container's extent of the control, in HIMETRIC units.
    uint32_t extentCx = 5080;
    uint32_t extentCy = 5080;

    // A new control: the default blobs and connection settings.
    static CtlState defaults();
    bool operator==(const CtlState&) const = default;
};

}  // namespace qd40::ctl
