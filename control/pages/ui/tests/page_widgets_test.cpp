// The property frame offscreen: every page and both dialogs render in
// English and French, and the frame's Apply writes an edit to the control.
#include <gtest/gtest.h>

#include <cstdlib>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>

#include "control/ctl/ovixqd40ctl.h"
#include "control/pages/ui/page_widgets.h"

namespace qd40::pages::ui {
namespace {

class PageWidgetsTest : public ::testing::TestWithParam<const char*> {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "pages_ui_tests";
        static char* argv[] = {name, nullptr};
        app_ = new QApplication(argc, argv);
    }
    static void TearDownTestSuite() {
        delete app_;
        app_ = nullptr;
    }
    void SetUp() override { setenv("LC_ALL", GetParam(), 1); }
    void TearDown() override { setenv("LC_ALL", "C", 1); }
    bool french() const { return std::string(GetParam()).rfind("fr", 0) == 0; }

    static inline QApplication* app_ = nullptr;
};

TEST_P(PageWidgetsTest, EveryPageAndDialogRendersInTheLanguage) {
    ctl::OvixQd40Ctl control({});
    CtlPageTarget target(control);
    ControlPropertyFrame frame({&target}, 3, french() ? ',' : '.', [] {
        return std::optional<ServerVersion>(ServerVersion{"B.10", 0x0002000A, 0});
    });
    ASSERT_TRUE(frame.activate());
    ASSERT_EQ(frame.tabs()->count(), 6);
    const QStringList english = {"&Channels", "&Acquisition", "&Memory Blocks",
                                 "&Global",   "&E-mail",      "&About OvixQd40Ctl"};
    const QStringList frenchTabs = {"&Voies",  "&Acquisition", "Blocs &mémoire",
                                    "&Global", "&E-mail",      "À &propos d'OvixQd40Ctl"};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(frame.tabs()->tabText(i), (french() ? frenchTabs : english)[i]);
        frame.tabs()->setCurrentIndex(i);
        frame.show();
        QApplication::processEvents();
        const QImage shot = frame.grab().toImage();
        EXPECT_FALSE(shot.isNull());
        EXPECT_GT(shot.width(), 300);
    }
    auto* chans = static_cast<ChansPage*>(frame.pages()[0]);
    EXPECT_EQ(chans->channelList()->currentText(), "03") << "opens on the first channel given";
    bool serverShown = false;
    for (QLabel* l : frame.pages()[5]->findChildren<QLabel*>())
        serverShown = serverShown || l->text() == "OvixQd40Svr Version B.10 (2,10,0,0)";
    EXPECT_TRUE(serverShown);

    LinPointsModel points(3, {{0.5f, 1}, {2, 4}}, 2, french() ? ',' : '.');
    SystemClipboard clipboard;
    LinPointsDialog lin(points, clipboard);
    lin.show();
    QApplication::processEvents();
    EXPECT_EQ(lin.windowTitle().toStdString(), french() ? "Points de linéarisation de la voie 3"
                                                        : "Linearization Points for the channel 3");
    EXPECT_EQ(lin.list()->rowCount(), 2);
    DefineConditionModel condition = frame.mem.defineCondition(true);
    DefineConditionDialog define(condition);
    define.show();
    QApplication::processEvents();
    EXPECT_FALSE(define.grab().toImage().isNull());
    EXPECT_TRUE(define.windowTitle().endsWith(" 1"));
}

TEST_P(PageWidgetsTest, ApplyWritesTheEditToTheControl) {
    ctl::OvixQd40Ctl control({});
    CtlPageTarget target(control);
    ControlPropertyFrame frame({&target}, 1, '.', {});
    ASSERT_TRUE(frame.activate());
    EXPECT_FALSE(frame.applyButton()->isEnabled());
    auto* acq = static_cast<AcqPage*>(frame.pages()[1]);
    frame.acq.setPeriodUnit(cfg::kUnit1s);
    frame.acq.acqCount = "3";
    acq->refresh();
    Q_EMIT acq->edited();
    EXPECT_TRUE(frame.applyButton()->isEnabled());
    frame.applyButton()->click();
    cfg::VariantBlob v;
    ASSERT_EQ(control.get_Cfg(&v), S_OK);
    EXPECT_EQ(cfg::ConstFullCfgView(v.data).periodUnit(), cfg::kUnit1s);
    EXPECT_EQ(cfg::ConstFullCfgView(v.data).acqPeriod(), 3);
    EXPECT_FALSE(frame.applyButton()->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(Languages, PageWidgetsTest, ::testing::Values("C", "fr_FR.UTF-8"));

}  // namespace
}  // namespace qd40::pages::ui
