// A series of 10,000,000 points drawn on 1920 pixel columns, the whole
// series and a 1 % zoom, from the summary (SeriesDecimator::envelope)
// against one plain scan of the points in view; and building the summary
// against copying the points.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "app/records/graph_decimator.h"
#include "app/records/graph_model.h"
#include "common/config/cfg_layout.h"

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

// A block of 10,000,000 records, cycles of a date record and 30 channels.
const CExplBloc& bigBlock() {
    static const CExplBloc b = [] {
        constexpr size_t kRecords = 10'000'000;
        CExplBloc block;
        qd40::cfg::MemBlockCfg(block.memCfg).setChansToRecord((1u << 30) - 1);
        block.records.reserve(kRecords);
        for (size_t cycle = 0; block.records.size() < kRecords; ++cycle) {
            const double date = 46000.0 + double(cycle) / 86400.0;
            _tExplRecord d;
            d.setDate(date);
            block.records.push_back(d);
            for (int ch = 1; ch <= 30 && block.records.size() < kRecords; ++ch) {
                _tExplRecord r;
                r.setFlags(static_cast<uint16_t>(kMeasureRecord << 14 | ch));
                r.setDate(date);
                r.setPayload(std::bit_cast<uint32_t>(float(ch + cycle % 100)));
                block.records.push_back(r);
            }
        }
        return block;
    }();
    return b;
}

// The curves and their summaries of a whole block, as the graph window
// prepares them.
void BM_FillGraphOf10MRecordBlock(benchmark::State& state) {
    const CExplBloc& block = bigBlock();
    for (auto _ : state) {
        GraphModel model;
        model.fill(block, nullptr);
        benchmark::DoNotOptimize(model.curves().data());
    }
}

}  // namespace

BENCHMARK(BM_FillGraphOf10MRecordBlock)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_EnvelopeFromSummary)->Arg(100)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EnvelopePlainScan)->Arg(100)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BuildSummary)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CopyPoints)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
