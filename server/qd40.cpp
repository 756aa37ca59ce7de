#include "server/qd40.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "common/ansi_text.h"
#include "common/config/cfg_layout.h"
#include "common/dates.h"
#include "common/le_bytes.h"
#include "common/module_commands.h"
#include "common/module_constants.h"
#include "common/raw_record.h"
#include "platform/strings.h"
#include "qd40svr_version.h"
#include "server/qd40_detail.h"
#include "server/qd40_errors.h"
#include "server/qd40_ids.h"

namespace qd40::server {

using module::Cmd;
using transport::ChannelKind;
using namespace detail;

uint16_t normaliseChannelWord(uint16_t w) {
    if ((w & 0x0F) >= 8)
        w &= 0xFF00;
    const int function = w & 0x0F;
    const int range = (w >> 4) & 0x0F;
    if (range >= kRangesPerFunction[function])
        w &= uint16_t(~0x00F0);
    return w;
}

Qd40::Qd40(Qd40Context& context) : ctx_(context), objectHold_(context.life) {}

Qd40::~Qd40() {
    // A client that goes away (released, killed, interrupted) while it holds
    // a module under remote control gives the module back its control: no
    // module stays held by nobody until someone sends "local".
    if (transport_) {
        for (const auto& [address, mark] : remoteMutexes_) {
            int32_t ignored = 0;
            (void)io().writeSingle(address, reg::kCommand, module::code(Cmd::Local), ignored);
        }
    }
    closeChannel();
}

void Qd40::closeChannel() {
    remoteMutexes_.clear();
    if (transport_) {
        int16_t code = 0;
        (void)transport_->CloseChannel(code);
        transport_.reset();
    }
    channelHold_.reset();
}

HRESULT Qd40::fail(int messageId, HRESULT result, const Guid& iid) {
    lastError_ = reportError(messageId, result, iid);
    return lastError_.hr;
}

HRESULT Qd40::fail(const std::string& text, HRESULT result, const Guid& iid) {
    lastError_ = reportError(text, result, iid);
    return lastError_.hr;
}

HRESULT Qd40::fail(const Status& st, const Guid& iid) {
    return fail(st.error.description, st.hr, iid);
}

// ---------------------------------------------------------------- port settings

HRESULT Qd40::Version(std::string* pVal) {
    if (!pVal)
        return fail(kMsgInvalidPointer, E_POINTER, kIidIUser);
    *pVal = version::qd40svr::kProductVersion;
    return S_OK;
}

#define QD40_PORT_GET(Name, field)                                                      \
    HRESULT Qd40::Get##Name##ComX(int32_t nPort, decltype(PortSettings::field)* pVal) { \
        if (!pVal)                                                                      \
            return fail(kMsgInvalidPointer, E_POINTER, kIidIUser);                      \
        if (!PortSettingsTable::validPort(nPort))                                       \
            return fail(kMsgInvalidPort, E_INVALIDARG, kIidIUser);                      \
        std::lock_guard guard(ctx_.ports.guard());                                      \
        *pVal = ctx_.ports.port(nPort).field;                                           \
        return S_OK;                                                                    \
    }
#define QD40_PORT_PUT(Name, field)                                                       \
    HRESULT Qd40::Put##Name##ComX(int32_t nPort, decltype(PortSettings::field) newVal) { \
        if (!PortSettingsTable::validPort(nPort))                                        \
            return fail(kMsgInvalidPort, E_INVALIDARG, kIidIUser);                       \
        std::lock_guard guard(ctx_.ports.guard());                                       \
        ctx_.ports.port(nPort).field = newVal;                                           \
        return S_OK;                                                                     \
    }
QD40_PORT_GET(Available, available)
QD40_PORT_PUT(Available, available)
QD40_PORT_GET(BaudRate, baudRate)
QD40_PORT_GET(HalfDuplex, halfDuplex)
QD40_PORT_PUT(HalfDuplex, halfDuplex)
QD40_PORT_GET(HalfDuplexPause, halfDuplexPause)
QD40_PORT_PUT(HalfDuplexPause, halfDuplexPause)
QD40_PORT_GET(EofCharQty, eofCharQty)
QD40_PORT_PUT(EofCharQty, eofCharQty)
#undef QD40_PORT_GET
#undef QD40_PORT_PUT

