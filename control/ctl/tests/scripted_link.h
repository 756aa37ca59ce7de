// A scripted Qd40 object for the control's tests: it logs every call with
// its key arguments, answers from a small module model (status word, device
// identity, registers, configuration blobs) and fails the calls the test names.
#pragma once
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/config/cfg_defaults.h"
#include "common/le_bytes.h"
#include "control/ctl/qd40_link.h"

namespace qd40::ctl::testing {

struct ModuleScript {
    uint16_t status = 0;
    uint16_t devId = 0xB052;
    std::string fileVersion = "A.00";
    std::string devVersion = "B.05";
    std::string setupName = "Line 2";
    std::map<uint32_t, uint16_t> registers;  // holding registers; a missing one fails a read
    cfg::FullCfgData fullCfg = cfg::defaultFullCfg();
    cfg::ChansResCfgData chansRes = cfg::defaultChansResCfg();
    cfg::EmailCfgData email = cfg::defaultEmailCfg();
    cfg::MemsStatusMaskCfgData masks = cfg::defaultMemsStatusMaskCfg();
    // Calls to fail, by log entry ("ReadRegs 901") or by member name ("Run").
    std::map<std::string, HRESULT> failures;
    std::vector<std::string> log;
    uint8_t lastWriteAddr = 0;  // device address of the last SendRegs

    bool remote() const { return status & 0xC000; }
};

class ScriptedLink final : public Qd40Link {
public:
    explicit ScriptedLink(std::shared_ptr<ModuleScript> m) : m_(std::move(m)) {}

    static Qd40Factory factory(std::shared_ptr<ModuleScript> m) {
        return [m](const std::string& host, std::unique_ptr<Qd40Link>& out) -> Status {
            m->log.push_back("create " + host);
            out = std::make_unique<ScriptedLink>(m);
            return Status::ok();
        };
    }

    const ErrorInfo& lastError() const override { return error_; }

