#include "cli/config_listing.h"

#include <cstdio>

#include "common/config/ansi_text.h"
#include "common/config/code_tables.h"
#include "control/rules/min_periods.h"
#include "platform/strings.h"

namespace qd40::cli {

using strings::format;

std::string maskText(uint32_t mask, int count) {
    std::string out;
    for (int n = 1; n <= count; ++n) {
        if (!((mask >> (n - 1)) & 1))
            continue;
        int last = n;
        while (last < count && ((mask >> last) & 1))
            ++last;
        if (!out.empty())
            out += ", ";
        out += last == n ? std::to_string(n) : std::to_string(n) + "-" + std::to_string(last);
        n = last;
    }
    return out.empty() ? "none" : out;
}

std::string numberText(float value, char decimalSeparator) {
    if (value == cfg::kMaxFloat)
        return "MAX";
    std::string text = format("%g", double(value));
    for (char& c : text)
        if (c == '.')
            c = decimalSeparator;
    return text;
}

namespace {

std::string text(std::string_view v) {
    return std::string(v);
}

std::string yesNo(bool v) {
    return v ? "yes" : "no";
}

// The limits 1 to 4 named by a 4-bit mask.
std::string limitsText(unsigned bits) {
    std::string out;
    for (int k = 1; k <= cfg::kLimits; ++k)
        if (bits & (1u << (k - 1)))
            out += (out.empty() ? "" : ", ") + std::to_string(k);
    return out.empty() ? "none" : out;
}

// An opening condition or closing event with the limits and channels of an alarm condition.
std::string conditionText(std::string_view name, int code, unsigned limits, uint32_t chans) {
    std::string out(name.empty() ? "none" : name);
    if (code >= cfg::kAlarmAtLeastOne && code <= cfg::kAlarmNone)
        out += " (limits " + limitsText(limits) + "; channels " + maskText(chans, cfg::kChannels) +
               ")";
    return out;
}

void listGlobal(std::string& out, cfg::ConstFullCfgView full) {
    out += format("Global word: 0x%04X\n", full.globalWord());
    out += "  TRIG input: " + text(cfg::directionText(full.trigReverse())) + "\n";
    for (int r = 1; r <= 2; ++r)
        out += format("  Relay %d: ", r) + text(cfg::directionText(full.relayReverse(r))) + ", " +
               text(cfg::relaySourceText(r, full.relayModbus(r))) + "\n";
    out += "  Reference junction: " + text(cfg::refJunctionText(full.externalRefJunction())) + "\n";
    for (int g = 1; g <= cfg::kGlobalAlarms; ++g)
        for (int k = 1; k <= cfg::kLimits; ++k)
            if (uint32_t m = full.globalAlarmMask(g, k))
                out += format("  Global alarm %d, limit %d: channels ", g, k) +
                       maskText(m, cfg::kChannels) + "\n";
}

void listAcquisition(std::string& out, cfg::ConstFullCfgView full) {
    const unsigned unitMs = cfg::periodUnitMs(full.periodUnit());
    out += format("Acquisition word: 0x%04X\n", full.acqWord());
    out += "  Execution mode: " + text(cfg::execModeText(full.execMode())) + "\n";
    out += "  Acquisition opening: " + text(cfg::acqOpeningText(full.acqOpening())) + "\n";
    out += format("  Acquisition period: %u ", full.acqPeriod()) +
           text(cfg::periodUnitText(full.periodUnit())) +
           format(" (%lu ms)\n", static_cast<unsigned long>(full.acqPeriod()) * unitMs);
    out += format("  Auxiliary period: %u ", full.auxPeriod()) +
           text(cfg::periodUnitText(full.periodUnit())) +
           format(" (%lu ms)\n", static_cast<unsigned long>(full.auxPeriod()) * unitMs);
    out +=
        "  Reference junction measurement: " + text(cfg::scheduleText(full.refJunctionSchedule())) +
        "\n";
    out +=
        "  Line resistance measurement: " + text(cfg::scheduleText(full.lineResSchedule())) + "\n";
    out += "  Cut-off test: " + text(cfg::scheduleText(full.cutOffSchedule())) + "\n";
    out += "  Channels scanned: " + maskText(full.chansToScan(), cfg::kChannels) + "\n";
}

void listChannel(std::string& out, const ctl::CtlState& state, int n, char dec) {
    const cfg::ConstFullCfgView full(state.cfg);
    const cfg::ConstChannelCfg ch = full.channel(n);
    const cfg::ConstQd40ExtCfg ext(state.ext);
    const cfg::ConstChansResCfg res(state.chansRes);
    const int fct = ch.function();
    std::string unit = cfg::ansiToUtf8(ext.chanUnit(n));
    if (unit.empty())
        unit = cfg::ansiToUtf8(cfg::defaultUnit(fct, ch.range()));
    out += format("  Channel %02d", n);
    if (const std::string mnemo = cfg::ansiToUtf8(ext.chanMnemonic(n)); !mnemo.empty())
        out += " \"" + mnemo + "\"";
    out += full.scanned(n) ? " (scanned)" : " (not scanned)";
    out += ": " + text(cfg::functionText(fct)) + ", " + text(cfg::rangeText(fct, ch.range())) +
           ", " + text(cfg::connectionText(ch.connection(), fct)) + ", " +
           text(cfg::speedText(ch.speed())) + "\n";
    out += "    Unit: " + (unit.empty() ? std::string("none") : unit) +
           format("; delay: %u ms; default value: ", ch.delayMs()) +
           numberText(ch.defaultValue(), dec) + "; resolution: " +
           (res.shownResol(n) == cfg::ChansResCfg::kAuto ? std::string("auto")
                                                         : format("%u", res.shownResol(n))) +
           "\n";
    out += "    Cut-off test: " + yesNo(ch.cutOffTest()) + "; RJC: " + yesNo(ch.rjc()) +
           "; dead band: " + numberText(float(ch.deadBandRel()) / 100.0f, dec) + " %, " +
           numberText(ch.deadBandAbs(), dec) + "\n";
    for (int k = 1; k <= cfg::kLimits; ++k) {
        const cfg::ConstLimitCfg lim = ch.limit(k);
        if (!lim.inUse())
            continue;
        out += format("    Limit %d: ", k) + (lim.high() ? "High " : "Low ") +
               numberText(lim.level(), dec) + ", hysteresis " + numberText(lim.hysteresis(), dec) +
               format(", counter %u\n", lim.counter());
    }
    const auto points = ch.linPoints();
    if (!points.empty()) {
        out += format("    Linearisation: %zu points", points.size());
        for (const cfg::LinPoint& p : points)
            out += " (" + numberText(p.x, dec) + "; " + numberText(p.y, dec) + ")";
        out += "\n";
    }
}

void listBlock(std::string& out, cfg::ConstFullCfgView full, int b) {
    const cfg::ConstMemBlockCfg mb = full.memBlock(b);
    out += format("  Block %d: %lu records; channels ", b, static_cast<unsigned long>(mb.size())) +
           maskText(mb.chansToRecord(), cfg::kChannels) + "\n";
    out += "    Opening: " + conditionText(cfg::openingConditionText(mb.openingCondition()),
                                           mb.openingCondition(), mb.openingLimits(),
                                           mb.openingChans());
    if (mb.reopenable())
        out += ", " + text(cfg::kReopenableText);
    if (mb.emptyOnOpening())
        out += ", " + text(cfg::kEmptyOnOpeningText);
    out +=
        "\n    Closing: " + conditionText(cfg::closingEventText(mb.closingEvent()),
                                          mb.closingEvent(), mb.closingLimits(), mb.closingChans());
    if (mb.closeOnFull())
        out += ", " + text(cfg::kFullBlockText);
    out += format(", after %lu cycles", static_cast<unsigned long>(mb.closingDelayCycles()));
    if (mb.nextBlock() >= 1 && mb.nextBlock() <= cfg::kMemBlocks)
        out += format(", then block %u opens", mb.nextBlock());
    out += "\n    Recording:";
    std::string rec;
    if (mb.compacting())
        rec += ", " + text(cfg::kCompactingText);
    if (mb.recordOnTrig())
        rec += ", " + text(cfg::kRecordOnTrigText);
    if (mb.recordEvery())
        rec += ", " + text(cfg::kRecordEveryText) +
               format(" %lu cycles", static_cast<unsigned long>(mb.everyN() ? mb.everyN() : 1));
    for (int k = 1; k <= cfg::kLimits; ++k)
        if (mb.recordAlarmLimits() & (1u << (k - 1)))
            rec += ", " + text(cfg::recordAlarmText(k));
    out += (rec.empty() ? std::string(" none") : " " + rec.substr(2)) + "\n";
}

}  // namespace

std::string configListing(const ctl::CtlState& state, const platform::Locale& locale) {
    const cfg::ConstFullCfgView full(state.cfg);
    const char dec = locale.decimalSeparator();
    std::string out;
    if (const std::string name = cfg::ansiToUtf8(cfg::ConstQd40ExtCfg(state.ext).moduleMnemonic());
        !name.empty())
        out += "Module: " + name + "\n";
    listGlobal(out, full);
    listAcquisition(out, full);

    out += "Channels:\n";
    uint32_t unused = 0;
    for (int n = 1; n <= cfg::kChannels; ++n) {
        if (full.channel(n).function() == cfg::kFctNotProg)
            unused |= 1u << (n - 1);
        else
            listChannel(out, state, n, dec);
    }
    if (unused)
        out += "  Not programmed: " + maskText(unused, cfg::kChannels) + "\n";

    out += "Memory blocks:\n";
    uint32_t empty = 0;
    for (int b = 1; b <= cfg::kMemBlocks; ++b) {
        if (full.memBlock(b).size() == 0)
            empty |= 1u << (b - 1);
        else
            listBlock(out, full, b);
    }
    if (empty)
        out += "  Not programmed: " + maskText(empty, cfg::kMemBlocks) + "\n";

    const rules::MinPeriods periods = rules::computeMinPeriods(full);
    out += format("Minimal acquisition period: %lu ms\n",
                  static_cast<unsigned long>(periods.minAcqPeriodMs));
    out += format("Auxiliary period: %lu ms\n", static_cast<unsigned long>(periods.auxPeriodMs));
    return out;
}

}  // namespace qd40::cli
