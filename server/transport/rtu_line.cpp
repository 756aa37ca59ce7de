// Serial lines: RTU framing written on termios. libmodbus reads an RTU answer
// straight after sending, so a two-wire line that echoes the request would
// hand it the echo as the answer; owning the framing lets the line drop the
// echo, detect it (AutoCheck), keep the half-duplex pause and end each frame on
// its computed length.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <thread>

#include "common/unique_fd.h"
#include "server/transport/line.h"
#include "server/transport/rtu_codec.h"

namespace qd40::transport {

namespace rtu {

uint16_t crc16(std::span<const uint8_t> bytes) {
    uint16_t crc = 0xFFFF;
    for (uint8_t b : bytes) {
        crc ^= b;
        for (int i = 0; i < 8; ++i)
            crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
    }
    return crc;
}

std::vector<uint8_t> frame(uint8_t dev, std::span<const uint8_t> pdu) {
    std::vector<uint8_t> f;
    f.reserve(pdu.size() + 3);
    f.push_back(dev);
    f.insert(f.end(), pdu.begin(), pdu.end());
    const uint16_t crc = crc16(f);
    f.push_back(static_cast<uint8_t>(crc));
    f.push_back(static_cast<uint8_t>(crc >> 8));
    return f;
}

size_t answerLength(std::span<const uint8_t> head) {
    if (head.size() < 2)
        return 0;
    const uint8_t fn = head[1];
    if (fn & 0x80)
        return 5;
    switch (fn) {
        case 1:
        case 2:
        case 3:
        case 4:
            return head.size() < 3 ? 0 : size_t(5) + head[2];
        case 5:
        case 6:
        case 15:
        case 16:
            return 8;
        default:
            return SIZE_MAX;
    }
}

bool crcOk(std::span<const uint8_t> f) {
    if (f.size() < 4)
        return false;
    const uint16_t crc = crc16(f.first(f.size() - 2));
    return f[f.size() - 2] == uint8_t(crc) && f[f.size() - 1] == uint8_t(crc >> 8);
}

uint32_t interFrameMicros(uint32_t baudRate, int bitsPerChar) {
    if (baudRate == 0)
        return 0;
    return static_cast<uint32_t>((3.5 * bitsPerChar * 1'000'000.0) / baudRate + 0.5);
}

}  // namespace rtu

namespace {

using Clock = std::chrono::steady_clock;

speed_t speedOf(uint32_t rate) {
    switch (rate) {
        case 1200:
            return B1200;
        case 2400:
            return B2400;
        case 4800:
            return B4800;
        case 9600:
            return B9600;
        case 19200:
            return B19200;
        case 38400:
            return B38400;
        case 57600:
            return B57600;
        case 115200:
            return B115200;
        case 230400:
            return B230400;
        default:
            return 0;
    }
}

enum class Echo { Unknown, Present, Absent };

class RtuLine final : public Line {
public:
    RtuLine(UniqueFd fd, const LineSettings& s) : fd_(std::move(fd)), s_(s) {
        echo_ = s.cabling == kWires2   ? Echo::Present
                : s.cabling == kWires4 ? Echo::Absent
                                       : Echo::Unknown;
        const int bits = 1 + (s.characterSize == 7 ? 7 : 8) + (s.parity != 0 ? 1 : 0) +
                         (s.stopBits == 2 ? 2 : 1);
        gapMicros_ = rtu::interFrameMicros(s.baudRate, bits);
    }

    bool halfDuplexActive() const override { return echo_ == Echo::Present; }
    int32_t portNumber() const override { return s_.port; }

    Status readBits(int dev, bool input, int32_t start, int qty,
                    std::vector<uint8_t>& values) override {
        if (Status st = checkSerialRequest(dev, start, qty, kMaxReadBits); !st)
            return st;
        std::vector<uint8_t> answer;
        const uint8_t fn = input ? 2 : 1;
        if (Status st = transact(dev, readPdu(fn, start, qty), false, answer); !st)
            return st;
        const size_t bytes = (size_t(qty) + 7) / 8;
        if (answer.size() != 5 + bytes || answer[2] != bytes)
            return badFrame("byte count");
        values.assign(size_t(qty), 0);
        for (int i = 0; i < qty; ++i)
            values[i] = (answer[3 + i / 8] >> (i % 8)) & 1;
        return Status::ok();
    }

