// The memory blocks page (one block at a time) and the "Define condition"
// dialog of a block's alarm opening or closing condition.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "control/pages/page_model.h"
#include "control/rules/period_mem_rules.h"

namespace qd40::pages {

// The radios and typed fields of the current block; the boxes live in the
// working copy and change through the setters.
struct BlockFields {
    std::string size;
    std::string everyCount;
    std::string closingCycles;
    // Opening radio: 0 to 3 the conditions, 4 the alarm condition.
    int opening = 0;
    // Closing after an event: box, then the radio 0 "Storage Opening", 1 and
    // 2 the TRIG input, 3 the alarm condition.
    bool closeAfterEvent = false;
    int closingEvent = 0;
    // "On closing, open block:" and the chosen block.
    bool openNext = false;
    int nextBlock = 0;
};

inline constexpr int kAlarmRadio = 4;
inline constexpr int kClosingAlarmRadio = 3;

class DefineConditionModel;

class MemPageModel : public PageModel {
public:
    explicit MemPageModel(char decimalSep = '.');

    int block() const { return current_; }
    // Stores the current block first; a field that cannot be read keeps it.
    std::optional<std::string> selectBlock(int b);
    BlockFields& fields() { return fields_; }
    const BlockFields& fields() const { return fields_; }

    // Channels to record: every box usable; Check All the programmed and
    // scanned channels.
    uint32_t channels() const;
    void setChannel(int n, bool on);
    uint32_t checkAllMask() const;
    void checkAll();
    void checkNone();

    bool reopenable() const;
    void setReopenable(bool v);
    bool emptyOnOpening() const;
    void setEmptyOnOpening(bool v);
    bool signals(int event) const;
    void setSignals(int event, bool on);
    bool recordEvery() const;
    void setRecordEvery(bool v);
    bool compacting() const;
    void setCompacting(bool v);
    bool recordOnAlarm(int limit) const;
    void setRecordOnAlarm(int limit, bool on);
    bool recordOnTrig() const;
    void setRecordOnTrig(bool v);
    bool closeOnFull() const;
    void setCloseOnFull(bool v);

    // Which controls are usable and the expected filling time, for the
    // fields as they stand.
    rules::MemBlockUsability usability() const;
    std::optional<std::string> fillingTime() const;

    // The dialog on the current block's condition, and its result.
    DefineConditionModel defineCondition(bool opening) const;
    void acceptCondition(const DefineConditionModel& dialog);

    std::optional<std::string> store() override;

protected:
    void load() override;
    std::vector<std::string> warnings() override;

private:
    void loadBlock();
    std::optional<std::string> storeInto(cfg::MemBlockCfg blk) const;
    cfg::MemBlockCfg blk() { return cfg().memBlock(current_); }
    cfg::ConstMemBlockCfg blk() const { return cfg().memBlock(current_); }

    int current_ = 1;
    BlockFields fields_;
};

class DefineConditionModel {
public:
    DefineConditionModel(bool opening, int block, cfg::ConstFullCfgView cfg);
    // String 164 or 165, a blank and the block number.
    std::string title() const;
    bool opening() const { return opening_; }
    int block() const { return block_; }

    uint32_t channels = 0;
    // Bit k-1 for limit k.
    unsigned limits = 0;
    // 0 to 3: the condition codes 4 to 7.
    int test = 0;

    // Check All checks the programmed channels.
    void checkAll() { channels = programmed_; }
    void checkNone() { channels = 0; }
    // OK: the channels, the limit bits and the code 4 + test into the word.
    void storeTo(cfg::MemBlockCfg blk) const;

private:
    bool opening_;
    int block_;
    uint32_t programmed_;
};

}  // namespace qd40::pages
