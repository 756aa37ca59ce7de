#include "app/ui/security/security_commands.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QMenu>
#include <QMenuBar>

#include "app/security/security_strings.h"
#include "app/ui/security/security_dialogs.h"

namespace qd40::ui {

namespace {
namespace text = security::text;
using security::SecurityCommand;

QString st(int id) {
    return QString::fromStdString(security::securityText(id));
}

std::optional<std::filesystem::path> askAuditFile(QWidget* parent,
                                                  const std::filesystem::path& start) {
    QFileDialog dialog(parent, st(text::kSelectAuditFile),
                       QString::fromStdString(start.parent_path().string()));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(
        QStringLiteral("%1 (*.atl *.txt)")
            .arg(st(text::kAuditFileFilter).section(QLatin1Char('('), 0, 0).trimmed()));
    dialog.selectFile(QString::fromStdString(start.filename().string()));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return std::filesystem::path(dialog.selectedFiles().front().toStdString());
}
}  // namespace

SecurityFrameCommands::SecurityFrameCommands(MainFrame& frame, app::CTavikApp& app,
                                             QtSecurityPrompter& prompter,
                                             const security::Clock& clock)
    : QObject(&frame), frame_(frame), app_(app), prompter_(prompter), clock_(clock) {
    prompter_.setParentWidget(&frame);
    app_.userRights().setPrompter(&prompter_);
    chooseFile_ = [this](const std::filesystem::path& start) {
        return askAuditFile(&frame_, start);
    };
}

SecurityFrameCommands::~SecurityFrameCommands() {
    app_.userRights().stopConnectionWatch();
    app_.userRights().setPrompter(nullptr);
}

void SecurityFrameCommands::addMenu(std::chrono::milliseconds watchPeriod) {
    menu_ = new QMenu(st(text::kSecurityMenu), &frame_);
    const QList<QAction*> bar = frame_.menuBar()->actions();
    frame_.menuBar()->insertMenu(bar.isEmpty() ? nullptr : bar.back(), menu_);
    const std::pair<SecurityCommand, int> commands[] = {
        {SecurityCommand::Connect, text::kConnectCommand},
        {SecurityCommand::Disconnect, text::kDisconnectCommand},
        {SecurityCommand::Verify, text::kVerifyCommand},
        {SecurityCommand::ChangePassword, text::kChangePasswordCommand},
        {SecurityCommand::Users, text::kUsersCommand},
        {SecurityCommand::Groups, text::kGroupsCommand},
        {SecurityCommand::Attributes, text::kAttributesCommand},
        {SecurityCommand::ViewAuditTrail, text::kViewAuditCommand},
        {SecurityCommand::InsertMessage, text::kInsertMessageMenu},
    };
    for (const auto& [command, textId] : commands) {
        if (command == SecurityCommand::Users || command == SecurityCommand::ViewAuditTrail)
            menu_->addSeparator();
        QAction* a = menu_->addAction(st(textId));
        connect(a, &QAction::triggered, this, [this, c = command] { run(c); });
        actions_[command] = a;
    }
    actions_[SecurityCommand::ViewAuditTrail]->setStatusTip(st(text::kViewAuditTrailCommand));
    actions_[SecurityCommand::InsertMessage]->setStatusTip(st(text::kInsertMessageCommand));
    connect(menu_, &QMenu::aboutToShow, this, &SecurityFrameCommands::updateCommands);
    updateCommands();
    // The watch posts from its own thread; the disconnection runs here.
    app_.userRights().startConnectionWatch(
        [this] {
            QMetaObject::invokeMethod(this, &SecurityFrameCommands::forceDisconnect,
                                      Qt::QueuedConnection);
        },
        watchPeriod);
}

void SecurityFrameCommands::updateCommands() {
    for (const auto& [command, action] : actions_)
        action->setEnabled(app_.userRights().commandEnabled(command));
}

void SecurityFrameCommands::rightsChanged() {
    updateCommands();
    frame_.updateCommands();
}

void SecurityFrameCommands::forceDisconnect() {
    if (app_.userRights().ForceDisconnectUser()) {
        rightsChanged();
        Q_EMIT forcedDisconnection();
    }
}

bool SecurityFrameCommands::viewAuditTrail() {
    security::CUserRights& rights = app_.userRights();
    const auto file = chooseFile_(rights.auditTrail().currentFile());
    if (!file)
        return false;
    auto content = rights.ViewAuditTrail(*file);
    if (!content)
        return false;
    AuditTextDialog dialog(rights, prompter_, clock_, std::move(*content), &frame_);
    dialog.exec();
    return true;
}

void SecurityFrameCommands::run(SecurityCommand command) {
    security::CUserRights& rights = app_.userRights();
    // A command's state may be older than the rights: it is checked again.
    if (!rights.commandEnabled(command)) {
        QApplication::beep();
        return;
    }
    switch (command) {
        case SecurityCommand::Connect:
            rights.ConnectUser();
            break;
        case SecurityCommand::Disconnect:
            rights.DisconnectUser(true);
            break;
        case SecurityCommand::Verify:
            rights.VerifyPassword();
            break;
        case SecurityCommand::ChangePassword:
            if (const auto user = rights.connectedUser())
                rights.ChangePassword(user->user.name, false);
            break;
        case SecurityCommand::Users: {
            UsersDialog dialog(rights, &frame_);
            dialog.exec();
            break;
        }
        case SecurityCommand::Groups: {
            GroupsDialog dialog(rights, &frame_);
            dialog.exec();
            break;
        }
        case SecurityCommand::Attributes: {
            SecurityAttributesDialog dialog(rights, &frame_);
            dialog.exec();
            break;
        }
        case SecurityCommand::ViewAuditTrail:
            viewAuditTrail();
            break;
        case SecurityCommand::InsertMessage:
            rights.InsertAuditMessage();
            break;
    }
    rightsChanged();
}

}  // namespace qd40::ui
