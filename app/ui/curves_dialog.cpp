#include "app/ui/curves_dialog.h"

#include <algorithm>
#include <limits>

#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QDialogButtonBox>
#include <QLineSeries>
#include <QVBoxLayout>
#include <QValueAxis>

#include "app/ui/live_widgets.h"

namespace qd40::ui {

using namespace live;

CVisCrbDialog::CVisCrbDialog(const app::live::MeasuresPresenter& presenter, QWidget* parent)
    : QDialog(parent), presenter_(presenter) {
    setWindowTitle(qs(presenter.curvesTitle()));
    chart_ = new QChart;
    chart_->legend()->setAlignment(Qt::AlignBottom);
    x_ = new QDateTimeAxis(chart_);
    x_->setFormat("HH:mm:ss");
    y_ = new QValueAxis(chart_);
    chart_->addAxis(x_, Qt::AlignBottom);
    chart_->addAxis(y_, Qt::AlignLeft);
    view_ = new QChartView(chart_, this);
    view_->setRenderHint(QPainter::Antialiasing);
    view_->setObjectName("curves");
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(view_, 1);
    layout->addWidget(buttons);
    resize(860, 460);
    refresh();
}

void CVisCrbDialog::refresh() {
    const auto& curves = presenter_.curves();
    while (series_.size() > curves.size()) {
        chart_->removeSeries(series_.back());
        delete series_.back();
        series_.pop_back();
    }
    while (series_.size() < curves.size()) {
        auto* s = new QLineSeries(chart_);
        chart_->addSeries(s);
        s->attachAxis(x_);
        s->attachAxis(y_);
        series_.push_back(s);
    }
    double xMin = std::numeric_limits<double>::max(), xMax = -xMin;
    double yMin = xMin, yMax = -xMin;
    for (size_t i = 0; i < curves.size(); ++i) {
        QList<QPointF> points;
        points.reserve(qsizetype(curves[i].points.size()));
        for (const auto& [x, y] : curves[i].points) {
            points.append(QPointF(x, y));
            xMin = std::min(xMin, x);
            xMax = std::max(xMax, x);
            yMin = std::min(yMin, y);
            yMax = std::max(yMax, y);
        }
        series_[i]->setName(qs(curves[i].label));
        series_[i]->replace(points);
    }
    if (xMin > xMax)
        return;  // nothing measured yet
    // A flat or single-point curve still gets a visible range.
    const double yPad = yMax > yMin ? (yMax - yMin) * 0.05 : 1.0;
    const double xPad = xMax > xMin ? 0 : 1000.0;
    x_->setRange(QDateTime::fromMSecsSinceEpoch(qint64(xMin - xPad), Qt::UTC),
                 QDateTime::fromMSecsSinceEpoch(qint64(xMax + xPad), Qt::UTC));
    y_->setRange(yMin - yPad, yMax + yPad);
}

}  // namespace qd40::ui
