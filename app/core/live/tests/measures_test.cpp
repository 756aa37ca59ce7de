// The measurements display: scans of simulated modules into the list, RUN of
// the modules, the recording compared with what the module itself recorded
// of the same cycles, and a module dropped and restored while scanning.
#include <bit>
#include <set>

#include "app/core/live/measures_presenter.h"
#include "app/records/value_text.h"
#include "common/le_bytes.h"
#include "live_fixture.h"

namespace qd40::app::live {
namespace {

using security::AuditEvent;

TEST(ScanRecords, DatedAsTheModulesOwnRecords) {
    std::vector<uint8_t> status(210, 0);
    le::setU16(status, 0, 250);               // ms
    le::setU32(status, 2, 86400);             // 2000-01-02 00:00:00
    le::setU32(status, 10, 1u << 1);          // channel 2 in error
    le::setU32(status, 14 + 4 * 2, 1u << 0);  // channel 1 in alarm of limit 3
    le::setF32(status, 30, 1.5f);
    le::setI16(status, 150 + 2, -26);
    std::vector<uint8_t> delays(60, 0);
    le::setU16(delays, 0, 0x8005);  // 5 x 100 ms
    le::setU16(delays, 2, 0xC00A);  // 10 x 1 s
    const auto cycle = parseCycle(status, delays);
    ASSERT_TRUE(cycle);
    EXPECT_FALSE(parseCycle(std::span(status).first(209), delays));

    records::CExplBloc block;
    const auto raw = scanRecords(*cycle, 0b111, 999);
    ASSERT_EQ(raw.size(), 4u * 8);
    block.AppendRawRecords(raw, 4);
    const auto& r = block.records;
    EXPECT_EQ(r[0].type(), records::kDateRecord);
    EXPECT_EQ(r[0].ms(), 250);
    EXPECT_EQ(r[1].channel(), 1);
    EXPECT_EQ(r[1].type(), records::kMeasureRecord);
    EXPECT_EQ(r[1].alarms(), 0b0100);
    EXPECT_EQ(r[1].value(), 1.5f);
    EXPECT_EQ(r[1].ms(), 750);
    EXPECT_EQ(r[1].date(), r[0].date());
    EXPECT_EQ(r[2].type(), records::kErrorRecord);
    EXPECT_EQ(r[2].errorCode(), -26);
    EXPECT_EQ(r[2].ms(), 250);
    EXPECT_NEAR((r[2].date() - r[0].date()) * 86400, 10.0, 1e-6);
    EXPECT_EQ(r[3].channel(), 3);

    // A module without a cycle time: everything at the computer's time, 0 ms.
    CycleData untimed = *cycle;
    untimed.ms = 0;
    untimed.seconds = 0;
    records::CExplBloc now;
    now.AppendRawRecords(scanRecords(untimed, 0b11, 86400 * 2), 3);
    for (const auto& rec : now.records) {
        EXPECT_EQ(rec.date(), oleDateFromSeconds2000(86400 * 2));
        EXPECT_EQ(rec.ms(), 0);
    }
}

class MeasuresTest : public testing::LiveTest {
protected:
    // Items that know their module's configuration, modules running.
    void startRunning(size_t modules) {
        start(std::vector<std::vector<std::string>>(modules, {"--time-scale", "10"}));
        for (size_t i = 0; i < modules; ++i) {
            {
                OpenForCommand open(item(i).control());
                ASSERT_EQ(item(i).control().ReadCfg(), S_OK);
            }
            runModule(i);
        }
    }
    std::unique_ptr<MeasuresPresenter> presenter() {
        return std::make_unique<MeasuresPresenter>(
            *doc, prompter, session,
            [this](const std::string& title, const std::string& prompt,
                   const std::string& text) -> std::optional<std::string> {
                asked.push_back(title + "|" + prompt + "|" + text);
                if (names.empty())
                    return std::nullopt;
                std::string name = names.front();
                names.erase(names.begin());
                return name;
            },
            clock, platform::Locale::posix());
    }
    // The module's own records of memory block 1, after stopping it.
    records::CExplBloc moduleRecords(size_t i) {
        ctl::OvixQd40Ctl& c = item(i).control();
        OpenForCommand open(c);
        EXPECT_EQ(c.Stop(), S_OK);
        uint32_t count = 0;
        EXPECT_EQ(c.GetMemRecCount(1, &count), S_OK);
        records::CExplBloc block;
        for (uint32_t first = 1; first <= count;) {
            uint32_t got = 0;
            cfg::VariantBlob raw;
            EXPECT_EQ(c.GetMemRecords(1, first, std::min<uint32_t>(count - first + 1, 256), 0, &got,
                                      &raw),
                      S_OK);
            if (got == 0)
                break;
            // Converted in one go, so that every record takes its cycle's date.
            std::vector<uint8_t> all(raw.data.begin(), raw.data.begin() + got * 8);
            block.AppendRawRecords(all, got);
            first += got;
        }
        return block;
    }
    testing::FixedClock clock;
    std::vector<std::string> names, asked;
};

TEST_F(MeasuresTest, ScansFillTheListOfTheScannedChannels) {
    startRunning(1);
    auto p = presenter();
    EXPECT_EQ(
        MeasuresPresenter::columns(),
        (std::vector<std::string>{"Qd40", "Chan.", "Value", "Unit", "Date", "Alarm", "Error"}));
    EXPECT_EQ(p->periodText(100), "0.1 s");
    EXPECT_EQ(p->periodText(5000), "5 s");
    EXPECT_FALSE(p->setPeriod(300));
    EXPECT_TRUE(p->setPeriod(100));
    EXPECT_EQ(p->periodMs(), 100);

    EXPECT_EQ(p->scanned(0), 0b1111u) << "the channels the module scans";
    ASSERT_EQ(p->lines().size(), 4u);
    EXPECT_EQ(p->lines()[1].texts[MeasuresPresenter::kChannel], p->channelName(0, 2));
    EXPECT_EQ(p->lines()[0].texts[MeasuresPresenter::kValue], "") << "nothing scanned yet";

    // One shot: one scan, no scanning.
    EXPECT_EQ(p->startStopText(), "&Start Scanning");
    const bool indicator = p->readingIndicator();
    p->startStop();
    EXPECT_FALSE(p->scanning());
    EXPECT_NE(p->readingIndicator(), indicator);
    for (const auto& line : p->lines()) {
        EXPECT_FALSE(line.texts[MeasuresPresenter::kValue].empty());
        EXPECT_EQ(line.texts[MeasuresPresenter::kDate].size(), 23u)
            << line.texts[MeasuresPresenter::kDate];  // YYYY-MM-DD HH:MM:SS.mmm
    }
    // Continuous: the button starts and stops.
    p->setContinuous(true);
    p->startStop();
    EXPECT_TRUE(p->scanning());
    EXPECT_EQ(p->startStopText(), "Stop Scanning");
    p->startStop();
    EXPECT_FALSE(p->scanning());

    p->setScanned(0, 0b1010);
    ASSERT_EQ(p->lines().size(), 2u);
    EXPECT_EQ(p->lines()[0].channel, 2);
    EXPECT_EQ(p->lines()[1].channel, 4);
    EXPECT_EQ(p->error(), "");
    EXPECT_TRUE(prompter.shown.empty());
}

TEST_F(MeasuresTest, CurvesTakeOnePointPerNewMeasurement) {
    startRunning(1);
    auto p = presenter();
    EXPECT_EQ(p->curvesTitle(), "Measurements Curves");
    ASSERT_TRUE(until([&] { return !p->curves().empty() && p->curves()[0].points.size() >= 3; },
                      [&] { p->tick(); }))
        << p->error();
    ASSERT_EQ(p->curves().size(), 4u);
    const auto& first = p->curves()[0];
    EXPECT_EQ(first.label, "1 " + p->lines()[0].texts[MeasuresPresenter::kQd40] + " " +
                               p->channelName(0, 1) + " (" +
                               p->lines()[0].texts[MeasuresPresenter::kUnit] + ")");
    for (size_t k = 1; k < first.points.size(); ++k)
        EXPECT_LT(first.points[k - 1].first, first.points[k].first) << "one point per cycle";
    EXPECT_EQ(first.points.back().second, double(p->lines()[0].value));
    const size_t points = first.points.size();
    p->tick();
    p->tick();
    EXPECT_LE(p->curves()[0].points.size(), points + 2);

    p->setScanned(0, 0b1);
    p->tick();
    ASSERT_EQ(p->curves().size(), 1u);
    EXPECT_GE(p->curves()[0].points.size(), points) << "a curve kept goes on";
}

TEST_F(MeasuresTest, RecordingWritesTheCyclesAsTheModuleRecordsThem) {
    startRunning(1);
    auto p = presenter();
    names = {"Oven run"};
    p->toggleRecording();
    ASSERT_TRUE(p->recording());
    EXPECT_EQ(p->recordingText(), "Deactivate &Recording");
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0],
              "Block Name|For recording measurements of module \"QD40@127.0.0.1#1\"|"
              "QD40@127.0.0.1#1_0_1");
    ASSERT_EQ(doc->blocks().size(), 1u);
    EXPECT_TRUE(doc->isModified());
    const records::CExplBloc& block = *doc->blocks()[0];
    EXPECT_EQ(block.name, "Oven run");
    EXPECT_EQ(le::u32(block.memCfg, 0), 0xFFFFu);
    EXPECT_EQ(block.storedChannelMask(), 0b1111u);
    EXPECT_EQ(block.channelResolution(1), records::kAutoResolution);

