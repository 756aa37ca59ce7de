// CQd40TimeDialog: the module's clock and the computer's, refreshed every
// second by a timer that calls the presenter's tick(), with Synchronize and
// Send.
#pragma once
#include <QDialog>

#include "app/core/live/clock_presenter.h"

class QLabel;
class QLineEdit;
class QTimer;

namespace qd40::ui {

class CQd40TimeDialog : public QDialog {
public:
    // The presenter outlives the dialog. The first tick is taken at once.
    explicit CQd40TimeDialog(app::live::ClockPresenter& presenter, QWidget* parent = nullptr);
    QTimer* timer() const { return timer_; }

private:
    void tick();
    void showTimes();

    app::live::ClockPresenter& presenter_;
    QLineEdit* module_;
    QLineEdit* computer_;
    QLineEdit* entered_;
    QLabel* error_;
    QTimer* timer_;
};

}  // namespace qd40::ui
