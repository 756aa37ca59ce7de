#include "app/ui/graph/graph_view.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QFormLayout>
#include <QGraphicsLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QMouseEvent>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QRubberBand>
#include <QSplitter>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QValueAxis>
#include <QtCharts/QChartView>
#include <cmath>

#include "app/records/records_strings.h"

namespace qd40::ui {

using records::GraphModel;
using records::recordsText;

namespace {
constexpr double kOleUnixEpoch = 25569.0;  // 1970-01-01 as an OLE date
constexpr double kMsPerDay = 86400000.0;
// Drawn points per column are its min and max: twice the columns at most.
constexpr int kRawPointsPerColumn = 2;

QString text(int id) {
    return QString::fromStdString(recordsText(id));
}

// Record dates are local times: the axis shows them as they are, whatever
// the computer's time zone (the offset is taken once per drawing).
double localOffsetMs(double oleDate) {
    const qint64 ms = qint64((oleDate - kOleUnixEpoch) * kMsPerDay);
    return double(QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).toLocalTime().offsetFromUtc()) *
           1000.0;
}
}  // namespace

// The chart with the mouse of the graph: a rubber band zooms, the wheel
// zooms around the pointer, right or middle drag pans, a click moves cursor 1
// (cursor 2 with Shift).
class GraphChartView : public QChartView {
public:
    GraphChartView(QChart* chart, QWidget* parent) : QChartView(chart, parent) {
        setRenderHint(QPainter::Antialiasing, false);
        setMouseTracking(false);
    }
    std::function<void(QPointF from, QPointF to)> onRubberBand;
    std::function<void(QPointF at, bool second)> onClick;
    std::function<void(QPointF at, double factor)> onWheel;
    std::function<void(double dxPixels)> onPan;

protected:
    void mousePressEvent(QMouseEvent* e) override {
        origin_ = e->position().toPoint();
        button_ = e->button();
        if (button_ == Qt::LeftButton) {
            band_.setGeometry(QRect(origin_, QSize()));
            band_.show();
        }
        lastX_ = e->position().x();
        e->accept();
    }
    void mouseMoveEvent(QMouseEvent* e) override {
        if (button_ == Qt::LeftButton) {
            band_.setGeometry(QRect(origin_, e->position().toPoint()).normalized());
        } else if (button_ == Qt::RightButton || button_ == Qt::MiddleButton) {
            if (onPan)
                onPan(e->position().x() - lastX_);
            lastX_ = e->position().x();
        }
        e->accept();
    }
    void mouseReleaseEvent(QMouseEvent* e) override {
        const QPoint end = e->position().toPoint();
        if (button_ == Qt::LeftButton) {
            band_.hide();
            if ((end - origin_).manhattanLength() < 4) {
                if (onClick)
                    onClick(end, e->modifiers() & Qt::ShiftModifier);
            } else if (onRubberBand) {
                onRubberBand(origin_, end);
            }
        }
        button_ = Qt::NoButton;
        e->accept();
    }
    void wheelEvent(QWheelEvent* e) override {
        if (onWheel && e->angleDelta().y() != 0)
            onWheel(e->position(), e->angleDelta().y() > 0 ? 0.8 : 1.25);
        e->accept();
    }

private:
    QRubberBand band_{QRubberBand::Rectangle, this};
    QPoint origin_;
    Qt::MouseButton button_ = Qt::NoButton;
    double lastX_ = 0;
};

