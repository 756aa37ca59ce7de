// The threads on which the daemon's Qd40 objects run their calls: one per
// object, so that a call that waits on a silent module holds up only its own
// client, while the event loop goes on serving every other client. A thread
// runs its object's calls one after another in the order they came; calls of
// different objects on one line take turns on it (see transport::Line).
#pragma once
#include <kj/function.h>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace qd40::rpc {

class CallThread {
public:
    CallThread();
    ~CallThread();  // joins: retire() first
    CallThread(const CallThread&) = delete;
    CallThread& operator=(const CallThread&) = delete;

    void post(kj::Function<void()> job);
    // The thread ends once the jobs already posted have run.
    void retire();
    bool finished();

private:
    void run();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<kj::Function<void()>> jobs_;
    bool retired_ = false;
    bool finished_ = false;
    std::thread thread_;
};

// Owns every call thread of a daemon: threads of released objects finish
// their last jobs (giving their modules back, closing their channels) on
// their own and are joined later, so that no release waits on a module.
class CallThreads {
public:
    CallThreads() = default;
    // Retires every thread and waits for their last jobs.
    ~CallThreads();
    CallThreads(const CallThreads&) = delete;
    CallThreads& operator=(const CallThreads&) = delete;

    std::shared_ptr<CallThread> start();

private:
    std::mutex mutex_;
    std::vector<std::shared_ptr<CallThread>> threads_;
};

}  // namespace qd40::rpc
