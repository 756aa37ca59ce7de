// The simulated Qd40 module: register map, coils, command mailbox, remote
// control per port, acquisition cycles, memory blocks and event list. It
// answers MODBUS protocol data units (function code + data, no framing); the
// TCP and RTU front ends add the framing. Not thread-safe: the caller keeps it
// under one mutex.
#pragma once
#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/config/cfg_layout.h"
#include "common/module_commands.h"

namespace qd40::sim {

using Pdu = std::vector<uint8_t>;
using RawRecord = std::array<uint8_t, 8>;

struct ModuleOptions {
    uint16_t devId = 0xB052;
    uint16_t fwVersion = 0x4205;    // "B.05"
    uint16_t fileVersion = 0x4100;  // "A.00"
    uint32_t capacity = 100000;     // storage memory, in records
};

// A module that reports a capacity of 0 holds this many records (the
// masters count 0 the same way).
inline constexpr uint32_t kUnreportedCapacity = 12000;

// "B.05" -> 0x4205; nullopt for a text that is not a letter, a point and two digits.
std::optional<uint16_t> parseVersionWord(std::string_view text);

// Module errors this module reports (the numbers of the module error table).
namespace err {
inline constexpr uint16_t kWrongFunction = 2;
inline constexpr uint16_t kWrongRange = 3;
inline constexpr uint16_t kMustBeStopped = 17;
inline constexpr uint16_t kNotRemote = 18;
inline constexpr uint16_t kOtherRemote = 19;
inline constexpr uint16_t kUnknownCommand = 20;
inline constexpr uint16_t kRelayNotModbus = 21;
inline constexpr uint16_t kThermocoupleOpen = 26;
inline constexpr uint16_t kMemConfig = 36;
inline constexpr uint16_t kCannotAllocate = 37;
inline constexpr uint16_t kWrongBlock = 38;
inline constexpr uint16_t kBlockNotProgrammed = 39;
inline constexpr uint16_t kBlockNotRunning = 40;
inline constexpr uint16_t kEmptyBlock = 41;
inline constexpr uint16_t kRunningBlock = 42;
inline constexpr uint16_t kWrongPassword = 46;
inline constexpr uint16_t kQuantityTooHigh = 49;
inline constexpr uint16_t kWrongParamCount = 54;
inline constexpr uint16_t kUnknownSetupItem = 55;
inline constexpr uint16_t kNotReopenable = 62;
}  // namespace err

// MODBUS exception codes.
inline constexpr uint8_t kIllegalFunction = 1;
inline constexpr uint8_t kIllegalAddress = 2;
inline constexpr uint8_t kIllegalValue = 3;

struct ModuleEvent {
    uint32_t seconds = 0;  // since 2000-01-01
    uint16_t code = 0;     // kind in bits 15-12, error number in bits 11-0
    uint16_t detail = 0;
};

inline constexpr uint16_t kEventPowerOn = 0x1000;
inline constexpr uint16_t kEventPowerOff = 0x2000;
inline constexpr uint16_t kEventInitialising = 0x3000;
inline constexpr uint16_t kEventChannelError = 0x4000;  // | error number, detail = channel

class Module {
public:
    // clockMs: the module clock at start, in milliseconds since 2000-01-01.
    Module(const ModuleOptions& options, uint64_t clockMs);

    // Answers one request PDU from a master on `port` (any number naming
    // one connection or line). The answer is a normal PDU or an exception PDU
    // (function | 0x80, code).
    Pdu handle(int port, std::span<const uint8_t> request);
    // A connection went away: remote control it held is released.
    void portClosed(int port);

    // Runs the module up to `uptimeMs` of module time since start (monotonic,
    // already scaled), executing every acquisition cycle due by then.
    void advance(uint64_t uptimeMs);
    uint64_t uptimeMs() const { return uptime_; }
    // Module time of the next cycle, or UINT64_MAX when none is scheduled.
    uint64_t nextCycleUptimeMs() const;
    uint64_t clockMs() const { return uptime_ + clockOffset_; }

    // Fault injection inside the logic.
    void setRefuseWrites(uint16_t code) { refuseWrites_ = code; }
    // Makes a channel fail with a module error code (0 clears it).
    void setChannelFailure(int channel, int16_t code);

