#include "app/ui/main_frame.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QMoveEvent>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>

#include "app/core/app_strings.h"
#include "app/core/views/document_rules.h"
#include "app/core/views/tiling.h"
#include "app/core/views/view_strings.h"

namespace qd40::ui {

namespace {
using app::views::Command;
using app::views::viewMessage;
using app::views::viewText;
namespace vtext = app::views::vtext;

QString t(int id) {
    return QString::fromStdString(viewText(id));
}

QString fileFilter() {
    return QString::fromStdString(
        app::views::documentTypeField(app::views::DocumentTypeField::Filter));
}
}  // namespace

MainFrame::MainFrame(app::CTavikApp& app, app::AppPrompter& prompter, FrameConfig config)
    : app_(app), prompter_(prompter), config_(std::move(config)) {
    mdi_ = new QMdiArea(this);
    setCentralWidget(mdi_);
    mdi_->viewport()->installEventFilter(this);
    setAcceptDrops(true);
    createActions();
    createMenus();
    connect(mdi_, &QMdiArea::subWindowActivated, this, [this] {
        updateCommands();
        updateTitle();
        recordsTools_->setVisible(qobject_cast<ExplorerWindow*>(activeWindow()) &&
                                  !recordsTools_->actions().isEmpty());
    });
    if (auto* qt = dynamic_cast<QtPrompter*>(&prompter_))
        qt->setParentWidget(this);
    updateRecentFiles();
    updateCommands();
    updateTitle();
    statusBar()->setObjectName("statusBar");
    resize(1024, 720);
}

MainFrame::~MainFrame() {
    if (auto* qt = dynamic_cast<QtPrompter*>(&prompter_))
        qt->setParentWidget(nullptr);
    // The windows go before the documents they show, closed ones waiting for
    // their deletion included.
    closing_ = nullptr;
    qDeleteAll(mdi_->findChildren<QMdiSubWindow*>());
}

// ---- menus -----------------------------------------------------------------------

QAction* MainFrame::addCommand(QMenu* menu, Command command, int textId,
                               void (MainFrame::*handler)()) {
    auto* a = menu->addAction(t(textId));
    connect(a, &QAction::triggered, this, handler);
    actions_[command] = a;
    return a;
}

void MainFrame::createActions() {
    for (size_t i = 0; i < recent_.size(); ++i) {
        recent_[i] = new QAction(this);
        connect(recent_[i], &QAction::triggered, this, [this, i] {
            const auto& entries = app_.recentFiles().entries();
            if (i < entries.size())
                openDocument(entries[i]);
        });
    }
}

void MainFrame::createMenus() {
    QMenu* file = menuBar()->addMenu(t(vtext::kMenuFile));
    addCommand(file, Command::FileNew, vtext::kCmdFileNew, &MainFrame::onFileNew)
        ->setShortcut(QKeySequence::New);
    addCommand(file, Command::FileOpen, vtext::kCmdFileOpen, &MainFrame::onFileOpen)
        ->setShortcut(QKeySequence::Open);
    addCommand(file, Command::FileClose, vtext::kCmdFileClose, &MainFrame::onFileClose);
    file->addSeparator();
    addCommand(file, Command::FileSave, vtext::kCmdFileSave, &MainFrame::onFileSave)
        ->setShortcut(QKeySequence::Save);
    addCommand(file, Command::FileSaveAs, vtext::kCmdFileSaveAs, &MainFrame::onFileSaveAs);
    recentSeparator_ = file->addSeparator();
    for (QAction* a : recent_)
        file->addAction(a);
    file->addSeparator();
    addCommand(file, Command::Exit, vtext::kCmdExit, &MainFrame::onExit);

    QMenu* doc = menuBar()->addMenu(t(vtext::kMenuDocument));
    addCommand(doc, Command::OpenCommunications, vtext::kCmdOpenComm,
               &MainFrame::onOpenCommunications);
    addCommand(doc, Command::CloseCommunications, vtext::kCmdCloseComm,
               &MainFrame::onCloseCommunications);
    doc->addSeparator();
    addCommand(doc, Command::TransmitAll, vtext::kCmdTransmitAll, &MainFrame::onTransmitAll);
    addCommand(doc, Command::RunAll, vtext::kCmdRunAll, &MainFrame::onRunAll);
    addCommand(doc, Command::StopAll, vtext::kCmdStopAll, &MainFrame::onStopAll);
    doc->addSeparator();
    addCommand(doc, Command::RecordsView, vtext::kCmdRecordsView, &MainFrame::onRecordsView);
    addCommand(doc, Command::ProgramView, vtext::kCmdProgramView, &MainFrame::onProgramView);
    addCommand(doc, Command::GraphView, vtext::kCmdGraphView, &MainFrame::onGraphView);
    doc->addSeparator();
    addCommand(doc, Command::EasyMode, vtext::kCmdEasyMode, &MainFrame::onEasyMode)
        ->setCheckable(true);
    addCommand(doc, Command::FullMode, vtext::kCmdFullMode, &MainFrame::onFullMode)
        ->setCheckable(true);

    QMenu* module = menuBar()->addMenu(t(vtext::kMenuModule));
    moduleMenu_ = module;
    addCommand(module, Command::AddModule, vtext::kCmdAddModule, &MainFrame::onAddModule);
    addCommand(module, Command::CommProperties, vtext::kCmdCommProperties,
               &MainFrame::onCommProperties);
    module->addSeparator();
    addCommand(module, Command::Transmit, vtext::kCmdTransmit, &MainFrame::onTransmit);
    addCommand(module, Command::ReadProgram, vtext::kCmdReadProgram, &MainFrame::onReadProgram);
    addCommand(module, Command::ReadName, vtext::kCmdReadName, &MainFrame::onReadName);
    module->addSeparator();
    addCommand(module, Command::Run, vtext::kCmdRun, &MainFrame::onRun);
    addCommand(module, Command::Stop, vtext::kCmdStop, &MainFrame::onStop);
    addCommand(module, Command::ForceRemote, vtext::kCmdForceRemote, &MainFrame::onForceRemote);
    module->addSeparator();
    addCommand(module, Command::DeleteModule, vtext::kCmdDelete, &MainFrame::onDeleteModule);
    addCommand(module, Command::RenameModule, vtext::kCmdRename, &MainFrame::onRenameModule);
    // The program window's own commands, carried out by the active one.
    module->addSeparator();
    using app::program::ProgCommand;
    for (const ProgCommand command :
         {ProgCommand::ModuleConfiguration, ProgCommand::ProgramByControl, ProgCommand::Identify,
          ProgCommand::Trigger, ProgCommand::Local, ProgCommand::ClearMemory,
          ProgCommand::Initialize, ProgCommand::CommInterfaces, ProgCommand::Print,
          ProgCommand::PrintPreview, ProgCommand::ExportProgram}) {
        QAction* a =
            module->addAction(QString::fromStdString(app::program::progCommandText(command)));
        connect(a, &QAction::triggered, this, [this, command] {
            if (ProgramWindow* program = activeProgram())
                program->run(command);
            updateCommands();
        });
        programActions_[command] = a;
    }

    QMenu* window = menuBar()->addMenu(t(vtext::kMenuWindow));
    addCommand(window, Command::WindowTile, vtext::kCmdWindowTile, &MainFrame::onTile);
    addCommand(window, Command::WindowCascade, vtext::kCmdWindowCascade, &MainFrame::onCascade);

    QMenu* help = menuBar()->addMenu(t(vtext::kMenuHelp));
    addCommand(help, Command::About, vtext::kCmdAbout, &MainFrame::onAbout);

    // The tool bar: the file commands and the commands of the whole document.
    QToolBar* tools = addToolBar(t(vtext::kMenuFile));
    tools->setObjectName("mainToolBar");
    tools->setMovable(false);
    const std::pair<Command, QStyle::StandardPixmap> buttons[] = {
        {Command::FileNew, QStyle::SP_FileIcon},
        {Command::FileOpen, QStyle::SP_DialogOpenButton},
        {Command::FileSave, QStyle::SP_DialogSaveButton},
        {Command::OpenCommunications, QStyle::SP_DriveNetIcon},
        {Command::TransmitAll, QStyle::SP_ArrowUp},
        {Command::RunAll, QStyle::SP_MediaPlay},
        {Command::StopAll, QStyle::SP_MediaStop},
    };
    for (const auto& [command, pixmap] : buttons) {
        QAction* a = actions_.at(command);
        a->setIcon(style()->standardIcon(pixmap));
        if (command == Command::OpenCommunications || command == Command::TransmitAll)
            tools->addSeparator();
        tools->addAction(a);
    }

    recordsTools_ = addToolBar(t(vtext::kMenuRecords));
    recordsTools_->setObjectName("recordsToolBar");
    recordsTools_->setMovable(false);
    recordsTools_->setToolButtonStyle(Qt::ToolButtonTextOnly);
    recordsTools_->hide();

    // The states follow the selection; they are brought up to date whenever
    // a menu opens as well.
    for (QMenu* m : {file, doc, module, window, help})
        connect(m, &QMenu::aboutToShow, this, &MainFrame::updateCommands);
}

void MainFrame::updateCommands() {
    app::views::CommandContext c;
    c.rights = app_.rightsWord();
    if (DocumentHandle* doc = activeDocument()) {
        c.hasDocument = true;
        c.documentModified = doc->doc().isModified();
        c.communicationsOpen = doc->doc().communicationsOpen;
    }
    if (auto* explorer = qobject_cast<ExplorerWindow*>(activeWindow()))
        c.blockSelected = explorer->selectedBlock() != nullptr;
    if (ProgramWindow* program = activeProgram()) {
        c.selection = program->selection();
        if (app::CTavikItem* item = program->selectedItem()) {
            int32_t open = 0;
            c.moduleConnected = succeeded(item->control().get_IsOpen(&open)) && open != 0;
        }
    }
    for (auto& [command, action] : actions_)
        action->setEnabled(app::views::commandEnabled(command, c));
    const bool easy = app_.easyProgramming();
    actions_[Command::EasyMode]->setChecked(easy);
    actions_[Command::FullMode]->setChecked(!easy);
    ProgramWindow* program = activeProgram();
    for (auto& [command, action] : programActions_)
        action->setEnabled(program && program->commandEnabled(command));
    const bool recentAllowed = app::views::commandEnabled(Command::FileRecent, c);
    for (QAction* a : recent_)
        a->setEnabled(recentAllowed);
}

void MainFrame::updateRecentFiles() {
    const auto& entries = app_.recentFiles().entries();
    for (size_t i = 0; i < recent_.size(); ++i) {
        recent_[i]->setVisible(i < entries.size());
        if (i < entries.size())
            recent_[i]->setText(QString::fromStdString(
                viewMessage(vtext::kRecentFile, {std::to_string(i + 1), entries[i]})));
    }
    recentSeparator_->setVisible(!entries.empty());
}

void MainFrame::rememberRecent(const std::filesystem::path& path) {
    app_.recentFiles().add(path.string());
    app_.recentFiles().save(app_.profile());
    updateRecentFiles();
}

void MainFrame::updateTitle() {
    std::string title = config_.productName;
    if (DocumentHandle* doc = activeDocument())
        title += " - " + app::views::documentWindowTitle(doc->doc());
    setWindowTitle(QString::fromStdString(title));
}

// ---- documents and windows -------------------------------------------------------------

void MainFrame::showFrame(bool minimised) {
    if (minimised)
        showMinimized();
    else
        showMaximized();
}

bool MainFrame::openDocument(const std::filesystem::path& path) {
    std::error_code ec;
    const auto absolute = std::filesystem::absolute(path, ec);
    for (const auto& doc : docs_) {
        if (!doc->doc().path().empty() && doc->doc().path() == absolute) {
            for (QMdiSubWindow* w : mdi_->subWindowList()) {
                auto* dw = qobject_cast<DocWindow*>(w->widget());
                if (dw && &dw->document() == doc.get() && dw->kind() == DocWindow::Kind::Program)
                    mdi_->setActiveSubWindow(w);
            }
            return true;
        }
    }
    auto doc =
        app::views::openDocument(ec ? path : absolute, config_.controlFactory, app_, prompter_);
    if (!doc)
        return false;
    DocumentHandle& handle = addDocument(std::move(doc));
    ProgramWindow* program = openProgramWindow(handle);
    openExplorerWindow(handle);
    mdi_->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(program->parentWidget()));
    tileWindows();
    rememberRecent(handle.doc().path());
    return true;
}

