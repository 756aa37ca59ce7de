// The main window's Security menu: connecting, disconnecting and verifying
// users, changing one's password, the users, groups and security attributes
// dialogs, viewing the audit trail and inserting a message into it, each
// offered as the users manager decides. It also hands the connection watch's
// command over to the interface thread, where the forced disconnection runs.
#pragma once
#include <filesystem>
#include <functional>
#include <map>
#include <optional>

#include <QObject>

#include "app/core/tavik_app.h"
#include "app/security/clock.h"
#include "app/ui/main_frame.h"
#include "app/ui/security/qt_security_prompter.h"

class QAction;
class QMenu;

namespace qd40::ui {

class SecurityFrameCommands : public QObject {
    Q_OBJECT
public:
    // Makes prompter the users manager's, shown over the main window.
    SecurityFrameCommands(MainFrame& frame, app::CTavikApp& app, QtSecurityPrompter& prompter,
                          const security::Clock& clock);
    ~SecurityFrameCommands() override;

    // Adds the Security menu before the Help menu and starts the connection
    // watch.
    void addMenu(std::chrono::milliseconds watchPeriod = std::chrono::milliseconds(1000));
    QAction* action(security::SecurityCommand command) const { return actions_.at(command); }
    QMenu* menu() const { return menu_; }
    void updateCommands();
    void run(security::SecurityCommand command);

    // The choice of the audit trail file to view, starting on the current
    // month's file; nullopt on Cancel. A file dialog unless replaced.
    using FileChooser =
        std::function<std::optional<std::filesystem::path>(const std::filesystem::path& start)>;
    void setFileChooser(FileChooser chooser) { chooseFile_ = std::move(chooser); }
    // Asks for the file and shows its text; false when nothing was shown.
    bool viewAuditTrail();

Q_SIGNALS:
    // A forced disconnection has been carried out.
    void forcedDisconnection();

private:
    void forceDisconnect();
    // The rights may have changed: every menu follows.
    void rightsChanged();

    MainFrame& frame_;
    app::CTavikApp& app_;
    QtSecurityPrompter& prompter_;
    const security::Clock& clock_;
    QMenu* menu_ = nullptr;
    std::map<security::SecurityCommand, QAction*> actions_;
    FileChooser chooseFile_;
};

}  // namespace qd40::ui
