// Typed views over the module configuration blobs. Every view references a
// byte array of the blob's exact size and offers a getter and a setter per
// named field and bit field, so that no other code computes an offset. Setters
// change only their own bits: reserved bits and bytes stay as they came.
//
// Each view is a template over the byte type: `XxxCfg` edits the bytes,
// `ConstXxxCfg` only reads them. Views are cheap to copy, like std::span.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "common/le_bytes.h"

namespace qd40::cfg {

// Blob sizes.
inline constexpr size_t kFullCfgSize = 4684;
inline constexpr size_t kChansResCfgSize = 60;
inline constexpr size_t kEmailCfgSize = 642;
inline constexpr size_t kMemsStatusMaskCfgSize = 8;
inline constexpr size_t kQd40ExtCfgSize = 730;
inline constexpr size_t kChansExtCfgSize = 690;
inline constexpr size_t kModuleExtBlockSize = 756;
inline constexpr size_t kCfgIdentitySize = 48;
// Records inside the full configuration record.
inline constexpr size_t kChannelCfgSize = 144;
inline constexpr size_t kMemBlockCfgSize = 32;
inline constexpr size_t kLimitCfgSize = 10;

inline constexpr int kChannels = 30;
inline constexpr int kMemBlocks = 10;
inline constexpr int kLimits = 4;
inline constexpr int kGlobalAlarms = 2;
inline constexpr int kMaxLinPoints = 11;
inline constexpr int kMinLinPoints = 2;
// Mask of every channel (bits 0 to 29).
inline constexpr uint32_t kAllChannelsMask = 0x3FFFFFFF;
// The largest finite float: a default value of "MAX".
inline constexpr float kMaxFloat = 3.4028235e38f;
inline constexpr uint32_t kMaxFloatBits = 0x7F7FFFFF;
// Text sizes, NUL included.
inline constexpr size_t kMnemonicSize = 17;
inline constexpr size_t kUnitSize = 6;
inline constexpr size_t kCfgNameSize = 18;
inline constexpr size_t kRecipientSize = 128;
inline constexpr size_t kEmailMessageSize = 256;
// The writer's text at the head of the module extension block.
inline constexpr std::string_view kExtBlockText = "OvixQd40Ctl";

// Owning storage of each blob.
using FullCfgData = std::array<uint8_t, kFullCfgSize>;
using ChansResCfgData = std::array<uint8_t, kChansResCfgSize>;
using EmailCfgData = std::array<uint8_t, kEmailCfgSize>;
using MemsStatusMaskCfgData = std::array<uint8_t, kMemsStatusMaskCfgSize>;
using Qd40ExtCfgData = std::array<uint8_t, kQd40ExtCfgSize>;
using ChansExtCfgData = std::array<uint8_t, kChansExtCfgSize>;
using ModuleExtBlockData = std::array<uint8_t, kModuleExtBlockSize>;
using CfgIdentityData = std::array<uint8_t, kCfgIdentitySize>;

// Channel functions, connections and speeds (codes of the channel flags).
enum Function : int {
    kFctNotProg = 0,
    kFctVdc = 1,
    kFctVac = 2,
    kFctOhm = 3,
    kFctCurrent = 4,
    kFctRt = 5,
    kFctTc = 6,
    kFctContact = 7,
};
enum Connection : int { kConn1Wire = 0, kConn2Wires = 1, kConn3Wires = 2, kConn4Wires = 3 };
enum Speed : int { kSpeedHighSlow = 0, kSpeedIntermediate = 1, kSpeedLowFast = 2 };
// Period unit codes of the acquisition word.
enum PeriodUnit : int { kUnit1ms = 0, kUnit10ms = 1, kUnit100ms = 2, kUnit1s = 3 };
// When an auxiliary measurement is made.
enum Schedule : int { kSchedAtOpening = 0, kSchedAcqPeriod = 1, kSchedAuxPeriod = 2 };
// Opening conditions, closing events and the alarm conditions they share.
enum OpeningCondition : int {
    kOpenNone = 0,
    kOpenAcquisition = 1,
    kOpenTrigRising = 2,
    kOpenTrigFalling = 3,
};
enum ClosingEvent : int {
    kCloseNone = 0,
    kCloseStorageOpening = 1,
    kCloseTrigRising = 2,
    kCloseTrigFalling = 3,
};
enum AlarmCondition : int {
    kAlarmAtLeastOne = 4,
    kAlarmAll = 5,
    kAlarmAtLeastOneWithout = 6,
    kAlarmNone = 7,
};
// Words of MemsStatusMaskCfg.
enum MemoryEvent : int {
    kEvtBlockOpening = 0,
    kEvtEndCondition = 1,
    kEvtRecordsAvailable = 2,
    kEvtFullBlock = 3,
};

namespace detail {

constexpr unsigned getBits(uint32_t word, unsigned shift, unsigned width) {
    return (word >> shift) & ((1u << width) - 1u);
}
template <class W>
constexpr W putBits(W word, unsigned shift, unsigned width, unsigned value) {
    const uint32_t mask = ((1u << width) - 1u) << shift;
    return static_cast<W>((uint32_t(word) & ~mask) | ((uint32_t(value) << shift) & mask));
}

// The common part of every view: the referenced bytes and typed access.
template <class Byte, size_t N>
class View {
public:
    static constexpr size_t kSize = N;
    static constexpr bool kMutable = !std::is_const_v<Byte>;