void MainFrame::newDocument() {
    auto doc = std::make_unique<app::CTavikDoc>(config_.controlFactory);
    doc->setUntitledName(
        app::views::documentTypeField(app::views::DocumentTypeField::UntitledName) +
        std::to_string(++untitled_));
    DocumentHandle& handle = addDocument(std::move(doc));
    openProgramWindow(handle);
}

DocumentHandle& MainFrame::addDocument(std::unique_ptr<app::CTavikDoc> doc) {
    docs_.push_back(std::make_unique<DocumentHandle>(std::move(doc), prompter_, app_));
    DocumentHandle* handle = docs_.back().get();
    connect(handle, &DocumentHandle::changed, this, [this] {
        updateCommands();
        updateTitle();
    });
    return *handle;
}

ProgramWindow* MainFrame::openProgramWindow(DocumentHandle& doc) {
    auto* w = new ProgramWindow(doc, prompter_);
    w->setEasyProgramming([this] { return app_.easyProgramming(); });
    w->setServerFactory(config_.serverFactory);
    for (const auto& [command, run] : programItemCommands_)
        w->setItemCommand(command, run);
    connect(w, &ProgramWindow::selectionChanged, this, &MainFrame::updateCommands);
    // The module commands at the cursor, on the node under it.
    w->tree()->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(w->tree(), &QWidget::customContextMenuRequested, this, [this, w](const QPoint& pos) {
        if (QTreeWidgetItem* node = w->tree()->itemAt(pos))
            w->tree()->setCurrentItem(node);
        updateCommands();
        moduleMenu_->exec(w->tree()->viewport()->mapToGlobal(pos));
    });
    addWindow(w);
    return w;
}

