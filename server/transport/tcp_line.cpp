// MODBUS/TCP lines through libmodbus: one context per line, used by one
// call at a time (the line's turns). A connection the peer has closed is opened again once
// before a request is given up.
#include <modbus.h>
#include <netdb.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "server/transport/line.h"

namespace qd40::transport {

namespace {

// Why a connection could not be made, in words a person can act on.
Status connectFailure(const LineSettings& s, int err) {
    const std::string endpoint = s.host + ":" + std::to_string(s.tcpPort);
    // libmodbus's connect waits for the answer time-out and leaves the
    // errno of the connection still in progress when it runs out.
    if (err == EINPROGRESS || err == ETIMEDOUT)
        return Status::failure(kErrConnect, endpoint + ": connection timed out (no answer within " +
                                                std::to_string(s.answerMs) + " ms)");
    return Status::failure(kErrConnect, endpoint + ": " + modbus_strerror(err));
}

class TcpLine final : public Line {
public:
    TcpLine(modbus_t* ctx, const LineSettings& s) : ctx_(ctx), s_(s) {}
    ~TcpLine() override {
        modbus_close(ctx_);
        modbus_free(ctx_);
    }

    Status readBits(int dev, bool input, int32_t start, int qty,
                    std::vector<uint8_t>& values) override {
        if (Status st = checkRequest(dev, start, qty, kMaxReadBits); !st)
            return st;
        values.assign(size_t(qty), 0);
        return run(dev, false, [&] {
            return input ? modbus_read_input_bits(ctx_, start, qty, values.data())
                         : modbus_read_bits(ctx_, start, qty, values.data());
        });
    }
    Status readRegisters(int dev, bool input, int32_t start, int qty,
                         std::vector<uint16_t>& values) override {
        if (Status st = checkRequest(dev, start, qty, kMaxReadRegisters); !st)
            return st;
        values.assign(size_t(qty), 0);
        return run(dev, false, [&] {
            return input ? modbus_read_input_registers(ctx_, start, qty, values.data())
                         : modbus_read_registers(ctx_, start, qty, values.data());
        });
    }
    Status writeCoil(int dev, int32_t coil, bool on) override {
        if (Status st = checkRequest(dev, coil, 1, 1); !st)
            return st;
        return run(dev, true, [&] { return modbus_write_bit(ctx_, coil, on ? 1 : 0); });
    }
    Status writeCoils(int dev, int32_t start, std::span<const uint8_t> values) override {
        if (Status st = checkRequest(dev, start, int(values.size()), kMaxWriteBits); !st)
            return st;
        return run(dev, true, [&] {
            return modbus_write_bits(ctx_, start, int(values.size()), values.data());
        });
    }
    Status writeRegister(int dev, int32_t reg, uint16_t value) override {
        if (Status st = checkRequest(dev, reg, 1, 1); !st)
            return st;
        return run(dev, true, [&] { return modbus_write_register(ctx_, reg, value); });
    }
    Status writeRegisters(int dev, int32_t start, std::span<const uint16_t> values) override {
        if (Status st = checkRequest(dev, start, int(values.size()), kMaxWriteRegisters); !st)
            return st;
        return run(dev, true, [&] {
            return modbus_write_registers(ctx_, start, int(values.size()), values.data());
        });
    }

private:
    static bool connectionLost(int err) {
        return err == ECONNRESET || err == EPIPE || err == EBADF || err == ENOTCONN ||
               err == ECONNREFUSED;
    }

    template <typename Call>
    Status run(int dev, bool write, Call call) {
        // libmodbus refuses unit identifiers 248 to 254 on MODBUS/TCP and would
        // then send the request to the previous unit: refuse them here.
        if (modbus_set_slave(ctx_, dev) != 0)
            return Status::failure(kErrInvalidArg, "Device address " + std::to_string(dev) +
                                                       " cannot be used on MODBUS/TCP (0 to "
                                                       "247 or 255)");
        for (int attempt = 0;; ++attempt) {
            if (!connected_) {
                if (modbus_connect(ctx_) != 0)
                    return connectFailure(s_, errno);
                connected_ = true;
            }
            if (call() >= 0) {
                lateAnswers_ = false;
                return Status::ok();
            }
            const int err = errno;
            // MODBUS exceptions answered by the module; libmodbus numbers its
            // own frame errors just after them (EMBBADCRC and on).
            if (err >= EMBXILFUN && err <= EMBXGTAR)
                return exceptionStatus(err - MODBUS_ENOBASE, write);
            if (connectionLost(err) && attempt == 0) {
                modbus_close(ctx_);
                connected_ = false;
                continue;
            }
            if (err == ETIMEDOUT) {
                // A late answer must not be taken for the next one.
                modbus_flush(ctx_);
                lateAnswers_ = true;
                return Status::failure(kErrTimeout, "No answer from " + endpoint());
            }
            if (err == EMBBADDATA || err == EMBBADCRC || err == EMBBADSLAVE || err == EMBMDATA ||
                err == EMBBADEXC || err == EMBUNKEXC) {
                modbus_flush(ctx_);
                // After a time-out, an answer that does not fit is the late
                // answer to the request that timed out.
                if (lateAnswers_)
                    return Status::failure(kErrTimeout,
                                           "The module answered too late: " + endpoint() +
                                               " sent the answer to an earlier request after its "
                                               "time-out, in place of this one's");
                return Status::failure(kErrBadFrame,
                                       std::string("Invalid answer: ") + modbus_strerror(err));
            }
            modbus_close(ctx_);
            connected_ = false;
            return Status::failure(kErrLine, endpoint() + ": " + modbus_strerror(err));
        }
    }

    std::string endpoint() const { return s_.host + ":" + std::to_string(s_.tcpPort); }

    modbus_t* ctx_;
    LineSettings s_;
    bool connected_ = true;
    bool lateAnswers_ = false;  // a request timed out: its answer may still come
};

}  // namespace

std::shared_ptr<Line> openTcpLine(const LineSettings& s, Status& status) {
    if (s.host.empty() || s.tcpPort <= 0 || s.tcpPort > 65535) {
        status = Status::failure(
            kErrInvalidArg, "Invalid TCP endpoint " + s.host + ":" + std::to_string(s.tcpPort));
        return nullptr;
    }
    const std::string service = std::to_string(s.tcpPort);
    // libmodbus reports a name it cannot resolve as a refused connection.
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (const int rc = ::getaddrinfo(s.host.c_str(), service.c_str(), &hints, &found); rc != 0) {
        status = Status::failure(
            kErrConnect, "cannot resolve the host name " + s.host + ": " + ::gai_strerror(rc));
        return nullptr;
    }
    ::freeaddrinfo(found);
    modbus_t* ctx = modbus_new_tcp_pi(s.host.c_str(), service.c_str());
    if (!ctx) {
        status = Status::failure(kErrConnect,
                                 std::string("MODBUS/TCP context: ") + modbus_strerror(errno));
        return nullptr;
    }
    const uint32_t ms = s.answerMs == 0 ? 1 : s.answerMs;
    modbus_set_response_timeout(ctx, ms / 1000, (ms % 1000) * 1000);
    if (modbus_connect(ctx) != 0) {
        status = connectFailure(s, errno);
        modbus_free(ctx);
        return nullptr;
    }
    status = Status::ok();
    return std::make_shared<TcpLine>(ctx, s);
}

}  // namespace qd40::transport
