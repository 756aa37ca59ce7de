#include "sim/faults.h"

#include <sstream>

namespace qd40::sim {

namespace {

bool fraction(std::istringstream& in, double& v) {
    return static_cast<bool>(in >> v) && v >= 0 && v <= 1;
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
        if (name == "drop") {
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
           "                    \"Thermocouple open\"); may be repeated\n";
}

}  // namespace qd40::sim
