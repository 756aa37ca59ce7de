// The main window's commands of the live dialogs: the module's abnormal
// events, status, relays and clock for the selected module of the active
// program window, and the measurements display of the active document.
#pragma once
#include <map>

#include <QObject>

#include "app/core/tavik_app.h"
#include "app/core/views/commands.h"
#include "app/security/clock.h"
#include "app/ui/main_frame.h"
#include "platform/locale.h"

class QAction;

namespace qd40::ui {

class LiveFrameCommands : public QObject {
    Q_OBJECT
public:
    LiveFrameCommands(MainFrame& frame, app::CTavikApp& app, app::AppPrompter& prompter,
                      const security::Clock& clock, platform::Locale locale);
    // Adds the commands to the Module menu.
    void addMenus();
    QAction* action(app::views::Command command) const { return actions_.at(command); }
    void updateCommands();

private:
    // The active program window's selected module item, or null.
    app::CTavikItem* selectedItem() const;
    DocumentHandle* activeDocument() const;
    void run(app::views::Command command);

    MainFrame& frame_;
    app::CTavikApp& app_;
    app::AppPrompter& prompter_;
    const security::Clock& clock_;
    platform::Locale locale_;
    std::map<app::views::Command, QAction*> actions_;
};

}  // namespace qd40::ui
