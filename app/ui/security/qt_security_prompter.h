// The Qt form of the users manager's questions: message boxes captioned
// with the application name, the connection, password and line dialogs, the
// non-modal notice of a forced disconnection, and slow work run on a worker
// thread behind a busy indicator while the interface stays drawn.
#pragma once
#include <string>

#include <QPointer>
#include <QWidget>

#include "app/security/prompter.h"

namespace qd40::ui {

class QtSecurityPrompter : public security::Prompter {
public:
    explicit QtSecurityPrompter(std::string caption) : caption_(std::move(caption)) {}
    // The window the dialogs are shown over (may be null).
    void setParentWidget(QWidget* parent) { parent_ = parent; }

    security::Answer message(int textId, const std::vector<std::string>& args,
                             security::Buttons buttons, security::Icon icon) override;
    void notify(int textId, const std::vector<std::string>& args) override;
    std::optional<security::ConnectionEntry> connectionDialog(
        int titleId, const std::string& fixedIdentifier) override;
    std::optional<security::PasswordEntry> changePasswordDialog(
        const std::string& identifier, const std::string& currentPassword) override;
    std::optional<std::string> editLine(int titleId) override;
    void runBusy(const std::function<void()>& work) override;

private:
    std::string caption_;
    QPointer<QWidget> parent_;
};

}  // namespace qd40::ui
