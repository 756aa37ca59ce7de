#include "sim/faults.h"

#include <sstream>

namespace qd40::sim {

namespace {

bool fraction(std::istringstream& in, double& v) {
    return static_cast<bool>(in >> v) && v >= 0 && v <= 1;
}

// "R3" -> 3, "W16" -> 16: R for the read functions 1 to 4, W for the
// writes 5, 6, 15 and 16.
bool requestFunction(const std::string& t, uint8_t& function) {
    if (t.size() < 2 || (t[0] != 'R' && t[0] != 'W'))
        return false;
    int f = 0;
    for (size_t i = 1; i < t.size(); ++i) {
        if (t[i] < '0' || t[i] > '9' || f > 100)
            return false;
        f = f * 10 + (t[i] - '0');
    }
    const bool read = f >= 1 && f <= 4;
    const bool write = f == 5 || f == 6 || f == 15 || f == 16;
    if (t[0] == 'R' ? !read : !write)
        return false;
    function = uint8_t(f);
    return true;
}

struct TargetedName {
    const char* name;
    TargetedFault::Kind kind;
};
constexpr TargetedName kTargetedNames[] = {
    {"drop_at", TargetedFault::Kind::Drop},
    {"delay_at", TargetedFault::Kind::Delay},
    {"bad_crc_at", TargetedFault::Kind::BadCrc},
    {"wrong_slave_at", TargetedFault::Kind::WrongSlave},
    {"exception_at", TargetedFault::Kind::Exception},
};

// "FN ADDR [VALUE]" after a targeted fault's name.
bool targeted(std::istringstream& in, TargetedFault& t) {
    std::string request;
    long address = 0;
    if (!(in >> request >> address) || !requestFunction(request, t.function) || address < 0 ||
        address > 0xFFFF)
        return false;
    t.address = uint16_t(address);
    switch (t.kind) {
        case TargetedFault::Kind::Delay:
            return static_cast<bool>(in >> t.value) && t.value >= 0 && t.value <= 600000;
        case TargetedFault::Kind::Exception:
            if (!(in >> t.value))
                t.value = 2;  // illegal data address
            return t.value >= 1 && t.value <= 255;
        default:
            return true;
    }
}

}  // namespace

bool parseFaults(std::string_view text, Faults& out, std::string& error) {
    Faults f;
    std::istringstream in{std::string(text)};
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        std::istringstream ls(line);
        std::string name;
        if (!(ls >> name) || name[0] == '#')
            continue;
        bool ok = true;
        bool firstOnly = false;
        if (name == "first_only") {
            firstOnly = true;
            if (!(ls >> name)) {
                error = "line " + std::to_string(lineNo) + ": first_only needs a targeted fault";
                return false;
            }
        }
        const TargetedName* aimed = nullptr;
        for (const TargetedName& t : kTargetedNames)
            if (name == t.name)
                aimed = &t;
        if (firstOnly && !aimed) {
            error = "line " + std::to_string(lineNo) +
                    ": first_only applies to the *_at faults, not '" + name + "'";
            return false;
        }
        if (aimed) {
            TargetedFault t;
            t.kind = aimed->kind;
            t.firstOnly = firstOnly;
            ok = targeted(ls, t);
            if (ok)
                f.targeted.push_back(t);
        } else if (name == "byte_gap") {
            ok = static_cast<bool>(ls >> f.byteGapMs) && f.byteGapMs >= 0 && f.byteGapMs <= 10000;
        } else if (name == "drop") {
            ok = fraction(ls, f.drop);
        } else if (name == "bad_crc") {
            ok = fraction(ls, f.badCrc);
        } else if (name == "wrong_slave") {
            ok = fraction(ls, f.wrongSlave);
        } else if (name == "delay") {
            ok = static_cast<bool>(ls >> f.delayMs) && f.delayMs >= 0 && f.delayMs <= 600000;
        } else if (name == "close_after") {
            ok = static_cast<bool>(ls >> f.closeAfter) && f.closeAfter >= 0;
        } else if (name == "refuse_writes") {
            int code = 0;
            ok = static_cast<bool>(ls >> code) && code >= 0 && code <= 0xFFFF;
            f.refuseWrites = uint16_t(code);
        } else if (name == "off") {
            int v = 1;
            if (!(ls >> v))
                v = 1;
            f.off = v != 0;
        } else if (name == "fail_channel") {
            int ch = 0, code = 26;
            ok = static_cast<bool>(ls >> ch) && ch >= 1 && ch <= 30;
            if (ok && !(ls >> code))
                code = 26;
            ok = ok && code >= -32768 && code <= 32767;
            if (ok)
                f.failChannels.emplace_back(ch, int16_t(code));
        } else {
            error = "line " + std::to_string(lineNo) + ": unknown fault '" + name + "'";
            return false;
        }
        if (!ok) {
            error = "line " + std::to_string(lineNo) + ": bad value for '" + name + "'";
            return false;
        }
    }
    out = std::move(f);
    return true;
}

const char* faultsHelp() {
    return "Faults file (--faults FILE): one 'NAME VALUE' per line, read at start, whenever\n"
           "the file changes and on SIGHUP; a missing file means no faults.\n"
           "  drop P            do not answer a fraction P (0..1) of requests\n"
           "  delay MS          answer every request MS milliseconds late\n"
           "  bad_crc P         corrupt the CRC of a fraction P of RTU answers\n"
           "  wrong_slave P     answer a fraction P of requests with another slave/unit number\n"
           "  close_after N     close a TCP connection after N requests\n"
           "  refuse_writes C   refuse every write with MODBUS exception 4 and module error C\n"
           "  off [1|0]         answer nothing at all\n"
           "  fail_channel N [C] channel N fails with module error C (default 26,\n"
           "                    \"Thermocouple open\"); may be repeated\n"
           "  byte_gap MS       pause MS milliseconds between the bytes of every answer\n"
           "Faults aimed at one request: FN is R1..R4 (reads) or W5, W6, W15, W16 (writes),\n"
           "ADDR an address the request covers; each may be repeated, and preceded by\n"
           "'first_only' to hit only the first such request after the faults are loaded:\n"
           "  drop_at FN ADDR          the module acts but its answer is lost\n"
           "  delay_at FN ADDR MS      the answer comes MS milliseconds late\n"
           "  bad_crc_at FN ADDR       the RTU answer's CRC is corrupted\n"
           "  wrong_slave_at FN ADDR   the answer carries another slave/unit number\n"
           "  exception_at FN ADDR [C] the module does not act and answers MODBUS\n"
           "                           exception C (default 2, illegal data address)\n"
           "Example: first_only drop_at W16 44000\n";
}

}  // namespace qd40::sim
