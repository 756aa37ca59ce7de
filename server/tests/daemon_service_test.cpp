// The daemon's idle shutdown and connections on a timer the test advances:
// the delay runs from the last lock, a lock that comes and goes restarts it,
// and a connected client keeps the daemon until its connection ends.
#include "server/daemon_service.h"

#include <gtest/gtest.h>
#include <kj/async-io.h>
#include <kj/timer.h>

#include <memory>

#include "server/transport/modbus_transport.h"

namespace qd40::server {
namespace {

// The daemon on the test's own timer (a plain struct: kj's members may throw
// from their destructors, which a test fixture's destructor may not).
struct Harness {
    // Moves the test's clock forward by `d`, running what falls due on the way.
    void advance(kj::Duration d) {
        const kj::TimePoint end = timer.now() + d;
        while (timer.now() < end) {
            const kj::TimePoint step = timer.now() + 20 * kj::MILLISECONDS;
            timer.advanceTo(step < end ? step : end);
            io.waitScope.poll();
        }
    }
    bool done(kj::Promise<void>& p) { return p.poll(io.waitScope); }

    kj::AsyncIoContext io = kj::setupAsyncIo();
    kj::TimerImpl timer{kj::origin<kj::TimePoint>()};
    PortSettingsTable ports;
    ServerLife life;
    transport::LineRegistry lines;
    Qd40Context context{ports, life, [this] {
                            return std::make_unique<transport::ModbusTransport>(
                                lines, [](int32_t) { return std::string(); });
                        }};
    rpc::CallThreads calls;
    Daemon daemon{timer, context, life, calls};
};

TEST(DaemonService, IdleDelayRunsFromTheLastLockAndALockComingAndGoingRestartsIt) {
    Harness h;
    auto& life = h.life;
    auto advance = [&](kj::Duration d) { h.advance(d); };
    auto done = [&](kj::Promise<void>& p) { return h.done(p); };
    {
        auto idle = h.daemon.idle();
        advance(kIdleDelay - 200 * kj::MILLISECONDS);
        EXPECT_FALSE(done(idle));
        advance(300 * kj::MILLISECONDS);
        EXPECT_TRUE(done(idle));
    }
    {
        // A client comes and goes 3.5 s in: the delay starts again from there.
        auto idle = h.daemon.idle();
        advance(3500 * kj::MILLISECONDS);
        auto client = std::make_unique<ServerLife::Hold>(life);
        client.reset();
        advance(kIdleDelay - 500 * kj::MILLISECONDS);
        EXPECT_FALSE(done(idle)) << "ended 5 s after the start, not after the client";
        advance(700 * kj::MILLISECONDS);
        EXPECT_TRUE(done(idle));
    }
    {
        // A lock held keeps the daemon however long it lasts.
        auto lock = std::make_unique<ServerLife::Hold>(life);
        auto idle = h.daemon.idle();
        advance(60 * kj::SECONDS);
        EXPECT_FALSE(done(idle));
        lock.reset();
        advance(kIdleDelay - 200 * kj::MILLISECONDS);
        EXPECT_FALSE(done(idle));
        advance(300 * kj::MILLISECONDS);
        EXPECT_TRUE(done(idle));
    }
}

TEST(DaemonService, AConnectedClientKeepsTheDaemonUntilItsConnectionEnds) {
    Harness h;
    auto& life = h.life;
    auto& daemon = h.daemon;
    auto advance = [&](kj::Duration d) { h.advance(d); };
    auto done = [&](kj::Promise<void>& p) { return h.done(p); };
    auto pipe = h.io.provider->newTwoWayPipe();
    daemon.serve(kj::mv(pipe.ends[0]));
    EXPECT_EQ(life.count(), 1);
    auto idle = daemon.idle();
    advance(60 * kj::SECONDS);
    EXPECT_FALSE(done(idle));
    EXPECT_EQ(daemon.connectionCount(), 1u);

    pipe.ends[1] = nullptr;  // the client goes away
    advance(100 * kj::MILLISECONDS);
    EXPECT_EQ(daemon.connectionCount(), 0u);
    EXPECT_EQ(life.count(), 0);
    advance(kIdleDelay + 200 * kj::MILLISECONDS);
    EXPECT_TRUE(done(idle));
}

}  // namespace
}  // namespace qd40::server