GraphView::GraphView(QWidget* parent) : QWidget(parent) {
    chart_ = new QChart;
    chart_->legend()->hide();
    chart_->setAnimationOptions(QChart::NoAnimation);
    chart_->setMargins(QMargins(4, 4, 4, 4));
    axisX_ = new QDateTimeAxis;
    axisX_->setFormat("hh:mm:ss.zzz");
    axisX_->setTickCount(6);
    chart_->addAxis(axisX_, Qt::AlignBottom);
    for (int a = 0; a < 2; ++a) {
        axisY_[a] = new QValueAxis;
        axisY_[a]->setLabelFormat("%.5g");
        axisY_[a]->setTitleText(a == 0 ? "Y1" : "Y2");
        chart_->addAxis(axisY_[a], a == 0 ? Qt::AlignLeft : Qt::AlignRight);
    }
    view_ = new GraphChartView(chart_, this);
    view_->setMinimumSize(420, 300);

    auto* split = new QSplitter(this);
    split->addWidget(view_);
    auto* panel = new QWidget;
    buildPanel(panel);
    split->addWidget(panel);
    split->setStretchFactor(0, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(split);
    auto* hint = new QLabel(text(records::IDS_GRAPH_HINT));
    hint->setWordWrap(true);
    layout->addWidget(hint);

    // The value under a point of the chart, as an OLE date and Y1 value.
    const auto valueAt = [this](QPointF p) {
        const QPointF v = chart_->mapToValue(chart_->mapFromScene(view_->mapToScene(p.toPoint())),
                                             cursorSeries_[0]);
        const double offset = localOffsetMs(model_.range().x0);
        return QPointF((v.x() + offset) / kMsPerDay + kOleUnixEpoch, v.y());
    };
    view_->onRubberBand = [this, valueAt](QPointF a, QPointF b) {
        const QPointF va = valueAt(a), vb = valueAt(b);
        model_.zoomTo(std::min(va.x(), vb.x()), std::max(va.x(), vb.x()),
                      std::make_pair(va.y(), vb.y()));
        refresh();
    };
    view_->onWheel = [this, valueAt](QPointF at, double factor) {
        model_.zoomAround(valueAt(at).x(), factor);
        refresh();
    };
    view_->onPan = [this](double dxPixels) {
        const double width = chart_->plotArea().width();
        if (width > 0) {
            model_.pan(-dxPixels / width * (model_.range().x1 - model_.range().x0));
            refresh();
        }
    };
    view_->onClick = [this, valueAt](QPointF at, bool second) {
        const QPointF v = valueAt(at);
        model_.moveCursor(second ? 1 : 0, v.x(), v.y());
        refresh();
    };
}

GraphView::~GraphView() = default;

void GraphView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // Once the chart has laid out its new plot area, when its width changed.
    if (event->size().width() != event->oldSize().width())
        QTimer::singleShot(0, this, [this] { refresh(); });
}

QWidget* GraphView::chartWidget() const {
    return view_;
}

