// A MODBUS line: one serial port or one MODBUS/TCP connection, opened once per
// daemon and shared by name by every transport that selects it. The objects
// of one line run their calls on their own threads and take turns on the
// line (LineTurns), so its transactions never interleave.
#pragma once
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "common/error_info.h"
#include "server/transport/transport.h"

namespace qd40::transport {

struct LineSettings {
    std::string device;  // serial: the device path the COM port stands for
    std::string host;    // TCP: host name or address
    int32_t tcpPort = 502;
    int32_t port = 0;  // COM port number, 0 on TCP
    uint32_t baudRate = 9600;
    int32_t parity = 0;
    int32_t stopBits = 0;
    int32_t flowControl = 0;
    int32_t characterSize = 8;
    int32_t cabling = kWiresAutoCheck;
    uint8_t retries = 5;
    uint32_t endOfFrameMs = 19;
    uint32_t answerMs = 1000;
    uint16_t halfDuplexPauseMs = 0;
};

// Limits of one MODBUS request.
inline constexpr int kMaxReadRegisters = 125;
inline constexpr int kMaxWriteRegisters = 123;
inline constexpr int kMaxReadBits = 2000;
inline constexpr int kMaxWriteBits = 1968;

// Turns on one line: one holder at a time, served in the order they asked.
class LineTurns {
public:
    void take() {
        std::unique_lock lock(mutex_);
        const uint64_t ticket = next_++;
        served_.wait(lock, [&] { return serving_ == ticket; });
    }
    void give() {
        {
            std::lock_guard lock(mutex_);
            ++serving_;
        }
        served_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable served_;
    uint64_t next_ = 0, serving_ = 0;
};

class Line {
public:
    virtual ~Line() = default;
    LineTurns& turns() { return turns_; }
    virtual bool halfDuplexActive() const { return false; }
    virtual int32_t portNumber() const { return 0; }
    virtual Status readBits(int dev, bool input, int32_t start, int qty,
                            std::vector<uint8_t>& values) = 0;
    virtual Status readRegisters(int dev, bool input, int32_t start, int qty,
                                 std::vector<uint16_t>& values) = 0;
    virtual Status writeCoil(int dev, int32_t coil, bool on) = 0;
    virtual Status writeCoils(int dev, int32_t start, std::span<const uint8_t> values) = 0;
    virtual Status writeRegister(int dev, int32_t reg, uint16_t value) = 0;
    virtual Status writeRegisters(int dev, int32_t start, std::span<const uint16_t> values) = 0;

private:
    LineTurns turns_;
};

// Opens a line of the given kind with the given settings.
using LineOpener = std::function<std::shared_ptr<Line>(ChannelKind, const LineSettings&, Status&)>;

// The open lines of the daemon by channel name ("COM3", "host:502"). A line
// stays open while a transport holds it and closes with its last user. Lines
// of different names open at the same time; openings of one name wait for
// each other, so a line is never opened twice.
class LineRegistry {
public:
    explicit LineRegistry(LineOpener opener = defaultOpener());

    std::shared_ptr<Line> find(const std::string& name);
    std::shared_ptr<Line> open(const std::string& name, ChannelKind kind,
                               const LineSettings& settings, Status& status);
    size_t openCount();

    // Serial lines on termios with our own RTU framing, TCP through libmodbus.
    static LineOpener defaultOpener();

private:
    struct Slot {
        std::mutex opening;
        std::weak_ptr<Line> line;
    };
    std::shared_ptr<Slot> slot(const std::string& name);

    LineOpener opener_;
    std::mutex mutex_;
    std::map<std::string, std::shared_ptr<Slot>> slots_;
};

std::shared_ptr<Line> openRtuLine(const LineSettings& settings, Status& status);
std::shared_ptr<Line> openTcpLine(const LineSettings& settings, Status& status);

// Checks of a request's address range and quantity shared by both kinds.
Status checkRequest(int dev, int32_t start, int qty, int maxQty);
// The same on a serial line, where address 0 would broadcast to every module
// of the line (a write changes them all, and none answers) and 248 to 255
// are reserved: only 1 to 247 name one module.
Status checkSerialRequest(int dev, int32_t start, int qty, int maxQty);

}  // namespace qd40::transport
