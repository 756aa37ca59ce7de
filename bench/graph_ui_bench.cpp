// The graph window offscreen (1100 x 700) on a block of 1,000,000 records of
// 30 channels: its first display (the curves filled from the records, the
// summaries built, the envelopes drawn and painted) and a redraw after a zoom,
// against painting the same chart with 30 ready 2,000-point series (the
// points a full-width view can show) replaced in it.
#include <benchmark/benchmark.h>

#include <bit>
#include <cmath>

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QLineSeries>

#include "app/ui/graph/graph_view.h"
#include "common/config/cfg_layout.h"

using namespace qd40;

namespace {

constexpr int kChannels = 30;
constexpr size_t kRecords = 1'000'000;

const records::CExplBloc& bigBlock() {
    static const records::CExplBloc b = [] {
        records::CExplBloc block;
        cfg::MemBlockCfg(block.memCfg).setChansToRecord((1u << kChannels) - 1);
        block.records.reserve(kRecords);
        for (size_t cycle = 0; block.records.size() < kRecords; ++cycle) {
            const double date = 46000.0 + double(cycle) / 86400.0;
            records::_tExplRecord d;
            d.setDate(date);
            block.records.push_back(d);
            for (int ch = 1; ch <= kChannels && block.records.size() < kRecords; ++ch) {
                records::_tExplRecord r;
                r.setFlags(static_cast<uint16_t>(records::kMeasureRecord << 14 | ch));
                r.setDate(date);
                r.setMs(static_cast<uint16_t>(ch * 10));
                r.setPayload(std::bit_cast<uint32_t>(
                    float(ch * 10 + 5 * std::sin(double(cycle) * 0.01 + ch))));
                block.records.push_back(r);
            }
        }
        return block;
    }();
    return b;
}

void BM_GraphFirstDisplay(benchmark::State& state) {
    const records::CExplBloc& block = bigBlock();
    for (auto _ : state) {
        ui::GraphView view;
        view.resize(1100, 700);
        view.show();
        view.setBlock(block, nullptr);
        QApplication::processEvents();
        benchmark::DoNotOptimize(view.chartPicture());
    }
}

void BM_GraphRedrawAfterZoom(benchmark::State& state) {
    ui::GraphView view;
    view.resize(1100, 700);
    view.show();
    view.setBlock(bigBlock(), nullptr);
    QApplication::processEvents();
    const auto whole = view.model().range();
    for (auto _ : state) {
        view.model().zoomAround((whole.x0 + whole.x1) / 2, 0.5);
        view.refresh();
        benchmark::DoNotOptimize(view.chartPicture());
        view.model().undoZoom();
    }
}

void BM_Chart2000PointSeries(benchmark::State& state) {
    auto* chart = new QChart;
    chart->legend()->hide();
    std::vector<QList<QPointF>> data(kChannels);
    std::vector<QLineSeries*> series;
    for (int c = 0; c < kChannels; ++c) {
        for (int i = 0; i < 2000; ++i)
            data[size_t(c)].append(QPointF(i, c * 10 + 5 * std::sin(i * 0.01 + c)));
        series.push_back(new QLineSeries);
        chart->addSeries(series.back());
    }
    chart->createDefaultAxes();
    QChartView view(chart);
    view.resize(1100, 700);
    view.show();
    QApplication::processEvents();
    for (auto _ : state) {
        for (int c = 0; c < kChannels; ++c)
            series[size_t(c)]->replace(data[size_t(c)]);
        benchmark::DoNotOptimize(view.grab());
    }
}

}  // namespace

BENCHMARK(BM_GraphFirstDisplay)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_GraphRedrawAfterZoom)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Chart2000PointSeries)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
