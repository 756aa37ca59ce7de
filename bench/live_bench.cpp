// One scan of the measurements display over 10 simulated modules with their
// 30 channels scanned (the work the dialog's timer does every 100 ms at the
// shortest period), against the bare control calls that read the same cycle
// data. "busy_100ms" is the share of a 100 ms period the scan takes on the
// main thread.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <memory>

#include "app/core/live/measures_presenter.h"
#include "app/core/tests/doc_test_support.h"
#include "control/ctl/daemon_factory.h"
#include "testing/server_process.h"
#include "testing/sim_process.h"

namespace {

using namespace qd40;

constexpr int kModules = 10;
constexpr uint32_t kAllChannels = (1u << 30) - 1;
constexpr double kPeriodSeconds = 0.1;

struct World {
    std::unique_ptr<qd40::testing::ServerProcess> svr;
    std::vector<std::unique_ptr<qd40::testing::SimProcess>> sims;
    std::unique_ptr<app::CTavikDoc> doc;
    // No question is asked while scanning; the messages are kept, not shown.
    app::testing::ScriptedPrompter prompter;
    app::testing::RecordingSession session;
    security::SystemClock clock;
    std::unique_ptr<app::live::MeasuresPresenter> presenter;
};
World* world = nullptr;

bool setUp(World& w) {
    w.svr = std::make_unique<qd40::testing::ServerProcess>();
    if (!w.svr->ok())
        return std::fprintf(stderr, "%s\n", w.svr->error().c_str()), false;
    const std::string registry = w.svr->registryDir();
    w.doc = std::make_unique<app::CTavikDoc>([registry](ctl::CtlContainer* c) {
        return std::make_unique<ctl::OvixQd40Ctl>(ctl::daemonFactory(), c,
                                                  platform::RegistryStore(registry));
    });
    for (int i = 0; i < kModules; ++i) {
        qd40::testing::SimProcess::Options o;
        o.args = {"--time-scale", "10"};
        w.sims.push_back(std::make_unique<qd40::testing::SimProcess>(o));
        if (!w.sims.back()->ok())
            return std::fprintf(stderr, "%s\n", w.sims.back()->error().c_str()), false;
        app::CTavikItem& item = w.doc->newItem();
        item.control().put_Serial(0);
        item.control().put_IpAddr("127.0.0.1");
        item.control().put_Port(w.sims.back()->tcpPort());
        w.doc->numberItem(item);
        if (failed(item.control().Open()) || failed(item.control().Run()))
            return std::fprintf(stderr, "%s\n", item.control().lastError().description.c_str()),
                   false;
    }
    w.presenter = std::make_unique<app::live::MeasuresPresenter>(
        *w.doc, w.prompter, w.session,
        [](const std::string&, const std::string&, const std::string&) { return std::nullopt; },
        w.clock, platform::Locale::posix());
    for (size_t i = 0; i < kModules; ++i)
        w.presenter->setScanned(i, kAllChannels);
    return true;
}

// The share of the period that the measured work took, iteration by iteration.
template <class Work>
void runTimed(benchmark::State& state, Work work) {
    std::chrono::duration<double> busy{};
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        work();
        busy += std::chrono::steady_clock::now() - start;
    }
    state.counters["busy_100ms"] = busy.count() / double(state.iterations()) / kPeriodSeconds;
}

// Baseline: the two reads a scan makes of each module, nothing more.
void BM_CycleReadsOnly(benchmark::State& state) {
    runTimed(state, [] {
        for (const auto& item : world->doc->items()) {
            cfg::VariantBlob status, delays;
            item->control().GetCyStatus(&status);
            item->control().GetChansDelaysStatus(&delays);
            benchmark::DoNotOptimize(status.data.data());
        }
    });
}
BENCHMARK(BM_CycleReadsOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ScanTenModules(benchmark::State& state) {
    runTimed(state, [] {
        world->presenter->tick();
        benchmark::DoNotOptimize(world->presenter->lines().data());
    });
    if (!world->presenter->error().empty())
        state.SkipWithError(world->presenter->error().c_str());
    if (!world->prompter.shown.empty())
        state.SkipWithError(world->prompter.shown.back().text.c_str());
}
BENCHMARK(BM_ScanTenModules)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    World w;
    if (!setUp(w))
        return 1;
    world = &w;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    world = nullptr;
    return 0;
}
