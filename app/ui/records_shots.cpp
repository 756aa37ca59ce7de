#include "app/ui/records_shots.h"

#include <cstdio>

#include <QApplication>
#include <QMdiSubWindow>
#include <QPrintPreviewDialog>
#include <QPrinter>

#include "app/core/read_memory.h"
#include "app/core/views/view_strings.h"
#include "app/records/records_strings.h"
#include "app/security/security_strings.h"
#include "app/ui/explorer_dialogs.h"
#include "app/ui/read_mem_dialog.h"
#include "app/ui/three_buttons_dialog.h"
#include "app/ui/wait_dialog.h"

namespace qd40::ui {

namespace {
using app::views::viewMessage;
using app::views::viewText;
namespace vtext = app::views::vtext;
}  // namespace

bool recordsScreenshots(MainFrame& frame, RecordsFrameCommands& commands,
                        const std::function<bool(QWidget&, const std::string&)>& save) {
    ExplorerWindow* explorer = nullptr;
    QMdiSubWindow* sub = nullptr;
    for (QMdiSubWindow* w : frame.mdiArea()->subWindowList())
        if (auto* e = qobject_cast<ExplorerWindow*>(w->widget()); e && !explorer) {
            explorer = e;
            sub = w;
        }
    if (!explorer || !std::as_const(*explorer).selectedBlock()) {
        std::fprintf(stderr, "screenshots: no records explorer with a block\n");
        return false;
    }
    DocumentHandle& doc = explorer->document();
    records::CExplBloc& block = *explorer->selectedBlock();

    // The explorer over the whole area, scrolled into the block.
    frame.mdiArea()->setActiveSubWindow(sub);
    sub->showMaximized();
    QApplication::processEvents();
    explorer->recordsTable()->scrollTo(
        explorer->recordsTable()->model()->index(int(block.records.size() / 2), 0));
    QApplication::processEvents();
    bool ok = save(frame, "explorer.png");
    sub->showNormal();
    frame.tileWindows();
    QApplication::processEvents();

    CBlocPropDialog properties(
        strings::formatText(viewText(vtext::kBlockPropertiesTitle), block.name.c_str()), block,
        &frame);
    ok = save(properties, "block-properties.png") && ok;

    C3ButtonsDialog exists(
        viewText(vtext::kExportTitle),
        viewMessage(vtext::kExportFileExists, {records::defaultExportFileName(doc.doc().title())}),
        {viewText(vtext::kExportAdd), viewText(vtext::kExportReplace),
         viewText(vtext::kExportOtherFile)},
        &frame);
    ok = save(exists, "export-file-exists.png") && ok;
    CFormatExpExplDialog format(records::SpreadsheetOptions{}, &frame);
    ok = save(format, "export-format.png") && ok;

    CWaitDialog wait(&frame);
    wait.create(records::IDS_EXPORTING);
    wait.setRange(0, int64_t(block.records.size()));
    wait.setPos(int64_t(block.records.size()) * 2 / 5);
    wait.setMessage(security::fillPlaceholders(
        records::recordsText(records::IDS_EXPORT_PROGRESS),
        {std::to_string(wait.pos()), std::to_string(block.records.size())}));
    ok = save(*wait.widget(), "progress.png") && ok;
    wait.destroy();

    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    auto preview = commands.makePreview(*explorer, printer);
    preview->resize(1000, 760);
    ok = save(*preview, "print-preview.png") && ok;

    // The reading dialog on the document's first module, its status read.
    if (!doc.doc().items().empty()) {
        app::CTavikItem& item = *doc.doc().items().front();
        int32_t open = 0;
        item.control().get_IsOpen(&open);
        const bool opened = !open && succeeded(item.control().Open());
        app::CReadMemDialog logic(item, doc.doc(), true);
        app::AppPrompter& prompter = commands.prompter();
        ReadMemDialog dialog(logic, prompter, &frame);
        dialog.refreshStatus();
        ok = save(dialog, "read-memory.png") && ok;
        if (opened)
            item.control().Close();
    }
    return ok;
}

}  // namespace qd40::ui
