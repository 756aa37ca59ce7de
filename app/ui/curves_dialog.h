// CVisCrbDialog: the scanned values against time, one Qt Charts line per
// channel of the measurements display, redrawn after each scan.
#pragma once
#include <vector>

#include <QDialog>

#include "app/core/live/measures_presenter.h"

class QChart;
class QChartView;
class QDateTimeAxis;
class QLineSeries;
class QValueAxis;

namespace qd40::ui {

class CVisCrbDialog : public QDialog {
public:
    // The presenter outlives the dialog.
    explicit CVisCrbDialog(const app::live::MeasuresPresenter& presenter,
                           QWidget* parent = nullptr);
    // Draws the presenter's curves as they are now.
    void refresh();
    QChart* chart() const { return chart_; }

private:
    const app::live::MeasuresPresenter& presenter_;
    QChart* chart_;
    QChartView* view_;
    QDateTimeAxis* x_;
    QValueAxis* y_;
    std::vector<QLineSeries*> series_;
};

}  // namespace qd40::ui
