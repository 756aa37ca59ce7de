// The module extension block as the control keeps it in the module: its
// register image (each register two consecutive bytes of the block, low byte
// first), how a block or identity is written, and whether one read back may
// be trusted.
#pragma once
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "common/config/cfg_layout.h"
#include "common/module_registers.h"
#include "common/version_text.h"

namespace qd40::cfg {

inline constexpr uint16_t kExtBlockRegister = module::reg::kExtBlock;
inline constexpr uint16_t kExtBlockRegisters = kModuleExtBlockSize / 2;  // 378
static_assert(kExtBlockRegisters == module::reg::kExtBlockRegisters);
inline constexpr uint16_t kCfgIdentityRegisters = kCfgIdentitySize / 2;  // 24

// Register words of a block of bytes (even size), and the bytes of registers.
std::vector<uint16_t> bytesToRegisters(std::span<const uint8_t> bytes);
std::vector<uint8_t> registersToBytes(std::span<const uint16_t> regs);

// The block the control of version `writer` stores: its text, its version and `ext`.
ModuleExtBlockData makeModuleExtBlock(const FileVersion& writer, ConstQd40ExtCfg ext);
// The 48-byte identity: text, version, configuration name (ANSI) and time.
CfgIdentityData makeCfgIdentity(const FileVersion& writer, std::string_view name, uint32_t time);
// True when the identity was written by the control ("OvixQd40Ctl") of a
// version not above `own`.
bool isTrustedIdentity(ConstCfgIdentity id, const FileVersion& own);

}  // namespace qd40::cfg
