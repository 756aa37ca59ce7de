// Constants of the Qd40 module protocol shared by the server, the control and
// the simulator.
#pragma once
#include <array>
#include <cstdint>

namespace qd40::module {

// Confirmation words sent as the two parameters of the commands that erase or
// take over a module (stop with force remote, board initialisation, SETUP
// write, SETUP store, SETUP defaults).
inline constexpr uint16_t kConfirmWord1 = 0x55AA;
inline constexpr uint16_t kConfirmWord2 = 0xAA55;

// MODBUS exception code with which a module refuses a request (server device
// failure); the module error code is then readable at reg::kModuleError.
inline constexpr int kRefusalException = 4;

// MODBUS addresses that name one module on a serial line: 0 broadcasts to
// every module of the line and 248 to 255 are reserved.
inline constexpr int kFirstSerialAddress = 1;
inline constexpr int kLastSerialAddress = 247;
inline constexpr const char* kSerialAddressRule =
    "0 broadcasts to every module of the line and 248 to 255 are reserved (use 1 to 247)";

// The baud rates a serial line of modules runs at.
inline constexpr std::array<uint32_t, 5> kBaudRates{9600, 19200, 38400, 57600, 115200};

inline constexpr int kChannelCount = 30;
inline constexpr int kMemoryBlockCount = 10;
inline constexpr int kRelayCount = 2;
inline constexpr int kLimitCount = 4;

inline constexpr uint16_t kDeviceIdQd40M = 0xB052;
inline constexpr uint16_t kDeviceIdQd40E = 0xB05B;

}  // namespace qd40::module