    // Fills block (1..10) with `count` records of a synthetic acquisition,
    // growing the block size when needed (within the capacity).
    bool preload(int block, uint32_t count, std::string& error);

    // Permanent memory: configuration, SETUP, e-mail texts, extension block
    // and clock, as a text of lines. Loading accepts values the module itself
    // would refuse.
    std::string saveState(uint64_t unixMs) const;
    bool loadState(std::string_view text, uint64_t unixMs, std::string& error);
    // True once after something kept in permanent memory changed.
    bool takeDirty() {
        bool d = dirty_;
        dirty_ = false;
        return d;
    }

    // Views for tests and the program.
    uint16_t statusWord(int port) const;
    uint32_t recordCount(int block) const;
    const std::deque<RawRecord>& records(int block) const;
    const std::vector<ModuleEvent>& events() const { return events_; }
    int remoteHolder() const { return remote_; }
    bool running() const { return running_; }
    uint16_t lastError() const { return lastError_; }

private:
    enum class BlockState { Idle, Armed, Recording, Closed };
    struct Block {
        std::deque<RawRecord> records;
        BlockState state = BlockState::Idle;
        bool full = false;
        uint32_t cyclesSinceOpen = 0;
        int64_t closingCountdown = -1;
        bool storeRequested = false;
        bool trigRequested = false;
    };
    struct Limit {
        bool alarm = false;
        uint32_t count = 0;
    };
    struct Channel {
        float value = 0;
        int16_t error = 0;
        bool measured = false;
        std::array<Limit, 4> limits{};
    };
    struct SetupItem {
        int id;
        int type;
    };

    // MODBUS functions.
    // Coils and discrete inputs 18 and 19 both read the relays.
    Pdu readBits(std::span<const uint8_t> req);
    Pdu readRegisters(int port, std::span<const uint8_t> req, bool holding);
    Pdu writeSingleCoil(int port, std::span<const uint8_t> req);
    Pdu writeMultipleCoils(int port, std::span<const uint8_t> req);
    Pdu writeSingleRegister(int port, std::span<const uint8_t> req);
    Pdu writeMultipleRegisters(int port, std::span<const uint8_t> req);
    Pdu writeRegisters(int port, uint8_t function, uint16_t start, std::span<const uint16_t> values,
                       Pdu okAnswer);
    Pdu refuse(uint8_t function, uint16_t moduleError);

    std::optional<uint16_t> holdingValue(int port, int addr);
    std::optional<uint16_t> inputValue(int port, int addr) const;
    uint16_t checkRemote(int port) const;
    uint16_t checkRelayWrite(int port, int relay) const;

    // Mailbox: each command found by its code in a table (module_mailbox.cpp)
    // that gives its parameter count, whether it needs remote control, and
    // its handler.
    struct MailboxCall {
        module::Cmd code;
        int port;
        bool block;      // written as a block with function 16
        uint16_t count;  // the parameter count the block carries
        // The count is checked only for blocks written with function 16.
        bool countIs(int expected) const { return !block || count == expected; }
    };
    struct CommandSpec;
    static const CommandSpec* commandSpec(uint16_t code);
    uint16_t execute(int port, bool blockWrite);
    void setAnswer(std::vector<uint16_t> words) { answer_ = std::move(words); }
    uint16_t param(int i) const;
    bool confirmed(int i) const;  // two confirmation words from parameter i
    uint16_t blockArg(int& block) const;
    uint16_t cmdStop(const MailboxCall& c);
    uint16_t cmdRun(const MailboxCall& c);
    uint16_t cmdTrig(const MailboxCall& c);
    uint16_t cmdRemote(const MailboxCall& c);
    uint16_t cmdLocal(const MailboxCall& c);
    uint16_t cmdMemory(const MailboxCall& c);
    uint16_t cmdReadRecords(const MailboxCall& c);
    uint16_t cmdBoardInit(const MailboxCall& c);
    uint16_t cmdEventCount(const MailboxCall& c);
    uint16_t cmdReadEvents(const MailboxCall& c);
    uint16_t cmdClearEvents(const MailboxCall& c);
    uint16_t cmdReadSetupItem(const MailboxCall& c);
    uint16_t cmdWriteSetupItem(const MailboxCall& c);
    uint16_t cmdStoreSetup(const MailboxCall& c);
    uint16_t cmdWriteEmailText(const MailboxCall& c);
    uint16_t cmdReadEmailText(const MailboxCall& c);
    uint16_t cmdRunWithOption(const MailboxCall& c);
    uint16_t cmdSetupDefaults(const MailboxCall& c);
    uint16_t cmdReInitEmail(const MailboxCall& c);
    uint16_t cmdRemoveRecords(const MailboxCall& c);

