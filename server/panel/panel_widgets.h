// The panel's three windows: the ports pre-configuration (main window), the
// communication channel test and the about box. They only show and collect:
// every decision is in panel_logic.h. Controls carry their identifiers as
// object names ("ctl201"), so tests find them by role.
#pragma once
#include <QDialog>
#include <QIcon>
#include <QWidget>
#include <array>
#include <memory>

#include "server/panel/panel_logic.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace qd40::panel {

// Message boxes captioned by the logic's titles.
class QtMessagePort final : public MessagePort {
public:
    explicit QtMessagePort(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }
    void message(Icon icon, const std::string& title, const std::string& text) override;

private:
    QWidget* parent_;
};

QString controlName(int id);
// The server's icon, drawn (no image file needed at run time).
QIcon serverIcon();

class ChannelTestDialog final : public QDialog {
    Q_OBJECT
public:
    ChannelTestDialog(ChannelTest& logic, QWidget* parent = nullptr);

private:
    void selectionChanged(int index);
    void runTest();

    ChannelTest& logic_;
    QComboBox* channels_;
    QLineEdit* address_;
    QLineEdit* ip_;
    QLineEdit* port_;
};

class AboutDialog final : public QDialog {
    Q_OBJECT
public:
    AboutDialog(const AboutLines& lines, QWidget* parent = nullptr);
};

class PanelWindow final : public QWidget {
    Q_OBJECT
public:
    PanelWindow(PortsPreConfig& logic, DaemonAccess& daemon, MessagePort& messages,
                QWidget* parent = nullptr);

    // Shows the rows of the logic (after load()).
    void showRows();
    // The dialogs, built as the buttons build them (for pictures and tests).
    std::unique_ptr<ChannelTest> makeChannelTest();

Q_SIGNALS:
    // Exit ended the daemon: the panel closes.
    void exited();

private:
    void openTest();
    void openAbout();

    PortsPreConfig& logic_;
    DaemonAccess& daemon_;
    MessagePort& messages_;
    std::array<QCheckBox*, server::kPortCount> checks_{};
    std::array<QComboBox*, server::kPortCount> rates_{};
    std::array<QComboBox*, server::kPortCount> cablings_{};
};

}  // namespace qd40::panel
