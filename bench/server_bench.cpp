// Through the daemon against raw libmodbus, on the same qd40sim, in one run:
//   GetStatus: one holding register read (the cost the daemon adds to a call);
//   GetFullCfg: its 44 requests;
//   GetMemRecords: 10,000 records in calls of 256;
// and 2,000 records over RTU at 115200 baud against the wire time of the
// frames exchanged plus the 3.5-character silence after each frame.
#include <benchmark/benchmark.h>
#include <modbus.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

#include "rtu_wire_time.h"
#include "server/rpc/qd40_client.h"
#include "testing/server_process.h"
#include "testing/sim_process.h"

namespace {

using qd40::bench::theoreticalRtuSeconds;
using qd40::rpc::Qd40Client;
using qd40::testing::ServerProcess;
using qd40::testing::SimProcess;

constexpr int kRecordsTcp = 10000;
constexpr int kRecordsRtu = 2000;
constexpr int kCall = 256;
constexpr int kBatch = 49;
constexpr int kRtuBaud = 115200;

struct World {
    std::unique_ptr<ServerProcess> svr;
    std::unique_ptr<SimProcess> sim, rtuSim;
    std::unique_ptr<Qd40Client> tcp, rtu;
    modbus_t* raw = nullptr;
    bool ok = false;
};
World* world = nullptr;

bool setUp(World& w) {
    w.svr = std::make_unique<ServerProcess>();
    if (!w.svr->ok())
        return std::fprintf(stderr, "%s\n", w.svr->error().c_str()), false;
    SimProcess::Options t;
    t.args = {"--preload", "1:" + std::to_string(kRecordsTcp)};
    w.sim = std::make_unique<SimProcess>(t);
    SimProcess::Options r;
    r.tcp = false;
    r.rtu = true;
    r.args = {"--wire-baud", std::to_string(kRtuBaud), "--preload",
              "1:" + std::to_string(kRecordsRtu)};
    w.rtuSim = std::make_unique<SimProcess>(r);
    if (!w.sim->ok() || !w.rtuSim->ok())
        return false;
    if (!w.svr->setPortDevice(1, w.rtuSim->rtuPath()) || !w.svr->start({"-Lock"}))
        return false;
    qd40::Status st;
    w.tcp = Qd40Client::create("", &st);
    w.rtu = Qd40Client::create("", &st);
    if (!w.tcp || !w.rtu)
        return false;
    int32_t err = 0;
    if (qd40::failed(w.tcp->OpenComm(w.sim->tcpAddress(), w.sim->tcpPort(), &err)))
        return false;
    w.rtu->PutAvailableComX(1, 1);
    w.rtu->PutBaudRateComX(1, kRtuBaud);
    if (qd40::failed(w.rtu->OpenComm("", 1, &err)))
        return false;
    w.raw = modbus_new_tcp(w.sim->tcpAddress().c_str(), w.sim->tcpPort());
    if (!w.raw || modbus_connect(w.raw) != 0)
        return false;
    modbus_set_slave(w.raw, 1);
    return true;
}

// ------------------------------------------------------------- one register

void GetStatus_Daemon(benchmark::State& state) {
    uint16_t status = 0;
    int32_t err = 0;
    for (auto _ : state) {
        if (qd40::failed(world->tcp->GetStatus(1, &status, &err)))
            state.SkipWithError(world->tcp->lastError().description.c_str());
        benchmark::DoNotOptimize(status);
    }
}
void GetStatus_RawLibmodbus(benchmark::State& state) {
    uint16_t status = 0;
    for (auto _ : state) {
        if (modbus_read_registers(world->raw, 6000, 1, &status) != 1)
            state.SkipWithError(modbus_strerror(errno));
        benchmark::DoNotOptimize(status);
    }
}

// ------------------------------------------------------------- full configuration

void GetFullCfg_Daemon(benchmark::State& state) {
    qd40::server::Variant cfg;
    int32_t err = 0;
    for (auto _ : state)
        if (qd40::failed(world->tcp->GetFullCfg(1, &cfg, &err)))
            state.SkipWithError(world->tcp->lastError().description.c_str());
}
// The identical 44 requests.
void GetFullCfg_RawLibmodbus(benchmark::State& state) {
    std::vector<uint16_t> cfg(2342);
    for (auto _ : state) {
        bool ok = modbus_read_registers(world->raw, 5000, 1, &cfg[0]) == 1 &&
                  modbus_read_registers(world->raw, 5001, 5, &cfg[1]) == 5;
        for (int n = 0; ok && n < 30; ++n)
            ok = modbus_read_registers(world->raw, 2000 + 100 * n, 72, &cfg[6 + 72 * n]) == 72;
        for (int m = 0; ok && m < 10; ++m)
            ok = modbus_read_registers(world->raw, 5100 + 16 * m, 16, &cfg[2166 + 16 * m]) == 16;
        ok = ok && modbus_read_registers(world->raw, 5006, 8, &cfg[2326]) == 8 &&
             modbus_read_registers(world->raw, 5014, 8, &cfg[2334]) == 8;
        if (!ok)
            state.SkipWithError(modbus_strerror(errno));
    }
}

// ------------------------------------------------------------- storage memory

void readRecordsDaemon(benchmark::State& state, Qd40Client& q, int total) {
    qd40::server::Variant records;
    int32_t err = 0;
    for (int first = 1; first <= total; first += kCall) {
        const uint32_t qty = uint32_t(std::min(kCall, total - first + 1));
        uint32_t got = 0;
        if (qd40::failed(q.GetMemRecords(1, 1, uint32_t(first), qty, 0, &got, &records, &err)) ||
            got != qty) {
            state.SkipWithError(q.lastError().description.c_str());
            return;
        }
    }
}

void GetMemRecords_Daemon(benchmark::State& state) {
    for (auto _ : state)
        readRecordsDaemon(state, *world->tcp, kRecordsTcp);
    state.counters["records"] = kRecordsTcp;
}

// The identical request sequence: per batch of 49 the command block at
// 44000, the answer length, then the answer words (remainder first).
void GetMemRecords_RawLibmodbus(benchmark::State& state) {
    std::vector<uint16_t> answer(196);
    for (auto _ : state) {
        for (int first = 1; first <= kRecordsTcp; first += kCall) {
            const int qty = std::min(kCall, kRecordsTcp - first + 1);
            for (int done = 0; done < qty;) {
                const int batch = std::min(kBatch, qty - done);
                const uint32_t from = uint32_t(first + done);
                const uint16_t cmd[] = {
                    11, 4, 1, uint16_t(from), uint16_t(from >> 16), uint16_t(batch)};
                uint16_t len = 0;
                if (modbus_write_registers(world->raw, 44000, 6, cmd) != 6 ||
                    modbus_read_input_registers(world->raw, 44001, 1, &len) != 1) {
                    state.SkipWithError(modbus_strerror(errno));
                    return;
                }
                const int words = std::min<int>(len, 196);
                for (int at = 0; at < words;) {
                    const int n = at == 0 && words % 125 ? words % 125 : 125;
                    modbus_read_input_registers(world->raw, 44002 + at, n, &answer[size_t(at)]);
                    at += n;
                }
                done += words / 4;
            }
        }
    }
    state.counters["records"] = kRecordsTcp;
}

// ------------------------------------------------------------- RTU wire time

void GetMemRecords_Rtu115200(benchmark::State& state) {
    const double theory = theoreticalRtuSeconds(kRecordsRtu, kRtuBaud);
    double total = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        readRecordsDaemon(state, *world->rtu, kRecordsRtu);
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    state.counters["theoretical_s"] = theory;
    state.counters["ratio_to_wire"] = total / double(state.iterations()) / theory;
}

// One register over RTU: 8 + 7 characters and two 3.5-character silences.
void GetStatus_Rtu115200(benchmark::State& state) {
    uint16_t status = 0;
    int32_t err = 0;
    for (auto _ : state)
        if (qd40::failed(world->rtu->GetStatus(1, &status, &err)))
            state.SkipWithError(world->rtu->lastError().description.c_str());
    state.counters["theoretical_us"] = (8 + 7 + 7) * 10.0 / kRtuBaud * 1e6;
}

}  // namespace

BENCHMARK(GetStatus_Daemon)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(GetStatus_RawLibmodbus)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(GetFullCfg_Daemon)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(GetFullCfg_RawLibmodbus)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(GetMemRecords_Daemon)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);
BENCHMARK(GetMemRecords_RawLibmodbus)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);
BENCHMARK(GetStatus_Rtu115200)
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);
BENCHMARK(GetMemRecords_Rtu115200)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    World w;
    if (!setUp(w)) {
        std::fprintf(stderr, "server_bench: cannot set up the daemon and simulators\n");
        return 1;
    }
    world = &w;
    benchmark::RunSpecifiedBenchmarks();
    std::printf("RTU theoretical wire time for %d records at %d baud: %.3f s\n", kRecordsRtu,
                kRtuBaud, theoreticalRtuSeconds(kRecordsRtu, kRtuBaud));
    world = nullptr;
    w.tcp.reset();
    w.rtu.reset();
    modbus_close(w.raw);
    modbus_free(w.raw);
    benchmark::Shutdown();
    return 0;
}
