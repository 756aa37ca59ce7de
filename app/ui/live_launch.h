// The live dialogs as the program window's commands open them: each builds
// its presenter over the module item (or the document), shows the modal
// dialog and ends the presenter with it, closing the item's communication
// when the dialog opened it.
#pragma once
#include "app/core/app_ports.h"
#include "app/core/tavik_doc.h"
#include "app/security/clock.h"
#include "platform/locale.h"

class QWidget;

namespace qd40::ui {

void execEventsDialog(app::CTavikItem& item, app::AppPrompter& prompter,
                      const platform::Locale& locale, QWidget* parent);
void execRelaysDialog(app::CTavikItem& item, app::AppPrompter& prompter, QWidget* parent);
// "See" opens the events dialog over the status dialog.
void execStatusDialog(app::CTavikItem& item, app::AppPrompter& prompter, app::Session& session,
                      const platform::Locale& locale, QWidget* parent);
void execClockDialog(app::CTavikItem& item, app::AppPrompter& prompter, app::Session& session,
                     const security::Clock& clock, const platform::Locale& locale, QWidget* parent);
void execMeasuresDialog(app::CTavikDoc& doc, app::AppPrompter& prompter, app::Session& session,
                        const security::Clock& clock, const platform::Locale& locale,
                        QWidget* parent);

}  // namespace qd40::ui
