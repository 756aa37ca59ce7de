// A link that hands every call to another one; tests derive from it to watch
// some calls on their way to the real communication server.
#pragma once
#include <memory>

#include "control/ctl/qd40_link.h"

namespace qd40::app::setup::testing {

using ctl::Qd40Link;
using server::Variant;

class ForwardingLink : public Qd40Link {
public:
    explicit ForwardingLink(std::unique_ptr<Qd40Link> inner) : impl_(std::move(inner)) {}
    const ErrorInfo& lastError() const override { return impl_->lastError(); }

    HRESULT Version(std::string* pVal) override { return impl_->Version(pVal); }
    HRESULT GetBinVersion(uint32_t* pdwVersionMS, uint32_t* pdwVersionLS) override {
        return impl_->GetBinVersion(pdwVersionMS, pdwVersionLS);
    }
    HRESULT PutAvailableComX(int32_t nPort, int32_t newVal) override {
        return impl_->PutAvailableComX(nPort, newVal);
    }
    HRESULT PutBaudRateComX(int32_t nPort, uint32_t newVal) override {
        return impl_->PutBaudRateComX(nPort, newVal);
    }
    HRESULT PutHalfDuplexComX(int32_t nPort, int32_t newVal) override {
        return impl_->PutHalfDuplexComX(nPort, newVal);
    }
    HRESULT PutHalfDuplexPauseComX(int32_t nPort, uint16_t newVal) override {
        return impl_->PutHalfDuplexPauseComX(nPort, newVal);
    }
    HRESULT PutEofCharQtyComX(int32_t nPort, uint8_t newVal) override {
        return impl_->PutEofCharQtyComX(nPort, newVal);
    }
    HRESULT OpenComm(const std::string& sIpAddr, int32_t nPort, int32_t* pnErrCode) override {
        return impl_->OpenComm(sIpAddr, nPort, pnErrCode);
    }
    HRESULT CloseComm(int32_t* pnErrCode) override { return impl_->CloseComm(pnErrCode); }
    HRESULT GetDevId(uint8_t byDevAddr, uint16_t* pwDevId) override {
        return impl_->GetDevId(byDevAddr, pwDevId);
    }
    HRESULT Remote(uint8_t byDevAddr, int32_t* pnErrCode) override {
        return impl_->Remote(byDevAddr, pnErrCode);
    }
    HRESULT Local(uint8_t byDevAddr, int32_t* pnErrCode) override {
        return impl_->Local(byDevAddr, pnErrCode);
    }
    HRESULT Run(uint8_t byDevAddr, int32_t* pnErrCode) override {
        return impl_->Run(byDevAddr, pnErrCode);
    }
    HRESULT Stop(uint8_t byDevAddr, int32_t* pnErrCode) override {
        return impl_->Stop(byDevAddr, pnErrCode);
    }
    HRESULT Trig(uint8_t byDevAddr, int32_t* pnErrCode) override {
        return impl_->Trig(byDevAddr, pnErrCode);
    }
    HRESULT MemRun(uint8_t byDevAddr, uint8_t byMemNum, int32_t* pnErrCode) override {
        return impl_->MemRun(byDevAddr, byMemNum, pnErrCode);
    }
    HRESULT MemStop(uint8_t byDevAddr, uint8_t byMemNum, int32_t* pnErrCode) override {
        return impl_->MemStop(byDevAddr, byMemNum, pnErrCode);
    }
    HRESULT MemTrig(uint8_t byDevAddr, uint8_t byMemNum, int32_t* pnErrCode) override {
        return impl_->MemTrig(byDevAddr, byMemNum, pnErrCode);
    }
    HRESULT MemStore(uint8_t byDevAddr, uint8_t byMemNum, int32_t* pnErrCode) override {
        return impl_->MemStore(byDevAddr, byMemNum, pnErrCode);
    }
    HRESULT MemClear(uint8_t byDevAddr, uint8_t byMemNum, int32_t* pnErrCode) override {
        return impl_->MemClear(byDevAddr, byMemNum, pnErrCode);
    }
    HRESULT SetRel(uint8_t byDevAddr, uint16_t wRelNum, int32_t bOn, int32_t* pnErrCode) override {
        return impl_->SetRel(byDevAddr, wRelNum, bOn, pnErrCode);
    }
    HRESULT GetRel(uint8_t byDevAddr, uint16_t wRelNum, int32_t* pbOn) override {
        return impl_->GetRel(byDevAddr, wRelNum, pbOn);
    }
    HRESULT GetDevVersion(uint8_t byDevAddr, std::string* pVal) override {
        return impl_->GetDevVersion(byDevAddr, pVal);
    }
    HRESULT RunWithOptMem(uint8_t byDevAddr, uint8_t byOption, int32_t* pnErrCode) override {
        return impl_->RunWithOptMem(byDevAddr, byOption, pnErrCode);
    }
    HRESULT GetDevFileVersion(uint8_t byDevAddr, std::string* pVal) override {
        return impl_->GetDevFileVersion(byDevAddr, pVal);
    }
    HRESULT SetLongFormatDefault(uint8_t byDevAddr, int32_t* pnErrCode) override {
        return impl_->SetLongFormatDefault(byDevAddr, pnErrCode);
    }
    HRESULT SetSetupDefault(uint8_t byDevAddr, int32_t* pnErrCode) override {
        return impl_->SetSetupDefault(byDevAddr, pnErrCode);
    }
    HRESULT ReInitEmailAlerter(uint8_t byDevAddr, int32_t* pnErrCode) override {
        return impl_->ReInitEmailAlerter(byDevAddr, pnErrCode);
    }
    HRESULT GetDate(uint8_t byDevAddr, double* pdtDate) override {
        return impl_->GetDate(byDevAddr, pdtDate);
    }
    HRESULT SetDate(uint8_t byDevAddr, double dtDate, int32_t* pnErrCode) override {
        return impl_->SetDate(byDevAddr, dtDate, pnErrCode);
    }
    HRESULT ReadSetupName(uint8_t byDevAddr, std::string* pVal) override {
        return impl_->ReadSetupName(byDevAddr, pVal);
    }
    HRESULT MemRemove(uint8_t byDevAddr, uint8_t byMemNum, uint32_t dwQty,
                      int32_t* pnErrCode) override {
        return impl_->MemRemove(byDevAddr, byMemNum, dwQty, pnErrCode);
    }
    HRESULT GetFullCfg(uint8_t byDevAddr, Variant* pvFullCfg, int32_t* pnErrCode) override {
        return impl_->GetFullCfg(byDevAddr, pvFullCfg, pnErrCode);
    }
    HRESULT SetFullCfg(uint8_t byDevAddr, const Variant* pvFullCfg, int32_t* pnErrCode) override {
        return impl_->SetFullCfg(byDevAddr, pvFullCfg, pnErrCode);
    }
    HRESULT GetChansRes(uint8_t byDevAddr, Variant* pvChansRes, int32_t* pnErrCode) override {
        return impl_->GetChansRes(byDevAddr, pvChansRes, pnErrCode);
    }
    HRESULT SetChansRes(uint8_t byDevAddr, const Variant* pvChansRes, int32_t* pnErrCode) override {
        return impl_->SetChansRes(byDevAddr, pvChansRes, pnErrCode);
    }
    HRESULT GetStatus(uint8_t byDevAddr, uint16_t* pwGlobalStatus, int32_t* pnErrCode) override {
        return impl_->GetStatus(byDevAddr, pwGlobalStatus, pnErrCode);
    }
    HRESULT GetCyStatus(uint8_t byDevAddr, Variant* pvCyStat, int32_t* pnErrCode) override {
        return impl_->GetCyStatus(byDevAddr, pvCyStat, pnErrCode);
    }
    HRESULT GetChansDelays(uint8_t byDevAddr, Variant* pvChansDelays, int32_t* pnErrCode) override {
        return impl_->GetChansDelays(byDevAddr, pvChansDelays, pnErrCode);
    }
    HRESULT GetMemsStatus(uint8_t byDevAddr, Variant* pvMemsStatus, int32_t* pnErrCode) override {
        return impl_->GetMemsStatus(byDevAddr, pvMemsStatus, pnErrCode);
    }
    HRESULT GetMemsStatusMask(uint8_t byDevAddr, Variant* pvMemsStatusMask,
                              int32_t* pnErrCode) override {
        return impl_->GetMemsStatusMask(byDevAddr, pvMemsStatusMask, pnErrCode);
    }
    HRESULT SetMemsStatusMask(uint8_t byDevAddr, const Variant* pvMemsStatusMask,
                              int32_t* pnErrCode) override {
        return impl_->SetMemsStatusMask(byDevAddr, pvMemsStatusMask, pnErrCode);
    }
    HRESULT GetMemRecCount(uint8_t byDevAddr, uint8_t byMemNum, uint32_t* pdwRecCount,
                           int32_t* pnErrCode) override {
        return impl_->GetMemRecCount(byDevAddr, byMemNum, pdwRecCount, pnErrCode);
    }
    HRESULT GetMemRecords(uint8_t byDevAddr, uint8_t byMemNum, uint32_t dwFirst, uint32_t dwQty,
                          int32_t bClear, uint32_t* pdwQtyRead, Variant* pvRecords,
                          int32_t* pnErrCode) override {
        return impl_->GetMemRecords(byDevAddr, byMemNum, dwFirst, dwQty, bClear, pdwQtyRead,
                                    pvRecords, pnErrCode);
    }
    HRESULT ReadRegs(uint8_t byDevAddr, uint32_t dwFirstReg, int16_t nQty, int32_t bOutputRegs,
                     Variant* pvRegValues, int32_t* pnErrCode) override {
        return impl_->ReadRegs(byDevAddr, dwFirstReg, nQty, bOutputRegs, pvRegValues, pnErrCode);
    }
    HRESULT SendRegs(uint8_t byDevAddr, uint32_t dwFirstReg, int16_t nQty,
                     const Variant& vRegValues, int32_t* pnErrCode) override {
        return impl_->SendRegs(byDevAddr, dwFirstReg, nQty, vRegValues, pnErrCode);
    }
    HRESULT SendCmd(uint8_t byDevAddr, const Variant* pvQd40Cmd, int32_t bWithAnswer,
                    Variant* pvAnswer, int32_t* pnErrCode) override {
        return impl_->SendCmd(byDevAddr, pvQd40Cmd, bWithAnswer, pvAnswer, pnErrCode);
    }
    HRESULT GetEvtCount(uint8_t byDevAddr, uint16_t* pwEvtCount, int32_t* pnErrCode) override {
        return impl_->GetEvtCount(byDevAddr, pwEvtCount, pnErrCode);
    }
    HRESULT GetEvts(uint8_t byDevAddr, uint16_t wQty, uint16_t* pwQtyRead, Variant* pvEvts,
                    int32_t* pnErrCode) override {
        return impl_->GetEvts(byDevAddr, wQty, pwQtyRead, pvEvts, pnErrCode);
    }
    HRESULT ClrEvts(uint8_t byDevAddr, int32_t* pnErrCode) override {
        return impl_->ClrEvts(byDevAddr, pnErrCode);
    }
    HRESULT GetEmailCfg(uint8_t byDevAddr, Variant* pvEmailCfg, int32_t* pnErrCode) override {
        return impl_->GetEmailCfg(byDevAddr, pvEmailCfg, pnErrCode);
    }
    HRESULT SetEmailCfg(uint8_t byDevAddr, const Variant* pvEmailCfg, int32_t* pnErrCode) override {
        return impl_->SetEmailCfg(byDevAddr, pvEmailCfg, pnErrCode);
    }
    HRESULT GetSentEmailCount(uint8_t byDevAddr, uint16_t* pwSentEmailCount,
                              int32_t* pnErrCode) override {
        return impl_->GetSentEmailCount(byDevAddr, pwSentEmailCount, pnErrCode);
    }
    HRESULT SetSentEmailCount(uint8_t byDevAddr, uint16_t wSentEmailCount,
                              int32_t* pnErrCode) override {
        return impl_->SetSentEmailCount(byDevAddr, wSentEmailCount, pnErrCode);
    }

private:
    std::unique_ptr<Qd40Link> impl_;
};

}  // namespace qd40::app::setup::testing
