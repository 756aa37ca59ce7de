// Warnings of the acquisition and memory pages, the expected filling time of
// a block and which memory block controls are usable.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/config/cfg_layout.h"
#include "control/rules/min_periods.h"
#include "control/rules/rule_message.h"

namespace qd40::rules {

inline constexpr long kMaxPeriodCount = 65535;
inline constexpr uint64_t kMaxTotalRecords = 100000;

// 528 "Period must be in the range of %ld and %ld" (0, 65535) when an entered
// count is outside 0 to 65535.
std::optional<RuleMessage> checkPeriodCounts(long acqCount, long auxCount);
// 524 with the auxiliary period figure when it is too low, then 525 with the
// minimum when the acquisition period is below the minimal one. Warnings only.
std::vector<RuleMessage> periodWarnings(cfg::ConstFullCfgView cfg);
// "(min:" then the minimal acquisition period and " ms)".
std::string minAcqPeriodText(uint32_t minAcqPeriodMs);

uint64_t totalMemorySize(cfg::ConstFullCfgView cfg);
// 521 with 100000 and the sum when the ten block sizes exceed 100000 records.
std::optional<RuleMessage> checkMemorySizes(cfg::ConstFullCfgView cfg);

// Expected filling time of block b in seconds, only when it records "Every"
// N cycles and neither compacting, a limit alarm nor the TRIG input is chosen.
std::optional<double> expectedFillingTimeSeconds(cfg::ConstFullCfgView cfg, int b);
// The number followed by " s".
std::string fillingTimeText(double seconds);

// Which controls of the memory blocks page are usable for a block.
struct MemBlockUsability {
    bool openingAlarmButton = false;   // opening alarm condition chosen
    bool closingEventChoices = false;  // closing after an event chosen
    bool closingCycleCount = false;
    bool closingAlarmButton = false;  // ... and that event is the alarm condition
    bool everyCount = false;          // "Every" chosen
    bool nextBlockList = false;       // "On closing, open block:" checked
    bool operator==(const MemBlockUsability&) const = default;
};
MemBlockUsability memBlockUsability(cfg::ConstMemBlockCfg blk);
// Blocks offered by "On closing, open block:": every block but the current one.
std::vector<int> nextBlockChoices(int current);

}  // namespace qd40::rules
