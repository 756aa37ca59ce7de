// The daemon's lock count: one lock per live Qd40 object, per open channel,
// per lock a client takes on the factory and for the "Lock" switch. When a
// release brings the count to zero the owner is told, so it can end the
// process after a quiet period.
#pragma once
#include <functional>

namespace qd40::server {

class ServerLife {
public:
    explicit ServerLife(std::function<void()> onIdle = {}) : onIdle_(std::move(onIdle)) {}
    void setOnIdle(std::function<void()> onIdle) { onIdle_ = std::move(onIdle); }
    void lock() { ++count_; }
    void unlock() {
        if (count_ > 0 && --count_ == 0 && onIdle_)
            onIdle_();
    }
    int count() const { return count_; }

private:
    int count_ = 0;  // touched on the daemon's one thread only
    std::function<void()> onIdle_;
};

}  // namespace qd40::server
