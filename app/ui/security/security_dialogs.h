// The dialogs of the users manager: connecting, changing a password, a line
// to insert into the audit trail, the users and groups lists, a user, a
// group, the security attributes, the audit trail text and its date
// selection. They show and collect; every check, message and audit event is
// the users manager's.
#pragma once
#include <array>
#include <optional>
#include <string>
#include <vector>

#include <QDialog>

#include "app/security/prompter.h"
#include "app/security/user_rights.h"

class QCheckBox;
class QDateTimeEdit;
class QLineEdit;
class QListWidget;
class QPrinter;
class QPushButton;
class QSpinBox;
class QTextEdit;

namespace qd40::ui {

// "Connecting User" (or "Verifying password" with a fixed identifier).
class ConnectionDialog : public QDialog {
    Q_OBJECT
public:
    ConnectionDialog(int titleId, const std::string& fixedIdentifier, QWidget* parent = nullptr);
    security::ConnectionEntry entry() const;
    QLineEdit* identifierEdit() const { return identifier_; }
    QLineEdit* passwordEdit() const { return password_; }
    QPushButton* changeButton() const { return change_; }

private:
    QLineEdit* identifier_;
    QLineEdit* password_;
    QPushButton* change_;
    bool changeRequested_ = false;
};

// "Changing Password".
class ChangePasswordDialog : public QDialog {
    Q_OBJECT
public:
    ChangePasswordDialog(const std::string& identifier, const std::string& currentPassword,
                         QWidget* parent = nullptr);
    security::PasswordEntry entry() const;
    QLineEdit* currentEdit() const { return current_; }
    QLineEdit* newEdit() const { return new_; }
    QLineEdit* confirmEdit() const { return confirm_; }

private:
    QLineEdit* current_;
    QLineEdit* new_;
    QLineEdit* confirm_;
};

// "Editing a Line", titled by the caller.
class LineDialog : public QDialog {
    Q_OBJECT
public:
    explicit LineDialog(int titleId, QWidget* parent = nullptr);
    std::string line() const;
    QLineEdit* edit() const { return edit_; }

private:
    QLineEdit* edit_;
};

// "Declaring User": a new user (index -1, with a starting password) or
// declared user index. OK goes through the users manager; a refusal keeps
// the dialog open.
class UserDialog : public QDialog {
    Q_OBJECT
public:
    UserDialog(security::CUserRights& rights, int index, QWidget* parent = nullptr);
    void accept() override;
    QLineEdit* nameEdit() const { return name_; }
    QLineEdit* identifierEdit() const { return identifier_; }
    QLineEdit* passwordEdit() const { return password_; }
    QCheckBox* supervisorCheck() const { return supervisor_; }
    QCheckBox* groupCheck(int group) const { return groups_[size_t(group)]; }

private:
    security::CUserRights& rights_;
    int index_;
    QLineEdit* name_;
    QLineEdit* identifier_;
    QLineEdit* password_ = nullptr;
    QCheckBox* supervisor_;
    std::array<QCheckBox*, security::kGroupCount> groups_{};
};

// "Declaring Users": the declared users' names, new, edit and delete.
class UsersDialog : public QDialog {
    Q_OBJECT
public:
    explicit UsersDialog(security::CUserRights& rights, QWidget* parent = nullptr);
    QListWidget* list() const { return list_; }
    void newUser();
    void editUser();
    void deleteUser();

private:
    void refresh(const std::string& current = {});

    security::CUserRights& rights_;
    QListWidget* list_;
};

// "Declaring a Users Group": name, registered and unregistered users, the
// rights. The first seven rights are for a supervisor only.
class GroupDialog : public QDialog {
    Q_OBJECT
public:
    GroupDialog(security::CUserRights& rights, int index, QWidget* parent = nullptr);
    void accept() override;
    QLineEdit* nameEdit() const { return name_; }
    QListWidget* registered() const { return registered_; }
    QListWidget* unregistered() const { return unregistered_; }
    QCheckBox* rightCheck(int bit) const { return rights_[size_t(bit)]; }
    void addSelected();
    void removeSelected();
    void newUser();

private:
    void fillUsers(const std::vector<std::string>& members);

