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
#include "server/qd40_errors.h"
#include "server/qd40_ids.h"

namespace qd40::server {

using module::Cmd;
using transport::ChannelKind;

namespace {

constexpr int kReadChunk = 125;
constexpr int kWriteChunk = 100;
constexpr int kMaxEventsPerRequest = 48;
constexpr int kMaxRecordsPerRequest = 49;
// Readings of a batch that looks foreign before the read fails.
constexpr int kForeignBatchRetries = 2;
constexpr uint32_t kDefaultCapacity = 12000;

constexpr int kRangesPerFunction[8] = {1, 5, 2, 5, 1, 13, 14, 1};

constexpr uint16_t kSetupNameItem = 34;

std::vector<uint8_t> wordsToBytes(std::span<const uint16_t> words) {
    std::vector<uint8_t> b(words.size() * 2);
    for (size_t i = 0; i < words.size(); ++i)
        le::setU16(b, 2 * i, words[i]);
    return b;
}

std::vector<uint16_t> bytesToWords(std::span<const uint8_t> bytes) {
    std::vector<uint16_t> w(bytes.size() / 2);
    for (size_t i = 0; i < w.size(); ++i)
        w[i] = le::u16(bytes, 2 * i);
    return w;
}

// Texts packed two characters per register, first character in the high byte.
std::string unpackText(std::span<const uint16_t> words, size_t maxWords) {
    std::string s;
    for (size_t i = 0; i < words.size() && i < maxWords; ++i) {
        const char hi = char(words[i] >> 8), lo = char(words[i] & 0xFF);
        if (hi == 0)
            break;
        s.push_back(hi);
        if (lo == 0)
            break;
        s.push_back(lo);
    }
    return s;
}

// "A.03" from 0x4103. A zero letter ends the text at once, as it ends a C
// string: no text carries an embedded zero to its clients.
std::string versionText(uint16_t word) {
    if ((word >> 8) == 0)
        return {};
    return strings::format("%c.%02d", char(word >> 8), int(word & 0xFF));
}

// Whether an answer to command 11 can be this read's own. The mailbox is
// shared by every master of the module and its answer carries no request
// identifier: another master's command between ours and our answer read
// leaves its own records there. What the answer allows to check: its length
// (whole records, as many as asked, or fewer when the block ends) and the
// channel of each measurement record against the block's stored channels.
enum class BatchCheck { Full, Last, Foreign };

BatchCheck checkBatch(std::span<const uint16_t> answer, uint32_t asked, uint32_t channels) {
    if (answer.size() % module::kRawRecordWords != 0 ||
        answer.size() > size_t(asked) * module::kRawRecordWords)
        return BatchCheck::Foreign;
    for (size_t i = 0; i < answer.size(); i += module::kRawRecordWords) {
        const auto type = module::recordType(answer[i]);
        if (type != module::RecordType::Measurement && type != module::RecordType::MeasurementError)
            continue;
        const int channel = module::recordChannel(answer[i]);
        if (channel < 1 || channel > module::kChannelCount || !(channels >> (channel - 1) & 1))
            return BatchCheck::Foreign;
    }
    return answer.size() == size_t(asked) * module::kRawRecordWords ? BatchCheck::Full
                                                                    : BatchCheck::Last;
}

// An input image: a one-dimension array whose element type has bit 0 or bit
// 4 set (bytes qualify), holding at least the image.
bool usableImage(const Variant& v, size_t size) {
    const uint16_t et = v.elementType();
    return v.isArray() && (et & 0x11) != 0 && v.data.size() >= size;
}

// The acquisition words of the full record, one image of 5 registers.
std::span<uint8_t> acqPart(std::span<uint8_t> fullCfg) {
    return fullCfg.subspan(cfg::FullCfgView::kAcqWordsOffset, cfg::FullCfgView::kAcqWordsSize);
}

// The four limit masks of global alarm g (1 or 2), one image of 8 registers.
std::span<uint8_t> globalAlarmPart(std::span<uint8_t> fullCfg, int g) {
    return fullCfg.subspan(
        g == 1 ? cfg::FullCfgView::kGlobalAlarm1Offset : cfg::FullCfgView::kGlobalAlarm2Offset,
        4 * cfg::kLimits);
}

}  // namespace

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
            (void)writeSingle(address, reg::kCommand, module::code(Cmd::Local), ignored);
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

template <typename T>
bool Qd40::begin(T* out, const Guid& iid, HRESULT& result) {
    if (!out) {
        result = fail(kMsgInvalidPointer, E_POINTER, iid);
        return false;
    }
    *out = T{};
    if (!transport_) {
        result = fail(kMsgPortNotOpened, E_FAIL, iid);
        return false;
    }
    return true;
}

// ---------------------------------------------------------------- transfers

Status Qd40::refused(Status st, int dev) {
    if (st.hr != qd40TransportErrWriteRefused)
        return st;
    std::vector<uint16_t> code;
    int32_t ret = 0;
    Status read = transport_->ReadInputRegisters(dev, reg::kModuleError, 1, code, ret);
    if (!read)
        return read;
    return moduleError(code.empty() ? -1 : code[0]);
}

Status Qd40::readRegs(int dev, int32_t start, int qty, bool holding, std::vector<uint16_t>& out,
                      int32_t& ret) {
    out.assign(size_t(std::max(qty, 0)), 0);
    int done = 0;
    std::vector<uint16_t> part;
    while (done < qty) {
        // The remainder first, then full requests.
        const int n = done == 0 && qty % kReadChunk != 0 ? qty % kReadChunk : kReadChunk;
        Status st = holding ? transport_->ReadOutputRegisters(dev, start + done, n, part, ret)
                            : transport_->ReadInputRegisters(dev, start + done, n, part, ret);
        if (!st)
            return st;
        std::copy_n(part.begin(), std::min<size_t>(part.size(), size_t(n)), out.begin() + done);
        done += n;
    }
    return Status::ok();
}

Status Qd40::writeRegs(int dev, int32_t start, std::span<const uint16_t> words, int32_t& ret) {
    const int qty = int(words.size());
    int done = 0;
    while (done < qty) {
        const int n = done == 0 && qty % kWriteChunk != 0 ? qty % kWriteChunk : kWriteChunk;
        Status st = transport_->PresetMultipleRegisters(
            dev, start + done, words.subspan(size_t(done), size_t(n)), ret);
        if (!st)
            return refused(st, dev);
        done += n;
    }
    return Status::ok();
}

Status Qd40::writeSingle(int dev, int32_t regNum, uint16_t value, int32_t& ret) {
    return refused(transport_->PresetSingleRegister(dev, regNum, value, ret), dev);
}

// Writes a command block highest request first, so that the request at 44000,
// which holds the command code, comes last.
Status Qd40::commandTopDown(int dev, std::span<const uint16_t> block, int32_t& ret) {
    const int total = int(block.size());
    int offset = ((total - 1) / kWriteChunk) * kWriteChunk;
    int count = total - offset;
    while (offset >= 0) {
        Status st = transport_->PresetMultipleRegisters(
            dev, reg::kCommand + offset, block.subspan(size_t(offset), size_t(count)), ret);
        if (!st)
            return refused(st, dev);
        offset -= kWriteChunk;
        count = kWriteChunk;
    }
    return Status::ok();
}

Status Qd40::readAnswer(int dev, std::vector<uint16_t>& words, int32_t& ret) {
    std::vector<uint16_t> length;
    if (Status st = transport_->ReadInputRegisters(dev, reg::kAnswerLength, 1, length, ret); !st)
        return st;
    const int n = std::min<int>(length.empty() ? 0 : length[0], kMaxAnswerWords);
    return readRegs(dev, reg::kAnswer, n, false, words, ret);
}

Status Qd40::readImage(int dev, int32_t start, size_t bytes, std::vector<uint8_t>& image,
                       int32_t& ret) {
    std::vector<uint16_t> words;
    if (Status st = readRegs(dev, start, int(bytes / 2), true, words, ret); !st)
        return st;
    image = wordsToBytes(words);
    return Status::ok();
}

Status Qd40::writeImage(int dev, int32_t start, std::span<const uint8_t> image, int32_t& ret) {
    const std::vector<uint16_t> words = bytesToWords(image);
    return writeRegs(dev, start, words, ret);
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
    Status st = writeSingle(byDevAddr, reg::kCommand, module::code(Cmd::Remote), *pnErrCode);
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
    Status st = writeSingle(byDevAddr, reg::kCommand, module::code(Cmd::Local), *pnErrCode);
    remoteMutexes_.erase(byDevAddr);
    return st ? S_OK : fail(st, kIidIUser);
}

// ---------------------------------------------------------------- primitives

HRESULT Qd40::GetDevId(uint8_t byDevAddr, uint16_t* pwDevId) {
    HRESULT result = S_OK;
    if (!begin(pwDevId, kIidIUser, result))
        return result;
    std::vector<uint16_t> v;
    int32_t ret = 0;
    if (Status st = transport_->ReadInputRegisters(byDevAddr, reg::kDeviceId, 1, v, ret); !st)
        return fail(st, kIidIUser);
    *pwDevId = v.empty() ? 0 : v[0];
    return S_OK;
}

HRESULT Qd40::readBits(bool input, int16_t dev, int32_t start, int16_t qty, Variant* pv,
                       int32_t* plRetVal) {
    HRESULT result = S_OK;
    if (!pv)
        return fail(kMsgInvalidPointer, E_POINTER, kIidIUser);
    if (!begin(plRetVal, kIidIUser, result))
        return result;
    std::vector<uint8_t> bits;
    Status st = input ? transport_->ReadInputStatus(dev, start, qty, bits, *plRetVal)
                      : transport_->ReadOutputStatus(dev, start, qty, bits, *plRetVal);
    if (!st)
        return fail(st, kIidIUser);
    // VARIANT_BOOL elements: -1 for a coil that is on.
    Variant v{uint16_t(VT_ARRAY | VT_BOOL), std::vector<uint8_t>(bits.size() * 2, 0)};
    for (size_t i = 0; i < bits.size(); ++i)
        le::setI16(v.data, 2 * i, bits[i] ? -1 : 0);
    *pv = std::move(v);
    return S_OK;
}

HRESULT Qd40::ReadInputStatus(int16_t nDevAddr, int32_t lStartReg, int16_t nQty,
                              Variant* pvCoilValues, int32_t* plRetVal) {
    return readBits(true, nDevAddr, lStartReg, nQty, pvCoilValues, plRetVal);
}

HRESULT Qd40::ReadOutputStatus(int16_t nDevAddr, int32_t lStartReg, int16_t nQty,
                               Variant* pvCoilValues, int32_t* plRetVal) {
    return readBits(false, nDevAddr, lStartReg, nQty, pvCoilValues, plRetVal);
}

HRESULT Qd40::ForceSingleCoil(int16_t nDevAddr, int32_t lReg, int16_t vCoilValue,
                              int32_t* plRetVal) {
    HRESULT result = S_OK;
    if (!begin(plRetVal, kIidIUser, result))
        return result;
    Status st =
        refused(transport_->ForceSingleCoil(nDevAddr, lReg, vCoilValue != 0, *plRetVal), nDevAddr);
    return st ? S_OK : fail(st, kIidIUser);
}

HRESULT Qd40::ForceMultipleCoils(int16_t nDevAddr, int32_t lStartReg, int16_t nQty,
                                 const Variant& vCoilValues, int32_t* plRetVal) {
    HRESULT result = S_OK;
    if (!begin(plRetVal, kIidIUser, result))
        return result;
    const uint16_t et = vCoilValues.elementType();
    const size_t width = et == VT_UI1 || et == VT_I1                      ? 1
                         : (et == VT_BOOL || et == VT_I2 || et == VT_UI2) ? 2
                                                                          : 0;
    if (!vCoilValues.isArray() || width == 0 || nQty < 0 ||
        vCoilValues.data.size() < size_t(nQty) * width)
        return fail(kMsgInvalidArgument, E_INVALIDARG, kIidIUser);
    std::vector<uint8_t> bits(static_cast<size_t>(nQty));
    for (size_t i = 0; i < bits.size(); ++i)
        bits[i] = width == 1 ? vCoilValues.data[i] != 0 : le::u16(vCoilValues.data, 2 * i) != 0;
    Status st =
        refused(transport_->ForceMultipleCoils(nDevAddr, lStartReg, bits, *plRetVal), nDevAddr);
    return st ? S_OK : fail(st, kIidIUser);
}

HRESULT Qd40::readRegisters(bool input, int16_t dev, int32_t start, int16_t qty, Variant* pv,
                            uint16_t varType, int16_t realType, int32_t* plRetVal) {
    HRESULT result = S_OK;
    if (!pv)
        return fail(kMsgInvalidPointer, E_POINTER, kIidIUser);
    if (!begin(plRetVal, kIidIUser, result))
        return result;
    if (varType != VT_I2 && varType != VT_UI2 && varType != VT_I4 && varType != VT_UI4 &&
        varType != VT_R4)
        return fail(kMsgInvalidArgument, E_INVALIDARG, kIidIUser);
    std::vector<uint16_t> words;
    Status st = input ? transport_->ReadInputRegisters(dev, start, qty, words, *plRetVal)
                      : transport_->ReadOutputRegisters(dev, start, qty, words, *plRetVal);
    if (!st)
        return fail(st, kIidIUser);
    Variant v{uint16_t(VT_ARRAY | varType), {}};
    if (varType == VT_I2 || varType == VT_UI2) {
        v = Variant::words(words, varType);
    } else if (varType == VT_I4 || varType == VT_UI4) {
        v.data.resize(words.size() * 4);
        for (size_t i = 0; i < words.size(); ++i)
            le::setI32(v.data, 4 * i,
                       varType == VT_I4 ? int32_t(int16_t(words[i])) : int32_t(words[i]));
    } else {
        const bool reverse = realType == 1;
        v.data.resize(words.size() / 2 * 4);
        for (size_t i = 0; i + 1 < words.size(); i += 2) {
            const uint16_t lo = reverse ? words[i + 1] : words[i];
            const uint16_t hi = reverse ? words[i] : words[i + 1];
            le::setU32(v.data, i * 2, uint32_t(hi) << 16 | lo);
        }
    }
    *pv = std::move(v);
    return S_OK;
}

HRESULT Qd40::ReadInputRegisters(int16_t nDevAddr, int32_t lStartReg, int16_t nQty,
                                 Variant* pvRegValues, uint16_t vVarType, int16_t vRealType,
                                 int32_t* plRetVal) {
    return readRegisters(true, nDevAddr, lStartReg, nQty, pvRegValues, vVarType, vRealType,
                         plRetVal);
}

HRESULT Qd40::ReadOutputRegisters(int16_t nDevAddr, int32_t lStartReg, int16_t nQty,
                                  Variant* pvRegValues, uint16_t vVarType, int16_t vRealType,
                                  int32_t* plRetVal) {
    return readRegisters(false, nDevAddr, lStartReg, nQty, pvRegValues, vVarType, vRealType,
                         plRetVal);
}

HRESULT Qd40::PresetSingleRegister(int16_t nDevAddr, int32_t lReg, int32_t vRegValue, int16_t,
                                   int32_t* plRetVal) {
    HRESULT result = S_OK;
    if (!begin(plRetVal, kIidIUser, result))
        return result;
    Status st = writeSingle(nDevAddr, lReg, uint16_t(vRegValue), *plRetVal);
    return st ? S_OK : fail(st, kIidIUser);
}

HRESULT Qd40::PresetMultipleRegisters(int16_t nDevAddr, int32_t lStartReg, int16_t nQty,
                                      const Variant& vRegValues, int16_t vRealType,
                                      int32_t* plRetVal) {
    HRESULT result = S_OK;
    if (!begin(plRetVal, kIidIUser, result))
        return result;
    const uint16_t et = vRegValues.elementType();
    if (!vRegValues.isArray() || nQty < 0)
        return fail(kMsgInvalidArgument, E_INVALIDARG, kIidIUser);
    std::vector<uint16_t> words;
    if (et == VT_I2 || et == VT_UI2) {
        words = bytesToWords(vRegValues.data);
    } else if (et == VT_I4 || et == VT_UI4) {
        for (size_t i = 0; i + 3 < vRegValues.data.size(); i += 4)
            words.push_back(uint16_t(le::u32(vRegValues.data, i)));
    } else if (et == VT_R4) {
        for (size_t i = 0; i + 3 < vRegValues.data.size(); i += 4) {
            const uint32_t bits = le::u32(vRegValues.data, i);
            const uint16_t lo = uint16_t(bits), hi = uint16_t(bits >> 16);
            words.push_back(vRealType == 1 ? hi : lo);
            words.push_back(vRealType == 1 ? lo : hi);
        }
    } else {
        return fail(kMsgInvalidArgument, E_INVALIDARG, kIidIUser);
    }
    if (words.size() < size_t(nQty))
        return fail(kMsgInvalidArgument, E_INVALIDARG, kIidIUser);
    words.resize(size_t(nQty));
    Status st = refused(transport_->PresetMultipleRegisters(nDevAddr, lStartReg, words, *plRetVal),
                        nDevAddr);
    return st ? S_OK : fail(st, kIidIUser);
}

// ---------------------------------------------------------------- commands

HRESULT Qd40::singleCommand(uint8_t dev, module::Cmd command, int32_t* pnErrCode, const Guid& iid) {
    HRESULT result = S_OK;
    if (!begin(pnErrCode, iid, result))
        return result;
    Status st = writeSingle(dev, reg::kCommand, module::code(command), *pnErrCode);
    return st ? S_OK : fail(st, iid);
}

HRESULT Qd40::Run(uint8_t d, int32_t* p) {
    return singleCommand(d, Cmd::Run, p, kIidIUser);
}
HRESULT Qd40::Stop(uint8_t d, int32_t* p) {
    return singleCommand(d, Cmd::Stop, p, kIidIUser);
}
HRESULT Qd40::Trig(uint8_t d, int32_t* p) {
    return singleCommand(d, Cmd::Trig, p, kIidIUser);
}
HRESULT Qd40::ReInitEmailAlerter(uint8_t d, int32_t* p) {
    return singleCommand(d, Cmd::ReInitEmail, p, kIidIUser);
}
HRESULT Qd40::ClrEvts(uint8_t d, int32_t* p) {
    return singleCommand(d, Cmd::ClearEvents, p, kIidIOvix);
}

HRESULT Qd40::memCommand(uint8_t dev, module::Cmd command, uint8_t mem, int32_t* pnErrCode) {
    HRESULT result = S_OK;
    if (!pnErrCode)
        return fail(kMsgInvalidPointer, E_POINTER, kIidIUser);
    *pnErrCode = 0;
    if (mem == 0 || mem > module::kMemoryBlockCount)
        return fail(kMsgInvalidMemory, E_INVALIDARG, kIidIUser);
    if (!begin(pnErrCode, kIidIUser, result))
        return result;
    const uint16_t block[] = {module::code(command), 1, mem};
    Status st = writeRegs(dev, reg::kCommand, block, *pnErrCode);
    return st ? S_OK : fail(st, kIidIUser);
}

HRESULT Qd40::MemRun(uint8_t d, uint8_t m, int32_t* p) {
    return memCommand(d, Cmd::MemRun, m, p);
}
HRESULT Qd40::MemStop(uint8_t d, uint8_t m, int32_t* p) {
    return memCommand(d, Cmd::MemStop, m, p);
}
HRESULT Qd40::MemTrig(uint8_t d, uint8_t m, int32_t* p) {
    return memCommand(d, Cmd::MemTrig, m, p);
}
HRESULT Qd40::MemStore(uint8_t d, uint8_t m, int32_t* p) {
    return memCommand(d, Cmd::MemStore, m, p);
}
HRESULT Qd40::MemClear(uint8_t d, uint8_t m, int32_t* p) {
    return memCommand(d, Cmd::MemClear, m, p);
}

HRESULT Qd40::SetRel(uint8_t byDevAddr, uint16_t wRelNum, int32_t bOn, int32_t* pnErrCode) {
    HRESULT result = S_OK;
    if (!pnErrCode)
        return fail(kMsgInvalidPointer, E_POINTER, kIidIUser);
    *pnErrCode = 0;
    if (wRelNum != 1 && wRelNum != 2)
        return fail(kMsgInvalidRelay, E_INVALIDARG, kIidIUser);
    if (!begin(pnErrCode, kIidIUser, result))
        return result;
    Status st = refused(
        transport_->ForceSingleCoil(byDevAddr, reg::relayCoil(wRelNum), bOn != 0, *pnErrCode),
        byDevAddr);
    return st ? S_OK : fail(st, kIidIUser);
}

HRESULT Qd40::GetRel(uint8_t byDevAddr, uint16_t wRelNum, int32_t* pbOn) {
    HRESULT result = S_OK;
    if (!pbOn)
        return fail(kMsgInvalidPointer, E_POINTER, kIidIUser);
    *pbOn = 0;
    if (wRelNum != 1 && wRelNum != 2)
        return fail(kMsgInvalidRelay, E_INVALIDARG, kIidIUser);
    if (!begin(pbOn, kIidIUser, result))
        return result;
    std::vector<uint8_t> bits;
    int32_t ret = 0;
    Status st = transport_->ReadOutputStatus(byDevAddr, reg::relayCoil(wRelNum), 1, bits, ret);
    if (!st)
        return fail(st, kIidIUser);
    *pbOn = !bits.empty() && bits[0] ? 1 : 0;
    return S_OK;
}

HRESULT Qd40::GetBinVersion(uint32_t* pdwVersionMS, uint32_t* pdwVersionLS) {
    if (!pdwVersionMS && !pdwVersionLS)
        return fail(kMsgInvalidPointer, E_POINTER, kIidIUser);
    if (pdwVersionMS)
        *pdwVersionMS = version::qd40svr::kFileVersionMS;
    if (pdwVersionLS)
        *pdwVersionLS = version::qd40svr::kFileVersionLS;
    return S_OK;
}

HRESULT Qd40::readVersion(uint8_t dev, int32_t regNum, std::string* pVal) {
    HRESULT result = S_OK;
    if (!begin(pVal, kIidIUser, result))
        return result;
    std::vector<uint16_t> v;
    int32_t ret = 0;
    if (Status st = transport_->ReadInputRegisters(dev, regNum, 1, v, ret); !st)
        return fail(st, kIidIUser);
    *pVal = versionText(v.empty() ? 0 : v[0]);
    return S_OK;
}

HRESULT Qd40::GetDevVersion(uint8_t d, std::string* pVal) {
    return readVersion(d, reg::kFirmwareVersion, pVal);
}
HRESULT Qd40::GetDevFileVersion(uint8_t d, std::string* pVal) {
    return readVersion(d, reg::kFileVersion, pVal);
}

HRESULT Qd40::RunWithOptMem(uint8_t byDevAddr, uint8_t byOption, int32_t* pnErrCode) {
    HRESULT result = S_OK;
    if (!pnErrCode)
        return fail(kMsgInvalidPointer, E_POINTER, kIidIUser);
    *pnErrCode = 0;
    if (byOption > 2)
        return fail(kMsgInvalidArgument, E_INVALIDARG, kIidIUser);
    if (!begin(pnErrCode, kIidIUser, result))
        return result;
    const uint16_t block[] = {module::code(Cmd::RunWithOption), 1, byOption};
    Status st = writeRegs(byDevAddr, reg::kCommand, block, *pnErrCode);
    return st ? S_OK : fail(st, kIidIUser);
}

HRESULT Qd40::SetLongFormatDefault(uint8_t byDevAddr, int32_t* pnErrCode) {
    HRESULT result = S_OK;
    if (!begin(pnErrCode, kIidIUser, result))
        return result;
    Status st = writeSingle(byDevAddr, reg::kLongFormatDefault, 0, *pnErrCode);
    return st ? S_OK : fail(st, kIidIUser);
}

HRESULT Qd40::SetSetupDefault(uint8_t byDevAddr, int32_t* pnErrCode) {
    HRESULT result = S_OK;
    if (!begin(pnErrCode, kIidIUser, result))
        return result;
    const uint16_t block[] = {module::code(Cmd::SetupDefaults), 2, module::kConfirmWord1,
                              module::kConfirmWord2};
    Status st = writeRegs(byDevAddr, reg::kCommand, block, *pnErrCode);
    return st ? S_OK : fail(st, kIidIUser);
}

HRESULT Qd40::GetDate(uint8_t byDevAddr, double* pdtDate) {
    HRESULT result = S_OK;
    if (!begin(pdtDate, kIidIUser, result))
        return result;
    std::vector<uint16_t> w;
    int32_t ret = 0;
    if (Status st = readRegs(byDevAddr, reg::kClock, 3, true, w, ret); !st)
        return fail(st, kIidIUser);
    DateTime dt;
    dt.month = w[0] & 0xFF;
    dt.day = w[0] >> 8;
    dt.hour = w[1] & 0xFF;
    dt.year = 2000 + (w[1] >> 8);
    dt.second = w[2] & 0xFF;
    dt.minute = w[2] >> 8;
    if (!dt.isValid())
        return fail(kMsgCannotReadModule, E_FAIL, kIidIUser);
    *pdtDate = toOleDate(dt);
    return S_OK;
}

HRESULT Qd40::SetDate(uint8_t byDevAddr, double dtDate, int32_t* pnErrCode) {
    HRESULT result = S_OK;
    if (!begin(pnErrCode, kIidIUser, result))
        return result;
    const auto dt = fromOleDate(dtDate);
    if (!dt || dt->year < 2000 || dt->year > 2255)
        return fail(kMsgInvalidArgument, E_INVALIDARG, kIidIUser);
    const uint16_t w[] = {uint16_t(dt->day << 8 | dt->month),
                          uint16_t((dt->year - 2000) << 8 | dt->hour),
                          uint16_t(dt->minute << 8 | dt->second)};
    Status st = writeRegs(byDevAddr, reg::kClock, w, *pnErrCode);
    return st ? S_OK : fail(st, kIidIUser);
}

HRESULT Qd40::ReadSetupName(uint8_t byDevAddr, std::string* pVal) {
    HRESULT result = S_OK;
    if (!begin(pVal, kIidIUser, result))
        return result;
    const uint16_t block[] = {module::code(Cmd::ReadSetupItem), 1, kSetupNameItem};
    int32_t ret = 0;
    std::vector<uint16_t> answer;
    Status st = commandTopDown(byDevAddr, block, ret);
    if (st)
        st = readAnswer(byDevAddr, answer, ret);
    if (!st)
        return fail(st, kIidIUser);
    // The module keeps its texts in Windows-1252; clients get UTF-8.
    *pVal = text::ansiToUtf8(unpackText(answer, 64));
    return S_OK;
}

HRESULT Qd40::MemRemove(uint8_t byDevAddr, uint8_t byMemNum, uint32_t dwQty, int32_t* pnErrCode) {
    HRESULT result = S_OK;
    if (!begin(pnErrCode, kIidIUser, result))
        return result;
    // The block number is passed on as given; the module judges it.
    const uint16_t block[] = {module::code(Cmd::RemoveRecords), 3, byMemNum, uint16_t(dwQty),
                              uint16_t(dwQty >> 16)};
    Status st = writeRegs(byDevAddr, reg::kCommand, block, *pnErrCode);
    return st ? S_OK : fail(st, kIidIUser);
}

// ---------------------------------------------------------------- IOvix images

HRESULT Qd40::getImage(uint8_t dev, int32_t start, size_t size, Variant* pv, int32_t* pnErrCode) {
    HRESULT result = S_OK;
    if (!pv)
        return fail(kMsgInvalidPointer, E_POINTER, kIidIOvix);
    if (!begin(pnErrCode, kIidIOvix, result))
        return result;
    std::vector<uint8_t> image;
    if (Status st = readImage(dev, start, size, image, *pnErrCode); !st)
        return fail(st, kIidIOvix);
    *pv = Variant::bytes(std::move(image));
    return S_OK;
}

HRESULT Qd40::setImage(uint8_t dev, int32_t start, size_t size, const Variant* pv,
                       int32_t* pnErrCode) {
    HRESULT result = S_OK;
    if (!pv)
        return fail(kMsgInvalidPointer, E_POINTER, kIidIOvix);
    if (!begin(pnErrCode, kIidIOvix, result))
        return result;
    if (!usableImage(*pv, size))
        return fail(kMsgInvalidArgument, E_INVALIDARG, kIidIOvix);
    Status st = writeImage(dev, start, std::span(pv->data).first(size), *pnErrCode);
    return st ? S_OK : fail(st, kIidIOvix);
}

HRESULT Qd40::GetFullCfg(uint8_t byDevAddr, Variant* pvFullCfg, int32_t* pnErrCode) {
    HRESULT result = S_OK;
    if (!pvFullCfg)
        return fail(kMsgInvalidPointer, E_POINTER, kIidIOvix);
    if (!begin(pnErrCode, kIidIOvix, result))
        return result;
    std::vector<uint8_t> cfg(kFullCfgSize, 0);
    const cfg::FullCfgView view(cfg);
    uint16_t global = 0;
    if (HRESULT h = GetGlobalCfg(byDevAddr, &global, pnErrCode); failed(h))
        return h;
    view.setGlobalWord(global);
    std::vector<uint8_t> part;
    // Reads the registers from start into dst, which gives the image's size.
    auto take = [&](int32_t start, std::span<uint8_t> dst) {
        Status st = readImage(byDevAddr, start, dst.size(), part, *pnErrCode);
        if (st)
            std::copy(part.begin(), part.end(), dst.begin());
        return st;
    };
    Status st = take(reg::kAcqCfg, acqPart(view.bytes()));
    for (int n = 1; st && n <= module::kChannelCount; ++n) {
        const cfg::ChannelCfg channel = view.channel(n);
        st = take(reg::channel(n), channel.bytes());
        if (st)
            channel.setFlags(normaliseChannelWord(channel.flags()));
    }
    for (int m = 1; st && m <= module::kMemoryBlockCount; ++m)
        st = take(reg::memBlock(m), view.memBlock(m).bytes());
    if (st)
        st = take(reg::kComplementary1, globalAlarmPart(view.bytes(), 1));
    if (st)
        st = take(reg::kComplementary2, globalAlarmPart(view.bytes(), 2));
    if (!st)
        return fail(st, kIidIOvix);
    *pvFullCfg = Variant::bytes(std::move(cfg));
    return S_OK;
}

HRESULT Qd40::SetFullCfg(uint8_t byDevAddr, const Variant* pvFullCfg, int32_t* pnErrCode) {
    HRESULT result = S_OK;
    if (!pvFullCfg)
        return fail(kMsgInvalidPointer, E_POINTER, kIidIOvix);
    if (!begin(pnErrCode, kIidIOvix, result))
        return result;
    if (!usableImage(*pvFullCfg, kFullCfgSize))
        return fail(kMsgInvalidArgument, E_INVALIDARG, kIidIOvix);
    std::vector<uint8_t> cfg(pvFullCfg->data.begin(), pvFullCfg->data.begin() + kFullCfgSize);
    const cfg::FullCfgView view(cfg);
    std::string firmware;
    (void)GetDevVersion(byDevAddr, &firmware);  // read as the module expects; not used
    (void)SetGlobalCfg(byDevAddr, view.globalWord(), pnErrCode);  // result not examined
    Status st = writeImage(byDevAddr, reg::kAcqCfg, acqPart(view.bytes()), *pnErrCode);
    for (int n = 1; st && n <= module::kChannelCount; ++n)
        st = writeImage(byDevAddr, reg::channel(n), view.channel(n).bytes(), *pnErrCode);
    if (st) {
        std::vector<uint16_t> cap;
        st = readRegs(byDevAddr, reg::kCapacity, 2, true, cap, *pnErrCode);
        if (st) {
            uint32_t capacity = uint32_t(cap[0]) | uint32_t(cap[1]) << 16;
            if (capacity == 0)
                capacity = kDefaultCapacity;
            // Summed wide, so that large sizes cannot wrap below the capacity.
            uint64_t sum = 0;
            for (int m = 1; m <= module::kMemoryBlockCount; ++m)
                sum += view.memBlock(m).size();
            if (sum > capacity) {
                if (view.memBlock(1).size() > capacity)
                    view.memBlock(1).setSize(capacity);
                for (int m = 2; m <= module::kMemoryBlockCount; ++m)
                    view.memBlock(m).setSize(0);
            }
        }
    }
    for (int m = 1; st && m <= module::kMemoryBlockCount; ++m)
        st = writeImage(byDevAddr, reg::memBlock(m), view.memBlock(m).bytes(), *pnErrCode);
    if (st)
        st = writeImage(byDevAddr, reg::kComplementary1, globalAlarmPart(view.bytes(), 1),
                        *pnErrCode);
    if (st)
        st = writeImage(byDevAddr, reg::kComplementary2, globalAlarmPart(view.bytes(), 2),
                        *pnErrCode);
    return st ? S_OK : fail(st, kIidIOvix);
}

HRESULT Qd40::GetChansRes(uint8_t d, Variant* pv, int32_t* p) {
    return getImage(d, reg::chanRes(1), 60, pv, p);
}
HRESULT Qd40::SetChansRes(uint8_t d, const Variant* pv, int32_t* p) {
    return setImage(d, reg::chanRes(1), 60, pv, p);
}

HRESULT Qd40::GetGlobalCfg(uint8_t byDevAddr, uint16_t* pwGlobalCfg, int32_t* pnErrCode) {
    HRESULT result = S_OK;
    if (!pwGlobalCfg)
        return fail(kMsgInvalidPointer, E_POINTER, kIidIOvix);
    *pwGlobalCfg = 0;
    if (!begin(pnErrCode, kIidIOvix, result))
        return result;
    std::vector<uint16_t> w;
    if (Status st = readRegs(byDevAddr, reg::kGlobalCfg, 1, true, w, *pnErrCode); !st)
        return fail(st, kIidIOvix);
    *pwGlobalCfg = w[0];
    return S_OK;
}

HRESULT Qd40::SetGlobalCfg(uint8_t byDevAddr, uint16_t wGlobalCfg, int32_t* pnErrCode) {
    HRESULT result = S_OK;
    if (!begin(pnErrCode, kIidIOvix, result))
        return result;
    Status st = writeSingle(byDevAddr, reg::kGlobalCfg, wGlobalCfg, *pnErrCode);
    return st ? S_OK : fail(st, kIidIOvix);
}

HRESULT Qd40::GetAcqCfg(uint8_t d, Variant* pv, int32_t* p) {
    return getImage(d, reg::kAcqCfg, 10, pv, p);
}
HRESULT Qd40::SetAcqCfg(uint8_t d, const Variant* pv, int32_t* p) {
    return setImage(d, reg::kAcqCfg, 10, pv, p);
}

HRESULT Qd40::GetChanCfg(uint8_t byDevAddr, uint16_t wChanNum, Variant* pvChanCfg,
                         int32_t* pnErrCode) {
    if (!pvChanCfg || !pnErrCode)
        return fail(kMsgInvalidPointer, E_POINTER, kIidIOvix);
    *pnErrCode = 0;
    if (wChanNum == 0 || wChanNum > module::kChannelCount)
        return fail(kMsgInvalidChannel, E_INVALIDARG, kIidIOvix);
    HRESULT h = getImage(byDevAddr, reg::channel(wChanNum), 144, pvChanCfg, pnErrCode);
    if (succeeded(h))
        le::setU16(pvChanCfg->data, 0, normaliseChannelWord(le::u16(pvChanCfg->data, 0)));
    return h;
}

HRESULT Qd40::SetChanCfg(uint8_t byDevAddr, uint16_t wChanNum, const Variant* pvChanCfg,
                         int32_t* pnErrCode) {
    if (!pvChanCfg || !pnErrCode)
        return fail(kMsgInvalidPointer, E_POINTER, kIidIOvix);
    *pnErrCode = 0;
    if (wChanNum == 0 || wChanNum > module::kChannelCount)
        return fail(kMsgInvalidChannel, E_INVALIDARG, kIidIOvix);
    return setImage(byDevAddr, reg::channel(wChanNum), 144, pvChanCfg, pnErrCode);
}

HRESULT Qd40::GetChanRes(uint8_t byDevAddr, uint16_t wChanNum, uint16_t* pwChanRes,
                         int32_t* pnErrCode) {
    HRESULT result = S_OK;
    if (!pwChanRes || !pnErrCode)
        return fail(kMsgInvalidPointer, E_POINTER, kIidIOvix);
    *pwChanRes = 0;
    *pnErrCode = 0;
    if (wChanNum == 0 || wChanNum > module::kChannelCount)
        return fail(kMsgInvalidChannel, E_INVALIDARG, kIidIOvix);
    if (!begin(pnErrCode, kIidIOvix, result))
        return result;
    std::vector<uint16_t> w;
    if (Status st = readRegs(byDevAddr, reg::chanRes(wChanNum), 1, true, w, *pnErrCode); !st)
        return fail(st, kIidIOvix);
    *pwChanRes = w[0];
    return S_OK;
}

HRESULT Qd40::SetChanRes(uint8_t byDevAddr, uint16_t wChanNum, uint16_t wChanRes,
                         int32_t* pnErrCode) {
    HRESULT result = S_OK;
    if (!pnErrCode)
        return fail(kMsgInvalidPointer, E_POINTER, kIidIOvix);
    *pnErrCode = 0;
    if (wChanNum == 0 || wChanNum > module::kChannelCount)
        return fail(kMsgInvalidChannel, E_INVALIDARG, kIidIOvix);
    if (!begin(pnErrCode, kIidIOvix, result))
        return result;
    Status st = writeSingle(byDevAddr, reg::chanRes(wChanNum), wChanRes, *pnErrCode);
    return st ? S_OK : fail(st, kIidIOvix);
}

HRESULT Qd40::GetMemCfg(uint8_t byDevAddr, uint8_t byMemNum, Variant* pvMemCfg,
                        int32_t* pnErrCode) {
    if (!pvMemCfg || !pnErrCode)
        return fail(kMsgInvalidPointer, E_POINTER, kIidIOvix);
    *pnErrCode = 0;
    if (byMemNum == 0 || byMemNum > module::kMemoryBlockCount)
        return fail(kMsgInvalidMemory, E_INVALIDARG, kIidIOvix);
    return getImage(byDevAddr, reg::memBlock(byMemNum), 32, pvMemCfg, pnErrCode);
}

HRESULT Qd40::SetMemCfg(uint8_t byDevAddr, uint8_t byMemNum, const Variant* pvMemCfg,
                        int32_t* pnErrCode) {
    if (!pvMemCfg || !pnErrCode)
        return fail(kMsgInvalidPointer, E_POINTER, kIidIOvix);
    *pnErrCode = 0;
    if (byMemNum == 0 || byMemNum > module::kMemoryBlockCount)
        return fail(kMsgInvalidMemory, E_INVALIDARG, kIidIOvix);
    return setImage(byDevAddr, reg::memBlock(byMemNum), 32, pvMemCfg, pnErrCode);
}

HRESULT Qd40::GetStatus(uint8_t byDevAddr, uint16_t* pwGlobalStatus, int32_t* pnErrCode) {
    HRESULT result = S_OK;
    if (!pwGlobalStatus)
        return fail(kMsgInvalidPointer, E_POINTER, kIidIOvix);
    *pwGlobalStatus = 0;
    if (!begin(pnErrCode, kIidIOvix, result))
        return result;
    std::vector<uint16_t> w;
    if (Status st = readRegs(byDevAddr, reg::kGlobalStatus, 1, true, w, *pnErrCode); !st)
        return fail(st, kIidIOvix);
    *pwGlobalStatus = w[0];
    return S_OK;
}

HRESULT Qd40::GetCyStatus(uint8_t d, Variant* pv, int32_t* p) {
    return getImage(d, reg::kCyclicStatus, 210, pv, p);
}
HRESULT Qd40::GetChansDelays(uint8_t d, Variant* pv, int32_t* p) {
    return getImage(d, reg::kChansDelays, 60, pv, p);
}
HRESULT Qd40::GetMemsStatus(uint8_t d, Variant* pv, int32_t* p) {
    return getImage(d, reg::kMemsStatus, 8, pv, p);
}
HRESULT Qd40::GetMemsStatusMask(uint8_t d, Variant* pv, int32_t* p) {
    return getImage(d, reg::kMemsStatusMask, 8, pv, p);
}
HRESULT Qd40::SetMemsStatusMask(uint8_t d, const Variant* pv, int32_t* p) {
    return setImage(d, reg::kMemsStatusMask, 8, pv, p);
}

// ---------------------------------------------------------------- records and events

HRESULT Qd40::GetMemRecCount(uint8_t byDevAddr, uint8_t byMemNum, uint32_t* pdwRecCount,
                             int32_t* pnErrCode) {
    HRESULT result = S_OK;
    if (!pdwRecCount || !pnErrCode)
        return fail(kMsgInvalidPointer, E_POINTER, kIidIOvix);
    *pdwRecCount = 0;
    *pnErrCode = 0;
    if (byMemNum == 0 || byMemNum > module::kMemoryBlockCount)
        return fail(kMsgInvalidMemory, E_INVALIDARG, kIidIOvix);
    if (!begin(pnErrCode, kIidIOvix, result))
        return result;
    std::vector<uint16_t> w;
    if (Status st = readRegs(byDevAddr, reg::recordCount(byMemNum), 2, true, w, *pnErrCode); !st)
        return fail(st, kIidIOvix);
    *pdwRecCount = uint32_t(w[0]) + 65536u * w[1];
    return S_OK;
}

HRESULT Qd40::GetMemRecords(uint8_t byDevAddr, uint8_t byMemNum, uint32_t dwFirst, uint32_t dwQty,
                            int32_t bClear, uint32_t* pdwQtyRead, Variant* pvRecords,
                            int32_t* pnErrCode) {
    HRESULT result = S_OK;
    if (!pdwQtyRead || !pvRecords || !pnErrCode)
        return fail(kMsgInvalidPointer, E_POINTER, kIidIOvix);
    *pdwQtyRead = 0;
    *pnErrCode = 0;
    if (byMemNum == 0 || byMemNum > module::kMemoryBlockCount)
        return fail(kMsgInvalidMemory, E_INVALIDARG, kIidIOvix);
    if (!begin(pnErrCode, kIidIOvix, result))
        return result;
    // The block's stored channels: a measurement record of another channel
    // cannot be one of its own. Known from one call to the next (a read runs
    // in many calls, the mask costs a request) and read again when a batch
    // looks foreign, so that a block reconfigured since is not taken for
    // another master's.
    const auto key = std::pair{byDevAddr, byMemNum};
    bool fresh = false;
    const auto readChannels = [&]() -> Status {
        std::vector<uint16_t> mask;
        const int32_t at =
            reg::memBlock(byMemNum) + int32_t(cfg::ConstMemBlockCfg::kChansToRecordOffset / 2);
        if (Status st = readRegs(byDevAddr, at, 2, true, mask, *pnErrCode); !st)
            return st;
        storedChannels_[key] = uint32_t(mask[0]) | uint32_t(mask[1]) << 16;
        fresh = true;
        return Status::ok();
    };
    if (dwQty > 0 && !storedChannels_.count(key))
        if (Status st = readChannels(); !st)
            return fail(st, kIidIOvix);
    std::vector<uint8_t> records;
    records.reserve(size_t(std::min<uint32_t>(dwQty, 1u << 20)) * module::kRawRecordSize);
    uint32_t read = 0, first = dwFirst;
    std::vector<uint16_t> answer;
    bool last = false;
    while (read < dwQty && !last) {
        const uint32_t batch = std::min<uint32_t>(dwQty - read, kMaxRecordsPerRequest);
        const uint16_t block[] = {module::code(Cmd::ReadRecords),
                                  4,
                                  byMemNum,
                                  uint16_t(first),
                                  uint16_t(first >> 16),
                                  uint16_t(batch)};
        BatchCheck check = BatchCheck::Foreign;
        for (int attempt = 0; check == BatchCheck::Foreign; ++attempt) {
            if (attempt > kForeignBatchRetries)
                return fail(strings::format("The records read from memory block %d at record %lu "
                                            "are not the block's own (another MODBUS master is "
                                            "using the module's mailbox?): nothing was removed",
                                            int(byMemNum), static_cast<unsigned long>(first)),
                            E_FAIL, kIidIOvix);
            Status st = writeRegs(byDevAddr, reg::kCommand, block, *pnErrCode);
            if (st)
                st = readAnswer(byDevAddr, answer, *pnErrCode);
            if (!st)
                return fail(st, kIidIOvix);  // the partial result is dropped
            check = checkBatch(answer, batch, storedChannels_[key]);
            if (check == BatchCheck::Foreign && !fresh) {
                if (st = readChannels(); !st)
                    return fail(st, kIidIOvix);
                check = checkBatch(answer, batch, storedChannels_[key]);
            }
        }
        // A batch shorter than asked is the block's end.
        last = check == BatchCheck::Last;
        const uint32_t got = uint32_t(answer.size() / module::kRawRecordWords);
        const auto bytes = wordsToBytes(answer);
        records.insert(records.end(), bytes.begin(), bytes.end());
        read += got;
        first += got;
    }
    if (bClear) {
        // Only what was read is removed, so a short read never loses records.
        const uint16_t block[] = {module::code(Cmd::RemoveRecords), 3, byMemNum, uint16_t(read),
                                  uint16_t(read >> 16)};
        if (Status st = writeRegs(byDevAddr, reg::kCommand, block, *pnErrCode); !st)
            return fail(st, kIidIOvix);
    }
    *pdwQtyRead = read;
    *pvRecords = Variant::bytes(std::move(records));
    return S_OK;
}

HRESULT Qd40::ReadRegs(uint8_t byDevAddr, uint32_t dwFirstReg, int16_t nQty, int32_t bOutputRegs,
                       Variant* pvRegValues, int32_t* pnErrCode) {
    HRESULT result = S_OK;
    if (!pvRegValues)
        return fail(kMsgInvalidPointer, E_POINTER, kIidIOvix);
    if (!begin(pnErrCode, kIidIOvix, result))
        return result;
    if (nQty < 0)
        return fail(kMsgInvalidArgument, E_INVALIDARG, kIidIOvix);
    std::vector<uint16_t> w;
    if (Status st = readRegs(byDevAddr, int32_t(dwFirstReg), nQty, bOutputRegs != 0, w, *pnErrCode);
        !st)
        return fail(st, kIidIOvix);
    *pvRegValues = Variant::words(w, VT_I2);
    return S_OK;
}

HRESULT Qd40::SendRegs(uint8_t byDevAddr, uint32_t dwFirstReg, int16_t nQty,
                       const Variant& vRegValues, int32_t* pnErrCode) {
    HRESULT result = S_OK;
    if (!begin(pnErrCode, kIidIOvix, result))
        return result;
    const uint16_t et = vRegValues.elementType();
    if (!vRegValues.isArray() || (et != VT_I2 && et != VT_UI2) || nQty < 0 ||
        vRegValues.data.size() < size_t(nQty) * 2)
        return fail(kMsgInvalidArgument, E_INVALIDARG, kIidIOvix);
    const auto words = bytesToWords(std::span(vRegValues.data).first(size_t(nQty) * 2));
    Status st = writeRegs(byDevAddr, int32_t(dwFirstReg), words, *pnErrCode);
    return st ? S_OK : fail(st, kIidIOvix);
}

HRESULT Qd40::SendCmd(uint8_t byDevAddr, const Variant* pvQd40Cmd, int32_t bWithAnswer,
                      Variant* pvAnswer, int32_t* pnErrCode) {
    HRESULT result = S_OK;
    if (!pvQd40Cmd)
        return fail(kMsgInvalidPointer, E_POINTER, kIidIOvix);
    if (pvAnswer)
        *pvAnswer = Variant{};
    if (!begin(pnErrCode, kIidIOvix, result))
        return result;
    const Variant& cmd = *pvQd40Cmd;
    if (!cmd.isArray() || cmd.data.size() < 4)
        return fail(kMsgInvalidArgument, E_INVALIDARG, kIidIOvix);
    const uint16_t count = le::u16(cmd.data, 2);
    if (count > kMaxCommandParams || cmd.data.size() < (size_t(count) + 2) * 2)
        return fail(kMsgInvalidArgument, E_INVALIDARG, kIidIOvix);
    const auto block = bytesToWords(std::span(cmd.data).first((size_t(count) + 2) * 2));
    std::vector<uint16_t> answer;
    Status st = commandTopDown(byDevAddr, block, *pnErrCode);
    if (st && bWithAnswer)
        st = readAnswer(byDevAddr, answer, *pnErrCode);
    if (!st)
        return fail(st, kIidIOvix);
    if (bWithAnswer && pvAnswer) {
        std::vector<uint16_t> full{block[0], uint16_t(answer.size())};
        full.insert(full.end(), answer.begin(), answer.end());
        *pvAnswer = Variant::bytes(wordsToBytes(full));
    }
    return S_OK;
}

HRESULT Qd40::GetEvtCount(uint8_t byDevAddr, uint16_t* pwEvtCount, int32_t* pnErrCode) {
    HRESULT result = S_OK;
    if (!pwEvtCount)
        return fail(kMsgInvalidPointer, E_POINTER, kIidIOvix);
    *pwEvtCount = 0;
    if (!begin(pnErrCode, kIidIOvix, result))
        return result;
    const uint16_t block[] = {module::code(Cmd::EventCount), 0};
    std::vector<uint16_t> w;
    Status st = writeRegs(byDevAddr, reg::kCommand, block, *pnErrCode);
    if (st)
        st = transport_->ReadInputRegisters(byDevAddr, reg::kAnswer, 1, w, *pnErrCode);
    if (!st)
        return fail(st, kIidIOvix);
    *pwEvtCount = w.empty() ? 0 : w[0];
    return S_OK;
}

HRESULT Qd40::GetEvts(uint8_t byDevAddr, uint16_t wQty, uint16_t* pwQtyRead, Variant* pvEvts,
                      int32_t* pnErrCode) {
    HRESULT result = S_OK;
    if (!pwQtyRead || !pvEvts)
        return fail(kMsgInvalidPointer, E_POINTER, kIidIOvix);
    *pwQtyRead = 0;
    if (!begin(pnErrCode, kIidIOvix, result))
        return result;
    std::vector<uint8_t> events;
    uint16_t taken = 0;
    std::vector<uint16_t> answer;
    while (taken < wQty) {
        const uint16_t batch = uint16_t(std::min<int>(wQty - taken, kMaxEventsPerRequest));
        const uint16_t block[] = {module::code(Cmd::ReadEvents), 1, batch};
        Status st = writeRegs(byDevAddr, reg::kCommand, block, *pnErrCode);
        if (st)
            st = readAnswer(byDevAddr, answer, *pnErrCode);
        if (!st)
            return fail(st, kIidIOvix);
        const int got = std::min<int>(int(answer.size() / 4), wQty - taken);
        if (got == 0)
            break;  // the module has no more: stop with what was read
        const auto bytes = wordsToBytes(std::span(answer).first(size_t(got) * 4));
        events.insert(events.end(), bytes.begin(), bytes.end());
        taken = uint16_t(taken + got);
    }
    *pwQtyRead = taken;
    *pvEvts = Variant::bytes(std::move(events));
    return S_OK;
}

HRESULT Qd40::GetEmailCfg(uint8_t byDevAddr, Variant* pvEmailCfg, int32_t* pnErrCode) {
    HRESULT result = S_OK;
    if (!pvEmailCfg)
        return fail(kMsgInvalidPointer, E_POINTER, kIidIOvix);
    if (!begin(pnErrCode, kIidIOvix, result))
        return result;
    std::vector<uint8_t> cfg(kEmailCfgSize, 0);
    std::vector<uint16_t> w;
    Status st = readRegs(byDevAddr, reg::kEmailFlags, 3, true, w, *pnErrCode);
    if (st)
        le::setU16(cfg, 640, uint16_t((w[0] & 1) | (w[1] & 1) << 1 | (w[2] & 1) << 2));
    for (uint16_t index = 0; st && index < 4; ++index) {
        const uint16_t block[] = {module::code(Cmd::ReadEmailText), 1, index};
        st = commandTopDown(byDevAddr, block, *pnErrCode);
        if (st)
            st = readAnswer(byDevAddr, w, *pnErrCode);
        if (!st)
            break;
        const size_t slot = 128 * size_t(index), size = index < 3 ? 128 : 256;
        size_t pos = 0;
        for (size_t i = 0; i < w.size() && i < size / 2; ++i) {
            const uint8_t hi = uint8_t(w[i] >> 8), lo = uint8_t(w[i]);
            if (hi == 0)
                break;
            cfg[slot + pos++] = hi;
            if (lo == 0)
                break;
            cfg[slot + pos++] = lo;
        }
    }
    if (!st)
        return fail(st, kIidIOvix);
    *pvEmailCfg = Variant::bytes(std::move(cfg));
    return S_OK;
}

HRESULT Qd40::SetEmailCfg(uint8_t byDevAddr, const Variant* pvEmailCfg, int32_t* pnErrCode) {
    HRESULT result = S_OK;
    if (!pvEmailCfg)
        return fail(kMsgInvalidPointer, E_POINTER, kIidIOvix);
    if (!begin(pnErrCode, kIidIOvix, result))
        return result;
    if (!usableImage(*pvEmailCfg, kEmailCfgSize))
        return fail(kMsgInvalidArgument, E_INVALIDARG, kIidIOvix);
    const std::span<const uint8_t> cfg(pvEmailCfg->data);
    const uint16_t flags = le::u16(cfg, 640);
    const uint16_t flagWords[] = {uint16_t(flags & 1), uint16_t(flags >> 1 & 1),
                                  uint16_t(flags >> 2 & 1)};
    Status st = writeRegs(byDevAddr, reg::kEmailFlags, flagWords, *pnErrCode);
    for (uint16_t index = 0; st && index < 4; ++index) {
        const size_t slot = 128 * size_t(index), words = index < 3 ? 64 : 128;
        std::vector<uint16_t> block{module::code(Cmd::WriteEmailText), uint16_t(words + 1), index};
        for (size_t i = 0; i < words; ++i)
            block.push_back(uint16_t(cfg[slot + 2 * i] << 8 | cfg[slot + 2 * i + 1]));
        st = commandTopDown(byDevAddr, block, *pnErrCode);
    }
    return st ? S_OK : fail(st, kIidIOvix);
}

HRESULT Qd40::GetSentEmailCount(uint8_t byDevAddr, uint16_t* pwSentEmailCount, int32_t* pnErrCode) {
    HRESULT result = S_OK;
    if (!pwSentEmailCount)
        return fail(kMsgInvalidPointer, E_POINTER, kIidIOvix);
    *pwSentEmailCount = 0;
    if (!begin(pnErrCode, kIidIOvix, result))
        return result;
    std::vector<uint16_t> w;
    if (Status st = readRegs(byDevAddr, reg::kSentEmailCount, 1, true, w, *pnErrCode); !st)
        return fail(st, kIidIOvix);
    *pwSentEmailCount = w[0];
    return S_OK;
}

HRESULT Qd40::SetSentEmailCount(uint8_t byDevAddr, uint16_t wSentEmailCount, int32_t* pnErrCode) {
    HRESULT result = S_OK;
    if (!begin(pnErrCode, kIidIOvix, result))
        return result;
    Status st = writeSingle(byDevAddr, reg::kSentEmailCount, wSentEmailCount, *pnErrCode);
    return st ? S_OK : fail(st, kIidIOvix);
}

}  // namespace qd40::server
