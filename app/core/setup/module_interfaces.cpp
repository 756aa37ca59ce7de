#include "app/core/setup/module_interfaces.h"

namespace qd40::app::setup {

namespace {

// Gives remote control back on every way out, when it was taken here.
class RemoteTaken {
public:
    explicit RemoteTaken(ctl::OvixQd40Ctl& c) : c_(c) {}
    ~RemoteTaken() {
        if (taken_)
            c_.Local();
    }
    RemoteTaken(const RemoteTaken&) = delete;
    RemoteTaken& operator=(const RemoteTaken&) = delete;
    HRESULT take() {
        int32_t remote = 0;
        if (HRESULT hr = c_.get_IsRemote(&remote); failed(hr))
            return hr;
        if (remote)
            return S_OK;
        const HRESULT hr = c_.Remote();
        taken_ = succeeded(hr);
        return hr;
    }

private:
    ctl::OvixQd40Ctl& c_;
    bool taken_ = false;
};

}  // namespace

HRESULT showModuleInterfaces(SetupCommands& setup, DocOperations& ops, CTavikItem& item) {
    return ops.withOpenItem(item, [&setup](ctl::OvixQd40Ctl& c) -> HRESULT {
        RemoteTaken remote(c);
        if (HRESULT hr = remote.take(); failed(hr))
            return hr;
        ctl::Qd40Link* link = nullptr;
        if (HRESULT hr = c.GetQd40IUserRef(&link); failed(hr) || !link)
            return failed(hr) ? hr : E_POINTER;
        int16_t addr = 1;
        c.get_MbAddr(&addr);
        const HRESULT hr = setup.setupSheetOn(*link, static_cast<uint8_t>(addr));
        // The sheet has shown its own failure.
        return failed(hr) && hr != E_ABORT ? E_FAIL : hr;
    });
}

}  // namespace qd40::app::setup