HRESULT Qd40::PutBaudRateComX(int32_t nPort, uint32_t newVal) {
    if (!PortSettingsTable::validPort(nPort))
        return fail(kMsgInvalidPort, E_INVALIDARG, kIidIUser);
    if (!PortSettingsTable::validBaudRate(newVal))
        return fail(kMsgInvalidBaudRate, E_INVALIDARG, kIidIUser);
    std::lock_guard guard(ctx_.ports.guard());
    ctx_.ports.port(nPort).baudRate = newVal;
    return S_OK;
}

// ---------------------------------------------------------------- channel

HRESULT Qd40::OpenComm(const std::string& sIpAddr, int32_t nPort, int32_t* pnErrCode) {
    if (!pnErrCode)
        return fail(kMsgInvalidPointer, E_POINTER, kIidIUser);
    *pnErrCode = 0;
    // A second open closes the first channel, so its lock and line are not lost.
    closeChannel();
    transport_ = ctx_.createTransport ? ctx_.createTransport() : nullptr;
    if (!transport_)
        return fail(kMsgNoTransport, E_FAIL, kIidIUser);
    transport::Transport& t = *transport_;
    int16_t result = 0;
    // The settings as they stand now; other clients may change the table meanwhile.
    PortSettings p;
    uint32_t ipTimeOut = 0, rsTimeOut = 0;
    uint8_t retries = 0;
    {
        std::lock_guard guard(ctx_.ports.guard());
        if (PortSettingsTable::validPort(nPort))
            p = ctx_.ports.port(nPort);
        ipTimeOut = ctx_.ports.ipTimeOut;
        rsTimeOut = ctx_.ports.rsTimeOut;
        retries = ctx_.ports.retries;
    }

    auto failWith = [&](int message, const Status& st) {
        transport_.reset();
        if (st.isOk())
            return fail(message, E_FAIL, kIidIUser);
        return fail(messageText(message) + " (" + st.error.description + ")", E_FAIL, kIidIUser);
    };

    if (!sIpAddr.empty()) {
        channelName_ = sIpAddr + ":" + std::to_string(nPort);
        Status st = t.SelectChannel(channelName_, ChannelKind::Tcp, result);
        *pnErrCode = result;
        if (st)
            st = t.SetHostAddress(sIpAddr);
        if (st)
            st = t.SetTcpPort(nPort);
        if (st)
            st = t.SetAnswerTimeout(ipTimeOut);
        if (st)
            st = t.SetChannelEnabled(-1);
        if (st)
            st = t.Connect(result);
        if (!st)
            return failWith(kMsgCannotOpenIp, st);
        *pnErrCode = result;
        if (result == 0)
            return failWith(kMsgCannotOpenIp, Status::ok());
        serial_ = false;
    } else {
        if (!PortSettingsTable::validPort(nPort)) {
            transport_.reset();
            return fail(kMsgInvalidPort, E_INVALIDARG, kIidIUser);
        }
        if (p.available == 0) {
            transport_.reset();
            return fail(kMsgPortNotConfigured, E_FAIL, kIidIUser);
        }
        Status st = t.SelectChannel("COM" + std::to_string(nPort), ChannelKind::Serial, result);
        if (!st)
            return failWith(kMsgCannotOpenSerial, st);
        *pnErrCode = result;
        if (t.ChannelAlreadyOpen() != -1) {
            const uint32_t eof = PortSettingsTable::endOfFrameMs(p.eofCharQty, p.baudRate);
            if (st)
                st = t.SetHostAddress(sIpAddr);
            if (st)
                st = t.SetPortNumber(nPort);
            if (st)
                st = t.SetBaudRate(p.baudRate);
            if (st)
                st = t.SetParity(0);
            if (st)
                st = t.SetStopBits(0);
            if (st)
                st = t.SetEndOfFrameTimeout(eof);
            if (st)
                st = t.SetFlowControl(0);
            if (st)
                st = t.SetCharacterSize(8);
            if (st)
                st = t.SetDtrControl(0);
            if (st)
                st = t.SetChannelEnabled(-1);
            if (st)
                st = t.SetCabling(p.halfDuplex);
            if (st)
                st = t.SetRetries(retries);
            if (st)
                st = t.SetAnswerTimeout(rsTimeOut);
            if (st)
                st = t.SetRtsControl(0);
            if (st)
                st = t.SetHalfDuplexPause(p.halfDuplexPause);
            if (st)
                st = t.Connect(result);
            if (!st)
                return failWith(kMsgCannotOpenSerial, st);
            *pnErrCode = result;
            if (result == 0)
                return failWith(kMsgCannotOpenSerial, Status::ok());
        }
        serial_ = true;
    }
    channelHold_.emplace(ctx_.life);
    return S_OK;
}

