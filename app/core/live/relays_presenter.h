// The relays dialog (CRelaysDialog without its widget): the state of both
// relays and the buttons that close or open them.
#pragma once
#include <array>
#include <optional>
#include <string>

#include "app/core/live/live_link.h"

namespace qd40::app::live {

class RelaysPresenter {
public:
    static constexpr int kRelays = 2;
    struct Relay {
        std::optional<bool> on;  // unknown until read
        std::string status;      // "Closed", "Open", or empty when unknown
        bool closeEnabled = false, openEnabled = false;
    };

    RelaysPresenter(CTavikItem& item, AppPrompter& prompter);

    std::string title() const;
    // The warning due when the item's configuration does not leave both
    // relays to MODBUS control.
    std::optional<std::string> openingWarning() const;
    // What opening the dialog does: the warning (information icon) when due,
    // then update().
    void start();
    // Reads both relays; a failure is shown and the relays become unknown.
    bool update();
    // Closes (on) or opens a relay (1 or 2), then reads both again.
    bool set(int relay, bool on);
    const Relay& relay(int r) const { return relays_.at(size_t(r - 1)); }
    const std::string& error() const { return link_.error(); }

private:
    void setState(Relay& r, std::optional<bool> on);

    LiveLink link_;
    std::array<Relay, kRelays> relays_;
};

}  // namespace qd40::app::live
