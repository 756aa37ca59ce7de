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
// Mailbox

// How the mailbox takes each command: its parameter count (checked for
// blocks written with function 16 only; -1 when the command checks its own),
// whether it needs the sending port's remote control (checked after the
// count), and its handler.
struct Module::CommandSpec {
    Cmd code;
    int params;
    bool remote;
    uint16_t (Module::*run)(const MailboxCall&);
};

const Module::CommandSpec* Module::commandSpec(uint16_t code) {
    static constexpr CommandSpec kTable[] = {
        {Cmd::Stop, -1, false, &Module::cmdStop},
        {Cmd::Run, 0, true, &Module::cmdRun},
        {Cmd::Trig, 0, true, &Module::cmdTrig},
        {Cmd::Remote, 0, false, &Module::cmdRemote},
        {Cmd::Local, 0, false, &Module::cmdLocal},
        {Cmd::MemRun, 1, true, &Module::cmdMemory},
        {Cmd::MemStop, 1, true, &Module::cmdMemory},
        {Cmd::MemTrig, 1, true, &Module::cmdMemory},
        {Cmd::MemStore, 1, true, &Module::cmdMemory},
        {Cmd::ReadRecords, 4, false, &Module::cmdReadRecords},
        {Cmd::MemClear, 1, true, &Module::cmdMemory},
        {Cmd::BoardInit, 2, true, &Module::cmdBoardInit},
        {Cmd::EventCount, 0, false, &Module::cmdEventCount},
        {Cmd::ReadEvents, 1, false, &Module::cmdReadEvents},
        {Cmd::ClearEvents, 0, false, &Module::cmdClearEvents},
        {Cmd::ReadSetupItem, 1, false, &Module::cmdReadSetupItem},
        {Cmd::WriteSetupItem, -1, true, &Module::cmdWriteSetupItem},
        {Cmd::StoreSetup, 2, true, &Module::cmdStoreSetup},
        {Cmd::WriteEmailText, -1, false, &Module::cmdWriteEmailText},
        {Cmd::ReadEmailText, 1, false, &Module::cmdReadEmailText},
        {Cmd::RunWithOption, 1, true, &Module::cmdRunWithOption},
        {Cmd::SetupDefaults, 2, true, &Module::cmdSetupDefaults},
        {Cmd::ReInitEmail, 0, true, &Module::cmdReInitEmail},
        {Cmd::RemoveRecords, 3, false, &Module::cmdRemoveRecords},
    };
    for (const CommandSpec& spec : kTable)
        if (module::code(spec.code) == code)
            return &spec;
    return nullptr;
}

uint16_t Module::execute(int port, bool block) {
    lastCode_ = cmdBuf_[0];
    answer_.clear();
    const CommandSpec* spec = commandSpec(cmdBuf_[0]);
    if (!spec)
        return err::kUnknownCommand;
    const MailboxCall call{spec->code, port, block, cmdBuf_[1]};
    if (spec->params >= 0 && !call.countIs(spec->params))
        return err::kWrongParamCount;
    if (spec->remote)
        if (uint16_t e = checkRemote(port))
            return e;
    return (this->*spec->run)(call);
}

uint16_t Module::param(int i) const {
    return i < 197 ? cmdBuf_[2 + size_t(i)] : 0;
}

bool Module::confirmed(int i) const {
    return param(i) == kConfirmWord1 && param(i + 1) == kConfirmWord2;
}

uint16_t Module::blockArg(int& b) const {
    b = param(0);
    return b >= 1 && b <= 10 ? 0 : err::kWrongBlock;
}

uint16_t Module::cmdStop(const MailboxCall& c) {
    if (c.block && c.count == 2) {
        // Force remote control to the sending port.
        if (!confirmed(0))
            return err::kWrongPassword;
        remote_ = c.port;
        return 0;
    }
    if (!c.countIs(0))
        return err::kWrongParamCount;
    if (uint16_t e = checkRemote(c.port))
        return e;
    stopRun();
    return 0;
}

uint16_t Module::cmdRun(const MailboxCall&) {
    return startRun(-1);
}

uint16_t Module::cmdTrig(const MailboxCall&) {
    return trigger();
}

uint16_t Module::cmdRemote(const MailboxCall& c) {
    if (remote_ != -1 && remote_ != c.port)
        return err::kOtherRemote;
    remote_ = c.port;
    return 0;
}

