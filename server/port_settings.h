// The port settings table: per COM port 1..8 its available flag, baud rate,
// cabling, half-duplex pause, end-of-frame characters and device path, plus
// the retries and the two answer time-outs common to every channel. One table
// per daemon, shared by every Qd40 object; client puts change it in memory
// only.
#pragma once
#include <array>
#include <cstdint>
#include <mutex>
#include <string>

#include "platform/registry.h"

namespace qd40::server {

inline constexpr int kPortCount = 8;
inline constexpr const char* kCommunicationKey =
    "Software\\Ovix Servers\\OvixQd40Svr\\Communication";

struct PortSettings {
    int32_t available = 0;
    uint32_t baudRate = 9600;
    int32_t halfDuplex = 2;  // cabling: mbWIRES_4, mbWIRES_2, mbWIRES_AUTOCHECK
    uint16_t halfDuplexPause = 0;
    uint8_t eofCharQty = 4;
    std::string device;  // the device path the COM port stands for
};

class PortSettingsTable {
public:
    PortSettingsTable();

    // Loads the table from the store, writing each missing value with its
    // default. A stored rate that is not one of the five becomes 9600 in
    // memory. Returns false when the key cannot be written ("Unable to access
    // registry"): every port then stays unavailable and the common values keep
    // their defaults.
    bool load(platform::RegistryStore& store);

    static bool validBaudRate(uint32_t rate);
    static bool validPort(int port) { return port >= 1 && port <= kPortCount; }
    static std::string defaultDevice(int port);

    // Held while a port or the common values are read or changed by the
    // objects' call threads.
    std::mutex& guard() const { return guard_; }

    // Port n (1..8); callers check the number first.
    PortSettings& port(int n) { return ports_[size_t(n - 1)]; }
    const PortSettings& port(int n) const { return ports_[size_t(n - 1)]; }

    uint8_t retries = 5;
    uint32_t rsTimeOut = 1000;
    uint32_t ipTimeOut = 60000;

    // End-of-frame time-out in milliseconds: EofCharQty x 10000 / rate + 15,
    // rounded to the nearest millisecond (19 with 4 characters at 9600 baud).
    static uint32_t endOfFrameMs(uint8_t eofCharQty, uint32_t baudRate);

private:
    std::array<PortSettings, kPortCount> ports_;
    mutable std::mutex guard_;
};

// Writes the device path of COM `port` into the store (Device<port>).
bool storeDevice(platform::RegistryStore& store, int port, const std::string& path);

}  // namespace qd40::server
