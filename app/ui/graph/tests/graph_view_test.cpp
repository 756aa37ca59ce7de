// The graph window's wiring offscreen: a block drawn, the wheel and a rubber
// band zoom, a click puts the cursor on an exact point.
#include <bit>

#include <QGraphicsView>
#include <QLineEdit>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>

#include "app/ui/graph/graph_view.h"
#include "app/ui/tests/qt_app_fixture.h"
#include "common/config/cfg_layout.h"

namespace qd40::ui {
namespace {

using records::_tExplRecord;

// Channels 1 and 2 every second for 1000 seconds.
records::CExplBloc block() {
    records::CExplBloc b;
    cfg::MemBlockCfg(b.memCfg).setChansToRecord(0b11);
    for (int s = 0; s < 1000; ++s) {
        const double date = 46000.0 + s / 86400.0;
        _tExplRecord d;
        d.setFlags(0);
        d.setDate(date);
        b.records.push_back(d);
        for (int ch = 1; ch <= 2; ++ch) {
            _tExplRecord r;
            r.setFlags(static_cast<uint16_t>(records::kMeasureRecord << 14 | ch));
            r.setDate(date);
            r.setPayload(std::bit_cast<uint32_t>(float(ch * 100 + s % 50)));
            b.records.push_back(r);
        }
    }
    return b;
}

class GraphViewTest : public testing::WithQApplication {};

TEST_F(GraphViewTest, WheelRubberBandAndCursor) {
    GraphView view;
    view.resize(1100, 700);
    view.show();
    ASSERT_TRUE(view.setBlock(block(), nullptr));
    QApplication::processEvents();
    ASSERT_EQ(view.model().curves().size(), 2u);
    auto* chart = qobject_cast<QGraphicsView*>(view.chartWidget());
    ASSERT_NE(chart, nullptr);
    QWidget* port = chart->viewport();
    const QPointF center = QRectF(port->rect()).center();
    const double whole = view.model().range().x1 - view.model().range().x0;

    QWheelEvent wheel(center, port->mapToGlobal(center), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(port, &wheel);
    const double zoomed = view.model().range().x1 - view.model().range().x0;
    EXPECT_NEAR(zoomed, whole * 0.8, whole * 1e-6);

    const QPoint a = center.toPoint() - QPoint(100, 100), b = center.toPoint() + QPoint(100, 100);
    QTest::mousePress(port, Qt::LeftButton, {}, a);
    QMouseEvent move(QEvent::MouseMove, QPointF(b), port->mapToGlobal(QPointF(b)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(port, &move);
    QTest::mouseRelease(port, Qt::LeftButton, {}, b);
    const double banded = view.model().range().x1 - view.model().range().x0;
    EXPECT_LT(banded, zoomed * 0.5);
    EXPECT_TRUE(view.model().undoZoom());
    EXPECT_NEAR(view.model().range().x1 - view.model().range().x0, zoomed, whole * 1e-6);

    // Cursor 1 is locked to the first curve: a click puts it on a point of it.
    view.refresh();
    QTest::mouseClick(port, Qt::LeftButton, {}, center.toPoint());
    const auto& cursor = view.model().cursor(0);
    const auto& xs = view.model().curves()[0].points->x();
    EXPECT_TRUE(std::binary_search(xs.begin(), xs.end(), cursor.x));
    const size_t i = size_t(std::lower_bound(xs.begin(), xs.end(), cursor.x) - xs.begin());
    EXPECT_EQ(cursor.y, view.model().curves()[0].points->y()[i]);
    EXPECT_TRUE(view.cursorLine(0).startsWith(
        QString("Cursor 1: X=%1; Y=")
            .arg(QString::fromStdString(records::GraphModel::timeText(cursor.x)))))
        << view.cursorLine(0).toStdString();
}

TEST_F(GraphViewTest, PrintsToAPdfFile) {
    GraphView view;
    view.resize(900, 600);
    ASSERT_TRUE(view.setBlock(block(), nullptr));
    QTemporaryDir dir;
    const QString path = dir.filePath("graph.pdf");
    {
        QPdfWriter pdf(path);
        ASSERT_TRUE(view.print(pdf, "demo.dqx - Block - 1", "Tavik B.10 - printed by OP"));
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_TRUE(bytes.startsWith("%PDF"));
    EXPECT_EQ(bytes.count("/Type /Page\n") + bytes.count("/Type /Page\r") +
                  bytes.count("/Type /Page>>") + bytes.count("/Type /Page "),
              1)
        << "one page";
}

}  // namespace
}  // namespace qd40::ui
