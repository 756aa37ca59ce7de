#include "control/rules/period_mem_rules.h"

#include <bit>

#include "common/config/code_tables.h"
#include "control/rules/value_rules.h"

namespace qd40::rules {

using namespace qd40::cfg;

std::optional<RuleMessage> checkPeriodCounts(long acqCount, long auxCount) {
    const auto bad = [](long v) { return v < 0 || v > kMaxPeriodCount; };
    if (bad(acqCount) || bad(auxCount))
        return ruleMessage(ctl::kTxtPeriodRange, 0L, kMaxPeriodCount);
    return std::nullopt;
}

std::vector<RuleMessage> periodWarnings(ConstFullCfgView cfg) {
    std::vector<RuleMessage> out;
    const MinPeriods mp = computeMinPeriods(cfg);
    if (mp.errCode == kErrAuxPeriodTooLow)
        out.push_back(ruleMessage(ctl::kTxtAuxPeriodLow, long(mp.auxPeriodMs)));
    const uint64_t acqMs = uint64_t(periodUnitMs(cfg.periodUnit())) * cfg.acqPeriod();
    if (acqMs < mp.minAcqPeriodMs)
        out.push_back(ruleMessage(ctl::kTxtAcqPeriodLow, long(mp.minAcqPeriodMs)));
    return out;
}

std::string minAcqPeriodText(uint32_t minAcqPeriodMs) {
    return "(min:" + std::to_string(minAcqPeriodMs) + " ms)";
}

uint64_t totalMemorySize(ConstFullCfgView cfg) {
    uint64_t sum = 0;
    for (int b = 1; b <= kMemBlocks; ++b)
        sum += cfg.memBlock(b).size();
    return sum;
}

std::optional<RuleMessage> checkMemorySizes(ConstFullCfgView cfg) {
    const uint64_t sum = totalMemorySize(cfg);
    if (sum > kMaxTotalRecords)
        return ruleMessage(ctl::kTxtTooManyRecords, long(kMaxTotalRecords), long(sum));
    return std::nullopt;
}

std::optional<double> expectedFillingTimeSeconds(ConstFullCfgView cfg, int b) {
    const ConstMemBlockCfg blk = cfg.memBlock(b);
    if (!blk.recordEvery() || blk.compacting() || blk.recordOnTrig() || blk.recordOnAlarm() ||
        blk.recordAlarmLimits() != 0)
        return std::nullopt;
    const double perSecond = 1000.0 / periodUnitMs(cfg.periodUnit());  // k: 1000, 100, 10 or 1
    const double n = blk.everyN() == 0 ? 1.0 : double(blk.everyN());
    // Bits 30 and 31 of the mask are not channels.
    const double channels = double(std::popcount(blk.chansToRecord() & kAllChannelsMask));
    return (cfg.acqPeriod() / perSecond) * n * double(blk.size()) / (channels + 1.0);
}

std::string fillingTimeText(double seconds) {
    return formatFloat(float(seconds)) + " s";
}

namespace {
// Codes 4 to 7 are the alarm condition; 8 to 15 name nothing.
bool isAlarmCondition(int code) {
    return code >= kAlarmAtLeastOne && code <= kAlarmNone;
}
}  // namespace

MemBlockUsability memBlockUsability(ConstMemBlockCfg blk) {
    MemBlockUsability u;
    u.openingAlarmButton = isAlarmCondition(blk.openingCondition());
    u.closingEventChoices = blk.closingEvent() != kCloseNone;
    u.closingCycleCount = u.closingEventChoices;
    u.closingAlarmButton = isAlarmCondition(blk.closingEvent());
    u.everyCount = blk.recordEvery();
    u.nextBlockList = blk.nextBlock() != 0;
    return u;
}

std::vector<int> nextBlockChoices(int current) {
    std::vector<int> blocks;
    for (int b = 1; b <= kMemBlocks; ++b)
        if (b != current)
            blocks.push_back(b);
    return blocks;
}

}  // namespace qd40::rules
