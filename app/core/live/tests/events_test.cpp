// The abnormal events list: the texts of each kind of event, the events of a
// simulated module and their export.
#include <fstream>
#include <sstream>

#include "app/core/app_strings.h"
#include "app/core/live/events_presenter.h"
#include "live_fixture.h"

namespace qd40::app::live {
namespace {

TEST(EventText, EachKindAndTheModuleErrorTable) {
    struct Case {
        uint16_t code, detail;
        const char* text;
    };
    const Case cases[] = {
        {0x1000, 0, "Power On"},
        {0x2000, 7, "Power Off"},
        {0x3000, 0, "Module Initializing"},
        {0x4000 | 26, 2, "Error 26: Thermocouple open (2)"},
        {0x0000 | 17, 9, "Error 17: Acquisition must be stopped before executing Command (9)"},
        {0x5000 | 58, 0, "Error 58: TCP/IP Stack Initialization Error (0)"},
        {0x4000 | 63, 1, "Error 63: Error when connecting to the Access Povider via Modem (1)"},
        {0xF000 | 64, 65535, "Error 64: Unknown Error (65535)"},
        {0x4FFF, 3, "Error 4095: Unknown Error (3)"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(eventText({0, c.code, c.detail}), c.text) << std::hex << c.code;
    EXPECT_EQ(moduleErrorAppText(0), "No Error");
}

TEST(EventText, EventsAreTakenEightBytesAtATime) {
    const uint8_t bytes[] = {
        0x10, 0,    0, 0,    0x1A, 0x40, 3, 0, 0xFF, 0xFF,
        0xFF, 0xFF, 0, 0x10, 0,    0,    1, 2, 3};  // a trailing part of an event is ignored
    const auto events = parseEvents(bytes);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].seconds, 16u);
    EXPECT_EQ(events[0].kind(), 4);
    EXPECT_EQ(events[0].number(), 26);
    EXPECT_EQ(events[0].detail, 3);
    EXPECT_EQ(events[1].seconds, 0xFFFFFFFFu);
    EXPECT_EQ(events[1].kind(), 1);
}

using EventsTest = testing::LiveTest;

TEST_F(EventsTest, ListsTheModulesEventsAndExportsThemWhole) {
    start();
    runModule();
    EventsPresenter events(item(), prompter, platform::Locale::posix());
    EXPECT_EQ(events.title(), "Module \"QD40@127.0.0.1#1\" Abnormal Events");
    EXPECT_EQ(EventsPresenter::columns(), (std::vector<std::string>{"No.", "Date", "Event"}));
    ASSERT_TRUE(sims[0]->setFaults("fail_channel 2 26\n"));
    ASSERT_TRUE(until([&] { return events.rows().size() >= 2; }, [&] { events.refresh(); }))
        << events.error();
    EXPECT_TRUE(isOpen()) << "open while the dialog lives";
    const auto& rows = events.rows();
    EXPECT_EQ(rows[0][0], "001");
    EXPECT_EQ(rows[0][2], "Power On");
    EXPECT_EQ(rows[1][0], "002");
    EXPECT_EQ(rows[1][2], "Error 26: Thermocouple open (2)");
    // YYYY-MM-DD HH:MM:SS of the module's clock.
    EXPECT_EQ(rows[1][1].size(), 19u);
    EXPECT_EQ(rows[1][1][10], ' ');

    const std::string file = sims[0]->folder() + "/events.txt";
    ASSERT_TRUE(events.exportTo(file).isOk());
    std::ifstream in(file);
    std::stringstream got;
    got << in.rdbuf();
    std::string expected = "Events\nNo.\tDate\tEvent\n";
    for (const auto& r : rows)
        expected += r[0] + "\t" + r[1] + "\t" + r[2] + "\n";
    EXPECT_EQ(got.str(), expected);
    // A file that cannot be written is left as it was, and the failure says which.
    const Status refused = events.exportTo(sims[0]->folder() + "/missing/events.txt");
    EXPECT_FALSE(refused.isOk());
    EXPECT_NE(refused.error.description.find("missing/events.txt"), std::string::npos)
        << refused.error.description;
    EXPECT_TRUE(prompter.shown.empty());
}

TEST_F(EventsTest, AFailureIsShownWithMessage125AndTheDialogCarriesOn) {
    start();
    {
        EventsPresenter events(item(), prompter, platform::Locale::posix());
        ASSERT_TRUE(events.refresh());
        const size_t before = events.rows().size();
        ASSERT_TRUE(sims[0]->setFaults("off 1\n"));
        EXPECT_FALSE(events.refresh());
        ASSERT_EQ(prompter.shown.size(), 1u);
        EXPECT_EQ(prompter.shown[0].text, events.error());
        EXPECT_EQ(events.error().rfind("Error:\n\n. Code 0x", 0), 0u) << events.error();
        EXPECT_EQ(events.rows().size(), before) << "the rows stay";
        ASSERT_TRUE(sims[0]->setFaults(""));
        EXPECT_TRUE(until([&] { return events.refresh(); })) << events.error();
        EXPECT_TRUE(events.error().empty());
    }
    EXPECT_FALSE(isOpen()) << "closed by the dialog that opened it";

    // A control the document keeps open stays open.
    ASSERT_EQ(item().control().Open(), S_OK);
    { EventsPresenter(item(), prompter, platform::Locale::posix()).refresh(); }
    EXPECT_TRUE(isOpen());
}

}  // namespace
}  // namespace qd40::app::live