ExplorerWindow* MainFrame::openExplorerWindow(DocumentHandle& doc) {
    auto* w = new ExplorerWindow(doc, config_.locale);
    connect(w->tree(), &QTreeWidget::currentItemChanged, this, &MainFrame::updateCommands);
    addWindow(w);
    return w;
}

void MainFrame::addWindow(DocWindow* window) {
    DocumentHandle* doc = &window->document();
    window->setCloseGuard([this](DocWindow& w) { return guardWindowClose(w); });
    ++windowCount_[doc];
    connect(window, &QObject::destroyed, this, [this, doc] { windowGone(doc); });
    QMdiSubWindow* sub = mdi_->addSubWindow(window);
    sub->setWindowIcon(style()->standardIcon(QStyle::SP_FileIcon));
    sub->resize(mdi_->viewport()->width() * 3 / 4, mdi_->viewport()->height() * 3 / 4);
    sub->show();
    mdi_->setActiveSubWindow(sub);
    numberWindows(*doc);
}

void MainFrame::numberWindows(DocumentHandle& doc) {
    std::vector<DocWindow*> shown;
    for (QMdiSubWindow* w : mdi_->subWindowList(QMdiArea::CreationOrder)) {
        auto* dw = qobject_cast<DocWindow*>(w->widget());
        if (dw && &dw->document() == &doc)
            shown.push_back(dw);
    }
    for (size_t i = 0; i < shown.size(); ++i)
        shown[i]->setNumber(int(i) + 1, int(shown.size()));
}

