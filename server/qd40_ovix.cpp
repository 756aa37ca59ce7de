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

// ---------------------------------------------------------------- IOvix images

HRESULT Qd40::getImage(uint8_t dev, int32_t start, size_t size, Variant* pv, int32_t* pnErrCode) {
    HRESULT result = S_OK;
    if (!pv)
        return fail(kMsgInvalidPointer, E_POINTER, kIidIOvix);
    if (!begin(pnErrCode, kIidIOvix, result))
        return result;
    std::vector<uint8_t> image;
    if (Status st = io().readImage(dev, start, size, image, *pnErrCode); !st)
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
    Status st = io().writeImage(dev, start, std::span(pv->data).first(size), *pnErrCode);
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
        Status st = io().readImage(byDevAddr, start, dst.size(), part, *pnErrCode);
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
    // The global word first (relays, TRIG input); its failure ends the transfer
    // as any other write's does.
    Status st = io().writeSingle(byDevAddr, reg::kGlobalCfg, view.globalWord(), *pnErrCode);
    if (st)
        st = io().writeImage(byDevAddr, reg::kAcqCfg, acqPart(view.bytes()), *pnErrCode);
    for (int n = 1; st && n <= module::kChannelCount; ++n)
        st = io().writeImage(byDevAddr, reg::channel(n), view.channel(n).bytes(), *pnErrCode);
    if (st) {
        std::vector<uint16_t> cap;
        st = io().readRegs(byDevAddr, reg::kCapacity, 2, true, cap, *pnErrCode);
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
        st = io().writeImage(byDevAddr, reg::memBlock(m), view.memBlock(m).bytes(), *pnErrCode);
    if (st)
        st = io().writeImage(byDevAddr, reg::kComplementary1, globalAlarmPart(view.bytes(), 1),
                             *pnErrCode);
    if (st)
        st = io().writeImage(byDevAddr, reg::kComplementary2, globalAlarmPart(view.bytes(), 2),
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
    if (Status st = io().readRegs(byDevAddr, reg::kGlobalCfg, 1, true, w, *pnErrCode); !st)
        return fail(st, kIidIOvix);
    *pwGlobalCfg = w[0];
    return S_OK;
}

HRESULT Qd40::SetGlobalCfg(uint8_t byDevAddr, uint16_t wGlobalCfg, int32_t* pnErrCode) {
    HRESULT result = S_OK;
    if (!begin(pnErrCode, kIidIOvix, result))
        return result;
    Status st = io().writeSingle(byDevAddr, reg::kGlobalCfg, wGlobalCfg, *pnErrCode);
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
    if (Status st = io().readRegs(byDevAddr, reg::chanRes(wChanNum), 1, true, w, *pnErrCode); !st)
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
    Status st = io().writeSingle(byDevAddr, reg::chanRes(wChanNum), wChanRes, *pnErrCode);
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
    if (Status st = io().readRegs(byDevAddr, reg::kGlobalStatus, 1, true, w, *pnErrCode); !st)
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
    if (Status st = io().readRegs(byDevAddr, reg::recordCount(byMemNum), 2, true, w, *pnErrCode);
        !st)
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
        if (Status st = io().readRegs(byDevAddr, at, 2, true, mask, *pnErrCode); !st)
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
            Status st = io().writeRegs(byDevAddr, reg::kCommand, block, *pnErrCode);
            if (st)
                st = io().readAnswer(byDevAddr, answer, *pnErrCode);
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
        if (Status st = io().writeRegs(byDevAddr, reg::kCommand, block, *pnErrCode); !st)
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
    if (Status st =
            io().readRegs(byDevAddr, int32_t(dwFirstReg), nQty, bOutputRegs != 0, w, *pnErrCode);
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
    Status st = io().writeRegs(byDevAddr, int32_t(dwFirstReg), words, *pnErrCode);
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
    Status st = io().commandTopDown(byDevAddr, block, *pnErrCode);
    if (st && bWithAnswer)
        st = io().readAnswer(byDevAddr, answer, *pnErrCode);
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
    Status st = io().writeRegs(byDevAddr, reg::kCommand, block, *pnErrCode);
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
        Status st = io().writeRegs(byDevAddr, reg::kCommand, block, *pnErrCode);
        if (st)
            st = io().readAnswer(byDevAddr, answer, *pnErrCode);
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
    Status st = io().readRegs(byDevAddr, reg::kEmailFlags, 3, true, w, *pnErrCode);
    if (st)
        le::setU16(cfg, 640, uint16_t((w[0] & 1) | (w[1] & 1) << 1 | (w[2] & 1) << 2));
    for (uint16_t index = 0; st && index < 4; ++index) {
        const uint16_t block[] = {module::code(Cmd::ReadEmailText), 1, index};
        st = io().commandTopDown(byDevAddr, block, *pnErrCode);
        if (st)
            st = io().readAnswer(byDevAddr, w, *pnErrCode);
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
    Status st = io().writeRegs(byDevAddr, reg::kEmailFlags, flagWords, *pnErrCode);
    for (uint16_t index = 0; st && index < 4; ++index) {
        const size_t slot = 128 * size_t(index), words = index < 3 ? 64 : 128;
        std::vector<uint16_t> block{module::code(Cmd::WriteEmailText), uint16_t(words + 1), index};
        for (size_t i = 0; i < words; ++i)
            block.push_back(uint16_t(cfg[slot + 2 * i] << 8 | cfg[slot + 2 * i + 1]));
        st = io().commandTopDown(byDevAddr, block, *pnErrCode);
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
    if (Status st = io().readRegs(byDevAddr, reg::kSentEmailCount, 1, true, w, *pnErrCode); !st)
        return fail(st, kIidIOvix);
    *pwSentEmailCount = w[0];
    return S_OK;
}

HRESULT Qd40::SetSentEmailCount(uint8_t byDevAddr, uint16_t wSentEmailCount, int32_t* pnErrCode) {
    HRESULT result = S_OK;
    if (!begin(pnErrCode, kIidIOvix, result))
        return result;
    Status st = io().writeSingle(byDevAddr, reg::kSentEmailCount, wSentEmailCount, *pnErrCode);
    return st ? S_OK : fail(st, kIidIOvix);
}

}  // namespace qd40::server
