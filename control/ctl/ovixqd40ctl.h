// OvixQd40Ctl: one instance configures and drives one Qd40 module. It keeps
// the module's configuration blobs and connection settings (persisted by the
// container), opens a Qd40 object of the communication server, forwards the
// module commands to it and sends or reads the whole configuration.
//
// Members follow IOvixQd40Ctl in its slot order (dispids 1 to 79). Every
// member returns an HRESULT; on failure lastError() holds the description.
// The control is called on its container's thread only.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/config/variant_blob.h"
#include "common/error_info.h"
#include "common/guid.h"
#include "control/ctl/ctl_state.h"
#include "control/ctl/persistence.h"
#include "control/ctl/qd40_link.h"
#include "platform/registry.h"
#include "platform/strings_control.h"

namespace qd40::ctl {

inline constexpr Guid kOvixQd40CtlClsid{
    0x81196A14, 0x80F4, 0x4E69, {0x8B, 0xCF, 0x36, 0xC7, 0x6B, 0xFB, 0x53, 0x56}};
inline constexpr Guid kIOvixQd40CtlIid{
    0x5FB926A5, 0x58E1, 0x424E, {0x85, 0xC7, 0x21, 0x84, 0x58, 0x4B, 0x89, 0xA5}};
inline constexpr const char* kCtlSource = "OvixQd40.OvixQd40Ctl.1";

// What the control tells its container: its state needs saving, its view
// should be redrawn, its data changed.
class CtlContainer {
public:
    virtual ~CtlContainer() = default;
    virtual void setModified() {}
    virtual void requestRedraw() {}
    virtual void dataChanged() {}
};

using cfg::VariantBlob;

class OvixQd40Ctl {
public:
    explicit OvixQd40Ctl(Qd40Factory factory, CtlContainer* container = nullptr,
                         platform::RegistryStore registry = platform::RegistryStore());
    ~OvixQd40Ctl();
    OvixQd40Ctl(const OvixQd40Ctl&) = delete;
    OvixQd40Ctl& operator=(const OvixQd40Ctl&) = delete;

    const ErrorInfo& lastError() const { return lastError_; }
    bool isModified() const { return modified_; }
    const CtlState& state() const { return state_; }
    // Whether the control holds the module under remote control between
    // operations (after Remote(), until Local() or Close()).
    bool holdsRemote() const { return remoteHeld_; }

    // ---- persistence (a failed load leaves the control as it was)
    Status Load(const PropertyBag& bag);
    void Save(PropertyBag& bag, bool clearDirty = true);
    Status Load(std::span<const uint8_t> stream, size_t* consumed = nullptr);
    Status Save(OutStream& stream, bool clearDirty = true);

