#include "app/core/tavik_item.h"

#include "app/core/app_strings.h"
#include "common/config/ansi_text.h"
#include "common/config/cfg_layout.h"

namespace qd40::app {

CTavikItem::CTavikItem(const ControlFactory& factory, std::function<void()> changed)
    : changed_(std::move(changed)), ctl_(factory(this)) {}

std::string CTavikItem::mnemonic() const {
    return cfg::ansiToUtf8(cfg::ConstQd40ExtCfg(ctl_->state().ext).moduleMnemonic());
}

std::string CTavikItem::shortDefaultName() const {
    const ctl::CtlConnection& c = connection();
    const std::string slave = strings::format("#%d", c.mbAddr);
    return c.serial ? "QD40" + slave : "QD40@" + c.ipAddr + slave;
}

std::string CTavikItem::longDefaultName() const {
    const ctl::CtlConnection& c = connection();
    if (!c.serial)
        return appText(text::kEthernet) + ":" + shortDefaultName();
    std::string name = c.ipAddr.empty() ? std::string() : c.ipAddr + ":";
    name += strings::formatText(appText(text::kComPort), static_cast<int>(c.port));
    return name + ":" + shortDefaultName();
}

std::string CTavikItem::shortDisplayName() const {
    std::string m = mnemonic();
    return m.empty() ? shortDefaultName() : m;
}

std::string CTavikItem::longDisplayName() const {
    std::string m = mnemonic();
    return m.empty() ? longDefaultName() : m;
}

std::string CTavikItem::treeText() const {
    std::string m = mnemonic();
    return m.empty() ? shortDefaultName() : shortDefaultName() + ": \"" + m + "\"";
}

void CTavikItem::setMnemonic(const std::string& name) {
    std::string ansi = cfg::utf8ToAnsi(name);
    if (ansi.size() > cfg::kMnemonicSize - 1)
        ansi.resize(cfg::kMnemonicSize - 1);
    cfg::Qd40ExtCfgData ext = ctl_->state().ext;
    cfg::Qd40ExtCfg(ext).setModuleMnemonic(ansi);
    ctl_->put_Qd40ExtCfg(cfg::packBlob(ext));
}

}  // namespace qd40::app
