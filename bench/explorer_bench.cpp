// The records explorer's list over a block of 10,000,000 records: the rows
// of a screenful (40 rows, 8 columns) taken through the table model at 64
// places spread over the block, against formatting the same rows straight
// from the block's array. The model opening the block (its reset, which
// looks for the first date record) is measured too.
#include <benchmark/benchmark.h>

#include <bit>
#include <cstdio>
#include <string>

#include "app/records/records_table_model.h"

using namespace qd40;
using namespace qd40::records;

namespace {

constexpr size_t kRecords = 10'000'000;
constexpr int kScreen = 40;
constexpr int kPlaces = 64;
constexpr int kCycle = 11;  // a date record and ten measurements

const CExplBloc& bigBlock() {
    static const CExplBloc block = [] {
        CExplBloc b;
        b.name = "BIG";
        b.records.resize(kRecords);
        for (size_t i = 0; i < kRecords; ++i) {
            _tExplRecord& r = b.records[i];
            const double date = 36526.0 + double(i / kCycle) / 86400.0;
            r.setDate(date);
            r.setMs(static_cast<uint16_t>(i % 1000));
            if (i % kCycle == 0) {
                r.setFlags(0x0000);
            } else {
                r.setFlags(static_cast<uint16_t>(0x4000 | (i % kCycle)));
                r.setPayload(std::bit_cast<uint32_t>(float(i % 977) * 0.37f - 40.0f));
            }
        }
        return b;
    }();
    return block;
}

size_t placeRow(int place) {
    return (kRecords - kScreen) / (kPlaces - 1) * size_t(place);
}

void Rows_Model(benchmark::State& state) {
    RecordsTableModel model(platform::Locale::posix());
    model.setBlock(&bigBlock());
    int64_t cells = 0;
    for (auto _ : state) {
        for (int p = 0; p < kPlaces; ++p)
            for (int r = 0; r < kScreen; ++r)
                for (int c = 0; c < RecordsTableModel::kColumns; ++c) {
                    const QVariant v =
                        model.data(model.index(int(placeRow(p)) + r, c), Qt::DisplayRole);
                    benchmark::DoNotOptimize(v);
                    ++cells;
                }
    }
    // Seconds a screenful of rows takes, wherever it is in the block.
    state.counters["screenful_s"] = benchmark::Counter(
        kPlaces, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.SetItemsProcessed(cells);
}

// The baseline: the same rows' texts straight from the array.
void Rows_FormatFromArray(benchmark::State& state) {
    const CExplBloc& block = bigBlock();
    const platform::Locale locale = platform::Locale::posix();
    int64_t cells = 0;
    for (auto _ : state) {
        for (int p = 0; p < kPlaces; ++p)
            for (int r = 0; r < kScreen; ++r) {
                const RecordText t =
                    block.FormatRecordText(placeRow(p) + size_t(r), '\t', true, locale);
                benchmark::DoNotOptimize(t);
                cells += RecordsTableModel::kColumns;
            }
    }
    state.SetItemsProcessed(cells);
}

void OpenBlock_Model(benchmark::State& state) {
    RecordsTableModel model(platform::Locale::posix());
    for (auto _ : state) {
        model.setBlock(&bigBlock());
        benchmark::DoNotOptimize(model.rowCount());
        model.setBlock(nullptr);
    }
}

}  // namespace

BENCHMARK(Rows_Model)->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly(true);
BENCHMARK(Rows_FormatFromArray)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);
BENCHMARK(OpenBlock_Model)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    bigBlock();  // built once, outside the measures
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