void GraphView::buildPanel(QWidget* panel) {
    auto* layout = new QVBoxLayout(panel);
    channels_ = new QTreeWidget;
    const QStringList columns = text(records::IDS_GRAPH_CHANNEL_COLUMNS).split('\t');
    channels_->setHeaderLabels(columns);
    channels_->setRootIsDecorated(false);
    channels_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    channels_->setMinimumWidth(300);
    layout->addWidget(channels_, 1);

    auto* assign = new QGroupBox(text(records::IDS_GRAPH_ASSIGN_Y));
    auto* assignRow = new QHBoxLayout(assign);
    for (int a = 0; a < 2; ++a) {
        assignY_[a] = new QRadioButton(a == 0 ? "Y1" : "Y2");
        assignRow->addWidget(assignY_[a]);
        connect(assignY_[a], &QRadioButton::clicked, this, [this, a] {
            const int curve = channels_->indexOfTopLevelItem(channels_->currentItem());
            if (curve < 0)
                return;
            model_.assignAxis(curve, a);
            model_.autoY(0);
            model_.autoY(1);
            refresh();
        });
    }
    layout->addWidget(assign);
    connect(channels_, &QTreeWidget::currentItemChanged, this, [this] {
        const int curve = channels_->indexOfTopLevelItem(channels_->currentItem());
        if (curve >= 0)
            assignY_[model_.curves()[size_t(curve)].yAxis]->setChecked(true);
    });

    auto* scales = new QFormLayout;
    for (int a = 0; a < 2; ++a) {
        auto* row = new QHBoxLayout;
        scaleMin_[a] = new QLineEdit;
        scaleMax_[a] = new QLineEdit;
        auto* apply = new QPushButton(text(records::IDS_GRAPH_MIN_MAX));
        row->addWidget(scaleMin_[a]);
        row->addWidget(scaleMax_[a]);
        row->addWidget(apply);
        auto* label =
            new QLabel(text(a == 0 ? records::IDS_GRAPH_Y1_SCALE : records::IDS_GRAPH_Y2_SCALE));
        label->setBuddy(scaleMin_[a]);
        scales->addRow(label, row);
        connect(apply, &QPushButton::clicked, this, [this, a] { readScaleEdits(a); });
    }
    layout->addLayout(scales);

    auto* autos = new QHBoxLayout;
    const auto button = [&](int id, auto action) {
        auto* b = new QPushButton(text(id));
        connect(b, &QPushButton::clicked, this, [this, action] {
            action();
            refresh();
        });
        autos->addWidget(b);
        return b;
    };
    button(records::IDS_GRAPH_AUTO_Y1, [this] { model_.autoY(0); });
    button(records::IDS_GRAPH_AUTO_Y2, [this] { model_.autoY(1); });
    button(records::IDS_GRAPH_AUTO_X, [this] { model_.autoX(); });
    layout->addLayout(autos);
    autos = new QHBoxLayout;
    button(records::IDS_GRAPH_GLOBAL_VIEW, [this] { model_.globalView(); });
    button(records::IDS_GRAPH_UNDO_ZOOM, [this] { model_.undoZoom(); });
    layout->addLayout(autos);

    for (int i = 0; i < 2; ++i) {
        auto* box = new QGroupBox(
            text(i == 0 ? records::IDS_GRAPH_CURSOR1_BOX : records::IDS_GRAPH_CURSOR2_BOX));
        auto* form = new QFormLayout(box);
        cursorLock_[i] = new QComboBox;
        cursorX_[i] = new QLineEdit;
        cursorY_[i] = new QLineEdit;
        cursorX_[i]->setReadOnly(true);
        cursorY_[i]->setReadOnly(true);
        form->addRow(text(records::IDS_GRAPH_LOCKED), cursorLock_[i]);
        form->addRow("X =", cursorX_[i]);
        form->addRow("Y =", cursorY_[i]);
        layout->addWidget(box);
        connect(cursorLock_[i], &QComboBox::activated, this, [this, i](int index) {
            // Entry 0 is "Free", then the curves in order.
            model_.lockCursor(i, index - 1);
            refresh();
        });
    }
    auto* delta = new QGroupBox(text(records::IDS_DELTA));
    auto* deltaForm = new QFormLayout(delta);
    deltaX_ = new QLineEdit;
    deltaY_ = new QLineEdit;
    deltaX_->setReadOnly(true);
    deltaY_->setReadOnly(true);
    deltaForm->addRow("dX =", deltaX_);
    deltaForm->addRow("dY =", deltaY_);
    layout->addWidget(delta);

    auto* options = new QHBoxLayout;
    grid_ = new QCheckBox(text(records::IDS_GRAPH_GRID).replace('\n', ' '));
    grid_->setChecked(true);
    linked_ = new QCheckBox(text(records::IDS_GRAPH_LINK_POINTS).replace('\n', ' '));
    linked_->setChecked(true);
    options->addWidget(grid_);
    options->addWidget(linked_);
    layout->addLayout(options);
    connect(grid_, &QCheckBox::toggled, this, [this] { refresh(); });
    connect(linked_, &QCheckBox::toggled, this, [this] { refresh(); });

    auto* actions = new QHBoxLayout;
    auto* copy = new QPushButton(text(records::IDS_GRAPH_COPY));
    auto* print = new QPushButton(text(records::IDS_GRAPH_PRINT));
    actions->addWidget(copy);
    actions->addWidget(print);
    layout->addLayout(actions);
    connect(copy, &QPushButton::clicked, this, &GraphView::copyToClipboard);
    connect(print, &QPushButton::clicked, this, &GraphView::printRequested);
}

