#include "app/core/program/program_report.h"

#include "app/core/program/program_export.h"
#include "app/core/program/program_strings.h"
#include "app/core/views/channel_list.h"
#include "common/ansi_text.h"
#include "common/config/code_tables.h"
#include "control/rules/min_periods.h"

namespace qd40::app::program {

namespace {
using namespace ptext;

std::string channelsText(uint32_t mask) {
    std::string out;
    for (int n = 1; n <= cfg::kChannels; ++n)
        if (mask >> (n - 1) & 1u)
            out += (out.empty() ? "" : " ") + std::to_string(n);
    return out.empty() ? "-" : out;
}

std::string onOff(bool on) {
    return on ? "ON" : "OFF";
}

std::string limitsText(unsigned bits) {
    std::string out;
    for (int k = 1; k <= cfg::kLimits; ++k)
        if (bits >> (k - 1) & 1u)
            out += (out.empty() ? "" : " ") + std::to_string(k);
    return out.empty() ? "-" : out;
}
}  // namespace

std::optional<ProgramReport> programReport(CTavikItem& item, const std::string& productName,
                                           const std::string& productVersion,
                                           const std::string& userName) {
    const std::optional<CQd40CfgX> x = snapshotOf(item);
    if (!x)
        return std::nullopt;
    const auto rows = views::channelListRows(item.control());
    if (!rows)
        return std::nullopt;
    ProgramReport r;
    r.title =
        strings::formatText(programText(kPrintTitle), productName.c_str(), productVersion.c_str(),
                            item.longDisplayName().c_str(), userName.c_str());
    const cfg::ConstFullCfgView v(x->cfg);

    ReportSection comm{programText(kPrintCommunication), {}};
    comm.lines.push_back("Module: " + x->name);
    if (x->connectionType) {
        comm.lines.push_back("Serial port: COM " + std::to_string(x->port) +
                             (x->address.empty() ? "" : " of " + x->address));
        comm.lines.push_back("Rate: " + std::to_string(x->rate) +
                             ", serial mode: " + std::to_string(x->serialMode) +
                             ", server's port settings: " + onOff(x->serverParams != 0));
    } else {
        comm.lines.push_back("Ethernet: " + x->address + ", port " + std::to_string(x->port));
    }
    comm.lines.push_back("Slave number: " + std::to_string(x->slave));
    r.sections.push_back(std::move(comm));

    ReportSection chans{programText(kPrintChannels), {}};
    const std::vector<std::string> titles = views::channelListColumns();
    for (int n = 1; n <= cfg::kChannels; ++n) {
        if (v.channel(n).function() == cfg::kFctNotProg)
            continue;
        const views::ChannelRow& row = (*rows)[size_t(n - 1)];
        std::string line;
        for (size_t c = 0; c < row.size() && c < titles.size(); ++c) {
            if (row[c].empty())
                continue;
            line += (line.empty() ? "" : "  ") + titles[c] + " " + row[c];
        }
        chans.lines.push_back(line);
    }
    if (chans.lines.empty())
        chans.lines.push_back(std::string(cfg::functionText(cfg::kFctNotProg)));
    r.sections.push_back(std::move(chans));

    ReportSection acq{programText(kPrintAcquisition), {}};
    acq.lines.push_back("Opening: " + std::string(cfg::acqOpeningText(v.acqOpening())));
    acq.lines.push_back("Execution: " + std::string(cfg::execModeText(v.execMode())));
    acq.lines.push_back("Acquisition period: " + std::to_string(v.acqPeriod()) + " " +
                        std::string(cfg::periodUnitText(v.periodUnit())) + " " + "(min: " +
                        std::to_string(rules::computeMinPeriods(v).minAcqPeriodMs) + " ms)");
    acq.lines.push_back("Auxiliary period: " + std::to_string(v.auxPeriod()) + " " +
                        std::string(cfg::periodUnitText(v.periodUnit())));
    acq.lines.push_back(
        "Cut-off tests: " + std::string(cfg::scheduleText(v.cutOffSchedule())) +
        "; RJ temperature: " + std::string(cfg::scheduleText(v.refJunctionSchedule())) +
        "; line resistance: " + std::string(cfg::scheduleText(v.lineResSchedule())));
    acq.lines.push_back("Channels to scan: " + channelsText(v.chansToScan()));
    r.sections.push_back(std::move(acq));

    ReportSection mem{programText(kPrintMemoryBlocks), {}};
    const cfg::ConstMemsStatusMaskCfg masks(x->memsMask);
    for (int b = 1; b <= cfg::kMemBlocks; ++b) {
        const cfg::ConstMemBlockCfg blk = v.memBlock(b);
        if (blk.size() == 0)
            continue;
        mem.lines.push_back("Block " + std::to_string(b) + ": " + std::to_string(blk.size()) +
                            " records, channels " + channelsText(blk.chansToRecord()));
        std::string opening =
            "  Opening: " + std::string(cfg::openingConditionText(blk.openingCondition()));
        if (blk.openingCondition() >= cfg::kAlarmAtLeastOne)
            opening += " (channels " + channelsText(blk.openingChans()) + ", limits " +
                       limitsText(blk.openingLimits()) + ")";
        if (blk.reopenable())
            opening += ", " + std::string(cfg::kReopenableText);
        if (blk.emptyOnOpening())
            opening += ", " + std::string(cfg::kEmptyOnOpeningText);
        mem.lines.push_back(opening);
        std::string rec = "  Recording:";
        if (blk.recordEvery())
            rec += " " + std::string(cfg::kRecordEveryText) + " " + std::to_string(blk.everyN()) +
                   " acquisition cycles;";
        if (blk.compacting())
            rec += " " + std::string(cfg::kCompactingText) + ";";
        for (int k = 1; k <= cfg::kLimits; ++k)
            if (blk.recordAlarmLimits() >> (k - 1) & 1u)
                rec += " " + std::string(cfg::recordAlarmText(k)) + ";";
        if (blk.recordOnTrig())
            rec += " " + std::string(cfg::kRecordOnTrigText) + ";";
        mem.lines.push_back(rec);
        std::string closing = "  Closing:";
        if (blk.closeOnFull())
            closing += " " + std::string(cfg::kFullBlockText) + ";";
        if (blk.closingEvent() != cfg::kCloseNone)
            closing += " " + std::to_string(blk.closingDelayCycles()) +
                       " acquisition cycles after " +
                       std::string(cfg::closingEventText(blk.closingEvent())) + ";";
        if (blk.nextBlock() != 0)
            closing += " then open block " + std::to_string(blk.nextBlock()) + ";";
        mem.lines.push_back(closing);
        std::string events;
        for (int e = 0; e < 4; ++e)
            if (masks.signals(e, b))
                events += (events.empty() ? "" : ", ") + std::string(cfg::memoryEventText(e));
        if (!events.empty())
            mem.lines.push_back("  Events signaled: " + events);
    }
    if (mem.lines.empty())
        mem.lines.push_back("-");
    r.sections.push_back(std::move(mem));

    ReportSection glob{programText(kPrintGlobal), {}};
    glob.lines.push_back("Reference junction: " +
                         std::string(cfg::refJunctionText(v.externalRefJunction())));
    glob.lines.push_back("External TRIG input: " +
                         std::string(cfg::directionText(v.trigReverse())));
    for (int rel = 1; rel <= 2; ++rel)
        glob.lines.push_back("Relay " + std::to_string(rel) + ": " +
                             std::string(cfg::relaySourceText(rel, v.relayModbus(rel))) +
                             ", control " + std::string(cfg::directionText(v.relayReverse(rel))));
    r.sections.push_back(std::move(glob));

    ReportSection mail{programText(kPrintEmail), {}};
    const cfg::ConstEmailCfg e(x->email);
    for (int i = 1; i <= 3; ++i)
        mail.lines.push_back(std::string(cfg::recipientLabel(i)) + " " +
                             text::ansiToUtf8(e.recipient(i)));
    for (int bit = 0; bit < 3; ++bit)
        mail.lines.push_back(std::string(cfg::emailConditionText(bit)) + ": " +
                             onOff(bit == 2 ? e.onMemoryEvent() : e.onGlobalAlarm(bit + 1)));
    mail.lines.push_back("Message: " + text::ansiToUtf8(e.message()));
    r.sections.push_back(std::move(mail));
    return r;
}

}  // namespace qd40::app::program
