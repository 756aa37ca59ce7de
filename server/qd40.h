// The Qd40 object: one per client, owning at most one open channel to a
// MODBUS network. Methods follow the IUser and IOvix interfaces: each returns
// an HRESULT, writes its out values through pointers (a null pointer is
// refused with "Invalid Pointer") and, on failure, leaves an error record in
// lastError(). An object is used by one thread at a time: in the daemon, its
// client's call thread.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/error_info.h"
#include "common/module_commands.h"
#include "common/module_registers.h"
#include "platform/named_mutex.h"
#include "server/port_settings.h"
#include "server/server_life.h"
#include "server/transport/transport.h"
#include "server/variant.h"

namespace qd40::server {

// What the objects of one daemon share.
struct Qd40Context {
    PortSettingsTable& ports;
    ServerLife& life;
    transport::TransportFactory createTransport;
    // Creates the named mutex that marks a module as held.
    std::function<platform::NamedMutex::Result(const std::string&)> createMutex =
        [](const std::string& name) { return platform::NamedMutex::create(name); };
};

namespace reg = module::reg;

inline constexpr int kMaxAnswerWords = 196;
inline constexpr int kMaxCommandParams = 197;
inline constexpr int kFullCfgSize = 4684;
inline constexpr int kEmailCfgSize = 642;

// Clears an invalid function (8 and up) and a range past the function's
// ranges in word 0 of a channel image.
uint16_t normaliseChannelWord(uint16_t word0);

class Qd40 {
public:
    explicit Qd40(Qd40Context& context);
    // Closes the channel, gives back its lock and drops the remote-control
    // mutex, so a released or lost object never keeps the daemon or a module.
    ~Qd40();
    Qd40(const Qd40&) = delete;
    Qd40& operator=(const Qd40&) = delete;

    const ErrorInfo& lastError() const { return lastError_.error; }
    // Waits for the object's turn on its line and holds it while the result
    // lives; a caller on one of several threads takes it around each call.
    std::shared_ptr<void> lineTurn() { return transport_ ? transport_->takeTurn() : nullptr; }

