#include "sim/module.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <sstream>

#include "common/dates.h"
#include "common/le_bytes.h"
#include "common/module_constants.h"
#include "sim/signals.h"

namespace qd40::sim {

namespace {

using qd40::module::kConfirmWord1;
using qd40::module::kConfirmWord2;
using qd40::module::kErrorCodeRegister;
using qd40::module::kRefusalException;

constexpr int kMailbox = 44000;
constexpr int kMailboxEnd = 44198;  // last register of the mailbox view
constexpr int kExtBlock = 45000;
constexpr int kExtBlockWords = 378;
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
    if (a == 108)
        return Area::EmailCount;
    if (a >= 109 && a <= 111)
        return Area::EmailFlags;
    if (a == 901)
        return Area::LongFormat;
    if (a >= 1015 && a <= 1017)
        return Area::Clock;
    if (a >= 2000 && a < 5000)
        return (a - 2000) % 100 < 72 ? Area::Channel : Area::None;
    if (a == 5000)
        return Area::Global;
    if (a >= 5001 && a <= 5005)
        return Area::Acq;
    if (a >= 5006 && a <= 5021)
        return Area::Compl;
    if (a >= 5100 && a <= 5259)
        return Area::MemCfg;
    if (a >= 5260 && a <= 5263)
        return Area::Masks;
    if (a >= 5264 && a <= 5289)
        return Area::ReadOnly;
    if (a >= 6000 && a <= 6105)
        return Area::ReadOnly;
    if (a >= 6110 && a <= 6139)
        return Area::ReadOnly;
    if (a >= 6140 && a <= 6169)
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

constexpr int kRangeCounts[8] = {1, 5, 2, 5, 1, 13, 14, 1};

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
    hr_[5000] = 0;
    hr_[5001] = 0x2A00;
    hr_[5002] = 0x000F;
    hr_[5003] = 0;
    hr_[5004] = 1000;
    hr_[5005] = 10000;
    for (int ch = 1; ch <= 30; ++ch) {
        const int b = chanBase(ch);
        hr_[b] = 0x1000;
        hr_[b + 2] = 0xFFFF;  // default value "MAX" (0x7F7FFFFF, low word first)
        hr_[b + 3] = 0x7F7F;
        for (int k = 0; k < 4; ++k)
            hr_[b + 4 + 5 * k] = 0x0101;
    }
    hr_[chanBase(1)] = 0x1021;  // Vdc, 5 V
    hr_[chanBase(2)] = 0x1806;  // TC K with reference junction compensation
    hr_[chanBase(3)] = 0x1315;  // RT Pt100, 4 wires
    hr_[chanBase(4)] = 0x1004;  // current 20 mA
    // Channel 1, limit 1: high level 3 V, hysteresis 0.5 V, in use.
    hr_[chanBase(1) + 4] = 0x0301;
    const uint32_t level = std::bit_cast<uint32_t>(3.0f);
    const uint32_t hyst = std::bit_cast<uint32_t>(0.5f);
    hr_[chanBase(1) + 5] = uint16_t(level);
    hr_[chanBase(1) + 6] = uint16_t(level >> 16);
    hr_[chanBase(1) + 7] = uint16_t(hyst);
    hr_[chanBase(1) + 8] = uint16_t(hyst >> 16);
    hr_[5006] = 0x0001;  // channel 1 limit 1 raises global alarm 1
    for (int m = 1; m <= 10; ++m) {
        const int b = blockBase(m);
        hr_[b + 2] = 0xFFFF;
        hr_[b + 3] = 0x3FFF;
        hr_[b + 4] = 1;   // opening: "Opening Acquisition"
        hr_[b + 13] = 8;  // recording: every N cycles
        hr_[b + 14] = 1;
    }
    hr_[blockBase(1)] = 10000;
    hr_[5263] = 0x0001;
    for (int ch = 0; ch < 30; ++ch)
        hr_[6140 + ch] = 6;
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
            return readBits(port, req, f == 1);
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

Pdu Module::readBits(int /*port*/, std::span<const uint8_t> req, bool /*coils*/) {
    const uint8_t f = req[0];
    if (req.size() != 5)
        return exception(f, kIllegalValue);
    const int start = be16(req, 1), qty = be16(req, 3);
    if (qty < 1 || qty > 2000)
        return exception(f, kIllegalValue);
    if (start < 18 || start + qty - 1 > 19)
        return exception(f, kIllegalAddress);
    uint8_t bits = 0;
    for (int i = 0; i < qty; ++i)
        if (relayCoil_[start - 18 + i])
            bits |= uint8_t(1 << i);
    return Pdu{f, 1, bits};
}

std::optional<uint16_t> Module::inputValue(int port, int a) const {
    if (a == 651)
        return opt_.fwVersion;
    if (a == 652)
        return opt_.fileVersion;
    if (a == 1019)
        return opt_.devId;
    if (a >= kMailbox && a <= kMailboxEnd) {
        if (a == kMailbox)
            return lastCode_;
        if (a == kMailbox + 1)
            return uint16_t(answer_.size());
        if (a == kErrorCodeRegister)
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
        const DateTime d = fromSeconds2000(uint32_t(clockMs() / 1000));
        if (a == 1015)
            return uint16_t(d.month | d.day << 8);
        if (a == 1016)
            return uint16_t(d.hour | (d.year - 2000) << 8);
        return uint16_t(d.second | d.minute << 8);
    }
    if (a >= 5264 && a <= 5267) {
        uint16_t w = 0;
        for (int b = 0; b < 10; ++b) {
            const Block& blk = blocks_[b];
            bool bit = false;
            switch (a - 5264) {
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
    if (a >= 5268 && a <= 5287) {
        const uint32_t n = uint32_t(blocks_[(a - 5268) / 2].records.size());
        return uint16_t((a - 5268) % 2 ? n >> 16 : n);
    }
    if (a == 5288)
        return uint16_t(opt_.capacity);
    if (a == 5289)
        return uint16_t(opt_.capacity >> 16);
    if (a == 6000)
        return statusWord(port);
    if (a >= 6001 && a <= 6105)
        return le::u16(cyImage_, size_t(a - 6001) * 2);
    if (a >= 6110 && a <= 6139)
        return channelOffsetWord(a - 6110 + 1);
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
        if (start <= 6000 && start + qty > 6000)
            latched_ = 0;
        if (start <= 6105 && start + qty > 6001)
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
    if (!(reg(5000) & (1 << (3 + relay))))
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
    if (a != 18 && a != 19)
        return exception(f, kIllegalAddress);
    if (refuseWrites_)
        return refuse(f, refuseWrites_);
    if (uint16_t e = checkRelayWrite(port, a - 18))
        return refuse(f, e);
    relayCoil_[a - 18] = v != 0;
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
    if (start < 18 || start + qty - 1 > 19)
        return exception(f, kIllegalAddress);
    if (refuseWrites_)
        return refuse(f, refuseWrites_);
    for (int i = 0; i < qty; ++i)
        if (uint16_t e = checkRelayWrite(port, start - 18 + i))
            return refuse(f, e);
    for (int i = 0; i < qty; ++i)
        relayCoil_[start - 18 + i] = (req[6 + i / 8] >> (i % 8)) & 1;
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
            const int a = chanBase(ch);
            if (end <= a || start >= a + 72)
                continue;
            const uint16_t w = newValue(a);
            const int fn = w & 0xF, range = (w >> 4) & 0xF;
            if (fn >= 8)
                return refuse(f, err::kWrongFunction);
            if (range >= kRangeCounts[fn])
                return refuse(f, err::kWrongRange);
        }
    }
    if (mems) {
        uint64_t sum = 0;
        for (int m = 1; m <= 10; ++m)
            sum += uint32_t(newValue(blockBase(m))) | uint32_t(newValue(blockBase(m) + 1)) << 16;
        if (sum > opt_.capacity)
            return refuse(f, err::kCannotAllocate);
    }
    if (clock) {
        uint16_t w[3];
        for (int i = 0; i < 3; ++i)
            w[i] = newValue(1015 + i);
        if (!(start <= 1015 && end > 1017)) {
            // A partial clock write keeps the fields it does not cover.
            for (int i = 0; i < 3; ++i)
                if (1015 + i < start || 1015 + i >= end)
                    w[i] = *holdingValue(port, 1015 + i);
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
        setClock(uint64_t(toSeconds2000(d)) * 1000);
        return okAnswer;
    }
    if (mailbox) {
        for (int a = start; a < end; ++a)
            cmdBuf_[a - kMailbox] = values[a - start];
        if (start == kMailbox) {
            if (uint16_t e = execute(port, f == 16))
                return refuse(f, e);
        }
        return okAnswer;
    }
    for (int a = start; a < end; ++a)
        hr_[a] = values[a - start];
    dirty_ = true;
    if (mems) {
        // A block made smaller than its contents keeps its newest records.
        for (int m = 1; m <= 10; ++m) {
            const uint32_t size = reg32(blockBase(m));
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
    const uint16_t code = cmdBuf_[0];
    const uint16_t n = cmdBuf_[1];
    lastCode_ = code;
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
        case 0:
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
        case 1:
            if (!countIs(0))
                return err::kWrongParamCount;
            if (uint16_t e = checkRemote(port))
                return e;
            return startRun(-1);
        case 2:
            if (!countIs(0))
                return err::kWrongParamCount;
            if (uint16_t e = checkRemote(port))
                return e;
            return trigger();
        case 3:
            if (!countIs(0))
                return err::kWrongParamCount;
            if (remote_ != -1 && remote_ != port)
                return err::kOtherRemote;
            remote_ = port;
            return 0;
        case 5:
            if (!countIs(0))
                return err::kWrongParamCount;
            if (remote_ == port)
                remote_ = -1;
            else if (remote_ != -1)
                return err::kOtherRemote;
            return 0;
        case 7:
        case 8:
        case 9:
        case 10:
        case 12: {
            if (!countIs(1))
                return err::kWrongParamCount;
            if (uint16_t e = checkRemote(port))
                return e;
            if (uint16_t e = blockArg(b))
                return e;
            Block& blk = blocks_[b - 1];
            const uint32_t size = reg32(blockBase(b));
            const uint16_t opening = reg(blockBase(b) + 4);
            const uint16_t closing = reg(blockBase(b) + 7);
            switch (code) {
                case 7:
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
                case 8:
                    if (blk.state == BlockState::Recording || blk.state == BlockState::Armed)
                        closeBlock(b);
                    return 0;
                case 9:
                    if (blk.state == BlockState::Armed) {
                        openBlock(b);
                        return 0;
                    }
                    if (blk.state != BlockState::Recording)
                        return err::kBlockNotRunning;
                    if (blk.closingCountdown < 0 && (closing & 0xF) != 0)
                        blk.closingCountdown = reg32(blockBase(b) + 10);
                    if ((reg(blockBase(b) + 13) & 0x2) && cycleCount_ > 0)
                        recordCycle(b);
                    return 0;
                case 10:
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
        case 11: {
            if (!countIs(4))
                return err::kWrongParamCount;
            if (uint16_t e = blockArg(b))
                return e;
            return readRecords(b, uint32_t(P(1)) | uint32_t(P(2)) << 16, P(3));
        }
        case 18:
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
        case 19:
            if (!countIs(0))
                return err::kWrongParamCount;
            eventReadPos_ = 0;
            setAnswer({uint16_t(events_.size())});
            return 0;
        case 20: {
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
        case 21:
            if (!countIs(0))
                return err::kWrongParamCount;
            events_.clear();
            eventReadPos_ = 0;
            return 0;
        case 24:
            if (!countIs(1))
                return err::kWrongParamCount;
            return setupRead(P(0));
        case 25: {
            if (uint16_t e = checkRemote(port))
                return e;
            const uint16_t count = std::min<uint16_t>(n, 197);
            return setupWrite(std::span<const uint16_t>(cmdBuf_).subspan(2, count));
        }
        case 26:
            if (!countIs(2))
                return err::kWrongParamCount;
            if (uint16_t e = checkRemote(port))
                return e;
            if (!confirmed(0))
                return err::kWrongPassword;
            setupStored_ = setupLive_;
            dirty_ = true;
            return 0;
        case 27: {
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
        case 28: {
            if (!countIs(1))
                return err::kWrongParamCount;
            const uint16_t index = P(0);
            if (index > 3)
                return err::kWrongParamCount;
            setAnswer(emailText_[index]);
            return 0;
        }
        case 29:
            if (!countIs(1))
                return err::kWrongParamCount;
            if (uint16_t e = checkRemote(port))
                return e;
            if (P(0) > 2)
                return err::kWrongParamCount;
            return startRun(P(0));
        case 34:
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
        case 36:
            if (!countIs(0))
                return err::kWrongParamCount;
            if (uint16_t e = checkRemote(port))
                return e;
            for (bool& l : emailLatch_)
                l = false;
            return 0;
        case 37: {
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

float Module::regF32(int addr) const {
    return std::bit_cast<float>(reg32(addr));
}

uint32_t Module::periodMs() const {
    static constexpr uint32_t units[4] = {1, 10, 100, 1000};
    const int unit = (reg(5001) >> 5) & 7;
    const uint32_t ms = uint32_t(reg(5004)) * (unit < 4 ? units[unit] : 1);
    return std::max<uint32_t>(ms, 1);
}

bool Module::programmed(int ch) const {
    const int fn = reg(chanBase(ch)) & 0xF;
    return fn != 0;
}

uint32_t Module::measuringMs(int ch) const {
    static constexpr uint32_t bySpeed[4] = {100, 40, 20, 20};
    return bySpeed[(reg(chanBase(ch)) >> 12) & 3] + reg(chanBase(ch) + 1);
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
    const int mode = reg(5001) & 7;
    if (running_)
        w |= 1 << 0;
    if (waiting_)
        w |= 1 << 1;
    if (acqOpen_ && mode <= 2)
        w |= 1 << 2;
    if (meas_)
        w |= 1 << 3;
    if (std::any_of(events_.begin(), events_.end(), [](const ModuleEvent& e) {
            const int kind = e.code >> 12;
            return kind < 1 || kind > 3;
        }))
        w |= 1 << 4;
    if (errorMask_)
        w |= 1 << 5;
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
        if (memStatus[i] & reg(5260 + i))
            w |= 1 << 11;
    if (alg_[0])
        w |= 1 << 12;
    if (alg_[1])
        w |= 1 << 13;
    if (remote_ != -1)
        w |= 1 << 14;
    if (remote_ != -1 && remote_ == port)
        w |= 1 << 15;
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
        if (reg32(blockBase(b)) && !blk.records.empty() && !(reg(blockBase(b) + 4) & 0x4000) &&
            option < 0)
            return err::kNotReopenable;
    }
    for (int b = 1; b <= 10; ++b) {
        Block& blk = blocks_[b - 1];
        if (reg32(blockBase(b)) == 0)
            continue;
        const bool reopenable = reg(blockBase(b) + 4) & 0x4000;
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
    if (((reg(5001) >> 3) & 3) == 0)
        openAcquisition();
    else
        waiting_ = true;
    return 0;
}

void Module::openAcquisition() {
    acqOpen_ = true;
    const int mode = reg(5001) & 7;
    waiting_ = mode > 2;
    nextCycle_ = mode <= 2 ? uptime_ : UINT64_MAX;
    for (int b = 1; b <= 10; ++b)
        if (blocks_[b - 1].state == BlockState::Armed && (reg(blockBase(b) + 4) & 0xF) <= 1)
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
    const int mode = reg(5001) & 7;
    if (mode >= 3)
        runCycle();
    else if (mode == 2)
        nextCycle_ = uptime_;
    // The trigger also stands for the TRIG input seen by the memory blocks.
    for (int b = 1; b <= 10; ++b) {
        Block& blk = blocks_[b - 1];
        const int opening = reg(blockBase(b) + 4) & 0xF;
        const int closing = reg(blockBase(b) + 7) & 0xF;
        if (blk.state == BlockState::Armed && (opening == 2 || opening == 3))
            openBlock(b);
        else if (blk.state == BlockState::Recording) {
            if ((closing == 2 || closing == 3) && blk.closingCountdown < 0)
                blk.closingCountdown = reg32(blockBase(b) + 10);
            if ((reg(blockBase(b) + 13) & 0x2) && cycleCount_ > 0)
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
        const int base = chanBase(c);
        if (!(scan & (1u << (c - 1))) || !programmed(c)) {
            chan.measured = false;
            chan.value = 0;
            chan.error = 0;
            continue;
        }
        offset += measuringMs(c);
        chan.measured = true;
        chan.error = 0;
        const uint16_t flags = reg(base);
        const double t = double(cycleClockMs_ + offset) / 1000.0;
        std::optional<double> v;
        int16_t code = failure_[c - 1];
        if (code == 0) {
            v = synthValue(c, flags & 0xF, (flags >> 4) & 0xF, t);
            const uint16_t points = reg(base + 25);
            if (points >= 2 && points <= 11) {
                const float x0 = regF32(base + 26), xn = regF32(base + 26 + 4 * (points - 1));
                if (*v < x0)
                    code = 11;
                else if (*v > xn)
                    code = 12;
                else {
                    for (int i = 0; i + 1 < points; ++i) {
                        const float xa = regF32(base + 26 + 4 * i), ya = regF32(base + 28 + 4 * i);
                        const float xb = regF32(base + 30 + 4 * i), yb = regF32(base + 32 + 4 * i);
                        if (*v <= xb) {
                            v = xb == xa ? ya : ya + (yb - ya) * (*v - xa) / (xb - xa);
                            break;
                        }
                    }
                }
            }
        }
        if (code != 0) {
            chan.error = code;
            chan.value = regF32(base + 2);
            errorMask_ |= 1u << (c - 1);
            if (!(oldErrors & (1u << (c - 1))))
                addEvent(uint16_t(kEventChannelError | (uint16_t(code) & 0xFFF)), uint16_t(c));
        } else {
            chan.value = float(*v);
        }
    }
    if (errorMask_ != oldErrors)
        latched_ |= 1 << 6;
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
        const int base = blockBase(b);
        const uint16_t opening = reg(base + 4);
        if (blk.state == BlockState::Armed && acqOpen_) {
            const int cond = opening & 0xF;
            if (cond <= 1 || (cond >= 4 && cond <= 7 && alarmCondition(opening, reg32(base + 5))))
                openBlock(b);
        }
        if (blk.state != BlockState::Recording)
            continue;
        const uint16_t recording = reg(base + 13);
        const uint32_t n = std::max<uint32_t>(reg32(base + 14), 1);
        bool record = (recording & 0x8) && blk.cyclesSinceOpen % n == 0;
        const uint32_t recorded = reg32(base + 2);
        for (int k = 0; k < 4; ++k)
            if ((recording & (0x10 << k)) && (changedAlarmMask_[k] & recorded))
                record = true;
        if (record)
            recordCycle(b);
        if (blk.state != BlockState::Recording)
            continue;
        const uint16_t closing = reg(base + 7);
        const int ev = closing & 0xF;
        if (blk.closingCountdown < 0 && ev >= 4 && ev <= 7 &&
            alarmCondition(closing, reg32(base + 8)))
            blk.closingCountdown = reg32(base + 10);
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
        const int base = chanBase(c);
        for (int k = 0; k < 4; ++k) {
            Limit& lim = chan.limits[k];
            const bool before = lim.alarm;
            const uint16_t flags = reg(base + 4 + 5 * k);
            if (!chan.measured || !(flags & 0x200)) {
                lim.alarm = false;
                lim.count = 0;
            } else if (chan.error == 0) {
                const float level = regF32(base + 5 + 5 * k);
                const float hyst = regF32(base + 7 + 5 * k);
                const bool high = flags & 0x100;
                const uint32_t needed = std::max<uint32_t>(flags & 0xFF, 1);
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
            latched_ |= uint16_t(1 << (7 + k));
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
            on |= (alarmMask_[k] & reg32(5006 + 8 * g + 2 * k)) != 0;
        alg_[g] = on;
    }
    for (int r = 0; r < 2; ++r) {
        const bool modbus = reg(5000) & (1 << (3 + r));
        if (!modbus)
            relayCoil_[r] = alg_[r];
        const bool reverse = reg(5000) & (1 << (1 + r));
        relayOut_[r] = relayCoil_[r] != reverse;
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
    if (reg(blockBase(b) + 4) & 0x8000) {
        blk.records.clear();
        blk.full = false;
    }
    blk.state = BlockState::Recording;
    blk.cyclesSinceOpen = 0;
    blk.closingCountdown =
        (reg(blockBase(b) + 7) & 0xF) == 1 ? int64_t(reg32(blockBase(b) + 10)) : -1;
}

void Module::closeBlock(int b) {
    Block& blk = blocks_[b - 1];
    const bool wasRecording = blk.state == BlockState::Recording;
    blk.state = wasRecording ? BlockState::Closed : BlockState::Idle;
    blk.closingCountdown = -1;
    const int next = reg(blockBase(b) + 12);
    if (wasRecording && running_ && next >= 1 && next <= 10 && next != b &&
        reg32(blockBase(next)) > 0) {
        Block& nb = blocks_[next - 1];
        const bool reopenable = reg(blockBase(next) + 4) & 0x4000;
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
            recs.push_back(makeRecord(0x8000 | flags, offset, uint32_t(int32_t(chan.error))));
        else
            recs.push_back(makeRecord(0x4000 | flags, offset, std::bit_cast<uint32_t>(chan.value)));
    }
    return recs;
}

void Module::recordCycle(int b) {
    appendRecords(b, cycleRecords(reg32(blockBase(b) + 2)));
}

void Module::appendRecords(int b, const std::vector<RawRecord>& cycle) {
    Block& blk = blocks_[b - 1];
    const uint32_t size = reg32(blockBase(b));
    if (size == 0)
        return;
    if (reg(blockBase(b) + 7) & 0x8000) {
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
            others += reg32(blockBase(m));
    uint32_t size = reg32(blockBase(b));
    if (size < count) {
        if (others + count > opt_.capacity) {
            error = "the block cannot hold " + std::to_string(count) +
                    " records within the storage capacity";
            return false;
        }
        size = count;
        hr_[blockBase(b)] = uint16_t(size);
        hr_[blockBase(b) + 1] = uint16_t(size >> 16);
        dirty_ = true;
    }
    Block& blk = blocks_[b - 1];
    blk = Block{};
    const uint32_t mask = reg32(blockBase(b) + 2) & scanMask();
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
            const uint16_t flags = reg(chanBase(c));
            const float v =
                float(synthValue(c, flags & 0xF, (flags >> 4) & 0xF, double(t + offset) / 1000.0));
            blk.records.push_back(
                makeRecord(uint16_t(0x4000 | c), encodeOffset(offset), std::bit_cast<uint32_t>(v)));
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
            std::copy(words.begin(), words.end(), hr_.begin() + key);
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
