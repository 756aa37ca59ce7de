#include "server/tests/fake_transport.h"

#include "common/module_registers.h"
#include "server/transport/line.h"

namespace qd40::server::testing {

using transport::ChannelKind;

std::vector<std::string> FakeModule::requests() const {
    std::vector<std::string> r;
    for (const auto& line : log)
        if (!line.empty() && (line[0] == 'R' || line[0] == 'W') && line.rfind("Rts", 0) != 0 &&
            line.rfind("Retries", 0) != 0)
            r.push_back(line);
    return r;
}

namespace {

class FakeTransport final : public transport::Transport {
public:
    explicit FakeTransport(FakeModule& m) : m_(m) { ++m_.transportsAlive; }
    ~FakeTransport() override { --m_.transportsAlive; }

    Status SelectChannel(const std::string& name, ChannelKind kind, int16_t& result) override {
        result = 0;
        tcp_ = kind == ChannelKind::Tcp;
        return note("SelectChannel " + name + " " + std::to_string(int(kind)));
    }
    Status Connect(int16_t& result) override {
        Status st = note("Connect");
        result = st ? m_.connectResult : 0;
        return st;
    }
    Status CloseChannel(int16_t& code) override {
        code = 0;
        return note("CloseChannel");
    }
    int16_t ChannelAlreadyOpen() override { return m_.channelAlreadyOpen ? -1 : 0; }
    int16_t HalfDuplexActive() override { return m_.halfDuplexActive; }
    int32_t PortNumber() override { return tcp_ ? 0 : m_.portNumber; }

    Status SetPortNumber(int32_t v) override {
        m_.portNumber = v;
        return note("PortNumber " + std::to_string(v));
    }
    Status SetBaudRate(uint32_t v) override { return note("BaudRate " + std::to_string(v)); }
    Status SetParity(int32_t v) override { return note("Parity " + std::to_string(v)); }
    Status SetStopBits(int32_t v) override { return note("StopBits " + std::to_string(v)); }
    Status SetFlowControl(int32_t v) override { return note("FlowControl " + std::to_string(v)); }
    Status SetCharacterSize(int32_t v) override {
        return note("CharacterSize " + std::to_string(v));
    }
    Status SetDtrControl(int32_t v) override { return note("Dtr " + std::to_string(v)); }
    Status SetRtsControl(int32_t v) override { return note("Rts " + std::to_string(v)); }
    Status SetChannelEnabled(int16_t v) override {
        return note("ChannelEnabled " + std::to_string(v));
    }
    Status SetCabling(int32_t v) override { return note("Cabling " + std::to_string(v)); }
    Status SetRetries(uint8_t v) override { return note("Retries " + std::to_string(v)); }
    Status SetEndOfFrameTimeout(uint32_t v) override {
        return note("EofTimeOut " + std::to_string(v));
    }
    Status SetAnswerTimeout(uint32_t v) override {
        return note("AnswerTimeOut " + std::to_string(v));
    }
    Status SetHalfDuplexPause(uint16_t v) override {
        return note("HalfDuplexPause " + std::to_string(v));
    }
    Status SetHostAddress(const std::string& v) override { return note("HostAddress " + v); }
    Status SetTcpPort(int32_t v) override { return note("TcpPort " + std::to_string(v)); }
    Status GetComponentVersion(uint32_t& ms, uint32_t& ls, std::string& name) override {
        ms = ls = 0;
        name = "fake";
        return Status::ok();
    }

