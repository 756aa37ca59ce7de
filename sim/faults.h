// Faults injected on demand by the simulator, read from a text file of
// `NAME VALUE` lines.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qd40::sim {

struct Faults {
    double drop = 0;            // fraction of answers not sent
    int delayMs = 0;            // every answer sent this late
    double badCrc = 0;          // fraction of RTU answers with a corrupted CRC
    double wrongSlave = 0;      // fraction of answers carrying another slave / unit number
    int closeAfter = 0;         // a TCP connection is closed after this many requests (0: never)
    uint16_t refuseWrites = 0;  // module error with which every write is refused (0: none)
    bool off = false;           // no answer at all
    std::vector<std::pair<int, int16_t>> failChannels;  // channel, module error code

    bool operator==(const Faults&) const = default;
};

// Parses the faults text. Blank lines and lines starting with '#' are skipped.
// On error returns false with a message naming the line.
bool parseFaults(std::string_view text, Faults& out, std::string& error);

// The help text describing the faults file.
const char* faultsHelp();

}  // namespace qd40::sim
