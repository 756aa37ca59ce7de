// Faults injected on demand by the simulator, read from a text file of
// `NAME VALUE` lines.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qd40::sim {

// A fault aimed at the requests of one MODBUS function that cover one
// address, as a test names a request: "R3 5084" (function 3 reading 5084 or
// a range through it), "W16 44000". With firstOnly it hits the first such
// request after the faults are loaded, and no other (a retry then succeeds).
struct TargetedFault {
    enum class Kind {
        Drop,        // the module acts, its answer is lost
        Delay,       // the answer is sent `value` ms late
        BadCrc,      // the RTU answer's CRC is corrupted
        WrongSlave,  // the answer carries another slave / unit number
        Exception,   // the module does not act and answers exception `value`
    };
    Kind kind = Kind::Drop;
    uint8_t function = 0;
    uint16_t address = 0;
    int value = 0;
    bool firstOnly = false;

    bool operator==(const TargetedFault&) const = default;
};

struct Faults {
    double drop = 0;            // fraction of answers not sent
    int delayMs = 0;            // every answer sent this late
    double badCrc = 0;          // fraction of RTU answers with a corrupted CRC
    double wrongSlave = 0;      // fraction of answers carrying another slave / unit number
    int closeAfter = 0;         // a TCP connection is closed after this many requests (0: never)
    uint16_t refuseWrites = 0;  // module error with which every write is refused (0: none)
    bool off = false;           // no answer at all
    std::vector<std::pair<int, int16_t>> failChannels;  // channel, module error code
    std::vector<TargetedFault> targeted;
    int byteGapMs = 0;  // pause between the bytes of every answer (slow bytes)

    bool operator==(const Faults&) const = default;
};

// Parses the faults text. Blank lines and lines starting with '#' are skipped.
// On error returns false with a message naming the line.
bool parseFaults(std::string_view text, Faults& out, std::string& error);

// The help text describing the faults file.
const char* faultsHelp();

}  // namespace qd40::sim
