#include "app/ui/live_launch.h"

#include "app/ui/clock_dialog.h"
#include "app/ui/events_dialog.h"
#include "app/ui/measures_dialog.h"
#include "app/ui/relays_dialog.h"
#include "app/ui/status_dialog.h"

namespace qd40::ui {

void execEventsDialog(app::CTavikItem& item, app::AppPrompter& prompter,
                      const platform::Locale& locale, QWidget* parent) {
    app::live::EventsPresenter presenter(item, prompter, locale);
    presenter.refresh();
    CVisEvtsDialog dialog(presenter, prompter, parent);
    dialog.exec();
}

void execRelaysDialog(app::CTavikItem& item, app::AppPrompter& prompter, QWidget* parent) {
    app::live::RelaysPresenter presenter(item, prompter);
    presenter.start();
    CRelaysDialog dialog(presenter, parent);
    dialog.exec();
}

void execStatusDialog(app::CTavikItem& item, app::AppPrompter& prompter, app::Session& session,
                      const platform::Locale& locale, QWidget* parent) {
    app::live::StatusPresenter presenter(item, prompter, session);
    presenter.update();
    CStatusDialog dialog(presenter, parent);
    dialog.seeEvents = [&] { execEventsDialog(item, prompter, locale, &dialog); };
    dialog.exec();
}

void execClockDialog(app::CTavikItem& item, app::AppPrompter& prompter, app::Session& session,
                     const security::Clock& clock, const platform::Locale& locale,
                     QWidget* parent) {
    app::live::ClockPresenter presenter(item, prompter, session, clock, locale);
    CQd40TimeDialog dialog(presenter, parent);
    dialog.exec();
}

void execMeasuresDialog(app::CTavikDoc& doc, app::AppPrompter& prompter, app::Session& session,
                        const security::Clock& clock, const platform::Locale& locale,
                        QWidget* parent) {
    app::live::MeasuresPresenter presenter(doc, prompter, session, lineEditorDialog(parent), clock,
                                           locale);
    CVisMesDialog dialog(presenter, doc, parent);
    dialog.exec();
}

}  // namespace qd40::ui