    // Scans until three different cycles are in.
    auto cycles = [&] {
        std::set<uint64_t> dates;
        for (const auto& r : block.records)
            if (r.type() == records::kDateRecord)
                dates.insert(r.dateKey() * 1000 + r.ms());
        return dates.size();
    };
    ASSERT_TRUE(until([&] { return cycles() >= 3; }, [&] { p->tick(); })) << p->error();
    p->toggleRecording();
    EXPECT_FALSE(p->recording());
    const size_t recorded = block.records.size();
    p->tick();
    EXPECT_EQ(block.records.size(), recorded) << "no longer recording";
    ASSERT_EQ(doc->blocks().size(), 1u) << "the block stays in the document";

    // Every scan is a date record and the four channels, each record as the
    // module wrote it into its memory block for the same cycle.
    const records::CExplBloc module = moduleRecords(0);
    ASSERT_EQ(recorded % 5, 0u);
    size_t compared = 0;
    for (size_t at = 0; at < recorded; at += 5) {
        const auto& date = block.records[at];
        ASSERT_EQ(date.type(), records::kDateRecord);
        auto same = std::find(module.records.begin(), module.records.end(), date);
        if (same == module.records.end())
            continue;  // a cycle older than the module's memory holds
        ASSERT_LE(same + 5, module.records.end());
        for (size_t k = 1; k < 5; ++k)
            EXPECT_EQ(block.records[at + k], *(same + ptrdiff_t(k))) << at + k;
        ++compared;
    }
    EXPECT_GE(compared, recorded / 5 - 1);
}

