// The graph of a record block without its widget: one curve per stored
// channel filled from the block's records, the two value scales with their
// assignment, the visible range with its zoom history, and the two cursors.
// The widget draws what envelope() gives and moves the cursors through here.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/records/expl_bloc.h"
#include "app/records/graph_decimator.h"
#include "app/records/records_strings.h"
#include "app/records/wait_progress.h"

namespace qd40::records {


struct GraphCurve {
    int channel = 0;                 // 1..30
    int number = 0;                  // curve number, from 0 in channel order
    std::string module, name, unit;  // UTF-8
    uint32_t color = 0;              // 0xRRGGBB
    int yAxis = 0;                   // 0: Y1, 1: Y2
    std::unique_ptr<SeriesDecimator> points;
};

struct GraphRange {
    double x0 = 0, x1 = 1;
    std::array<double, 2> y0{0, 0}, y1{1, 1};  // per value axis
    bool operator==(const GraphRange&) const = default;
};

class GraphModel {
public:
    static constexpr int kColors = 30;
    static uint32_t curveColor(int number) { return kColorTable[size_t(number) % kColors]; }

    // Fills the curves from block: records before the first date record are
    // skipped; x = the later of the record's date and the first date
    // record's, plus its milliseconds (OLE days); y = the value, or the
    // channel's default value for an error record. The dialog's position is
    // set and its cancel flag read every 128 records; false when cancelled
    // (the model is then empty).
    bool fill(const CExplBloc& block, IWaitDialog* dialog);

    const std::vector<GraphCurve>& curves() const { return curves_; }
    bool empty() const { return curves_.empty(); }

    // ---- scales
    const GraphRange& range() const { return range_; }
    void setRange(const GraphRange& r) { range_ = r; }
    void assignAxis(int curve, int axis);
    // Automatic scales: X over the longest curve, Y over the curves on the
    // axis within the visible X range (a little margin so lines are not on
    // the border).
    void autoX();
    void autoY(int axis);
    void globalView();
    // Zooms to a rectangle (a rubber band, or the wheel), remembering the view.
    void zoomTo(double x0, double x1, std::optional<std::pair<double, double>> y1Range = {});
    // Zooms in (factor < 1) or out around x.
    void zoomAround(double x, double factor);
    void pan(double dx);
    bool undoZoom();

    // ---- cursors
    struct Cursor {
        int lockedCurve = 0;  // -1: free
        double x = 0, y = 0;
        bool valid = false;
    };
    const Cursor& cursor(int i) const { return cursors_.at(size_t(i)); }
    void lockCursor(int i, int curve);  // -1 frees it
    // Moves cursor i to x (and y for a free cursor); a locked cursor takes
    // the exact point of its curve nearest to x.
    void moveCursor(int i, double x, double y);
    double deltaX() const { return cursors_[1].x - cursors_[0].x; }
    double deltaY() const { return cursors_[1].y - cursors_[0].y; }

    // "hh:nn:ss.mmm" of an OLE date; "" when it is not a date.
    static std::string timeText(double oleDate);

private:
    static const std::array<uint32_t, kColors> kColorTable;

    std::vector<GraphCurve> curves_;
    GraphRange range_;
    std::vector<GraphRange> history_;
    std::array<Cursor, 2> cursors_{};
};

}  // namespace qd40::records