    Status readRegisters(int dev, bool input, int32_t start, int qty,
                         std::vector<uint16_t>& values) override {
        if (Status st = checkSerialRequest(dev, start, qty, kMaxReadRegisters); !st)
            return st;
        std::vector<uint8_t> answer;
        const uint8_t fn = input ? 4 : 3;
        if (Status st = transact(dev, readPdu(fn, start, qty), false, answer); !st)
            return st;
        if (answer.size() != 5 + 2 * size_t(qty) || answer[2] != 2 * qty)
            return badFrame("byte count");
        values.resize(size_t(qty));
        for (int i = 0; i < qty; ++i)
            values[i] = static_cast<uint16_t>(answer[3 + 2 * i] << 8 | answer[4 + 2 * i]);
        return Status::ok();
    }

    Status writeCoil(int dev, int32_t coil, bool on) override {
        if (Status st = checkSerialRequest(dev, coil, 1, 1); !st)
            return st;
        std::vector<uint8_t> pdu{5, hi(coil), lo(coil), uint8_t(on ? 0xFF : 0), 0};
        return writeAndCheckEcho(dev, pdu);
    }

    Status writeCoils(int dev, int32_t start, std::span<const uint8_t> values) override {
        const int qty = int(values.size());
        if (Status st = checkSerialRequest(dev, start, qty, kMaxWriteBits); !st)
            return st;
        const size_t bytes = (values.size() + 7) / 8;
        std::vector<uint8_t> pdu{15, hi(start), lo(start), hi(qty), lo(qty), uint8_t(bytes)};
        pdu.resize(6 + bytes, 0);
        for (size_t i = 0; i < values.size(); ++i)
            if (values[i])
                pdu[6 + i / 8] |= uint8_t(1 << (i % 8));
        return writeMultiple(dev, pdu, start, qty);
    }

    Status writeRegister(int dev, int32_t reg, uint16_t value) override {
        if (Status st = checkSerialRequest(dev, reg, 1, 1); !st)
            return st;
        std::vector<uint8_t> pdu{6, hi(reg), lo(reg), hi(value), lo(value)};
        return writeAndCheckEcho(dev, pdu);
    }

    Status writeRegisters(int dev, int32_t start, std::span<const uint16_t> values) override {
        const int qty = int(values.size());
        if (Status st = checkSerialRequest(dev, start, qty, kMaxWriteRegisters); !st)
            return st;
        std::vector<uint8_t> pdu{16, hi(start), lo(start), hi(qty), lo(qty), uint8_t(2 * qty)};
        for (uint16_t v : values) {
            pdu.push_back(hi(v));
            pdu.push_back(lo(v));
        }
        return writeMultiple(dev, pdu, start, qty);
    }

private:
    static uint8_t hi(int v) { return static_cast<uint8_t>(v >> 8); }
    static uint8_t lo(int v) { return static_cast<uint8_t>(v); }
    static std::vector<uint8_t> readPdu(uint8_t fn, int32_t start, int qty) {
        return {fn, hi(start), lo(start), hi(qty), lo(qty)};
    }
    static Status badFrame(const std::string& what) {
        return Status::failure(kErrBadFrame, "Invalid answer frame (" + what + ")");
    }

    Status writeAndCheckEcho(int dev, const std::vector<uint8_t>& pdu) {
        std::vector<uint8_t> answer;
        if (Status st = transact(dev, pdu, true, answer); !st)
            return st;
        if (dev == 0)
            return Status::ok();
        if (answer.size() != 8 || !std::equal(pdu.begin(), pdu.end(), answer.begin() + 1))
            return badFrame("write answer");
        return Status::ok();
    }

    Status writeMultiple(int dev, const std::vector<uint8_t>& pdu, int32_t start, int qty) {
        std::vector<uint8_t> answer;
        if (Status st = transact(dev, pdu, true, answer); !st)
            return st;
        if (dev == 0)
            return Status::ok();
        if (answer.size() != 8 || answer[2] != hi(start) || answer[3] != lo(start) ||
            answer[4] != hi(qty) || answer[5] != lo(qty))
            return badFrame("write answer");
        return Status::ok();
    }

    // One request and its answer, with the retries of the line. A MODBUS
    // exception is an answer and is not retried.
    Status transact(int dev, const std::vector<uint8_t>& pdu, bool write,
                    std::vector<uint8_t>& answer) {
        const std::vector<uint8_t> request = rtu::frame(uint8_t(dev), pdu);
        Status last;
        for (int attempt = 0; attempt <= int(s_.retries); ++attempt) {
            last = exchange(request, dev == 0, answer);
            if (!last) {
                if (last.hr == kErrLine)
                    return last;
                continue;
            }
            if (dev == 0)
                return last;
            if (answer[0] != uint8_t(dev)) {
                last = badFrame("slave address");
                continue;
            }
            if (answer[1] == (pdu[0] | 0x80))
                return exceptionStatus(answer[2], write);
            if (answer[1] != pdu[0]) {
                last = badFrame("function code");
                continue;
            }
            return Status::ok();
        }
        return last;
    }

