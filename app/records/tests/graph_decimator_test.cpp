// The min/max summary against a plain scan of the same points.
#include <cmath>
#include <limits>
#include <random>

#include <gtest/gtest.h>

#include "app/records/graph_decimator.h"

namespace qd40::records {
namespace {

using MinMax = SeriesDecimator::MinMax;

MinMax naive(const std::vector<float>& y, size_t first, size_t last) {
    MinMax m{std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity()};
    for (size_t i = first; i < last; ++i)
        if (!std::isnan(y[i]))
            m = {std::min(m.min, y[i]), std::max(m.max, y[i])};
    return m;
}

// A series with repeated x values and points without a value.
SeriesDecimator series(size_t n, std::vector<double>& x, std::vector<float>& y) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> value(-100, 100);
    double t = 1000;
    for (size_t i = 0; i < n; ++i) {
        t += (rng() % 4 == 0) ? 0 : 0.25;
        x.push_back(t);
        y.push_back(rng() % 50 == 0 ? std::numeric_limits<float>::quiet_NaN() : value(rng));
    }
    return SeriesDecimator(x, y);
}

TEST(SeriesDecimatorTest, RangesMatchAPlainScan) {
    std::vector<double> x;
    std::vector<float> y;
    const SeriesDecimator d = series(70001, x, y);
    std::mt19937 rng(3);
    for (int i = 0; i < 3000; ++i) {
        size_t a = rng() % (y.size() + 1), b = rng() % (y.size() + 1);
        if (i % 3 == 0)
            b = std::min(y.size(), a + rng() % 40);  // short ranges too
        if (a > b)
            std::swap(a, b);
        const MinMax got = d.range(a, b), want = naive(y, a, b);
        ASSERT_EQ(got.empty(), want.empty()) << a << ".." << b;
        if (!want.empty()) {
            ASSERT_EQ(got.min, want.min) << a << ".." << b;
            ASSERT_EQ(got.max, want.max) << a << ".." << b;
        }
    }
    EXPECT_TRUE(d.range(5, 5).empty());
}

TEST(SeriesDecimatorTest, EnvelopeColumnsHoldEveryPeak) {
    std::vector<double> x;
    std::vector<float> y;
    const SeriesDecimator d = series(50000, x, y);
    const double x0 = x[1234], x1 = x[45678];
    const size_t columns = 700;
    const auto e = d.envelope(x0, x1, columns, 2000);
    ASSERT_FALSE(e.raw);
    ASSERT_EQ(e.columns.size(), columns);
    // Each column against the points whose x falls in it.
    const double width = (x1 - x0) / columns;
    size_t i = d.lowerBound(x0);
    for (size_t c = 0; c < columns; ++c) {
        const size_t begin = i;
        const double edge = x0 + width * double(c + 1);
        while (i < x.size() && (c + 1 == columns ? x[i] <= x1 : x[i] < edge))
            ++i;
        const MinMax want = naive(y, begin, i);
        ASSERT_EQ(e.columns[c].empty(), want.empty()) << c;
        if (!want.empty()) {
            EXPECT_EQ(e.columns[c].min, want.min) << c;
            EXPECT_EQ(e.columns[c].max, want.max) << c;
        }
    }
    // The global extremes of the view are in the envelope.
    const MinMax all = naive(y, d.lowerBound(x0), i);
    float lo = INFINITY, hi = -INFINITY;
    for (const MinMax& m : e.columns)
        if (!m.empty())
            lo = std::min(lo, m.min), hi = std::max(hi, m.max);
    EXPECT_EQ(lo, all.min);
    EXPECT_EQ(hi, all.max);
}

TEST(SeriesDecimatorTest, ANarrowViewGetsThePointsAndCursorsTheNearest) {
    const SeriesDecimator d({1, 2, 3, 4, 5, 6}, {10, 20, 30, 40, 50, 60});
    auto e = d.envelope(2.5, 4.5, 100, 10);
    ASSERT_TRUE(e.raw);
    EXPECT_EQ(e.x, (std::vector<double>{2, 3, 4, 5})) << "with one point beyond each edge";
    EXPECT_EQ(e.y, (std::vector<float>{20, 30, 40, 50}));
    e = d.envelope(1, 6, 2, 3);
    ASSERT_FALSE(e.raw);
    ASSERT_EQ(e.columns.size(), 2u);
    EXPECT_EQ(e.columns[0].min, 10);
    EXPECT_EQ(e.columns[0].max, 30);
    EXPECT_EQ(e.columns[1].min, 40);
    EXPECT_EQ(e.columns[1].max, 60);
    EXPECT_EQ(d.nearest(3.4), 2u);
    EXPECT_EQ(d.nearest(3.6), 3u);
    EXPECT_EQ(d.nearest(-5), 0u);
    EXPECT_EQ(d.nearest(99), 5u);
    EXPECT_TRUE(d.envelope(5, 1, 10, 10).columns.empty()) << "an inverted view is empty";
    EXPECT_EQ(SeriesDecimator({}, {}).range(0, 10).empty(), true);
}

}  // namespace
}  // namespace qd40::records
