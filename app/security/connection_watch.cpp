#include "app/security/connection_watch.h"

namespace qd40::security {

ConnectionWatch::ConnectionWatch(std::function<bool()> expired, std::function<void()> post,
                                 std::chrono::milliseconds period)
    : expired_(std::move(expired)), post_(std::move(post)), period_(period) {}

ConnectionWatch::~ConnectionWatch() {
    stop();
}

void ConnectionWatch::start() {
    std::lock_guard lock(mutex_);
    if (thread_.joinable())
        return;
    stopRequested_ = false;
    stopped_ = false;
    thread_ = std::thread([this] { run(); });
}

bool ConnectionWatch::running() const {
    std::lock_guard lock(mutex_);
    return thread_.joinable() && !stopped_;
}

void ConnectionWatch::run() {
    std::unique_lock lock(mutex_);
    while (!stopRequested_) {
        if (stopEvent_.wait_for(lock, period_, [this] { return stopRequested_; }))
            break;
        lock.unlock();
        if (expired_())
            post_();
        lock.lock();
    }
    stopped_ = true;
    stoppedEvent_.notify_all();
}

bool ConnectionWatch::stop(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    if (!thread_.joinable())
        return true;
    stopRequested_ = true;
    stopEvent_.notify_all();
    const bool acknowledged = stoppedEvent_.wait_for(lock, timeout, [this] { return stopped_; });
    lock.unlock();
    // The worker's callbacks only read and post, so it does end; joining even
    // after a late acknowledgement keeps it from outliving this object.
    thread_.join();
    return acknowledged;
}

}  // namespace qd40::security