    // The span must hold exactly the blob's size.
    explicit View(std::span<Byte> bytes) : b_(checked(bytes)) {}
    // An editing view converts to a reading view of the same bytes.
    template <class Other>
    requires(std::is_const_v<Byte>&& std::is_same_v<const Other, Byte>)
        View(const View<Other, N>& other)
        : b_(other.bytes()) {}

    std::span<Byte, N> bytes() const { return b_; }

protected:
    static std::span<Byte, N> checked(std::span<Byte> bytes) {
        if (bytes.size() != N)
            throw std::length_error("configuration blob of the wrong size");
        return std::span<Byte, N>(bytes.data(), N);
    }
    std::span<const uint8_t> in() const { return b_; }
    std::span<uint8_t> out() const requires kMutable { return b_; }
    template <size_t M>
    std::span<Byte> sub(size_t off) const {
        return std::span<Byte>(b_.data() + off, M);
    }

    uint16_t u16(size_t off) const { return le::u16(in(), off); }
    uint32_t u32(size_t off) const { return le::u32(in(), off); }
    float f32(size_t off) const { return le::f32(in(), off); }
    std::string text(size_t off, size_t size) const { return le::text(in(), off, size); }
    unsigned bits16(size_t off, unsigned shift, unsigned width) const {
        return getBits(u16(off), shift, width);
    }
    void setU16(size_t off, uint16_t v) const requires kMutable { le::setU16(out(), off, v); }
    void setU32(size_t off, uint32_t v) const requires kMutable { le::setU32(out(), off, v); }
    void setF32(size_t off, float v) const requires kMutable { le::setF32(out(), off, v); }
    bool setText(size_t off, size_t size, std::string_view v) const requires kMutable {
        return le::setText(out(), off, size, v);
    }
    void setBits16(size_t off, unsigned shift, unsigned width, unsigned v) const requires kMutable {
        setU16(off, putBits<uint16_t>(u16(off), shift, width, v));
    }

