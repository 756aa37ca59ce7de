// A series of 10,000,000 points drawn on 1920 pixel columns, the whole
// series and a 1 % zoom, from the summary (SeriesDecimator::envelope)
// against one plain scan of the points in view; and building the summary
// against copying the points.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "app/records/graph_decimator.h"

using namespace qd40::records;

namespace {

constexpr size_t kPoints = 10'000'000;
constexpr size_t kColumns = 1920;

const std::vector<double>& xs() {
    static const std::vector<double> x = [] {
        std::vector<double> v(kPoints);
        for (size_t i = 0; i < kPoints; ++i)
            v[i] = 46000.0 + double(i) * 0.1 / 86400.0;
        return v;
    }();
    return x;
}

const std::vector<float>& ys() {
    static const std::vector<float> y = [] {
        std::vector<float> v(kPoints);
        std::mt19937 rng(1);
        std::normal_distribution<float> noise(0, 1);
        for (size_t i = 0; i < kPoints; ++i)
            v[i] = 20.0f + 5.0f * std::sin(float(i) * 1e-4f) + noise(rng);
        return v;
    }();
    return y;
}

const SeriesDecimator& decimator() {
    static const SeriesDecimator d(xs(), ys());
    return d;
}

// The view as a fraction of the series: 1.0 is all of it.
std::pair<double, double> view(double fraction) {
    const auto& x = xs();
    const size_t span = size_t(double(kPoints) * fraction);
    const size_t first = (kPoints - span) / 2;
    return {x[first], x[first + span - 1]};
}

void BM_EnvelopeFromSummary(benchmark::State& state) {
    const auto [x0, x1] = view(double(state.range(0)) / 100.0);
    const SeriesDecimator& d = decimator();
    for (auto _ : state)
        benchmark::DoNotOptimize(d.envelope(x0, x1, kColumns, 2 * kColumns));
}

void BM_EnvelopePlainScan(benchmark::State& state) {
    const auto [x0, x1] = view(double(state.range(0)) / 100.0);
    const auto& x = xs();
    const auto& y = ys();
    for (auto _ : state) {
        std::vector<float> lo(kColumns, INFINITY), hi(kColumns, -INFINITY);
        const size_t first = size_t(std::lower_bound(x.begin(), x.end(), x0) - x.begin());
        const double scale = double(kColumns) / (x1 - x0);
        for (size_t i = first; i < x.size() && x[i] <= x1; ++i) {
            const size_t c = std::min(kColumns - 1, size_t((x[i] - x0) * scale));
            if (!std::isnan(y[i])) {
                lo[c] = std::min(lo[c], y[i]);
                hi[c] = std::max(hi[c], y[i]);
            }
        }
        benchmark::DoNotOptimize(lo.data());
        benchmark::DoNotOptimize(hi.data());
    }
}

void BM_BuildSummary(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(SeriesDecimator(xs(), ys()).size());
}

void BM_CopyPoints(benchmark::State& state) {
    for (auto _ : state) {
        std::vector<double> x = xs();
        std::vector<float> y = ys();
        benchmark::DoNotOptimize(x.data());
        benchmark::DoNotOptimize(y.data());
    }
}

}  // namespace

BENCHMARK(BM_EnvelopeFromSummary)->Arg(100)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EnvelopePlainScan)->Arg(100)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BuildSummary)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CopyPoints)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
