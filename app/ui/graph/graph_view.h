// The graph of a record block: the curves drawn with Qt Charts from the
// model's per-column envelopes (redrawn for every new view, so ten million
// points draw as fast as the pixels they cover), the channel list, the two
// value scales, the cursors, zoom with the wheel and a rubber band, pan by
// dragging, undo of the last zoom, copy as a picture and printing.
#pragma once
#include <functional>
#include <memory>
#include <vector>

#include <QWidget>

#include "app/records/graph_model.h"

class QChart;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QLineSeries;
class QPagedPaintDevice;
class QRadioButton;
class QTreeWidget;
class QValueAxis;
class QDateTimeAxis;

namespace qd40::ui {

class GraphChartView;

class GraphView : public QWidget {
    Q_OBJECT
public:
    explicit GraphView(QWidget* parent = nullptr);
    ~GraphView() override;

    // Fills the curves from block (with its progress dialog; may be null).
    // False when the preparation was cancelled.
    bool setBlock(const records::CExplBloc& block, records::IWaitDialog* dialog);
    records::GraphModel& model() { return model_; }

    // Redraws the curves and the scales for the model's range.
    void refresh();
    // The page: the title line, the graph, one line per cursor, the footer.
    // Returns false when the device could not be painted.
    bool print(QPagedPaintDevice& device, const QString& title, const QString& footer);
    // The graph as a picture on the clipboard.
    void copyToClipboard();
    // The picture of the chart alone.
    QPixmap chartPicture();

    // The cursors' texts as shown ("X = hh:nn:ss.mmm", "Y = value").
    QString cursorLine(int cursor) const;

    QWidget* chartWidget() const;

Q_SIGNALS:
    void printRequested();

protected:
    // The envelopes follow the plot's width.
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildPanel(QWidget* panel);
    void fillChannelList();
    void updateCursorFields();
    void readScaleEdits(int axis);
    void showScaleEdits();
    void zoomRect(const QRectF& valueRect);

    records::GraphModel model_;
    QChart* chart_ = nullptr;
    GraphChartView* view_ = nullptr;
    QDateTimeAxis* axisX_ = nullptr;
    QValueAxis* axisY_[2] = {nullptr, nullptr};
    std::vector<QLineSeries*> series_;
    QLineSeries* cursorSeries_[2] = {nullptr, nullptr};

    QTreeWidget* channels_ = nullptr;
    QRadioButton* assignY_[2] = {nullptr, nullptr};
    QLineEdit* scaleMin_[2] = {nullptr, nullptr};
    QLineEdit* scaleMax_[2] = {nullptr, nullptr};
    QComboBox* cursorLock_[2] = {nullptr, nullptr};
    QLineEdit* cursorX_[2] = {nullptr, nullptr};
    QLineEdit* cursorY_[2] = {nullptr, nullptr};
    QLineEdit* deltaX_ = nullptr;
    QLineEdit* deltaY_ = nullptr;
    QCheckBox* grid_ = nullptr;
    QCheckBox* linked_ = nullptr;
};

}  // namespace qd40::ui
