// tavik_live_shots DOCUMENT FOLDER: pictures of the live dialogs on the first
// module of a document (offscreen, for tools/screenshots): each dialog is
// filled from the module as the operator would see it, then drawn into
// FOLDER/<dialog>.png.
#include <chrono>
#include <cstdio>
#include <filesystem>

#include <QApplication>
#include <QPixmap>
#include <QThread>

#include "app/core/open_for_command.h"
#include "app/core/tavik_doc.h"
#include "app/ui/clock_dialog.h"
#include "app/ui/curves_dialog.h"
#include "app/ui/events_dialog.h"
#include "app/ui/measures_dialog.h"
#include "app/ui/picture_folder.h"
#include "app/ui/qt_prompter.h"
#include "app/ui/relays_dialog.h"
#include "app/ui/status_dialog.h"
#include "control/ctl/daemon_factory.h"

namespace {

using namespace qd40;

constexpr int16_t kRunWithoutReopening = 2;

bool measured(const app::live::MeasuresPresenter& p) {
    for (const auto& line : p.lines())
        if (line.texts[app::live::MeasuresPresenter::kValue] != "0")
            return true;
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication qapp(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: tavik_live_shots DOCUMENT FOLDER\n");
        return 2;
    }
    const platform::RegistryStore registry;
    app::CTavikDoc doc([registry](ctl::CtlContainer* container) {
        return std::make_unique<ctl::OvixQd40Ctl>(ctl::daemonFactory(), container, registry);
    });
    if (const Status st = doc.load(argv[1]); !st || doc.items().empty()) {
        std::fprintf(stderr, "tavik_live_shots: %s\n",
                     st ? "the document has no module" : st.error.description.c_str());
        return 1;
    }
    std::error_code ec;
    std::filesystem::create_directories(argv[2], ec);
    ui::PictureFolder pictures(argv[2], "tavik_live_shots");
    ui::QtPrompter prompter("Tavik");
    ui::PictureSession session;
    app::CTavikItem& item = *doc.items().front();
    const platform::Locale locale = platform::Locale::fromEnvironment();

    app::live::EventsPresenter events(item, prompter, locale);
    events.refresh();
    ui::CVisEvtsDialog eventsDialog(events, prompter);
    pictures.take(eventsDialog, "live-events");

    app::live::RelaysPresenter relays(item, prompter);
    relays.update();
    ui::CRelaysDialog relaysDialog(relays);
    pictures.take(relaysDialog, "live-relays");

    app::live::StatusPresenter status(item, prompter, session);
    status.update();
    ui::CStatusDialog statusDialog(status);
    pictures.take(statusDialog, "live-status");

    security::SystemClock clock;
    app::live::ClockPresenter time(item, prompter, session, clock, locale);
    ui::CQd40TimeDialog timeDialog(time);
    pictures.take(timeDialog, "live-clock");

    app::live::MeasuresPresenter measures(doc, prompter, session, ui::lineEditorDialog(nullptr),
                                          clock, locale);
    // The module acquires (its memory block left as it is) so that the list
    // shows measurements; a few cycles at most are waited for.
    {
        app::OpenForCommand open(item.control());
        item.control().RunWithOptMem(kRunWithoutReopening);
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        do {
            QThread::msleep(100);
            measures.tick();
        } while (measures.error().empty() && !measured(measures) &&
                 std::chrono::steady_clock::now() < end);
    }
    ui::CVisMesDialog measuresDialog(measures, doc);
    pictures.take(measuresDialog, "live-measures");
    for (int scan = 0; scan < 20; ++scan) {  // a few seconds of curves
        QThread::msleep(100);
        measures.tick();
    }
    ui::CVisCrbDialog curves(measures);
    pictures.take(curves, "live-curves");
    ui::CChansScanDialog channels(measures, doc);
    pictures.take(channels, "live-channels-to-scan");

    return pictures.ok() ? 0 : 1;
}
