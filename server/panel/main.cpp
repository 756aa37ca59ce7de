// ovixqd40svr-panel: the operator window of the communication daemon. It
// shows the serial ports pre-configuration of the machine-wide store and
// talks to the running daemon of this user; closing the window leaves the
// daemon running, "Exit" ends it.
//   ovixqd40svr-panel                   the window
//   ovixqd40svr-panel --screenshots DIR pictures of its three windows, no daemon needed
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <cstdio>
#include <cstring>

#include "platform/registry.h"
#include "platform/strings.h"
#include "server/panel/panel_daemon.h"
#include "server/panel/panel_widgets.h"

namespace {

using namespace qd40::panel;
using qd40::E_FAIL;
using qd40::Status;

// What the pictures show: a daemon that answers as a simulated module would.
class PictureDaemon final : public DaemonAccess {
public:
    std::unique_ptr<PanelObject> create(Status* status) override {
        if (status)
            *status = Status::failure(E_FAIL, "not started for pictures");
        return nullptr;
    }
    std::unique_ptr<PanelObject> running(Status* status) override { return create(status); }
    Status quit() override { return Status::ok(); }
    Status transportVersion(uint32_t& ms, uint32_t& ls, std::string& name) override {
        return LocalDaemon().transportVersion(ms, ls, name);
    }
};

bool save(QWidget& w, const QString& dir, const QString& name) {
    w.adjustSize();
    w.show();
    QApplication::processEvents();
    const QString path = QDir(dir).filePath(name);
    if (!w.grab().save(path)) {
        std::fprintf(stderr, "ovixqd40svr-panel: cannot write %s\n", qPrintable(path));
        return false;
    }
    w.hide();
    return true;
}

// The three windows as the operator sees them, named with the language
// ("panel-main-en.png", "panel-main-fr.png"...).
int screenshots(const QString& dir, qd40::platform::RegistryStore& store) {
    QtMessagePort messages;
    LocalDaemon local;
    PictureDaemon pictures;
    PortsPreConfig logic(store, pictures, messages);
    logic.load();
    // Two ports ticked, as an operator would have them, so the picture shows
    // both states of the lists.
    logic.setAvailable(1, true);
    logic.setRateIndex(1, 1);
    logic.setAvailable(2, true);
    logic.setCablingIndex(2, 0);
    const QString lang =
        qd40::strings::languageFromEnvironment() == qd40::strings::Language::French ? "fr" : "en";
    PanelWindow window(logic, pictures, messages);
    window.setWindowIcon(serverIcon());
    bool ok = save(window, dir, "panel-main-" + lang + ".png");

    auto test = window.makeChannelTest();
    ChannelTestDialog dialog(*test);
    auto* list = dialog.findChild<QComboBox*>(controlName(kIdChannelList));
    list->setCurrentIndex(list->count() - 1);
    dialog.findChild<QLineEdit*>(controlName(kIdModbusAddress))->setText("1");
    dialog.findChild<QLineEdit*>(controlName(kIdIpAddress))->setText("192.168.1.20");
    dialog.findChild<QLineEdit*>(controlName(kIdIpPort))->setText("502");
    ok = save(dialog, dir, "panel-test-" + lang + ".png") && ok;

    // The about box with the daemon's answers when one can be reached.
    AboutDialog about(aboutLines(local));
    ok = save(about, dir, "panel-about-" + lang + ".png") && ok;
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("ovixqd40svr-panel");
    QApplication::setWindowIcon(serverIcon());
    qd40::platform::RegistryStore store;
    const QStringList args = QApplication::arguments();
    if (args.size() == 3 && args[1] == "--screenshots") {
        QDir().mkpath(args[2]);
        return screenshots(args[2], store);
    }
    if (args.size() > 1) {
        std::fputs("usage: ovixqd40svr-panel [--screenshots DIR]\n", stderr);
        return 2;
    }
    QtMessagePort messages;
    LocalDaemon daemon;
    PortsPreConfig logic(store, daemon, messages);
    logic.load();
    PanelWindow window(logic, daemon, messages);
    messages.setParent(&window);
    QObject::connect(&window, &PanelWindow::exited, &app, &QApplication::quit);
    window.show();
    return app.exec();
}
