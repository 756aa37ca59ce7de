// The lines under the transport against peers the test scripts byte by byte:
// a MODBUS/TCP peer on a loopback port and a pseudo-terminal standing for a
// serial line. They check what a faulty peer must yield: the right failure,
// within a bounded time.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gmock/gmock.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>

#include "server/transport/line.h"

namespace qd40::transport {
namespace {

using Clock = std::chrono::steady_clock;
using Pdu = std::vector<uint8_t>;

// Reads exactly `n` bytes within `ms`; false on silence or close.
// False on a time-out or when the peer closed (then *closed is set).
bool readExactly(int fd, uint8_t* out, size_t n, int ms, bool* closed = nullptr) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    size_t done = 0;
    while (done < n) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd p{fd, POLLIN, 0};
        if (left <= 0 || ::poll(&p, 1, int(left)) <= 0)
            return false;
        const ssize_t r = ::read(fd, out + done, n - done);
        if (r <= 0) {
            if (closed)
                *closed = true;
            return false;
        }
        done += size_t(r);
    }
    return true;
}

// A MODBUS/TCP peer on 127.0.0.1 serving one connection: each request's unit
// identifier is noted and its PDU answered by `answer` (an empty answer sends
// nothing). A late peer sends each answer only once the next request has
// come, just before that request's own processing.
class TcpPeer {
public:
    explicit TcpPeer(std::function<Pdu(const Pdu&)> answer, bool late = false)
        : answer_(std::move(answer)), late_(late) {
        listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
            ::listen(listenFd_, 1) != 0 ||
            ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&a), &len) != 0)
            return;
        port_ = ntohs(a.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~TcpPeer() {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
        ::close(listenFd_);
    }
    int port() const { return port_; }
    std::vector<int> units() {
        std::lock_guard lock(mutex_);
        return units_;
    }

private:
    void serve() {
        pollfd p{listenFd_, POLLIN, 0};
        int fd = -1;
        while (!stop_ && fd < 0)
            if (::poll(&p, 1, 50) > 0)
                fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        while (!stop_ && fd >= 0) {
            uint8_t head[7];
            bool closed = false;
            if (!readExactly(fd, head, 7, 50, &closed)) {
                if (closed)
                    break;
                continue;
            }
            const size_t len = size_t(head[4] << 8 | head[5]);
            if (len < 2)
                break;
            Pdu pdu(len - 1);
            if (!readExactly(fd, pdu.data(), pdu.size(), 1000))
                break;
            {
                std::lock_guard lock(mutex_);
                units_.push_back(head[6]);
            }
            if (!pending_.empty() &&
                ::write(fd, pending_.data(), pending_.size()) != ssize_t(pending_.size()))
                break;
            pending_.clear();
            const Pdu reply = answer_(pdu);
            if (reply.empty())
                continue;
            Pdu frame{
                head[0], head[1], 0, 0, uint8_t((reply.size() + 1) >> 8), uint8_t(reply.size() + 1),
                head[6]};
            frame.insert(frame.end(), reply.begin(), reply.end());
            if (late_) {
                pending_ = frame;
                continue;
            }
            if (::write(fd, frame.data(), frame.size()) != ssize_t(frame.size()))
                break;
        }
        if (fd >= 0)
            ::close(fd);
    }

    std::function<Pdu(const Pdu&)> answer_;
    bool late_ = false;
    Pdu pending_;  // a late peer's answer to the last request
    int listenFd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    std::mutex mutex_;
    std::vector<int> units_;
};

std::shared_ptr<Line> tcpLineTo(int port, Status& st) {
    LineSettings s;
    s.host = "127.0.0.1";
    s.tcpPort = port;
    s.answerMs = 500;
    return openTcpLine(s, st);
}

// Answers every read of holding registers with `count` registers of value 7,
// and every write with the exception `exception` (0: accepted).
Pdu readsAndWrites(const Pdu& req, int count, int exception) {
    if (req[0] == 3) {
        Pdu r{3, uint8_t(2 * count)};
        for (int i = 0; i < count; ++i)
            r.insert(r.end(), {0, 7});
        return r;
    }
    if (exception != 0)
        return {uint8_t(req[0] | 0x80), uint8_t(exception)};
    return Pdu(req.begin(), req.begin() + 5);
}