void MainFrame::windowGone(DocumentHandle* doc) {
    if (--windowCount_[doc] > 0) {
        numberWindows(*doc);
        return;
    }
    windowCount_.erase(doc);
    if (closing_ == doc)
        closing_ = nullptr;
    // The document goes once the window that showed it last is gone.
    QMetaObject::invokeMethod(
        this,
        [this, doc] {
            if (config_.documentClosing)
                config_.documentClosing(doc->doc());
            std::erase_if(docs_, [doc](const auto& d) { return d.get() == doc; });
            updateCommands();
            updateTitle();
        },
        Qt::QueuedConnection);
}

DocWindow* MainFrame::activeWindow() const {
    QMdiSubWindow* sub = mdi_->activeSubWindow();
    return sub ? qobject_cast<DocWindow*>(sub->widget()) : nullptr;
}

DocumentHandle* MainFrame::activeDocument() const {
    DocWindow* w = activeWindow();
    return w ? &w->document() : nullptr;
}

void MainFrame::setProgramItemCommand(app::program::ProgCommand command,
                                      ProgramWindow::ItemCommand run) {
    programItemCommands_[command] = run;
    for (QMdiSubWindow* w : mdi_->subWindowList())
        if (auto* program = qobject_cast<ProgramWindow*>(w->widget()))
            program->setItemCommand(command, run);
    updateCommands();
}

