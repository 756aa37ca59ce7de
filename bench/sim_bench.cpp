// The simulator must never be the bottleneck of a measurement: one master
// reading 125 holding registers over loopback MODBUS/TCP, against qd40sim and
// against a minimal libmodbus server that does nothing else (the baseline).
#include <benchmark/benchmark.h>
#include <modbus.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "testing/sim_process.h"

namespace {

// A libmodbus server on a free loopback port, serving one connection at a time.
class BaselineServer {
public:
    BaselineServer() {
        ctx_ = modbus_new_tcp("127.0.0.1", 0);
        map_ = modbus_mapping_new(0, 0, 10000, 0);
        listenFd_ = modbus_tcp_listen(ctx_, 1);
        sockaddr_in sa{};
        socklen_t len = sizeof sa;
        ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&sa), &len);
        port_ = ntohs(sa.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~BaselineServer() {
        stop_ = true;
        ::shutdown(listenFd_, SHUT_RDWR);
        thread_.join();
        ::close(listenFd_);
        modbus_mapping_free(map_);
        modbus_free(ctx_);
    }
    int port() const { return port_; }

private:
    void serve() {
        uint8_t query[MODBUS_TCP_MAX_ADU_LENGTH];
        while (!stop_) {
            int fd = listenFd_;
            if (modbus_tcp_accept(ctx_, &fd) < 0)
                return;
            for (;;) {
                const int rc = modbus_receive(ctx_, query);
                if (rc > 0) {
                    modbus_reply(ctx_, query, rc, map_);
                } else if (rc == -1) {
                    break;
                }
            }
            ::close(modbus_get_socket(ctx_));
        }
    }

    modbus_t* ctx_ = nullptr;
    modbus_mapping_t* map_ = nullptr;
    int listenFd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

void readLoop(benchmark::State& state, int port, int addr) {
    modbus_t* c = modbus_new_tcp("127.0.0.1", port);
    modbus_set_response_timeout(c, 2, 0);
    if (modbus_connect(c) != 0) {
        state.SkipWithError("cannot connect");
        modbus_free(c);
        return;
    }
    uint16_t regs[125];
    for (auto _ : state) {
        if (modbus_read_registers(c, addr, 125, regs) != 125) {
            state.SkipWithError("read failed");
            break;
        }
        benchmark::DoNotOptimize(regs);
    }
    state.SetItemsProcessed(state.iterations());
    modbus_close(c);
    modbus_free(c);
}

void BM_Baseline_LibmodbusServer_Read125(benchmark::State& state) {
    static BaselineServer server;
    readLoop(state, server.port(), 5100);
}
BENCHMARK(BM_Baseline_LibmodbusServer_Read125)->MinTime(2.0)->UseRealTime();

void BM_Qd40sim_Read125(benchmark::State& state) {
    static qd40::testing::SimProcess sim;
    if (!sim.ok()) {
        state.SkipWithError(sim.error().c_str());
        return;
    }
    readLoop(state, sim.tcpPort(), 5100);
}
BENCHMARK(BM_Qd40sim_Read125)->MinTime(2.0)->UseRealTime();

// Both servers in alternating rounds of the same run; "ratio" is the
// simulator's rate over the baseline's (goal: at least 0.8).
void BM_Qd40sim_OverBaseline(benchmark::State& state) {
    static BaselineServer server;
    static qd40::testing::SimProcess sim;
    if (!sim.ok()) {
        state.SkipWithError(sim.error().c_str());
        return;
    }
    auto connect = [](int port) {
        modbus_t* c = modbus_new_tcp("127.0.0.1", port);
        modbus_set_response_timeout(c, 2, 0);
        modbus_connect(c);
        return c;
    };
    modbus_t* base = connect(server.port());
    modbus_t* simc = connect(sim.tcpPort());
    uint16_t regs[125];
    std::chrono::duration<double> tBase{0}, tSim{0};
    constexpr int kRound = 2000;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        for (int i = 0; i < kRound; ++i)
            modbus_read_registers(base, 5100, 125, regs);
        auto t1 = std::chrono::steady_clock::now();
        for (int i = 0; i < kRound; ++i)
            modbus_read_registers(simc, 5100, 125, regs);
        auto t2 = std::chrono::steady_clock::now();
        tBase += t1 - t0;
        tSim += t2 - t1;
    }
    state.counters["baseline_tps"] = state.iterations() * kRound / tBase.count();
    state.counters["sim_tps"] = state.iterations() * kRound / tSim.count();
    state.counters["ratio"] = tBase.count() / tSim.count();
    modbus_close(base);
    modbus_free(base);
    modbus_close(simc);
    modbus_free(simc);
}
BENCHMARK(BM_Qd40sim_OverBaseline)->Iterations(5)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