    std::span<Byte, N> b_;
};

}  // namespace detail

// Limit record (10 bytes).
template <class Byte>
class BasicLimitCfg : public detail::View<Byte, kLimitCfgSize> {
    using Base = detail::View<Byte, kLimitCfgSize>;

public:
    using Base::Base;
    uint16_t flags() const { return this->u16(0); }
    void setFlags(uint16_t v) const { this->setU16(0, v); }
    // Bits 0-7: alarm counter (0 to 255).
    unsigned counter() const { return this->bits16(0, 0, 8); }
    void setCounter(unsigned v) const { this->setBits16(0, 0, 8, v); }
    // Bit 8: "High" when set, "Low" when clear.
    bool high() const { return this->bits16(0, 8, 1); }
    void setHigh(bool v) const { this->setBits16(0, 8, 1, v); }
    // Bit 9: the limit is in use.
    bool inUse() const { return this->bits16(0, 9, 1); }
    void setInUse(bool v) const { this->setBits16(0, 9, 1, v); }
    float level() const { return this->f32(2); }
    void setLevel(float v) const { this->setF32(2, v); }
    float hysteresis() const { return this->f32(6); }
    void setHysteresis(float v) const { this->setF32(6, v); }
};
using LimitCfg = BasicLimitCfg<uint8_t>;
using ConstLimitCfg = BasicLimitCfg<const uint8_t>;

struct LinPoint {
    float x = 0;
    float y = 0;
    bool operator==(const LinPoint&) const = default;
};

// Channel record (144 bytes).
template <class Byte>
class BasicChannelCfg : public detail::View<Byte, kChannelCfgSize> {
    using Base = detail::View<Byte, kChannelCfgSize>;

public:
    using Base::Base;
    uint16_t flags() const { return this->u16(0); }
    void setFlags(uint16_t v) const { this->setU16(0, v); }
    // Bits 0-3: function code.
    int function() const { return int(this->bits16(0, 0, 4)); }
    void setFunction(int v) const { this->setBits16(0, 0, 4, unsigned(v)); }
    // Bits 4-7: range index within the function's range list.
    int range() const { return int(this->bits16(0, 4, 4)); }
    void setRange(int v) const { this->setBits16(0, 4, 4, unsigned(v)); }
    // Bits 8-9: connection code.
    int connection() const { return int(this->bits16(0, 8, 2)); }
    void setConnection(int v) const { this->setBits16(0, 8, 2, unsigned(v)); }
    // Bit 10: cut-off test ("Tests").
    bool cutOffTest() const { return this->bits16(0, 10, 1); }
    void setCutOffTest(bool v) const { this->setBits16(0, 10, 1, v); }
    // Bit 11: reference junction compensation ("RJC").
    bool rjc() const { return this->bits16(0, 11, 1); }
    void setRjc(bool v) const { this->setBits16(0, 11, 1, v); }
    // Bits 12-13: speed code.
    int speed() const { return int(this->bits16(0, 12, 2)); }
    void setSpeed(int v) const { this->setBits16(0, 12, 2, unsigned(v)); }

    // Measurement delay in ms, added to the measuring time.
    uint16_t delayMs() const { return this->u16(2); }
    void setDelayMs(uint16_t v) const { this->setU16(2, v); }
    float defaultValue() const { return this->f32(4); }
    void setDefaultValue(float v) const { this->setF32(4, v); }
    // True when the default value is exactly the largest float ("MAX").
    bool defaultValueIsMax() const { return this->u32(4) == kMaxFloatBits; }

    // Limit k of 1 to 4.
    BasicLimitCfg<Byte> limit(int k) const {
        checkIndex(k, 1, kLimits);
        return BasicLimitCfg<Byte>(this->template sub<kLimitCfgSize>(8 + kLimitCfgSize * (k - 1)));
    }

    // Relative dead band in hundredths of a percent (0 to 10000).
    uint16_t deadBandRel() const { return this->u16(48); }
    void setDeadBandRel(uint16_t v) const { this->setU16(48, v); }
    // Number of linearisation points: 0, or 2 to 11.
    uint16_t linCount() const { return this->u16(50); }
    void setLinCount(uint16_t v) const { this->setU16(50, v); }
    // Linearisation point i of 0 to 10 (only the first linCount() are used).
    LinPoint linPoint(int i) const {
        checkIndex(i, 0, kMaxLinPoints - 1);
        return {this->f32(52 + 8 * i), this->f32(56 + 8 * i)};
    }
    void setLinPoint(int i, LinPoint p) const {
        checkIndex(i, 0, kMaxLinPoints - 1);
        this->setF32(52 + 8 * i, p.x);
        this->setF32(56 + 8 * i, p.y);
    }
    // The points in use: the first min(linCount(), 11).
    std::vector<LinPoint> linPoints() const {
        std::vector<LinPoint> pts;
        const int n = linCount() < kMaxLinPoints ? linCount() : kMaxLinPoints;
        for (int i = 0; i < n; ++i)
            pts.push_back(linPoint(i));
        return pts;
    }
    // Stores the points (at most 11) and their count; the unused entries become zero.
    void setLinPoints(std::span<const LinPoint> pts) const {
        if (pts.size() > size_t(kMaxLinPoints))
            throw std::length_error("too many points");
        for (int i = 0; i < kMaxLinPoints; ++i)
            setLinPoint(i, size_t(i) < pts.size() ? pts[i] : LinPoint{});
        setLinCount(static_cast<uint16_t>(pts.size()));
    }
    // Absolute dead band (0 or more).
    float deadBandAbs() const { return this->f32(140); }
    void setDeadBandAbs(float v) const { this->setF32(140, v); }

private:
    static void checkIndex(int v, int lo, int hi) {
        if (v < lo || v > hi)
            throw std::out_of_range("configuration index out of range");
    }
};
using ChannelCfg = BasicChannelCfg<uint8_t>;
using ConstChannelCfg = BasicChannelCfg<const uint8_t>;

// Memory block record (32 bytes).
template <class Byte>
class BasicMemBlockCfg : public detail::View<Byte, kMemBlockCfgSize> {
    using Base = detail::View<Byte, kMemBlockCfgSize>;

public:
    using Base::Base;
    // Size, in records.
    uint32_t size() const { return this->u32(0); }
    void setSize(uint32_t v) const { this->setU32(0, v); }
    static constexpr size_t kChansToRecordOffset = 4;
    uint32_t chansToRecord() const { return this->u32(kChansToRecordOffset); }
    void setChansToRecord(uint32_t v) const { this->setU32(kChansToRecordOffset, v); }

