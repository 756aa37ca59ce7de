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
#include "sim/module_detail.h"
#include "sim/signals.h"

namespace qd40::sim {

using namespace detail;

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

}  // namespace qd40::sim
