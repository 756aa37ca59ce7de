// The transport of one open channel: collects the line settings written by
// OpenComm, opens (or joins) the named line at Connect and forwards the MODBUS
// primitives to it.
#pragma once
#include "server/transport/line.h"
#include "server/transport/transport.h"

namespace qd40::transport {

// The device path that a COM port number stands for.
using DeviceResolver = std::function<std::string(int32_t port)>;

class ModbusTransport final : public Transport {
public:
    ModbusTransport(LineRegistry& lines, DeviceResolver devices);
    ~ModbusTransport() override;

    Status SelectChannel(const std::string& name, ChannelKind kind, int16_t& result) override;
    Status Connect(int16_t& result) override;
    Status CloseChannel(int16_t& code) override;
    int16_t ChannelAlreadyOpen() override;
    int16_t HalfDuplexActive() override;
    int32_t PortNumber() override;
    std::shared_ptr<void> takeTurn() override;

    Status SetPortNumber(int32_t port) override;
    Status SetBaudRate(uint32_t rate) override;
    Status SetParity(int32_t value) override;
    Status SetStopBits(int32_t value) override;
    Status SetFlowControl(int32_t value) override;
    Status SetCharacterSize(int32_t bits) override;
    Status SetDtrControl(int32_t value) override;
    Status SetRtsControl(int32_t value) override;
    Status SetChannelEnabled(int16_t enabled) override;
    Status SetCabling(int32_t cabling) override;
    Status SetRetries(uint8_t retries) override;
    Status SetEndOfFrameTimeout(uint32_t ms) override;
    Status SetAnswerTimeout(uint32_t ms) override;
    Status SetHalfDuplexPause(uint16_t ms) override;
    Status SetHostAddress(const std::string& host) override;
    Status SetTcpPort(int32_t port) override;
    Status GetComponentVersion(uint32_t& versionMS, uint32_t& versionLS,
                               std::string& name) override;

    Status ReadInputStatus(int dev, int32_t start, int qty, std::vector<uint8_t>& values,
                           int32_t& ret) override;
    Status ReadOutputStatus(int dev, int32_t start, int qty, std::vector<uint8_t>& values,
                            int32_t& ret) override;
    Status ForceSingleCoil(int dev, int32_t coil, bool on, int32_t& ret) override;
    Status ForceMultipleCoils(int dev, int32_t start, std::span<const uint8_t> values,
                              int32_t& ret) override;
    Status ReadInputRegisters(int dev, int32_t start, int qty, std::vector<uint16_t>& values,
                              int32_t& ret) override;
    Status ReadOutputRegisters(int dev, int32_t start, int qty, std::vector<uint16_t>& values,
                               int32_t& ret) override;
    Status PresetSingleRegister(int dev, int32_t reg, uint16_t value, int32_t& ret) override;
    Status PresetMultipleRegisters(int dev, int32_t start, std::span<const uint16_t> values,
                                   int32_t& ret) override;

private:
    Status line(Line*& out);

    LineRegistry& lines_;
    DeviceResolver devices_;
    std::string name_;
    ChannelKind kind_ = ChannelKind::Serial;
    LineSettings settings_;
    bool enabled_ = false;
    std::shared_ptr<Line> line_;
};

}  // namespace qd40::transport
