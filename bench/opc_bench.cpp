// One OPC update of 300 tags (all 30 channels of 10 simulated modules whose
// cycles come every 100 ms, the minimum period) published through the
// node-opcua process, beside the same update's module reads alone (cycle
// status and delays of each module). "busy" is the share of a 100 ms period
// the main thread spends in one update.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <thread>
#include <vector>

#include "app/core/opc/opc_service.h"
#include "app/core/opc/sidecar_toolkit.h"
#include "control/ctl/daemon_factory.h"
#include "testing/server_process.h"
#include "testing/sim_process.h"

#include <unistd.h>

// Qt last: its "signals" keyword would stand for a member name above.
#include <QCoreApplication>

#include "app/core/opc/tests/node_script.h"

using namespace qd40;
using namespace qd40::app;

namespace {

constexpr int kModules = 10;
constexpr uint32_t kAllChannels = 0x3FFFFFFF;

class NoQuestions : public AppPrompter {
public:
    Answer message(const std::string&, Buttons, Icon, int) override { return Answer::Cancel; }
    std::optional<int> threeChoices(const std::string&, const std::string&,
                                    const std::array<std::string, 3>&) override {
        return std::nullopt;
    }
    bool editCommParams(ctl::CtlConnection&) override { return false; }
};

class NoSecurity : public Session {
public:
    uint32_t rightsWord() const override { return ~0u; }
    bool securityOffOrConnected() const override { return true; }
    bool isOverwritingAllowed() const override { return true; }
    void audit(security::AuditEvent, const std::vector<std::string>&) override {}
};

struct Plant {
    Plant() {
        static int argc = 1;
        static char name[] = "opc_bench";
        static char* argv[] = {name, nullptr};
        app = std::make_unique<QCoreApplication>(argc, argv);
        if (!svr.ok()) {
            error = svr.error();
            return;
        }
        qd40::testing::SimProcess::Options o;
        o.args = {"--time-scale", "10"};  // a cycle every 100 ms
        doc = std::make_unique<CTavikDoc>([this](ctl::CtlContainer* c) {
            return std::make_unique<ctl::OvixQd40Ctl>(ctl::daemonFactory(), c,
                                                      platform::RegistryStore(svr.registryDir()));
        });
        std::string chansIn;
        for (int m = 0; m < kModules; ++m) {
            sims.push_back(std::make_unique<qd40::testing::SimProcess>(o));
            if (!sims.back()->ok()) {
                error = sims.back()->error();
                return;
            }
            CTavikItem& item = doc->newItem();
            item.control().put_Serial(0);
            item.control().put_IpAddr("127.0.0.1");
            item.control().put_Port(sims.back()->tcpPort());
            doc->numberItem(item);
            // All on 127.0.0.1 with unit 1: their mnemonics tell their tags apart.
            item.setMnemonic("Module" + std::to_string(m + 1));
            chansIn += std::to_string(item.number) + ":" + std::to_string(kAllChannels) + ",";
        }
        DocOperations ops(*doc, prompter, session);
        if (failed(ops.openCommunications())) {
            error = "the modules cannot be reached";
            return;
        }
        opc::SidecarOptions options;
        options.script = std::string(QD40_OPC_SIDECAR_DIR) + "/server.js";
        options.port = 0;
        toolkit = std::make_unique<opc::SidecarOpcToolkit>(
            platform::RegistryStore(svr.registryDir()), options);
        toolkit->InitWTOPCsvr(opc::kOpcServerClsid, opc::kServerRateMs);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!toolkit->ready() && std::chrono::steady_clock::now() < deadline)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        if (!toolkit->ready()) {
            error = "the OPC UA publication process did not start";
            return;
        }
        service = std::make_unique<opc::OpcDocService>(*doc, *toolkit, prompter, session);
        service->period = 60000;  // the benchmark ticks by itself
        if (!service->start(chansIn, opc::kModeNever, false) ||
            service->readableTags().size() != kModules * 30u)
            error = "the service did not publish 300 tags";
    }