    uint16_t openingWord() const { return this->u16(8); }
    void setOpeningWord(uint16_t v) const { this->setU16(8, v); }
    // Bits 0-3: opening condition (OpeningCondition or AlarmCondition).
    int openingCondition() const { return int(this->bits16(8, 0, 4)); }
    void setOpeningCondition(int v) const { this->setBits16(8, 0, 4, unsigned(v)); }
    // Bits 4-7: limits 1 to 4 considered by the alarm condition (bit 0 = limit 1).
    unsigned openingLimits() const { return this->bits16(8, 4, 4); }
    void setOpeningLimits(unsigned v) const { this->setBits16(8, 4, 4, v); }
    // Bit 14: "Re-Openable".
    bool reopenable() const { return this->bits16(8, 14, 1); }
    void setReopenable(bool v) const { this->setBits16(8, 14, 1, v); }
    // Bit 15: "Do empty when Opening".
    bool emptyOnOpening() const { return this->bits16(8, 15, 1); }
    void setEmptyOnOpening(bool v) const { this->setBits16(8, 15, 1, v); }
    // Channels considered by the opening alarm condition (an unaligned u32).
    uint32_t openingChans() const { return this->u32(10); }
    void setOpeningChans(uint32_t v) const { this->setU32(10, v); }

    uint16_t closingWord() const { return this->u16(14); }
    void setClosingWord(uint16_t v) const { this->setU16(14, v); }
    // Bits 0-3: closing event (ClosingEvent or AlarmCondition).
    int closingEvent() const { return int(this->bits16(14, 0, 4)); }
    void setClosingEvent(int v) const { this->setBits16(14, 0, 4, unsigned(v)); }
    unsigned closingLimits() const { return this->bits16(14, 4, 4); }
    void setClosingLimits(unsigned v) const { this->setBits16(14, 4, 4, v); }
    // Bit 15: close on "Full Block".
    bool closeOnFull() const { return this->bits16(14, 15, 1); }
    void setCloseOnFull(bool v) const { this->setBits16(14, 15, 1, v); }
    uint32_t closingChans() const { return this->u32(16); }
    void setClosingChans(uint32_t v) const { this->setU32(16, v); }
    // Acquisition cycles between the closing event and the closing.
    uint32_t closingDelayCycles() const { return this->u32(20); }
    void setClosingDelayCycles(uint32_t v) const { this->setU32(20, v); }
    // Block to open when this one closes: 1 to 10, 0 = none.
    uint16_t nextBlock() const { return this->u16(24); }
    void setNextBlock(uint16_t v) const { this->setU16(24, v); }

