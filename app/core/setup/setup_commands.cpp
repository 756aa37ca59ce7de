#include "app/core/setup/setup_commands.h"

#include <charconv>

#include "app/core/app_strings.h"
#include "app/core/doc_operations.h"
#include "app/core/setup/setup_strings.h"
#include "app/core/setup/setup_transfer.h"

namespace qd40::app::setup {

std::string addressByteText(uint8_t value, bool hex) {
    if (!hex)
        return std::to_string(value);
    const char* digits = "0123456789ABCDEF";
    return {digits[value >> 4], digits[value & 0xF]};
}

std::optional<uint8_t> parseAddressByte(std::string_view text, bool hex) {
    unsigned v = 0;
    const auto [end, ec] =
        std::from_chars(text.data(), text.data() + text.size(), v, hex ? 16 : 10);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || v > 255)
        return std::nullopt;
    return uint8_t(v);
}

SetupCommands::SetupCommands(ctl::Qd40Factory factory, settings::SettingsStore& machine,
                             AppPrompter& prompter, SetupPorts& ports, const ServiceCodes& codes)
    : factory_(std::move(factory)),
      machine_(machine),
      prompter_(prompter),
      ports_(ports),
      codes_(codes) {}

void SetupCommands::showError(HRESULT hr, const ErrorInfo& error) {
    if (hr == E_ABORT)
        return;
    prompter_.message(controlErrorText(hr, error), Buttons::Ok, Icon::Exclamation);
}

SetupConnection::Step SetupConnection::open(const ctl::Qd40Factory& factory,
                                            const ctl::CtlConnection& params) {
    close();
    addr_ = params.mbAddr;
    const int32_t port = params.port;
    Status st = factory ? factory("", link_) : Status::failure(E_FAIL, "No communication server");
    if (!st || !link_) {
        hr_ = failed(st.hr) ? st.hr : E_FAIL;
        error_ = st.error;
        link_.reset();
        return Step::CreateFailed;
    }
    int32_t err = 0;
    HRESULT hr = link_->PutAvailableComX(port, 1);
    if (succeeded(hr))
        hr = link_->PutBaudRateComX(port, params.baudRate);
    if (succeeded(hr))
        hr = link_->PutHalfDuplexComX(port, kSetupHalfDuplex);
    if (succeeded(hr))
        hr = link_->PutHalfDuplexPauseComX(port, kSetupHalfDuplexPause);
    if (succeeded(hr))
        hr = link_->PutEofCharQtyComX(port, kSetupEofCharQty);
    if (succeeded(hr))
        hr = link_->OpenComm("", port, &err);
    if (failed(hr)) {
        hr_ = hr;
        error_ = link_->lastError();
        return Step::OpenFailed;
    }
    open_ = true;
    hr = link_->Remote(addr_, &err);
    if (failed(hr)) {
        hr_ = hr;
        error_ = link_->lastError();
        return Step::RemoteFailed;
    }
    remote_ = true;
    return Step::Ok;
}

void SetupConnection::close() {
    int32_t err = 0;
    if (remote_)
        link_->Local(addr_, &err);
    if (open_)
        link_->CloseComm(&err);
    remote_ = open_ = false;
    link_.reset();
}

HRESULT SetupCommands::withSetupConnection(const Operation& op) {
    ctl::CtlConnection params;
    params.serial = true;
    params.port = int16_t(machine_.readInt(kSetupSection, kSetupComEntry, 1));
    params.ovixQd40SvrParams = false;
    if (!ports_.askSetupPort(params))
        return S_FALSE;

    SetupConnection c;
    switch (c.open(factory_, params)) {
        case SetupConnection::Step::CreateFailed:
            prompter_.message(appText(text::kCannotAccessModule) + "\n\n" + c.error().description,
                              Buttons::Ok, Icon::Exclamation);
            return c.result();
        case SetupConnection::Step::OpenFailed: {
            std::string text = setupText(stext::kUnableToOpenComm);
            if (!c.error().description.empty())
                text += "\n\n" + c.error().description;
            prompter_.message(text, Buttons::Ok, Icon::Exclamation);
            return c.result();
        }
        case SetupConnection::Step::RemoteFailed:
            machine_.writeInt(kSetupSection, kSetupComEntry, params.port);
            showError(c.result(), c.error());
            return c.result();
        case SetupConnection::Step::Ok:
            break;
    }
    machine_.writeInt(kSetupSection, kSetupComEntry, params.port);
    return op(c.link(), c.devAddr());
}

HRESULT SetupCommands::runSetupSheet() {
    return withSetupConnection(
        [this](ctl::Qd40Link& link, uint8_t addr) { return setupSheetOn(link, addr); });
}

HRESULT SetupCommands::setupSheetOn(ctl::Qd40Link& link, uint8_t addr) {
    std::string version;
    if (HRESULT hr = link.GetDevVersion(addr, &version); failed(hr)) {
        showError(hr, link.lastError());
        return hr;
    }
    SetupTransfer transfer(link, addr, version);
    SetupRecord original;
    if (HRESULT hr = transfer.read(original, &ports_.progress()); failed(hr)) {
        showError(hr, transfer.lastError());
        return hr;
    }
    SetupRecord edited = original;
    SetupClock clock;
    clock.read = [&link, addr]() -> std::optional<DateTime> {
        double date = 0;
        if (failed(link.GetDate(addr, &date)))
            return std::nullopt;
        return fromOleDate(date);
    };
    clock.send = [this, &link, addr](const DateTime& when) {
        int32_t err = 0;
        const HRESULT hr = link.SetDate(addr, toOleDate(when), &err);
        if (failed(hr))
            showError(hr, link.lastError());
        return succeeded(hr);
    };
    if (!ports_.editSetup(edited, version, clock))
        return S_FALSE;
    if (HRESULT hr = transfer.write(edited, original, &ports_.progress(), prompter_); failed(hr)) {
        showError(hr, transfer.lastError());
        return hr;
    }
    return S_OK;
}

HRESULT SetupCommands::resetSetup() {
    if (!checkServiceAccess(Service::Manufacturing, ports_.accessCode(), prompter_, codes_))
        return S_FALSE;
    if (prompter_.message(setupText(stext::kResetSetupAsk), Buttons::YesNoCancel, Icon::Question) !=
        Answer::Yes)
        return S_FALSE;
    return withSetupConnection([this](ctl::Qd40Link& link, uint8_t addr) -> HRESULT {
        int32_t err = 0;
        const HRESULT hr = link.SetSetupDefault(addr, &err);
        if (failed(hr))
            showError(hr, link.lastError());
        return hr;
    });
}

HRESULT SetupCommands::ethernetAddress() {
    if (!checkServiceAccess(Service::Manufacturing, ports_.accessCode(), prompter_, codes_))
        return S_FALSE;
    return withSetupConnection([this](ctl::Qd40Link&, uint8_t) -> HRESULT {
        // The module's register map has no place for the address of its
        // Ethernet component: the dialog edits it, and nothing is sent.
        MacAddress address{};
        if (!ports_.editEthernetAddress(address))
            return S_FALSE;
        prompter_.message(setupText(stext::kEthernetNotReadable), Buttons::Ok, Icon::Exclamation);
        return E_NOTIMPL;
    });
}

}  // namespace qd40::app::setup
