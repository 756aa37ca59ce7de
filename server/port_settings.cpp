#include "server/port_settings.h"

#include <algorithm>
#include <optional>

#include "common/module_constants.h"

namespace qd40::server {

using platform::Hive;

PortSettingsTable::PortSettingsTable() {
    for (int n = 1; n <= kPortCount; ++n)
        port(n).device = defaultDevice(n);
}

bool PortSettingsTable::validBaudRate(uint32_t rate) {
    return std::find(module::kBaudRates.begin(), module::kBaudRates.end(), rate) !=
           module::kBaudRates.end();
}

std::string PortSettingsTable::defaultDevice(int port) {
    return "/dev/ttyS" + std::to_string(port - 1);
}

uint32_t PortSettingsTable::endOfFrameMs(uint8_t eofCharQty, uint32_t baudRate) {
    if (baudRate == 0)
        return 15;
    return static_cast<uint32_t>(double(eofCharQty) * 10000.0 / double(baudRate) + 15.0 + 0.5);
}

bool PortSettingsTable::load(platform::RegistryStore& store) {
    if (!store.createKey(Hive::LocalMachine, kCommunicationKey))
        return false;
    bool ok = true;
    auto dword = [&](const std::string& name, uint32_t def) {
        if (auto v = store.getDword(Hive::LocalMachine, kCommunicationKey, name))
            return *v;
        ok = store.setDword(Hive::LocalMachine, kCommunicationKey, name, def) && ok;
        return def;
    };
    retries = static_cast<uint8_t>(dword("Retries", 5));
    rsTimeOut = dword("RsTimeOut", 1000);
    ipTimeOut = dword("IpTimeOut", 60000);
    for (int n = 1; n <= kPortCount; ++n) {
        const std::string num = std::to_string(n);
        PortSettings& p = port(n);
        p.available = dword("Com" + num, 0) != 0 ? 1 : 0;
        const uint32_t rate = dword("Rate" + num, 9600);
        p.baudRate = validBaudRate(rate) ? rate : 9600;
        // The cabling list has three entries; a value outside it selects the default.
        const uint32_t cabling = dword("HalfDuplex" + num, 2);
        p.halfDuplex = cabling <= 2 ? static_cast<int32_t>(cabling) : 2;
        p.halfDuplexPause = static_cast<uint16_t>(dword("HalfDuplexPause" + num, 0));
        p.eofCharQty = static_cast<uint8_t>(dword("EofCharQty" + num, 4));
        const auto device = store.getString(Hive::LocalMachine, kCommunicationKey, "Device" + num);
        p.device = device && !device->empty() ? *device : defaultDevice(n);
    }
    return ok;
}

bool storeDevice(platform::RegistryStore& store, int port, const std::string& path) {
    if (!PortSettingsTable::validPort(port) || path.empty())
        return false;
    return store.setString(Hive::LocalMachine, kCommunicationKey, "Device" + std::to_string(port),
                           path);
}

}  // namespace qd40::server
