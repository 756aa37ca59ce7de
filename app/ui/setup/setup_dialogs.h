// The small dialogs of the SETUP commands and of a module item: the Ethernet
// address (six bytes in hexadecimal or decimal), the access code of a
// service, and the e-mail counter of a module.
#pragma once
#include <array>
#include <optional>

#include <QDialog>

#include "app/core/setup/email_counter.h"
#include "app/core/setup/setup_commands.h"

class QLabel;
class QLineEdit;
class QRadioButton;
class QSpinBox;

namespace qd40::ui {

// CMacAddrDialog: "Ethernet Address".
class CMacAddrDialog : public QDialog {
public:
    CMacAddrDialog(const app::setup::MacAddress& address, QWidget* parent = nullptr);
    // The address as entered (valid after OK).
    const app::setup::MacAddress& address() const { return address_; }
    void setHex(bool hex);
    void accept() override;

private:
    // Reads the fields in the current base; the index of a wrong one.
    std::optional<int> readFields();

    app::setup::MacAddress address_;
    std::array<QLineEdit*, 6> fields_{};
    QRadioButton* hex_;
    QRadioButton* dec_;
    bool shownHex_ = true;
};

// The number-entry dialog of the service access check.
class AccessCodeDialog : public QDialog {
public:
    AccessCodeDialog(const QString& title, const QString& prompt, QWidget* parent = nullptr);
    std::optional<int> code() const;
    QLineEdit* field() const { return field_; }

private:
    QLineEdit* field_;
};

// CEmailCounterDialog: the counter of e-mails a module has sent.
class CEmailCounterDialog : public QDialog {
public:
    CEmailCounterDialog(app::setup::EmailCounter& counter, QWidget* parent = nullptr);
    void refresh();

private:
    app::setup::EmailCounter& counter_;
    QLabel* count_;
    QSpinBox* value_;
};

}  // namespace qd40::ui