    uint16_t recordingWord() const { return this->u16(26); }
    void setRecordingWord(uint16_t v) const { this->setU16(26, v); }
    // Bit 0: "Compacting".
    bool compacting() const { return this->bits16(26, 0, 1); }
    void setCompacting(bool v) const { this->setBits16(26, 0, 1, v); }
    // Bit 1: record on "TRIG Input (0->1)".
    bool recordOnTrig() const { return this->bits16(26, 1, 1); }
    void setRecordOnTrig(bool v) const { this->setBits16(26, 1, 1, v); }
    // Bit 2: set whenever any alarm bit (4-7) is set.
    bool recordOnAlarm() const { return this->bits16(26, 2, 1); }
    void setRecordOnAlarm(bool v) const { this->setBits16(26, 2, 1, v); }
    // Bit 3: record "Every" N acquisition cycles.
    bool recordEvery() const { return this->bits16(26, 3, 1); }
    void setRecordEvery(bool v) const { this->setBits16(26, 3, 1, v); }
    // Bits 4-7: record when the alarm of limit 1 to 4 appears or disappears.
    unsigned recordAlarmLimits() const { return this->bits16(26, 4, 4); }
    // Sets bits 4-7 and keeps bit 2 in step with them.
    void setRecordAlarmLimits(unsigned v) const {
        this->setBits16(26, 4, 4, v);
        setRecordOnAlarm((v & 0xF) != 0);
    }
    // N of "Every N acquisition cycles" (0 is shown as 1).
    uint32_t everyN() const { return this->u32(28); }
    void setEveryN(uint32_t v) const { this->setU32(28, v); }
};
using MemBlockCfg = BasicMemBlockCfg<uint8_t>;
using ConstMemBlockCfg = BasicMemBlockCfg<const uint8_t>;

// Full configuration record (4684 bytes).
template <class Byte>
class BasicFullCfgView : public detail::View<Byte, kFullCfgSize> {
    using Base = detail::View<Byte, kFullCfgSize>;

public:
    using Base::Base;
    // The acquisition words (acquisition word, channels to scan, acquisition
    // and auxiliary periods) stand together before the channels.
    static constexpr size_t kAcqWordsOffset = 2;
    static constexpr size_t kChannelsOffset = 12;
    static constexpr size_t kAcqWordsSize = kChannelsOffset - kAcqWordsOffset;
    static constexpr size_t kMemBlocksOffset = 4332;
    static constexpr size_t kGlobalAlarm1Offset = 4652;
    static constexpr size_t kGlobalAlarm2Offset = 4668;

    uint16_t globalWord() const { return this->u16(0); }
    void setGlobalWord(uint16_t v) const { this->setU16(0, v); }
    // Bit 0: external TRIG input "Reverse" (set) or "Direct".
    bool trigReverse() const { return this->bits16(0, 0, 1); }
    void setTrigReverse(bool v) const { this->setBits16(0, 0, 1, v); }
    // Bits 1-2: relay r control "Reverse" (set) or "Direct".
    bool relayReverse(int r) const { return this->bits16(0, relayBit(r, 1), 1); }
    void setRelayReverse(int r, bool v) const { this->setBits16(0, relayBit(r, 1), 1, v); }
    // Bits 3-4: relay r driven over MODBUS (set) or by global alarm r.
    bool relayModbus(int r) const { return this->bits16(0, relayBit(r, 3), 1); }
    void setRelayModbus(int r, bool v) const { this->setBits16(0, relayBit(r, 3), 1, v); }
    // Bit 5: external reference junction (set) or internal.
    bool externalRefJunction() const { return this->bits16(0, 5, 1); }
    void setExternalRefJunction(bool v) const { this->setBits16(0, 5, 1, v); }

    uint16_t acqWord() const { return this->u16(2); }
    void setAcqWord(uint16_t v) const { this->setU16(2, v); }
    // Bits 0-2: execution mode (0 to 4).
    int execMode() const { return int(this->bits16(2, 0, 3)); }
    void setExecMode(int v) const { this->setBits16(2, 0, 3, unsigned(v)); }
    // Bits 3-4: acquisition opening (0 to 2).
    int acqOpening() const { return int(this->bits16(2, 3, 2)); }
    void setAcqOpening(int v) const { this->setBits16(2, 3, 2, unsigned(v)); }
    // Bits 5-7: period unit (PeriodUnit; other values count as 1 ms).
    int periodUnit() const { return int(this->bits16(2, 5, 3)); }
    void setPeriodUnit(int v) const { this->setBits16(2, 5, 3, unsigned(v)); }
    // Bits 8-9, 10-11, 12-13: schedules of the auxiliary measurements.
    int refJunctionSchedule() const { return int(this->bits16(2, 8, 2)); }
    void setRefJunctionSchedule(int v) const { this->setBits16(2, 8, 2, unsigned(v)); }
    int lineResSchedule() const { return int(this->bits16(2, 10, 2)); }
    void setLineResSchedule(int v) const { this->setBits16(2, 10, 2, unsigned(v)); }
    int cutOffSchedule() const { return int(this->bits16(2, 12, 2)); }
    void setCutOffSchedule(int v) const { this->setBits16(2, 12, 2, unsigned(v)); }

