#include "app/core/live/relays_presenter.h"

#include "app/core/app_strings.h"
#include "common/config/cfg_layout.h"

namespace qd40::app::live {

RelaysPresenter::RelaysPresenter(CTavikItem& item, AppPrompter& prompter) : link_(item, prompter) {}

std::string RelaysPresenter::title() const {
    return itemTitle(text::kRelaysTitle, link_.item());
}

std::optional<std::string> RelaysPresenter::openingWarning() const {
    const cfg::ConstFullCfgView cfg(link_.item().control().state().cfg);
    if (cfg.relayModbus(1) && cfg.relayModbus(2))
        return std::nullopt;
    return appText(text::kRelaysNotModbus);
}

void RelaysPresenter::start() {
    if (const auto warning = openingWarning())
        link_.prompter().message(*warning, Buttons::Ok, Icon::Information);
    update();
}

void RelaysPresenter::setState(Relay& r, std::optional<bool> on) {
    r.on = on;
    r.status = !on ? std::string() : appText(*on ? text::kClosedState : text::kOpenState);
    r.closeEnabled = on && !*on;
    r.openEnabled = on && *on;
}

bool RelaysPresenter::update() {
    bool ok = link_.ensureOpen();
    for (int r = 1; ok && r <= kRelays; ++r) {
        int32_t on = 0;
        ok = link_.check(link_.control().GetRel(static_cast<int16_t>(r), &on));
        setState(relays_[size_t(r - 1)], on != 0);
    }
    if (!ok) {
        for (Relay& r : relays_)
            setState(r, std::nullopt);
        link_.showError();
    }
    return ok;
}

bool RelaysPresenter::set(int relay, bool on) {
    if (!link_.ensureOpen()) {
        link_.showError();
        return false;
    }
    const bool done =
        link_.checkAndShow(link_.control().SetRel(static_cast<int16_t>(relay), on ? 1 : 0));
    const bool read = update();
    return done && read;
}

}  // namespace qd40::app::live