    std::unique_ptr<QCoreApplication> app;
    qd40::testing::ServerProcess svr;
    std::vector<std::unique_ptr<qd40::testing::SimProcess>> sims;
    NoQuestions prompter;
    NoSecurity session;
    std::unique_ptr<CTavikDoc> doc;
    std::unique_ptr<opc::SidecarOpcToolkit> toolkit;
    std::unique_ptr<opc::OpcDocService> service;
    std::string error;
};

Plant& plant() {
    static Plant p;
    return p;
}

// Runs one update per iteration, then waits out the rest of a 100 ms
// period (not timed) so that the modules' next cycle comes; "busy_%" is the
// share of the period the update took.
template <class Update>
void perPeriod(benchmark::State& state, Update update) {
    using namespace std::chrono;
    Plant& p = plant();
    if (!p.error.empty())
        return state.SkipWithError(p.error.c_str());
    nanoseconds busy{0};
    for (auto _ : state) {
        const auto start = steady_clock::now();
        update(p);
        const auto spent = steady_clock::now() - start;
        busy += spent;
        state.PauseTiming();
        if (spent < milliseconds(100))
            std::this_thread::sleep_for(milliseconds(100) - spent);
        state.ResumeTiming();
    }
    if (state.iterations())
        state.counters["busy_%"] =
            100.0 * duration<double>(busy).count() / (0.1 * double(state.iterations()));
}

// Baseline: the module reads of one update, nothing published.
void BM_ModuleReadsOnly(benchmark::State& state) {
    perPeriod(state, [](Plant& p) {
        for (const auto& item : p.doc->items()) {
            cfg::VariantBlob cycle, delays;
            item->control().GetCyStatus(&cycle);
            item->control().GetChansDelaysStatus(&delays);
            benchmark::DoNotOptimize(cycle.data.data());
        }
    });
}

// One whole update: the same reads, 300 tags updated and sent.
void BM_UpdateAndPublish(benchmark::State& state) {
    perPeriod(state, [](Plant& p) {
        p.service->tick();
        QCoreApplication::processEvents();
    });
}

// From a tag's update in tavik to its notification in a subscribed client
// (the update of a tick comes at most one period after the module's cycle).
void BM_UpdateToClientNotification(benchmark::State& state) {
    Plant& p = plant();
    if (!p.error.empty())
        return state.SkipWithError(p.error.c_str());
    const opc::COpcTag& tag = p.service->readableTags().front();
    const std::string pki =
        std::filesystem::temp_directory_path() / ("qd40-opc-bench-" + std::to_string(::getpid()));
    // bench/opc_subscriber.js prints each value notified on a line.
    opc::nodejs::NodeScript client({QD40_BENCH_DIR "/opc_subscriber.js", QD40_OPC_SIDECAR_DIR,
                                    p.toolkit->endpoint(), pki, "ns=1;s=" + tag.name});
    // node-opcua writes its own notes on the output too.
    std::optional<std::string> ready;
    while ((ready = client.line(std::chrono::seconds(60))) && ready->rfind("ready", 0) != 0) {
    }
    if (!ready)
        return state.SkipWithError("the subscriber did not start");
    // The server's revised publishing interval bounds the wait of a change.
    state.counters["publishing_ms"] = std::atof(ready->substr(6).c_str());
    while (client.line(std::chrono::milliseconds(300))) {
    }
    int value = 1000000;
    for (auto _ : state) {
        const std::string expected = std::to_string(++value);
        const auto start = std::chrono::steady_clock::now();
        p.toolkit->UpdateTag(tag.handle, opc::TagValue(float(value)), opc::kQualityGood);
        std::optional<std::string> got;
        while ((got = client.line(std::chrono::seconds(2))) && *got != expected) {
        }
        if (!got)
            return state.SkipWithError("a value never reached the client");
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
}

}  // namespace

BENCHMARK(BM_ModuleReadsOnly)->Unit(benchmark::kMillisecond)->Iterations(50);
BENCHMARK(BM_UpdateAndPublish)->Unit(benchmark::kMillisecond)->Iterations(50);
BENCHMARK(BM_UpdateToClientNotification)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(100);
BENCHMARK_MAIN();
