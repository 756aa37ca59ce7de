#include "app/ui/live_commands.h"

#include <QAction>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>

#include "app/core/views/view_strings.h"
#include "app/ui/doc_window.h"
#include "app/ui/live_launch.h"
#include "app/ui/program_window.h"

namespace qd40::ui {

using app::views::Command;
namespace vtext = app::views::vtext;

LiveFrameCommands::LiveFrameCommands(MainFrame& frame, app::CTavikApp& app,
                                     app::AppPrompter& prompter, const security::Clock& clock,
                                     platform::Locale locale)
    : QObject(&frame),
      frame_(frame),
      app_(app),
      prompter_(prompter),
      clock_(clock),
      locale_(std::move(locale)) {}

void LiveFrameCommands::addMenus() {
    QMenu* module = frame_.moduleMenu();
    if (!module)
        return;
    module->addSeparator();
    const std::pair<Command, int> commands[] = {
        {Command::ModuleStatus, vtext::kCmdModuleStatus},
        {Command::Events, vtext::kCmdEvents},
        {Command::Relays, vtext::kCmdRelays},
        {Command::SetClock, vtext::kCmdSetClock},
        {Command::Measurements, vtext::kCmdMeasurements},
    };
    for (const auto& [command, textId] : commands) {
        auto* a = new QAction(QString::fromStdString(app::views::viewText(textId)), this);
        connect(a, &QAction::triggered, this, [this, c = command] { run(c); });
        module->addAction(a);
        actions_[command] = a;
    }
    connect(module, &QMenu::aboutToShow, this, &LiveFrameCommands::updateCommands);
    connect(frame_.mdiArea(), &QMdiArea::subWindowActivated, this,
            &LiveFrameCommands::updateCommands);
    updateCommands();
}

app::CTavikItem* LiveFrameCommands::selectedItem() const {
    auto* program = qobject_cast<ProgramWindow*>(frame_.activeWindow());
    return program ? program->selectedItem() : nullptr;
}

DocumentHandle* LiveFrameCommands::activeDocument() const {
    auto* window = qobject_cast<DocWindow*>(frame_.activeWindow());
    return window ? &window->document() : nullptr;
}

void LiveFrameCommands::updateCommands() {
    app::views::CommandContext c;
    c.rights = app_.rightsWord();
    if (DocumentHandle* doc = activeDocument()) {
        c.hasDocument = true;
        c.communicationsOpen = doc->doc().communicationsOpen;
    }
    if (auto* program = qobject_cast<ProgramWindow*>(frame_.activeWindow())) {
        c.selection = program->selection();
        if (app::CTavikItem* item = program->selectedItem()) {
            int32_t open = 0;
            c.moduleConnected = succeeded(item->control().get_IsOpen(&open)) && open != 0;
        }
    }
    for (const auto& [command, action] : actions_)
        action->setEnabled(app::views::commandEnabled(command, c));
}

void LiveFrameCommands::run(Command command) {
    updateCommands();
    if (!actions_.at(command)->isEnabled())
        return;
    if (command == Command::Measurements) {
        DocumentHandle* doc = activeDocument();
        if (!doc)
            return;
        // The modules get the document's program first, when the user says so.
        doc->ops().programSentCheckAll();
        execMeasuresDialog(doc->doc(), prompter_, app_, clock_, locale_, &frame_);
        return;
    }
    app::CTavikItem* item = selectedItem();
    if (!item)
        return;
    switch (command) {
        case Command::Events:
            execEventsDialog(*item, prompter_, locale_, &frame_);
            break;
        case Command::ModuleStatus:
            execStatusDialog(*item, prompter_, app_, locale_, &frame_);
            break;
        case Command::Relays:
            execRelaysDialog(*item, prompter_, &frame_);
            break;
        case Command::SetClock:
            execClockDialog(*item, prompter_, app_, clock_, locale_, &frame_);
            break;
        default:
            break;
    }
}

}  // namespace qd40::ui
