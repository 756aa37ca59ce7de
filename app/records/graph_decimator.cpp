#include "app/records/graph_decimator.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace qd40::records {

namespace {
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr SeriesDecimator::MinMax kEmpty{kInf, -kInf};

SeriesDecimator::MinMax join(SeriesDecimator::MinMax a, SeriesDecimator::MinMax b) {
    return {std::min(a.min, b.min), std::max(a.max, b.max)};
}
}  // namespace

SeriesDecimator::SeriesDecimator(std::vector<double> x, std::vector<float> y)
    : x_(std::move(x)), y_(std::move(y)) {
    y_.resize(x_.size(), std::numeric_limits<float>::quiet_NaN());
    // Level 1 from the points, each next level from the one below.
    size_t below = y_.size();
    for (size_t k = 1; below > 1; ++k) {
        std::vector<MinMax> level((below + kFanOut - 1) / kFanOut, kEmpty);
        for (size_t i = 0; i < below; ++i) {
            MinMax& m = level[i / kFanOut];
            if (k == 1) {
                const float v = y_[i];
                if (!std::isnan(v))
                    m = join(m, {v, v});
            } else {
                m = join(m, levels_[k - 2][i]);
            }
        }
        below = level.size();
        levels_.push_back(std::move(level));
    }
}

SeriesDecimator::MinMax SeriesDecimator::scan(size_t level, size_t first, size_t last) const {
    MinMax m = kEmpty;
    if (level == 0) {
        for (size_t i = first; i < last; ++i)
            if (!std::isnan(y_[i]))
                m = join(m, {y_[i], y_[i]});
    } else {
        for (size_t i = first; i < last; ++i)
            m = join(m, levels_[level - 1][i]);
    }
    return m;
}

SeriesDecimator::MinMax SeriesDecimator::range(size_t first, size_t last) const {
    last = std::min(last, y_.size());
    MinMax m = kEmpty;
    // Climb while whole groups lie inside: the partial groups at both ends
    // are scanned at the level below.
    for (size_t level = 0; first < last; ++level) {
        const size_t up = (first + kFanOut - 1) / kFanOut * kFanOut;
        const size_t down = last / kFanOut * kFanOut;
        if (level == levels_.size() || up >= down) {
            m = join(m, scan(level, first, last));
            break;
        }
        m = join(m, scan(level, first, up));
        m = join(m, scan(level, down, last));
        first = up / kFanOut;
        last = down / kFanOut;
    }
    return m;
}

size_t SeriesDecimator::lowerBound(double value) const {
    return static_cast<size_t>(std::lower_bound(x_.begin(), x_.end(), value) - x_.begin());
}

size_t SeriesDecimator::nearest(double value) const {
    if (x_.empty())
        return 0;
    const size_t i = lowerBound(value);
    if (i == 0)
        return 0;
    if (i == x_.size())
        return i - 1;
    return value - x_[i - 1] <= x_[i] - value ? i - 1 : i;
}

SeriesDecimator::Envelope SeriesDecimator::envelope(double x0, double x1, size_t columns,
                                                    size_t rawLimit) const {
    Envelope e;
    if (columns == 0 || !(x1 >= x0))
        return e;
    const size_t first = lowerBound(x0);
    const size_t last =
        static_cast<size_t>(std::upper_bound(x_.begin(), x_.end(), x1) - x_.begin());
    if (last - first <= rawLimit) {
        e.raw = true;
        // One point on each side, so that the lines reach the view's edges.
        const size_t from = first > 0 ? first - 1 : first;
        const size_t to = std::min(last + 1, x_.size());
        e.x.assign(x_.begin() + ptrdiff_t(from), x_.begin() + ptrdiff_t(to));
        e.y.assign(y_.begin() + ptrdiff_t(from), y_.begin() + ptrdiff_t(to));
        return e;
    }
    e.columns.reserve(columns);
    const double width = (x1 - x0) / double(columns);
    size_t begin = first;
    for (size_t c = 0; c < columns; ++c) {
        const size_t end = c + 1 == columns ? last : lowerBound(x0 + width * double(c + 1));
        e.columns.push_back(range(begin, std::max(begin, end)));
        begin = std::max(begin, end);
    }
    return e;
}

}  // namespace qd40::records
