// What a graph draws of a long series: per pixel column, the smallest and
// largest value of the points that fall in it, so that ten million points
// draw as fast as a thousand and no peak is lost. The series keeps every
// point (cursors read them exactly); a summary of min/max per group of 16,
// 256, 4096... points, built once, answers each column in a few dozen steps.
// A view narrow enough to hold few points gets the points themselves.
#pragma once
#include <cstddef>
#include <span>
#include <vector>

namespace qd40::records {

class SeriesDecimator {
public:
    static constexpr size_t kFanOut = 16;

    // x must be ascending (equal values allowed); y may hold NaN (no value).
    SeriesDecimator(std::vector<double> x, std::vector<float> y);

    size_t size() const { return x_.size(); }
    const std::vector<double>& x() const { return x_; }
    const std::vector<float>& y() const { return y_; }

    struct MinMax {
        float min;
        float max;
        bool empty() const { return !(min <= max); }
    };
    // Min and max of y over the points [first, last); empty when none has a value.
    MinMax range(size_t first, size_t last) const;

    struct Envelope {
        // The points themselves (x, y) when the view holds at most
        // rawLimit points; otherwise one column each, left to right.
        bool raw = false;
        std::vector<double> x;
        std::vector<float> y;
        std::vector<MinMax> columns;
    };
    // The view [x0, x1] over `columns` equal columns.
    Envelope envelope(double x0, double x1, size_t columns, size_t rawLimit) const;

    // The index of the point whose x is nearest to x (size() when empty).
    size_t nearest(double x) const;
    // The first point with x >= value.
    size_t lowerBound(double value) const;

private:
    MinMax scan(size_t level, size_t first, size_t last) const;

    std::vector<double> x_;
    std::vector<float> y_;
    // levels_[k - 1]: min/max of each group of 16^k points.
    std::vector<std::vector<MinMax>> levels_;
};

}  // namespace qd40::records