ProgramWindow* MainFrame::activeProgram() const {
    return qobject_cast<ProgramWindow*>(activeWindow());
}

void MainFrame::tileWindows() {
    QList<QMdiSubWindow*> windows = mdi_->subWindowList(QMdiArea::ActivationHistoryOrder);
    std::reverse(windows.begin(), windows.end());
    windows.removeIf([](QMdiSubWindow* w) { return w->isMinimized() || !w->isVisible(); });
    tiled_ = true;
    const auto tiles = app::views::stackedTiles(mdi_->viewport()->rect(), int(windows.size()));
    for (qsizetype i = 0; i < windows.size(); ++i) {
        windows[i]->showNormal();
        windows[i]->setGeometry(tiles[size_t(i)]);
    }
}

bool MainFrame::eventFilter(QObject* watched, QEvent* event) {
    if (watched == mdi_->viewport() && event->type() == QEvent::Resize && tiled_)
        QMetaObject::invokeMethod(this, &MainFrame::tileWindows, Qt::QueuedConnection);
    return QMainWindow::eventFilter(watched, event);
}

void MainFrame::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void MainFrame::dropEvent(QDropEvent* event) {
    if (!app::views::commandEnabled(Command::FileOpen, {.rights = app_.rightsWord()}))
        return;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile())
            openDocument(url.toLocalFile().toStdString());
    }
    event->acceptProposedAction();
}

void MainFrame::addRecordsTool(QAction* action) {
    recordsTools_->addAction(action);
}

// ---- application lock ----------------------------------------------------------------

bool MainFrame::apply(bool locked) {
    const bool visible = isVisible();
    locked_ = locked;
    Qt::WindowFlags flags = windowFlags();
    flags.setFlag(Qt::WindowStaysOnTopHint, locked);
    // Without the minimise and maximise buttons while locked.
    flags.setFlag(Qt::CustomizeWindowHint, locked);
    flags.setFlag(Qt::WindowTitleHint, true);
    flags.setFlag(Qt::WindowSystemMenuHint, true);
    flags.setFlag(Qt::WindowMinMaxButtonsHint, !locked);
    flags.setFlag(Qt::WindowCloseButtonHint, true);
    if (flags != windowFlags())
        setWindowFlags(flags);
    if (locked) {
        showFullScreen();
        // The window covers its screen: its place is the screen's corner.
        lockedPos_ = screen() ? screen()->geometry().topLeft() : pos();
    } else if (visible) {
        showMaximized();
    }
    return !locked;
}

bool MainFrame::event(QEvent* e) {
    switch (e->type()) {
        case QEvent::NonClientAreaMouseButtonPress:
        case QEvent::NonClientAreaMouseButtonRelease:
        case QEvent::NonClientAreaMouseMove:
            if (locked_) {
                e->accept();
                return true;
            }
            break;
        case QEvent::NonClientAreaMouseButtonDblClick:
            // A double click on the caption maximises or restores the window.
            e->accept();
            if (!locked_) {
                if (isMaximized())
                    showNormal();
                else
                    showMaximized();
            }
            return true;
        default:
            break;
    }
    return QMainWindow::event(e);
}

void MainFrame::changeEvent(QEvent* e) {
    QMainWindow::changeEvent(e);
    if (e->type() != QEvent::WindowStateChange)
        return;
    if (locked_ && !(windowState() & Qt::WindowFullScreen)) {
        // Minimised, maximised or restored from outside: back to full screen.
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (locked_)
                    showFullScreen();
            },
            Qt::QueuedConnection);
        return;
    }
    const bool minimised = windowState() & Qt::WindowMinimized;
    if (minimised != wasMinimised_)
        app_.audit(minimised ? security::AuditEvent::APPWND_MINIMIZE
                             : security::AuditEvent::APPWND_RESTORE,
                   {});
    wasMinimised_ = minimised;
}

void MainFrame::moveEvent(QMoveEvent* e) {
    QMainWindow::moveEvent(e);
    if (locked_ && pos() != lockedPos_)
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (locked_)
                    move(lockedPos_);
            },
            Qt::QueuedConnection);
}

// ---- closing -----------------------------------------------------------------------