    // ---- IUser
    HRESULT Version(std::string* pVal);
    HRESULT GetAvailableComX(int32_t nPort, int32_t* pVal);
    HRESULT PutAvailableComX(int32_t nPort, int32_t newVal);
    HRESULT GetBaudRateComX(int32_t nPort, uint32_t* pVal);
    HRESULT PutBaudRateComX(int32_t nPort, uint32_t newVal);
    HRESULT GetHalfDuplexComX(int32_t nPort, int32_t* pVal);
    HRESULT PutHalfDuplexComX(int32_t nPort, int32_t newVal);
    HRESULT OpenComm(const std::string& sIpAddr, int32_t nPort, int32_t* pnErrCode);
    HRESULT CloseComm(int32_t* pnErrCode);
    HRESULT CommIsOpen(int32_t* pbIsOpen);
    HRESULT CommIsHalfDuplex(int32_t* pbIsHalfDuplex);
    HRESULT GetDevId(uint8_t byDevAddr, uint16_t* pwDevId);
    HRESULT ReadInputStatus(int16_t nDevAddr, int32_t lStartReg, int16_t nQty,
                            Variant* pvCoilValues, int32_t* plRetVal);
    HRESULT ReadOutputStatus(int16_t nDevAddr, int32_t lStartReg, int16_t nQty,
                             Variant* pvCoilValues, int32_t* plRetVal);
    HRESULT ForceSingleCoil(int16_t nDevAddr, int32_t lReg, int16_t vCoilValue, int32_t* plRetVal);
    HRESULT ForceMultipleCoils(int16_t nDevAddr, int32_t lStartReg, int16_t nQty,
                               const Variant& vCoilValues, int32_t* plRetVal);
    // vVarType: VT_I2 (the default), VT_UI2, VT_I4 or VT_UI4 give one value per
    // register; VT_R4 one float per two registers in the vRealType word order
    // (mbREAL_NORMAL: low word first). vRealType -1 stands for "missing".
    HRESULT ReadInputRegisters(int16_t nDevAddr, int32_t lStartReg, int16_t nQty,
                               Variant* pvRegValues, uint16_t vVarType, int16_t vRealType,
                               int32_t* plRetVal);
    HRESULT ReadOutputRegisters(int16_t nDevAddr, int32_t lStartReg, int16_t nQty,
                                Variant* pvRegValues, uint16_t vVarType, int16_t vRealType,
                                int32_t* plRetVal);
    HRESULT PresetSingleRegister(int16_t nDevAddr, int32_t lReg, int32_t vRegValue,
                                 int16_t vRealType, int32_t* plRetVal);
    HRESULT PresetMultipleRegisters(int16_t nDevAddr, int32_t lStartReg, int16_t nQty,
                                    const Variant& vRegValues, int16_t vRealType,
                                    int32_t* plRetVal);
    HRESULT Remote(uint8_t byDevAddr, int32_t* pnErrCode);
    HRESULT Local(uint8_t byDevAddr, int32_t* pnErrCode);
    HRESULT Run(uint8_t byDevAddr, int32_t* pnErrCode);
    HRESULT Stop(uint8_t byDevAddr, int32_t* pnErrCode);
    HRESULT Trig(uint8_t byDevAddr, int32_t* pnErrCode);
    HRESULT MemRun(uint8_t byDevAddr, uint8_t byMemNum, int32_t* pnErrCode);
    HRESULT MemStop(uint8_t byDevAddr, uint8_t byMemNum, int32_t* pnErrCode);
    HRESULT MemTrig(uint8_t byDevAddr, uint8_t byMemNum, int32_t* pnErrCode);
    HRESULT MemStore(uint8_t byDevAddr, uint8_t byMemNum, int32_t* pnErrCode);
    HRESULT MemClear(uint8_t byDevAddr, uint8_t byMemNum, int32_t* pnErrCode);
    HRESULT SetRel(uint8_t byDevAddr, uint16_t wRelNum, int32_t bOn, int32_t* pnErrCode);
    HRESULT GetRel(uint8_t byDevAddr, uint16_t wRelNum, int32_t* pbOn);
    HRESULT GetBinVersion(uint32_t* pdwVersionMS, uint32_t* pdwVersionLS);
    HRESULT GetDevVersion(uint8_t byDevAddr, std::string* pVal);
    HRESULT RunWithOptMem(uint8_t byDevAddr, uint8_t byOption, int32_t* pnErrCode);
    HRESULT GetDevFileVersion(uint8_t byDevAddr, std::string* pVal);
    HRESULT SetLongFormatDefault(uint8_t byDevAddr, int32_t* pnErrCode);
    HRESULT SetSetupDefault(uint8_t byDevAddr, int32_t* pnErrCode);
    HRESULT ReInitEmailAlerter(uint8_t byDevAddr, int32_t* pnErrCode);
    HRESULT GetDate(uint8_t byDevAddr, double* pdtDate);
    HRESULT SetDate(uint8_t byDevAddr, double dtDate, int32_t* pnErrCode);
    HRESULT ReadSetupName(uint8_t byDevAddr, std::string* pVal);
    HRESULT MemRemove(uint8_t byDevAddr, uint8_t byMemNum, uint32_t dwQty, int32_t* pnErrCode);
    HRESULT GetHalfDuplexPauseComX(int32_t nPort, uint16_t* pVal);
    HRESULT PutHalfDuplexPauseComX(int32_t nPort, uint16_t newVal);
    HRESULT GetEofCharQtyComX(int32_t nPort, uint8_t* pVal);
    HRESULT PutEofCharQtyComX(int32_t nPort, uint8_t newVal);

