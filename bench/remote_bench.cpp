// A call over the daemon's TLS listener on loopback against the same call
// over its Unix socket, in one run, on one daemon:
//   Version: answered by the daemon itself (the transport cost alone);
//   GetStatus: one holding register read of a simulated MODBUS/TCP module.
// After the run, the time TLS adds to a call is printed (goal: under 100 µs).
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "server/rpc/qd40_client.h"
#include "testing/server_process.h"
#include "testing/sim_process.h"

namespace {

using qd40::rpc::Qd40Client;
using qd40::testing::ServerProcess;
using qd40::testing::SimProcess;
using Clock = std::chrono::steady_clock;
using qd40::HRESULT;

struct World {
    std::unique_ptr<ServerProcess> svr;
    std::unique_ptr<SimProcess> sim;
    std::unique_ptr<Qd40Client> local, remote;
    bool ok = false;
};
World* world = nullptr;
// Mean seconds per call of each benchmark, for the summary.
std::map<std::string, double> perCall;

std::string freeLoopbackEndpoint() {
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(probe, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&addr), &len);
    ::close(probe);
    return "127.0.0.1:" + std::to_string(ntohs(addr.sin_port));
}

bool setUp(World& w) {
    w.svr = std::make_unique<ServerProcess>();
    if (!w.svr->ok())
        return std::fprintf(stderr, "%s\n", w.svr->error().c_str()), false;
    w.sim = std::make_unique<SimProcess>();
    if (!w.sim->ok())
        return std::fprintf(stderr, "%s\n", w.sim->error().c_str()), false;
    const std::string certs = w.svr->registryDir() + "/certs/";
    if (w.svr->run({"-NewCert", "Server", "127.0.0.1"}) != 0 ||
        w.svr->run({"-NewCert", "Client", "bench"}) != 0 ||
        w.svr->run({"-AllowClient", certs + "client-cert.pem"}) != 0 ||
        w.svr->run({"-TrustServer", "127.0.0.1", certs + "server-cert.pem"}) != 0)
        return false;
    const std::string endpoint = freeLoopbackEndpoint();
    if (!w.svr->start({"-Listen", endpoint}))
        return false;
    qd40::Status st;
    w.local = Qd40Client::create("", &st);
    w.remote = Qd40Client::create(endpoint, &st);
    if (!w.local || !w.remote)
        return std::fprintf(stderr, "%s\n", st.error.description.c_str()), false;
    int32_t err = 0;
    for (Qd40Client* q : {w.local.get(), w.remote.get()})
        if (qd40::failed(q->OpenComm(w.sim->tcpAddress(), w.sim->tcpPort(), &err)))
            return false;
    return true;
}

template <class Call>
void measure(benchmark::State& state, const std::string& name, Qd40Client& q, Call call) {
    if (!world->ok) {
        state.SkipWithError("the daemon or the simulator did not start");
        return;
    }
    const auto start = Clock::now();
    for (auto _ : state)
        if (qd40::failed(call(q))) {
            state.SkipWithError(q.lastError().description.c_str());
            return;
        }
    perCall[name] =
        std::chrono::duration<double>(Clock::now() - start).count() / double(state.iterations());
}

HRESULT version(Qd40Client& q) {
    std::string v;
    return q.Version(&v);
}
HRESULT status(Qd40Client& q) {
    uint16_t s = 0;
    int32_t err = 0;
    return q.GetStatus(1, &s, &err);
}

void Version_UnixSocket(benchmark::State& state) {
    measure(state, "Version_UnixSocket", *world->local, version);
}
void Version_Tls(benchmark::State& state) {
    measure(state, "Version_Tls", *world->remote, version);
}
void GetStatus_UnixSocket(benchmark::State& state) {
    measure(state, "GetStatus_UnixSocket", *world->local, status);
}
void GetStatus_Tls(benchmark::State& state) {
    measure(state, "GetStatus_Tls", *world->remote, status);
}

BENCHMARK(Version_UnixSocket)->UseRealTime()->MinTime(1.0);
BENCHMARK(Version_Tls)->UseRealTime()->MinTime(1.0);
BENCHMARK(GetStatus_UnixSocket)->UseRealTime()->MinTime(1.0);
BENCHMARK(GetStatus_Tls)->UseRealTime()->MinTime(1.0);

void summary(const char* call) {
    const auto base = perCall.find(std::string(call) + "_UnixSocket");
    const auto tls = perCall.find(std::string(call) + "_Tls");
    if (base == perCall.end() || tls == perCall.end())
        return;
    std::printf("%s: Unix socket %.1f us, TLS %.1f us: TLS adds %.1f us a call (x%.2f)\n", call,
                base->second * 1e6, tls->second * 1e6, (tls->second - base->second) * 1e6,
                tls->second / base->second);
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    World w;
    w.ok = setUp(w);
    world = &w;
    benchmark::RunSpecifiedBenchmarks();
    summary("Version");
    summary("GetStatus");
    world = nullptr;
    return w.ok ? 0 : 1;
}
