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
// Permanent memory

namespace {

void appendWords(std::ostringstream& out, const char* tag, int key,
                 std::span<const uint16_t> words) {
    out << tag << ' ' << key;
    char buf[8];
    for (uint16_t w : words) {
        std::snprintf(buf, sizeof buf, " %04X", w);
        out << buf;
    }
    out << '\n';
}

}  // namespace

std::string Module::saveState(uint64_t unixMs) const {
    std::ostringstream out;
    out << "qd40sim-state 1\n";
    out << "clock " << clockMs() << ' ' << unixMs << '\n';
    for (int a = 0; a < 65536;) {
        if (!storedArea(areaOf(a))) {
            ++a;
            continue;
        }
        int e = a;
        while (e < 65536 && e - a < 16 && storedArea(areaOf(e)))
            ++e;
        appendWords(out, "holding", a, std::span<const uint16_t>(hr_).subspan(a, e - a));
        a = e;
    }
    for (const auto& [id, words] : setupStored_)
        appendWords(out, "setup", id, words);
    for (int i = 0; i < 4; ++i)
        appendWords(out, "email", i, emailText_[i]);
    return out.str();
}

bool Module::loadState(std::string_view text, uint64_t unixMs, std::string& error) {
    std::istringstream in{std::string(text)};
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        std::istringstream ls(line);
        std::string tag;
        if (!(ls >> tag) || tag[0] == '#' || tag == "qd40sim-state")
            continue;
        auto fail = [&](const std::string& what) {
            error = "line " + std::to_string(lineNo) + ": " + what;
            return false;
        };
        if (tag == "clock") {
            uint64_t clock = 0, savedUnix = 0;
            if (!(ls >> clock >> savedUnix))
                return fail("clock needs two numbers");
            const uint64_t elapsed = unixMs > savedUnix ? unixMs - savedUnix : 0;
            setClock(clock + elapsed);
            continue;
        }
        long key = 0;
        if (!(ls >> key))
            return fail("missing address or identifier");
        std::vector<uint16_t> words;
        std::string w;
        while (ls >> w) {
            char* end = nullptr;
            const unsigned long v = std::strtoul(w.c_str(), &end, 16);
            if (*end != '\0' || v > 0xFFFF)
                return fail("bad word '" + w + "'");
            words.push_back(uint16_t(v));
        }
        if (tag == "holding") {
            for (size_t i = 0; i < words.size(); ++i)
                if (key < 0 || key + long(i) > 65535 || !storedArea(areaOf(int(key + long(i)))))
                    return fail("register " + std::to_string(key + long(i)) +
                                " is not kept in permanent memory");
            for (size_t i = 0; i < words.size(); ++i)
                setReg(int(key + long(i)), words[i]);
        } else if (tag == "setup") {
            auto it = setupStored_.find(int(key));
            if (it == setupStored_.end())
                return fail("unknown SETUP item");
            if (words.size() != it->second.size())
                return fail("wrong word count for SETUP item");
            it->second = words;
            setupLive_[int(key)] = words;
        } else if (tag == "email") {
            if (key < 0 || key > 3 || words.size() != emailText_[key].size())
                return fail("bad e-mail text");
            emailText_[key] = words;
        } else {
            return fail("unknown entry '" + tag + "'");
        }
    }
    updateOutputs();
    return true;
}

}  // namespace qd40::sim
