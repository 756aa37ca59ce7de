// The daemon's lock count: one lock per connected client, per live Qd40
// object, per open channel, per lock a client takes on the factory and for
// the "Lock" switch. Each lock is a Hold owned by what it keeps alive, so it
// is given back exactly once whatever way its owner ends. Objects take and
// drop holds from their call threads; the daemon watches the count to end
// the process after a quiet period at zero.
#pragma once
#include <atomic>
#include <cstdint>

namespace qd40::server {

class ServerLife {
public:
    // One lock held for the life of its owner.
    class Hold {
    public:
        explicit Hold(ServerLife& life) : life_(life) { life_.lock(); }
        ~Hold() { life_.unlock(); }
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;

    private:
        ServerLife& life_;
    };

    int count() const { return count_.load(); }
    // How many locks were ever taken: a change tells that the count left
    // zero in between, however briefly.
    uint64_t locksTaken() const { return locks_.load(); }

private:
    void lock() {
        ++count_;
        ++locks_;
    }
    void unlock() {
        int c = count_.load();
        while (c > 0 && !count_.compare_exchange_weak(c, c - 1)) {
        }
    }

    std::atomic<int> count_{0};
    std::atomic<uint64_t> locks_{0};
};

}  // namespace qd40::server