    security::CUserRights& manager_;
    int index_;
    QLineEdit* name_;
    QListWidget* registered_;
    QListWidget* unregistered_;
    std::array<QCheckBox*, 15> rights_{};
};

// "Users Groups": the five group names and their editing.
class GroupsDialog : public QDialog {
    Q_OBJECT
public:
    explicit GroupsDialog(security::CUserRights& rights, QWidget* parent = nullptr);
    QListWidget* list() const { return list_; }
    void editGroup();

private:
    void refresh(int row);

    security::CUserRights& rights_;
    QListWidget* list_;
};

// "Programming Security Attributes".
class SecurityAttributesDialog : public QDialog {
    Q_OBJECT
public:
    explicit SecurityAttributesDialog(security::CUserRights& rights, QWidget* parent = nullptr);
    void accept() override;
    security::SecuritySettings values() const;
    QSpinBox* daysSpin() const { return days_; }
    QSpinBox* retriesSpin() const { return retries_; }
    QSpinBox* minLengthSpin() const { return minLength_; }
    QSpinBox* connectionSpin() const { return connection_; }
    QSpinBox* banSpin() const { return ban_; }
    QCheckBox* printUserNameCheck() const { return printUserName_; }
    QCheckBox* noSwitchingCheck() const { return noSwitching_; }
    QCheckBox* noOverwritingCheck() const { return noOverwriting_; }
    QCheckBox* auditTrailCheck() const { return auditTrail_; }

private:
    security::CUserRights& rights_;
    QSpinBox* days_;
    QSpinBox* retries_;
    QSpinBox* minLength_;
    QSpinBox* connection_;
    QSpinBox* ban_;
    QCheckBox* printUserName_;
    QCheckBox* noSwitching_;
    QCheckBox* noOverwriting_;
    QCheckBox* auditTrail_;
};

// "Select Beginning and Ending Dates", both at `now` to begin with.
class SelectDatesDialog : public QDialog {
    Q_OBJECT
public:
    SelectDatesDialog(security::LocalTime now, QWidget* parent = nullptr);
    security::LocalTime from() const;
    security::LocalTime to() const;
    QDateTimeEdit* fromEdit() const { return from_; }
    QDateTimeEdit* toEdit() const { return to_; }

private:
    QDateTimeEdit* from_;
    QDateTimeEdit* to_;
};

// Draws the text on the printer's pages in font, with the footer at the
// bottom of each page when there is one. Returns the footer drawn on each
// page (empty strings without a footer); an empty list when the printer
// could not be started.
std::vector<std::string> printAuditText(QPrinter& printer, const QString& text, const QFont& font,
                                        const std::optional<std::string>& footer);

// "Text": an audit trail file's unscrambled lines, read-only, with Close,
// Copy (the selection), Print, PDF and Select Dates.
class AuditTextDialog : public QDialog {
    Q_OBJECT
public:
    // text as ViewAuditTrail gives it (lines ending with CR LF).
    AuditTextDialog(security::CUserRights& rights, security::Prompter& prompter,
                    const security::Clock& clock, std::string text, QWidget* parent = nullptr);
    QTextEdit* textEdit() const { return edit_; }
    void copy();
    void print();
    // Writes the pages into a PDF file; false when it could not be written
    // (after saying so).
    bool saveAsPdf(const QString& file);
    void choosePdf();
    // Asks the dates and selects the lines between them; false after "Wrong
    // Date" or on Cancel.
    bool selectDates();
    // The selected part of the text, as shown.
    QString selectedText() const;

private:
    void printOn(QPrinter& printer);

    security::CUserRights& rights_;
    security::Prompter& prompter_;
    const security::Clock& clock_;
    std::string text_;
    QTextEdit* edit_;
};

}  // namespace qd40::ui
