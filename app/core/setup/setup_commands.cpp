#include "app/core/setup/setup_commands.h"

#include "app/core/app_strings.h"
#include "app/core/doc_operations.h"
#include "app/core/setup/setup_strings.h"
#include "app/core/setup/setup_transfer.h"

namespace qd40::app::setup {

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

HRESULT SetupCommands::withSetupConnection(const Operation& op) {
    ctl::CtlConnection params;
    params.serial = true;
    params.port = int16_t(machine_.readInt(kSetupSection, kSetupComEntry, 1));
    params.ovixQd40SvrParams = false;
    if (!ports_.askSetupPort(params))
        return S_FALSE;
    const int32_t port = params.port;

    std::unique_ptr<ctl::Qd40Link> link;
    if (Status st = factory_ ? factory_("", link) : Status::failure(E_FAIL, "no server");
        !st || !link) {
        prompter_.message(appText(text::kCannotAccessModule) + "\n\n" + st.error.description,
                          Buttons::Ok, Icon::Exclamation);
        return failed(st.hr) ? st.hr : E_FAIL;
    }
    int32_t err = 0;
    HRESULT hr = link->PutAvailableComX(port, 1);
    if (succeeded(hr))
        hr = link->PutBaudRateComX(port, params.baudRate);
    if (succeeded(hr))
        hr = link->PutHalfDuplexComX(port, kSetupHalfDuplex);
    if (succeeded(hr))
        hr = link->PutHalfDuplexPauseComX(port, kSetupHalfDuplexPause);
    if (succeeded(hr))
        hr = link->PutEofCharQtyComX(port, kSetupEofCharQty);
    if (succeeded(hr))
        hr = link->OpenComm("", port, &err);
    if (failed(hr)) {
        std::string text = setupText(stext::kUnableToOpenComm);
        if (!link->lastError().description.empty())
            text += "\n\n" + link->lastError().description;
        prompter_.message(text, Buttons::Ok, Icon::Exclamation);
        return hr;
    }
    machine_.writeInt(kSetupSection, kSetupComEntry, port);

    const uint8_t addr = params.mbAddr;
    hr = link->Remote(addr, &err);
    if (failed(hr)) {
        showError(hr, link->lastError());
    } else {
        hr = op(*link, addr);
        int32_t localErr = 0;
        link->Local(addr, &localErr);
    }
    link->CloseComm(&err);
    return hr;
}

HRESULT SetupCommands::runSetupSheet() {
    return withSetupConnection([this](ctl::Qd40Link& link, uint8_t addr) -> HRESULT {
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
        if (!ports_.editSetup(edited, version))
            return S_FALSE;
        if (HRESULT hr = transfer.write(edited, original, &ports_.progress(), prompter_);
            failed(hr)) {
            showError(hr, transfer.lastError());
            return hr;
        }
        return S_OK;
    });
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
