// Offscreen wiring of the SETUP widgets and of the main window's lock.
#include <unistd.h>

#include <gtest/gtest.h>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QToolBar>

#include "app/core/opc/opc_toolkit.h"
#include "app/core/tavik_app.h"
#include "app/core/tests/doc_test_support.h"
#include "app/ui/comm_dialog.h"
#include "app/ui/main_frame.h"
#include "app/ui/setup/setup_dialogs.h"
#include "app/ui/setup/setup_sheet.h"
#include "app/ui/tests/qt_app_fixture.h"

namespace qd40::ui {
namespace {

using namespace app::setup;
constexpr int kWaitMs = 5000;

class SetupWidgets : public testing::WithQApplication {};

SetupRecord factoryLike() {
    SetupRecord r;
    r.setNumber(item::kP1Rate, 9600);
    r.setNumber(item::kP2Rate, 1200);  // not one of the list's rates
    r.setNumber(item::kP1Slave, 1);
    r.setNumber(item::kP2Slave, 17);
    r.setNumber(item::kP1WordsOrder, 5);  // non-zero, but not 1
    r.setNumber(item::kP1Pause, 3);       // USB, in the module's own numbers
    r.setNumber(item::kP1EofCount, 5);
    r.setNumber(item::kP2EofCount, 4);
    r.setNumber(item::kIpAddress, *parseIpv4("192.168.1.40"));
    r.setNumber(item::kGatewayWait, 10);
    r.setNumber(item::kMains60Hz, 7);
    r.setText(item::kModuleName, "QD40");
    return r;
}

TEST_F(SetupWidgets, SheetClosedWithOkWithoutChangeGivesTheRecordBackUnchanged) {
    const SetupRecord original = factoryLike();
    SetupSheet sheet(original);
    sheet.accept();
    EXPECT_EQ(sheet.result(), QDialog::Accepted);
    EXPECT_EQ(sheet.record(), original) << "nothing would be sent but the store";
}

TEST_F(SetupWidgets, SheetPutsWhatWasEnteredIntoItsItems) {
    SetupSheet sheet(factoryLike());
    sheet.findChild<QLineEdit*>("ip-address")->setText("10.0.0.7");
    sheet.findChild<QLineEdit*>("module-name")->setText("Line 2");
    sheet.findChild<QComboBox*>("p1-interface")->setCurrentIndex(int(SerialInterface::Radio));
    sheet.findChild<QRadioButton*>("front-run-stop")->setChecked(true);
    sheet.findChild<QRadioButton*>("modbus-gateway")->setChecked(true);
    auto* wait = sheet.findChild<QSpinBox*>("gateway-wait");
    EXPECT_TRUE(wait->isEnabled()) << "the waiting time goes with the gateway mode";
    wait->setValue(3);
    sheet.accept();
    const SetupRecord& r = sheet.record();
    EXPECT_EQ(ipv4Text(r.number(item::kIpAddress)), "10.0.0.7");
    EXPECT_EQ(r.text(item::kModuleName), "Line 2");
    EXPECT_EQ(r.number(item::kP1Pause), 100u);
    EXPECT_EQ(r.number(item::kP1EofCount), 8u);
    EXPECT_EQ(r.number(item::kFrontRunStop), 1u);
    EXPECT_EQ(r.number(item::kGateway485), 1u);
    EXPECT_EQ(r.number(item::kGatewayWait), 3u);
    EXPECT_EQ(r.number(item::kP2Rate), 1200u) << "a rate outside the list is kept";
}

TEST_F(SetupWidgets, OtherPageShowsAndSetsTheModuleClock) {
    DateTime module{2026, 3, 4, 5, 6, 7, 0};
    std::vector<DateTime> sent;
    SetupClock clock;
    clock.read = [&]() -> std::optional<DateTime> { return module; };
    clock.send = [&](const DateTime& when) {
        sent.push_back(when);
        module = when;
        return true;
    };
    SetupSheet sheet(factoryLike(), nullptr, &clock);
    auto* shown = sheet.findChild<QLabel*>("moduleTime");
    EXPECT_EQ(shown->text(), "2026-03-04 05:06:07");
    sheet.findChild<QDateTimeEdit*>("enteredTime")
        ->setDateTime(QDateTime(QDate(2030, 1, 2), QTime(3, 4, 5)));
    sheet.findChild<QPushButton*>("sendTime")->click();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], (DateTime{2030, 1, 2, 3, 4, 5, 0}));
    EXPECT_EQ(shown->text(), "2030-01-02 03:04:05") << "read again after sending";
    sheet.findChild<QPushButton*>("synchronize")->click();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[1].year, QDate::currentDate().year()) << "the computer's time";
}

TEST_F(SetupWidgets, EthernetAddressSwitchesBaseAndReadsBack) {
    CMacAddrDialog dialog({0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0xFF});
    auto* first = dialog.findChild<QLineEdit*>("byte2");
    EXPECT_EQ(first->text(), "1A");
    dialog.setHex(false);
    EXPECT_EQ(first->text(), "26");
    dialog.findChild<QLineEdit*>("byte6")->setText("254");
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.address(), (MacAddress{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0xFE}));
}