TEST_F(MeasuresTest, RecordingAsksANamePerModuleAndCancelSkipsIt) {
    startRunning(2);
    auto p = presenter();
    p->setScanned(1, 0b1);
    names = {};  // Cancel for both
    p->toggleRecording();
    EXPECT_FALSE(p->recording());
    EXPECT_EQ(asked.size(), 2u);
    EXPECT_TRUE(doc->blocks().empty());
    names = {"second only"};
    asked.clear();
    p->setScanned(0, 0);
    p->toggleRecording();
    EXPECT_TRUE(p->recording());
    ASSERT_EQ(asked.size(), 1u) << "a module without scanned channels is not asked";
    ASSERT_EQ(doc->blocks().size(), 1u);
    EXPECT_EQ(doc->blocks()[0]->storedChannelMask(), 0b1u);
    p->tick();
    EXPECT_EQ(doc->blocks()[0]->records.size(), 2u);
}

TEST_F(MeasuresTest, RunModulesStartsEveryModule) {
    start({{"--time-scale", "10"}, {"--time-scale", "10"}});
    prompter.answers = {Answer::No, Answer::No};  // the programs were not sent: leave them
    auto p = presenter();
    EXPECT_EQ(p->runModules(), S_OK);
    for (size_t i = 0; i < 2; ++i) {
        OpenForCommand open(item(i).control());
        int32_t running = 0;
        ASSERT_EQ(item(i).control().get_IsRunning(&running), S_OK);
        EXPECT_EQ(running, 1) << i;
    }
    ASSERT_FALSE(session.events.empty());
    EXPECT_EQ(session.events[0].first, AuditEvent::SEND_RUN_ALL);
}

TEST_F(MeasuresTest, AModuleDroppedDuringContinuousScanningComesBack) {
    startRunning(2);
    auto p = presenter();
    p->setContinuous(true);
    p->startStop();
    auto dateOf = [&](size_t item) {
        for (const auto& line : p->lines())
            if (line.item == item)
                return line.texts[MeasuresPresenter::kDate];
        return std::string();
    };
    p->tick();
    ASSERT_EQ(p->error(), "");
    ASSERT_TRUE(sims[0]->setFaults("off 1\n"));
    p->tick();
    EXPECT_EQ(p->error().rfind("Module \"QD40@127.0.0.1#1\": Error:", 0), 0u) << p->error();
    EXPECT_TRUE(prompter.shown.empty()) << "no message box from the timer";
    // The other module goes on.
    const std::string frozen = dateOf(0), other = dateOf(1);
    ASSERT_TRUE(until([&] { return dateOf(1) != other; }, [&] { p->tick(); }));
    EXPECT_EQ(dateOf(0), frozen);
    ASSERT_TRUE(sims[0]->setFaults(""));
    ASSERT_TRUE(
        until([&] { return p->error().empty() && dateOf(0) != frozen; }, [&] { p->tick(); }))
        << p->error();
    EXPECT_TRUE(p->scanning());
}

}  // namespace
}  // namespace qd40::app::live