    void waitQuietLine() {
        const auto gap =
            std::chrono::microseconds(gapMicros_) + std::chrono::milliseconds(s_.halfDuplexPauseMs);
        const auto readyAt = lastActivity_ + gap;
        const auto now = Clock::now();
        if (readyAt > now)
            std::this_thread::sleep_for(readyAt - now);
    }

    Status writeAll(const std::vector<uint8_t>& bytes) {
        size_t done = 0;
        const auto deadline = Clock::now() + std::chrono::milliseconds(s_.answerMs + 1000);
        while (done < bytes.size()) {
            const ssize_t n = ::write(fd_.get(), bytes.data() + done, bytes.size() - done);
            if (n > 0) {
                done += size_t(n);
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EINTR)
                return Status::failure(kErrLine,
                                       std::string("Serial write failed: ") + std::strerror(errno));
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0)
                return Status::failure(kErrTimeout, "Serial write timed out");
            pollfd p{fd_.get(), POLLOUT, 0};
            ::poll(&p, 1, int(left.count()));
        }
        return Status::ok();
    }

    // Waits for the next byte(s): up to `ms` milliseconds; returns false on
    // silence. Throws nothing; I/O errors are reported through `error`.
    bool readSome(std::vector<uint8_t>& into, int ms, Status& error) {
        pollfd p{fd_.get(), POLLIN, 0};
        const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
        for (;;) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            const int r = ::poll(&p, 1, int(std::max<int64_t>(0, left.count())));
            if (r < 0 && errno == EINTR)
                continue;
            if (r <= 0)
                return false;
            uint8_t buf[512];
            const ssize_t n = ::read(fd_.get(), buf, sizeof buf);
            if (n > 0) {
                into.insert(into.end(), buf, buf + n);
                lastActivity_ = Clock::now();
                return true;
            }
            if (n < 0 && (errno == EAGAIN || errno == EINTR))
                continue;
            if (p.revents & (POLLHUP | POLLERR) || n == 0) {
                error = Status::failure(kErrLine, "The serial line hung up");
                return false;
            }
            error = Status::failure(kErrLine,
                                    std::string("Serial read failed: ") + std::strerror(errno));
            return false;
        }
    }

    // Reads one frame: the first byte within the answer time-out, then each
    // next byte within the end-of-frame time-out. The frame ends at its
    // computed length, or when the line falls silent. `bytes` may already
    // hold the frame's first bytes. A line that keeps sending past the longest
    // frame gives a bad frame, so a chattering line cannot hold the reader.
    Status readFrame(std::vector<uint8_t>& bytes, uint32_t firstMs) {
        Status error;
        if (bytes.empty() && !readSome(bytes, int(firstMs), error))
            return error.isOk() ? Status::failure(kErrTimeout, "No answer from the module") : error;
        for (;;) {
            const size_t want = rtu::answerLength(bytes);
            if (want != 0 && want != SIZE_MAX && bytes.size() >= want)
                break;
            if (bytes.size() > rtu::kMaxFrameBytes)
                return badFrame("frame too long");
            if (!readSome(bytes, int(s_.endOfFrameMs), error)) {
                if (!error.isOk())
                    return error;
                if (want == SIZE_MAX)
                    break;  // unknown function: the silence ends it
                return Status::failure(kErrTimeout, "Incomplete answer from the module");
            }
        }
        const size_t want = rtu::answerLength(bytes);
        if (want != SIZE_MAX && bytes.size() > want)
            bytes.resize(want);  // trailing noise
        if (!rtu::crcOk(bytes))
            return badFrame("CRC");
        return Status::ok();
    }

    // Reads the echo of `request` when the line may echo. Returns the bytes
    // that follow it (or that are not an echo) in `rest`.
    Status takeEcho(const std::vector<uint8_t>& request, std::vector<uint8_t>& rest,
                    bool& sawEcho) {
        sawEcho = false;
        std::vector<uint8_t> got;
        Status error;
        if (!readSome(got, int(s_.answerMs), error))
            return error.isOk() ? Status::failure(kErrTimeout, "No answer from the module") : error;
        for (;;) {
            const size_t n = std::min(got.size(), request.size());
            if (!std::equal(got.begin(), got.begin() + n, request.begin())) {
                rest = std::move(got);  // not an echo: the answer has begun
                return Status::ok();
            }
            if (got.size() >= request.size())
                break;
            if (!readSome(got, int(s_.endOfFrameMs), error)) {
                if (!error.isOk())
                    return error;
                rest = std::move(got);  // an answer shorter than the request
                return Status::ok();
            }
        }
        sawEcho = true;
        rest.assign(got.begin() + request.size(), got.end());
        return Status::ok();
    }

