// The main window's module SETUP commands (the SETUP sheet, the module's
// Ethernet address, the reset to the default SETUP) and the e-mail counter of
// the selected module, with the Qt forms of what they ask.
#pragma once
#include <map>
#include <memory>

#include <QObject>

#include "app/core/setup/setup_commands.h"
#include "app/core/tavik_app.h"
#include "app/ui/main_frame.h"
#include "app/ui/wait_dialog.h"

class QAction;

namespace qd40::ui {

// The SETUP commands' questions as dialogs over parent.
class QtSetupPorts : public app::setup::SetupPorts, public app::setup::AccessCodeAsker {
public:
    explicit QtSetupPorts(QWidget* parent);
    ~QtSetupPorts() override;
    bool askSetupPort(ctl::CtlConnection& params) override;
    bool editSetup(app::setup::SetupRecord& record, const std::string& moduleVersion,
                   const app::setup::SetupClock& clock) override;
    bool editEthernetAddress(app::setup::MacAddress& address) override;
    records::IWaitDialog& progress() override;
    app::setup::AccessCodeAsker& accessCode() override { return *this; }
    std::optional<int> askNumber(const std::string& title, const std::string& prompt) override;

private:
    QWidget* parent_;
    std::unique_ptr<CWaitDialog> progress_;
};

class SetupFrameCommands : public QObject {
    Q_OBJECT
public:
    enum class Id { Setup, EthernetAddress, ResetSetup, EmailCounter };

    SetupFrameCommands(MainFrame& frame, app::CTavikApp& app, app::AppPrompter& prompter,
                       ctl::Qd40Factory factory);
    ~SetupFrameCommands() override;
    // Adds the commands at the end of the Module menu.
    void addMenus();
    QAction* action(Id id) const { return actions_.at(id); }
    void updateCommands();
    void run(Id id);

private:
    MainFrame& frame_;
    app::CTavikApp& app_;
    app::AppPrompter& prompter_;
    ctl::Qd40Factory factory_;
    QtSetupPorts ports_;
    std::map<Id, QAction*> actions_;
};

}  // namespace qd40::ui