    HRESULT Version(std::string* p) override { return call("Version", p, std::string("B.10")); }
    HRESULT GetBinVersion(uint32_t*, uint32_t*) override { return call("GetBinVersion"); }
    HRESULT PutAvailableComX(int32_t n, int32_t v) override {
        return call("PutAvailableComX " + args(n, v));
    }
    HRESULT PutBaudRateComX(int32_t n, uint32_t v) override {
        return call("PutBaudRateComX " + args(n, v));
    }
    HRESULT PutHalfDuplexComX(int32_t n, int32_t v) override {
        return call("PutHalfDuplexComX " + args(n, v));
    }
    HRESULT PutHalfDuplexPauseComX(int32_t n, uint16_t v) override {
        return call("PutHalfDuplexPauseComX " + args(n, v));
    }
    HRESULT PutEofCharQtyComX(int32_t n, uint8_t v) override {
        return call("PutEofCharQtyComX " + args(n, v));
    }
    HRESULT OpenComm(const std::string& a, int32_t n, int32_t*) override {
        return call("OpenComm '" + a + "' " + std::to_string(n));
    }
    HRESULT CloseComm(int32_t*) override { return call("CloseComm"); }
    HRESULT GetDevId(uint8_t, uint16_t* p) override { return call("GetDevId", p, m_->devId); }
    HRESULT Remote(uint8_t, int32_t*) override { return setStatus("Remote", 0xC000, true); }
    HRESULT Local(uint8_t, int32_t*) override { return setStatus("Local", 0xC000, false); }
    HRESULT Run(uint8_t, int32_t*) override { return setStatus("Run", 1, true); }
    HRESULT Stop(uint8_t, int32_t*) override { return setStatus("Stop", 1, false); }
    HRESULT Trig(uint8_t, int32_t*) override { return call("Trig"); }
    HRESULT MemRun(uint8_t, uint8_t b, int32_t*) override { return call("MemRun " + args(b)); }
    HRESULT MemStop(uint8_t, uint8_t b, int32_t*) override { return call("MemStop " + args(b)); }
    HRESULT MemTrig(uint8_t, uint8_t b, int32_t*) override { return call("MemTrig " + args(b)); }
    HRESULT MemStore(uint8_t, uint8_t b, int32_t*) override { return call("MemStore " + args(b)); }
    HRESULT MemClear(uint8_t, uint8_t b, int32_t*) override { return call("MemClear " + args(b)); }
    HRESULT SetRel(uint8_t, uint16_t r, int32_t on, int32_t*) override {
        return call("SetRel " + args(r, on));
    }
    HRESULT GetRel(uint8_t, uint16_t r, int32_t* p) override {
        return call("GetRel " + args(r), p, 0);
    }
    HRESULT GetDevVersion(uint8_t, std::string* p) override {
        return call("GetDevVersion", p, m_->devVersion);
    }
    HRESULT RunWithOptMem(uint8_t, uint8_t o, int32_t*) override {
        return call("RunWithOptMem " + args(o));
    }
    HRESULT GetDevFileVersion(uint8_t, std::string* p) override {
        return call("GetDevFileVersion", p, m_->fileVersion);
    }
    HRESULT SetLongFormatDefault(uint8_t, int32_t*) override {
        return call("SetLongFormatDefault");
    }
    HRESULT SetSetupDefault(uint8_t, int32_t*) override { return call("SetSetupDefault"); }
    HRESULT ReInitEmailAlerter(uint8_t, int32_t*) override { return call("ReInitEmailAlerter"); }
    HRESULT GetDate(uint8_t, double* p) override { return call("GetDate", p, 45000.5); }
    HRESULT SetDate(uint8_t, double, int32_t*) override { return call("SetDate"); }
    HRESULT ReadSetupName(uint8_t, std::string* p) override {
        return call("ReadSetupName", p, m_->setupName);
    }
    HRESULT MemRemove(uint8_t, uint8_t b, uint32_t q, int32_t*) override {
        return call("MemRemove " + args(b, q));
    }
    HRESULT GetFullCfg(uint8_t, Variant* p, int32_t*) override {
        return call("GetFullCfg", p, bytes(m_->fullCfg));
    }
    HRESULT SetFullCfg(uint8_t, const Variant* v, int32_t*) override {
        return store("SetFullCfg", v, m_->fullCfg);
    }
    HRESULT GetChansRes(uint8_t, Variant* p, int32_t*) override {
        return call("GetChansRes", p, bytes(m_->chansRes));
    }
    HRESULT SetChansRes(uint8_t, const Variant* v, int32_t*) override {
        return store("SetChansRes", v, m_->chansRes);
    }
    HRESULT GetStatus(uint8_t, uint16_t* p, int32_t*) override {
        return call("GetStatus", p, m_->status);
    }
    HRESULT GetCyStatus(uint8_t, Variant* p, int32_t*) override {
        std::vector<uint8_t> block(210);
        for (int n = 1; n <= 30; ++n) {
            le::setF32(block, 30 + 4 * size_t(n - 1), float(n) + 0.5f);
            le::setU16(block, 150 + 2 * size_t(n - 1), uint16_t(n));
        }
        return call("GetCyStatus", p, Variant::bytes(block));
    }
    HRESULT GetChansDelays(uint8_t, Variant*, int32_t*) override { return call("GetChansDelays"); }
    HRESULT GetMemsStatus(uint8_t, Variant*, int32_t*) override { return call("GetMemsStatus"); }
    HRESULT GetMemsStatusMask(uint8_t, Variant* p, int32_t*) override {
        return call("GetMemsStatusMask", p, bytes(m_->masks));
    }
    HRESULT SetMemsStatusMask(uint8_t, const Variant* v, int32_t*) override {
        return store("SetMemsStatusMask", v, m_->masks);
    }
    HRESULT GetMemRecCount(uint8_t, uint8_t b, uint32_t* p, int32_t*) override {
        return call("GetMemRecCount " + args(b), p, 0u);
    }
    HRESULT GetMemRecords(uint8_t, uint8_t b, uint32_t, uint32_t, int32_t, uint32_t*, Variant*,
                          int32_t*) override {
        return call("GetMemRecords " + args(b));
    }
    HRESULT ReadRegs(uint8_t, uint32_t first, int16_t qty, int32_t holding, Variant* p,
                     int32_t*) override {
        const std::string entry = "ReadRegs " + args(first, qty, holding);
        std::vector<uint16_t> words;
        for (uint32_t r = first; r < first + uint32_t(qty); ++r) {
            auto it = m_->registers.find(r);
            if (it == m_->registers.end())
                return failWith(entry, hr(0x80041402), "Illegal data address");
            words.push_back(it->second);
        }
        return call(entry, p, Variant::words(words));
    }
    HRESULT SendRegs(uint8_t dev, uint32_t first, int16_t qty, const Variant& v,
                     int32_t*) override {
        m_->lastWriteAddr = dev;
        const HRESULT h = call("SendRegs " + args(first, qty));
        if (succeeded(h))
            for (int16_t i = 0; i < qty; ++i)
                m_->registers[first + uint32_t(i)] = le::u16(v.data, 2 * size_t(i));
        return h;
    }
    HRESULT SendCmd(uint8_t, const Variant* cmd, int32_t, Variant*, int32_t*) override {
        std::string entry = "SendCmd";
        for (size_t i = 0; i + 1 < cmd->data.size(); i += 2)
            entry += " " + std::to_string(le::u16(cmd->data, i));
        return call(entry);
    }
    HRESULT GetEvtCount(uint8_t, uint16_t* p, int32_t*) override {
        return call("GetEvtCount", p, uint16_t(0));
    }
    HRESULT GetEvts(uint8_t, uint16_t, uint16_t*, Variant*, int32_t*) override {
        return call("GetEvts");
    }
    HRESULT ClrEvts(uint8_t, int32_t*) override { return call("ClrEvts"); }
    HRESULT GetEmailCfg(uint8_t, Variant* p, int32_t*) override {
        return call("GetEmailCfg", p, bytes(m_->email));
    }
    HRESULT SetEmailCfg(uint8_t, const Variant* v, int32_t*) override {
        return store("SetEmailCfg", v, m_->email);
    }
    HRESULT GetSentEmailCount(uint8_t, uint16_t* p, int32_t*) override {
        return call("GetSentEmailCount", p, uint16_t(0));
    }
    HRESULT SetSentEmailCount(uint8_t, uint16_t, int32_t*) override {
        return call("SetSentEmailCount");
    }

private:
    template <class... A>
    static std::string args(A... a) {
        std::string s;
        ((s += (s.empty() ? "" : " ") + std::to_string(a)), ...);
        return s;
    }
    template <size_t N>
    static Variant bytes(const std::array<uint8_t, N>& b) {
        return Variant::bytes(std::vector<uint8_t>(b.begin(), b.end()));
    }
    HRESULT failWith(const std::string& entry, HRESULT h, const std::string& text) {
        m_->log.push_back(entry);
        error_ = ErrorInfo{text, "OvixQd40Svr.Qd40.1", Guid{}};
        return h;
    }
    // Logs the call; fails it when the script names it.
    HRESULT call(const std::string& entry) {
        const std::string name = entry.substr(0, entry.find(' '));
        for (const std::string& key : {entry, name}) {
            if (auto it = m_->failures.find(key); it != m_->failures.end())
                return failWith(entry, it->second, name + " refused by the module");
        }
        m_->log.push_back(entry);
        return S_OK;
    }
    template <class T, class V>
    HRESULT call(const std::string& entry, T* out, V value) {
        const HRESULT h = call(entry);
        if (succeeded(h) && out)
            *out = std::move(value);
        return h;
    }
    HRESULT setStatus(const std::string& entry, uint16_t bits, bool on) {
        const HRESULT h = call(entry);
        if (succeeded(h))
            m_->status = on ? uint16_t(m_->status | bits) : uint16_t(m_->status & ~bits);
        return h;
    }
    template <size_t N>
    HRESULT store(const std::string& entry, const Variant* v, std::array<uint8_t, N>& into) {
        const HRESULT h = call(entry);
        if (succeeded(h) && v->data.size() == N)
            std::copy(v->data.begin(), v->data.end(), into.begin());
        return h;
    }

    std::shared_ptr<ModuleScript> m_;
    ErrorInfo error_;
};

}  // namespace qd40::ctl::testing
