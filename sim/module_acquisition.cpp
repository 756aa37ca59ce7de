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

}  // namespace qd40::sim