    // ---- IOvix
    HRESULT GetFullCfg(uint8_t byDevAddr, Variant* pvFullCfg, int32_t* pnErrCode);
    HRESULT SetFullCfg(uint8_t byDevAddr, const Variant* pvFullCfg, int32_t* pnErrCode);
    HRESULT GetChansRes(uint8_t byDevAddr, Variant* pvChansRes, int32_t* pnErrCode);
    HRESULT SetChansRes(uint8_t byDevAddr, const Variant* pvChansRes, int32_t* pnErrCode);
    HRESULT GetGlobalCfg(uint8_t byDevAddr, uint16_t* pwGlobalCfg, int32_t* pnErrCode);
    HRESULT SetGlobalCfg(uint8_t byDevAddr, uint16_t wGlobalCfg, int32_t* pnErrCode);
    HRESULT GetAcqCfg(uint8_t byDevAddr, Variant* pvAcqCfg, int32_t* pnErrCode);
    HRESULT SetAcqCfg(uint8_t byDevAddr, const Variant* pvAcqCfg, int32_t* pnErrCode);
    HRESULT GetChanCfg(uint8_t byDevAddr, uint16_t wChanNum, Variant* pvChanCfg,
                       int32_t* pnErrCode);
    HRESULT SetChanCfg(uint8_t byDevAddr, uint16_t wChanNum, const Variant* pvChanCfg,
                       int32_t* pnErrCode);
    HRESULT GetChanRes(uint8_t byDevAddr, uint16_t wChanNum, uint16_t* pwChanRes,
                       int32_t* pnErrCode);
    HRESULT SetChanRes(uint8_t byDevAddr, uint16_t wChanNum, uint16_t wChanRes, int32_t* pnErrCode);
    HRESULT GetMemCfg(uint8_t byDevAddr, uint8_t byMemNum, Variant* pvMemCfg, int32_t* pnErrCode);
    HRESULT SetMemCfg(uint8_t byDevAddr, uint8_t byMemNum, const Variant* pvMemCfg,
                      int32_t* pnErrCode);
    HRESULT GetStatus(uint8_t byDevAddr, uint16_t* pwGlobalStatus, int32_t* pnErrCode);
    HRESULT GetCyStatus(uint8_t byDevAddr, Variant* pvCyStat, int32_t* pnErrCode);
    HRESULT GetChansDelays(uint8_t byDevAddr, Variant* pvChansDelays, int32_t* pnErrCode);
    HRESULT GetMemsStatus(uint8_t byDevAddr, Variant* pvMemsStatus, int32_t* pnErrCode);
    HRESULT GetMemsStatusMask(uint8_t byDevAddr, Variant* pvMemsStatusMask, int32_t* pnErrCode);
    HRESULT SetMemsStatusMask(uint8_t byDevAddr, const Variant* pvMemsStatusMask,
                              int32_t* pnErrCode);
    HRESULT GetMemRecCount(uint8_t byDevAddr, uint8_t byMemNum, uint32_t* pdwRecCount,
                           int32_t* pnErrCode);
    HRESULT GetMemRecords(uint8_t byDevAddr, uint8_t byMemNum, uint32_t dwFirst, uint32_t dwQty,
                          int32_t bClear, uint32_t* pdwQtyRead, Variant* pvRecords,
                          int32_t* pnErrCode);
    HRESULT ReadRegs(uint8_t byDevAddr, uint32_t dwFirstReg, int16_t nQty, int32_t bOutputRegs,
                     Variant* pvRegValues, int32_t* pnErrCode);
    HRESULT SendRegs(uint8_t byDevAddr, uint32_t dwFirstReg, int16_t nQty,
                     const Variant& vRegValues, int32_t* pnErrCode);
    // pvAnswer (may be null) receives the answer block (command code, length
    // L, then L words) as bytes when bWithAnswer is set; pvQd40Cmd is unchanged.
    HRESULT SendCmd(uint8_t byDevAddr, const Variant* pvQd40Cmd, int32_t bWithAnswer,
                    Variant* pvAnswer, int32_t* pnErrCode);
    HRESULT GetEvtCount(uint8_t byDevAddr, uint16_t* pwEvtCount, int32_t* pnErrCode);
    HRESULT GetEvts(uint8_t byDevAddr, uint16_t wQty, uint16_t* pwQtyRead, Variant* pvEvts,
                    int32_t* pnErrCode);
    HRESULT ClrEvts(uint8_t byDevAddr, int32_t* pnErrCode);
    HRESULT GetEmailCfg(uint8_t byDevAddr, Variant* pvEmailCfg, int32_t* pnErrCode);
    HRESULT SetEmailCfg(uint8_t byDevAddr, const Variant* pvEmailCfg, int32_t* pnErrCode);
    HRESULT GetSentEmailCount(uint8_t byDevAddr, uint16_t* pwSentEmailCount, int32_t* pnErrCode);
    HRESULT SetSentEmailCount(uint8_t byDevAddr, uint16_t wSentEmailCount, int32_t* pnErrCode);

private:
    HRESULT fail(int messageId, HRESULT result, const Guid& iid);
    HRESULT fail(const std::string& text, HRESULT result, const Guid& iid);
    HRESULT fail(const Status& transportFailure, const Guid& iid);
    // The common start of a module method: out pointer, zeroed out value, open channel.
    template <typename T>
    bool begin(T* out, const Guid& iid, HRESULT& result);
    void closeChannel();

