// The live dialogs offscreen on a simulated module: what their buttons and
// timers call, and what they show of their presenters.
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "app/core/live/tests/live_fixture.h"
#include "app/ui/events_dialog.h"
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

}  // namespace
}  // namespace qd40::ui
