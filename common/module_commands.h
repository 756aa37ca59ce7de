// The command codes of the module's mailbox and the bits of its global
// status word, named once for the server, the control, the command-line
// client and the simulator.
#pragma once
#include <cstdint>

namespace qd40::module {

// Codes written at reg::kCommand, followed by the parameter count and the
// parameters when the command takes any.
enum class Cmd : uint16_t {
    Stop = 0,  // with two confirmation words: force remote control to the sender
    Run = 1,
    Trig = 2,
    Remote = 3,
    Local = 5,
    MemRun = 7,
    MemStop = 8,
    MemTrig = 9,
    MemStore = 10,
    ReadRecords = 11,
    MemClear = 12,
    BoardInit = 18,
    EventCount = 19,
    ReadEvents = 20,
    ClearEvents = 21,
    ReadSetupItem = 24,
    WriteSetupItem = 25,
    StoreSetup = 26,
    WriteEmailText = 27,
    ReadEmailText = 28,
    RunWithOption = 29,
    SetupDefaults = 34,
    ReInitEmail = 36,
    RemoveRecords = 37,
};

constexpr uint16_t code(Cmd c) {
    return static_cast<uint16_t>(c);
}

// Bits of the global status word (reg::kGlobalStatus).
namespace status {
enum Bit : int {
    kRun = 0,    // in acquisition mode
    kWai = 1,    // waiting for TRIG
    kAcq = 2,    // running an acquisition cycle
    kMeas = 3,   // new measurements available
    kEvt = 4,    // abnormal events signalled
    kCher = 5,   // a channel is in error
    kCherc = 6,  // a channel's error appeared or disappeared
    kAl1c = 7,   // alarm 1 to 4 of a channel changed (7 to 10)
    kAl2c = 8,
    kAl3c = 9,
    kAl4c = 10,
    kGmsr = 11,  // global memory status report
    kAlg1 = 12,  // global alarm 1
    kAlg2 = 13,  // global alarm 2
    kRem = 14,   // under remote control through one of the ports
    kRemp = 15,  // under remote control through the port that reads
};

// The bits' short names, bit 0 first.
inline constexpr const char* kNames[16] = {"RUN",   "WAI",  "ACQ",  "MEAS", "EVT",  "CHER",
                                           "CHERC", "AL1C", "AL2C", "AL3C", "AL4C", "GMSR",
                                           "ALG1",  "ALG2", "REM",  "REMP"};

constexpr uint16_t mask(Bit b) {
    return static_cast<uint16_t>(1u << b);
}
constexpr bool has(uint16_t word, Bit b) {
    return (word & mask(b)) != 0;
}
// Held under remote control through the reader's own port.
constexpr bool heldHere(uint16_t word) {
    return has(word, kRem) && has(word, kRemp);
}
// Held under remote control through another port than the reader's.
constexpr bool heldElsewhere(uint16_t word) {
    return has(word, kRem) && !has(word, kRemp);
}
}  // namespace status

}  // namespace qd40::module