    // ---- IOvixQd40Ctl
    HRESULT get_Cfg(VariantBlob* pVal);  // 1
    HRESULT put_Cfg(const VariantBlob& newVal);
    HRESULT get_Serial(int32_t* pVal);  // 2
    HRESULT put_Serial(int32_t newVal);
    HRESULT get_IpAddr(std::string* pVal);  // 3
    HRESULT put_IpAddr(const std::string& newVal);
    HRESULT get_Port(int32_t* pVal);  // 4
    HRESULT put_Port(int32_t newVal);
    HRESULT get_OvixQd40SvrParams(int32_t* pVal);  // 5
    HRESULT put_OvixQd40SvrParams(int32_t newVal);
    HRESULT get_BaudRate(int32_t* pVal);  // 6
    HRESULT put_BaudRate(int32_t newVal);
    HRESULT get_MbAddr(int16_t* pVal);  // 7
    HRESULT put_MbAddr(int16_t newVal);
    HRESULT get_IsOpen(int32_t* pVal);       // 8
    HRESULT get_DevType(std::string* pVal);  // 9
    HRESULT get_IsRunning(int32_t* pVal);    // 10
    HRESULT get_IsWaiting(int32_t* pVal);    // 11
    HRESULT get_IsRemote(int32_t* pVal);     // 12
    HRESULT get_IsMaster(int32_t* pVal);     // 13
    HRESULT get_NewMeas(int32_t* pVal);      // 14
    HRESULT get_Alarm1(int32_t* pVal);       // 15
    HRESULT get_Alarm2(int32_t* pVal);       // 16
    HRESULT Open();                          // 17
    HRESULT Close();                         // 18
    HRESULT SendCfg();                       // 19
    HRESULT ReadCfg();                       // 20
    HRESULT Remote();                        // 21
    HRESULT Local();                         // 22
    HRESULT Run();                           // 23
    HRESULT Stop();                          // 24
    HRESULT Trig();                          // 25
    HRESULT GetChans(int16_t first, int16_t qty, VariantBlob* pvValues,
                     VariantBlob* pvErrors);                        // 26
    HRESULT GetChan(int16_t chan, float* pValue, int16_t* pError);  // 27
    HRESULT SetRel(int16_t relay, int32_t on);                      // 28
    HRESULT GetRel(int16_t relay, int32_t* pOn);                    // 29
    HRESULT GetStatus(int16_t* pStatus);                            // 30
    HRESULT GetCyStatus(VariantBlob* pv);                           // 31
    HRESULT GetMemsStatus(VariantBlob* pv);                         // 32
    HRESULT MemRun(int16_t block);                                  // 33
    HRESULT MemStop(int16_t block);                                 // 34
    HRESULT MemTrig(int16_t block);                                 // 35
    HRESULT MemStore(int16_t block);                                // 36
    HRESULT MemClear(int16_t block);                                // 37
    HRESULT GetMemRecCount(int16_t block, uint32_t* pCount);        // 38
    HRESULT GetMemRecords(int16_t block, uint32_t first, uint32_t qty, int32_t clear,
                          uint32_t* pRead, VariantBlob* pvRecords);        // 39
    HRESULT get_Version(std::string* pVal);                                // 40
    HRESULT GetBinVersion(uint32_t* pMS, uint32_t* pLS, int32_t* pError);  // 41
    HRESULT Fct2str(int16_t fct, std::string* pVal);                       // 42
    HRESULT Rge2str(int16_t fct, int16_t rge, std::string* pVal);          // 43
    HRESULT get_ChansResCfg(VariantBlob* pVal);                            // 44
    HRESULT put_ChansResCfg(const VariantBlob& newVal);
    HRESULT GetChansResStatus(VariantBlob* pv);                             // 45
    HRESULT GetChansDelaysStatus(VariantBlob* pv);                          // 46
    HRESULT BoardInit();                                                    // 47
    HRESULT ForceRemote();                                                  // 48
    HRESULT GetEvtCount(uint16_t* pCount);                                  // 49
    HRESULT GetEvts(uint16_t qty, uint16_t* pRead, VariantBlob* pvEvents);  // 50
    HRESULT ClrEvts();                                                      // 51
    HRESULT get_EmailCfg(VariantBlob* pVal);                                // 52
    HRESULT put_EmailCfg(const VariantBlob& newVal);
    HRESULT get_MemsStatusMaskCfg(VariantBlob* pVal);  // 53
    HRESULT put_MemsStatusMaskCfg(const VariantBlob& newVal);
    HRESULT get_ChansExtCfg(VariantBlob* pVal);  // 54
    HRESULT put_ChansExtCfg(const VariantBlob& newVal);
    HRESULT get_DefEditChanNum(int16_t* pVal);  // 55
    HRESULT put_DefEditChanNum(int16_t newVal);
    HRESULT get_DevVersion(std::string* pVal);                           // 56
    HRESULT GetChanMnemo(int16_t chan, std::string* pVal);               // 57
    HRESULT GetChanUnit(int16_t chan, std::string* pVal);                // 58
    HRESULT GetChanDefMnemo(int16_t chan, std::string* pVal);            // 59
    HRESULT GetRgeDefUnit(int16_t fct, int16_t rge, std::string* pVal);  // 60
    HRESULT RunWithOptMem(int16_t option);                               // 61
    HRESULT GetCfgMinAcqPeriod(const VariantBlob& vCfg, uint32_t* pMinAcqMs, uint32_t* pAuxMs,
                               int32_t* pCode);     // 62
    HRESULT get_DevFileVersion(std::string* pVal);  // 63
    HRESULT get_Qd40ExtCfg(VariantBlob* pVal);      // 64
    HRESULT put_Qd40ExtCfg(const VariantBlob& newVal);
    HRESULT GetQd40Mnemo(std::string* pVal);                         // 65
    HRESULT ReadCfgFileIdn(uint32_t* pTime, std::string* pName);     // 66
    HRESULT SendCfgFileIdn(uint32_t time, const std::string& name);  // 67
    HRESULT GetSentEmailCount(uint16_t* pCount);                     // 68
    HRESULT SetSentEmailCount(uint16_t count);                       // 69
    HRESULT SetLongFormatDefault();                                  // 70
    HRESULT SetSetupDefault();                                       // 71
    HRESULT ReInitEmailAlerter();                                    // 72
    HRESULT GetDate(double* pDate);                                  // 73
    HRESULT SetDate(double date);                                    // 74
    HRESULT ReadSetupName(std::string* pVal);                        // 75
    HRESULT MemRemove(int16_t block, uint32_t qty);                  // 76
    HRESULT GetDefChanResol(int16_t fct, int16_t rge, int16_t acc, float* pRound,
                            uint16_t* pResol);  // 77
    // The server object while open, else null; the control keeps ownership.
    HRESULT GetQd40IUserRef(Qd40Link** ppVal);  // 78
    HRESULT get_SerialMode(int16_t* pVal);      // 79
    HRESULT put_SerialMode(int16_t newVal);

private:
    HRESULT report(const Status& st);
    HRESULT fail(HRESULT hr, int stringId);
    HRESULT serverFailure(HRESULT hr);
    HRESULT notOpen();
    // S_OK, or the server's failure taken over as the control's.
    HRESULT checked(HRESULT serverResult);
    // Writes an out value; a null pointer is refused with 518.
    template <class T, class V>
    HRESULT give(T* p, V&& value) {
        if (!p)
            return fail(E_POINTER, ctl::kTxtInvalidPointer);
        *p = std::forward<V>(value);
        return S_OK;
    }
    bool statusBit(int bit, int32_t* pVal, HRESULT& result);
    void changed();
    HRESULT putBlob(const VariantBlob& v, std::span<uint8_t> blob);

