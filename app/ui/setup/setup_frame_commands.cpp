#include "app/ui/setup/setup_frame_commands.h"

#include <QAction>
#include <QDialog>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>

#include "app/core/app_ports.h"
#include "app/core/setup/email_counter.h"
#include "app/core/setup/module_interfaces.h"
#include "app/core/setup/setup_strings.h"
#include "app/ui/comm_dialog.h"
#include "app/ui/setup/setup_dialogs.h"
#include "app/ui/setup/setup_sheet.h"

namespace qd40::ui {

namespace {
using namespace app::setup;

QString t(int id) {
    return QString::fromStdString(setupText(id));
}

// The progress dialog titled with the SETUP texts.
class SetupWaitDialog : public CWaitDialog {
public:
    using CWaitDialog::CWaitDialog;
    void create(int titleId) override {
        CWaitDialog::create(titleId);
        if (widget())
            widget()->setWindowTitle(t(titleId));
    }
};
}  // namespace

// ---- ports -------------------------------------------------------------------------

QtSetupPorts::QtSetupPorts(QWidget* parent)
    : parent_(parent), progress_(std::make_unique<SetupWaitDialog>(parent)) {}

QtSetupPorts::~QtSetupPorts() = default;

bool QtSetupPorts::askSetupPort(ctl::CtlConnection& params) {
    CCommDialog dialog(params, "Tavik", parent_, app::views::CommForm::Setup);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    params = dialog.params();
    return true;
}

bool QtSetupPorts::editSetup(SetupRecord& record, const std::string&, const SetupClock& clock) {
    SetupSheet sheet(record, parent_, &clock);
    if (sheet.exec() != QDialog::Accepted)
        return false;
    record = sheet.record();
    return true;
}

bool QtSetupPorts::editEthernetAddress(MacAddress& address) {
    CMacAddrDialog dialog(address, parent_);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    address = dialog.address();
    return true;
}

records::IWaitDialog& QtSetupPorts::progress() {
    return *progress_;
}

std::optional<int> QtSetupPorts::askNumber(const std::string& title, const std::string& prompt) {
    AccessCodeDialog dialog(QString::fromStdString(title), QString::fromStdString(prompt), parent_);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.code();
}

// ---- commands -----------------------------------------------------------------------

SetupFrameCommands::SetupFrameCommands(MainFrame& frame, app::CTavikApp& app,
                                       app::AppPrompter& prompter, ctl::Qd40Factory factory)
    : frame_(frame), app_(app), prompter_(prompter), factory_(std::move(factory)), ports_(&frame) {}

SetupFrameCommands::~SetupFrameCommands() = default;

void SetupFrameCommands::addMenus() {
    QMenu* module = frame_.moduleMenu();
    if (!module)
        return;
    module->addSeparator();
    const std::pair<Id, int> commands[] = {
        {Id::EmailCounter, stext::kCmdEmailCounter},
        {Id::Setup, stext::kCmdSetup},
        {Id::EthernetAddress, stext::kCmdEthernetAddress},
        {Id::ResetSetup, stext::kCmdResetSetup},
    };
    for (const auto& [id, textId] : commands) {
        auto* a = new QAction(t(textId), this);
        connect(a, &QAction::triggered, this, [this, id = id] { run(id); });
        module->addAction(a);
        actions_[id] = a;
        if (id == Id::EmailCounter)
            module->addSeparator();
    }
    // The program windows' own buttons for the two dialogs of a module.
    using app::program::ProgCommand;
    frame_.setProgramItemCommand(ProgCommand::EmailCounter,
                                 [this](ProgramWindow& w, app::CTavikItem& item) {
                                     EmailCounter counter(w.document().ops(), item);
                                     counter.update();
                                     CEmailCounterDialog dialog(counter, &frame_);
                                     dialog.exec();
                                 });
    frame_.setProgramItemCommand(
        ProgCommand::CommInterfaces, [this](ProgramWindow& w, app::CTavikItem& item) {
            SetupCommands commands(factory_, app_.machine(), prompter_, ports_);
            showModuleInterfaces(commands, w.document().ops(), item);
        });
    connect(module, &QMenu::aboutToShow, this, &SetupFrameCommands::updateCommands);
    connect(frame_.mdiArea(), &QMdiArea::subWindowActivated, this,
            &SetupFrameCommands::updateCommands);
    updateCommands();
}

void SetupFrameCommands::updateCommands() {
    // The module SETUP needs the right to transmit to modules.
    const bool setup = (app_.rightsWord() >> app::right::kTransmit & 1u) != 0;
    for (Id id : {Id::Setup, Id::EthernetAddress, Id::ResetSetup})
        actions_.at(id)->setEnabled(setup);
    auto* program = qobject_cast<ProgramWindow*>(frame_.activeWindow());
    actions_.at(Id::EmailCounter)
        ->setEnabled(program && program->commandEnabled(app::program::ProgCommand::EmailCounter));
}

void SetupFrameCommands::run(Id id) {
    updateCommands();
    if (!actions_.at(id)->isEnabled())
        return;
    if (id == Id::EmailCounter) {
        // The program window's command, with its rule.
        if (auto* program = qobject_cast<ProgramWindow*>(frame_.activeWindow()))
            program->run(app::program::ProgCommand::EmailCounter);
        return;
    }
    SetupCommands commands(factory_, app_.machine(), prompter_, ports_);
    switch (id) {
        case Id::Setup:
            commands.runSetupSheet();
            break;
        case Id::EthernetAddress:
            commands.ethernetAddress();
            break;
        case Id::ResetSetup:
            commands.resetSetup();
            break;
        default:
            break;
    }
}

}  // namespace qd40::ui
