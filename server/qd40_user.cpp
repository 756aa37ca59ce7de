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
    Status st = io().refused(
        transport_->ForceSingleCoil(nDevAddr, lReg, vCoilValue != 0, *plRetVal), nDevAddr);
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
    Status st = io().refused(transport_->ForceMultipleCoils(nDevAddr, lStartReg, bits, *plRetVal),
                             nDevAddr);
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
    Status st = io().writeSingle(nDevAddr, lReg, uint16_t(vRegValue), *plRetVal);
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
    Status st = io().refused(
        transport_->PresetMultipleRegisters(nDevAddr, lStartReg, words, *plRetVal), nDevAddr);
    return st ? S_OK : fail(st, kIidIUser);
}

// ---------------------------------------------------------------- commands

HRESULT Qd40::singleCommand(uint8_t dev, module::Cmd command, int32_t* pnErrCode, const Guid& iid) {
    HRESULT result = S_OK;
    if (!begin(pnErrCode, iid, result))
        return result;
    Status st = io().writeSingle(dev, reg::kCommand, module::code(command), *pnErrCode);
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
    Status st = io().writeRegs(dev, reg::kCommand, block, *pnErrCode);
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
    Status st = io().refused(
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
    Status st = io().writeRegs(byDevAddr, reg::kCommand, block, *pnErrCode);
    return st ? S_OK : fail(st, kIidIUser);
}

HRESULT Qd40::SetLongFormatDefault(uint8_t byDevAddr, int32_t* pnErrCode) {
    HRESULT result = S_OK;
    if (!begin(pnErrCode, kIidIUser, result))
        return result;
    Status st = io().writeSingle(byDevAddr, reg::kLongFormatDefault, 0, *pnErrCode);
    return st ? S_OK : fail(st, kIidIUser);
}

HRESULT Qd40::SetSetupDefault(uint8_t byDevAddr, int32_t* pnErrCode) {
    HRESULT result = S_OK;
    if (!begin(pnErrCode, kIidIUser, result))
        return result;
    const uint16_t block[] = {module::code(Cmd::SetupDefaults), 2, module::kConfirmWord1,
                              module::kConfirmWord2};
    Status st = io().writeRegs(byDevAddr, reg::kCommand, block, *pnErrCode);
    return st ? S_OK : fail(st, kIidIUser);
}

HRESULT Qd40::GetDate(uint8_t byDevAddr, double* pdtDate) {
    HRESULT result = S_OK;
    if (!begin(pdtDate, kIidIUser, result))
        return result;
    std::vector<uint16_t> w;
    int32_t ret = 0;
    if (Status st = io().readRegs(byDevAddr, reg::kClock, 3, true, w, ret); !st)
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
    Status st = io().writeRegs(byDevAddr, reg::kClock, w, *pnErrCode);
    return st ? S_OK : fail(st, kIidIUser);
}

HRESULT Qd40::ReadSetupName(uint8_t byDevAddr, std::string* pVal) {
    HRESULT result = S_OK;
    if (!begin(pVal, kIidIUser, result))
        return result;
    const uint16_t block[] = {module::code(Cmd::ReadSetupItem), 1, kSetupNameItem};
    int32_t ret = 0;
    std::vector<uint16_t> answer;
    Status st = io().commandTopDown(byDevAddr, block, ret);
    if (st)
        st = io().readAnswer(byDevAddr, answer, ret);
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
    Status st = io().writeRegs(byDevAddr, reg::kCommand, block, *pnErrCode);
    return st ? S_OK : fail(st, kIidIUser);
}

}  // namespace qd40::server