bool GraphView::setBlock(const records::CExplBloc& block, records::IWaitDialog* dialog) {
    for (QLineSeries* s : series_)
        chart_->removeSeries(s);
    qDeleteAll(series_);
    series_.clear();
    for (QLineSeries*& c : cursorSeries_) {
        if (c) {
            chart_->removeSeries(c);
            delete c;
        }
        c = nullptr;
    }
    const bool filled = model_.fill(block, dialog);
    for (const records::GraphCurve& c : model_.curves()) {
        auto* s = new QLineSeries;
        // A one-pixel pen is drawn without stroking: the envelopes' sharp
        // turns would otherwise cost more than everything else.
        QPen pen(QColor::fromRgb(c.color));
        pen.setWidth(1);
        pen.setCosmetic(true);
        s->setPen(pen);
        s->setName(QString::fromStdString(c.name));
        chart_->addSeries(s);
        s->attachAxis(axisX_);
        s->attachAxis(axisY_[c.yAxis]);
        series_.push_back(s);
    }
    for (int i = 0; i < 2; ++i) {
        cursorSeries_[i] = new QLineSeries;
        QPen pen(i == 0 ? Qt::black : Qt::darkGray);
        pen.setStyle(Qt::DashLine);
        cursorSeries_[i]->setPen(pen);
        chart_->addSeries(cursorSeries_[i]);
        cursorSeries_[i]->attachAxis(axisX_);
        cursorSeries_[i]->attachAxis(axisY_[0]);
    }
    fillChannelList();
    for (int i = 0; i < 2; ++i) {
        cursorLock_[i]->clear();
        cursorLock_[i]->addItem(text(records::IDS_GRAPH_FREE));
        for (const records::GraphCurve& c : model_.curves())
            cursorLock_[i]->addItem(
                QString("%1 %2").arg(c.number).arg(QString::fromStdString(c.name)));
        cursorLock_[i]->setCurrentIndex(model_.cursor(i).lockedCurve + 1);
    }
    refresh();
    return filled;
}

void GraphView::fillChannelList() {
    channels_->clear();
    for (const records::GraphCurve& c : model_.curves()) {
        auto* item = new QTreeWidgetItem(
            {QString(), QString::number(c.number), QString::fromStdString(c.module),
             QString::fromStdString(c.name), QString::fromStdString(c.unit)});
        QPixmap square(12, 12);
        square.fill(QColor::fromRgb(c.color));
        item->setIcon(0, QIcon(square));
        channels_->addTopLevelItem(item);
    }
    if (channels_->topLevelItemCount() > 0)
        channels_->setCurrentItem(channels_->topLevelItem(0));
}

void GraphView::refresh() {
    const records::GraphRange& r = model_.range();
    const double offset = localOffsetMs(r.x0);
    const auto msOf = [offset](double ole) { return (ole - kOleUnixEpoch) * kMsPerDay - offset; };
    const int columns = std::max(100, int(chart_->plotArea().width()));
    for (size_t c = 0; c < series_.size(); ++c) {
        const records::GraphCurve& curve = model_.curves()[c];
        const auto env = curve.points->envelope(r.x0, r.x1, size_t(columns),
                                                size_t(columns * kRawPointsPerColumn));
        QList<QPointF> points;
        if (env.raw) {
            points.reserve(qsizetype(env.x.size()));
            for (size_t i = 0; i < env.x.size(); ++i)
                if (!std::isnan(env.y[i]))
                    points.append(QPointF(msOf(env.x[i]), env.y[i]));
        } else {
            points.reserve(qsizetype(env.columns.size() * 2));
            const double width = (r.x1 - r.x0) / double(env.columns.size());
            for (size_t i = 0; i < env.columns.size(); ++i) {
                if (env.columns[i].empty())
                    continue;
                const double x = msOf(r.x0 + width * (double(i) + 0.5));
                points.append(QPointF(x, env.columns[i].min));
                points.append(QPointF(x, env.columns[i].max));
            }
        }
        QLineSeries* s = series_[c];
        s->replace(points);
        QPen pen = s->pen();
        pen.setStyle(linked_->isChecked() ? Qt::SolidLine : Qt::NoPen);
        s->setPen(pen);
        s->setPointsVisible(!linked_->isChecked());
        s->setMarkerSize(3);
        if (s->attachedAxes().contains(axisY_[1 - curve.yAxis])) {
            s->detachAxis(axisY_[1 - curve.yAxis]);
            s->attachAxis(axisY_[curve.yAxis]);
        }
    }
    axisX_->setRange(QDateTime::fromMSecsSinceEpoch(qint64(msOf(r.x0))),
                     QDateTime::fromMSecsSinceEpoch(qint64(msOf(r.x1))));
    for (int a = 0; a < 2; ++a) {
        axisY_[a]->setRange(r.y0[size_t(a)], r.y1[size_t(a)]);
        axisY_[a]->setGridLineVisible(grid_->isChecked() && a == 0);
    }
    axisX_->setGridLineVisible(grid_->isChecked());
    for (int i = 0; i < 2; ++i) {
        const GraphModel::Cursor& k = model_.cursor(i);
        if (cursorSeries_[i] && k.valid)
            cursorSeries_[i]->replace({QPointF(msOf(k.x), r.y0[0]), QPointF(msOf(k.x), r.y1[0])});
    }
    // New ranges give new label widths: the axes measure their labels again
    // (otherwise they keep the room of the first labels and cut the new ones).
    for (QAbstractAxis* axis :
         std::initializer_list<QAbstractAxis*>{axisX_, axisY_[0], axisY_[1]}) {
        axis->setLabelsVisible(false);
        axis->setLabelsVisible(true);
    }
    showScaleEdits();
    updateCursorFields();
}