    // Commands.
    uint16_t startRun(int option);  // -1 plain RUN
    void stopRun();
    uint16_t trigger();
    void boardInit();
    uint16_t readRecords(int block, uint32_t first, uint32_t qty);
    uint16_t setupRead(int id);
    uint16_t setupWrite(std::span<const uint16_t> params);
    void setupDefaults();

    // Configuration decoding through the configuration record views.
    uint16_t reg(int addr) const { return hr_[addr]; }
    void setReg(int addr, uint16_t v);  // keeps the configuration image in step
    cfg::ConstFullCfgView cfg() const { return cfg::ConstFullCfgView(std::span(cfg_)); }
    uint32_t periodMs() const;
    uint32_t scanMask() const { return cfg().chansToScan() & cfg::kAllChannelsMask; }
    bool programmed(int ch) const;
    uint32_t measuringMs(int ch) const;
    uint16_t channelOffsetWord(int ch) const;  // count + unit, as in raw records
    bool configWhileRunningAllowed() const;
    uint32_t capacity() const { return opt_.capacity ? opt_.capacity : kUnreportedCapacity; }

    // Acquisition.
    void runCycle();
    void openAcquisition();
    void evaluateLimits();
    bool alarmCondition(uint16_t word, uint32_t mask) const;
    void openBlock(int b);
    void closeBlock(int b);
    void recordCycle(int b);
    void appendRecords(int b, const std::vector<RawRecord>& cycle);
    std::vector<RawRecord> cycleRecords(uint32_t channelMask) const;
    void updateOutputs();
    void addEvent(uint16_t code, uint16_t detail);
    void setClock(uint64_t clockMs);

    ModuleOptions opt_;
    std::vector<uint16_t> hr_;  // stored holding registers (configuration areas)
    cfg::FullCfgData cfg_{};    // the configuration registers as a configuration record
    uint64_t uptime_ = 0;
    int64_t clockOffset_ = 0;
    bool dirty_ = false;
    uint16_t refuseWrites_ = 0;

    int remote_ = -1;
    uint16_t lastError_ = 0;
    std::array<uint16_t, 199> cmdBuf_{};
    uint16_t lastCode_ = 0;
    std::vector<uint16_t> answer_;

    bool running_ = false;
    bool acqOpen_ = false;
    bool waiting_ = false;
    uint64_t nextCycle_ = UINT64_MAX;
    uint64_t cycleClockMs_ = 0;  // module time of the last cycle
    uint32_t cycleCount_ = 0;
    bool pendingTrigCycle_ = false;
    std::array<Channel, 30> ch_{};
    std::array<int16_t, 30> failure_{};
    uint32_t errorMask_ = 0;
    std::array<uint32_t, 4> alarmMask_{};
    std::array<uint32_t, 4> changedAlarmMask_{};  // changes of the last cycle
    std::array<uint8_t, 210> cyImage_{};
    bool meas_ = false;
    uint16_t latched_ = 0;  // CHERC, AL1C..AL4C, cleared when the status word is read
    bool alg_[2] = {false, false};
    bool relayCoil_[2] = {false, false};  // relay states (on = 1), before any reversal
    std::array<Block, 10> blocks_{};

    std::vector<ModuleEvent> events_;
    size_t eventReadPos_ = 0;

    std::map<int, std::vector<uint16_t>> setupLive_;
    std::map<int, std::vector<uint16_t>> setupStored_;
    std::array<std::vector<uint16_t>, 4> emailText_;
    bool emailLatch_[3] = {false, false, false};

    static const std::vector<SetupItem>& setupTable();
    static int setupWordCount(int type);
};

}  // namespace qd40::sim
