// Several modules read at once through one daemon against one module read
// alone, in alternating rounds of the same run: each of 4 clients reads the
// 10,000 records of its own simulated module (its own line), all at the same
// time; the baseline is one client reading one module with the daemon to
// itself. "ratio" is the time of the four over the time of the one (goal: at
// most 1.3): calls on different lines run side by side in the daemon.
//
// The argument is the simulators' answer delay in milliseconds. With 0 the
// simulators answer at once and every process of the chain keeps a core
// busy, so the ratio measures the machine's cores as much as the daemon; a
// real module takes its time to answer (1 ms and up over MODBUS/TCP), and
// then the ratio shows whether one module's wait holds up the others.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "server/rpc/qd40_client.h"
#include "testing/server_process.h"
#include "testing/sim_process.h"

namespace {

using qd40::rpc::Qd40Client;
using qd40::testing::ServerProcess;
using qd40::testing::SimProcess;
using Seconds = std::chrono::duration<double>;

constexpr int kModules = 4;
constexpr int kRecords = 10000;
constexpr uint32_t kCall = 256;  // records per call, as the application reads

struct World {
    std::unique_ptr<ServerProcess> svr;
    std::vector<std::unique_ptr<SimProcess>> sims;
};
World* world = nullptr;

bool setUp(World& w) {
    w.svr = std::make_unique<ServerProcess>();
    if (!w.svr->ok())
        return std::fprintf(stderr, "%s\n", w.svr->error().c_str()), false;
    for (int i = 0; i < kModules; ++i) {
        SimProcess::Options o;
        o.args = {"--preload", "1:" + std::to_string(kRecords)};
        w.sims.push_back(std::make_unique<SimProcess>(o));
        if (!w.sims.back()->ok())
            return std::fprintf(stderr, "%s\n", w.sims.back()->error().c_str()), false;
    }
    return w.svr->start({"-Lock"});
}

// One client of its own (a client lives on the thread that made it) reads
// every record of module `i`; false with the reason on stderr on failure.
bool readModule(int i) {
    qd40::Status st;
    auto q = Qd40Client::create("", &st);
    if (!q)
        return std::fprintf(stderr, "%s\n", st.error.description.c_str()), false;
    const SimProcess& sim = *world->sims[size_t(i)];
    int32_t err = 0;
    if (qd40::failed(q->OpenComm(sim.tcpAddress(), sim.tcpPort(), &err)))
        return std::fprintf(stderr, "%s\n", q->lastError().description.c_str()), false;
    qd40::server::Variant records;
    for (uint32_t first = 1; first <= uint32_t(kRecords); first += kCall) {
        const uint32_t qty = std::min<uint32_t>(kCall, uint32_t(kRecords) - first + 1);
        uint32_t got = 0;
        if (qd40::failed(q->GetMemRecords(1, 1, first, qty, 0, &got, &records, &err)) || got != qty)
            return std::fprintf(stderr, "%s\n", q->lastError().description.c_str()), false;
    }
    return true;
}

// Reads `count` modules at once, one thread each; the time until all are done.
Seconds readAtOnce(int count, bool& ok) {
    std::vector<std::thread> readers;
    std::vector<char> done(size_t(count), 0);
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i)
        readers.emplace_back([i, &done] { done[size_t(i)] = readModule(i) ? 1 : 0; });
    for (auto& t : readers)
        t.join();
    ok = std::all_of(done.begin(), done.end(), [](char c) { return c != 0; });
    return std::chrono::steady_clock::now() - start;
}

void FourModulesAtOnceOverOneAlone(benchmark::State& state) {
    const std::string faults = "delay " + std::to_string(state.range(0)) + "\n";
    for (auto& sim : world->sims)
        if (!sim->setFaults(faults)) {
            state.SkipWithError("cannot set the simulators' answer delay");
            return;
        }
    Seconds one{0}, four{0};
    for (auto _ : state) {
        bool ok1 = false, ok4 = false;
        one += readAtOnce(1, ok1);
        four += readAtOnce(kModules, ok4);
        if (!ok1 || !ok4) {
            state.SkipWithError("a module could not be read (see stderr)");
            return;
        }
    }
    const double n = double(state.iterations());
    state.counters["one_alone_ms"] = one.count() / n * 1e3;
    state.counters["four_at_once_ms"] = four.count() / n * 1e3;
    state.counters["ratio"] = four.count() / one.count();
}

}  // namespace

BENCHMARK(FourModulesAtOnceOverOneAlone)
    ->ArgName("answer_delay_ms")
    ->Arg(0)
    ->Arg(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    World w;
    if (!setUp(w)) {
        std::fprintf(stderr, "lines_bench: cannot set up the daemon and simulators\n");
        return 1;
    }
    world = &w;
    benchmark::RunSpecifiedBenchmarks();
    world = nullptr;
    benchmark::Shutdown();
    return 0;
}
