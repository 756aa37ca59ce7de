// The dialogs and message boxes, offscreen: what they show from the core's
// rules and what they give back.
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "app/ui/comm_dialog.h"
#include "app/ui/qt_prompter.h"
#include "app/ui/three_buttons_dialog.h"
#include "qt_app_fixture.h"

namespace qd40::ui {
namespace {

using Dialogs = testing::WithQApplication;

TEST_F(Dialogs, MessageBoxesCarryTheCaptionTheIconRuleAndTheDefaultButton) {
    struct Case {
        app::Icon asked;
        app::Buttons buttons;
        int defaultButton;
        QMessageBox::Icon icon;
        QMessageBox::StandardButton defaultShown;
    };
    const Case cases[] = {
        {app::Icon::None, app::Buttons::Ok, 0, QMessageBox::Warning, QMessageBox::Ok},
        {app::Icon::None, app::Buttons::YesNoCancel, 1, QMessageBox::Warning, QMessageBox::No},
        {app::Icon::Question, app::Buttons::YesNo, 0, QMessageBox::Question, QMessageBox::Yes},
        {app::Icon::Stop, app::Buttons::OkCancel, 1, QMessageBox::Critical, QMessageBox::Cancel},
        {app::Icon::Information, app::Buttons::Ok, 0, QMessageBox::Information, QMessageBox::Ok},
    };
    for (const Case& c : cases) {
        auto box = makeMessageBox(nullptr, "Tavik", "text", c.buttons, c.asked, c.defaultButton);
        EXPECT_EQ(box->windowTitle(), "Tavik");
        EXPECT_EQ(box->icon(), c.icon);
        ASSERT_NE(box->defaultButton(), nullptr);
        EXPECT_EQ(box->standardButton(box->defaultButton()), c.defaultShown);
    }
}

TEST_F(Dialogs, ThreeChoicesGiveThePressedButtonOrNothing) {
    const std::array<std::string, 3> texts{"&First", "", "&Third"};
    C3ButtonsDialog pressed("Title", "Text", texts);
    const auto buttons = pressed.findChildren<QPushButton*>();
    ASSERT_EQ(buttons.size(), 2) << "a button without text is not offered";
    EXPECT_TRUE(buttons[0]->isDefault());
    buttons[1]->click();
    EXPECT_EQ(pressed.choice(), 2);
    EXPECT_EQ(pressed.result(), QDialog::Accepted);

    C3ButtonsDialog closed("Title", "Text", texts);
    closed.reject();
    EXPECT_EQ(closed.choice(), std::nullopt);
}

TEST_F(Dialogs, CommunicationParametersComeBackAsShown) {
    ctl::CtlConnection serial;
    serial.serial = true;
    serial.ipAddr = "lab";
    serial.port = 3;
    serial.ovixQd40SvrParams = false;
    serial.baudRate = 38400;
    serial.serialMode = ctl::qd40SerialModeUsb;
    serial.mbAddr = 7;
    ctl::CtlConnection network;
    network.serial = false;
    network.ipAddr = "10.0.0.5";
    network.port = 1502;
    network.mbAddr = 2;
    for (const ctl::CtlConnection& p : {serial, network}) {
        CCommDialog dialog(p, "Tavik");
        EXPECT_EQ(dialog.params(), p) << p.ipAddr;
    }
}

TEST_F(Dialogs, CommunicationFieldsFollowTheChoices) {
    ctl::CtlConnection p;
    p.serial = true;
    p.ovixQd40SvrParams = true;
    CCommDialog dialog(p, "Tavik");
    auto* host = dialog.findChild<QLineEdit*>("host");
    auto* address = dialog.findChild<QLineEdit*>("address");
    auto* comPort = dialog.findChild<QComboBox*>("comPort");
    auto* rate = dialog.findChild<QComboBox*>("rate");
    ASSERT_TRUE(host && address && comPort && rate);
    EXPECT_FALSE(host->isEnabled()) << "host with Local chosen";
    EXPECT_FALSE(rate->isEnabled()) << "rate with the server's parameters";
    EXPECT_FALSE(address->isEnabled()) << "network address of a serial module";
    dialog.findChild<QRadioButton*>("remoteHost")->setChecked(true);
    EXPECT_TRUE(host->isEnabled());

    // Choosing the network: the serial fields go, the address comes.
    dialog.findChild<QRadioButton*>("network")->setChecked(true);
    EXPECT_TRUE(address->isEnabled());
    EXPECT_FALSE(comPort->isEnabled());
    EXPECT_FALSE(host->isEnabled());
    address->setText("192.168.1.20");
    EXPECT_FALSE(dialog.params().serial);
    EXPECT_EQ(dialog.params().ipAddr, "192.168.1.20");
    EXPECT_EQ(dialog.params().port, 502)
        << "a module moved to the network gets the MODBUS/TCP port";
}

}  // namespace
}  // namespace qd40::ui
