// The MODBUS master the Qd40 objects drive: one Transport per open channel.
// Every operation returns a Status; a failure carries the transport's own
// HRESULT and description. The names follow the operations the server relies
// on: SelectChannel, Connect, CloseChannel, PortNumber, ChannelAlreadyOpen,
// HalfDuplexActive, the line settings and the eight MODBUS primitives.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "common/error_info.h"
#include "common/hresult.h"

namespace qd40::transport {

// The transport's own failures (the refusal of a write is
// qd40TransportErrWriteRefused, 0x80048203, from common/hresult.h).
inline constexpr HRESULT kErrTimeout = qd40TransportErrTimeout;  // no (complete) answer in time
inline constexpr HRESULT kErrBadFrame = hr(0x80048202);      // CRC, slave, function or length wrong
inline constexpr HRESULT kErrNotConnected = hr(0x80048204);  // no line behind the channel
inline constexpr HRESULT kErrLine = hr(0x80048205);          // I/O failure of the line or socket
inline constexpr HRESULT kErrInvalidArg = hr(0x80048206);    // value the transport cannot use
inline constexpr HRESULT kErrConnect = hr(0x80048207);       // the line or socket cannot be opened
inline constexpr HRESULT kErrExceptionBase = hr(0x80048210);  // + MODBUS exception code

enum class ChannelKind : int16_t { Serial = 1, Tcp = 2 };

// Cabling of a serial line: 0 four wires, 1 two wires (the line echoes what
// is sent), 2 automatic check.
enum Cabling : int32_t { kWires4 = 0, kWires2 = 1, kWiresAutoCheck = 2 };

// The failure for MODBUS exception `code` answered to a read or a write. Only
// exception 4 on a write (the module refusing it) maps to 0x80048203.
Status exceptionStatus(int code, bool write);

class Transport {
public:
    virtual ~Transport() = default;

    virtual Status SelectChannel(const std::string& name, ChannelKind kind, int16_t& result) = 0;
    virtual Status Connect(int16_t& result) = 0;
    virtual Status CloseChannel(int16_t& code) = 0;
    // -1 when a line of the selected name is already open in this process.
    virtual int16_t ChannelAlreadyOpen() = 0;
    // -1 when the line works half duplex now (it echoes what is sent).
    virtual int16_t HalfDuplexActive() = 0;
    // The channel's COM port, 0 on TCP.
    virtual int32_t PortNumber() = 0;
    // Waits for this channel's turn on its line and holds it until the
    // result is released; null when the channel has no line to share.
    virtual std::shared_ptr<void> takeTurn() { return nullptr; }

    virtual Status SetPortNumber(int32_t port) = 0;
    virtual Status SetBaudRate(uint32_t rate) = 0;
    virtual Status SetParity(int32_t value) = 0;        // line option: 0 none, 1 odd, 2 even
    virtual Status SetStopBits(int32_t value) = 0;      // line option: 0 one, 2 two
    virtual Status SetFlowControl(int32_t value) = 0;   // line option: 0 none, 1 RTS/CTS
    virtual Status SetCharacterSize(int32_t bits) = 0;  // 7 or 8
    virtual Status SetDtrControl(int32_t value) = 0;    // line option: 0 left as is
    virtual Status SetRtsControl(int32_t value) = 0;    // line option: 0 left as is
    virtual Status SetChannelEnabled(int16_t enabled) = 0;
    virtual Status SetCabling(int32_t cabling) = 0;
    virtual Status SetRetries(uint8_t retries) = 0;
    virtual Status SetEndOfFrameTimeout(uint32_t ms) = 0;
    virtual Status SetAnswerTimeout(uint32_t ms) = 0;
    virtual Status SetHalfDuplexPause(uint16_t ms) = 0;
    virtual Status SetHostAddress(const std::string& host) = 0;
    virtual Status SetTcpPort(int32_t port) = 0;
    virtual Status GetComponentVersion(uint32_t& versionMS, uint32_t& versionLS,
                                       std::string& name) = 0;

    // The eight MODBUS primitives; `ret` is 0 after a successful transaction.
    // Coil values are 0 or 1.
    virtual Status ReadInputStatus(int dev, int32_t start, int qty, std::vector<uint8_t>& values,
                                   int32_t& ret) = 0;
    virtual Status ReadOutputStatus(int dev, int32_t start, int qty, std::vector<uint8_t>& values,
                                    int32_t& ret) = 0;
    virtual Status ForceSingleCoil(int dev, int32_t coil, bool on, int32_t& ret) = 0;
    virtual Status ForceMultipleCoils(int dev, int32_t start, std::span<const uint8_t> values,
                                      int32_t& ret) = 0;
    virtual Status ReadInputRegisters(int dev, int32_t start, int qty,
                                      std::vector<uint16_t>& values, int32_t& ret) = 0;
    virtual Status ReadOutputRegisters(int dev, int32_t start, int qty,
                                       std::vector<uint16_t>& values, int32_t& ret) = 0;
    virtual Status PresetSingleRegister(int dev, int32_t reg, uint16_t value, int32_t& ret) = 0;
    virtual Status PresetMultipleRegisters(int dev, int32_t start, std::span<const uint16_t> values,
                                           int32_t& ret) = 0;
};

// Creates a transport for a new channel; a null result means the transport
// cannot be created.
using TransportFactory = std::function<std::unique_ptr<Transport>()>;

}  // namespace qd40::transport
