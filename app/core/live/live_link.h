// What every live dialog does with its module item: the item's control is
// opened when the dialog needs it and closed when the dialog ends, only if
// the dialog opened it; a control call that fails is described with message
// 125 and, for the operator's own commands, shown in a message box while the
// dialog stays open. A module that stopped answering is tried again on the
// next call, so the dialog picks it up again once it answers.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "app/core/app_ports.h"
#include "app/core/open_for_command.h"
#include "app/core/tavik_item.h"

namespace qd40::app::live {

class LiveLink {
public:
    LiveLink(CTavikItem& item, AppPrompter& prompter);
    LiveLink(const LiveLink&) = delete;
    LiveLink& operator=(const LiveLink&) = delete;

    CTavikItem& item() { return item_; }
    const CTavikItem& item() const { return item_; }
    ctl::OvixQd40Ctl& control() { return item_.control(); }
    AppPrompter& prompter() { return prompter_; }

    // Opens the control when it is closed; false (error() set) when it fails.
    bool ensureOpen();
    // Records h: S_OK clears error(), a failure sets it to message 125 with the
    // control's last error. Returns whether h succeeded.
    bool check(HRESULT h);
    // The same, and a failure is shown to the operator.
    bool checkAndShow(HRESULT h);
    // Message 125 of the last failure; empty after a success.
    const std::string& error() const { return error_; }
    // Shows error() in a message box.
    void showError();

private:
    CTavikItem& item_;
    AppPrompter& prompter_;
    std::optional<OpenForCommand> open_;
    std::string error_;
};

// The column titles of a list: the fields of text textId, each ended by a tab.
std::vector<std::string> columnTitles(int textId);

// "<title with the item's short display name in place of %s>".
std::string itemTitle(int textId, const CTavikItem& item);

}  // namespace qd40::app::live
