// Record block benchmarks on 1,000,000 records, each beside its baseline:
//   AppendRawRecords  vs  copying the 8-byte inputs into 24-byte slots
//   SortRecords       vs  std::sort of the same records on the same key
//   spreadsheet export vs writing the same lines, pre-formatted, one write
//                         call each (and, stricter, one buffered fwrite each)
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "app/records/expl_bloc.h"
#include "app/records/record_export.h"
#include "common/le_bytes.h"

using namespace qd40;
using namespace qd40::records;

namespace {

constexpr size_t kRecords = 1'000'000;
constexpr int kChannels = 10;

// Cycles of one date record and 10 measurements, as a module records them.
const std::vector<uint8_t>& rawRecords() {
    static const std::vector<uint8_t> raw = [] {
        std::vector<uint8_t> v(kRecords * 8);
        std::mt19937 rng(1);
        std::uniform_real_distribution<float> value(-50.0f, 150.0f);
        uint32_t seconds = 700'000'000;
        for (size_t i = 0; i < kRecords; ++i) {
            const size_t at = i * 8;
            const int inCycle = static_cast<int>(i % (kChannels + 1));
            if (inCycle == 0) {
                le::setU16(v, at, 0x0000);
                le::setU16(v, at + 2, static_cast<uint16_t>(rng() % 1000));
                le::setU32(v, at + 4, seconds);
                seconds += 10;
            } else {
                le::setU16(v, at, static_cast<uint16_t>(0x4000 | inCycle));
                le::setU16(v, at + 2, static_cast<uint16_t>(0x4000 | (inCycle * 7)));
                le::setF32(v, at + 4, value(rng));
            }
        }
        return v;
    }();
    return raw;
}

CExplBloc& exportBlock() {
    static CExplBloc block = [] {
        CExplBloc b;
        b.name = "Bench";
        le::setU32(b.memCfg, 4, (1u << kChannels) - 1);
        for (int ch = 1; ch <= kChannels; ++ch)
            b.resolutions[ch - 1] = ch % 2 ? 2 : 6;
        b.AppendRawRecords(rawRecords(), kRecords);
        return b;
    }();
    return block;
}

// ---- conversion -------------------------------------------------------------

void BM_AppendRawRecords(benchmark::State& state) {
    const auto& raw = rawRecords();
    CExplBloc b;
    b.records.reserve(kRecords);
    for (auto _ : state) {
        b.records.clear();
        b.AppendRawRecords(raw, kRecords);
        benchmark::DoNotOptimize(b.records.data());
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}

void BM_CopyRawBaseline(benchmark::State& state) {
    const auto& raw = rawRecords();
    std::vector<_tExplRecord> out;
    out.reserve(kRecords);
    for (auto _ : state) {
        out.clear();
        out.resize(kRecords);
        for (size_t i = 0; i < kRecords; ++i)
            std::memcpy(out[i].bytes.data(), &raw[i * 8], 8);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}

// ---- sort ---------------------------------------------------------------------

const std::vector<_tExplRecord>& shuffledRecords() {
    static const std::vector<_tExplRecord> v = [] {
        std::vector<_tExplRecord> r = exportBlock().records;
        std::shuffle(r.begin(), r.end(), std::mt19937(2));
        return r;
    }();
    return v;
}

void BM_SortRecords(benchmark::State& state) {
    CExplBloc b;
    for (auto _ : state) {
        state.PauseTiming();
        b.records = shuffledRecords();
        state.ResumeTiming();
        b.SortRecords(nullptr, nullptr);
        benchmark::DoNotOptimize(b.records.data());
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}

// The same work with a progress dialog that is never cancelled.
void BM_SortRecordsWithProgress(benchmark::State& state) {
    CExplBloc b;
    WaitDialogState dialog;
    for (auto _ : state) {
        state.PauseTiming();
        b.records = shuffledRecords();
        state.ResumeTiming();
        b.SortRecords(&dialog, nullptr);
        benchmark::DoNotOptimize(b.records.data());
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}

void BM_StdSortBaseline(benchmark::State& state) {
    std::vector<_tExplRecord> v;
    for (auto _ : state) {
        state.PauseTiming();
        v = shuffledRecords();
        state.ResumeTiming();
        std::sort(v.begin(), v.end(), recordLess);
        benchmark::DoNotOptimize(v.data());
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}

// ---- spreadsheet export -----------------------------------------------------------

// Argument 1: the default options (grouped by cycle); 0: one row per
// record; 2: one row per record with the date and time columns as well.
SpreadsheetOptions optionsOf(const benchmark::State& state) {
    SpreadsheetOptions o;
    o.groupByCycle = state.range(0) == 1;
    o.date = o.time = state.range(0) == 2;
    return o;
}

std::FILE* devNull() {
    static std::FILE* f = std::fopen("/dev/null", "wb");
    return f;
}

void BM_SpreadsheetExport(benchmark::State& state) {
    const SpreadsheetOptions o = optionsOf(state);
    const platform::Locale locale = platform::Locale::posix();
    WaitDialogState dialog;
    for (auto _ : state) {
        const ExportResult r = exportSpreadsheetTo(devNull(), {&exportBlock()}, o, locale, &dialog);
        benchmark::DoNotOptimize(r.records);
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}

// The lines the export writes for the options of the state, pre-formatted.
std::vector<std::string> exportedLines(const benchmark::State& state) {
    std::vector<std::string> lines;
    std::FILE* mem = std::tmpfile();
    exportSpreadsheetTo(mem, {&exportBlock()}, optionsOf(state), platform::Locale::posix(),
                        nullptr);
    std::rewind(mem);
    std::string text;
    char buf[1 << 16];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, mem)) > 0;)
        text.append(buf, n);
    std::fclose(mem);
    for (size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
        lines.push_back(text.substr(at, end + 2 - at));
    return lines;
}

// The same lines, each written by one write call.
void BM_WriteCallLinesBaseline(benchmark::State& state) {
    const std::vector<std::string> lines = exportedLines(state);
    const int fd = ::open("/dev/null", O_WRONLY);
    if (fd < 0) {
        state.SkipWithError("cannot open /dev/null");
        return;
    }
    state.counters["lines"] = static_cast<double>(lines.size());
    for (auto _ : state) {
        for (const std::string& l : lines) {
            if (::write(fd, l.data(), l.size()) != static_cast<ssize_t>(l.size())) {
                state.SkipWithError("write failed");
                break;
            }
        }
    }
    ::close(fd);
    state.SetItemsProcessed(state.iterations() * kRecords);
}

// A stricter baseline: the same lines through one fwrite each, which the C
// library gathers into large writes, so nearly only the copying is left.
void BM_PreformattedLinesBaseline(benchmark::State& state) {
    const std::vector<std::string> lines = exportedLines(state);
    state.counters["lines"] = static_cast<double>(lines.size());
    for (auto _ : state) {
        for (const std::string& l : lines)
            std::fwrite(l.data(), 1, l.size(), devNull());
        std::fflush(devNull());
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}

}  // namespace

BENCHMARK(BM_AppendRawRecords)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CopyRawBaseline)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortRecords)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortRecordsWithProgress)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StdSortBaseline)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SpreadsheetExport)->Arg(1)->Arg(0)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteCallLinesBaseline)->Arg(1)->Arg(0)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PreformattedLinesBaseline)->Arg(1)->Arg(0)->Arg(2)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