TEST_F(SetupWidgets, CommunicationDialogInItsSetupFormOffersOnlyThePort) {
    ctl::CtlConnection p;
    p.serial = true;
    p.port = 3;
    p.ovixQd40SvrParams = false;
    CCommDialog dialog(p, "Tavik", nullptr, app::views::CommForm::Setup);
    for (const char* name : {"serial", "network", "local", "remoteHost", "host", "serverParams",
                             "rate", "interface", "address", "slave"})
        EXPECT_FALSE(dialog.findChild<QWidget*>(name)->isEnabled()) << name;
    auto* port = dialog.findChild<QComboBox*>("comPort");
    EXPECT_TRUE(port->isEnabled());
    port->setCurrentIndex(5);
    EXPECT_EQ(dialog.params().port, 6);
}

// ---- the main window's lock ------------------------------------------------------------

class FrameLock : public testing::WithQApplication {
protected:
    FrameLock()
        : folder_(std::filesystem::temp_directory_path() /
                  ("qd40-frame-lock-" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(folder_);
        app::AppConfig config;
        config.registry = platform::RegistryStore(folder_ / "registry");
        config.productVersion = "B.10";
        config.programPath = folder_ / "tavik";
        config.documentsFolder = folder_;
        config.auditFolder = folder_ / "audit";
        config.hashCost = security::HashCost::minimum();
        app_ = std::make_unique<app::CTavikApp>(config, prompter_, opc_, clock_);
        frame_ = std::make_unique<MainFrame>(*app_, prompter_, FrameConfig{});
        frame_->showNormal();
        frame_->setGeometry(40, 40, 800, 600);
        EXPECT_TRUE(QTest::qWaitForWindowExposed(frame_.get(), kWaitMs));
    }
    ~FrameLock() override {
        frame_.reset();
        app_.reset();
        std::filesystem::remove_all(folder_);
    }
    void doubleClickCaption() {
        QMouseEvent e(QEvent::NonClientAreaMouseButtonDblClick, QPointF(20, -10),
                      frame_->mapToGlobal(QPointF(20, -10)), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
        QApplication::sendEvent(frame_.get(), &e);
        QApplication::processEvents();
    }

    std::filesystem::path folder_;
    app::testing::ScriptedPrompter prompter_;
    app::opc::NullOpcToolkit opc_{platform::RegistryStore(folder_ / "registry")};
    security::SystemClock clock_;
    std::unique_ptr<app::CTavikApp> app_;
    std::unique_ptr<MainFrame> frame_;
};

TEST_F(FrameLock, UnlockedTheCaptionMaximisesAndTheWindowMoves) {
    doubleClickCaption();
    EXPECT_TRUE(frame_->isMaximized());
    doubleClickCaption();
    EXPECT_FALSE(frame_->isMaximized());
    frame_->move(120, 90);
    QApplication::processEvents();
    EXPECT_EQ(frame_->pos(), QPoint(120, 90));
}

TEST_F(FrameLock, LockedTheCaptionDoesNotMaximiseAndTheWindowDoesNotMove) {
    EXPECT_FALSE(frame_->apply(true)) << "switching to other applications cannot be blocked";
    QApplication::processEvents();
    EXPECT_TRUE(frame_->isFullScreen());
    EXPECT_TRUE(frame_->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_FALSE(frame_->windowFlags() & Qt::WindowMaximizeButtonHint);
    const QPoint place = frame_->pos();

    doubleClickCaption();
    EXPECT_FALSE(frame_->isMaximized());
    EXPECT_TRUE(frame_->isFullScreen());

    frame_->move(place + QPoint(150, 70));
    QTRY_COMPARE_WITH_TIMEOUT(frame_->pos(), place, kWaitMs);

    frame_->showMinimized();
    QTRY_VERIFY_WITH_TIMEOUT(frame_->isFullScreen() && !frame_->isMinimized(), kWaitMs);

    EXPECT_TRUE(frame_->apply(false));
    EXPECT_TRUE(frame_->isMaximized()) << "unlocked, the window is shown maximised";
    frame_->showNormal();
    frame_->move(place + QPoint(30, 30));
    QApplication::processEvents();
    EXPECT_EQ(frame_->pos(), place + QPoint(30, 30)) << "unlocked, the window moves again";
}

TEST_F(FrameLock, RecordsToolBarShowsWhileAnExplorerIsActive) {
    QAction records("Copy");
    frame_->addRecordsTool(&records);
    frame_->newDocument();
    QToolBar* bar = frame_->recordsToolBar();
    EXPECT_FALSE(bar->isVisibleTo(frame_.get())) << "a program window is active";
    frame_->action(app::views::Command::RecordsView)->trigger();
    QApplication::processEvents();
    ASSERT_TRUE(qobject_cast<ExplorerWindow*>(frame_->activeWindow()));
    EXPECT_TRUE(bar->isVisibleTo(frame_.get()));
    QMdiArea* mdi = frame_->mdiArea();
    mdi->setActiveSubWindow(mdi->subWindowList(QMdiArea::CreationOrder).first());
    QApplication::processEvents();
    EXPECT_FALSE(bar->isVisibleTo(frame_.get()));
}

}  // namespace
}  // namespace qd40::ui
