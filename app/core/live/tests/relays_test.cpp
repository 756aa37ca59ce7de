// The relays dialog: the warning about relays left to the global alarms, the
// states read from a simulated module and which buttons each state enables.
#include "app/core/app_strings.h"
#include "app/core/live/relays_presenter.h"
#include "live_fixture.h"

namespace qd40::app::live {
namespace {

using RelaysTest = testing::LiveTest;

TEST_F(RelaysTest, WarnsUnlessBothRelaysAreUnderModbusControl) {
    start();
    struct Case {
        bool relay1, relay2, warning;
    };
    for (const Case c : {Case{false, false, true}, Case{true, false, true}, Case{false, true, true},
                         Case{true, true, false}}) {
        configureRelays(c.relay1, c.relay2, false);
        RelaysPresenter relays(item(), prompter);
        EXPECT_EQ(relays.openingWarning().has_value(), c.warning) << c.relay1 << c.relay2;
    }
    configureRelays(false, true, false);
    RelaysPresenter relays(item(), prompter);
    EXPECT_EQ(relays.title(), "Module \"QD40@127.0.0.1#1\" Relays Status and Control");
    EXPECT_EQ(*relays.openingWarning(), appText(text::kRelaysNotModbus));
}

TEST_F(RelaysTest, ClosingAndOpeningFollowTheModulesRelays) {
    start();
    configureRelays(true, true, true);
    RelaysPresenter relays(item(), prompter);
    relays.start();
    EXPECT_TRUE(prompter.shown.empty()) << "no warning, no failure";
    struct Expected {
        const char* status;
        bool closeEnabled, openEnabled;
    };
    auto check = [&](int r, Expected e) {
        EXPECT_EQ(relays.relay(r).status, e.status) << r;
        EXPECT_EQ(relays.relay(r).closeEnabled, e.closeEnabled) << r;
        EXPECT_EQ(relays.relay(r).openEnabled, e.openEnabled) << r;
    };
    const Expected open{"Open", true, false}, closed{"Closed", false, true};
    check(1, open);
    check(2, open);
    ASSERT_TRUE(relays.set(2, true)) << relays.error();
    check(1, open);
    check(2, closed);
    // What the module says, read by another client.
    int32_t on = 0;
    ASSERT_EQ(item().control().GetRel(2, &on), S_OK);
    EXPECT_EQ(on, 1);
    ASSERT_TRUE(relays.set(2, false)) << relays.error();
    check(2, open);
}

TEST_F(RelaysTest, ARefusedCommandIsShownAndTheDialogStays) {
    start();
    configureRelays(false, false, true);
    RelaysPresenter relays(item(), prompter);
    relays.start();
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].icon, Icon::Information);
    EXPECT_FALSE(relays.set(1, true));
    ASSERT_EQ(prompter.shown.size(), 2u);
    EXPECT_NE(prompter.shown[1].text.find("not set to control the relay via Modbus"),
              std::string::npos)
        << prompter.shown[1].text;
    EXPECT_EQ(relays.relay(1).status, "Open") << "read again after the refusal";

    // A module that stops answering leaves the relays unknown, and comes back.
    ASSERT_TRUE(sims[0]->setFaults("off 1\n"));
    EXPECT_FALSE(relays.update());
    EXPECT_EQ(relays.relay(1).status, "");
    EXPECT_FALSE(relays.relay(1).closeEnabled || relays.relay(1).openEnabled);
    ASSERT_TRUE(sims[0]->setFaults(""));
    EXPECT_TRUE(until([&] { return relays.update(); })) << relays.error();
    EXPECT_EQ(relays.relay(1).status, "Open");
}

}  // namespace
}  // namespace qd40::app::live
