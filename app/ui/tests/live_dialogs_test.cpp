// The live dialogs offscreen on a simulated module: what their buttons and
// timers call, and what they show of their presenters.
#include <QApplication>
#include <QChart>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include "app/core/live/tests/live_fixture.h"
#include "app/ui/clock_dialog.h"
#include "app/ui/curves_dialog.h"
#include "app/ui/events_dialog.h"
#include "app/ui/live_launch.h"
#include "app/ui/measures_dialog.h"
#include "app/ui/relays_dialog.h"
#include "app/ui/status_dialog.h"
#include "qt_app_fixture.h"

namespace qd40::ui {
namespace {

// The suite's QApplication, as the other widget tests have it.
struct QApplicationOfSuite : testing::WithQApplication {
    using WithQApplication::SetUpTestSuite;
    using WithQApplication::TearDownTestSuite;
};

class LiveDialogs : public app::live::testing::LiveTest {
protected:
    static void SetUpTestSuite() { QApplicationOfSuite::SetUpTestSuite(); }
    static void TearDownTestSuite() { QApplicationOfSuite::TearDownTestSuite(); }
    template <class T>
    static T* child(QWidget& w, const char* name) {
        T* found = w.findChild<T*>(name);
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
};

TEST_F(LiveDialogs, EventsUpdateAndExport) {
    start();
    app::live::EventsPresenter presenter(item(), prompter, platform::Locale::posix());
    CVisEvtsDialog dialog(presenter, prompter);
    EXPECT_EQ(dialog.windowTitle(), "Module \"QD40@127.0.0.1#1\" Abnormal Events");
    auto* list = child<QTreeWidget>(dialog, "events");
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->topLevelItemCount(), 0);
    child<QPushButton>(dialog, "update")->click();
    ASSERT_GE(list->topLevelItemCount(), 1);
    EXPECT_EQ(list->topLevelItem(0)->text(2), "Power On");

