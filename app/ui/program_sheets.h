// The programming sheets and the control's own property frame as dialogs,
// and the printed program of a module.
#pragma once
#include <memory>

#include <QString>

#include "app/core/program/program_report.h"
#include "app/core/program/program_sheet.h"
#include "control/pages/ui/page_widgets.h"

class QPrinter;
class QTextDocument;
class QWidget;

namespace qd40::ui {

// The easy or full sheet over the sheet's page models (already opened):
// OK leaves the storing to the sheet's owner.
std::unique_ptr<pages::ui::PropertyFrame> makeProgramSheet(app::program::ProgramSheet& sheet,
                                                           QWidget* parent);
// Shows the sheet modally; true on OK.
bool execProgramSheet(app::program::ProgramSheet& sheet, QWidget* parent);

// The printed program: the title in Times New Roman, the sections' lines in
// Courier New.
std::unique_ptr<QTextDocument> programDocument(const app::program::ProgramReport& report);
// Prints the report; the number of pages printed (0 on failure).
int printProgram(QPrinter& printer, const app::program::ProgramReport& report);

}  // namespace qd40::ui
