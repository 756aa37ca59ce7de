// The register map of a Qd40 module as both sides of the conversation use
// it: the server that reads and writes it and the simulator that answers.
// Holding registers unless noted; coils and input registers share numbers.
#pragma once
#include <cstdint>

namespace qd40::module::reg {

inline constexpr int32_t kRelay1Coil = 18;
inline constexpr int32_t kSentEmailCount = 108;
inline constexpr int32_t kEmailFlags = 109;
inline constexpr int32_t kFirmwareVersion = 651;
inline constexpr int32_t kFileVersion = 652;
inline constexpr int32_t kLongFormatDefault = 901;
inline constexpr int32_t kClock = 1015;
inline constexpr int32_t kDeviceId = 1019;
inline constexpr int32_t kChannelBase = 1900;  // + 100 x channel
inline constexpr int32_t kGlobalCfg = 5000;
inline constexpr int32_t kAcqCfg = 5001;
inline constexpr int32_t kComplementary1 = 5006;
inline constexpr int32_t kComplementary2 = 5014;
inline constexpr int32_t kMemoryBase = 5084;  // + 16 x block
inline constexpr int32_t kMemsStatusMask = 5260;
inline constexpr int32_t kMemsStatus = 5264;
inline constexpr int32_t kRecordCountBase = 5266;  // + 2 x block
inline constexpr int32_t kCapacity = 5288;
inline constexpr int32_t kGlobalStatus = 6000;
inline constexpr int32_t kCyclicStatus = 6001;
inline constexpr int32_t kChansDelays = 6110;
inline constexpr int32_t kChanResBase = 6139;  // + channel
inline constexpr int32_t kCommand = 44000;
inline constexpr int32_t kAnswerLength = 44001;
inline constexpr int32_t kAnswer = 44002;
inline constexpr int32_t kModuleError = 44198;
inline constexpr int32_t kExtBlock = 45000;  // module extension block, 378 registers
inline constexpr int32_t kExtBlockRegisters = 378;

}  // namespace qd40::module::reg