    Status ReadInputStatus(int dev, int32_t start, int qty, std::vector<uint8_t>& v,
                           int32_t& ret) override {
        return readBits("R2", dev, start, qty, v, ret);
    }
    Status ReadOutputStatus(int dev, int32_t start, int qty, std::vector<uint8_t>& v,
                            int32_t& ret) override {
        return readBits("R1", dev, start, qty, v, ret);
    }
    Status ForceSingleCoil(int, int32_t coil, bool on, int32_t& ret) override {
        ret = 0;
        if (Status st = request("W5 " + std::to_string(coil) + " " + (on ? "on" : "off")); !st)
            return st;
        if (Status st = refusal(); !st)
            return st;
        m_.coils[coil] = on;
        return Status::ok();
    }
    Status ForceMultipleCoils(int, int32_t start, std::span<const uint8_t> v,
                              int32_t& ret) override {
        ret = 0;
        if (Status st = request("W15 " + std::to_string(start) + " " + std::to_string(v.size()));
            !st)
            return st;
        if (Status st = refusal(); !st)
            return st;
        for (size_t i = 0; i < v.size(); ++i)
            m_.coils[start + int32_t(i)] = v[i];
        return Status::ok();
    }
    Status ReadInputRegisters(int, int32_t start, int qty, std::vector<uint16_t>& v,
                              int32_t& ret) override {
        return readRegs("R4", m_.input, start, qty, v, ret);
    }
    Status ReadOutputRegisters(int, int32_t start, int qty, std::vector<uint16_t>& v,
                               int32_t& ret) override {
        return readRegs("R3", m_.holding, start, qty, v, ret);
    }
    Status PresetSingleRegister(int, int32_t reg, uint16_t value, int32_t& ret) override {
        ret = 0;
        if (Status st = request("W6 " + std::to_string(reg) + " " + std::to_string(value)); !st)
            return st;
        if (Status st = refusal(); !st)
            return st;
        m_.holding[reg] = value;
        if (reg == module::reg::kCommand)
            runCommand({value});
        return Status::ok();
    }
    Status PresetMultipleRegisters(int, int32_t start, std::span<const uint16_t> v,
                                   int32_t& ret) override {
        ret = 0;
        if (Status st = request("W16 " + std::to_string(start) + " " + std::to_string(v.size()));
            !st)
            return st;
        if (v.size() > size_t(transport::kMaxWriteRegisters))
            return Status::failure(transport::kErrInvalidArg, "too many registers");
        if (Status st = refusal(); !st)
            return st;
        for (size_t i = 0; i < v.size(); ++i)
            m_.holding[start + int32_t(i)] = v[i];
        if (start == module::reg::kCommand) {
            std::vector<uint16_t> block;
            const int n = v.size() >= 2 ? m_.holding[module::reg::kAnswerLength] : 0;
            for (int i = 0; i < n + 2; ++i)
                block.push_back(m_.holding[module::reg::kCommand + i]);
            runCommand(block);
        }
        return Status::ok();
    }

private:
    Status note(const std::string& line) {
        m_.log.push_back(line);
        for (const auto& [prefix, st] : m_.failures)
            if (line.rfind(prefix, 0) == 0)
                return st;
        return Status::ok();
    }
    Status request(const std::string& line) { return note(line); }
    Status refusal() {
        if (m_.refuseWritesWith < 0)
            return Status::ok();
        m_.input[module::reg::kModuleError] = uint16_t(m_.refuseWritesWith);
        return transport::exceptionStatus(4, true);
    }
    Status readBits(const char* fn, int, int32_t start, int qty, std::vector<uint8_t>& v,
                    int32_t& ret) {
        ret = 0;
        if (Status st =
                request(std::string(fn) + " " + std::to_string(start) + " " + std::to_string(qty));
            !st)
            return st;
        v.assign(size_t(qty), 0);
        for (int i = 0; i < qty; ++i)
            v[i] = m_.coils[start + i];
        return Status::ok();
    }
    Status readRegs(const char* fn, std::map<int32_t, uint16_t>& mem, int32_t start, int qty,
                    std::vector<uint16_t>& v, int32_t& ret) {
        ret = 0;
        if (Status st =
                request(std::string(fn) + " " + std::to_string(start) + " " + std::to_string(qty));
            !st)
            return st;
        if (qty < 1 || qty > transport::kMaxReadRegisters)
            return Status::failure(transport::kErrInvalidArg, "bad quantity");
        v.assign(size_t(qty), 0);
        for (int i = 0; i < qty; ++i)
            v[i] = mem[start + i];
        return Status::ok();
    }
    void runCommand(const std::vector<uint16_t>& block) {
        std::vector<uint16_t> answer;
        if (m_.onCommand)
            answer = m_.onCommand(block);
        m_.input[module::reg::kAnswerLength] = uint16_t(answer.size());
        for (size_t i = 0; i < answer.size(); ++i)
            m_.input[module::reg::kAnswer + int32_t(i)] = answer[i];
    }

    FakeModule& m_;
    bool tcp_ = false;
};

}  // namespace

transport::TransportFactory FakeModule::factory() {
    return [this] {
        ++transportsCreated;
        return std::unique_ptr<transport::Transport>(new FakeTransport(*this));
    };
}

}  // namespace qd40::server::testing
