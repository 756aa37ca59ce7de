// The register map of a Qd40 module as both sides of the conversation use
// it: the server that reads and writes it, the control, and the simulator
// that answers. Holding registers unless noted; coils and input registers
// share numbers. Each address is declared here once; a per-channel or
// per-block register is reached through its helper.
#pragma once
#include <cstdint>

namespace qd40::module::reg {

// Relay coils 18 and 19 (also read as discrete inputs).
inline constexpr int32_t kRelay1Coil = 18;
constexpr int32_t relayCoil(int relay) {  // relay 1..2
    return kRelay1Coil + relay - 1;
}

inline constexpr int32_t kSentEmailCount = 108;
inline constexpr int32_t kEmailFlags = 109;  // 109 to 111, bit 0 of each
inline constexpr int32_t kEmailFlagRegisters = 3;
inline constexpr int32_t kFirmwareVersion = 651;  // input
inline constexpr int32_t kFileVersion = 652;      // input
// Long-format default: writing 0 here restores the module's default long
// format; needs no remote control.
inline constexpr int32_t kLongFormatDefault = 901;
inline constexpr int32_t kClock = 1015;  // 1015 to 1017: month|day, hour|year, second|minute
inline constexpr int32_t kClockRegisters = 3;
inline constexpr int32_t kDeviceId = 1019;  // input

// Channel configuration: 72 registers per channel from channel(n), n 1..30.
inline constexpr int32_t kChannelBase = 1900;
inline constexpr int32_t kChannelRegisters = 72;
inline constexpr int32_t kChannelStride = 100;
constexpr int32_t channel(int n) {
    return kChannelBase + kChannelStride * n;
}

inline constexpr int32_t kGlobalCfg = 5000;
inline constexpr int32_t kAcqCfg = 5001;  // 5001 to 5005
inline constexpr int32_t kAcqCfgRegisters = 5;
inline constexpr int32_t kComplementary1 = 5006;  // global alarm 1 masks, 8 registers
inline constexpr int32_t kComplementary2 = 5014;  // global alarm 2 masks, 8 registers
inline constexpr int32_t kComplementaryRegisters = 8;

// Memory block configuration: 16 registers per block from memBlock(b), b 1..10.
inline constexpr int32_t kMemoryBase = 5084;
inline constexpr int32_t kMemBlockRegisters = 16;
constexpr int32_t memBlock(int b) {
    return kMemoryBase + kMemBlockRegisters * b;
}

inline constexpr int32_t kMemsStatusMask = 5260;  // 4 registers
inline constexpr int32_t kMemsStatus = 5264;      // 4 registers: recording, closed, not empty, full
inline constexpr int32_t kMemsStatusRegisters = 4;
// Records held by block b (b 1..10), two registers, low word first.
inline constexpr int32_t kRecordCountBase = 5266;
constexpr int32_t recordCount(int b) {
    return kRecordCountBase + 2 * b;
}
inline constexpr int32_t kCapacity = 5288;  // two registers, low word first

inline constexpr int32_t kGlobalStatus = 6000;
inline constexpr int32_t kCyclicStatus = 6001;  // 6001 to 6105
inline constexpr int32_t kCyclicStatusRegisters = 105;
// Channel delays of the last cycle, one register per channel: chanDelay(n), n 1..30.
inline constexpr int32_t kChansDelays = 6110;
constexpr int32_t chanDelay(int n) {
    return kChansDelays + n - 1;
}
// Channel results (resolutions), one register per channel: chanRes(n), n 1..30.
inline constexpr int32_t kChanResBase = 6139;
constexpr int32_t chanRes(int n) {
    return kChanResBase + n;
}

// The command mailbox: the code and parameter count written at kCommand,
// the answer's length and words read from kAnswerLength, and the module
// error of the last refused request (input register).
inline constexpr int32_t kCommand = 44000;
inline constexpr int32_t kAnswerLength = 44001;
inline constexpr int32_t kAnswer = 44002;
inline constexpr int32_t kModuleError = 44198;

inline constexpr int32_t kExtBlock = 45000;  // module extension block, 378 registers
inline constexpr int32_t kExtBlockRegisters = 378;

}  // namespace qd40::module::reg
