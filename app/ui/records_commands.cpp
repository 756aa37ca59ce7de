#include "app/ui/records_commands.h"

#include <QAction>
#include <QApplication>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>

#include "app/core/read_memory.h"
#include "app/core/views/view_strings.h"
#include "app/ui/explorer_dialogs.h"
#include "app/ui/read_mem_dialog.h"
#include "app/ui/wait_dialog.h"

namespace qd40::ui {

namespace {
using app::views::ExplorerCommand;
using app::views::viewText;
namespace vtext = app::views::vtext;

QString t(int id) {
    return QString::fromStdString(viewText(id));
}

// Marks an explorer whose signals are connected.
constexpr const char* kWiredProperty = "recordsCommandsWired";
}  // namespace

RecordsFrameCommands::RecordsFrameCommands(MainFrame& frame, app::CTavikApp& app,
                                           app::AppPrompter& prompter, platform::Locale locale,
                                           std::filesystem::path dataFolder)
    : QObject(&frame),
      frame_(frame),
      app_(app),
      prompter_(prompter),
      locale_(std::move(locale)),
      dataFolder_(std::move(dataFolder)),
      clipboard_(std::make_unique<QtClipboard>()),
      qtExportDialogs_(std::make_unique<QtExportDialogs>(&frame)) {}

RecordsFrameCommands::~RecordsFrameCommands() = default;

void RecordsFrameCommands::addMenus() {
    readMemory_ = new QAction(t(vtext::kCmdReadMemory), this);
    connect(readMemory_, &QAction::triggered, this, &RecordsFrameCommands::onReadMemory);
    if (QMenu* module = frame_.moduleMenu()) {
        // After Read Module Program.
        QAction* after = frame_.action(app::views::Command::ReadName);
        const QList<QAction*> all = module->actions();
        const qsizetype at = all.indexOf(after);
        module->insertAction(at >= 0 && at + 1 < all.size() ? all[at + 1] : nullptr, readMemory_);
        connect(module, &QMenu::aboutToShow, this, &RecordsFrameCommands::updateCommands);
    }

    menu_ = new QMenu(t(vtext::kMenuRecords), &frame_);
    const auto add = [this](ExplorerCommand c, int text, auto handler) {
        QAction* a = menu_->addAction(t(text));
        connect(a, &QAction::triggered, this, handler);
        actions_[c] = a;
        return a;
    };
    add(ExplorerCommand::Properties, vtext::kCmdBlockProperties,
        &RecordsFrameCommands::onProperties);
    add(ExplorerCommand::Erase, vtext::kCmdBlockErase, &RecordsFrameCommands::onErase);
    menu_->addSeparator();
    add(ExplorerCommand::Cut, vtext::kCmdCut, [] {});
    add(ExplorerCommand::Copy, vtext::kCmdCopy, &RecordsFrameCommands::onCopy);
    add(ExplorerCommand::Paste, vtext::kCmdPaste, &RecordsFrameCommands::onPaste);
    menu_->addSeparator();
    QAction* graph = frame_.action(app::views::Command::GraphView);
    menu_->addAction(graph);
    actions_[ExplorerCommand::NewGraph] = graph;
    menu_->addSeparator();
    add(ExplorerCommand::ExportSelected, vtext::kCmdExportSelected, [this] { onExport(false); });
    add(ExplorerCommand::ExportAll, vtext::kCmdExportAll, [this] { onExport(true); });
    menu_->addSeparator();
    add(ExplorerCommand::Print, vtext::kCmdPrint, [this] { onPrint(Print::Dialog); });
    printDirect_ = menu_->addAction(t(vtext::kCmdPrintDirect));
    connect(printDirect_, &QAction::triggered, this, [this] { onPrint(Print::Direct); });
    add(ExplorerCommand::PrintPreview, vtext::kCmdPrintPreview,
        [this] { onPrint(Print::Preview); });

    // Before the Window menu.
    QList<QAction*> bar = frame_.menuBar()->actions();
    frame_.menuBar()->insertMenu(bar.size() >= 2 ? bar[bar.size() - 2] : nullptr, menu_);
    connect(menu_, &QMenu::aboutToShow, this, &RecordsFrameCommands::updateCommands);
    connect(frame_.mdiArea(), &QMdiArea::subWindowActivated, this, [this] {
        if (ExplorerWindow* e = activeExplorer())
            wire(e);
        updateCommands();
    });
    updateCommands();
}

void RecordsFrameCommands::wire(ExplorerWindow* explorer) {
    if (explorer->property(kWiredProperty).toBool())
        return;
    explorer->setProperty(kWiredProperty, true);
    connect(explorer, &ExplorerWindow::actionRequested, this, [this](app::views::TreeAction a) {
        switch (a) {
            case app::views::TreeAction::Properties:
                onProperties();
                break;
            case app::views::TreeAction::Erase:
                onErase();
                break;
            default:
                // Nothing is added from the tree: a refusal.
                prompter_.beep();
        }
    });
    connect(explorer, &ExplorerWindow::contextMenuRequested, this, [this](QPoint at) {
        updateCommands();
        menu_->exec(at);
    });
    connect(explorer->tree(), &QTreeWidget::currentItemChanged, this,
            &RecordsFrameCommands::updateCommands);
}

ExplorerWindow* RecordsFrameCommands::activeExplorer() const {
    return qobject_cast<ExplorerWindow*>(frame_.activeWindow());
}

void RecordsFrameCommands::updateCommands() {
    app::views::ExplorerContext c;
    c.rights = app_.rightsWord();
    ExplorerWindow* explorer = activeExplorer();
    if (explorer) {
        c.blockSelected = explorer->selectedBlock() != nullptr;
        c.documentHasBlocks = !explorer->document().doc().blocks().empty();
        c.clipboardHasBlock = clipboard_->has(app::views::kClipboardFormat);
    }
    for (auto& [command, action] : actions_)
        if (command != ExplorerCommand::NewGraph)
            action->setEnabled(app::views::explorerCommandEnabled(command, c));
    if (printDirect_)
        printDirect_->setEnabled(app::views::explorerCommandEnabled(ExplorerCommand::Print, c));

    app::views::CommandContext m;
    m.rights = c.rights;
    if (auto* program = qobject_cast<ProgramWindow*>(frame_.activeWindow())) {
        m.hasDocument = true;
        m.selection = program->selection();
        if (app::CTavikItem* item = program->selectedItem()) {
            int32_t open = 0;
            m.moduleConnected = succeeded(item->control().get_IsOpen(&open)) && open != 0;
        }
    }
    if (readMemory_)
        readMemory_->setEnabled(app::views::commandEnabled(app::views::Command::ReadMemory, m));
}

app::views::ExplorerCommands RecordsFrameCommands::commandsFor(DocumentHandle& doc) {
    return app::views::ExplorerCommands(doc.doc(), prompter_, app_, locale_);
}

ExplorerWindow* RecordsFrameCommands::showBlock(DocumentHandle& doc, const std::string& name) {
    ExplorerWindow* explorer = nullptr;
    for (QMdiSubWindow* w : frame_.mdiArea()->subWindowList()) {
        auto* e = qobject_cast<ExplorerWindow*>(w->widget());
        if (e && &e->document() == &doc) {
            explorer = e;
            frame_.mdiArea()->setActiveSubWindow(w);
            break;
        }
    }
    if (!explorer)
        explorer = frame_.openExplorerWindow(doc);
    wire(explorer);
    explorer->selectBlockNamed(name);
    return explorer;
}

// ---- commands ---------------------------------------------------------------------------

void RecordsFrameCommands::onReadMemory() {
    auto* program = qobject_cast<ProgramWindow*>(frame_.activeWindow());
    if (!program || !program->selectedItem()) {
        prompter_.beep();
        return;
    }
    DocumentHandle& doc = program->document();
    QtReadMemUi ui(&frame_, prompter_,
                   [this, &doc](const std::string& name) { showBlock(doc, name); });
    app::MemoryReader reader(doc.doc(), prompter_, app_, ui, app::saveOrRecover(dataFolder_));
    QApplication::setOverrideCursor(Qt::WaitCursor);
    reader.ReadModuleMemory(*program->selectedItem());
    QApplication::restoreOverrideCursor();
    frame_.updateCommands();
    updateCommands();
}

void RecordsFrameCommands::onProperties() {
    ExplorerWindow* explorer = activeExplorer();
    records::CExplBloc* block = explorer ? explorer->selectedBlock() : nullptr;
    if (!block) {
        prompter_.beep();
        return;
    }
    auto commands = commandsFor(explorer->document());
    CBlocPropDialog dialog(commands.propertiesTitle(*block), *block, &frame_);
    if (dialog.exec() == QDialog::Accepted)
        commands.setProperties(*block, dialog.name(), dialog.comment());
}

void RecordsFrameCommands::onErase() {
    ExplorerWindow* explorer = activeExplorer();
    const records::CExplBloc* block = explorer ? explorer->selectedBlock() : nullptr;
    if (!block || !app_.hasRight(14)) {
        prompter_.beep();
        return;
    }
    commandsFor(explorer->document()).erase(*block);
    updateCommands();
}

void RecordsFrameCommands::onCopy() {
    ExplorerWindow* explorer = activeExplorer();
    const records::CExplBloc* block = explorer ? explorer->selectedBlock() : nullptr;
    if (!block) {
        prompter_.beep();
        return;
    }
    commandsFor(explorer->document()).copy(*block, *clipboard_);
    updateCommands();
}

void RecordsFrameCommands::onPaste() {
    ExplorerWindow* explorer = activeExplorer();
    records::CExplBloc* block = explorer ? explorer->selectedBlock() : nullptr;
    if (!block) {
        prompter_.beep();
        return;
    }
    CWaitDialog wait(&frame_);
    QtReadMemUi questions(&frame_, prompter_, {});
    QApplication::setOverrideCursor(Qt::WaitCursor);
    commandsFor(explorer->document()).paste(*block, *clipboard_, wait, &questions);
    QApplication::restoreOverrideCursor();
}

void RecordsFrameCommands::onExport(bool all) {
    ExplorerWindow* explorer = activeExplorer();
    if (!explorer)
        return;
    std::vector<const records::CExplBloc*> blocks;
    if (all) {
        for (const auto& b : explorer->document().doc().blocks())
            blocks.push_back(b.get());
    } else if (const records::CExplBloc* b = std::as_const(*explorer).selectedBlock()) {
        blocks.push_back(b);
    }
    if (blocks.empty()) {
        prompter_.beep();
        return;
    }
    const app::CTavikDoc& doc = explorer->document().doc();
    // Beside the document, else in the working folder (the documents folder).
    const std::filesystem::path folder =
        doc.path().empty() ? std::filesystem::current_path() : doc.path().parent_path();
    CWaitDialog wait(&frame_);
    commandsFor(explorer->document())
        .exportBlocks(blocks, exportDialogs_ ? *exportDialogs_ : *qtExportDialogs_, app_.profile(),
                      wait, folder);
}

RecordsPrintJob RecordsFrameCommands::printJob(ExplorerWindow& explorer) const {
    RecordsPrintJob job;
    job.documentTitle = explorer.document().doc().title();
    job.block = std::as_const(explorer).selectedBlock();
    job.columnChars = explorer.columnChars();
    job.footer = app_.printFooter();
    job.locale = locale_;
    return job;
}

std::unique_ptr<QPrintPreviewDialog> RecordsFrameCommands::makePreview(ExplorerWindow& explorer,
                                                                       QPrinter& printer) {
    auto preview = std::make_unique<QPrintPreviewDialog>(&printer, &frame_);
    const RecordsPrintJob job = printJob(explorer);
    connect(preview.get(), &QPrintPreviewDialog::paintRequested, preview.get(),
            [job](QPrinter* p) { printRecords(*p, job); });
    return preview;
}

void RecordsFrameCommands::onPrint(Print mode) {
    ExplorerWindow* explorer = activeExplorer();
    if (!explorer || !std::as_const(*explorer).selectedBlock()) {
        prompter_.message(viewText(vtext::kSelectMemoryBlock), app::Buttons::Ok,
                          app::Icon::Information);
        return;
    }
    if (!app_.hasRight(app::right::kPrint)) {
        prompter_.beep();
        return;
    }
    QPrinter printer(QPrinter::HighResolution);
    bool printed = false;
    switch (mode) {
        case Print::Direct:
            printed = !printRecords(printer, printJob(*explorer)).empty();
            break;
        case Print::Dialog: {
            QPrintDialog dialog(&printer, &frame_);
            if (dialog.exec() == QDialog::Accepted)
                printed = !printRecords(printer, printJob(*explorer)).empty();
            break;
        }
        case Print::Preview:
            makePreview(*explorer, printer)->exec();
            break;
    }
    if (printed)
        app_.audit(security::AuditEvent::PRINT_DOC, {explorer->document().doc().path().string()});
}

}  // namespace qd40::ui
