// The running simulator: one module under one mutex, its clock driven by
// real time times the time scale, the injected faults, and the two front ends
// (MODBUS/TCP with one thread per connection, MODBUS RTU on a pseudo-terminal).
#pragma once
#include <atomic>
#include <chrono>
#include <list>
#include <memory>
#include <mutex>
#include <random>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "common/unique_fd.h"
#include "sim/faults.h"
#include "sim/module.h"

namespace qd40::sim {

class Simulator {
public:
    Simulator(const ModuleOptions& options, uint64_t clockMs, double timeScale);

    // Runs the module up to now and answers one request.
    Pdu handle(int port, std::span<const uint8_t> request);
    void portClosed(int port);
    // Advances the module clock to now (acquisition cycles run meanwhile).
    void tick();

    void setFaults(const Faults& f);
    Faults faults();
    // What the targeted faults do to one request PDU; a first-only fault is
    // spent by the request it hits.
    struct RequestFaults {
        bool drop = false;
        bool badCrc = false;
        bool wrongSlave = false;
        int delayMs = 0;
        int exception = 0;  // MODBUS exception answered instead of acting (0: none)
    };
    RequestFaults faultsFor(std::span<const uint8_t> request);
    // True with probability p (deterministic sequence).
    bool chance(double p);

    // Runs `fn(module)` under the lock.
    template <class F>
    auto withModule(F&& fn) {
        std::lock_guard lock(mu_);
        return fn(module_);
    }

private:
    uint64_t uptimeNow() const;

    std::mutex mu_;
    Module module_;
    Faults faults_;
    std::vector<bool> spent_;  // first-only targeted faults that already hit
    std::mt19937 rng_{20260101};
    std::chrono::steady_clock::time_point start_;
    double scale_;
};

// MODBUS/TCP front end. Each accepted connection is a port of its own for
// remote control; closing it releases the remote control it held.
class TcpServer {
public:
    TcpServer(Simulator& sim, std::atomic<bool>& stopping) : sim_(sim), stopping_(stopping) {}
    ~TcpServer();
    // Binds and listens; `port` 0 picks a free one. Returns false with a message.
    bool listen(const std::string& address, int port, std::string& error);
    int boundPort() const { return boundPort_; }
    void start();
    void stop();

private:
    void acceptLoop();
    void serve(int fd, int portId);

    Simulator& sim_;
    std::atomic<bool>& stopping_;
    UniqueFd listenFd_;
    int boundPort_ = 0;
    std::thread acceptThread_;
    std::mutex connMu_;
    struct Conn {
        UniqueFd fd;  // closed once its thread is joined
        std::thread thread;
        std::atomic<bool> done{false};
    };
    std::list<std::unique_ptr<Conn>> conns_;
    int nextPortId_ = 1;
};

// MODBUS RTU front end on a pseudo-terminal whose slave side is linked at a
// path. The line is port 0 for remote control.
class RtuLine {
public:
    static constexpr int kPortId = 0;
    RtuLine(Simulator& sim, std::atomic<bool>& stopping) : sim_(sim), stopping_(stopping) {}
    ~RtuLine();
    // echo: every frame the master sends comes back to it (two-wire adapter
    // without echo suppression); wireBaud: pacing of the line (0: none).
    bool open(const std::string& linkPath, uint8_t slave, bool echo, int wireBaud,
              std::string& error);
    void start();
    void stop();

private:
    void loop();
    void handleFrame(const std::vector<uint8_t>& frame);
    void pace(size_t chars) const;
    void writeAll(const uint8_t* p, size_t n);
    // Writes an answer, byte by byte with a pause between when asked.
    void writeAnswer(const std::vector<uint8_t>& adu, int byteGapMs);

    Simulator& sim_;
    std::atomic<bool>& stopping_;
    UniqueFd masterFd_;
    UniqueFd slaveFd_;
    std::string link_;
    uint8_t slave_ = 1;
    bool echo_ = false;
    int baud_ = 0;
    std::thread thread_;
};

// MODBUS RTU CRC-16 (polynomial 0xA001, initial 0xFFFF).
uint16_t crc16(const uint8_t* data, size_t n);

}  // namespace qd40::sim
