// Opens a module item's control for the time of a command or of a dialog and
// closes it at the end only when it was this object that opened it.
#pragma once
#include "control/ctl/ovixqd40ctl.h"

namespace qd40::app {

class OpenForCommand {
public:
    explicit OpenForCommand(ctl::OvixQd40Ctl& c) : c_(c) {
        int32_t open = 0;
        c_.get_IsOpen(&open);
        if (!open) {
            result_ = c_.Open();
            opened_ = succeeded(result_);
        }
    }
    ~OpenForCommand() {
        if (opened_)
            c_.Close();
    }
    OpenForCommand(const OpenForCommand&) = delete;
    OpenForCommand& operator=(const OpenForCommand&) = delete;
    // S_OK when the control was open already or opened; else the failure of Open.
    HRESULT result() const { return result_; }
    bool opened() const { return opened_; }

private:
    ctl::OvixQd40Ctl& c_;
    HRESULT result_ = S_OK;
    bool opened_ = false;
};

}  // namespace qd40::app
