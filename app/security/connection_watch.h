// The connection watch: a worker thread that wakes every period (1000 ms) and,
// when the connected user's time has run out, posts the forced disconnection
// to the user interface thread through a callback. It only reads; every
// change happens on the user interface thread. It stops on a handshake: the
// owner sets the stop event and waits, bounded, for the stopped event.
#pragma once
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace qd40::security {

class ConnectionWatch {
public:
    // expired: whether a forced disconnection is due (called on the worker).
    // post: hands the forced disconnection to the user interface thread.
    ConnectionWatch(std::function<bool()> expired, std::function<void()> post,
                    std::chrono::milliseconds period = std::chrono::milliseconds(1000));
    ~ConnectionWatch();
    ConnectionWatch(const ConnectionWatch&) = delete;
    ConnectionWatch& operator=(const ConnectionWatch&) = delete;

    void start();
    // Sets the stop event and waits at most timeout for the stopped event;
    // true when the worker acknowledged in time. The thread is then joined.
    bool stop(std::chrono::milliseconds timeout = std::chrono::milliseconds(5000));
    bool running() const;

private:
    void run();

    std::function<bool()> expired_;
    std::function<void()> post_;
    std::chrono::milliseconds period_;
    mutable std::mutex mutex_;
    std::condition_variable stopEvent_;
    std::condition_variable stoppedEvent_;
    bool stopRequested_ = false;
    bool stopped_ = true;
    std::thread thread_;
};

}  // namespace qd40::security
