// The logic of the operator window ovixqd40svr-panel, without widgets: the
// serial ports pre-configuration with its enabling rules, Validate (the
// store, then the running daemon), Exit (the daemon asked to end), the
// communication channel test and the about box's lines. The panel is a
// client of the daemon: it reaches it through DaemonAccess and tells the
// operator through MessagePort, so tests answer both.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/error_info.h"
#include "platform/registry.h"
#include "server/port_settings.h"

namespace qd40::panel {

// A Qd40 object of the daemon, as the panel uses it.
class PanelObject {
public:
    virtual ~PanelObject() = default;
    virtual const ErrorInfo& lastError() const = 0;
    virtual HRESULT Version(std::string* pVal) = 0;
    virtual HRESULT GetBinVersion(uint32_t* pdwVersionMS, uint32_t* pdwVersionLS) = 0;
    virtual HRESULT PutAvailableComX(int32_t nPort, int32_t newVal) = 0;
    virtual HRESULT PutBaudRateComX(int32_t nPort, uint32_t newVal) = 0;
    virtual HRESULT PutHalfDuplexComX(int32_t nPort, int32_t newVal) = 0;
    virtual HRESULT OpenComm(const std::string& sIpAddr, int32_t nPort, int32_t* pnErrCode) = 0;
    virtual HRESULT CloseComm(int32_t* pnErrCode) = 0;
    virtual HRESULT CommIsHalfDuplex(int32_t* pbIsHalfDuplex) = 0;
    virtual HRESULT GetDevId(uint8_t byDevAddr, uint16_t* pwDevId) = 0;
};

// PanelObject over any class with the Qd40 method names (the RPC proxy, or
// the object itself in tests).
template <class Impl>
class PanelObjectOver final : public PanelObject {
public:
    explicit PanelObjectOver(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
    const ErrorInfo& lastError() const override { return impl_->lastError(); }
    HRESULT Version(std::string* v) override { return impl_->Version(v); }
    HRESULT GetBinVersion(uint32_t* ms, uint32_t* ls) override {
        return impl_->GetBinVersion(ms, ls);
    }
    HRESULT PutAvailableComX(int32_t n, int32_t v) override {
        return impl_->PutAvailableComX(n, v);
    }
    HRESULT PutBaudRateComX(int32_t n, uint32_t v) override { return impl_->PutBaudRateComX(n, v); }
    HRESULT PutHalfDuplexComX(int32_t n, int32_t v) override {
        return impl_->PutHalfDuplexComX(n, v);
    }
    HRESULT OpenComm(const std::string& ip, int32_t port, int32_t* err) override {
        return impl_->OpenComm(ip, port, err);
    }
    HRESULT CloseComm(int32_t* err) override { return impl_->CloseComm(err); }
    HRESULT CommIsHalfDuplex(int32_t* v) override { return impl_->CommIsHalfDuplex(v); }
    HRESULT GetDevId(uint8_t dev, uint16_t* id) override { return impl_->GetDevId(dev, id); }

private:
    std::unique_ptr<Impl> impl_;
};

// How the panel reaches the daemon.
class DaemonAccess {
public:
    virtual ~DaemonAccess() = default;
    // A new object in the daemon, started through activation when none runs.
    virtual std::unique_ptr<PanelObject> create(Status* status) = 0;
    // An object in the daemon that runs now; null when none runs (nothing is started).
    virtual std::unique_ptr<PanelObject> running(Status* status) = 0;
    // Asks the running daemon to end and waits, bounded, until it has; ok
    // when no daemon runs afterwards (also when none ran).
    virtual Status quit() = 0;
    // The version of the MODBUS transport the daemon drives its lines with.
    virtual Status transportVersion(uint32_t& versionMS, uint32_t& versionLS,
                                    std::string& name) = 0;
};

// How the panel tells the operator.
class MessagePort {
public:
    enum class Icon { Information, Exclamation };
    virtual ~MessagePort() = default;
    virtual void message(Icon icon, const std::string& title, const std::string& text) = 0;
};

// The identifiers of the window's controls and the roles they play.
struct PortControlIds {
    int check;    // the port's available check box
    int rate;     // its baud rate list
    int cabling;  // its cabling list
};
inline constexpr std::array<PortControlIds, server::kPortCount> kPortControls{{
    {201, 203, 204},
    {202, 206, 207},
    {209, 210, 208},
    {213, 214, 211},
    {216, 221, 212},
    {218, 222, 225},
    {219, 223, 226},
    {220, 224, 227},
}};
inline constexpr int kIdTestButton = 205;
inline constexpr int kIdAboutButton = 228;
inline constexpr int kIdValidate = 217;
inline constexpr int kIdExit = 2;
// The test dialog's controls.
inline constexpr int kIdChannelList = 201;
inline constexpr int kIdModbusAddress = 210;
inline constexpr int kIdIpAddress = 211;
inline constexpr int kIdIpPort = 212;
inline constexpr int kIdTest = 205;
inline constexpr int kIdClose = 2;
// The about box's lines.
inline constexpr int kIdServerVersion = 1006;
inline constexpr int kIdLegalNotice = 1007;
inline constexpr int kIdTransportVersion = 1008;
inline constexpr int kIdSpecialBuild = 1015;

// What one port's row shows.
struct PortRow {
    bool available = false;
    int rateIndex = 0;     // entry of the rate list: 9600, 19200, 38400, 57600, 115200
    int cablingIndex = 2;  // entry of the cabling list = the cabling value
};

// The entries of the two lists.
std::vector<std::string> rateEntries();
uint32_t rateOfEntry(int index);
std::vector<std::string> cablingEntries();

// The main window: the ports pre-configuration.
class PortsPreConfig {
public:
    PortsPreConfig(platform::RegistryStore& store, DaemonAccess& daemon, MessagePort& messages);

