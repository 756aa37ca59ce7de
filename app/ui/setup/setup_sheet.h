// The module SETUP sheet: five pages over a SETUP record (serial ports,
// network, modem, e-mail, other). The pages show the record's values and, on
// OK, put what was entered back into it; which items are then sent is the
// SETUP transfer's business.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include <QDialog>

#include "app/core/setup/setup_commands.h"
#include "app/core/setup/setup_record.h"

class QTabWidget;
class QLineEdit;

namespace qd40::ui {

class SetupSheet : public QDialog {
public:
    // clock (may be null: its controls are then disabled) reads and sets the
    // module's date and time from the Other page.
    SetupSheet(const app::setup::SetupRecord& record, QWidget* parent = nullptr,
               const app::setup::SetupClock* clock = nullptr);
    // The record as entered (valid after OK).
    const app::setup::SetupRecord& record() const { return record_; }
    QTabWidget* tabs() const { return tabs_; }

    void accept() override;

private:
    using Loader = std::function<void(const app::setup::SetupRecord&)>;
    using Storer = std::function<void(app::setup::SetupRecord&)>;
    QWidget* portsPage();
    QWidget* networkPage();
    QWidget* modemPage();
    QWidget* emailPage();
    QWidget* otherPage();
    QWidget* clockGroup(QWidget* parent);
    QLineEdit* textField(int id);
    QLineEdit* addressField(int id);

    app::setup::SetupRecord record_;
    const app::setup::SetupClock* clock_;
    QTabWidget* tabs_;
    std::vector<Loader> loaders_;
    std::vector<Storer> storers_;
    std::vector<std::pair<int, QLineEdit*>> addresses_;
};

}  // namespace qd40::ui