HRESULT Qd40::CloseComm(int32_t* pnErrCode) {
    if (!pnErrCode)
        return fail(kMsgInvalidPointer, E_POINTER, kIidIUser);
    *pnErrCode = 0;
    if (!transport_)
        return S_OK;
    int16_t code = 0;
    Status st = transport_->CloseChannel(code);
    *pnErrCode = code;
    transport_.reset();
    closeChannel();
    if (!st)
        return fail(messageText(kMsgCannotClose) + " (" + st.error.description + ")", E_FAIL,
                    kIidIUser);
    return S_OK;
}

HRESULT Qd40::CommIsOpen(int32_t* pbIsOpen) {
    if (!pbIsOpen)
        return fail(kMsgInvalidPointer, E_POINTER, kIidIUser);
    *pbIsOpen = transport_ ? 1 : 0;
    return S_OK;
}

HRESULT Qd40::CommIsHalfDuplex(int32_t* pbIsHalfDuplex) {
    if (!pbIsHalfDuplex)
        return fail(kMsgInvalidPointer, E_POINTER, kIidIUser);
    *pbIsHalfDuplex = transport_ && serial_ && transport_->PortNumber() != 0 &&
                              transport_->HalfDuplexActive() == -1
                          ? 1
                          : 0;
    return S_OK;
}

HRESULT Qd40::Remote(uint8_t byDevAddr, int32_t* pnErrCode) {
    HRESULT result = S_OK;
    if (!begin(pnErrCode, kIidIUser, result))
        return result;
    uint16_t status = 0;
    int32_t ignored = 0;
    (void)GetStatus(byDevAddr, &status, &ignored);
    if (module::status::heldElsewhere(status))
        return fail(kMsgControlledOtherPort, E_FAIL, kIidIUser);
    // The objects of a daemon share one connection to a TCP module as they
    // share a serial line, so the module's status bits cannot tell them
    // apart: the named mark excludes them on both kinds of channel.
    const std::string name =
        serial_ ? strings::format("Qd40MutexCom%02d@%03d", int(transport_->PortNumber()),
                                  int(byDevAddr))
                : strings::format("Qd40MutexTcp%s@%03d", channelName_.c_str(), int(byDevAddr));
    auto created = ctx_.createMutex(name);
    if (created.outcome == platform::NamedMutex::Outcome::Failed)
        return fail(created.error, E_FAIL, kIidIUser);
    if (created.outcome == platform::NamedMutex::Outcome::AlreadyExists)
        return fail(kMsgControlledOtherClient, E_FAIL, kIidIUser);
    remoteMutexes_[byDevAddr] = std::move(created.mutex);
    Status st = io().writeSingle(byDevAddr, reg::kCommand, module::code(Cmd::Remote), *pnErrCode);
    if (!st) {
        // The module did not take the command: nobody holds it.
        remoteMutexes_.erase(byDevAddr);
        return fail(st, kIidIUser);
    }
    return S_OK;
}

HRESULT Qd40::Local(uint8_t byDevAddr, int32_t* pnErrCode) {
    HRESULT result = S_OK;
    if (!begin(pnErrCode, kIidIUser, result))
        return result;
    Status st = io().writeSingle(byDevAddr, reg::kCommand, module::code(Cmd::Local), *pnErrCode);
    remoteMutexes_.erase(byDevAddr);
    return st ? S_OK : fail(st, kIidIUser);
}

}  // namespace qd40::server