    const QString file = QString::fromStdString(sims[0]->folder()) + "/events.txt";
    dialog.chooseFile = [&] { return file; };
    child<QPushButton>(dialog, "toTextFile")->click();
    QFile written(file);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll().toStdString(), presenter.exportText());
    EXPECT_TRUE(prompter.shown.empty());
}

TEST_F(LiveDialogs, RelaysButtonsSwitchTheRelayAndFollowItsState) {
    start();
    configureRelays(true, true, true);
    app::live::RelaysPresenter presenter(item(), prompter);
    CRelaysDialog dialog(presenter);
    auto* close1 = child<QPushButton>(dialog, "close1");
    auto* open1 = child<QPushButton>(dialog, "open1");
    auto* status1 = child<QLabel>(dialog, "status1");
    ASSERT_TRUE(close1 && open1 && status1);
    EXPECT_FALSE(close1->isEnabled()) << "unknown before the first reading";
    child<QPushButton>(dialog, "update")->click();
    EXPECT_EQ(status1->text(), "Open");
    ASSERT_TRUE(close1->isEnabled());
    EXPECT_FALSE(open1->isEnabled());
    close1->click();
    EXPECT_EQ(status1->text(), "Closed");
    EXPECT_FALSE(close1->isEnabled());
    EXPECT_TRUE(open1->isEnabled());
    EXPECT_TRUE(prompter.shown.empty());
}

TEST_F(LiveDialogs, StatusCommandsFollowTheRightsAndSeeOpensTheEvents) {
    start();
    session.rights &= ~(1u << app::right::kStop);
    app::live::StatusPresenter presenter(item(), prompter, session);
    CStatusDialog dialog(presenter);
    int seen = 0;
    dialog.seeEvents = [&] { ++seen; };
    EXPECT_FALSE(child<QPushButton>(dialog, "stop")->isEnabled());
    auto* run = child<QPushButton>(dialog, "run");
    auto* running = child<QCheckBox>(dialog, "bit0");
    ASSERT_TRUE(run && running);
    ASSERT_TRUE(run->isEnabled());
    run->click();
    EXPECT_TRUE(running->isChecked());
    child<QPushButton>(dialog, "see")->click();
    EXPECT_EQ(seen, 1);
    EXPECT_TRUE(prompter.shown.empty());
}

TEST_F(LiveDialogs, ClockTicksWithItsTimerAndSendsTheTypedTime) {
    start();
    app::live::testing::FixedClock clock;
    app::live::ClockPresenter presenter(item(), prompter, session, clock,
                                        platform::Locale::posix());
    CQd40TimeDialog dialog(presenter);
    auto* computer = child<QLineEdit>(dialog, "computerTime");
    ASSERT_NE(computer, nullptr);
    EXPECT_EQ(computer->text(), "2030-01-02 03:04:05");
    EXPECT_FALSE(child<QLineEdit>(dialog, "moduleTime")->text().isEmpty());
    clock.t += 1;
    QSignalSpy ticks(dialog.timer(), &QTimer::timeout);
    ASSERT_TRUE(ticks.wait(5000));
    EXPECT_EQ(computer->text(), "2030-01-02 03:04:06");

    child<QLineEdit>(dialog, "enteredTime")->setText("2031-05-06 07:08:09");
    child<QPushButton>(dialog, "send")->click();
    ASSERT_EQ(session.events.size(), 1u);
    EXPECT_EQ(session.events[0].second.at(1), "2031-05-06 07:08:09");
    EXPECT_TRUE(prompter.shown.empty());
}

TEST_F(LiveDialogs, MeasuresScanContinuouslyWithTheTimerAndRecord) {
    start();
    runModule();
    {
        app::OpenForCommand open(item().control());
        ASSERT_EQ(item().control().ReadCfg(), S_OK);
    }
    app::live::testing::FixedClock clock;
    app::live::MeasuresPresenter presenter(
        *doc, prompter, session,
        [](const std::string&, const std::string&, const std::string& text) { return text; }, clock,
        platform::Locale::posix());
    CVisMesDialog dialog(presenter, *doc);
    auto* list = child<QTreeWidget>(dialog, "measures");
    auto* startStop = child<QPushButton>(dialog, "startStop");
    ASSERT_TRUE(list && startStop);
    ASSERT_EQ(list->topLevelItemCount(), 4);
    EXPECT_TRUE(list->topLevelItem(0)->text(2).isEmpty());

    child<QRadioButton>(dialog, "continuous")->click();
    startStop->click();
    EXPECT_EQ(startStop->text(), "Stop Scanning");
    EXPECT_TRUE(dialog.timer()->isActive());
    QSignalSpy ticks(dialog.timer(), &QTimer::timeout);
    ASSERT_TRUE(ticks.wait(5000));
    EXPECT_FALSE(list->topLevelItem(0)->text(2).isEmpty()) << "values shown by the timer's scan";

    child<QPushButton>(dialog, "curves")->click();
    ASSERT_NE(dialog.curves(), nullptr);
    EXPECT_TRUE(dialog.curves()->isVisible());
    EXPECT_EQ(dialog.curves()->chart()->series().size(), 4);

    child<QPushButton>(dialog, "recording")->click();
    ASSERT_EQ(doc->blocks().size(), 1u);
    EXPECT_EQ(doc->blocks()[0]->name, "QD40@127.0.0.1#1_0_1");
    startStop->click();
    EXPECT_FALSE(dialog.timer()->isActive());
    EXPECT_TRUE(prompter.shown.empty());
}

TEST_F(LiveDialogs, ChannelsToScanAreChosenInTheTree) {
    start();
    app::live::testing::FixedClock clock;
    app::live::MeasuresPresenter presenter(
        *doc, prompter, session,
        [](const std::string&, const std::string&, const std::string&) { return std::nullopt; },
        clock, platform::Locale::posix());
    CChansScanDialog choose(presenter, *doc);
    auto* tree = child<QTreeWidget>(choose, "channels");
    ASSERT_NE(tree, nullptr);
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    ASSERT_EQ(tree->topLevelItem(0)->childCount(), 30);
    child<QPushButton>(choose, "none")->click();
    tree->topLevelItem(0)->child(2)->setCheckState(0, Qt::Checked);
    choose.accept();
    EXPECT_EQ(presenter.scanned(0), 0b100u);
    EXPECT_EQ(presenter.lines().size(), 1u);
    CChansScanDialog again(presenter, *doc);
    child<QPushButton>(again, "all")->click();
    again.accept();
    EXPECT_EQ(presenter.scanned(0), (1u << 30) - 1);
}

TEST_F(LiveDialogs, EachDialogOpensOnTheModuleAndGivesItsCommunicationBack) {
    start();
    app::live::testing::FixedClock clock;
    const platform::Locale locale = platform::Locale::posix();
    // Closes the modal dialog once it shows, and says what it was.
    QStringList titles;
    auto closeWhenShown = [&] {
        QTimer::singleShot(0, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            ASSERT_NE(modal, nullptr);
            titles << modal->windowTitle();
            EXPECT_TRUE(isOpen()) << "open while " << modal->windowTitle().toStdString()
                                  << " shows";
            modal->close();
        });
    };
    const std::vector<std::function<void()>> dialogs = {
        [&] { execEventsDialog(item(), prompter, locale, nullptr); },
        [&] { execRelaysDialog(item(), prompter, nullptr); },
        [&] { execStatusDialog(item(), prompter, session, locale, nullptr); },
        [&] { execClockDialog(item(), prompter, session, clock, locale, nullptr); },
        [&] { execMeasuresDialog(*doc, prompter, session, clock, locale, nullptr); },
    };
    for (const auto& show : dialogs) {
        closeWhenShown();
        show();
        EXPECT_FALSE(isOpen()) << "closed by the dialog that opened it";
    }
    EXPECT_EQ(titles, (QStringList{"Module \"QD40@127.0.0.1#1\" Abnormal Events",
                                   "Module \"QD40@127.0.0.1#1\" Relays Status and Control",
                                   "Module \"QD40@127.0.0.1#1\" Status",
                                   "Set module \"QD40@127.0.0.1#1\" internal clock",
                                   "Measurements Display"}));
}

}  // namespace
}  // namespace qd40::ui