    // Transfers; a refused write comes back as the module's own error.
    Status refused(Status st, int dev);
    Status readRegs(int dev, int32_t start, int qty, bool holding, std::vector<uint16_t>& out,
                    int32_t& ret);
    Status writeRegs(int dev, int32_t start, std::span<const uint16_t> words, int32_t& ret);
    Status writeSingle(int dev, int32_t reg, uint16_t value, int32_t& ret);
    Status commandTopDown(int dev, std::span<const uint16_t> block, int32_t& ret);
    Status readAnswer(int dev, std::vector<uint16_t>& words, int32_t& ret);
    Status readImage(int dev, int32_t start, size_t bytes, std::vector<uint8_t>& image,
                     int32_t& ret);
    Status writeImage(int dev, int32_t start, std::span<const uint8_t> image, int32_t& ret);

    HRESULT singleCommand(uint8_t dev, module::Cmd command, int32_t* pnErrCode, const Guid& iid);
    HRESULT memCommand(uint8_t dev, module::Cmd command, uint8_t mem, int32_t* pnErrCode);
    HRESULT getImage(uint8_t dev, int32_t start, size_t size, Variant* pv, int32_t* pnErrCode);
    HRESULT setImage(uint8_t dev, int32_t start, size_t size, const Variant* pv,
                     int32_t* pnErrCode);
    HRESULT readVersion(uint8_t dev, int32_t reg, std::string* pVal);
    HRESULT readBits(bool input, int16_t dev, int32_t start, int16_t qty, Variant* pv,
                     int32_t* plRetVal);
    HRESULT readRegisters(bool input, int16_t dev, int32_t start, int16_t qty, Variant* pv,
                          uint16_t varType, int16_t realType, int32_t* plRetVal);

    Qd40Context& ctx_;
    // The object's own lock on the daemon's life; given back last, after the
    // channel and its marks.
    ServerLife::Hold objectHold_;
    std::unique_ptr<transport::Transport> transport_;
    bool serial_ = false;
    std::string channelName_;                      // "host:port" of a TCP channel
    std::optional<ServerLife::Hold> channelHold_;  // held while a channel is open
    // The remote-control marks held on the channel, one per module address,
    // so that controlling a second module on the same line never gives up
    // the first one's mark.
    std::map<uint8_t, platform::NamedMutex> remoteMutexes_;
    // The stored-channel mask of each (module address, memory block) read.
    std::map<std::pair<uint8_t, uint8_t>, uint32_t> storedChannels_;
    Status lastError_;
};

}  // namespace qd40::server
