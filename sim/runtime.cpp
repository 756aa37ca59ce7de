#include "sim/runtime.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace qd40::sim {

// ---------------------------------------------------------------------------
// Simulator

Simulator::Simulator(const ModuleOptions& options, uint64_t clockMs, double timeScale)
    : module_(options, clockMs), start_(std::chrono::steady_clock::now()), scale_(timeScale) {}

uint64_t Simulator::uptimeNow() const {
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start_)
            .count();
    return uint64_t(ms * scale_);
}

Pdu Simulator::handle(int port, std::span<const uint8_t> request) {
    std::lock_guard lock(mu_);
    module_.advance(uptimeNow());
    return module_.handle(port, request);
}

void Simulator::portClosed(int port) {
    std::lock_guard lock(mu_);
    module_.portClosed(port);
}

void Simulator::tick() {
    std::lock_guard lock(mu_);
    module_.advance(uptimeNow());
}

void Simulator::setFaults(const Faults& f) {
    std::lock_guard lock(mu_);
    faults_ = f;
    spent_.assign(f.targeted.size(), false);
    module_.setRefuseWrites(f.refuseWrites);
    for (int ch = 1; ch <= 30; ++ch)
        module_.setChannelFailure(ch, 0);
    for (auto [ch, code] : f.failChannels)
        module_.setChannelFailure(ch, code);
}

Faults Simulator::faults() {
    std::lock_guard lock(mu_);
    return faults_;
}

Simulator::RequestFaults Simulator::faultsFor(std::span<const uint8_t> req) {
    RequestFaults hit;
    if (req.size() < 3)
        return hit;
    const uint8_t function = req[0];
    const int start = req[1] << 8 | req[2];
    int qty = 1;
    if (function != 5 && function != 6 && req.size() >= 5)
        qty = std::max(1, req[3] << 8 | req[4]);
    std::lock_guard lock(mu_);
    for (size_t i = 0; i < faults_.targeted.size(); ++i) {
        const TargetedFault& t = faults_.targeted[i];
        if (t.function != function || t.address < start || t.address >= start + qty)
            continue;
        if (t.firstOnly) {
            if (spent_[i])
                continue;
            spent_[i] = true;
        }
        switch (t.kind) {
            case TargetedFault::Kind::Drop:
                hit.drop = true;
                break;
            case TargetedFault::Kind::Delay:
                hit.delayMs += t.value;
                break;
            case TargetedFault::Kind::BadCrc:
                hit.badCrc = true;
                break;
            case TargetedFault::Kind::WrongSlave:
                hit.wrongSlave = true;
                break;
            case TargetedFault::Kind::Exception:
                hit.exception = t.value;
                break;
        }
    }
    return hit;
}

bool Simulator::chance(double p) {
    if (p <= 0)
        return false;
    std::lock_guard lock(mu_);
    return std::uniform_real_distribution<double>(0, 1)(rng_) < p;
}

uint16_t crc16(const uint8_t* data, size_t n) {
    uint16_t crc = 0xFFFF;
    for (size_t i = 0; i < n; ++i) {
        crc ^= data[i];
        for (int b = 0; b < 8; ++b)
            crc = (crc & 1) ? uint16_t((crc >> 1) ^ 0xA001) : uint16_t(crc >> 1);
    }
    return crc;
}

// ---------------------------------------------------------------------------
// TCP

