#include "app/core/live/events_presenter.h"

#include "app/core/app_strings.h"
#include "common/dates.h"
#include "common/le_bytes.h"
#include "common/output_file.h"

namespace qd40::app::live {

namespace {
constexpr size_t kEventSize = 8;
enum Kind { kPowerOn = 1, kPowerOff = 2, kInitializing = 3 };
}  // namespace

std::vector<ModuleEvent> parseEvents(std::span<const uint8_t> bytes) {
    std::vector<ModuleEvent> out;
    for (size_t at = 0; at + kEventSize <= bytes.size(); at += kEventSize)
        out.push_back({le::u32(bytes, at), le::u16(bytes, at + 4), le::u16(bytes, at + 6)});
    return out;
}

std::string eventText(const ModuleEvent& e) {
    switch (e.kind()) {
        case kPowerOn:
            return appText(text::kEventPowerOn);
        case kPowerOff:
            return appText(text::kEventPowerOff);
        case kInitializing:
            return appText(text::kEventInitializing);
        default:
            return appText(text::kEventError) + " " + std::to_string(e.number()) + ": " +
                   moduleErrorAppText(e.number()) + " (" + std::to_string(e.detail) + ")";
    }
}

EventsPresenter::EventsPresenter(CTavikItem& item, AppPrompter& prompter, platform::Locale locale)
    : link_(item, prompter), locale_(std::move(locale)) {}

std::string EventsPresenter::title() const {
    return itemTitle(text::kEventsTitle, link_.item());
}

std::vector<std::string> EventsPresenter::columns() {
    return columnTitles(text::kEventColumns);
}

bool EventsPresenter::refresh() {
    if (!link_.ensureOpen()) {
        link_.showError();
        return false;
    }
    ctl::OvixQd40Ctl& c = link_.control();
    uint16_t count = 0;
    if (!link_.checkAndShow(c.GetEvtCount(&count)))
        return false;
    cfg::VariantBlob blob;
    uint16_t read = 0;
    if (count > 0 && !link_.checkAndShow(c.GetEvts(count, &read, &blob)))
        return false;
    rows_.clear();
    const std::vector<ModuleEvent> events = parseEvents(blob.data);
    for (size_t i = 0; i < events.size(); ++i) {
        const DateTime dt = fromSeconds2000(events[i].seconds);
        std::string date = locale_.shortDate(dt) + " ";
        const std::string time = locale_.time(dt);
        date += time.empty() ? "00:00:00" : time;
        rows_.push_back({strings::format("%.3d", int(i + 1)), date, eventText(events[i])});
    }
    return true;
}

std::string EventsPresenter::exportText() const {
    std::string out = appText(text::kEventsExportTitle) + "\n";
    const std::vector<std::string> titles = columns();
    for (size_t i = 0; i < titles.size(); ++i)
        out += (i ? "\t" : "") + titles[i];
    out += "\n";
    for (const Row& r : rows_)
        out += r[0] + "\t" + r[1] + "\t" + r[2] + "\n";
    return out;
}

Status EventsPresenter::exportTo(const std::string& path) const {
    const std::string text = exportText();
    const Status st = OutputFile::write(
        path, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
    if (st)
        return st;
    return Status::failure(st.hr, appMessage(text::kWriteFileFailed, {path, st.error.description}));
}

}  // namespace qd40::app::live