bool MainFrame::guardWindowClose(DocWindow& window) {
    DocumentHandle& doc = window.document();
    if (closing_ == &doc)
        return true;
    if (config_.mayCloseServedWindow && !config_.mayCloseServedWindow(doc.doc()))
        return false;
    // The windows of the document still in the area, this one included.
    const QList<QMdiSubWindow*> windows = mdi_->subWindowList();
    const auto shown = std::count_if(windows.cbegin(), windows.cend(), [&](QMdiSubWindow* w) {
        auto* dw = qobject_cast<DocWindow*>(w->widget());
        return dw && &dw->document() == &doc;
    });
    if (shown > 1)
        return app::views::mayCloseWindow(app_);
    return mayCloseDocument(doc);
}

bool MainFrame::mayCloseDocument(DocumentHandle& doc) {
    switch (app::views::closeLastWindow(doc.doc(), app_, prompter_)) {
        case app::views::LastWindowClose::Refuse:
            return false;
        case app::views::LastWindowClose::Close:
            return true;
        case app::views::LastWindowClose::SaveThenClose:
            return save(doc);
    }
    return false;
}

bool MainFrame::closeDocument(DocumentHandle& doc) {
    if (!mayCloseDocument(doc))
        return false;
    closing_ = &doc;
    for (QMdiSubWindow* w : mdi_->subWindowList()) {
        auto* dw = qobject_cast<DocWindow*>(w->widget());
        if (dw && &dw->document() == &doc)
            w->close();
    }
    return true;
}

void MainFrame::closeEvent(QCloseEvent* event) {
    if (!app_.queryClose()) {
        event->ignore();
        return;
    }
    std::vector<DocumentHandle*> open;
    for (const auto& doc : docs_)
        open.push_back(doc.get());
    for (DocumentHandle* doc : open) {
        if (!closeDocument(*doc)) {
            event->ignore();
            return;
        }
    }
    app_.exit();
    event->accept();
}

bool MainFrame::save(DocumentHandle& doc) {
    if (doc.doc().path().empty())
        return saveAs(doc);
    return app::views::saveDocument(doc.doc(), doc.doc().path(), app_, prompter_);
}

bool MainFrame::saveAs(DocumentHandle& doc) {
    const std::filesystem::path folder =
        doc.doc().path().empty() ? std::filesystem::current_path() : doc.doc().path().parent_path();
    const std::string proposed = app::views::proposedSaveName(doc.doc().title());
    const QString chosen = QFileDialog::getSaveFileName(
        this, t(vtext::kSaveAsTitle), QString::fromStdString((folder / proposed).string()),
        fileFilter(), nullptr,
        app_.isOverwritingAllowed() ? QFileDialog::Options() : QFileDialog::DontConfirmOverwrite);
    if (chosen.isEmpty())
        return false;
    const std::filesystem::path path = chosen.toStdString();
    if (!app::views::mayWriteTo(path, app_, prompter_))
        return false;
    if (!app::views::saveDocument(doc.doc(), path, app_, prompter_))
        return false;
    rememberRecent(path);
    return true;
}

// ---- File ---------------------------------------------------------------------------

void MainFrame::onFileNew() {
    newDocument();
}

void MainFrame::onFileOpen() {
    const QString chosen = QFileDialog::getOpenFileName(
        this, t(vtext::kOpenTitle),
        QString::fromStdString(std::filesystem::current_path().string()), fileFilter());
    if (!chosen.isEmpty())
        openDocument(chosen.toStdString());
}

void MainFrame::onFileSave() {
    if (DocumentHandle* doc = activeDocument())
        save(*doc);
}

void MainFrame::onFileSaveAs() {
    if (DocumentHandle* doc = activeDocument())
        saveAs(*doc);
}

void MainFrame::onFileClose() {
    if (DocumentHandle* doc = activeDocument())
        closeDocument(*doc);
}

void MainFrame::onExit() {
    close();
}

// ---- Document ------------------------------------------------------------------------

void MainFrame::onRecordsView() {
    if (DocumentHandle* doc = activeDocument())
        openExplorerWindow(*doc);
}

void MainFrame::onProgramView() {
    if (DocumentHandle* doc = activeDocument())
        openProgramWindow(*doc);
}

