#include "server/transport/modbus_transport.h"

#include <modbus.h>

namespace qd40::transport {

ModbusTransport::ModbusTransport(LineRegistry& lines, DeviceResolver devices)
    : lines_(lines), devices_(std::move(devices)) {}

ModbusTransport::~ModbusTransport() = default;

Status ModbusTransport::SelectChannel(const std::string& name, ChannelKind kind, int16_t& result) {
    if (name.empty())
        return Status::failure(kErrInvalidArg, "Empty channel name");
    if (kind != ChannelKind::Serial && kind != ChannelKind::Tcp)
        return Status::failure(kErrInvalidArg, "Invalid channel kind");
    name_ = name;
    kind_ = kind;
    // A line of that name already open in this daemon is joined at once.
    line_ = lines_.find(name);
    result = 0;
    return Status::ok();
}

Status ModbusTransport::Connect(int16_t& result) {
    result = 0;
    if (name_.empty())
        return Status::failure(kErrNotConnected, "No channel selected");
    if (line_) {
        result = -1;
        return Status::ok();
    }
    if (!enabled_)
        return Status::failure(kErrNotConnected, "The channel is not enabled");
    LineSettings s = settings_;
    if (kind_ == ChannelKind::Serial) {
        if (devices_)
            s.device = devices_(s.port);
    } else {
        s.port = 0;
    }
    Status st;
    line_ = lines_.open(name_, kind_, s, st);
    if (!line_)
        return st;
    result = -1;
    return Status::ok();
}

Status ModbusTransport::CloseChannel(int16_t& code) {
    code = 0;
    line_.reset();  // the line itself closes with its last user
    return Status::ok();
}

int16_t ModbusTransport::ChannelAlreadyOpen() {
    return line_ ? -1 : 0;
}

int16_t ModbusTransport::HalfDuplexActive() {
    return line_ && line_->halfDuplexActive() ? -1 : 0;
}

std::shared_ptr<void> ModbusTransport::takeTurn() {
    if (!line_)
        return nullptr;
    std::shared_ptr<Line> line = line_;
    line->turns().take();
    return std::shared_ptr<void>(line.get(), [line](void*) { line->turns().give(); });
}

int32_t ModbusTransport::PortNumber() {
    if (line_)
        return line_->portNumber();
    return kind_ == ChannelKind::Serial ? settings_.port : 0;
}

Status ModbusTransport::SetPortNumber(int32_t port) {
    if (port < 1 || port > 255)
        return Status::failure(kErrInvalidArg, "Invalid port number");
    settings_.port = port;
    return Status::ok();
}
Status ModbusTransport::SetBaudRate(uint32_t rate) {
    if (rate == 0)
        return Status::failure(kErrInvalidArg, "Invalid baud rate");
    settings_.baudRate = rate;
    return Status::ok();
}
Status ModbusTransport::SetParity(int32_t value) {
    if (value < 0 || value > 2)
        return Status::failure(kErrInvalidArg, "Invalid parity");
    settings_.parity = value;
    return Status::ok();
}
Status ModbusTransport::SetStopBits(int32_t value) {
    if (value != 0 && value != 2)
        return Status::failure(kErrInvalidArg, "Invalid stop bits");
    settings_.stopBits = value;
    return Status::ok();
}
Status ModbusTransport::SetFlowControl(int32_t value) {
    if (value != 0 && value != 1)
        return Status::failure(kErrInvalidArg, "Invalid flow control");
    settings_.flowControl = value;
    return Status::ok();
}
Status ModbusTransport::SetCharacterSize(int32_t bits) {
    if (bits != 7 && bits != 8)
        return Status::failure(kErrInvalidArg, "Invalid character size");
    settings_.characterSize = bits;
    return Status::ok();
}
Status ModbusTransport::SetDtrControl(int32_t) {
    return Status::ok();
}
Status ModbusTransport::SetRtsControl(int32_t) {
    return Status::ok();
}
Status ModbusTransport::SetChannelEnabled(int16_t enabled) {
    enabled_ = enabled != 0;
    return Status::ok();
}
Status ModbusTransport::SetCabling(int32_t cabling) {
    if (cabling < kWires4 || cabling > kWiresAutoCheck)
        return Status::failure(kErrInvalidArg, "Invalid cabling " + std::to_string(cabling));
    settings_.cabling = cabling;
    return Status::ok();
}
Status ModbusTransport::SetRetries(uint8_t retries) {
    settings_.retries = retries;
    return Status::ok();
}
Status ModbusTransport::SetEndOfFrameTimeout(uint32_t ms) {
    settings_.endOfFrameMs = ms == 0 ? 1 : ms;
    return Status::ok();
}
Status ModbusTransport::SetAnswerTimeout(uint32_t ms) {
    settings_.answerMs = ms == 0 ? 1 : ms;
    return Status::ok();
}
Status ModbusTransport::SetHalfDuplexPause(uint16_t ms) {
    settings_.halfDuplexPauseMs = ms;
    return Status::ok();
}
Status ModbusTransport::SetHostAddress(const std::string& host) {
    settings_.host = host;
    return Status::ok();
}
Status ModbusTransport::SetTcpPort(int32_t port) {
    settings_.tcpPort = port;
    return Status::ok();
}
Status ModbusTransport::GetComponentVersion(uint32_t& versionMS, uint32_t& versionLS,
                                            std::string& name) {
    versionMS = uint32_t(LIBMODBUS_VERSION_MAJOR) << 16 | LIBMODBUS_VERSION_MINOR;
    versionLS = uint32_t(LIBMODBUS_VERSION_MICRO) << 16;
    name = "OvixModbusServer (libmodbus " LIBMODBUS_VERSION_STRING ")";
    return Status::ok();
}

Status ModbusTransport::line(Line*& out) {
    out = line_.get();
    if (!out)
        return Status::failure(kErrNotConnected, "The channel is not connected");
    return Status::ok();
}

#define QD40_WITH_LINE(expr)      \
    ret = 0;                      \
    Line* l = nullptr;            \
    if (Status st = line(l); !st) \
        return st;                \
    return expr

Status ModbusTransport::ReadInputStatus(int dev, int32_t start, int qty,
                                        std::vector<uint8_t>& values, int32_t& ret) {
    QD40_WITH_LINE(l->readBits(dev, true, start, qty, values));
}
Status ModbusTransport::ReadOutputStatus(int dev, int32_t start, int qty,
                                         std::vector<uint8_t>& values, int32_t& ret) {
    QD40_WITH_LINE(l->readBits(dev, false, start, qty, values));
}
Status ModbusTransport::ForceSingleCoil(int dev, int32_t coil, bool on, int32_t& ret) {
    QD40_WITH_LINE(l->writeCoil(dev, coil, on));
}
Status ModbusTransport::ForceMultipleCoils(int dev, int32_t start, std::span<const uint8_t> values,
                                           int32_t& ret) {
    QD40_WITH_LINE(l->writeCoils(dev, start, values));
}
Status ModbusTransport::ReadInputRegisters(int dev, int32_t start, int qty,
                                           std::vector<uint16_t>& values, int32_t& ret) {
    QD40_WITH_LINE(l->readRegisters(dev, true, start, qty, values));
}
Status ModbusTransport::ReadOutputRegisters(int dev, int32_t start, int qty,
                                            std::vector<uint16_t>& values, int32_t& ret) {
    QD40_WITH_LINE(l->readRegisters(dev, false, start, qty, values));
}
Status ModbusTransport::PresetSingleRegister(int dev, int32_t reg, uint16_t value, int32_t& ret) {
    QD40_WITH_LINE(l->writeRegister(dev, reg, value));
}
Status ModbusTransport::PresetMultipleRegisters(int dev, int32_t start,
                                                std::span<const uint16_t> values, int32_t& ret) {
    QD40_WITH_LINE(l->writeRegisters(dev, start, values));
}

#undef QD40_WITH_LINE

}  // namespace qd40::transport