    Status exchange(const std::vector<uint8_t>& request, bool broadcast,
                    std::vector<uint8_t>& answer) {
        waitQuietLine();
        ::tcflush(fd_.get(), TCIFLUSH);
        if (Status st = writeAll(request); !st)
            return st;
        lastActivity_ = Clock::now();
        answer.clear();
        if (echo_ != Echo::Absent) {
            bool sawEcho = false;
            std::vector<uint8_t> rest;
            Status st = takeEcho(request, rest, sawEcho);
            if (!st)
                return broadcast && st.hr == kErrTimeout && echo_ != Echo::Present ? Status::ok()
                                                                                   : st;
            if (!sawEcho) {
                if (echo_ == Echo::Present)
                    return badFrame("echo expected");
                echo_ = Echo::Absent;  // AutoCheck: the line does not echo
                answer = std::move(rest);
            } else if (echo_ == Echo::Unknown) {
                // The answer to a single write repeats the request: it is an
                // echo only when a second frame follows.
                const bool ambiguous = request[1] == 5 || request[1] == 6;
                if (ambiguous && rest.empty() && !broadcast) {
                    st = readFrame(rest, s_.answerMs);
                    if (!st) {
                        if (st.hr != kErrTimeout)
                            return st;
                        answer = request;  // nothing followed: it was the answer
                        return Status::ok();
                    }
                    echo_ = Echo::Present;
                    answer = std::move(rest);
                    return Status::ok();
                }
                echo_ = Echo::Present;
                answer = std::move(rest);
            } else {
                answer = std::move(rest);
            }
        }
        if (broadcast)
            return Status::ok();
        return readFrame(answer, s_.answerMs);
    }

    UniqueFd fd_;
    LineSettings s_;
    Echo echo_;
    uint32_t gapMicros_;
    Clock::time_point lastActivity_{};
};

}  // namespace

std::shared_ptr<Line> openRtuLine(const LineSettings& s, Status& status) {
    const speed_t speed = speedOf(s.baudRate);
    if (speed == 0) {
        status =
            Status::failure(kErrInvalidArg, "Unsupported baud rate " + std::to_string(s.baudRate));
        return nullptr;
    }
    if (s.device.empty()) {
        status = Status::failure(kErrConnect, "No device for COM" + std::to_string(s.port));
        return nullptr;
    }
    UniqueFd line(::open(s.device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!line) {
        status = Status::failure(kErrConnect, s.device + ": " + std::strerror(errno));
        return nullptr;
    }
    // One master per serial line: a line that another daemon, or another
    // program that locks it the same way (an advisory flock), holds is
    // refused rather than mixing two conversations on one wire.
    int locked;
    while ((locked = ::flock(line.get(), LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
    }
    if (locked != 0) {
        status = Status::failure(
            kErrConnect,
            s.device + (errno == EWOULDBLOCK
                            ? ": in use by another program"
                            : ": cannot be locked (" + std::string(std::strerror(errno)) + ")"));
        return nullptr;
    }
    termios tio{};
    if (::tcgetattr(line.get(), &tio) != 0) {
        status = Status::failure(kErrConnect,
                                 s.device + ": not a serial line (" + std::strerror(errno) + ")");
        return nullptr;
    }
    ::cfmakeraw(&tio);
    ::cfsetispeed(&tio, speed);
    ::cfsetospeed(&tio, speed);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    tio.c_cflag |= s.characterSize == 7 ? CS7 : CS8;
    if (s.parity == 1)
        tio.c_cflag |= PARENB | PARODD;
    if (s.parity == 2)
        tio.c_cflag |= PARENB;
    if (s.stopBits == 2)
        tio.c_cflag |= CSTOPB;
    if (s.flowControl == 1)
        tio.c_cflag |= CRTSCTS;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (::tcsetattr(line.get(), TCSANOW, &tio) != 0) {
        status = Status::failure(kErrConnect, s.device + ": " + std::strerror(errno));
        return nullptr;
    }
    ::tcflush(line.get(), TCIOFLUSH);
    status = Status::ok();
    return std::make_shared<RtuLine>(std::move(line), s);
}

}  // namespace qd40::transport