void MainFrame::onGraphView() {
    auto* explorer = qobject_cast<ExplorerWindow*>(activeWindow());
    if (explorer && explorer->selectedBlock())
        addWindow(new GraphWindow(explorer->document(), explorer->selectedBlock()));
}

void MainFrame::onOpenCommunications() {
    if (DocumentHandle* doc = activeDocument())
        doc->ops().openCommunications();
    updateCommands();
}

void MainFrame::onCloseCommunications() {
    if (DocumentHandle* doc = activeDocument())
        doc->ops().closeCommunications(config_.inOpcService && config_.inOpcService(doc->doc()));
    updateCommands();
}

void MainFrame::onTransmitAll() {
    if (DocumentHandle* doc = activeDocument())
        doc->ops().transmitAll();
}

void MainFrame::onRunAll() {
    if (DocumentHandle* doc = activeDocument())
        doc->ops().runAll();
}

void MainFrame::onStopAll() {
    if (DocumentHandle* doc = activeDocument())
        doc->ops().stopAll();
}

void MainFrame::onFullMode() {
    app_.setEasyProgramming(false);
    updateCommands();
}

void MainFrame::onEasyMode() {
    if (!app_.easyProgramming() &&
        prompter_.message(viewText(vtext::kEasyModeWarning), app::Buttons::OkCancel,
                          app::Icon::Exclamation) != app::Answer::Ok) {
        updateCommands();
        return;
    }
    app_.setEasyProgramming(true);
    updateCommands();
}

// ---- Module --------------------------------------------------------------------------

void MainFrame::onAddModule() {
    ProgramWindow* program = activeProgram();
    if (!program)
        return;
    // In easy programming mode the easy sheet opens on the new module.
    program->addModule();
}

void MainFrame::withSelectedModule(
    const std::function<void(app::DocOperations&, app::CTavikItem&)>& operation) {
    ProgramWindow* program = activeProgram();
    if (program && program->selectedItem())
        operation(program->document().ops(), *program->selectedItem());
    updateCommands();
}

void MainFrame::onCommProperties() {
    withSelectedModule([](auto& ops, auto& item) { ops.editCommParams(item); });
}

void MainFrame::onTransmit() {
    withSelectedModule([](auto& ops, auto& item) { ops.transmit(item); });
}

void MainFrame::onReadProgram() {
    withSelectedModule([](auto& ops, auto& item) { ops.readProgram(item); });
}

void MainFrame::onReadName() {
    withSelectedModule([](auto& ops, auto& item) { ops.readName(item); });
}

void MainFrame::onRun() {
    withSelectedModule([](auto& ops, auto& item) { ops.run(item); });
}

void MainFrame::onStop() {
    withSelectedModule([](auto& ops, auto& item) {
        ops.withOpenItem(item, [](ctl::OvixQd40Ctl& c) { return c.Stop(); });
    });
}

void MainFrame::onForceRemote() {
    withSelectedModule([](auto& ops, auto& item) { ops.forceRemote(item); });
}

void MainFrame::onDeleteModule() {
    ProgramWindow* program = activeProgram();
    if (!program || !program->selectedItem())
        return;
    if (prompter_.message(app::appMessage(app::text::kDeleteModuleAsk, {program->selectedText()}),
                          app::Buttons::YesNoCancel, app::Icon::Question) != app::Answer::Yes)
        return;
    app::CTavikDoc& doc = program->document().doc();
    doc.deleteItem(program->selectedItem());
    doc.setModified();
}

void MainFrame::onRenameModule() {
    if (ProgramWindow* program = activeProgram())
        program->startRename();
}

// ---- Window and Help ----------------------------------------------------------------------

void MainFrame::onTile() {
    tileWindows();
}

void MainFrame::onCascade() {
    tiled_ = false;
    mdi_->cascadeSubWindows();
}

std::unique_ptr<QMessageBox> MainFrame::makeAboutBox() {
    auto box = std::make_unique<QMessageBox>(this);
    box->setWindowTitle(t(vtext::kAboutTitle));
    box->setText(QString::fromStdString(viewMessage(
        vtext::kAboutText, {config_.productName, config_.productVersion, config_.fileVersion})));
    box->setIconPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(32, 32));
    box->addButton(QMessageBox::Ok);
    return box;
}

void MainFrame::onAbout() {
    makeAboutBox()->exec();
}

}  // namespace qd40::ui
