// The module clock dialog (CQd40TimeDialog without its widget): the module's
// time and the computer's, refreshed by tick() every second, and the two ways
// to set the module's clock. The computer's time comes from an injected clock.
#pragma once
#include <optional>
#include <string>

#include "app/core/live/live_link.h"
#include "app/security/clock.h"
#include "platform/locale.h"

namespace qd40::app::live {

class ClockPresenter {
public:
    static constexpr int kPeriodMs = 1000;

    ClockPresenter(CTavikItem& item, AppPrompter& prompter, Session& session,
                   const security::Clock& clock, platform::Locale locale);

    std::string title() const;
    // Reads the module's time and takes the computer's. A module that does not
    // answer leaves its time empty and says why in error(), without a message
    // box: the next tick tries again.
    void tick();
    const std::string& moduleTime() const { return moduleTime_; }
    const std::string& computerTime() const { return computerTime_; }
    const std::string& error() const { return link_.error(); }

    // The text "Entered Time to send:" starts with: the computer's time in the
    // form send() reads, "YYYY-MM-DD HH:MM:SS".
    std::string enteredTimeDefault() const;
    // Sends the computer's time.
    bool synchronize();
    // Sends the typed time; text that is not a date and time is refused with
    // a message and nothing is sent.
    bool send(const std::string& typed);

private:
    bool sendTime(security::LocalTime t);
    std::string dateTimeText(const DateTime& dt) const;

    LiveLink link_;
    Session& session_;
    const security::Clock& clock_;
    platform::Locale locale_;
    std::string moduleTime_, computerTime_;
};

}  // namespace qd40::app::live
