#include "app/core/live/clock_presenter.h"

#include "app/core/app_strings.h"
#include "common/dates.h"

namespace qd40::app::live {

ClockPresenter::ClockPresenter(CTavikItem& item, AppPrompter& prompter, Session& session,
                               const security::Clock& clock, platform::Locale locale)
    : link_(item, prompter), session_(session), clock_(clock), locale_(std::move(locale)) {}

std::string ClockPresenter::title() const {
    return itemTitle(text::kClockTitle, link_.item());
}

std::string ClockPresenter::dateTimeText(const DateTime& dt) const {
    const std::string time = locale_.time(dt);
    return locale_.shortDate(dt) + " " + (time.empty() ? "00:00:00" : time);
}

void ClockPresenter::tick() {
    computerTime_ = dateTimeText(security::dateTimeOf(clock_.now()));
    double date = 0;
    if (link_.ensureOpen() && link_.check(link_.control().GetDate(&date))) {
        const std::optional<DateTime> dt = fromOleDate(date);
        moduleTime_ = dt ? dateTimeText(*dt) : std::string();
    } else {
        moduleTime_.clear();
    }
}

std::string ClockPresenter::enteredTimeDefault() const {
    return security::formatLocalTime(clock_.now(), security::kDateTimeFormat);
}

bool ClockPresenter::synchronize() {
    return sendTime(clock_.now());
}

bool ClockPresenter::send(const std::string& typed) {
    const size_t first = typed.find_first_not_of(' ');
    const size_t last = typed.find_last_not_of(' ');
    const std::string trimmed =
        first == std::string::npos ? std::string() : typed.substr(first, last - first + 1);
    const std::optional<security::LocalTime> t = security::parseDateTimePrefix(trimmed);
    if (!t || trimmed.size() != std::char_traits<char>::length("YYYY-MM-DD HH:MM:SS")) {
        link_.prompter().message(appMessage(text::kTimeNotUnderstood, {typed}), Buttons::Ok,
                                 Icon::Exclamation);
        return false;
    }
    return sendTime(*t);
}

bool ClockPresenter::sendTime(security::LocalTime t) {
    if (!link_.ensureOpen()) {
        link_.showError();
        return false;
    }
    if (!link_.checkAndShow(link_.control().SetDate(toOleDate(security::dateTimeOf(t)))))
        return false;
    session_.audit(
        security::AuditEvent::SEND_DATE,
        {link_.item().shortDisplayName(), security::formatLocalTime(t, security::kDateTimeFormat)});
    tick();
    return true;
}

}  // namespace qd40::app::live
