// A module item of a document: one configuration control (which keeps the
// module's communication parameters, configuration and names) and the item's
// number in the document.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "control/ctl/ovixqd40ctl.h"

namespace qd40::app {

class CTavikItem : public ctl::CtlContainer {
public:
    static constexpr const char* kClassName = "CTavikItem";
    using ControlFactory =
        std::function<std::unique_ptr<ctl::OvixQd40Ctl>(ctl::CtlContainer* container)>;

    // `changed` is called whenever the control reports that its state changed.
    CTavikItem(const ControlFactory& factory, std::function<void()> changed);
    CTavikItem(const CTavikItem&) = delete;
    CTavikItem& operator=(const CTavikItem&) = delete;

    ctl::OvixQd40Ctl& control() { return *ctl_; }
    const ctl::OvixQd40Ctl& control() const { return *ctl_; }
    const ctl::CtlConnection& connection() const { return ctl_->state().conn; }

    uint32_t number = 0;

    // The module mnemonic (UTF-8), empty when not set.
    std::string mnemonic() const;
    // "QD40@addr#5" for a network module, "QD40#5" for a serial one.
    std::string shortDefaultName() const;
    // "Ethernet:QD40@addr#5", or "[host:]COM 2:QD40#5".
    std::string longDefaultName() const;
    // The mnemonic, or the short default name when it is empty.
    std::string shortDisplayName() const;
    std::string longDisplayName() const;
    // The tree label: the short default name, then ': "mnemonic"' when set.
    std::string treeText() const;
    // Stores the first 16 characters of name as the module mnemonic.
    void setMnemonic(const std::string& name);

private:
    void setModified() override { changed_(); }
    void dataChanged() override { changed_(); }

    std::function<void()> changed_;
    std::unique_ptr<ctl::OvixQd40Ctl> ctl_;
};

}  // namespace qd40::app
