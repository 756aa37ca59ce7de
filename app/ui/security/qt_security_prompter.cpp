#include "app/ui/security/qt_security_prompter.h"

#include <thread>

#include <QApplication>
#include <QEventLoop>
#include <QProgressDialog>

#include "app/security/security_strings.h"
#include "app/ui/qt_prompter.h"
#include "app/ui/security/security_dialogs.h"

namespace qd40::ui {

security::Answer QtSecurityPrompter::message(int textId, const std::vector<std::string>& args,
                                             security::Buttons buttons, security::Icon icon) {
    auto box =
        makeMessageBox(parent_, caption_, security::securityText(textId, args), buttons, icon);
    box->exec();
    switch (box->standardButton(box->clickedButton())) {
        case QMessageBox::Ok:
            return security::Answer::Ok;
        case QMessageBox::Yes:
            return security::Answer::Yes;
        case QMessageBox::No:
            return security::Answer::No;
        default:
            break;
    }
    // Cancel, Escape or the window's close button.
    return buttons == security::Buttons::Ok ? security::Answer::Ok : security::Answer::Cancel;
}

void QtSecurityPrompter::notify(int textId, const std::vector<std::string>& args) {
    auto box = makeMessageBox(parent_, caption_, security::securityText(textId, args),
                              security::Buttons::Ok, security::Icon::Information);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->setObjectName(QStringLiteral("securityNotice"));
    QApplication::beep();
    box.release()->show();
}

std::optional<security::ConnectionEntry> QtSecurityPrompter::connectionDialog(
    int titleId, const std::string& fixedIdentifier) {
    ConnectionDialog dialog(titleId, fixedIdentifier, parent_);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.entry();
}

std::optional<security::PasswordEntry> QtSecurityPrompter::changePasswordDialog(
    const std::string& identifier, const std::string& currentPassword) {
    ChangePasswordDialog dialog(identifier, currentPassword, parent_);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.entry();
}

std::optional<std::string> QtSecurityPrompter::editLine(int titleId) {
    LineDialog dialog(titleId, parent_);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.line();
}

void QtSecurityPrompter::runBusy(const std::function<void()>& work) {
    // A busy bar without a Cancel: the work cannot be stopped part-way, and
    // it ends by itself.
    QProgressDialog busy(
        QString::fromStdString(security::securityText(security::text::kPasswordBusy)), QString(), 0,
        0, parent_);
    busy.setWindowTitle(QString::fromStdString(caption_));
    busy.setWindowModality(Qt::ApplicationModal);
    busy.setMinimumDuration(0);
    busy.setObjectName(QStringLiteral("passwordBusy"));
    busy.show();
    QEventLoop loop;
    std::thread worker([&] {
        work();
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker.join();
}

}  // namespace qd40::ui
