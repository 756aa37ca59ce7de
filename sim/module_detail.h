// What the parts of the simulated module share: the register areas of the
// holding map and the small codecs of requests and records.
#pragma once
#include <algorithm>
#include <cstdint>
#include <span>

#include "common/le_bytes.h"
#include "common/module_commands.h"
#include "common/module_constants.h"
#include "common/module_registers.h"
#include "common/raw_record.h"
#include "sim/module.h"

namespace qd40::sim::detail {

using qd40::module::Cmd;
using qd40::module::kConfirmWord1;
using qd40::module::kConfirmWord2;
using qd40::module::kRefusalException;
using qd40::module::RecordType;
using qd40::module::recordTypeBits;

namespace reg = qd40::module::reg;
namespace status = qd40::module::status;

constexpr int kMailbox = reg::kCommand;
constexpr int kMailboxEnd = reg::kModuleError;  // last register of the mailbox view
constexpr int kExtBlock = reg::kExtBlock;
constexpr int kExtBlockWords = reg::kExtBlockRegisters;
constexpr int kMaxAnswer = 196;
constexpr size_t kMaxEvents = 1000;

// Register areas of the holding map.
enum class Area {
    None,
    EmailCount,
    EmailFlags,
    LongFormat,
    Clock,
    Channel,
    Global,
    Acq,
    Compl,
    MemCfg,
    Masks,
    ReadOnly,
    Results,
    Mailbox,
    Ext,
};

inline Area areaOf(int a) {
    if (a == reg::kSentEmailCount)
        return Area::EmailCount;
    if (a >= reg::kEmailFlags && a <= reg::kEmailFlags + 2)
        return Area::EmailFlags;
    if (a == reg::kLongFormatDefault)
        return Area::LongFormat;
    if (a >= reg::kClock && a <= reg::kClock + 2)
        return Area::Clock;
    if (a >= reg::channel(1) && a < reg::kGlobalCfg)
        return (a - reg::channel(1)) % reg::kChannelStride < reg::kChannelRegisters ? Area::Channel
                                                                                    : Area::None;
    if (a == reg::kGlobalCfg)
        return Area::Global;
    if (a >= reg::kAcqCfg && a < reg::kAcqCfg + reg::kAcqCfgRegisters)
        return Area::Acq;
    if (a >= reg::kComplementary1 && a < reg::kComplementary2 + reg::kComplementaryRegisters)
        return Area::Compl;
    if (a >= reg::memBlock(1) && a < reg::memBlock(module::kMemoryBlockCount + 1))
        return Area::MemCfg;
    if (a >= reg::kMemsStatusMask && a < reg::kMemsStatus)
        return Area::Masks;
    if (a >= reg::kMemsStatus && a <= reg::kCapacity + 1)
        return Area::ReadOnly;
    if (a >= reg::kGlobalStatus && a < reg::kCyclicStatus + reg::kCyclicStatusRegisters)
        return Area::ReadOnly;
    if (a >= reg::chanDelay(1) && a <= reg::chanDelay(module::kChannelCount))
        return Area::ReadOnly;
    if (a >= reg::chanRes(1) && a <= reg::chanRes(module::kChannelCount))
        return Area::Results;
    if (a >= kMailbox && a <= kMailboxEnd)
        return Area::Mailbox;
    if (a >= kExtBlock && a < kExtBlock + kExtBlockWords)
        return Area::Ext;
    return Area::None;
}

// Areas kept in permanent memory, as stored registers.
inline bool storedArea(Area a) {
    switch (a) {
        case Area::EmailCount:
        case Area::EmailFlags:
        case Area::LongFormat:
        case Area::Channel:
        case Area::Global:
        case Area::Acq:
        case Area::Compl:
        case Area::MemCfg:
        case Area::Masks:
        case Area::Results:
        case Area::Ext:
            return true;
        default:
            return false;
    }
}

inline bool needsRemote(Area a) {
    switch (a) {
        case Area::Clock:
        case Area::Channel:
        case Area::Global:
        case Area::Acq:
        case Area::Compl:
        case Area::MemCfg:
        case Area::Masks:
        case Area::Results:
        case Area::Ext:
            return true;
        default:
            return false;
    }
}

inline bool isAcquisitionConfig(Area a) {
    return a == Area::Channel || a == Area::Global || a == Area::Acq || a == Area::Compl ||
           a == Area::MemCfg;
}

// Byte offset in the full configuration record of a configuration register,
// -1 for any other register.
inline int cfgOffset(int a) {
    switch (areaOf(a)) {
        case Area::Global:
            return 0;
        case Area::Acq:
            return 2 + 2 * (a - reg::kAcqCfg);
        case Area::Channel: {
            const int rel = a - reg::channel(1);
            return 12 + 144 * (rel / reg::kChannelStride) + 2 * (rel % reg::kChannelStride);
        }
        case Area::MemCfg:
            return 4332 + 2 * (a - reg::memBlock(1));
        case Area::Compl:
            return 4652 + 2 * (a - reg::kComplementary1);
        default:
            break;
    }
    return -1;
}

inline uint16_t be16(std::span<const uint8_t> b, size_t off) {
    return uint16_t(b[off] << 8 | b[off + 1]);
}

inline Pdu exception(uint8_t function, uint8_t code) {
    return Pdu{uint8_t(function | 0x80), code};
}

inline void put16(Pdu& p, uint16_t v) {
    p.push_back(uint8_t(v >> 8));
    p.push_back(uint8_t(v));
}

inline RawRecord makeRecord(uint16_t word0, uint16_t word1, uint32_t payload) {
    RawRecord r{};
    le::setU16(r, 0, word0);
    le::setU16(r, 2, word1);
    le::setU32(r, 4, payload);
    return r;
}

inline uint16_t encodeOffset(uint32_t ms) {
    uint32_t unit = 0, count = ms;
    while (count > 0x3FFF && unit < 3) {
        count /= 10;
        ++unit;
    }
    return uint16_t(std::min<uint32_t>(count, 0x3FFF) | unit << 14);
}

}  // namespace qd40::sim::detail
