// Reading storage memory into a document (the reading command, its dialog's
// status refresh and the conversion of the records) from a simulated module
// on a paced 115200-baud RTU line through the daemon, against the wire time
// of the records' frames on that line (rtu_wire_time.h, as the server
// benchmark computes it).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <memory>

#include "app/core/read_memory.h"
#include "control/ctl/daemon_factory.h"
#include "rtu_wire_time.h"
#include "testing/server_process.h"
#include "testing/sim_process.h"

namespace {

using namespace qd40;

constexpr int kRecords = 2000;
constexpr int kBaud = 115200;

struct Answers : app::AppPrompter {
    app::Answer message(const std::string& text, app::Buttons, app::Icon, int) override {
        std::fprintf(stderr, "read_memory_bench: %s\n", text.c_str());
        return app::Answer::Cancel;
    }
    std::optional<int> threeChoices(const std::string&, const std::string&,
                                    const std::array<std::string, 3>&) override {
        return std::nullopt;
    }
    bool editCommParams(ctl::CtlConnection&) override { return false; }
};

struct AllRights : app::Session {
    uint32_t rightsWord() const override { return 0xFFFFFFFFu; }
    bool securityOffOrConnected() const override { return true; }
    bool isOverwritingAllowed() const override { return true; }
    void audit(security::AuditEvent, const std::vector<std::string>&) override {}
};

// Block 1 read as it is, kept in the module so that every run reads it again.
struct KeepAll : app::ReadMemUi {
    bool showDialog(app::CReadMemDialog& dialog) override {
        dialog.refreshStatus();
        for (int b = 1; b <= app::CReadMemDialog::kBlocks; ++b)
            dialog.row(b).clearAfter = false;
        dialog.accept();
        return true;
    }
    records::IWaitDialog& waitDialog() override { return wait; }
    records::WaitDialogState wait;
};

struct World {
    std::unique_ptr<testing::ServerProcess> svr;
    std::unique_ptr<testing::SimProcess> sim;
    std::unique_ptr<app::CTavikDoc> doc;
    app::CTavikItem* item = nullptr;
};
World* world = nullptr;

bool setUp(World& w) {
    w.svr = std::make_unique<testing::ServerProcess>();
    if (!w.svr->ok())
        return std::fprintf(stderr, "%s\n", w.svr->error().c_str()), false;
    testing::SimProcess::Options o;
    o.tcp = false;
    o.rtu = true;
    o.args = {"--wire-baud", std::to_string(kBaud), "--preload", "1:" + std::to_string(kRecords)};
    w.sim = std::make_unique<testing::SimProcess>(o);
    if (!w.sim->ok())
        return std::fprintf(stderr, "%s\n", w.sim->error().c_str()), false;
    if (!w.svr->setPortDevice(1, w.sim->rtuPath()) || !w.svr->start({"-Lock"}))
        return false;
    const std::string registry = w.svr->registryDir();
    w.doc = std::make_unique<app::CTavikDoc>([registry](ctl::CtlContainer* c) {
        return std::make_unique<ctl::OvixQd40Ctl>(ctl::daemonFactory(), c,
                                                  platform::RegistryStore(registry));
    });
    w.item = &w.doc->newItem();
    ctl::OvixQd40Ctl& c = w.item->control();
    c.put_Serial(1);
    c.put_OvixQd40SvrParams(0);
    c.put_Port(1);
    c.put_BaudRate(kBaud);
    c.put_MbAddr(1);
    w.doc->numberItem(*w.item);
    // Open for the whole run: the reading is measured, not the opening.
    if (failed(c.Open()))
        return std::fprintf(stderr, "%s\n", c.lastError().description.c_str()), false;
    return true;
}

void ReadModuleMemory_Rtu115200(benchmark::State& state) {
    const double wire = bench::theoreticalRtuSeconds(kRecords, kBaud);
    Answers prompter;
    AllRights session;
    KeepAll ui;
    double seconds = 0;
    for (auto _ : state) {
        app::MemoryReader reader(*world->doc, prompter, session, ui,
                                 [](app::CTavikDoc&) { return Status::ok(); });
        const auto start = std::chrono::steady_clock::now();
        const HRESULT h = reader.ReadModuleMemory(*world->item);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (h != S_OK || world->doc->blocks().size() != 1 ||
            world->doc->blocks().front()->records.size() != size_t(kRecords))
            state.SkipWithError("the block was not read whole");
        state.PauseTiming();
        world->doc->blocks().clear();
        state.ResumeTiming();
    }
    state.counters["wire_s"] = wire;
    state.counters["ratio_to_wire"] = seconds / double(state.iterations()) / wire;
}

}  // namespace

BENCHMARK(ReadModuleMemory_Rtu115200)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    World w;
    if (!setUp(w)) {
        std::fprintf(stderr, "read_memory_bench: cannot set up the daemon and the simulator\n");
        return 1;
    }
    world = &w;
    benchmark::RunSpecifiedBenchmarks();
    std::printf("RTU wire time for %d records at %d baud: %.3f s\n", kRecords, kBaud,
                bench::theoreticalRtuSeconds(kRecords, kBaud));
    world = nullptr;
    w.doc.reset();
    benchmark::Shutdown();
    return 0;
}
