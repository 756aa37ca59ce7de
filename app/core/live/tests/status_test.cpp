// The module status dialog on a simulated module: the status word's bits,
// the memory blocks, the commands and the rights that allow them.
#include "app/core/app_strings.h"
#include "app/core/live/status_presenter.h"
#include "live_fixture.h"

namespace qd40::app::live {
namespace {

using Command = StatusPresenter::Command;
using security::AuditEvent;
using StatusTest = testing::LiveTest;

TEST_F(StatusTest, ShowsTheStatusWordAndTheMemoryBlocks) {
    start();
    StatusPresenter status(item(), prompter, session);
    EXPECT_EQ(status.title(), "Module \"QD40@127.0.0.1#1\" Status");
    EXPECT_EQ(StatusPresenter::bitText(0), "In ACQUISITION mode (RUN)");
    EXPECT_EQ(StatusPresenter::bitText(10), "Changing status of alarm 4 over one channel (AL4C)");
    EXPECT_EQ(StatusPresenter::bitText(15), "Remote control via the current port (REMP)");
    EXPECT_EQ(status.statusWord(), std::nullopt);

    ASSERT_TRUE(status.update());
    EXPECT_FALSE(status.bit(0));
    EXPECT_FALSE(status.block(1).recording);
    EXPECT_EQ(status.block(1).available, 0u);

    ASSERT_TRUE(status.send(Command::Run)) << status.error();
    EXPECT_TRUE(status.bit(0)) << "read again after the command";
    EXPECT_TRUE(status.block(1).recording) << "block 1 opens with the acquisition";
    ASSERT_TRUE(status.send(Command::Remote)) << status.error();
    EXPECT_TRUE(status.bit(14));
    EXPECT_TRUE(status.bit(15));
    ASSERT_TRUE(status.send(Command::Local)) << status.error();
    EXPECT_FALSE(status.bit(14));
    // Some cycles recorded.
    ASSERT_TRUE(until([&] { return status.update() && status.block(1).available > 2; }));
    ASSERT_TRUE(status.send(Command::Stop)) << status.error();
    EXPECT_FALSE(status.bit(0));
    EXPECT_FALSE(status.block(1).recording);
    EXPECT_TRUE(status.block(1).closed);
    EXPECT_GT(status.block(1).available, 0u);

    ASSERT_EQ(session.events.size(), 2u);
    EXPECT_EQ(session.events[0].first, AuditEvent::SEND_RUN);
    EXPECT_EQ(session.events[0].second, std::vector<std::string>{"QD40@127.0.0.1#1"});
    EXPECT_EQ(session.events[1].first, AuditEvent::SEND_STOP);
    EXPECT_TRUE(prompter.shown.empty());
}

TEST_F(StatusTest, EachCommandNeedsItsRight) {
    start();
    struct Case {
        Command command;
        int right;
    };
    const Case cases[] = {{Command::Run, right::kRun},
                          {Command::Stop, right::kStop},
                          {Command::Trig, right::kTransmit},
                          {Command::Local, right::kTransmit},
                          {Command::Remote, right::kTransmit}};
    StatusPresenter status(item(), prompter, session);
    for (const Case& c : cases) {
        session.rights = 0xFFFFFFFFu & ~(1u << c.right);
        EXPECT_FALSE(status.enabled(c.command)) << c.right;
        for (const Case& other : cases) {
            if (other.right != c.right) {
                EXPECT_TRUE(status.enabled(other.command)) << c.right;
            }
        }
    }
    session.rights &= ~(1u << right::kRun);
    EXPECT_FALSE(status.send(Command::Run));
    session.rights = 0xFFFFFFFFu;
    ASSERT_TRUE(status.update());
    EXPECT_FALSE(status.bit(0)) << "a refused command is not sent";
    EXPECT_TRUE(session.events.empty());
}

TEST_F(StatusTest, AModuleThatStopsAnsweringIsReadAgainWhenItComesBack) {
    start();
    StatusPresenter status(item(), prompter, session);
    ASSERT_TRUE(status.update());
    const auto before = status.statusWord();
    ASSERT_TRUE(sims[0]->setFaults("off 1\n"));
    EXPECT_FALSE(status.update());
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].text, "Unable to read status");
    EXPECT_EQ(status.statusWord(), before) << "what was shown stays";
    EXPECT_FALSE(status.send(Command::Run));
    EXPECT_EQ(prompter.shown.back().text, status.error());
    ASSERT_TRUE(sims[0]->setFaults(""));
    EXPECT_TRUE(until([&] { return status.send(Command::Run); })) << status.error();
    EXPECT_TRUE(status.bit(0));
}

}  // namespace
}  // namespace qd40::app::live
