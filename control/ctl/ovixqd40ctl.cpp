#include "control/ctl/ovixqd40ctl.h"

#include <algorithm>
#include <cstdio>

#include "common/config/ansi_text.h"
#include "common/config/cfg_defaults.h"
#include "common/config/code_tables.h"
#include "common/config/module_ext_block.h"
#include "common/le_bytes.h"
#include "common/module_commands.h"
#include "common/module_constants.h"
#include "common/module_registers.h"
#include "control/rules/min_periods.h"
#include "control/rules/module_checks.h"
#include "control/rules/resolution.h"
#include "control/rules/rule_message.h"
#include "ovixqd40_version.h"

namespace qd40::ctl {

namespace {

constexpr const char* kCommKey = "Software\\Ovix Servers\\OvixQd40Ctl\\Communication";
namespace reg = module::reg;
namespace status = module::status;
using module::Cmd;

constexpr uint32_t kCycleValuesOffset = 30;
constexpr uint32_t kCycleErrorsOffset = 150;
constexpr size_t kCycleStatusSize = 210;

template <class T>
bool nullOut(T* p) {
    return p == nullptr;
}

VariantBlob blobOf(std::span<const uint8_t> b) {
    return cfg::packBlob(b);
}
VariantBlob blobOf(const Variant& v) {
    return VariantBlob{v.vt, static_cast<uint16_t>(v.isArray() ? 1 : 0), v.data};
}

uint32_t readDword(platform::RegistryStore& reg, const char* name, uint32_t def) {
    if (auto v = reg.getDword(platform::Hive::LocalMachine, kCommKey, name))
        return *v;
    reg.setDword(platform::Hive::LocalMachine, kCommKey, name, def);
    return def;
}

}  // namespace

OvixQd40Ctl::OvixQd40Ctl(Qd40Factory factory, CtlContainer* container,
                         platform::RegistryStore registry)
    : factory_(std::move(factory)), container_(container), registry_(std::move(registry)) {}

OvixQd40Ctl::~OvixQd40Ctl() {
    if (open_)
        Close();
}

// ---- errors

HRESULT OvixQd40Ctl::report(const Status& st) {
    if (st.isOk())
        return S_OK;
    lastError_ = ErrorInfo{st.error.description, kCtlSource, kIOvixQd40CtlIid};
    return st.hr;
}

HRESULT OvixQd40Ctl::fail(HRESULT hr, int stringId) {
    return report(Status::failure(hr, rules::controlText(stringId)));
}

HRESULT OvixQd40Ctl::serverFailure(HRESULT hr) {
    const std::string text = link_ ? link_->lastError().description : std::string();
    return report(Status::failure(hr == S_OK ? E_FAIL : hr, text));
}

HRESULT OvixQd40Ctl::notOpen() {
    return fail(E_UNEXPECTED, ctl::kTxtNotOpened);
}

HRESULT OvixQd40Ctl::checked(HRESULT serverResult) {
    return failed(serverResult) ? serverFailure(serverResult) : S_OK;
}

void OvixQd40Ctl::changed() {
    modified_ = true;
    if (container_) {
        container_->setModified();
        container_->requestRedraw();
        container_->dataChanged();
    }
}

// ---- persistence

Status OvixQd40Ctl::Load(const PropertyBag& bag) {
    Status st = loadFromPropertyBag(bag, state_);
    if (st.isOk()) {
        defEditChanNum_ = 1;
        modified_ = false;
    }
    report(st);
    return st;
}

void OvixQd40Ctl::Save(PropertyBag& bag, bool clearDirty) {
    saveToPropertyBag(state_, bag);
    if (clearDirty)
        modified_ = false;
}

Status OvixQd40Ctl::Load(std::span<const uint8_t> stream, size_t* consumed) {
    Status st = loadFromStream(stream, state_, consumed);
    if (st.isOk()) {
        defEditChanNum_ = 1;
        modified_ = false;
    }
    report(st);
    return st;
}

Status OvixQd40Ctl::Save(OutStream& stream, bool clearDirty) {
    Status st = saveToStream(state_, stream);
    if (st.isOk() && clearDirty)
        modified_ = false;
    report(st);
    return st;
}

// ---- blob and connection properties

HRESULT OvixQd40Ctl::putBlob(const VariantBlob& v, std::span<uint8_t> blob) {
    // Unpack into a copy first so that a refused value leaves the property as it was.
    std::vector<uint8_t> tmp(blob.size());
    if (HRESULT h = report(cfg::unpackBlob(v, tmp)); failed(h))
        return h;
    std::copy(tmp.begin(), tmp.end(), blob.begin());
    changed();
    return S_OK;
}

#define QD40_OUT_CHECK(p) \
    if (nullOut(p))       \
    return fail(E_POINTER, ctl::kTxtInvalidPointer)

HRESULT OvixQd40Ctl::get_Cfg(VariantBlob* p) {
    return give(p, blobOf(state_.cfg));
}
HRESULT OvixQd40Ctl::put_Cfg(const VariantBlob& v) {
    return putBlob(v, state_.cfg);
}
HRESULT OvixQd40Ctl::get_ChansResCfg(VariantBlob* p) {
    return give(p, blobOf(state_.chansRes));
}
HRESULT OvixQd40Ctl::put_ChansResCfg(const VariantBlob& v) {
    return putBlob(v, state_.chansRes);
}
HRESULT OvixQd40Ctl::get_EmailCfg(VariantBlob* p) {
    return give(p, blobOf(state_.email));
}
HRESULT OvixQd40Ctl::put_EmailCfg(const VariantBlob& v) {
    return putBlob(v, state_.email);
}
HRESULT OvixQd40Ctl::get_MemsStatusMaskCfg(VariantBlob* p) {
    return give(p, blobOf(state_.memsStatusMask));
}
HRESULT OvixQd40Ctl::put_MemsStatusMaskCfg(const VariantBlob& v) {
    return putBlob(v, state_.memsStatusMask);
}
HRESULT OvixQd40Ctl::get_ChansExtCfg(VariantBlob* p) {
    return give(p, blobOf(cfg::ConstQd40ExtCfg(state_.ext).chansExt().bytes()));
}
HRESULT OvixQd40Ctl::put_ChansExtCfg(const VariantBlob& v) {
    return putBlob(v, cfg::Qd40ExtCfg(state_.ext).chansExt().bytes());
}
HRESULT OvixQd40Ctl::get_Qd40ExtCfg(VariantBlob* p) {
    return give(p, blobOf(state_.ext));
}
HRESULT OvixQd40Ctl::put_Qd40ExtCfg(const VariantBlob& v) {
    return putBlob(v, state_.ext);
}

HRESULT OvixQd40Ctl::get_Serial(int32_t* p) {
    return give(p, state_.conn.serial ? 1 : 0);
}
HRESULT OvixQd40Ctl::put_Serial(int32_t v) {
    state_.conn.serial = v != 0;
    changed();
    return S_OK;
}
HRESULT OvixQd40Ctl::get_IpAddr(std::string* p) {
    return give(p, state_.conn.ipAddr);
}
HRESULT OvixQd40Ctl::put_IpAddr(const std::string& v) {
    state_.conn.ipAddr = v;
    changed();
    return S_OK;
}
HRESULT OvixQd40Ctl::get_Port(int32_t* p) {
    return give(p, portNumber());
}
HRESULT OvixQd40Ctl::put_Port(int32_t v) {
    // The port persists as a 16-bit value: a TCP port above 32767 keeps its
    // bit pattern; anything wider cannot be kept.
    if (v < INT16_MIN || v > UINT16_MAX)
        return fail(E_INVALIDARG, ctl::kTxtInvalidArgument);
    state_.conn.port = static_cast<int16_t>(static_cast<uint16_t>(v));
    changed();
    return S_OK;
}
HRESULT OvixQd40Ctl::get_OvixQd40SvrParams(int32_t* p) {
    return give(p, state_.conn.ovixQd40SvrParams ? 1 : 0);
}
HRESULT OvixQd40Ctl::put_OvixQd40SvrParams(int32_t v) {
    state_.conn.ovixQd40SvrParams = v != 0;
    changed();
    return S_OK;
}
HRESULT OvixQd40Ctl::get_BaudRate(int32_t* p) {
    return give(p, static_cast<int32_t>(state_.conn.baudRate));
}
HRESULT OvixQd40Ctl::put_BaudRate(int32_t v) {
    if (v < 0)
        return fail(E_INVALIDARG, ctl::kTxtInvalidArgument);
    state_.conn.baudRate = static_cast<uint32_t>(v);
    changed();
    return S_OK;
}
HRESULT OvixQd40Ctl::get_MbAddr(int16_t* p) {
    return give(p, state_.conn.mbAddr);
}
HRESULT OvixQd40Ctl::put_MbAddr(int16_t v) {
    if (v < 0 || v > 255)
        return fail(E_INVALIDARG, ctl::kTxtInvalidArgument);
    state_.conn.mbAddr = static_cast<uint8_t>(v);
    changed();
    return S_OK;
}
HRESULT OvixQd40Ctl::get_SerialMode(int16_t* p) {
    return give(p, state_.conn.serialMode);
}
HRESULT OvixQd40Ctl::put_SerialMode(int16_t v) {
    if (v < 0 || v >= qd40SerialModeQty)
        return fail(E_INVALIDARG, ctl::kTxtInvalidArgument);
    state_.conn.serialMode = static_cast<uint8_t>(v);
    changed();
    return S_OK;
}
HRESULT OvixQd40Ctl::get_DefEditChanNum(int16_t* p) {
    return give(p, defEditChanNum_);
}
HRESULT OvixQd40Ctl::put_DefEditChanNum(int16_t v) {
    if (HRESULT h = report(rules::checkDefEditChanNum(v)); failed(h))
        return h;
    defEditChanNum_ = v;
    return S_OK;
}

// ---- open and close

HRESULT OvixQd40Ctl::get_IsOpen(int32_t* p) {
    return give(p, open_ ? 1 : 0);
}

HRESULT OvixQd40Ctl::pushPortSettings() {
    const int32_t port = portNumber();
    HRESULT h = link_->PutAvailableComX(port, 1);
    if (succeeded(h))
        h = link_->PutBaudRateComX(port, state_.conn.baudRate);
    if (succeeded(h))
        h = link_->PutHalfDuplexComX(port, 2);
    if (failed(h))
        return serverFailure(h);
    const uint32_t pauseStd = readDword(registry_, "HalfDuplexPauseStd", 0);
    const uint32_t eofStd = readDword(registry_, "EofCharQtyStd", 4);
    const uint32_t pauseUsb = readDword(registry_, "HalfDuplexPauseUsb", 10);
    const uint32_t eofUsb = readDword(registry_, "EofCharQtyUsb", 4);
    const uint32_t pauseRadio = readDword(registry_, "HalfDuplexPauseRadio", 100);
    const uint32_t eofRadio = readDword(registry_, "EofCharQtyRadio", 8);
    uint32_t pause = pauseStd, eof = eofStd;
    if (state_.conn.serialMode == qd40SerialModeUsb)
        pause = pauseUsb, eof = eofUsb;
    if (state_.conn.serialMode == qd40SerialModeRadio)
        pause = pauseRadio, eof = eofRadio;
    h = link_->PutHalfDuplexPauseComX(port, static_cast<uint16_t>(pause));
    if (succeeded(h))
        h = link_->PutEofCharQtyComX(port, static_cast<uint8_t>(eof & 0xFF));
    return failed(h) ? serverFailure(h) : S_OK;
}

HRESULT OvixQd40Ctl::Open() {
    if (open_)
        return S_OK;
    const int addr = state_.conn.mbAddr;
    if (state_.conn.serial &&
        (addr < module::kFirstSerialAddress || addr > module::kLastSerialAddress))
        return report(Status::failure(
            E_INVALIDARG, "MODBUS address " + std::to_string(addr) +
                              " cannot be used on a serial line: " + module::kSerialAddressRule));
    const bool remoteServer = state_.conn.serial && !state_.conn.ipAddr.empty();
    const std::string host = remoteServer ? state_.conn.ipAddr : std::string();
    std::unique_ptr<Qd40Link> link;
    Status created = factory_ ? factory_(host, link)
                              : Status::failure(E_FAIL, "No communication server is available");
    if (created.isOk() && !link)
        created = Status::failure(E_FAIL, "No communication server object");
    if (!created.isOk()) {
        if (!remoteServer)
            return report(created);
        std::string text = rules::controlText(ctl::kTxtNoServer) + " " + host;
        if (created.hr == E_ACCESSDENIED)
            text += " (E_ACCESSDENIED)\n\n" + rules::controlText(ctl::kTxtAccessRights);
        else
            text +=
                strings::formatText(std::string(" (0x%08.8x)"), static_cast<unsigned>(created.hr));
        return report(Status::failure(created.hr, text));
    }
    link_ = std::move(link);
    const HRESULT h = openSteps();
    if (failed(h)) {
        const ErrorInfo failure = lastError_;
        if (open_)
            Close();
        else
            clearConnection();
        lastError_ = failure;
    }
    return h;
}

HRESULT OvixQd40Ctl::openSteps() {
    const int32_t port = portNumber();
    if (state_.conn.serial && !state_.conn.ovixQd40SvrParams) {
        if (HRESULT h = pushPortSettings(); failed(h))
            return h;
    }
    const bool remoteServer = state_.conn.serial && !state_.conn.ipAddr.empty();
    int32_t err = 0;
    HRESULT h = link_->OpenComm(remoteServer ? std::string() : state_.conn.ipAddr, port, &err);
    if (failed(h))
        return serverFailure(h);
    open_ = true;

    const uint8_t addr = state_.conn.mbAddr;
    Variant regs;
    saved901_.reset();
    // A module that may refuse the read is still opened; one that does not
    // answer ends the opening at once rather than after a second time-out.
    h = link_->ReadRegs(addr, reg::kLongFormatDefault, 1, 1, &regs, &err);
    if (h == qd40TransportErrTimeout)
        return serverFailure(h);
    if (succeeded(h) && regs.data.size() >= 2) {
        saved901_ = le::u16(regs.data, 0);
        saved901Addr_ = addr;
    }

    if (h = link_->SetLongFormatDefault(addr, &err); failed(h))
        return serverFailure(h);
    if (h = link_->GetDevId(addr, &devId_); failed(h))
        return serverFailure(h);
    if (h = report(rules::checkModuleDevice(devId_)); failed(h))
        return h;
    if (h = link_->GetDevFileVersion(addr, &devFileVersion_); failed(h))
        return serverFailure(h);
    return report(rules::checkModuleVersion(devFileVersion_));
}

void OvixQd40Ctl::clearConnection() {
    link_.reset();
    open_ = false;
    remoteHeld_ = false;
    devId_ = 0;
    devFileVersion_.clear();
    saved901_.reset();
}

HRESULT OvixQd40Ctl::Close() {
    if (!open_) {
        clearConnection();
        return S_OK;
    }
    HRESULT result = S_OK;
    int32_t err = 0;
    // Only a value actually read is restored: writing a made-up 0 would
    // change the module's register behind the operator's back.
    if (saved901_) {
        const uint16_t word = *saved901_;
        const HRESULT h = link_->SendRegs(saved901Addr_, reg::kLongFormatDefault, 1,
                                          Variant::words({&word, 1}), &err);
        if (failed(h))
            result = serverFailure(h);
    }
    const HRESULT h = link_->CloseComm(&err);
    if (failed(h) && succeeded(result))
        result = serverFailure(h);
    clearConnection();
    return result;
}

// ---- remote control and the command pattern

HRESULT OvixQd40Ctl::readStatusWord(uint16_t& status) {
    int32_t err = 0;
    return checked(link_->GetStatus(state_.conn.mbAddr, &status, &err));
}

HRESULT OvixQd40Ctl::takeRemote(bool& taken) {
    taken = false;
    if (remoteHeld_)
        return S_OK;
    uint16_t status = 0;
    if (HRESULT h = readStatusWord(status); failed(h))
        return h;
    const bool remote = status::has(status, status::kRem);
    const bool master = status::has(status, status::kRemp);
    if (remote && !master)
        return fail(qd40ErrRemoteOtherPort, ctl::kTxtOtherPort);
    // Held through this line may mean held by another client of the same
    // daemon: the server's mark tells them apart and refuses while another
    // client holds the module.
    int32_t err = 0;
    if (HRESULT h = link_->Remote(state_.conn.mbAddr, &err); failed(h))
        return serverFailure(h);
    // A module already under this line's control stays so after the operation.
    if (remote && master)
        remoteHeld_ = true;
    else
        taken = true;
    return S_OK;
}

HRESULT OvixQd40Ctl::giveBack(bool taken, HRESULT result) {
    if (!taken || !link_)
        return result;
    const ErrorInfo kept = lastError_;
    int32_t err = 0;
    const HRESULT h = link_->Local(state_.conn.mbAddr, &err);
    if (failed(result)) {
        lastError_ = kept;  // the operation's failure is the one to report
        return result;
    }
    return failed(h) ? serverFailure(h) : result;
}

template <class Op>
HRESULT OvixQd40Ctl::command(Op op) {
    if (!open_)
        return notOpen();
    RemoteTurn turn(*this);
    if (HRESULT h = turn.take(); failed(h))
        return h;
    int32_t err = 0;
    HRESULT h = op(*link_, state_.conn.mbAddr, &err);
    if (failed(h))
        h = serverFailure(h);
    return turn.finish(h);
}

HRESULT OvixQd40Ctl::Remote() {
    if (!open_)
        return notOpen();
    bool taken = false;
    const HRESULT h = takeRemote(taken);
    if (succeeded(h))
        remoteHeld_ = true;
    return h;
}

HRESULT OvixQd40Ctl::Local() {
    if (!open_)
        return notOpen();
    int32_t err = 0;
    remoteHeld_ = false;
    return checked(link_->Local(state_.conn.mbAddr, &err));
}

HRESULT OvixQd40Ctl::Run() {
    return command([](Qd40Link& l, uint8_t a, int32_t* e) { return l.Run(a, e); });
}
HRESULT OvixQd40Ctl::Stop() {
    return command([](Qd40Link& l, uint8_t a, int32_t* e) { return l.Stop(a, e); });
}
HRESULT OvixQd40Ctl::Trig() {
    return command([](Qd40Link& l, uint8_t a, int32_t* e) { return l.Trig(a, e); });
}

HRESULT OvixQd40Ctl::memCommand(int16_t block,
                                HRESULT (Qd40Link::*op)(uint8_t, uint8_t, int32_t*)) {
    if (!open_)
        return notOpen();
    if (HRESULT h = report(rules::checkMemBlockNumber(block)); failed(h))
        return h;
    const uint8_t b = static_cast<uint8_t>(block);
    return command([&](Qd40Link& l, uint8_t a, int32_t* e) { return (l.*op)(a, b, e); });
}
HRESULT OvixQd40Ctl::MemRun(int16_t b) {
    return memCommand(b, &Qd40Link::MemRun);
}
HRESULT OvixQd40Ctl::MemStop(int16_t b) {
    return memCommand(b, &Qd40Link::MemStop);
}
HRESULT OvixQd40Ctl::MemTrig(int16_t b) {
    return memCommand(b, &Qd40Link::MemTrig);
}
HRESULT OvixQd40Ctl::MemStore(int16_t b) {
    return memCommand(b, &Qd40Link::MemStore);
}
HRESULT OvixQd40Ctl::MemClear(int16_t b) {
    return memCommand(b, &Qd40Link::MemClear);
}

HRESULT OvixQd40Ctl::MemRemove(int16_t block, uint32_t qty) {
    if (!open_)
        return notOpen();
    if (HRESULT h = report(rules::checkMemBlockNumber(block)); failed(h))
        return h;
    const uint8_t b = static_cast<uint8_t>(block);
    return command([&](Qd40Link& l, uint8_t a, int32_t* e) { return l.MemRemove(a, b, qty, e); });
}

HRESULT OvixQd40Ctl::RunWithOptMem(int16_t option) {
    if (!open_)
        return notOpen();
    if (option < 0 || option >= 3)
        return fail(E_INVALIDARG, ctl::kTxtInvalidArgument);
    const uint8_t o = static_cast<uint8_t>(option);
    return command([&](Qd40Link& l, uint8_t a, int32_t* e) { return l.RunWithOptMem(a, o, e); });
}

HRESULT OvixQd40Ctl::SetRel(int16_t relay, int32_t on) {
    if (!open_)
        return notOpen();
    return command([&](Qd40Link& l, uint8_t a, int32_t* e) {
        return l.SetRel(a, static_cast<uint16_t>(relay), on, e);
    });
}

HRESULT OvixQd40Ctl::SetLongFormatDefault() {
    return command([](Qd40Link& l, uint8_t a, int32_t* e) { return l.SetLongFormatDefault(a, e); });
}
HRESULT OvixQd40Ctl::SetSetupDefault() {
    return command([](Qd40Link& l, uint8_t a, int32_t* e) { return l.SetSetupDefault(a, e); });
}
HRESULT OvixQd40Ctl::ReInitEmailAlerter() {
    return command([](Qd40Link& l, uint8_t a, int32_t* e) { return l.ReInitEmailAlerter(a, e); });
}
HRESULT OvixQd40Ctl::SetDate(double date) {
    return command([&](Qd40Link& l, uint8_t a, int32_t* e) { return l.SetDate(a, date, e); });
}

HRESULT OvixQd40Ctl::BoardInit() {
    const uint16_t block[] = {module::code(Cmd::BoardInit), 2, module::kConfirmWord1,
                              module::kConfirmWord2};
    return command([&](Qd40Link& l, uint8_t a, int32_t* e) {
        const Variant cmd = Variant::words(block);
        return l.SendCmd(a, &cmd, 0, nullptr, e);
    });
}

HRESULT OvixQd40Ctl::ForceRemote() {
    if (!open_)
        return notOpen();
    // Stop with the two confirmation words forces remote control to this line.
    const uint16_t block[] = {module::code(Cmd::Stop), 2, module::kConfirmWord1,
                              module::kConfirmWord2};
    const Variant cmd = Variant::words(block);
    int32_t err = 0;
    return checked(link_->SendCmd(state_.conn.mbAddr, &cmd, 0, nullptr, &err));
}

// ---- status and reads (no remote control needed)

bool OvixQd40Ctl::statusBit(int bit, int32_t* p, HRESULT& result) {
    if (nullOut(p))
        return (result = fail(E_POINTER, ctl::kTxtInvalidPointer)), false;
    if (!open_)
        return (result = notOpen()), false;
    uint16_t status = 0;
    if (result = readStatusWord(status); failed(result))
        return false;
    *p = (status >> bit) & 1;
    return true;
}

#define QD40_STATUS_BIT(name, bit)          \
    HRESULT OvixQd40Ctl::name(int32_t* p) { \
        HRESULT h = S_OK;                   \
        statusBit(bit, p, h);               \
        return h;                           \
    }
QD40_STATUS_BIT(get_IsRunning, status::kRun)
QD40_STATUS_BIT(get_IsWaiting, status::kWai)
QD40_STATUS_BIT(get_IsRemote, status::kRem)
QD40_STATUS_BIT(get_IsMaster, status::kRemp)
QD40_STATUS_BIT(get_NewMeas, status::kMeas)
QD40_STATUS_BIT(get_Alarm1, status::kAlg1)
QD40_STATUS_BIT(get_Alarm2, status::kAlg2)
#undef QD40_STATUS_BIT

HRESULT OvixQd40Ctl::GetStatus(int16_t* p) {
    QD40_OUT_CHECK(p);
    if (!open_)
        return notOpen();
    uint16_t status = 0;
    if (HRESULT h = readStatusWord(status); failed(h))
        return h;
    *p = static_cast<int16_t>(status);
    return S_OK;
}

HRESULT OvixQd40Ctl::get_DevType(std::string* p) {
    QD40_OUT_CHECK(p);
    if (!open_)
        return notOpen();
    if (HRESULT h = link_->GetDevId(state_.conn.mbAddr, &devId_); failed(h))
        return serverFailure(h);
    *p = std::string(rules::deviceTypeText(devId_));
    return S_OK;
}

#define QD40_VARIANT_READ(name, serverCall)                                         \
    HRESULT OvixQd40Ctl::name(VariantBlob* p) {                                     \
        QD40_OUT_CHECK(p);                                                          \
        if (!open_)                                                                 \
            return notOpen();                                                       \
        Variant v;                                                                  \
        int32_t err = 0;                                                            \
        if (HRESULT h = link_->serverCall(state_.conn.mbAddr, &v, &err); failed(h)) \
            return serverFailure(h);                                                \
        *p = blobOf(v);                                                             \
        return S_OK;                                                                \
    }
QD40_VARIANT_READ(GetCyStatus, GetCyStatus)
QD40_VARIANT_READ(GetMemsStatus, GetMemsStatus)
QD40_VARIANT_READ(GetChansResStatus, GetChansRes)
QD40_VARIANT_READ(GetChansDelaysStatus, GetChansDelays)
#undef QD40_VARIANT_READ

HRESULT OvixQd40Ctl::checkedChannel(int16_t chan) {
    return report(rules::checkChannelNumber(chan));
}

HRESULT OvixQd40Ctl::GetChans(int16_t first, int16_t qty, VariantBlob* pvValues,
                              VariantBlob* pvErrors) {
    if (nullOut(pvValues) || nullOut(pvErrors))
        return fail(E_POINTER, ctl::kTxtInvalidPointer);
    if (!open_)
        return notOpen();
    if (first < 1 || first > cfg::kChannels || qty < 1 || first + qty > cfg::kChannels + 1)
        return report(rules::checkChannelNumber(0));
    VariantBlob cycle;
    if (HRESULT h = GetCyStatus(&cycle); failed(h))
        return h;
    if (cycle.data.size() < kCycleStatusSize)
        return report(Status::failure(E_FAIL, "The module's cycle status is too short"));
    VariantBlob values{cfg::VT_ARRAY | cfg::VT_R4, 1, {}};
    VariantBlob errors{cfg::VT_ARRAY | cfg::VT_I2, 1, {}};
    for (int n = first; n < first + qty; ++n) {
        const auto v = cycle.data.begin() + kCycleValuesOffset + 4 * (n - 1);
        const auto e = cycle.data.begin() + kCycleErrorsOffset + 2 * (n - 1);
        values.data.insert(values.data.end(), v, v + 4);
        errors.data.insert(errors.data.end(), e, e + 2);
    }
    *pvValues = std::move(values);
    *pvErrors = std::move(errors);
    return S_OK;
}

HRESULT OvixQd40Ctl::GetChan(int16_t chan, float* pValue, int16_t* pError) {
    if (nullOut(pValue) || nullOut(pError))
        return fail(E_POINTER, ctl::kTxtInvalidPointer);
    if (!open_)
        return notOpen();
    VariantBlob values, errors;
    if (HRESULT h = checkedChannel(chan); failed(h))
        return h;
    if (HRESULT h = GetChans(chan, 1, &values, &errors); failed(h))
        return h;
    *pValue = le::f32(values.data, 0);
    *pError = le::i16(errors.data, 0);
    return S_OK;
}

HRESULT OvixQd40Ctl::GetRel(int16_t relay, int32_t* pOn) {
    QD40_OUT_CHECK(pOn);
    if (!open_)
        return notOpen();
    return checked(link_->GetRel(state_.conn.mbAddr, static_cast<uint16_t>(relay), pOn));
}

HRESULT OvixQd40Ctl::GetMemRecCount(int16_t block, uint32_t* pCount) {
    QD40_OUT_CHECK(pCount);
    if (!open_)
        return notOpen();
    if (HRESULT h = report(rules::checkMemBlockNumber(block)); failed(h))
        return h;
    int32_t err = 0;
    return checked(
        link_->GetMemRecCount(state_.conn.mbAddr, static_cast<uint8_t>(block), pCount, &err));
}

HRESULT OvixQd40Ctl::GetMemRecords(int16_t block, uint32_t first, uint32_t qty, int32_t clear,
                                   uint32_t* pRead, VariantBlob* pvRecords) {
    if (nullOut(pRead) || nullOut(pvRecords))
        return fail(E_POINTER, ctl::kTxtInvalidPointer);
    if (!open_)
        return notOpen();
    if (HRESULT h = report(rules::checkMemBlockNumber(block)); failed(h))
        return h;
    Variant records;
    int32_t err = 0;
    const HRESULT h = link_->GetMemRecords(state_.conn.mbAddr, static_cast<uint8_t>(block), first,
                                           qty, clear, pRead, &records, &err);
    if (failed(h))
        return serverFailure(h);
    *pvRecords = blobOf(records);
    return S_OK;
}

HRESULT OvixQd40Ctl::GetEvtCount(uint16_t* pCount) {
    QD40_OUT_CHECK(pCount);
    if (!open_)
        return notOpen();
    int32_t err = 0;
    return checked(link_->GetEvtCount(state_.conn.mbAddr, pCount, &err));
}

HRESULT OvixQd40Ctl::GetEvts(uint16_t qty, uint16_t* pRead, VariantBlob* pvEvents) {
    if (nullOut(pRead) || nullOut(pvEvents))
        return fail(E_POINTER, ctl::kTxtInvalidPointer);
    if (!open_)
        return notOpen();
    Variant events;
    int32_t err = 0;
    const HRESULT h = link_->GetEvts(state_.conn.mbAddr, qty, pRead, &events, &err);
    if (failed(h))
        return serverFailure(h);
    *pvEvents = blobOf(events);
    return S_OK;
}

HRESULT OvixQd40Ctl::ClrEvts() {
    if (!open_)
        return notOpen();
    int32_t err = 0;
    return checked(link_->ClrEvts(state_.conn.mbAddr, &err));
}

HRESULT OvixQd40Ctl::get_DevVersion(std::string* p) {
    QD40_OUT_CHECK(p);
    if (!open_)
        return notOpen();
    return checked(link_->GetDevVersion(state_.conn.mbAddr, p));
}

HRESULT OvixQd40Ctl::get_DevFileVersion(std::string* p) {
    return give(p, devFileVersion_);
}

HRESULT OvixQd40Ctl::GetSentEmailCount(uint16_t* pCount) {
    QD40_OUT_CHECK(pCount);
    if (!open_)
        return notOpen();
    int32_t err = 0;
    return checked(link_->GetSentEmailCount(state_.conn.mbAddr, pCount, &err));
}

HRESULT OvixQd40Ctl::SetSentEmailCount(uint16_t count) {
    if (!open_)
        return notOpen();
    int32_t err = 0;
    return checked(link_->SetSentEmailCount(state_.conn.mbAddr, count, &err));
}

HRESULT OvixQd40Ctl::GetDate(double* pDate) {
    QD40_OUT_CHECK(pDate);
    if (!open_)
        return notOpen();
    return checked(link_->GetDate(state_.conn.mbAddr, pDate));
}

HRESULT OvixQd40Ctl::ReadSetupName(std::string* p) {
    QD40_OUT_CHECK(p);
    if (!open_)
        return notOpen();
    std::string version;
    if (HRESULT h = link_->GetDevVersion(state_.conn.mbAddr, &version); failed(h))
        return serverFailure(h);
    // Test firmware from "Z.00" to below "Z.13" answers its setup name only under remote control.
    const bool needsRemote = version >= "Z.00" && version < "Z.13";
    RemoteTurn turn(*this);
    if (needsRemote) {
        if (HRESULT h = turn.take(); failed(h))
            return h;
    }
    HRESULT h = link_->ReadSetupName(state_.conn.mbAddr, p);
    if (failed(h))
        h = serverFailure(h);
    return turn.finish(h);
}

HRESULT OvixQd40Ctl::GetQd40IUserRef(Qd40Link** pp) {
    QD40_OUT_CHECK(pp);
    *pp = open_ ? link_.get() : nullptr;
    return S_OK;
}

// ---- configuration transfers

HRESULT OvixQd40Ctl::SendCfg() {
    if (!open_)
        return notOpen();
    uint16_t status = 0;
    if (HRESULT h = readStatusWord(status); failed(h))
        return h;
    if (status::has(status, status::kRun))
        return fail(E_UNEXPECTED, ctl::kTxtStopFirst);
    RemoteTurn turn(*this);
    if (HRESULT h = turn.take(); failed(h))
        return h;

    const uint8_t addr = state_.conn.mbAddr;
    int32_t err = 0;
    const Variant full = Variant::bytes({state_.cfg.begin(), state_.cfg.end()});
    const Variant res = Variant::bytes({state_.chansRes.begin(), state_.chansRes.end()});
    const Variant email = Variant::bytes({state_.email.begin(), state_.email.end()});
    const Variant masks =
        Variant::bytes({state_.memsStatusMask.begin(), state_.memsStatusMask.end()});
    HRESULT h = link_->SetFullCfg(addr, &full, &err);
    if (succeeded(h))
        h = link_->SetChansRes(addr, &res, &err);
    if (succeeded(h))
        h = link_->SetEmailCfg(addr, &email, &err);
    if (succeeded(h))
        h = link_->SetMemsStatusMask(addr, &masks, &err);
    if (succeeded(h)) {
        const auto block =
            cfg::makeModuleExtBlock(ownFileVersion(), cfg::ConstQd40ExtCfg(state_.ext));
        const auto regs = cfg::bytesToRegisters(block);
        h = link_->SendRegs(addr, cfg::kExtBlockRegister, cfg::kExtBlockRegisters,
                            Variant::words(regs, server::VT_UI2), &err);
    }
    if (failed(h))
        h = serverFailure(h);
    return turn.finish(h);
}

HRESULT OvixQd40Ctl::readExtArea(int16_t registers, std::vector<uint8_t>& bytes) {
    Variant v;
    int32_t err = 0;
    const HRESULT h =
        link_->ReadRegs(state_.conn.mbAddr, cfg::kExtBlockRegister, registers, 1, &v, &err);
    if (failed(h))
        return serverFailure(h);
    if (v.data.size() < size_t(registers) * 2)
        return report(Status::failure(E_FAIL, "The module answered fewer registers than asked"));
    // ReadRegs gives each register as a little-endian word: the block's own byte order.
    bytes.assign(v.data.begin(), v.data.begin() + registers * 2);
    return S_OK;
}

HRESULT OvixQd40Ctl::ReadCfg() {
    if (!open_)
        return notOpen();
    RemoteTurn turn(*this);
    if (HRESULT h = turn.take(); failed(h))
        return h;
    const uint8_t addr = state_.conn.mbAddr;
    int32_t err = 0;
    Variant full, res, email, masks;
    HRESULT h = link_->GetFullCfg(addr, &full, &err);
    if (succeeded(h))
        h = link_->GetChansRes(addr, &res, &err);
    if (succeeded(h))
        h = link_->GetEmailCfg(addr, &email, &err);
    if (succeeded(h))
        h = link_->GetMemsStatusMask(addr, &masks, &err);
    if (failed(h))
        return turn.finish(serverFailure(h));

    CtlState next = state_;
    const Status unpacked[] = {cfg::unpackBlob(blobOf(full), next.cfg),
                               cfg::unpackBlob(blobOf(res), next.chansRes),
                               cfg::unpackBlob(blobOf(email), next.email),
                               cfg::unpackBlob(blobOf(masks), next.memsStatusMask)};
    for (const Status& st : unpacked)
        if (!st.isOk())
            return turn.finish(report(st));
    fixChannelResolutions(next.cfg, next.chansRes);

    std::vector<uint8_t> block;
    if (h = readExtArea(cfg::kExtBlockRegisters, block); failed(h))
        return turn.finish(h);
    const cfg::ConstModuleExtBlock ext(block);
    if (cfg::isTrustedIdentity(ext.identity(), ownFileVersion())) {
        const auto carried = ext.ext().bytes();
        std::copy(carried.begin(), carried.end(), next.ext.begin());
    } else
        next.ext.fill(0);
    state_ = next;
    changed();
    return turn.finish(S_OK);
}

HRESULT OvixQd40Ctl::SendCfgFileIdn(uint32_t time, const std::string& name) {
    if (!open_)
        return notOpen();
    uint16_t status = 0;
    if (HRESULT h = readStatusWord(status); failed(h))
        return h;
    if (status::has(status, status::kRun))
        return fail(E_UNEXPECTED, ctl::kTxtStopFirst);
    return command([&](Qd40Link& l, uint8_t a, int32_t* e) {
        // The module keeps the name as Windows-1252 text; a character without
        // an 8-bit form is sent as '?'.
        const auto idn = cfg::makeCfgIdentity(ownFileVersion(), cfg::utf8ToAnsi(name), time);
        const auto regs = cfg::bytesToRegisters(idn);
        return l.SendRegs(a, cfg::kExtBlockRegister, cfg::kCfgIdentityRegisters,
                          Variant::words(regs, server::VT_UI2), e);
    });
}

HRESULT OvixQd40Ctl::ReadCfgFileIdn(uint32_t* pTime, std::string* pName) {
    if (nullOut(pTime) || nullOut(pName))
        return fail(E_POINTER, ctl::kTxtInvalidPointer);
    if (!open_)
        return notOpen();
    RemoteTurn turn(*this);
    if (HRESULT h = turn.take(); failed(h))
        return h;
    std::vector<uint8_t> bytes;
    HRESULT h = readExtArea(cfg::kCfgIdentityRegisters, bytes);
    if (succeeded(h)) {
        const cfg::ConstCfgIdentity idn(bytes);
        if (cfg::isTrustedIdentity(idn, ownFileVersion())) {
            *pName = cfg::ansiToUtf8(idn.cfgName());
            *pTime = idn.cfgTime();
        }
    }
    return turn.finish(h);
}

// ---- offline members

HRESULT OvixQd40Ctl::get_Version(std::string* p) {
    return give(p, version::ovixqd40::kProductVersion);
}

HRESULT OvixQd40Ctl::GetBinVersion(uint32_t* pMS, uint32_t* pLS, int32_t* pError) {
    if (nullOut(pMS) || nullOut(pLS) || nullOut(pError))
        return fail(E_POINTER, ctl::kTxtInvalidPointer);
    *pMS = ownFileVersion().ms;
    *pLS = ownFileVersion().ls;
    *pError = 0;
    return S_OK;
}

HRESULT OvixQd40Ctl::Fct2str(int16_t fct, std::string* p) {
    return give(p, std::string(cfg::functionText(fct)));
}

HRESULT OvixQd40Ctl::Rge2str(int16_t fct, int16_t rge, std::string* p) {
    return give(p, std::string(cfg::rangeText(fct, rge)));
}

HRESULT OvixQd40Ctl::GetChanMnemo(int16_t chan, std::string* p) {
    QD40_OUT_CHECK(p);
    if (HRESULT h = checkedChannel(chan); failed(h))
        return h;
    *p = cfg::ansiToUtf8(cfg::ConstQd40ExtCfg(state_.ext).chanMnemonic(chan));
    return S_OK;
}

HRESULT OvixQd40Ctl::GetChanUnit(int16_t chan, std::string* p) {
    QD40_OUT_CHECK(p);
    if (HRESULT h = checkedChannel(chan); failed(h))
        return h;
    *p = cfg::ansiToUtf8(cfg::ConstQd40ExtCfg(state_.ext).chanUnit(chan));
    return S_OK;
}

HRESULT OvixQd40Ctl::GetChanDefMnemo(int16_t chan, std::string* p) {
    QD40_OUT_CHECK(p);
    if (HRESULT h = checkedChannel(chan); failed(h))
        return h;
    *p = cfg::defaultMnemonic(chan);
    return S_OK;
}

HRESULT OvixQd40Ctl::GetRgeDefUnit(int16_t fct, int16_t rge, std::string* p) {
    return give(p, cfg::ansiToUtf8(cfg::defaultUnit(fct, rge)));
}

HRESULT OvixQd40Ctl::GetQd40Mnemo(std::string* p) {
    return give(p, cfg::ansiToUtf8(cfg::ConstQd40ExtCfg(state_.ext).moduleMnemonic()));
}

HRESULT OvixQd40Ctl::GetCfgMinAcqPeriod(const VariantBlob& vCfg, uint32_t* pMinAcqMs,
                                        uint32_t* pAuxMs, int32_t* pCode) {
    if (nullOut(pMinAcqMs) || nullOut(pAuxMs) || nullOut(pCode))
        return fail(E_POINTER, ctl::kTxtInvalidPointer);
    rules::MinPeriods periods;
    if (HRESULT h = report(rules::getCfgMinAcqPeriod(vCfg, &periods)); failed(h))
        return h;
    *pMinAcqMs = periods.minAcqPeriodMs;
    *pAuxMs = periods.auxPeriodMs;
    *pCode = periods.errCode;
    return S_OK;
}

HRESULT OvixQd40Ctl::GetDefChanResol(int16_t fct, int16_t rge, int16_t acc, float* pRound,
                                     uint16_t* pResol) {
    if (nullOut(pRound) || nullOut(pResol))
        return fail(E_POINTER, ctl::kTxtInvalidPointer);
    const rules::DefaultResolution r = rules::defaultChanResol(fct, rge, acc);
    *pRound = r.roundStep;
    *pResol = r.decimals;
    return S_OK;
}

#undef QD40_OUT_CHECK

}  // namespace qd40::ctl
