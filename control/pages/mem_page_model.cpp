#include "control/pages/mem_page_model.h"

#include <algorithm>

#include "control/pages/other_pages.h"
#include "control/pages/page_strings.h"
#include "control/rules/rule_message.h"

namespace qd40::pages {

namespace {
using cfg::FullCfgView;

bool isAlarmCode(int code) {
    return code >= cfg::kAlarmAtLeastOne && code <= cfg::kAlarmNone;
}
}  // namespace

MemPageModel::MemPageModel(char decimalSep)
    : PageModel(
          {{Blob::Cfg, FullCfgView::kMemBlocksOffset, cfg::kMemBlockCfgSize * cfg::kMemBlocks},
           {Blob::MemsMask, 0, cfg::kMemsStatusMaskCfgSize}},
          decimalSep) {}

void MemPageModel::load() {
    current_ = 1;
    loadBlock();
}

void MemPageModel::loadBlock() {
    const cfg::ConstMemBlockCfg b = blk();
    fields_.size = std::to_string(b.size());
    fields_.everyCount = std::to_string(std::max<uint32_t>(b.everyN(), 1));
    fields_.closingCycles = std::to_string(b.closingDelayCycles());
    const int open = b.openingCondition();
    fields_.opening = isAlarmCode(open) ? kAlarmRadio : std::clamp(open, 0, 3);
    const int close = b.closingEvent();
    fields_.closeAfterEvent = close != cfg::kCloseNone;
    fields_.closingEvent = isAlarmCode(close) ? kClosingAlarmRadio : std::clamp(close - 1, 0, 2);
    fields_.openNext = b.nextBlock() != 0;
    fields_.nextBlock = b.nextBlock();
}

std::optional<std::string> MemPageModel::storeInto(cfg::MemBlockCfg b) const {
    long size = 0, every = 0, cycles = 0;
    if (auto bad = readInteger(fields_.size, 0, 0x7FFFFFFF, size))
        return bad;
    if (auto bad = readInteger(fields_.everyCount, 1, 0x7FFFFFFF, every))
        return bad;
    if (auto bad = readInteger(fields_.closingCycles, 0, 0x7FFFFFFF, cycles))
        return bad;
    b.setSize(uint32_t(size));
    // A stored 0 is shown as 1; left as it is unless another count is typed.
    if (!(b.everyN() == 0 && every == 1))
        b.setEveryN(uint32_t(every));
    b.setClosingDelayCycles(uint32_t(cycles));
    // The alarm radio keeps an alarm condition already stored (4 to 7).
    if (fields_.opening == kAlarmRadio)
        b.setOpeningCondition(isAlarmCode(b.openingCondition()) ? b.openingCondition()
                                                                : cfg::kAlarmAtLeastOne);
    else
        b.setOpeningCondition(std::clamp(fields_.opening, 0, 3));
    if (!fields_.closeAfterEvent)
        b.setClosingEvent(cfg::kCloseNone);
    else if (fields_.closingEvent == kClosingAlarmRadio)
        b.setClosingEvent(isAlarmCode(b.closingEvent()) ? b.closingEvent() : cfg::kAlarmAtLeastOne);
    else
        b.setClosingEvent(std::clamp(fields_.closingEvent, 0, 2) + 1);
    const bool next = fields_.openNext && fields_.nextBlock >= 1 &&
                      fields_.nextBlock <= cfg::kMemBlocks && fields_.nextBlock != current_;
    b.setNextBlock(next ? uint16_t(fields_.nextBlock) : 0);
    return std::nullopt;
}

std::optional<std::string> MemPageModel::store() {
    return storeInto(blk());
}

std::optional<std::string> MemPageModel::selectBlock(int b) {
    if (b < 1 || b > cfg::kMemBlocks || b == current_)
        return std::nullopt;
    if (auto bad = store())
        return bad;
    current_ = b;
    loadBlock();
    return std::nullopt;
}

std::vector<std::string> MemPageModel::warnings() {
    if (auto m = rules::checkMemorySizes(cfg()))
        return {m->text};
    return {};
}

uint32_t MemPageModel::channels() const {
    return blk().chansToRecord();
}
void MemPageModel::setChannel(int n, bool on) {
    const uint32_t bit = 1u << (n - 1);
    blk().setChansToRecord(on ? channels() | bit : channels() & ~bit);
    setChanged();
}
uint32_t MemPageModel::checkAllMask() const {
    return programmedChannels(cfg()) & cfg().chansToScan();
}
void MemPageModel::checkAll() {
    blk().setChansToRecord(checkAllMask());
    setChanged();
}
void MemPageModel::checkNone() {
    blk().setChansToRecord(0);
    setChanged();
}

bool MemPageModel::reopenable() const {
    return blk().reopenable();
}
void MemPageModel::setReopenable(bool v) {
    blk().setReopenable(v);
    setChanged();
}
bool MemPageModel::emptyOnOpening() const {
    return blk().emptyOnOpening();
}
void MemPageModel::setEmptyOnOpening(bool v) {
    blk().setEmptyOnOpening(v);
    setChanged();
}
bool MemPageModel::signals(int event) const {
    return cfg::ConstMemsStatusMaskCfg(copy(Blob::MemsMask)).signals(event, current_);
}
void MemPageModel::setSignals(int event, bool on) {
    memsMask().setSignals(event, current_, on);
    setChanged();
}
bool MemPageModel::recordEvery() const {
    return blk().recordEvery();
}
void MemPageModel::setRecordEvery(bool v) {
    blk().setRecordEvery(v);
    setChanged();
}
bool MemPageModel::compacting() const {
    return blk().compacting();
}
void MemPageModel::setCompacting(bool v) {
    blk().setCompacting(v);
    setChanged();
}
bool MemPageModel::recordOnAlarm(int limit) const {
    return (blk().recordAlarmLimits() >> (limit - 1)) & 1u;
}
void MemPageModel::setRecordOnAlarm(int limit, bool on) {
    const unsigned bit = 1u << (limit - 1);
    const unsigned v = blk().recordAlarmLimits();
    blk().setRecordAlarmLimits(on ? v | bit : v & ~bit);
    setChanged();
}
bool MemPageModel::recordOnTrig() const {
    return blk().recordOnTrig();
}
void MemPageModel::setRecordOnTrig(bool v) {
    blk().setRecordOnTrig(v);
    setChanged();
}
bool MemPageModel::closeOnFull() const {
    return blk().closeOnFull();
}
void MemPageModel::setCloseOnFull(bool v) {
    blk().setCloseOnFull(v);
    setChanged();
}

rules::MemBlockUsability MemPageModel::usability() const {
    cfg::FullCfgData scratch;
    std::copy(copy(Blob::Cfg).begin(), copy(Blob::Cfg).end(), scratch.begin());
    const cfg::MemBlockCfg b = FullCfgView(scratch).memBlock(current_);
    storeInto(b);
    rules::MemBlockUsability u = rules::memBlockUsability(b);
    // The boxes as they stand, even before a number has been typed.
    u.closingEventChoices = u.closingCycleCount = fields_.closeAfterEvent;
    u.nextBlockList = fields_.openNext;
    return u;
}

std::optional<std::string> MemPageModel::fillingTime() const {
    cfg::FullCfgData scratch;
    std::copy(copy(Blob::Cfg).begin(), copy(Blob::Cfg).end(), scratch.begin());
    if (storeInto(FullCfgView(scratch).memBlock(current_)))
        return std::nullopt;
    const auto s = rules::expectedFillingTimeSeconds(cfg::ConstFullCfgView(scratch), current_);
    if (!s)
        return std::nullopt;
    return rules::fillingTimeText(*s);
}

DefineConditionModel MemPageModel::defineCondition(bool opening) const {
    return DefineConditionModel(opening, current_, cfg());
}

void MemPageModel::acceptCondition(const DefineConditionModel& dialog) {
    dialog.storeTo(cfg().memBlock(dialog.block()));
    if (dialog.opening())
        fields_.opening = kAlarmRadio;
    else
        fields_.closingEvent = kClosingAlarmRadio;
    setChanged();
}

// ---- define condition ---------------------------------------------------------------

DefineConditionModel::DefineConditionModel(bool opening, int block, cfg::ConstFullCfgView cfg)
    : opening_(opening), block_(block), programmed_(programmedChannels(cfg)) {
    const cfg::ConstMemBlockCfg b = cfg.memBlock(block);
    channels = opening ? b.openingChans() : b.closingChans();
    limits = opening ? b.openingLimits() : b.closingLimits();
    const int code = opening ? b.openingCondition() : b.closingEvent();
    test = code >= cfg::kAlarmAll && code <= cfg::kAlarmNone ? code - cfg::kAlarmAtLeastOne : 0;
}

std::string DefineConditionModel::title() const {
    return rules::controlText(opening_ ? 164 : 165) + " " + std::to_string(block_);
}

void DefineConditionModel::storeTo(cfg::MemBlockCfg b) const {
    const int code = cfg::kAlarmAtLeastOne + std::clamp(test, 0, 3);
    if (opening_) {
        b.setOpeningChans(channels);
        b.setOpeningLimits(limits & 0xF);
        b.setOpeningCondition(code);
    } else {
        b.setClosingChans(channels);
        b.setClosingLimits(limits & 0xF);
        b.setClosingEvent(code);
    }
}

}  // namespace qd40::pages
