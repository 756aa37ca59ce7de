#include "server/rpc/call_threads.h"

#include <algorithm>

namespace qd40::rpc {

CallThread::CallThread() : thread_([this] { run(); }) {}

CallThread::~CallThread() {
    retire();
    if (thread_.joinable())
        thread_.join();
}

void CallThread::post(kj::Function<void()> job) {
    {
        std::lock_guard lock(mutex_);
        jobs_.push_back(kj::mv(job));
    }
    wake_.notify_one();
}

void CallThread::retire() {
    {
        std::lock_guard lock(mutex_);
        retired_ = true;
    }
    wake_.notify_one();
}

bool CallThread::finished() {
    std::lock_guard lock(mutex_);
    return finished_;
}

void CallThread::run() {
    for (;;) {
        kj::Function<void()> job;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return retired_ || !jobs_.empty(); });
            if (jobs_.empty()) {
                finished_ = true;
                return;
            }
            job = kj::mv(jobs_.front());
            jobs_.pop_front();
        }
        job();
    }
}

CallThreads::~CallThreads() {
    std::lock_guard lock(mutex_);
    for (auto& t : threads_)
        t->retire();
    threads_.clear();  // each joins as it goes
}

std::shared_ptr<CallThread> CallThreads::start() {
    std::lock_guard lock(mutex_);
    // Threads of released objects that have run their last job are joined here.
    std::erase_if(threads_, [](const std::shared_ptr<CallThread>& t) {
        return t.use_count() == 1 && t->finished();
    });
    threads_.push_back(std::make_shared<CallThread>());
    return threads_.back();
}

}  // namespace qd40::rpc