namespace {

// Reads exactly n bytes; false on end of stream, error or stop.
bool readFull(int fd, uint8_t* p, size_t n) {
    while (n > 0) {
        const ssize_t r = ::recv(fd, p, n, 0);
        if (r <= 0) {
            if (r < 0 && errno == EINTR)
                continue;
            return false;
        }
        p += r;
        n -= size_t(r);
    }
    return true;
}

bool sendFull(int fd, const uint8_t* p, size_t n) {
    while (n > 0) {
        const ssize_t r = ::send(fd, p, n, MSG_NOSIGNAL);
        if (r <= 0) {
            if (r < 0 && errno == EINTR)
                continue;
            return false;
        }
        p += r;
        n -= size_t(r);
    }
    return true;
}

void sleepMs(int ms) {
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace

TcpServer::~TcpServer() {
    stop();
}

bool TcpServer::listen(const std::string& address, int port, std::string& error) {
    listenFd_.reset(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!listenFd_) {
        error = std::string("cannot create a socket: ") + std::strerror(errno);
        return false;
    }
    const int one = 1;
    ::setsockopt(listenFd_.get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(uint16_t(port));
    if (::inet_pton(AF_INET, address.c_str(), &sa.sin_addr) != 1) {
        // A host name such as "localhost": its first IPv4 address.
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        if (::getaddrinfo(address.c_str(), nullptr, &hints, &found) != 0 || !found) {
            error = "not an IPv4 address or known host name: " + address;
            return false;
        }
        sa.sin_addr = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr;
        ::freeaddrinfo(found);
    }
    if (::bind(listenFd_.get(), reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 ||
        ::listen(listenFd_.get(), 16) != 0) {
        error = "cannot listen on " + address + ":" + std::to_string(port) + ": " +
                std::strerror(errno);
        return false;
    }
    socklen_t len = sizeof sa;
    ::getsockname(listenFd_.get(), reinterpret_cast<sockaddr*>(&sa), &len);
    boundPort_ = ntohs(sa.sin_port);
    return true;
}

void TcpServer::start() {
    acceptThread_ = std::thread([this] { acceptLoop(); });
}

void TcpServer::stop() {
    if (listenFd_)
        ::shutdown(listenFd_.get(), SHUT_RDWR);
    if (acceptThread_.joinable())
        acceptThread_.join();
    listenFd_.reset();
    std::lock_guard lock(connMu_);
    for (auto& c : conns_)
        ::shutdown(c->fd.get(), SHUT_RDWR);
    for (auto& c : conns_) {
        if (c->thread.joinable())
            c->thread.join();
    }
    conns_.clear();
}

void TcpServer::acceptLoop() {
    while (!stopping_) {
        pollfd pfd{listenFd_.get(), POLLIN, 0};
        const int r = ::poll(&pfd, 1, 200);
        if (r < 0 && errno != EINTR)
            break;
        if (r <= 0)
            continue;
        if (pfd.revents & (POLLERR | POLLHUP | POLLNVAL))
            break;
        UniqueFd fd(::accept4(listenFd_.get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (!fd) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            break;
        }
        const int one = 1;
        ::setsockopt(fd.get(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        std::lock_guard lock(connMu_);
        // Reap the connections that ended.
        for (auto it = conns_.begin(); it != conns_.end();) {
            if ((*it)->done) {
                (*it)->thread.join();
                it = conns_.erase(it);  // closes its descriptor
            } else {
                ++it;
            }
        }
        auto conn = std::make_unique<Conn>();
        conn->fd = std::move(fd);
        Conn* c = conn.get();
        const int portId = nextPortId_++;
        conn->thread = std::thread([this, c, portId] {
            serve(c->fd.get(), portId);
            // The peer sees the end at once; the descriptor is closed when the
            // thread is joined, so that stop() never touches a reused number.
            ::shutdown(c->fd.get(), SHUT_RDWR);
            sim_.portClosed(portId);
            c->done = true;
        });
        conns_.push_back(std::move(conn));
    }
}

void TcpServer::serve(int fd, int portId) {
    uint8_t header[7];
    std::vector<uint8_t> pdu;
    int served = 0;
    while (!stopping_) {
        if (!readFull(fd, header, 7))
            return;
        const int length = header[4] << 8 | header[5];
        if (header[2] != 0 || header[3] != 0 || length < 2 || length > 254)
            return;
        pdu.resize(size_t(length - 1));
        if (!readFull(fd, pdu.data(), pdu.size()))
            return;
        const Faults f = sim_.faults();
        ++served;
        // A module that is off neither answers nor acts on the request; a
        // dropped answer is lost after the module has acted; an exception
        // aimed at the request is answered without acting.
        // Without targeted faults the request takes no further lock.
        Pdu answer;
        const Simulator::RequestFaults hit =
            f.off || f.targeted.empty() ? Simulator::RequestFaults{} : sim_.faultsFor(pdu);
        if (hit.exception)
            answer = {uint8_t(pdu[0] | 0x80), uint8_t(hit.exception)};
        else if (!f.off)
            answer = sim_.handle(portId, pdu);
        const bool silent = f.off || hit.drop || sim_.chance(f.drop);
        if (!silent) {
            sleepMs(f.delayMs + hit.delayMs);
            std::vector<uint8_t> adu(7 + answer.size());
            std::memcpy(adu.data(), header, 7);
            adu[4] = uint8_t((answer.size() + 1) >> 8);
            adu[5] = uint8_t(answer.size() + 1);
            if (hit.wrongSlave || sim_.chance(f.wrongSlave))
                adu[6] = uint8_t(adu[6] + 1);
            std::memcpy(adu.data() + 7, answer.data(), answer.size());
            if (f.byteGapMs > 0) {
                for (size_t i = 0; i < adu.size(); ++i) {
                    if (i > 0)
                        sleepMs(f.byteGapMs);
                    if (!sendFull(fd, adu.data() + i, 1))
                        return;
                }
            } else if (!sendFull(fd, adu.data(), adu.size())) {
                return;
            }
        }
        if (f.closeAfter > 0 && served >= f.closeAfter)
            return;
    }
}

// ---------------------------------------------------------------------------
// RTU on a pseudo-terminal

RtuLine::~RtuLine() {
    stop();
}

bool RtuLine::open(const std::string& linkPath, uint8_t slave, bool echo, int wireBaud,
                   std::string& error) {
    slave_ = slave;
    echo_ = echo;
    baud_ = wireBaud;
    masterFd_.reset(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!masterFd_ || ::grantpt(masterFd_.get()) != 0 || ::unlockpt(masterFd_.get()) != 0) {
        error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    const char* name = ::ptsname(masterFd_.get());
    if (!name) {
        error = "cannot name the pseudo-terminal";
        return false;
    }
    // Keep the slave side open, in raw mode, so that the line exists while no
    // master has it open and nothing is echoed or translated by the terminal.
    slaveFd_.reset(::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!slaveFd_) {
        error = std::string("cannot open ") + name + ": " + std::strerror(errno);
        return false;
    }
    termios tio{};
    ::tcgetattr(slaveFd_.get(), &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(slaveFd_.get(), TCSANOW, &tio);
    ::fcntl(masterFd_.get(), F_SETFL, ::fcntl(masterFd_.get(), F_GETFL) | O_NONBLOCK);
    struct stat st {};
    if (::lstat(linkPath.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            error = linkPath + " exists and is not a symbolic link";
            return false;
        }
        ::unlink(linkPath.c_str());
    }
    if (::symlink(name, linkPath.c_str()) != 0) {
        error = "cannot link " + linkPath + ": " + std::strerror(errno);
        return false;
    }
    link_ = linkPath;
    return true;
}

void RtuLine::start() {
    thread_ = std::thread([this] { loop(); });
}

void RtuLine::stop() {
    if (thread_.joinable())
        thread_.join();
    if (!link_.empty())
        ::unlink(link_.c_str());
    link_.clear();
    masterFd_.reset();
    slaveFd_.reset();
}

void RtuLine::pace(size_t chars) const {
    if (baud_ <= 0 || chars == 0)
        return;
    // 10 bits a character.
    std::this_thread::sleep_for(std::chrono::microseconds(uint64_t(chars) * 10'000'000 / baud_));
}

void RtuLine::writeAll(const uint8_t* p, size_t n) {
    // Bounded: a master that stopped reading must not block the line.
    for (int tries = 0; n > 0 && tries < 100; ++tries) {
        const ssize_t r = ::write(masterFd_.get(), p, n);
        if (r > 0) {
            p += r;
            n -= size_t(r);
            continue;
        }
        if (r < 0 && errno != EAGAIN && errno != EINTR)
            return;
        pollfd pfd{masterFd_.get(), POLLOUT, 0};
        ::poll(&pfd, 1, 10);
    }
}

namespace {

// Length of the request frame starting with buf, 0 when not yet known, -1
// when the function is not one this module answers (the frame then ends
// with the silence that follows it).
int expectedLength(const std::vector<uint8_t>& buf) {
    if (buf.size() < 2)
        return 0;
    switch (buf[1]) {
        case 1:
        case 2:
        case 3:
        case 4:
        case 5:
        case 6:
            return 8;
        case 15:
        case 16:
            return buf.size() < 7 ? 0 : 9 + buf[6];
        default:
            return -1;
    }
}

}  // namespace

void RtuLine::loop() {
    std::vector<uint8_t> buf;
    // Silence that ends an incomplete frame: 3.5 characters, at least 20 ms
    // since a pseudo-terminal delivers bursts.
    const int gapMs = std::max(20, baud_ > 0 ? int(35'000 / baud_) + 1 : 0);
    uint8_t chunk[512];
    while (!stopping_) {
        pollfd pfd{masterFd_.get(), POLLIN, 0};
        const int r = ::poll(&pfd, 1, buf.empty() ? 200 : gapMs);
        if (r < 0 && errno != EINTR)
            break;
        if (r == 0) {
            if (!buf.empty()) {
                // Silence: what is there is one frame, complete or not.
                if (buf.size() >= 4)
                    handleFrame(buf);
                buf.clear();
            }
            continue;
        }
        if (r < 0)
            continue;
        const ssize_t n = ::read(masterFd_.get(), chunk, sizeof chunk);
        if (n <= 0) {
            if (n < 0 && (errno == EAGAIN || errno == EINTR))
                continue;
            // EIO: no master has the line open; wait for one.
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            continue;
        }
        buf.insert(buf.end(), chunk, chunk + n);
        for (;;) {
            const int len = expectedLength(buf);
            if (len <= 0 || buf.size() < size_t(len))
                break;
            std::vector<uint8_t> frame(buf.begin(), buf.begin() + len);
            buf.erase(buf.begin(), buf.begin() + len);
            handleFrame(frame);
        }
        if (buf.size() > 260)
            buf.clear();
    }
}

void RtuLine::handleFrame(const std::vector<uint8_t>& frame) {
    if (frame.size() < 4)
        return;
    pace(frame.size());  // the request's own time on the wire
    if (echo_)
        writeAll(frame.data(), frame.size());
    const size_t n = frame.size();
    const uint16_t crc = uint16_t(frame[n - 2] | frame[n - 1] << 8);
    if (crc16(frame.data(), n - 2) != crc)
        return;  // a slave ignores a corrupted frame
    const uint8_t addr = frame[0];
    if (addr != slave_ && addr != 0)
        return;
    const Faults f = sim_.faults();
    if (f.off)
        return;  // neither acted on nor answered
    const std::span<const uint8_t> pdu(frame.data() + 1, frame.size() - 3);
    const Simulator::RequestFaults hit =
        addr == 0 || f.targeted.empty() ? Simulator::RequestFaults{} : sim_.faultsFor(pdu);
    Pdu answer = hit.exception ? Pdu{uint8_t(pdu[0] | 0x80), uint8_t(hit.exception)}
                               : sim_.handle(kPortId, pdu);
    if (addr == 0 || answer.empty())
        return;  // broadcast: executed, never answered
    if (hit.drop || sim_.chance(f.drop))
        return;
    sleepMs(f.delayMs + hit.delayMs);
    std::vector<uint8_t> adu;
    adu.reserve(answer.size() + 3);
    adu.push_back(hit.wrongSlave || sim_.chance(f.wrongSlave) ? uint8_t(slave_ % 247 + 1) : slave_);
    adu.insert(adu.end(), answer.begin(), answer.end());
    uint16_t c = crc16(adu.data(), adu.size());
    if (hit.badCrc || sim_.chance(f.badCrc))
        c ^= 0x5A5A;
    adu.push_back(uint8_t(c));
    adu.push_back(uint8_t(c >> 8));
    pace(4);  // the silence before the answer (3.5 characters)
    writeAnswer(adu, f.byteGapMs);
}

void RtuLine::writeAnswer(const std::vector<uint8_t>& adu, int byteGapMs) {
    if (byteGapMs <= 0) {
        pace(adu.size());
        writeAll(adu.data(), adu.size());
        return;
    }
    for (size_t i = 0; i < adu.size(); ++i) {
        if (i > 0)
            sleepMs(byteGapMs);
        pace(1);
        writeAll(adu.data() + i, 1);
    }
}

}  // namespace qd40::sim
