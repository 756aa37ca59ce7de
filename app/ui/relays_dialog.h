// CRelaysDialog: both relays' states with their Close and Open buttons,
// over the relays presenter.
#pragma once
#include <array>

#include <QDialog>

#include "app/core/live/relays_presenter.h"

class QLabel;
class QPushButton;

namespace qd40::ui {

class CRelaysDialog : public QDialog {
public:
    // The presenter outlives the dialog.
    explicit CRelaysDialog(app::live::RelaysPresenter& presenter, QWidget* parent = nullptr);
    // Shows the presenter's states and enabling.
    void showStates();

private:
    struct Row {
        QLabel* status;
        QPushButton* close;
        QPushButton* open;
    };
    app::live::RelaysPresenter& presenter_;
    std::array<Row, app::live::RelaysPresenter::kRelays> rows_{};
};

}  // namespace qd40::ui