uint16_t Module::cmdLocal(const MailboxCall& c) {
    if (remote_ == c.port)
        remote_ = -1;
    else if (remote_ != -1)
        return err::kOtherRemote;
    return 0;
}

uint16_t Module::cmdMemory(const MailboxCall& c) {
    int b = 0;
    if (uint16_t e = blockArg(b))
        return e;
    Block& blk = blocks_[b - 1];
    const uint32_t size = cfg().memBlock(b).size();
    const uint16_t opening = cfg().memBlock(b).openingWord();
    const uint16_t closing = cfg().memBlock(b).closingWord();
    switch (c.code) {
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
        default:  // MemClear
            blk.records.clear();
            blk.full = false;
            if (blk.state == BlockState::Closed)
                blk.state = BlockState::Idle;
            return 0;
    }
}

uint16_t Module::cmdReadRecords(const MailboxCall&) {
    int b = 0;
    if (uint16_t e = blockArg(b))
        return e;
    return readRecords(b, uint32_t(param(1)) | uint32_t(param(2)) << 16, param(3));
}

uint16_t Module::cmdBoardInit(const MailboxCall&) {
    if (!confirmed(0))
        return err::kWrongPassword;
    if (running_)
        return err::kMustBeStopped;
    boardInit();
    return 0;
}

uint16_t Module::cmdEventCount(const MailboxCall&) {
    eventReadPos_ = 0;
    setAnswer({uint16_t(events_.size())});
    return 0;
}

uint16_t Module::cmdReadEvents(const MailboxCall&) {
    const uint16_t qty = param(0);
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

uint16_t Module::cmdClearEvents(const MailboxCall&) {
    events_.clear();
    eventReadPos_ = 0;
    return 0;
}

uint16_t Module::cmdReadSetupItem(const MailboxCall&) {
    return setupRead(param(0));
}

uint16_t Module::cmdWriteSetupItem(const MailboxCall& c) {
    const uint16_t count = std::min<uint16_t>(c.count, 197);
    return setupWrite(std::span<const uint16_t>(cmdBuf_).subspan(2, count));
}

uint16_t Module::cmdStoreSetup(const MailboxCall&) {
    if (!confirmed(0))
        return err::kWrongPassword;
    setupStored_ = setupLive_;
    dirty_ = true;
    return 0;
}

uint16_t Module::cmdWriteEmailText(const MailboxCall& c) {
    const uint16_t index = param(0);
    if (index > 3)
        return err::kWrongParamCount;
    const int words = index == 3 ? 128 : 64;
    if (!c.countIs(words + 1))
        return err::kWrongParamCount;
    if (uint16_t e = checkRemote(c.port))
        return e;
    emailText_[index].assign(cmdBuf_.begin() + 3, cmdBuf_.begin() + 3 + words);
    dirty_ = true;
    return 0;
}

uint16_t Module::cmdReadEmailText(const MailboxCall&) {
    const uint16_t index = param(0);
    if (index > 3)
        return err::kWrongParamCount;
    setAnswer(emailText_[index]);
    return 0;
}

uint16_t Module::cmdRunWithOption(const MailboxCall&) {
    if (param(0) > 2)
        return err::kWrongParamCount;
    return startRun(param(0));
}

uint16_t Module::cmdSetupDefaults(const MailboxCall&) {
    if (!confirmed(0))
        return err::kWrongPassword;
    setupDefaults();
    setupStored_ = setupLive_;
    dirty_ = true;
    return 0;
}

uint16_t Module::cmdReInitEmail(const MailboxCall&) {
    for (bool& l : emailLatch_)
        l = false;
    return 0;
}

uint16_t Module::cmdRemoveRecords(const MailboxCall&) {
    int b = 0;
    if (uint16_t e = blockArg(b))
        return e;
    const uint32_t qty = uint32_t(param(1)) | uint32_t(param(2)) << 16;
    Block& blk = blocks_[b - 1];
    const size_t k = std::min<size_t>(qty, blk.records.size());
    blk.records.erase(blk.records.begin(), blk.records.begin() + ptrdiff_t(k));
    if (k > 0)
        blk.full = false;
    return 0;
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

}  // namespace qd40::sim
