// The frame's module SETUP commands without widgets: the SETUP sheet, the
// module's Ethernet address and the reset to the default SETUP. Each asks a
// serial port, opens it through the communication server with the settings a
// module's SETUP port expects, takes remote control, does its work and gives
// everything back. What they ask of the user goes through SetupPorts and the
// application's prompter.
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "app/core/app_ports.h"
#include "app/core/settings/settings_store.h"
#include "app/core/setup/service_check.h"
#include "app/core/setup/setup_record.h"
#include "app/records/wait_progress.h"
#include "common/dates.h"
#include "control/ctl/qd40_link.h"

namespace qd40::app::setup {

inline constexpr const char* kSetupSection = "Setup";
inline constexpr const char* kSetupComEntry = "COM";
// Line settings pushed to the chosen port for a SETUP connection.
inline constexpr int32_t kSetupHalfDuplex = 2;  // cabling found out on the line
inline constexpr uint16_t kSetupHalfDuplexPause = 10;
inline constexpr uint8_t kSetupEofCharQty = 4;

using MacAddress = std::array<uint8_t, 6>;
// One byte of the address as the dialog shows it ("0A" or "10") and back.
std::string addressByteText(uint8_t value, bool hex);
std::optional<uint8_t> parseAddressByte(std::string_view text, bool hex);

// An open SETUP connection: the server's object with the line open and the
// module under remote control. close() (or the destructor) gives the control
// back and closes the line.
class SetupConnection {
public:
    SetupConnection() = default;
    ~SetupConnection() { close(); }
    SetupConnection(const SetupConnection&) = delete;
    SetupConnection& operator=(const SetupConnection&) = delete;

    // Creates the object, pushes the SETUP line settings to params' serial
    // port, opens it and takes remote control. On failure, what went wrong
    // and which step: CreateFailed, OpenFailed or RemoteFailed.
    enum class Step { Ok, CreateFailed, OpenFailed, RemoteFailed };
    Step open(const ctl::Qd40Factory& factory, const ctl::CtlConnection& params);
    void close();

    ctl::Qd40Link& link() { return *link_; }
    uint8_t devAddr() const { return addr_; }
    // The failure's result and error record.
    HRESULT result() const { return hr_; }
    const ErrorInfo& error() const { return error_; }

private:
    std::unique_ptr<ctl::Qd40Link> link_;
    uint8_t addr_ = 1;
    bool open_ = false;
    bool remote_ = false;
    HRESULT hr_ = S_OK;
    ErrorInfo error_;
};

// The module's clock while the SETUP pages are shown, over the open SETUP
// connection. read gives nullopt when the module did not answer; send
// returns false when it refused (the failure is shown).
struct SetupClock {
    std::function<std::optional<DateTime>()> read;
    std::function<bool(const DateTime&)> send;
};

class SetupPorts {
public:
    virtual ~SetupPorts() = default;
    // The communication parameters dialog in its SETUP form (only the serial
    // port may change); false on Cancel.
    virtual bool askSetupPort(ctl::CtlConnection& params) = 0;
    // The SETUP pages over record (a module of moduleVersion), the module's
    // clock beside them; false on Cancel.
    virtual bool editSetup(SetupRecord& record, const std::string& moduleVersion,
                           const SetupClock& clock) = 0;
    // The Ethernet address dialog; false on Cancel.
    virtual bool editEthernetAddress(MacAddress& address) = 0;
    // The progress dialog of the transfers.
    virtual records::IWaitDialog& progress() = 0;
    // The access-code dialog.
    virtual AccessCodeAsker& accessCode() = 0;
};

class SetupCommands {
public:
    // factory: creates the communication server's object; machine: the
    // local-machine store keeping the last SETUP port.
    SetupCommands(ctl::Qd40Factory factory, settings::SettingsStore& machine, AppPrompter& prompter,
                  SetupPorts& ports, const ServiceCodes& codes = programServiceCodes());

    // The SETUP sheet: read, edit, write what changed. S_OK, S_FALSE when
    // the user stopped before anything was sent, else the failure (shown).
    HRESULT runSetupSheet();
    // The SETUP sheet over a line already open to the module at devAddr and
    // under remote control (the results as runSetupSheet's).
    HRESULT setupSheetOn(ctl::Qd40Link& link, uint8_t devAddr);
    // Resets the module's SETUP to its defaults after the service check and
    // the confirmation.
    HRESULT resetSetup();
    // The Ethernet address of the module, after the service check.
    HRESULT ethernetAddress();

private:
    using Operation = std::function<HRESULT(ctl::Qd40Link& link, uint8_t devAddr)>;
    // Asks the port, connects, takes remote control, runs op, gives back.
    HRESULT withSetupConnection(const Operation& op);
    void showError(HRESULT hr, const ErrorInfo& error);

    ctl::Qd40Factory factory_;
    settings::SettingsStore& machine_;
    AppPrompter& prompter_;
    SetupPorts& ports_;
    ServiceCodes codes_;
};

}  // namespace qd40::app::setup
