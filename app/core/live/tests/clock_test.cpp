// The module clock dialog on a simulated module, with the computer's time
// given by the test.
#include <cmath>

#include "app/core/live/clock_presenter.h"
#include "live_fixture.h"

namespace qd40::app::live {
namespace {

using security::AuditEvent;

class ClockTest : public testing::LiveTest {
protected:
    // Seconds from the module's clock to t.
    double moduleLag(security::LocalTime t) {
        double date = 0;
        EXPECT_EQ(item().control().GetDate(&date), S_OK);
        return (toOleDate(security::dateTimeOf(t)) - date) * 86400.0;
    }
    testing::FixedClock clock;
};

TEST_F(ClockTest, ShowsBothTimesAndSetsTheModulesClock) {
    start({{}});
    ClockPresenter presenter(item(), prompter, session, clock, platform::Locale::posix());
    EXPECT_EQ(presenter.title(), "Set module \"QD40@127.0.0.1#1\" internal clock");
    presenter.tick();
    EXPECT_EQ(presenter.computerTime(), "2030-01-02 03:04:05");
    EXPECT_EQ(presenter.moduleTime().size(), 19u) << presenter.error();
    EXPECT_EQ(presenter.enteredTimeDefault(), "2030-01-02 03:04:05");

    ASSERT_TRUE(presenter.synchronize()) << presenter.error();
    EXPECT_LE(std::abs(moduleLag(clock.t)), 2.0);
    EXPECT_EQ(presenter.moduleTime().substr(0, 13), "2030-01-02 03") << "shown after sending";

    ASSERT_TRUE(presenter.send(" 2031-05-06 07:08:09 "));
    EXPECT_LE(std::abs(moduleLag(security::localTimeOf(2031, 5, 6, 7, 8, 9))), 2.0);

    ASSERT_EQ(session.events.size(), 2u);
    EXPECT_EQ(session.events[0].first, AuditEvent::SEND_DATE);
    EXPECT_EQ(session.events[0].second,
              (std::vector<std::string>{"QD40@127.0.0.1#1", "2030-01-02 03:04:05"}));
    EXPECT_EQ(session.events[1].second,
              (std::vector<std::string>{"QD40@127.0.0.1#1", "2031-05-06 07:08:09"}));
    EXPECT_TRUE(prompter.shown.empty());
}

TEST_F(ClockTest, TextThatIsNotADateAndTimeIsRefused) {
    start({{}});
    ClockPresenter presenter(item(), prompter, session, clock, platform::Locale::posix());
    for (const char* typed : {"", "2031-05-06", "2031-02-30 07:08:09", "2031-05-06 07:08:09x"}) {
        prompter.shown.clear();
        EXPECT_FALSE(presenter.send(typed)) << typed;
        ASSERT_EQ(prompter.shown.size(), 1u) << typed;
        EXPECT_EQ(prompter.shown[0].text, "\"" + std::string(typed) +
                                              "\" is not a date and time. Type them as the "
                                              "computer's time is shown.");
    }
    EXPECT_TRUE(session.events.empty());
}

TEST_F(ClockTest, TicksGoOnWhileTheModuleIsSilentAndPickItUpAgain) {
    start();
    ClockPresenter presenter(item(), prompter, session, clock, platform::Locale::posix());
    presenter.tick();
    ASSERT_FALSE(presenter.moduleTime().empty()) << presenter.error();
    ASSERT_TRUE(sims[0]->setFaults("off 1\n"));
    clock.t += 1;
    presenter.tick();
    EXPECT_EQ(presenter.moduleTime(), "");
    EXPECT_EQ(presenter.computerTime(), "2030-01-02 03:04:06");
    EXPECT_EQ(presenter.error().rfind("Error:\n\n. Code 0x", 0), 0u) << presenter.error();
    EXPECT_TRUE(prompter.shown.empty()) << "no message box from the timer";
    ASSERT_TRUE(sims[0]->setFaults(""));
    EXPECT_TRUE(until([&] { return !presenter.moduleTime().empty(); }, [&] { presenter.tick(); }));
    EXPECT_EQ(presenter.error(), "");
}

}  // namespace
}  // namespace qd40::app::live