    // Loads the store into the rows, writing each missing value with its
    // default. A key that cannot be written shows "Unable to access
    // registry" and leaves every port unavailable; returns false then.
    bool load();

    const PortRow& row(int port) const { return rows_[size_t(port - 1)]; }
    // Ticking or clearing a port enables or disables its two lists at once.
    void setAvailable(int port, bool on) { rows_[size_t(port - 1)].available = on; }
    bool listsEnabled(int port) const { return row(port).available; }
    void setRateIndex(int port, int index);
    void setCablingIndex(int port, int index);

    // The rows read back as the table's available flag, rate and cabling.
    server::PortSettings settings(int port) const;

    // Writes Com<n>, Rate<n> and HalfDuplex<n> of every port into the store,
    // then gives the running daemon, if any, the same values, so a new
    // setting needs no restart. Returns false when something failed (the
    // operator has been told).
    bool validate();

    // Asks the daemon to end (the panel then closes). False, with the
    // operator told, when it did not end.
    bool exit();

    // Gives the rows' available flag, rate and cabling of every port to the
    // daemon object `object`: what a channel test opens uses the window's
    // settings even before Validate.
    static Status push(PanelObject& object, const std::array<PortRow, server::kPortCount>& rows);
    const std::array<PortRow, server::kPortCount>& rows() const { return rows_; }

private:
    platform::RegistryStore& store_;
    DaemonAccess& daemon_;
    MessagePort& messages_;
    std::array<PortRow, server::kPortCount> rows_{};
    server::PortSettingsTable table_;
};

// The communication channel test dialog.
class ChannelTest {
public:
    struct Entry {
        std::string text;
        int data;  // port number - 1, or 8 for MODBUS/TCP
    };
    static constexpr int kTcpEntry = 8;

    // The window's rows as they are when the dialog opens.
    ChannelTest(const std::array<PortRow, server::kPortCount>& rows, DaemonAccess& daemon,
                MessagePort& messages);

    // One entry per available port, then "MODBUS/TCP"; none selected.
    const std::vector<Entry>& entries() const { return entries_; }
    void select(int index) { selected_ = index; }
    int selected() const { return selected_; }
    bool addressEnabled() const { return selected_ >= 0; }
    bool ipEnabled() const;

    // "TEST": checks the fields, opens the channel through a new object of
    // the daemon, reads the module's identifier and reports. Returns true
    // when the channel is OK.
    bool test(const std::string& address, const std::string& ipAddress, const std::string& ipPort);

private:
    std::array<PortRow, server::kPortCount> rows_;
    DaemonAccess& daemon_;
    MessagePort& messages_;
    std::vector<Entry> entries_;
    int selected_ = -1;
};

// The about box's lines.
struct AboutLines {
    std::string component;  // "Qd40 Communication Software Component"
    std::string server;     // 1006
    std::string legal;      // 1007
    std::string transport;  // 1008
    std::string special;    // 1015
};
AboutLines aboutLines(DaemonAccess& daemon);

}  // namespace qd40::panel