TEST(TcpLine, AnswersAreTakenAsExceptionsOrBadFramesByWhatTheyHold) {
    struct Case {
        const char* what;
        int count;      // registers in the answer to a 2-register read
        int exception;  // answered to the single-register write
        HRESULT read, write;
    };
    const Case cases[] = {
        {"well formed", 2, 0, S_OK, S_OK},
        {"short read answer, write refused", 1, 4, kErrBadFrame, qd40TransportErrWriteRefused},
        {"long read answer, illegal address", 3, 2, kErrBadFrame, kErrExceptionBase + 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TcpPeer peer([&](const Pdu& req) { return readsAndWrites(req, c.count, c.exception); });
        Status st;
        auto line = tcpLineTo(peer.port(), st);
        ASSERT_TRUE(line) << st.error.description;
        std::vector<uint16_t> values;
        const Status read = line->readRegisters(1, false, 100, 2, values);
        EXPECT_EQ(read.hr, c.read) << read.error.description;
        if (c.read == S_OK) {
            EXPECT_THAT(values, ::testing::ElementsAre(7, 7));
        }
        const Status write = line->writeRegister(1, 100, 5);
        EXPECT_EQ(write.hr, c.write) << write.error.description;
    }
}

TEST(TcpLine, UnitIdentifiersTheProtocolCannotCarryAreRefusedNotRedirected) {
    TcpPeer peer([](const Pdu& req) { return readsAndWrites(req, 1, 0); });
    Status st;
    auto line = tcpLineTo(peer.port(), st);
    ASSERT_TRUE(line) << st.error.description;
    std::vector<uint16_t> values;
    for (int dev : {17, 250, 255}) {
        SCOPED_TRACE(dev);
        const Status read = line->readRegisters(dev, false, 6000, 1, values);
        EXPECT_EQ(read.hr, dev == 250 ? kErrInvalidArg : S_OK) << read.error.description;
    }
    EXPECT_THAT(peer.units(), ::testing::ElementsAre(17, 255));
}

// An answer that comes after its request's time-out is taken for what it is
// when it arrives in place of the next request's answer.
TEST(TcpLine, AnAnswerAfterTheTimeOutIsReportedAsLate) {
    TcpPeer peer([](const Pdu& req) { return readsAndWrites(req, 1, 0); }, true);
    Status st;
    auto line = tcpLineTo(peer.port(), st);
    ASSERT_TRUE(line) << st.error.description;
    std::vector<uint16_t> values;
    EXPECT_EQ(line->readRegisters(1, false, 6000, 1, values).hr, kErrTimeout);
    const Status next = line->readRegisters(1, false, 6000, 1, values);
    EXPECT_EQ(next.hr, kErrTimeout);
    EXPECT_EQ(next.error.description.rfind("The module answered too late", 0), 0u)
        << next.error.description;
}

// A connection the peer never accepts (its queue is full) ends with the
// answer time-out, said as such.
TEST(TcpLine, AConnectionNeverAcceptedTimesOut) {
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(::listen(listener, 0), 0);
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len), 0);
    // Connections nobody accepts fill the queue; later ones get no answer.
    std::vector<int> waiting;
    for (int i = 0; i < 3; ++i) {
        waiting.push_back(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
        (void)::connect(waiting.back(), reinterpret_cast<sockaddr*>(&a), sizeof a);
    }
    LineSettings s;
    s.host = "127.0.0.1";
    s.tcpPort = ntohs(a.sin_port);
    s.answerMs = 300;
    Status st;
    EXPECT_FALSE(openTcpLine(s, st));
    EXPECT_EQ(st.hr, kErrConnect);
    EXPECT_NE(st.error.description.find("connection timed out"), std::string::npos)
        << st.error.description;
    for (int fd : waiting)
        ::close(fd);
    ::close(listener);
}

// The master side of a new pseudo-terminal and the path of its slave side.
void openPseudoTerminal(int& master, std::string& slavePath) {
    master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    slavePath = ::ptsname(master);
}

TEST(RtuLine, ASerialLineHasOneMasterAtATime) {
    int master = -1;
    LineSettings s;
    ASSERT_NO_FATAL_FAILURE(openPseudoTerminal(master, s.device));
    Status st;
    auto first = openRtuLine(s, st);
    ASSERT_TRUE(first) << st.error.description;
    auto second = openRtuLine(s, st);
    EXPECT_FALSE(second);
    EXPECT_EQ(st.hr, kErrConnect);
    EXPECT_EQ(st.error.description, s.device + ": in use by another program");
    first.reset();
    EXPECT_TRUE(openRtuLine(s, st)) << "free again once the first closes: " << st.error.description;
    ::close(master);
}

// On a serial line address 0 would broadcast and 248 to 255 are reserved:
// such a request is refused before anything is sent.
TEST(RtuLine, AddressesThatNameNoSingleModuleAreRefused) {
    int master = -1;
    LineSettings s;
    ASSERT_NO_FATAL_FAILURE(openPseudoTerminal(master, s.device));
    s.cabling = kWires4;
    Status st;
    auto line = openRtuLine(s, st);
    ASSERT_TRUE(line) << st.error.description;
    for (int dev : {0, 248, 255}) {
        SCOPED_TRACE(dev);
        const Status write = line->writeRegister(dev, 901, 0);
        EXPECT_EQ(write.hr, kErrInvalidArg);
        EXPECT_NE(write.error.description.find("0 broadcasts"), std::string::npos)
            << write.error.description;
    }
    uint8_t sent = 0;
    EXPECT_FALSE(readExactly(master, &sent, 1, 100)) << "nothing reaches the line";
    line.reset();
    ::close(master);
}

TEST(RtuLine, ALineThatKeepsSendingEndsTheAnswerAsABadFrame) {
    int master = -1;
    LineSettings s;
    ASSERT_NO_FATAL_FAILURE(openPseudoTerminal(master, s.device));
    s.baudRate = 115200;
    s.cabling = kWires4;
    s.retries = 0;
    s.answerMs = 300;
    s.endOfFrameMs = 20;
    Status st;
    auto line = openRtuLine(s, st);
    ASSERT_TRUE(line) << st.error.description;

    // Once the request is in, the "module" chatters: an unknown function code
    // followed by bytes without end, until the reader gives up.
    std::atomic<bool> done{false};
    std::thread chatter([&] {
        uint8_t request[8];
        if (!readExactly(master, request, sizeof request, 2000))
            return;
        const uint8_t head[] = {1, 0x41};
        (void)!::write(master, head, sizeof head);
        const uint8_t noise[16] = {};
        const auto until = Clock::now() + std::chrono::seconds(5);
        while (!done && Clock::now() < until) {
            (void)!::write(master, noise, sizeof noise);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    std::vector<uint16_t> values;
    const auto start = Clock::now();
    const Status read = line->readRegisters(1, false, 6000, 1, values);
    const auto took = Clock::now() - start;
    done = true;
    chatter.join();
    EXPECT_EQ(read.hr, kErrBadFrame) << read.error.description;
    EXPECT_LT(took, std::chrono::seconds(2));
    line.reset();
    ::close(master);
}

}  // namespace
}  // namespace qd40::transport