    // Takes remote control unless this port already holds it; `taken` says
    // whether it must be given back.
    HRESULT takeRemote(bool& taken);
    HRESULT giveBack(bool taken, HRESULT result);
    // Remote control for the length of one operation: take() takes it when
    // needed, finish(result) gives it back and gives the operation's result
    // (its own failure first, else a failure to give control back). A turn
    // that ends without finish() (an early return, an exception) still gives
    // control back, keeping the error already reported. Either way the module
    // gets its "local" exactly once.
    class RemoteTurn {
    public:
        explicit RemoteTurn(OvixQd40Ctl& ctl) : ctl_(ctl) {}
        ~RemoteTurn() {
            if (taken_)
                (void)ctl_.giveBack(true, E_FAIL);
        }
        RemoteTurn(const RemoteTurn&) = delete;
        RemoteTurn& operator=(const RemoteTurn&) = delete;
        HRESULT take() { return ctl_.takeRemote(taken_); }
        HRESULT finish(HRESULT result) {
            const bool taken = taken_;
            taken_ = false;
            return ctl_.giveBack(taken, result);
        }

    private:
        OvixQd40Ctl& ctl_;
        bool taken_ = false;
    };
    // The command pattern: open check, remote control, the operation, control given back.
    template <class Op>
    HRESULT command(Op op);
    HRESULT memCommand(int16_t block, HRESULT (Qd40Link::*op)(uint8_t, uint8_t, int32_t*));
    HRESULT checkedChannel(int16_t chan);

    HRESULT openSteps();
    HRESULT pushPortSettings();
    HRESULT readStatusWord(uint16_t& status);
    HRESULT readExtArea(int16_t registers, std::vector<uint8_t>& bytes);
    void clearConnection();
    // The persisted 16-bit port as the COM or TCP port number it stands for.
    int32_t portNumber() const { return static_cast<uint16_t>(state_.conn.port); }

    Qd40Factory factory_;
    CtlContainer* container_;
    platform::RegistryStore registry_;
    CtlState state_ = CtlState::defaults();
    int16_t defEditChanNum_ = 1;
    bool modified_ = false;

    std::unique_ptr<Qd40Link> link_;
    bool open_ = false;
    // Remote control held beyond single operations: taken by Remote(), or
    // found under this line's control, until Local() or Close().
    bool remoteHeld_ = false;
    uint16_t devId_ = 0;
    std::string devFileVersion_;
    // Register 901 as read at opening; nothing to restore when it could not be read.
    std::optional<uint16_t> saved901_;
    // The module address it was read from: restored there even if MbAddr changed since.
    uint8_t saved901Addr_ = 0;
    ErrorInfo lastError_;
};

}  // namespace qd40::ctl
