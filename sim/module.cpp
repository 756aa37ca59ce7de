#include "sim/module.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <sstream>

#include "common/config/cfg_defaults.h"
#include "common/config/code_tables.h"
#include "common/dates.h"
#include "common/le_bytes.h"
#include "common/module_commands.h"
#include "common/module_constants.h"
#include "common/module_registers.h"
#include "common/raw_record.h"
#include "sim/signals.h"

namespace qd40::sim {

namespace {

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

Area areaOf(int a) {
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
bool storedArea(Area a) {
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

bool needsRemote(Area a) {
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

bool isAcquisitionConfig(Area a) {
    return a == Area::Channel || a == Area::Global || a == Area::Acq || a == Area::Compl ||
           a == Area::MemCfg;
}

// Byte offset in the full configuration record of a configuration register,
// -1 for any other register.
int cfgOffset(int a) {
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

uint16_t be16(std::span<const uint8_t> b, size_t off) {
    return uint16_t(b[off] << 8 | b[off + 1]);
}

Pdu exception(uint8_t function, uint8_t code) {
    return Pdu{uint8_t(function | 0x80), code};
}

void put16(Pdu& p, uint16_t v) {
    p.push_back(uint8_t(v >> 8));
    p.push_back(uint8_t(v));
}

RawRecord makeRecord(uint16_t word0, uint16_t word1, uint32_t payload) {
    RawRecord r{};
    le::setU16(r, 0, word0);
    le::setU16(r, 2, word1);
    le::setU32(r, 4, payload);
    return r;
}

uint16_t encodeOffset(uint32_t ms) {
    uint32_t unit = 0, count = ms;
    while (count > 0x3FFF && unit < 3) {
        count /= 10;
        ++unit;
    }
    return uint16_t(std::min<uint32_t>(count, 0x3FFF) | unit << 14);
}

}  // namespace

std::optional<uint16_t> parseVersionWord(std::string_view t) {
    if (t.size() != 4 || !std::isalpha(static_cast<unsigned char>(t[0])) || t[1] != '.' ||
        !std::isdigit(static_cast<unsigned char>(t[2])) ||
        !std::isdigit(static_cast<unsigned char>(t[3])))
        return std::nullopt;
    return uint16_t(uint8_t(t[0]) << 8 | ((t[2] - '0') * 10 + (t[3] - '0')));
}

const std::vector<Module::SetupItem>& Module::setupTable() {
    static const std::vector<SetupItem> table = {
        {0, 2},  {1, 0},  {2, 1},  {3, 0},  {4, 2},  {5, 0},  {6, 1},  {7, 0},  {8, 1},  {9, 1},
        {10, 4}, {11, 4}, {16, 4}, {17, 4}, {20, 3}, {21, 5}, {22, 5}, {23, 5}, {24, 1}, {25, 5},
        {27, 1}, {28, 1}, {30, 1}, {31, 5}, {32, 5}, {33, 4}, {34, 4}, {35, 4}, {36, 4}, {37, 4},
        {38, 4}, {39, 1}, {40, 5}, {41, 4}, {42, 4}, {43, 5}, {44, 5}, {45, 1}, {47, 3}, {48, 1},
        {49, 3}, {50, 1}, {51, 1}, {52, 3}, {53, 3}, {54, 3}, {55, 3}};
    return table;
}

int Module::setupWordCount(int type) {
    switch (type) {
        case 2:
            return 2;
        case 4:
            return 64;
        case 5:
            return 4;
        default:
            return 1;
    }
}

// ---------------------------------------------------------------------------
// Construction and factory state

Module::Module(const ModuleOptions& options, uint64_t clockMs)
    : opt_(options), hr_(65536, 0), clockOffset_(int64_t(clockMs)) {
    // Factory configuration: the defaults of a new configuration record with a
    // small demonstration programme (four channels, block 1 recording).
    cfg::FullCfgData image = cfg::defaultFullCfg();
    cfg::FullCfgView v(image);
    v.setChansToScan(0x0000000F);
    const struct {
        int function, range, connection;
        bool rjc;
    } demo[4] = {{cfg::kFctVdc, 2, cfg::kConn1Wire, false},  // 5 V
                 {cfg::kFctTc, 0, cfg::kConn1Wire, true},    // K
                 {cfg::kFctRt, 1, cfg::kConn4Wires, false},  // Pt100
                 {cfg::kFctCurrent, 0, cfg::kConn1Wire, false}};
    for (int ch = 1; ch <= 4; ++ch) {
        const cfg::ChannelCfg c = v.channel(ch);
        c.setFunction(demo[ch - 1].function);
        c.setRange(demo[ch - 1].range);
        c.setConnection(demo[ch - 1].connection);
        c.setRjc(demo[ch - 1].rjc);
    }
    // Channel 1, limit 1: high level 3 V, hysteresis 0.5 V, raising global alarm 1.
    const cfg::LimitCfg lim = v.channel(1).limit(1);
    lim.setInUse(true);
    lim.setLevel(3.0f);
    lim.setHysteresis(0.5f);
    v.setGlobalAlarmMask(1, 1, 0x1);
    v.memBlock(1).setSize(10000);
    for (int a = 0; a < 65536; ++a)
        if (const int off = cfgOffset(a); off >= 0)
            hr_[a] = le::u16(image, size_t(off));
    cfg_ = image;
    hr_[reg::kMemsStatusMask + 3] = 0x0001;
    for (int ch = 0; ch < 30; ++ch)
        hr_[reg::chanRes(ch + 1)] = 6;
    setupDefaults();
    setupStored_ = setupLive_;
    for (int i = 0; i < 4; ++i)
        emailText_[i].assign(i == 3 ? 128 : 64, 0);
    addEvent(kEventPowerOn, 0);
}

void Module::setupDefaults() {
    setupLive_.clear();
    for (const auto& it : setupTable())
        setupLive_[it.id].assign(setupWordCount(it.type), 0);
    auto text = [&](int id, std::string_view s) {
        auto& w = setupLive_[id];
        for (size_t i = 0; i < s.size() && i / 2 < w.size(); ++i)
            w[i / 2] |= uint16_t(uint8_t(s[i])) << (i % 2 ? 0 : 8);
    };
    setupLive_[0] = {9600, 0};
    setupLive_[4] = {9600, 0};
    setupLive_[1] = {1};
    setupLive_[5] = {1};
    setupLive_[21] = {192, 168, 1, 40};
    setupLive_[22] = {255, 255, 255, 0};
    setupLive_[23] = {192, 168, 1, 1};
    setupLive_[49] = {10};
    setupLive_[54] = {4};
    setupLive_[55] = {4};
    text(10, "ATZ");
    text(34, "QD40");
}

void Module::addEvent(uint16_t code, uint16_t detail) {
    if (events_.size() >= kMaxEvents) {
        events_.erase(events_.begin());
        if (eventReadPos_ > 0)
            --eventReadPos_;
    }
    events_.push_back({uint32_t(clockMs() / 1000), code, detail});
}

void Module::setClock(uint64_t ms) {
    clockOffset_ = int64_t(ms) - int64_t(uptime_);
    dirty_ = true;
}

// ---------------------------------------------------------------------------
// Request dispatch

Pdu Module::handle(int port, std::span<const uint8_t> req) {
    if (req.empty())
        return {};
    const uint8_t f = req[0];
    switch (f) {
        case 1:
        case 2:
            return readBits(req);
        case 3:
        case 4:
            return readRegisters(port, req, f == 3);
        case 5:
            return writeSingleCoil(port, req);
        case 6:
            return writeSingleRegister(port, req);
        case 15:
            return writeMultipleCoils(port, req);
        case 16:
            return writeMultipleRegisters(port, req);
        default:
            return exception(f, kIllegalFunction);
    }
}

void Module::portClosed(int port) {
    if (remote_ == port)
        remote_ = -1;
}

Pdu Module::refuse(uint8_t function, uint16_t moduleError) {
    lastError_ = moduleError;
    return exception(function, kRefusalException);
}

Pdu Module::readBits(std::span<const uint8_t> req) {
    const uint8_t f = req[0];
    if (req.size() != 5)
        return exception(f, kIllegalValue);
    const int start = be16(req, 1), qty = be16(req, 3);
    if (qty < 1 || qty > 2000)
        return exception(f, kIllegalValue);
    if (start < reg::relayCoil(1) || start + qty - 1 > reg::relayCoil(module::kRelayCount))
        return exception(f, kIllegalAddress);
    uint8_t bits = 0;
    for (int i = 0; i < qty; ++i)
        if (relayCoil_[start - reg::relayCoil(1) + i])
            bits |= uint8_t(1 << i);
    return Pdu{f, 1, bits};
}

std::optional<uint16_t> Module::inputValue(int port, int a) const {
    if (a == reg::kFirmwareVersion)
        return opt_.fwVersion;
    if (a == reg::kFileVersion)
        return opt_.fileVersion;
    if (a == reg::kDeviceId)
        return opt_.devId;
    if (a >= kMailbox && a <= kMailboxEnd) {
        if (a == kMailbox)
            return lastCode_;
        if (a == kMailbox + 1)
            return uint16_t(answer_.size());
        if (a == reg::kModuleError)
            return lastError_;
        const size_t i = size_t(a - kMailbox - 2);
        return i < answer_.size() ? answer_[i] : 0;
    }
    (void)port;
    return std::nullopt;
}

std::optional<uint16_t> Module::holdingValue(int port, int a) {
    const Area area = areaOf(a);
    if (area == Area::None)
        return std::nullopt;
    if (storedArea(area))
        return hr_[a];
    if (area == Area::Mailbox)
        return inputValue(port, a);
    if (area == Area::Clock) {
        const DateTime d = fromSeconds2000Wide(int64_t(clockMs() / 1000));
        if (a == reg::kClock)
            return uint16_t(d.month | d.day << 8);
        if (a == reg::kClock + 1)
            return uint16_t(d.hour | (d.year - 2000) << 8);
        return uint16_t(d.second | d.minute << 8);
    }
    if (a >= reg::kMemsStatus && a < reg::kMemsStatus + reg::kMemsStatusRegisters) {
        uint16_t w = 0;
        for (int b = 0; b < 10; ++b) {
            const Block& blk = blocks_[b];
            bool bit = false;
            switch (a - reg::kMemsStatus) {
                case 0:
                    bit = blk.state == BlockState::Recording;
                    break;
                case 1:
                    bit = blk.state == BlockState::Closed;
                    break;
                case 2:
                    bit = !blk.records.empty();
                    break;
                default:
                    bit = blk.full;
            }
            if (bit)
                w |= uint16_t(1 << b);
        }
        return w;
    }
    if (a >= reg::recordCount(1) && a < reg::recordCount(module::kMemoryBlockCount + 1)) {
        const int rel = a - reg::recordCount(1);
        const uint32_t n = uint32_t(blocks_[rel / 2].records.size());
        return uint16_t(rel % 2 ? n >> 16 : n);
    }
    if (a == reg::kCapacity)
        return uint16_t(opt_.capacity);
    if (a == reg::kCapacity + 1)
        return uint16_t(opt_.capacity >> 16);
    if (a == reg::kGlobalStatus)
        return statusWord(port);
    if (a >= reg::kCyclicStatus && a < reg::kCyclicStatus + reg::kCyclicStatusRegisters)
        return le::u16(cyImage_, size_t(a - reg::kCyclicStatus) * 2);
    if (a >= reg::chanDelay(1) && a <= reg::chanDelay(module::kChannelCount))
        return channelOffsetWord(a - reg::chanDelay(1) + 1);
    return std::nullopt;
}

Pdu Module::readRegisters(int port, std::span<const uint8_t> req, bool holding) {
    const uint8_t f = req[0];
    if (req.size() != 5)
        return exception(f, kIllegalValue);
    const int start = be16(req, 1), qty = be16(req, 3);
    if (qty < 1 || qty > 125)
        return exception(f, kIllegalValue);
    Pdu out;
    out.reserve(2 + 2 * size_t(qty));
    out.push_back(f);
    out.push_back(uint8_t(2 * qty));
    for (int a = start; a < start + qty; ++a) {
        const auto v = holding ? holdingValue(port, a) : inputValue(port, a);
        if (!v)
            return exception(f, kIllegalAddress);
        put16(out, *v);
    }
    if (holding) {
        // Reading the status word acknowledges the change bits; reading the
        // cycle status acknowledges the new measurements.
        if (start <= reg::kGlobalStatus && start + qty > reg::kGlobalStatus)
            latched_ = 0;
        if (start < reg::kCyclicStatus + reg::kCyclicStatusRegisters &&
            start + qty > reg::kCyclicStatus)
            meas_ = false;
    }
    return out;
}

uint16_t Module::checkRemote(int port) const {
    if (remote_ == -1)
        return err::kNotRemote;
    if (remote_ != port)
        return err::kOtherRemote;
    return 0;
}

uint16_t Module::checkRelayWrite(int port, int relay) const {
    if (uint16_t e = checkRemote(port))
        return e;
    if (!(cfg().relayModbus(relay + 1)))
        return err::kRelayNotModbus;
    return 0;
}

Pdu Module::writeSingleCoil(int port, std::span<const uint8_t> req) {
    const uint8_t f = req[0];
    if (req.size() != 5)
        return exception(f, kIllegalValue);
    const int a = be16(req, 1), v = be16(req, 3);
    if (v != 0xFF00 && v != 0)
        return exception(f, kIllegalValue);
    if (a < reg::relayCoil(1) || a > reg::relayCoil(module::kRelayCount))
        return exception(f, kIllegalAddress);
    if (refuseWrites_)
        return refuse(f, refuseWrites_);
    if (uint16_t e = checkRelayWrite(port, a - reg::relayCoil(1)))
        return refuse(f, e);
    relayCoil_[a - reg::relayCoil(1)] = v != 0;
    updateOutputs();
    return Pdu(req.begin(), req.end());
}

Pdu Module::writeMultipleCoils(int port, std::span<const uint8_t> req) {
    const uint8_t f = req[0];
    if (req.size() < 6)
        return exception(f, kIllegalValue);
    const int start = be16(req, 1), qty = be16(req, 3), bytes = req[5];
    if (qty < 1 || qty > 1968 || bytes != (qty + 7) / 8 || req.size() != size_t(6 + bytes))
        return exception(f, kIllegalValue);
    if (start < reg::relayCoil(1) || start + qty - 1 > reg::relayCoil(module::kRelayCount))
        return exception(f, kIllegalAddress);
    if (refuseWrites_)
        return refuse(f, refuseWrites_);
    for (int i = 0; i < qty; ++i)
        if (uint16_t e = checkRelayWrite(port, start - reg::relayCoil(1) + i))
            return refuse(f, e);
    for (int i = 0; i < qty; ++i)
        relayCoil_[start - reg::relayCoil(1) + i] = (req[6 + i / 8] >> (i % 8)) & 1;
    updateOutputs();
    return Pdu(req.begin(), req.begin() + 5);
}

Pdu Module::writeSingleRegister(int port, std::span<const uint8_t> req) {
    const uint8_t f = req[0];
    if (req.size() != 5)
        return exception(f, kIllegalValue);
    const uint16_t v = be16(req, 3);
    return writeRegisters(port, f, be16(req, 1), std::span<const uint16_t>(&v, 1),
                          Pdu(req.begin(), req.end()));
}

Pdu Module::writeMultipleRegisters(int port, std::span<const uint8_t> req) {
    const uint8_t f = req[0];
    if (req.size() < 6)
        return exception(f, kIllegalValue);
    const int qty = be16(req, 3), bytes = req[5];
    if (qty < 1 || qty > 123 || bytes != 2 * qty || req.size() != size_t(6 + bytes))
        return exception(f, kIllegalValue);
    std::vector<uint16_t> values(qty);
    for (int i = 0; i < qty; ++i)
        values[i] = be16(req, 6 + 2 * size_t(i));
    return writeRegisters(port, f, be16(req, 1), values, Pdu(req.begin(), req.begin() + 5));
}

Pdu Module::writeRegisters(int port, uint8_t f, uint16_t start, std::span<const uint16_t> values,
                           Pdu okAnswer) {
    const int end = start + int(values.size());
    bool remote = false, config = false, mailbox = false, clock = false, chans = false,
         mems = false;
    for (int a = start; a < end; ++a) {
        const Area area = areaOf(a);
        if (area == Area::None || area == Area::ReadOnly)
            return exception(f, kIllegalAddress);
        remote |= needsRemote(area);
        config |= isAcquisitionConfig(area);
        mailbox |= area == Area::Mailbox;
        clock |= area == Area::Clock;
        chans |= area == Area::Channel;
        mems |= area == Area::MemCfg;
    }
    if (refuseWrites_)
        return refuse(f, refuseWrites_);
    auto newValue = [&](int a) { return a >= start && a < end ? values[a - start] : hr_[a]; };
    if (remote)
        if (uint16_t e = checkRemote(port))
            return refuse(f, e);
    if (config && running_ && !configWhileRunningAllowed())
        return refuse(f, err::kMustBeStopped);
    if (chans) {
        for (int ch = 1; ch <= 30; ++ch) {
            const int a = reg::channel(ch);
            if (end <= a || start >= a + 72)
                continue;
            const uint16_t w = newValue(a);
            const int fn = w & 0xF, range = (w >> 4) & 0xF;
            if (fn > cfg::kFctContact)
                return refuse(f, err::kWrongFunction);
            if (fn != cfg::kFctNotProg && range >= cfg::rangeCount(fn))
                return refuse(f, err::kWrongRange);
        }
    }
    if (mems) {
        uint64_t sum = 0;
        for (int m = 1; m <= 10; ++m)
            sum += uint32_t(newValue(reg::memBlock(m))) | uint32_t(newValue(reg::memBlock(m) + 1))
                                                              << 16;
        if (sum > capacity())
            return refuse(f, err::kCannotAllocate);
    }
    if (clock) {
        uint16_t w[3];
        for (int i = 0; i < 3; ++i)
            w[i] = newValue(reg::kClock + i);
        if (!(start <= reg::kClock && end >= reg::kClock + reg::kClockRegisters)) {
            // A partial clock write keeps the fields it does not cover.
            for (int i = 0; i < 3; ++i)
                if (reg::kClock + i < start || reg::kClock + i >= end)
                    w[i] = *holdingValue(port, reg::kClock + i);
        }
        DateTime d;
        d.month = w[0] & 0xFF;
        d.day = w[0] >> 8;
        d.hour = w[1] & 0xFF;
        d.year = 2000 + (w[1] >> 8);
        d.second = w[2] & 0xFF;
        d.minute = w[2] >> 8;
        if (!d.isValid())
            return exception(f, kIllegalValue);
        setClock(uint64_t(toSeconds2000Wide(d)) * 1000);
        return okAnswer;
    }
    if (mailbox) {
        for (int a = start; a < end; ++a)
            cmdBuf_[a - kMailbox] = values[a - start];
        if (start == kMailbox) {
            // A block carries its parameter count at 44001; a function 16
            // write of the code alone is taken as function 6 takes it, not
            // with the count some earlier block left there.
            if (uint16_t e = execute(port, f == 16 && end > kMailbox + 1))
                return refuse(f, e);
        }
        return okAnswer;
    }
    for (int a = start; a < end; ++a)
        setReg(a, values[a - start]);
    dirty_ = true;
    if (mems) {
        // A block made smaller than its contents keeps its newest records.
        for (int m = 1; m <= 10; ++m) {
            const uint32_t size = cfg().memBlock(m).size();
            auto& recs = blocks_[m - 1].records;
            while (recs.size() > size)
                recs.pop_front();
        }
    }
    updateOutputs();
    return okAnswer;
}

// ---------------------------------------------------------------------------
// Mailbox

uint16_t Module::execute(int port, bool block) {
    const Cmd code = Cmd(cmdBuf_[0]);
    const uint16_t n = cmdBuf_[1];
    lastCode_ = cmdBuf_[0];
    answer_.clear();
    auto P = [&](int i) -> uint16_t { return i < 197 ? cmdBuf_[2 + i] : 0; };
    // The parameter count is checked only for blocks written with function 16.
    auto countIs = [&](int expected) { return !block || n == expected; };
    auto confirmed = [&](int i) { return P(i) == kConfirmWord1 && P(i + 1) == kConfirmWord2; };
    auto blockArg = [&](int& b) -> uint16_t {
        b = P(0);
        return b >= 1 && b <= 10 ? 0 : err::kWrongBlock;
    };
    int b = 0;
    switch (code) {
        case Cmd::Stop:
            if (block && n == 2) {
                // Force remote control to the sending port.
                if (!confirmed(0))
                    return err::kWrongPassword;
                remote_ = port;
                return 0;
            }
            if (!countIs(0))
                return err::kWrongParamCount;
            if (uint16_t e = checkRemote(port))
                return e;
            stopRun();
            return 0;
        case Cmd::Run:
            if (!countIs(0))
                return err::kWrongParamCount;
            if (uint16_t e = checkRemote(port))
                return e;
            return startRun(-1);
        case Cmd::Trig:
            if (!countIs(0))
                return err::kWrongParamCount;
            if (uint16_t e = checkRemote(port))
                return e;
            return trigger();
        case Cmd::Remote:
            if (!countIs(0))
                return err::kWrongParamCount;
            if (remote_ != -1 && remote_ != port)
                return err::kOtherRemote;
            remote_ = port;
            return 0;
        case Cmd::Local:
            if (!countIs(0))
                return err::kWrongParamCount;
            if (remote_ == port)
                remote_ = -1;
            else if (remote_ != -1)
                return err::kOtherRemote;
            return 0;
        case Cmd::MemRun:
        case Cmd::MemStop:
        case Cmd::MemTrig:
        case Cmd::MemStore:
        case Cmd::MemClear: {
            if (!countIs(1))
                return err::kWrongParamCount;
            if (uint16_t e = checkRemote(port))
                return e;
            if (uint16_t e = blockArg(b))
                return e;
            Block& blk = blocks_[b - 1];
            const uint32_t size = cfg().memBlock(b).size();
            const uint16_t opening = cfg().memBlock(b).openingWord();
            const uint16_t closing = cfg().memBlock(b).closingWord();
            switch (code) {
                case Cmd::MemRun:
                    if (size == 0)
                        return err::kBlockNotProgrammed;
                    if (!blk.records.empty() && !(opening & 0x4000))
                        return err::kNotReopenable;
                    if (blk.state == BlockState::Recording)
                        return 0;
                    blk.state = BlockState::Armed;
                    if (acqOpen_ && (opening & 0xF) <= 1)
                        openBlock(b);
                    return 0;
                case Cmd::MemStop:
                    if (blk.state == BlockState::Recording || blk.state == BlockState::Armed)
                        closeBlock(b);
                    return 0;
                case Cmd::MemTrig:
                    if (blk.state == BlockState::Armed) {
                        openBlock(b);
                        return 0;
                    }
                    if (blk.state != BlockState::Recording)
                        return err::kBlockNotRunning;
                    if (blk.closingCountdown < 0 && (closing & 0xF) != 0)
                        blk.closingCountdown = cfg().memBlock(b).closingDelayCycles();
                    if (cfg().memBlock(b).recordOnTrig() && cycleCount_ > 0)
                        recordCycle(b);
                    return 0;
                case Cmd::MemStore:
                    if (blk.state != BlockState::Recording)
                        return err::kBlockNotRunning;
                    if (cycleCount_ > 0)
                        recordCycle(b);
                    return 0;
                default:
                    blk.records.clear();
                    blk.full = false;
                    if (blk.state == BlockState::Closed)
                        blk.state = BlockState::Idle;
                    return 0;
            }
        }
        case Cmd::ReadRecords: {
            if (!countIs(4))
                return err::kWrongParamCount;
            if (uint16_t e = blockArg(b))
                return e;
            return readRecords(b, uint32_t(P(1)) | uint32_t(P(2)) << 16, P(3));
        }
        case Cmd::BoardInit:
            if (!countIs(2))
                return err::kWrongParamCount;
            if (uint16_t e = checkRemote(port))
                return e;
            if (!confirmed(0))
                return err::kWrongPassword;
            if (running_)
                return err::kMustBeStopped;
            boardInit();
            return 0;
        case Cmd::EventCount:
            if (!countIs(0))
                return err::kWrongParamCount;
            eventReadPos_ = 0;
            setAnswer({uint16_t(events_.size())});
            return 0;
        case Cmd::ReadEvents: {
            if (!countIs(1))
                return err::kWrongParamCount;
            const uint16_t qty = P(0);
            if (qty > 48)
                return err::kQuantityTooHigh;
            std::vector<uint16_t> words;
            for (uint16_t i = 0; i < qty && eventReadPos_ < events_.size(); ++i) {
                const ModuleEvent& e = events_[eventReadPos_++];
                words.insert(words.end(),
                             {uint16_t(e.seconds), uint16_t(e.seconds >> 16), e.code, e.detail});
            }
            setAnswer(std::move(words));
            return 0;
        }
        case Cmd::ClearEvents:
            if (!countIs(0))
                return err::kWrongParamCount;
            events_.clear();
            eventReadPos_ = 0;
            return 0;
        case Cmd::ReadSetupItem:
            if (!countIs(1))
                return err::kWrongParamCount;
            return setupRead(P(0));
        case Cmd::WriteSetupItem: {
            if (uint16_t e = checkRemote(port))
                return e;
            const uint16_t count = std::min<uint16_t>(n, 197);
            return setupWrite(std::span<const uint16_t>(cmdBuf_).subspan(2, count));
        }
        case Cmd::StoreSetup:
            if (!countIs(2))
                return err::kWrongParamCount;
            if (uint16_t e = checkRemote(port))
                return e;
            if (!confirmed(0))
                return err::kWrongPassword;
            setupStored_ = setupLive_;
            dirty_ = true;
            return 0;
        case Cmd::WriteEmailText: {
            const uint16_t index = P(0);
            if (index > 3)
                return err::kWrongParamCount;
            const int words = index == 3 ? 128 : 64;
            if (!countIs(words + 1))
                return err::kWrongParamCount;
            if (uint16_t e = checkRemote(port))
                return e;
            emailText_[index].assign(cmdBuf_.begin() + 3, cmdBuf_.begin() + 3 + words);
            dirty_ = true;
            return 0;
        }
        case Cmd::ReadEmailText: {
            if (!countIs(1))
                return err::kWrongParamCount;
            const uint16_t index = P(0);
            if (index > 3)
                return err::kWrongParamCount;
            setAnswer(emailText_[index]);
            return 0;
        }
        case Cmd::RunWithOption:
            if (!countIs(1))
                return err::kWrongParamCount;
            if (uint16_t e = checkRemote(port))
                return e;
            if (P(0) > 2)
                return err::kWrongParamCount;
            return startRun(P(0));
        case Cmd::SetupDefaults:
            if (!countIs(2))
                return err::kWrongParamCount;
            if (uint16_t e = checkRemote(port))
                return e;
            if (!confirmed(0))
                return err::kWrongPassword;
            setupDefaults();
            setupStored_ = setupLive_;
            dirty_ = true;
            return 0;
        case Cmd::ReInitEmail:
            if (!countIs(0))
                return err::kWrongParamCount;
            if (uint16_t e = checkRemote(port))
                return e;
            for (bool& l : emailLatch_)
                l = false;
            return 0;
        case Cmd::RemoveRecords: {
            if (!countIs(3))
                return err::kWrongParamCount;
            if (uint16_t e = blockArg(b))
                return e;
            const uint32_t qty = uint32_t(P(1)) | uint32_t(P(2)) << 16;
            Block& blk = blocks_[b - 1];
            const size_t k = std::min<size_t>(qty, blk.records.size());
            blk.records.erase(blk.records.begin(), blk.records.begin() + ptrdiff_t(k));
            if (k > 0)
                blk.full = false;
            return 0;
        }
        default:
            return err::kUnknownCommand;
    }
}

uint16_t Module::readRecords(int b, uint32_t first, uint32_t qty) {
    if (qty > 49)
        return err::kQuantityTooHigh;
    const Block& blk = blocks_[b - 1];
    if (blk.state == BlockState::Recording)
        return err::kRunningBlock;
    if (blk.records.empty())
        return err::kEmptyBlock;
    if (first == 0)
        first = 1;
    std::vector<uint16_t> words;
    for (uint64_t i = first - 1; i < blk.records.size() && i < uint64_t(first - 1) + qty; ++i) {
        const RawRecord& r = blk.records[size_t(i)];
        for (int w = 0; w < 4; ++w)
            words.push_back(le::u16(r, 2 * size_t(w)));
    }
    setAnswer(std::move(words));
    return 0;
}

uint16_t Module::setupRead(int id) {
    auto it = setupLive_.find(id);
    if (it == setupLive_.end())
        return err::kUnknownSetupItem;
    setAnswer(it->second);
    return 0;
}

uint16_t Module::setupWrite(std::span<const uint16_t> p) {
    if (p.size() < 3)
        return err::kWrongParamCount;
    if (p[0] != kConfirmWord1 || p[1] != kConfirmWord2)
        return err::kWrongPassword;
    auto it = setupLive_.find(p[2]);
    if (it == setupLive_.end())
        return err::kUnknownSetupItem;
    if (p.size() != 3 + it->second.size())
        return err::kWrongParamCount;
    std::copy(p.begin() + 3, p.end(), it->second.begin());
    return 0;
}

void Module::boardInit() {
    for (Block& blk : blocks_)
        blk = Block{};
    addEvent(kEventInitialising, 0);
}

// ---------------------------------------------------------------------------
// Configuration decoding

void Module::setReg(int addr, uint16_t v) {
    hr_[addr] = v;
    if (const int off = cfgOffset(addr); off >= 0)
        le::setU16(cfg_, size_t(off), v);
}

uint32_t Module::periodMs() const {
    const uint32_t ms = uint32_t(cfg().acqPeriod()) * cfg::periodUnitMs(cfg().periodUnit());
    return std::max<uint32_t>(ms, 1);
}

bool Module::programmed(int ch) const {
    const int fn = cfg().channel(ch).function();
    return fn != 0;
}

uint32_t Module::measuringMs(int ch) const {
    static constexpr uint32_t bySpeed[4] = {100, 40, 20, 20};
    return bySpeed[cfg().channel(ch).speed()] + cfg().channel(ch).delayMs();
}

uint16_t Module::channelOffsetWord(int ch) const {
    const uint32_t scan = scanMask();
    if (!(scan & (1u << (ch - 1))) || !programmed(ch))
        return 0;
    uint32_t ms = 0;
    for (int c = 1; c <= ch; ++c)
        if ((scan & (1u << (c - 1))) && programmed(c))
            ms += measuringMs(c);
    return encodeOffset(ms);
}

bool Module::configWhileRunningAllowed() const {
    auto it = setupLive_.find(50);
    return it != setupLive_.end() && it->second[0] != 0;
}

uint16_t Module::statusWord(int port) const {
    uint16_t w = 0;
    const int mode = cfg().execMode();
    if (running_)
        w |= status::mask(status::kRun);
    if (waiting_)
        w |= status::mask(status::kWai);
    if (acqOpen_ && mode <= 2)
        w |= status::mask(status::kAcq);
    if (meas_)
        w |= status::mask(status::kMeas);
    if (std::any_of(events_.begin(), events_.end(), [](const ModuleEvent& e) {
            const int kind = e.code >> 12;
            return kind < 1 || kind > 3;
        }))
        w |= status::mask(status::kEvt);
    if (errorMask_)
        w |= status::mask(status::kCher);
    w |= latched_;
    uint16_t memStatus[4] = {0, 0, 0, 0};
    for (int b = 0; b < 10; ++b) {
        const Block& blk = blocks_[b];
        if (blk.state == BlockState::Recording)
            memStatus[0] |= uint16_t(1 << b);
        if (blk.state == BlockState::Closed)
            memStatus[1] |= uint16_t(1 << b);
        if (!blk.records.empty())
            memStatus[2] |= uint16_t(1 << b);
        if (blk.full)
            memStatus[3] |= uint16_t(1 << b);
    }
    for (int i = 0; i < 4; ++i)
        if (memStatus[i] & reg(reg::kMemsStatusMask + i))
            w |= status::mask(status::kGmsr);
    if (alg_[0])
        w |= status::mask(status::kAlg1);
    if (alg_[1])
        w |= status::mask(status::kAlg2);
    if (remote_ != -1)
        w |= status::mask(status::kRem);
    if (remote_ != -1 && remote_ == port)
        w |= status::mask(status::kRemp);
    return w;
}

uint32_t Module::recordCount(int block) const {
    return uint32_t(blocks_[block - 1].records.size());
}

const std::deque<RawRecord>& Module::records(int block) const {
    return blocks_[block - 1].records;
}

void Module::setChannelFailure(int channel, int16_t code) {
    if (channel >= 1 && channel <= 30)
        failure_[channel - 1] = code;
}

// ---------------------------------------------------------------------------
// Acquisition

uint16_t Module::startRun(int option) {
    if (running_)
        return 0;
    for (int b = 1; b <= 10; ++b) {
        const Block& blk = blocks_[b - 1];
        if (cfg().memBlock(b).size() && !blk.records.empty() && !(cfg().memBlock(b).reopenable()) &&
            option < 0)
            return err::kNotReopenable;
    }
    for (int b = 1; b <= 10; ++b) {
        Block& blk = blocks_[b - 1];
        if (cfg().memBlock(b).size() == 0)
            continue;
        const bool reopenable = cfg().memBlock(b).reopenable();
        if (!blk.records.empty() && !reopenable) {
            if (option == 2)
                continue;
            if (option == 0) {
                blk.records.clear();
                blk.full = false;
            }
        }
        blk.state = BlockState::Armed;
    }
    running_ = true;
    cycleCount_ = 0;
    if ((cfg().acqOpening()) == 0)
        openAcquisition();
    else
        waiting_ = true;
    return 0;
}

void Module::openAcquisition() {
    acqOpen_ = true;
    const int mode = cfg().execMode();
    waiting_ = mode > 2;
    nextCycle_ = mode <= 2 ? uptime_ : UINT64_MAX;
    for (int b = 1; b <= 10; ++b)
        if (blocks_[b - 1].state == BlockState::Armed && cfg().memBlock(b).openingCondition() <= 1)
            openBlock(b);
}

void Module::stopRun() {
    running_ = acqOpen_ = waiting_ = false;
    nextCycle_ = UINT64_MAX;
    for (int b = 1; b <= 10; ++b) {
        Block& blk = blocks_[b - 1];
        if (blk.state == BlockState::Recording)
            blk.state = BlockState::Closed;
        if (blk.state == BlockState::Armed)
            blk.state = BlockState::Idle;
    }
}

uint16_t Module::trigger() {
    if (!running_)
        return 45;  // "RUN command must have been sent"
    if (!acqOpen_) {
        openAcquisition();
        return 0;
    }
    const int mode = cfg().execMode();
    if (mode >= 3)
        runCycle();
    else if (mode == 2)
        nextCycle_ = uptime_;
    // The trigger also stands for the TRIG input seen by the memory blocks.
    for (int b = 1; b <= 10; ++b) {
        Block& blk = blocks_[b - 1];
        const int opening = cfg().memBlock(b).openingCondition();
        const int closing = cfg().memBlock(b).closingEvent();
        if (blk.state == BlockState::Armed && (opening == 2 || opening == 3))
            openBlock(b);
        else if (blk.state == BlockState::Recording) {
            if ((closing == 2 || closing == 3) && blk.closingCountdown < 0)
                blk.closingCountdown = cfg().memBlock(b).closingDelayCycles();
            if (cfg().memBlock(b).recordOnTrig() && cycleCount_ > 0)
                recordCycle(b);
        }
    }
    return 0;
}

uint64_t Module::nextCycleUptimeMs() const {
    return nextCycle_;
}

void Module::advance(uint64_t target) {
    int guard = 0;
    while (nextCycle_ != UINT64_MAX && nextCycle_ <= target) {
        uptime_ = std::max(uptime_, nextCycle_);
        runCycle();
        if (nextCycle_ == UINT64_MAX)
            break;
        nextCycle_ += periodMs();
        if (++guard >= 5000) {
            // Far behind (huge time scale): skip the backlog rather than spin.
            nextCycle_ = std::max(nextCycle_, target + 1);
            break;
        }
    }
    uptime_ = std::max(uptime_, target);
}

void Module::runCycle() {
    cycleClockMs_ = clockMs();
    ++cycleCount_;
    const uint32_t scan = scanMask();
    uint32_t offset = 0;
    const uint32_t oldErrors = errorMask_;
    errorMask_ = 0;
    for (int c = 1; c <= 30; ++c) {
        Channel& chan = ch_[c - 1];
        const cfg::ConstChannelCfg cc = cfg().channel(c);
        if (!(scan & (1u << (c - 1))) || !programmed(c)) {
            chan.measured = false;
            chan.value = 0;
            chan.error = 0;
            continue;
        }
        offset += measuringMs(c);
        chan.measured = true;
        chan.error = 0;
        const double t = double(cycleClockMs_ + offset) / 1000.0;
        std::optional<double> v;
        int16_t code = failure_[c - 1];
        if (code == 0) {
            v = synthValue(c, cc.function(), cc.range(), t);
            // Linearisation through the channel's points; outside them, errors 11 and 12.
            const int points = cc.linCount();
            if (points >= cfg::kMinLinPoints && points <= cfg::kMaxLinPoints) {
                if (*v < cc.linPoint(0).x)
                    code = 11;
                else if (*v > cc.linPoint(points - 1).x)
                    code = 12;
                else {
                    for (int i = 0; i + 1 < points; ++i) {
                        const cfg::LinPoint a = cc.linPoint(i), b = cc.linPoint(i + 1);
                        if (*v <= b.x) {
                            v = b.x == a.x ? a.y : a.y + (b.y - a.y) * (*v - a.x) / (b.x - a.x);
                            break;
                        }
                    }
                }
            }
        }
        if (code != 0) {
            chan.error = code;
            chan.value = cc.defaultValue();
            errorMask_ |= 1u << (c - 1);
            if (!(oldErrors & (1u << (c - 1))))
                addEvent(uint16_t(kEventChannelError | (uint16_t(code) & 0xFFF)), uint16_t(c));
        } else {
            chan.value = float(*v);
        }
    }
    if (errorMask_ != oldErrors)
        latched_ |= status::mask(status::kCherc);
    evaluateLimits();
    updateOutputs();

    // Cycle status image.
    cyImage_.fill(0);
    le::setU16(cyImage_, 0, uint16_t(cycleClockMs_ % 1000));
    le::setU32(cyImage_, 2, uint32_t(cycleClockMs_ / 1000));
    le::setU32(cyImage_, 10, errorMask_);
    for (int k = 0; k < 4; ++k)
        le::setU32(cyImage_, 14 + 4 * size_t(k), alarmMask_[k]);
    for (int c = 0; c < 30; ++c) {
        le::setF32(cyImage_, 30 + 4 * size_t(c), ch_[c].value);
        le::setI16(cyImage_, 150 + 2 * size_t(c), ch_[c].error);
    }
    meas_ = true;

    // Memory blocks.
    for (int b = 1; b <= 10; ++b) {
        Block& blk = blocks_[b - 1];
        const cfg::ConstMemBlockCfg mb = cfg().memBlock(b);
        if (blk.state == BlockState::Armed && acqOpen_) {
            const int cond = mb.openingCondition();
            if (cond <= cfg::kOpenAcquisition ||
                (cond >= cfg::kAlarmAtLeastOne && cond <= cfg::kAlarmNone &&
                 alarmCondition(mb.openingWord(), mb.openingChans())))
                openBlock(b);
        }
        if (blk.state != BlockState::Recording)
            continue;
        const uint32_t n = std::max<uint32_t>(mb.everyN(), 1);
        bool record = mb.recordEvery() && blk.cyclesSinceOpen % n == 0;
        for (int k = 0; k < 4; ++k)
            if ((mb.recordAlarmLimits() & (1u << k)) && (changedAlarmMask_[k] & mb.chansToRecord()))
                record = true;
        if (record)
            recordCycle(b);
        if (blk.state != BlockState::Recording)
            continue;
        const int ev = mb.closingEvent();
        if (blk.closingCountdown < 0 && ev >= cfg::kAlarmAtLeastOne && ev <= cfg::kAlarmNone &&
            alarmCondition(mb.closingWord(), mb.closingChans()))
            blk.closingCountdown = mb.closingDelayCycles();
        if (blk.closingCountdown == 0)
            closeBlock(b);
        else if (blk.closingCountdown > 0)
            --blk.closingCountdown;
        ++blk.cyclesSinceOpen;
    }
}

void Module::evaluateLimits() {
    std::array<uint32_t, 4> mask{}, changed{};
    for (int c = 1; c <= 30; ++c) {
        Channel& chan = ch_[c - 1];
        const cfg::ConstChannelCfg cc = cfg().channel(c);
        for (int k = 0; k < 4; ++k) {
            Limit& lim = chan.limits[k];
            const bool before = lim.alarm;
            const cfg::ConstLimitCfg lc = cc.limit(k + 1);
            if (!chan.measured || !lc.inUse()) {
                lim.alarm = false;
                lim.count = 0;
            } else if (chan.error == 0) {
                const float level = lc.level();
                const float hyst = lc.hysteresis();
                const bool high = lc.high();
                const uint32_t needed = std::max<uint32_t>(lc.counter(), 1);
                const float v = chan.value;
                if (!lim.alarm) {
                    if (high ? v > level : v < level) {
                        if (++lim.count >= needed)
                            lim.alarm = true;
                    } else {
                        lim.count = 0;
                    }
                } else if (high ? v < level - hyst : v > level + hyst) {
                    lim.alarm = false;
                    lim.count = 0;
                }
            }
            if (lim.alarm)
                mask[k] |= 1u << (c - 1);
            if (lim.alarm != before)
                changed[k] |= 1u << (c - 1);
        }
    }
    alarmMask_ = mask;
    changedAlarmMask_ = changed;
    for (int k = 0; k < 4; ++k)
        if (changed[k])
            latched_ |= status::mask(status::Bit(status::kAl1c + k));
}

bool Module::alarmCondition(uint16_t word, uint32_t mask) const {
    const int limits = (word >> 4) & 0xF;
    mask &= 0x3FFFFFFF;
    uint32_t inAlarm = 0;
    for (int k = 0; k < 4; ++k)
        if (limits & (1 << k))
            inAlarm |= alarmMask_[k];
    switch (word & 0xF) {
        case 4:
            return (inAlarm & mask) != 0;
        case 5:
            return mask != 0 && (inAlarm & mask) == mask;
        case 6:
            return (~inAlarm & mask) != 0;
        case 7:
            return (inAlarm & mask) == 0;
        default:
            return false;
    }
}

void Module::updateOutputs() {
    for (int g = 0; g < 2; ++g) {
        bool on = false;
        for (int k = 0; k < 4; ++k)
            on |= (alarmMask_[k] & cfg().globalAlarmMask(g + 1, k + 1)) != 0;
        alg_[g] = on;
    }
    // A relay not left to MODBUS follows its global alarm.
    for (int r = 0; r < 2; ++r) {
        if (!cfg().relayModbus(r + 1))
            relayCoil_[r] = alg_[r];
    }
    // E-mail alerter: each enabled condition sends once until re-initialised.
    const bool conds[3] = {alg_[0], alg_[1], (statusWord(-2) & (1 << 11)) != 0};
    for (int i = 0; i < 3; ++i) {
        if (conds[i] && (reg(109 + i) & 1) && !emailLatch_[i]) {
            emailLatch_[i] = true;
            hr_[108] = uint16_t(hr_[108] + 1);
            dirty_ = true;
        }
    }
}

void Module::openBlock(int b) {
    Block& blk = blocks_[b - 1];
    if (cfg().memBlock(b).emptyOnOpening()) {
        blk.records.clear();
        blk.full = false;
    }
    blk.state = BlockState::Recording;
    blk.cyclesSinceOpen = 0;
    blk.closingCountdown = cfg().memBlock(b).closingEvent() == 1
                               ? int64_t(cfg().memBlock(b).closingDelayCycles())
                               : -1;
}

void Module::closeBlock(int b) {
    Block& blk = blocks_[b - 1];
    const bool wasRecording = blk.state == BlockState::Recording;
    blk.state = wasRecording ? BlockState::Closed : BlockState::Idle;
    blk.closingCountdown = -1;
    const int next = cfg().memBlock(b).nextBlock();
    if (wasRecording && running_ && next >= 1 && next <= 10 && next != b &&
        cfg().memBlock(next).size() > 0) {
        Block& nb = blocks_[next - 1];
        const bool reopenable = cfg().memBlock(next).reopenable();
        if (nb.state != BlockState::Recording && (nb.records.empty() || reopenable))
            openBlock(next);
    }
}

std::vector<RawRecord> Module::cycleRecords(uint32_t channelMask) const {
    std::vector<RawRecord> recs;
    recs.push_back(makeRecord(0, uint16_t(cycleClockMs_ % 1000), uint32_t(cycleClockMs_ / 1000)));
    for (int c = 1; c <= 30; ++c) {
        const Channel& chan = ch_[c - 1];
        if (!chan.measured || !(channelMask & (1u << (c - 1))))
            continue;
        uint16_t flags = uint16_t(c);
        for (int k = 0; k < 4; ++k)
            if (chan.limits[k].alarm)
                flags |= uint16_t(0x100 << k);
        const uint16_t offset = channelOffsetWord(c);
        if (chan.error)
            recs.push_back(makeRecord(recordTypeBits(RecordType::MeasurementError) | flags, offset,
                                      uint32_t(int32_t(chan.error))));
        else
            recs.push_back(makeRecord(recordTypeBits(RecordType::Measurement) | flags, offset,
                                      std::bit_cast<uint32_t>(chan.value)));
    }
    return recs;
}

void Module::recordCycle(int b) {
    appendRecords(b, cycleRecords(cfg().memBlock(b).chansToRecord()));
}

void Module::appendRecords(int b, const std::vector<RawRecord>& cycle) {
    Block& blk = blocks_[b - 1];
    const uint32_t size = cfg().memBlock(b).size();
    if (size == 0)
        return;
    if (cfg().memBlock(b).closeOnFull()) {
        // Closes when full.
        for (const RawRecord& r : cycle) {
            if (blk.records.size() >= size)
                break;
            blk.records.push_back(r);
        }
        if (blk.records.size() >= size) {
            blk.full = true;
            closeBlock(b);
        }
        return;
    }
    // Circular: the oldest whole cycles make room for the new one.
    const size_t keep = std::min<size_t>(cycle.size(), size);
    while (!blk.records.empty() && blk.records.size() + keep > size) {
        blk.records.pop_front();
        while (!blk.records.empty() && (le::u16(blk.records.front(), 0) >> 14) != 0)
            blk.records.pop_front();
        blk.full = true;
    }
    blk.records.insert(blk.records.end(), cycle.end() - ptrdiff_t(keep), cycle.end());
    if (blk.records.size() >= size)
        blk.full = true;
}

bool Module::preload(int b, uint32_t count, std::string& error) {
    if (b < 1 || b > 10) {
        error = "block must be 1 to 10";
        return false;
    }
    uint64_t others = 0;
    for (int m = 1; m <= 10; ++m)
        if (m != b)
            others += cfg().memBlock(m).size();
    uint32_t size = cfg().memBlock(b).size();
    if (size < count) {
        if (others + count > capacity()) {
            error = "the block cannot hold " + std::to_string(count) +
                    " records within the storage capacity";
            return false;
        }
        size = count;
        setReg(reg::memBlock(b), uint16_t(size));
        setReg(reg::memBlock(b) + 1, uint16_t(size >> 16));
        dirty_ = true;
    }
    Block& blk = blocks_[b - 1];
    blk = Block{};
    const uint32_t mask = cfg().memBlock(b).chansToRecord() & scanMask();
    uint32_t perCycle = 1;
    for (int c = 1; c <= 30; ++c)
        if ((mask & (1u << (c - 1))) && programmed(c))
            ++perCycle;
    const uint64_t cycles = (count + perCycle - 1) / perCycle;
    const uint64_t period = periodMs();
    const uint64_t now = clockMs();
    uint64_t t = now > cycles * period ? now - cycles * period : 0;
    while (blk.records.size() < count) {
        blk.records.push_back(makeRecord(0, uint16_t(t % 1000), uint32_t(t / 1000)));
        uint32_t offset = 0;
        for (int c = 1; c <= 30 && blk.records.size() < count; ++c) {
            if (!(scanMask() & (1u << (c - 1))) || !programmed(c))
                continue;
            offset += measuringMs(c);
            if (!(mask & (1u << (c - 1))))
                continue;
            const cfg::ConstChannelCfg cc = cfg().channel(c);
            const float v =
                float(synthValue(c, cc.function(), cc.range(), double(t + offset) / 1000.0));
            blk.records.push_back(makeRecord(uint16_t(recordTypeBits(RecordType::Measurement) | c),
                                             encodeOffset(offset), std::bit_cast<uint32_t>(v)));
        }
        t += period;
    }
    blk.state = BlockState::Closed;
    blk.full = blk.records.size() >= size;
    return true;
}

// ---------------------------------------------------------------------------
// Permanent memory

namespace {

void appendWords(std::ostringstream& out, const char* tag, int key,
                 std::span<const uint16_t> words) {
    out << tag << ' ' << key;
    char buf[8];
    for (uint16_t w : words) {
        std::snprintf(buf, sizeof buf, " %04X", w);
        out << buf;
    }
    out << '\n';
}

}  // namespace

std::string Module::saveState(uint64_t unixMs) const {
    std::ostringstream out;
    out << "qd40sim-state 1\n";
    out << "clock " << clockMs() << ' ' << unixMs << '\n';
    for (int a = 0; a < 65536;) {
        if (!storedArea(areaOf(a))) {
            ++a;
            continue;
        }
        int e = a;
        while (e < 65536 && e - a < 16 && storedArea(areaOf(e)))
            ++e;
        appendWords(out, "holding", a, std::span<const uint16_t>(hr_).subspan(a, e - a));
        a = e;
    }
    for (const auto& [id, words] : setupStored_)
        appendWords(out, "setup", id, words);
    for (int i = 0; i < 4; ++i)
        appendWords(out, "email", i, emailText_[i]);
    return out.str();
}

bool Module::loadState(std::string_view text, uint64_t unixMs, std::string& error) {
    std::istringstream in{std::string(text)};
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        std::istringstream ls(line);
        std::string tag;
        if (!(ls >> tag) || tag[0] == '#' || tag == "qd40sim-state")
            continue;
        auto fail = [&](const std::string& what) {
            error = "line " + std::to_string(lineNo) + ": " + what;
            return false;
        };
        if (tag == "clock") {
            uint64_t clock = 0, savedUnix = 0;
            if (!(ls >> clock >> savedUnix))
                return fail("clock needs two numbers");
            const uint64_t elapsed = unixMs > savedUnix ? unixMs - savedUnix : 0;
            setClock(clock + elapsed);
            continue;
        }
        long key = 0;
        if (!(ls >> key))
            return fail("missing address or identifier");
        std::vector<uint16_t> words;
        std::string w;
        while (ls >> w) {
            char* end = nullptr;
            const unsigned long v = std::strtoul(w.c_str(), &end, 16);
            if (*end != '\0' || v > 0xFFFF)
                return fail("bad word '" + w + "'");
            words.push_back(uint16_t(v));
        }
        if (tag == "holding") {
            for (size_t i = 0; i < words.size(); ++i)
                if (key < 0 || key + long(i) > 65535 || !storedArea(areaOf(int(key + long(i)))))
                    return fail("register " + std::to_string(key + long(i)) +
                                " is not kept in permanent memory");
            for (size_t i = 0; i < words.size(); ++i)
                setReg(int(key + long(i)), words[i]);
        } else if (tag == "setup") {
            auto it = setupStored_.find(int(key));
            if (it == setupStored_.end())
                return fail("unknown SETUP item");
            if (words.size() != it->second.size())
                return fail("wrong word count for SETUP item");
            it->second = words;
            setupLive_[int(key)] = words;
        } else if (tag == "email") {
            if (key < 0 || key > 3 || words.size() != emailText_[key].size())
                return fail("bad e-mail text");
            emailText_[key] = words;
        } else {
            return fail("unknown entry '" + tag + "'");
        }
    }
    updateOutputs();
    return true;
}

}  // namespace qd40::sim