void GraphView::showScaleEdits() {
    for (int a = 0; a < 2; ++a) {
        scaleMin_[a]->setText(QString::number(model_.range().y0[size_t(a)], 'g', 6));
        scaleMax_[a]->setText(QString::number(model_.range().y1[size_t(a)], 'g', 6));
    }
}

void GraphView::readScaleEdits(int axis) {
    bool okMin = false, okMax = false;
    const double lo = QLocale().toDouble(scaleMin_[axis]->text(), &okMin);
    const double hi = QLocale().toDouble(scaleMax_[axis]->text(), &okMax);
    if (!okMin || !okMax || !(hi > lo)) {
        // Not two numbers in order: the edits show the scale again.
        showScaleEdits();
        return;
    }
    records::GraphRange r = model_.range();
    r.y0[size_t(axis)] = lo;
    r.y1[size_t(axis)] = hi;
    model_.setRange(r);
    refresh();
}

QString GraphView::cursorLine(int i) const {
    const GraphModel::Cursor& k = model_.cursor(i);
    return QString("%1: X=%2; Y=%3")
        .arg(text(i == 0 ? records::IDS_CURSOR1 : records::IDS_CURSOR2))
        .arg(QString::fromStdString(GraphModel::timeText(k.x)))
        .arg(QString::number(k.y, 'g', 7));
}

void GraphView::updateCursorFields() {
    for (int i = 0; i < 2; ++i) {
        const GraphModel::Cursor& k = model_.cursor(i);
        cursorX_[i]->setText(k.valid ? QString::fromStdString(GraphModel::timeText(k.x))
                                     : QString());
        cursorY_[i]->setText(k.valid ? QString::number(k.y, 'g', 7) : QString());
    }
    const double seconds = model_.deltaX() * 86400.0;
    deltaX_->setText(QString::number(seconds, 'f', 3) + " s");
    deltaY_->setText(QString::number(model_.deltaY(), 'g', 7));
}

QPixmap GraphView::chartPicture() {
    return view_->grab();
}

void GraphView::copyToClipboard() {
    QApplication::clipboard()->setPixmap(chartPicture());
}

bool GraphView::print(QPagedPaintDevice& device, const QString& title, const QString& footer) {
    QPainter p;
    if (!p.begin(&device))
        return false;
    const QRect page = p.viewport();
    const QFontMetrics fm(p.font());
    const int line = fm.height();
    int y = line;
    p.drawText(QPoint(0, y), title);
    y += line / 2;
    p.drawLine(0, y, page.width(), y);
    y += line / 2;
    const int footerLines = footer.isEmpty() ? 0 : 2;
    const int graphHeight = page.height() - y - line * (3 + footerLines);
    const QRect graphRect(0, y, page.width(), std::max(line, graphHeight));
    view_->render(&p, graphRect);
    y = graphRect.bottom() + line;
    for (int i = 0; i < 2; ++i) {
        p.drawText(QPoint(0, y), cursorLine(i));
        y += line;
    }
    if (!footer.isEmpty())
        p.drawText(QPoint(0, page.height() - line / 2), footer);
    return p.end();
}

}  // namespace qd40::ui