    uint32_t chansToScan() const { return this->u32(4); }
    void setChansToScan(uint32_t v) const { this->setU32(4, v); }
    bool scanned(int n) const { return n >= 1 && n <= kChannels && (chansToScan() >> (n - 1)) & 1; }
    // Counts in period units.
    uint16_t acqPeriod() const { return this->u16(8); }
    void setAcqPeriod(uint16_t v) const { this->setU16(8, v); }
    uint16_t auxPeriod() const { return this->u16(10); }
    void setAuxPeriod(uint16_t v) const { this->setU16(10, v); }

    // Channel n of 1 to 30.
    BasicChannelCfg<Byte> channel(int n) const {
        checkIndex(n, 1, kChannels);
        return BasicChannelCfg<Byte>(
            this->template sub<kChannelCfgSize>(kChannelsOffset + kChannelCfgSize * (n - 1)));
    }
    // Memory block b of 1 to 10.
    BasicMemBlockCfg<Byte> memBlock(int b) const {
        checkIndex(b, 1, kMemBlocks);
        return BasicMemBlockCfg<Byte>(
            this->template sub<kMemBlockCfgSize>(kMemBlocksOffset + kMemBlockCfgSize * (b - 1)));
    }
    // Mask of limit k (1 to 4) of global alarm g (1 or 2): bit n-1 for channel n.
    uint32_t globalAlarmMask(int g, int k) const { return this->u32(maskOffset(g, k)); }
    void setGlobalAlarmMask(int g, int k, uint32_t v) const { this->setU32(maskOffset(g, k), v); }

private:
    static void checkIndex(int v, int lo, int hi) {
        if (v < lo || v > hi)
            throw std::out_of_range("configuration index out of range");
    }
    static unsigned relayBit(int r, unsigned first) {
        checkIndex(r, 1, 2);
        return first + unsigned(r - 1);
    }
    static size_t maskOffset(int g, int k) {
        checkIndex(g, 1, kGlobalAlarms);
        checkIndex(k, 1, kLimits);
        return (g == 1 ? kGlobalAlarm1Offset : kGlobalAlarm2Offset) + 4 * size_t(k - 1);
    }
};
using FullCfgView = BasicFullCfgView<uint8_t>;
using ConstFullCfgView = BasicFullCfgView<const uint8_t>;

// Channel resolutions (60 bytes): decimals 0 to 5, or 6 for "Auto".
template <class Byte>
class BasicChansResCfg : public detail::View<Byte, kChansResCfgSize> {
    using Base = detail::View<Byte, kChansResCfgSize>;

public:
    using Base::Base;
    static constexpr uint16_t kAuto = 6;
    // The stored word of channel n (1 to 30).
    uint16_t resol(int n) const { return this->u16(offset(n)); }
    void setResol(int n, uint16_t v) const { this->setU16(offset(n), v); }
    // The decimals shown: values above 6 read as 6.
    uint16_t shownResol(int n) const { return resol(n) > kAuto ? kAuto : resol(n); }

private:
    static size_t offset(int n) {
        if (n < 1 || n > kChannels)
            throw std::out_of_range("channel out of range");
        return 2 * size_t(n - 1);
    }
};
using ChansResCfg = BasicChansResCfg<uint8_t>;
using ConstChansResCfg = BasicChansResCfg<const uint8_t>;

// E-mail configuration (642 bytes).
template <class Byte>
class BasicEmailCfg : public detail::View<Byte, kEmailCfgSize> {
    using Base = detail::View<Byte, kEmailCfgSize>;

public:
    using Base::Base;
    // Recipient address i of 1 to 3 (ANSI text, at most 127 characters).
    std::string recipient(int i) const { return this->text(offset(i), kRecipientSize); }
    bool setRecipient(int i, std::string_view v) const {
        return this->setText(offset(i), kRecipientSize, v);
    }
    // "Text of the generic message sent" (at most 255 characters).
    std::string message() const { return this->text(384, kEmailMessageSize); }
    bool setMessage(std::string_view v) const { return this->setText(384, kEmailMessageSize, v); }
    uint16_t conditions() const { return this->u16(640); }
    void setConditions(uint16_t v) const { this->setU16(640, v); }
    // Bits 0-1: "On Global Alarm 1" / "On Global Alarm 2".
    bool onGlobalAlarm(int g) const { return this->bits16(640, alarmBit(g), 1); }
    void setOnGlobalAlarm(int g, bool v) const { this->setBits16(640, alarmBit(g), 1, v); }
    // Bit 2: "On Memory Event signaled into Status Register".
    bool onMemoryEvent() const { return this->bits16(640, 2, 1); }
    void setOnMemoryEvent(bool v) const { this->setBits16(640, 2, 1, v); }

private:
    static size_t offset(int i) {
        if (i < 1 || i > 3)
            throw std::out_of_range("recipient out of range");
        return kRecipientSize * size_t(i - 1);
    }
    static unsigned alarmBit(int g) {
        if (g < 1 || g > kGlobalAlarms)
            throw std::out_of_range("global alarm out of range");
        return unsigned(g - 1);
    }
};
using EmailCfg = BasicEmailCfg<uint8_t>;
using ConstEmailCfg = BasicEmailCfg<const uint8_t>;

// Memory status masks (8 bytes): per memory event, bit b-1 for block b.
template <class Byte>
class BasicMemsStatusMaskCfg : public detail::View<Byte, kMemsStatusMaskCfgSize> {
    using Base = detail::View<Byte, kMemsStatusMaskCfgSize>;

public:
    using Base::Base;
    // Word of event e (MemoryEvent, 0 to 3).
    uint16_t mask(int e) const { return this->u16(offset(e)); }
    void setMask(int e, uint16_t v) const { this->setU16(offset(e), v); }
    bool signals(int e, int block) const { return (mask(e) >> blockBit(block)) & 1; }
    void setSignals(int e, int block, bool v) const {
        this->setBits16(offset(e), blockBit(block), 1, v);
    }

private:
    static size_t offset(int e) {
        if (e < 0 || e > 3)
            throw std::out_of_range("memory event out of range");
        return 2 * size_t(e);
    }
    static unsigned blockBit(int b) {
        if (b < 1 || b > kMemBlocks)
            throw std::out_of_range("memory block out of range");
        return unsigned(b - 1);
    }
};
using MemsStatusMaskCfg = BasicMemsStatusMaskCfg<uint8_t>;
using ConstMemsStatusMaskCfg = BasicMemsStatusMaskCfg<const uint8_t>;

// Channel texts (690 bytes): per channel a mnemonic (17 bytes) and a unit (6 bytes).
template <class Byte>
class BasicChansExtCfg : public detail::View<Byte, kChansExtCfgSize> {
    using Base = detail::View<Byte, kChansExtCfgSize>;

public:
    using Base::Base;
    static constexpr size_t kPerChannel = 23;
    // ANSI texts; a mnemonic keeps at most 16 characters, a unit 5. The
    // setters return false when the text had to be cut.
    std::string mnemonic(int n) const { return this->text(offset(n), kMnemonicSize); }
    bool setMnemonic(int n, std::string_view v) const {
        return this->setText(offset(n), kMnemonicSize, v);
    }
    std::string unit(int n) const { return this->text(offset(n) + kMnemonicSize, kUnitSize); }
    bool setUnit(int n, std::string_view v) const {
        return this->setText(offset(n) + kMnemonicSize, kUnitSize, v);
    }

private:
    static size_t offset(int n) {
        if (n < 1 || n > kChannels)
            throw std::out_of_range("channel out of range");
        return kPerChannel * size_t(n - 1);
    }
};
using ChansExtCfg = BasicChansExtCfg<uint8_t>;
using ConstChansExtCfg = BasicChansExtCfg<const uint8_t>;

// Extension configuration (730 bytes).
template <class Byte>
class BasicQd40ExtCfg : public detail::View<Byte, kQd40ExtCfgSize> {
    using Base = detail::View<Byte, kQd40ExtCfgSize>;

public:
    using Base::Base;
    static constexpr size_t kChansExtOffset = 39;
    // Configuration name, as given to SendCfgFileIdn (at most 17 characters).
    std::string cfgName() const { return this->text(0, kCfgNameSize); }
    bool setCfgName(std::string_view v) const { return this->setText(0, kCfgNameSize, v); }
    // Time value given with that name.
    uint32_t cfgTime() const { return this->u32(18); }
    void setCfgTime(uint32_t v) const { this->setU32(18, v); }
    std::string moduleMnemonic() const { return this->text(22, kMnemonicSize); }
    bool setModuleMnemonic(std::string_view v) const { return this->setText(22, kMnemonicSize, v); }
    // The channel texts part (bytes 39 to 728).
    BasicChansExtCfg<Byte> chansExt() const {
        return BasicChansExtCfg<Byte>(this->template sub<kChansExtCfgSize>(kChansExtOffset));
    }
    std::string chanMnemonic(int n) const { return chansExt().mnemonic(n); }
    bool setChanMnemonic(int n, std::string_view v) const { return chansExt().setMnemonic(n, v); }
    std::string chanUnit(int n) const { return chansExt().unit(n); }
    bool setChanUnit(int n, std::string_view v) const { return chansExt().setUnit(n, v); }
    // Byte 729: carried unchanged.
    uint8_t lastByte() const { return this->b_[729]; }
    void setLastByte(uint8_t v) const requires Base::kMutable { this->b_[729] = v; }
};
using Qd40ExtCfg = BasicQd40ExtCfg<uint8_t>;
using ConstQd40ExtCfg = BasicQd40ExtCfg<const uint8_t>;

// Configuration identity (48 bytes): the head of the module extension block.
template <class Byte>
class BasicCfgIdentity : public detail::View<Byte, kCfgIdentitySize> {
    using Base = detail::View<Byte, kCfgIdentitySize>;

public:
    using Base::Base;
    // The writer's text, "OvixQd40Ctl" when the block was written by the control.
    std::string writerText() const { return this->text(0, 18); }
    bool setWriterText(std::string_view v) const { return this->setText(0, 18, v); }
    uint32_t fileVersionMS() const { return this->u32(18); }
    void setFileVersionMS(uint32_t v) const { this->setU32(18, v); }
    uint32_t fileVersionLS() const { return this->u32(22); }
    void setFileVersionLS(uint32_t v) const { this->setU32(22, v); }
    std::string cfgName() const { return this->text(26, kCfgNameSize); }
    bool setCfgName(std::string_view v) const { return this->setText(26, kCfgNameSize, v); }
    uint32_t cfgTime() const { return this->u32(44); }
    void setCfgTime(uint32_t v) const { this->setU32(44, v); }
};
using CfgIdentity = BasicCfgIdentity<uint8_t>;
using ConstCfgIdentity = BasicCfgIdentity<const uint8_t>;

// Module extension block (756 bytes), kept in holding registers from 45000.
template <class Byte>
class BasicModuleExtBlock : public detail::View<Byte, kModuleExtBlockSize> {
    using Base = detail::View<Byte, kModuleExtBlockSize>;

public:
    using Base::Base;
    static constexpr size_t kExtOffset = 26;
    // The first 48 bytes, which are the configuration identity.
    BasicCfgIdentity<Byte> identity() const {
        return BasicCfgIdentity<Byte>(this->template sub<kCfgIdentitySize>(0));
    }
    std::string writerText() const { return identity().writerText(); }
    bool setWriterText(std::string_view v) const { return identity().setWriterText(v); }
    uint32_t fileVersionMS() const { return identity().fileVersionMS(); }
    void setFileVersionMS(uint32_t v) const { identity().setFileVersionMS(v); }
    uint32_t fileVersionLS() const { return identity().fileVersionLS(); }
    void setFileVersionLS(uint32_t v) const { identity().setFileVersionLS(v); }
    // The extension configuration carried in bytes 26 to 755.
    BasicQd40ExtCfg<Byte> ext() const {
        return BasicQd40ExtCfg<Byte>(this->template sub<kQd40ExtCfgSize>(kExtOffset));
    }
};
using ModuleExtBlock = BasicModuleExtBlock<uint8_t>;
using ConstModuleExtBlock = BasicModuleExtBlock<const uint8_t>;

}  // namespace qd40::cfg
