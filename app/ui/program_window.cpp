#include "app/ui/program_window.h"

#include <QEvent>
#include <QFileDialog>
#include <QHeaderView>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QSplitter>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>

#include "app/core/app_strings.h"
#include "app/core/program/program_export.h"
#include "app/core/program/program_report.h"
#include "app/core/program/program_strings.h"
#include "app/core/settings/settings_store.h"
#include "app/ui/live_launch.h"
#include "app/ui/program_sheets.h"
#include "control/pages/ui/page_widgets.h"
#include "platform/locale.h"
#include "tavik_version.h"

namespace qd40::ui {

namespace {
using app::views::NodeKind;
using app::views::ProgramNode;
using app::views::Selection;

constexpr int kKeyRole = Qt::UserRole;
constexpr int kKindRole = Qt::UserRole + 1;
constexpr int kItemRole = Qt::UserRole + 2;

// Every node of the tree, depth first.
void forEachNode(QTreeWidgetItem* parent, const std::function<void(QTreeWidgetItem*)>& f) {
    for (int i = 0; i < parent->childCount(); ++i) {
        f(parent->child(i));
        forEachNode(parent->child(i), f);
    }
}
}  // namespace

ProgramWindow::ProgramWindow(DocumentHandle& doc, app::AppPrompter& prompter, QWidget* parent)
    : DocWindow(doc, Kind::Program, parent),
      prompter_(prompter),
      commands_(doc.doc(), doc.ops(), prompter, doc.session()),
      pagePrompter_(std::make_unique<pages::ui::BoxPrompter>(this)),
      locale_(platform::Locale::fromEnvironment()),
      decimalSep_(locale_.decimalSeparator()) {
    runner_ = [this](app::program::ProgramSheet& sheet) { return execProgramSheet(sheet, this); };
    tree_ = new QTreeWidget(this);
    tree_->setHeaderHidden(true);
    tree_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_ = new QTableView(this);
    table_->setModel(&model_);
    table_->verticalHeader()->hide();
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);

    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->addWidget(tree_);
    splitter->addWidget(table_);
    splitter->setStretchFactor(1, 1);
    createToolBar();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(tools_);
    layout->addWidget(splitter);

    connect(tree_, &QTreeWidget::currentItemChanged, this, &ProgramWindow::onSelection);
    connect(tree_, &QTreeWidget::itemChanged, this, &ProgramWindow::onItemChanged);
    connect(tree_->itemDelegate(), &QAbstractItemDelegate::closeEditor, this, [this] {
        // Still renaming after the editor closed: the edit was cancelled.
        if (renaming_) {
            renaming_ = false;
            rebuild();
        }
    });
    connect(&doc, &DocumentHandle::changed, this, &ProgramWindow::rebuild);
    rebuild();
    // The tree as wide as its texts (within reason), the list gets the rest.
    const int chars = tree_->fontMetrics().averageCharWidth();
    tree_->resizeColumnToContents(0);
    const int treeWidth = std::clamp(tree_->columnWidth(0) + 2 * chars, 20 * chars, 50 * chars);
    splitter->setSizes({treeWidth, 100 * chars});
}

void ProgramWindow::rebuild() {
    QString selectedKey;
    if (QTreeWidgetItem* current = tree_->currentItem())
        selectedKey = current->data(0, kKeyRole).toString();
    QSet<QString> collapsed;
    forEachNode(tree_->invisibleRootItem(), [&](QTreeWidgetItem* n) {
        if (n->childCount() > 0 && !n->isExpanded())
            collapsed.insert(n->data(0, kKeyRole).toString());
    });

    {
        const QSignalBlocker blocker(tree_);
        tree_->clear();
        addNodes(tree_->invisibleRootItem(), app::views::buildProgramTree(document().doc()));
        QTreeWidgetItem* select = nullptr;
        QTreeWidgetItem* firstModule = nullptr;
        forEachNode(tree_->invisibleRootItem(), [&](QTreeWidgetItem* n) {
            const QString key = n->data(0, kKeyRole).toString();
            n->setExpanded(!collapsed.contains(key));
            if (key == selectedKey)
                select = n;
            if (!firstModule && n->data(0, kKindRole).toUInt() == app::views::kModuleNode)
                firstModule = n;
        });
        if (!select && !built_)
            select = firstModule;
        tree_->setCurrentItem(select);
    }
    built_ = true;
    onSelection();
}

void ProgramWindow::addNodes(QTreeWidgetItem* parent, const std::vector<ProgramNode>& nodes) {
    for (const ProgramNode& n : nodes) {
        auto* node = new QTreeWidgetItem(parent, {QString::fromStdString(n.text)});
        node->setData(0, kKeyRole, QString::fromStdString(n.key()));
        node->setData(0, kKindRole, static_cast<uint>(n.kind));
        node->setData(0, kItemRole, QVariant::fromValue(reinterpret_cast<quintptr>(n.item)));
        addNodes(node, n.children);
    }
}

Selection ProgramWindow::selection() const {
    const QTreeWidgetItem* n = tree_->currentItem();
    if (!n)
        return Selection::None;
    switch (n->data(0, kKindRole).toUInt()) {
        case app::views::kHostNode:
            return Selection::Host;
        case app::views::kPortNode:
            return Selection::Port;
        case app::views::kEthernetNode:
            return Selection::Ethernet;
        case app::views::kNewModuleNode:
            return Selection::NewModule;
        case app::views::kModuleNode:
            return Selection::Module;
    }
    return Selection::None;
}

app::CTavikItem* ProgramWindow::selectedItem() const {
    const QTreeWidgetItem* n = tree_->currentItem();
    return n ? reinterpret_cast<app::CTavikItem*>(n->data(0, kItemRole).value<quintptr>())
             : nullptr;
}

std::string ProgramWindow::selectedText() const {
    const QTreeWidgetItem* n = tree_->currentItem();
    return n ? n->text(0).toStdString() : std::string();
}

void ProgramWindow::selectItem(const app::CTavikItem* item) {
    forEachNode(tree_->invisibleRootItem(), [&](QTreeWidgetItem* n) {
        if (item && n->data(0, kItemRole).value<quintptr>() == reinterpret_cast<quintptr>(item)) {
            tree_->setCurrentItem(n);
            tree_->scrollToItem(n);
        }
    });
}

void ProgramWindow::startRename() {
    QTreeWidgetItem* n = tree_->currentItem();
    app::CTavikItem* item = selectedItem();
    if (!n || !item)
        return;
    {
        const QSignalBlocker blocker(tree_);
        n->setText(0, QString::fromStdString(item->shortDisplayName()));
        n->setFlags(n->flags() | Qt::ItemIsEditable);
    }
    renaming_ = true;
    tree_->editItem(n);
}

void ProgramWindow::onItemChanged(QTreeWidgetItem* node, int) {
    if (!renaming_)
        return;
    renaming_ = false;
    // The tree is rebuilt once its editor is done with the node.
    QMetaObject::invokeMethod(
        this,
        [this, item = selectedItem(), name = node->text(0).trimmed().toStdString()] {
            if (item && !name.empty()) {
                item->setMnemonic(name);
                document().doc().setModified();
            } else {
                rebuild();
            }
        },
        Qt::QueuedConnection);
}

void ProgramWindow::onSelection() {
    if (!model_.setItem(selectedItem()))
        prompter_.message(app::appText(app::text::kCannotShowChannels), app::Buttons::Ok,
                          app::Icon::Exclamation);
    table_->resizeColumnsToContents();
    updateCommands();
    Q_EMIT selectionChanged();
}

// ---- the window's commands ----------------------------------------------------------------

namespace {
using app::program::ProgCommand;

// The tool bar's commands in order; a null entry is a separator.
struct ToolEntry {
    ProgCommand command;
    QStyle::StandardPixmap icon;
    bool separatorBefore;
};
constexpr ToolEntry kTools[] = {
    {ProgCommand::AddModule, QStyle::SP_FileDialogNewFolder, false},
    {ProgCommand::Delete, QStyle::SP_TrashIcon, false},
    {ProgCommand::Rename, QStyle::SP_FileDialogDetailedView, false},
    {ProgCommand::ModuleConfiguration, QStyle::SP_FileDialogContentsView, true},
    {ProgCommand::ProgramByControl, QStyle::SP_FileDialogInfoView, false},
    {ProgCommand::CommProperties, QStyle::SP_DriveNetIcon, false},
    {ProgCommand::Transmit, QStyle::SP_ArrowUp, true},
    {ProgCommand::ReadProgram, QStyle::SP_ArrowDown, false},
    {ProgCommand::ReadName, QStyle::SP_DialogHelpButton, false},
    {ProgCommand::Identify, QStyle::SP_MessageBoxInformation, false},
    {ProgCommand::Run, QStyle::SP_MediaPlay, true},
    {ProgCommand::Stop, QStyle::SP_MediaStop, false},
    {ProgCommand::Trigger, QStyle::SP_MediaSeekForward, false},
    {ProgCommand::ForceRemote, QStyle::SP_ComputerIcon, false},
    {ProgCommand::Local, QStyle::SP_DesktopIcon, false},
    {ProgCommand::Status, QStyle::SP_MessageBoxQuestion, true},
    {ProgCommand::Events, QStyle::SP_MessageBoxWarning, false},
    {ProgCommand::Relays, QStyle::SP_DialogApplyButton, false},
    {ProgCommand::SetClock, QStyle::SP_BrowserStop, false},
    {ProgCommand::ClearMemory, QStyle::SP_DialogResetButton, true},
    {ProgCommand::Initialize, QStyle::SP_BrowserReload, false},
    {ProgCommand::EmailCounter, QStyle::SP_DialogYesButton, false},
    {ProgCommand::CommInterfaces, QStyle::SP_DirLinkIcon, false},
    {ProgCommand::Copy, QStyle::SP_FileLinkIcon, true},
    {ProgCommand::Cut, QStyle::SP_DialogDiscardButton, false},
    {ProgCommand::Paste, QStyle::SP_DialogSaveButton, false},
    {ProgCommand::Print, QStyle::SP_FileIcon, true},
    {ProgCommand::PrintPreview, QStyle::SP_FileDialogListView, false},
    {ProgCommand::ExportProgram, QStyle::SP_DialogSaveButton, false},
};
}  // namespace

void ProgramWindow::createToolBar() {
    tools_ = new QToolBar(
        QString::fromStdString(app::program::programText(app::program::ptext::kProgramWindowTools)),
        this);
    tools_->setIconSize(QSize(16, 16));
    for (const ToolEntry& e : kTools) {
        if (e.separatorBefore)
            tools_->addSeparator();
        QAction* a =
            tools_->addAction(style()->standardIcon(e.icon),
                              QString::fromStdString(app::program::progCommandText(e.command)));
        a->setToolTip(a->text());
        const ProgCommand command = e.command;
        connect(a, &QAction::triggered, this, [this, command] { run(command); });
        actions_[command] = a;
    }
    // The states follow the module's connection, which other windows change.
    tools_->installEventFilter(this);
}

bool ProgramWindow::easyProgramming() const {
    if (easy_)
        return easy_();
    return settings::UserProfileStore().readInt("Options", "EasyProg", 1) != 0;
}

bool ProgramWindow::commandEnabled(ProgCommand command) const {
    app::program::ProgContext c;
    app::Session& session = document().session();
    c.rights = session.rightsWord();
    c.securityOffOrConnected = session.securityOffOrConnected();
    c.selection = selection();
    c.communicationsOpen = document().doc().communicationsOpen;
    if (app::CTavikItem* item = selectedItem()) {
        int32_t open = 0;
        c.connected = succeeded(item->control().get_IsOpen(&open)) && open != 0;
    }
    // The e-mail counter and the communication interfaces need their dialog.
    c.available = [this](ProgCommand cmd) {
        if (cmd != ProgCommand::EmailCounter && cmd != ProgCommand::CommInterfaces)
            return true;
        return itemCommands_.count(cmd) != 0;
    };
    return app::program::progCommandEnabled(command, c);
}

void ProgramWindow::updateCommands() {
    for (auto& [command, action] : actions_)
        action->setEnabled(commandEnabled(command));
}

void ProgramWindow::addModule() {
    using app::views::Selection;
    app::CTavikItem* model = selection() == Selection::Module ? selectedItem() : nullptr;
    std::function<bool(app::CTavikItem&)> hook;
    if (easyProgramming())
        hook = commands_.easyProgrammingHook(runner_, *pagePrompter_, decimalSep_);
    if (app::CTavikItem* added = document().ops().addModule(model, hook))
        selectItem(added);
}

void ProgramWindow::run(ProgCommand command) {
    if (!commandEnabled(command)) {
        prompter_.beep();
        return;
    }
    app::CTavikItem* item = selectedItem();
    app::DocOperations& ops = document().ops();
    switch (command) {
        case ProgCommand::AddModule:
            addModule();
            break;
        case ProgCommand::ModuleConfiguration:
            commands_.programModule(*item, table_->currentIndex().row(), easyProgramming(), runner_,
                                    *pagePrompter_, decimalSep_);
            model_.refresh();
            break;
        case ProgCommand::ProgramByControl:
            programByControl(*item);
            break;
        case ProgCommand::CommProperties:
            ops.editCommParams(*item);
            break;
        case ProgCommand::Transmit:
            ops.transmit(*item);
            break;
        case ProgCommand::ReadProgram:
            ops.readProgram(*item);
            break;
        case ProgCommand::ReadName:
            ops.readName(*item);
            break;
        case ProgCommand::Run:
            ops.run(*item);
            break;
        case ProgCommand::Stop:
            commands_.stop(*item);
            break;
        case ProgCommand::Trigger:
            commands_.trigger(*item);
            break;
        case ProgCommand::ForceRemote:
            ops.forceRemote(*item);
            break;
        case ProgCommand::Local:
            commands_.local(*item);
            break;
        case ProgCommand::ClearMemory:
            commands_.clearMemory(*item);
            break;
        case ProgCommand::Initialize:
            commands_.initialize(*item);
            break;
        case ProgCommand::Identify:
            commands_.identify(*item);
            break;
        case ProgCommand::Status:
            execStatusDialog(*item, prompter_, document().session(), locale_, this);
            break;
        case ProgCommand::Events:
            execEventsDialog(*item, prompter_, locale_, this);
            break;
        case ProgCommand::Relays:
            execRelaysDialog(*item, prompter_, this);
            break;
        case ProgCommand::SetClock:
            execClockDialog(*item, prompter_, document().session(), clock_, locale_, this);
            break;
        case ProgCommand::Delete:
            commands_.deleteModule(*item, selectedText());
            break;
        case ProgCommand::Rename:
            startRename();
            break;
        case ProgCommand::Copy:
            prompter_.beep();
            break;
        case ProgCommand::Print:
        case ProgCommand::PrintPreview:
            print(item, command == ProgCommand::PrintPreview);
            break;
        case ProgCommand::ExportProgram:
            exportProgram();
            break;
        case ProgCommand::EmailCounter:
        case ProgCommand::CommInterfaces:
            itemCommands_.at(command)(*this, *item);
            break;
        default:
            break;
    }
    updateCommands();
}

void ProgramWindow::setItemCommand(ProgCommand command, ItemCommand run) {
    if (run)
        itemCommands_[command] = std::move(run);
    else
        itemCommands_.erase(command);
    updateCommands();
}

void ProgramWindow::programByControl(app::CTavikItem& item) {
    pages::CtlPageTarget target(item.control());
    int16_t first = 1;
    item.control().get_DefEditChanNum(&first);
    const auto server = [this, &item]() -> std::optional<pages::ServerVersion> {
        const auto ask = [](ctl::Qd40Link& link) -> std::optional<pages::ServerVersion> {
            pages::ServerVersion v;
            if (failed(link.Version(&v.version)) || failed(link.GetBinVersion(&v.ms, &v.ls)))
                return std::nullopt;
            return v;
        };
        // A server object created on this machine for the question.
        if (serverFactory_) {
            std::unique_ptr<ctl::Qd40Link> link;
            if (serverFactory_(std::string(), link) && link)
                return ask(*link);
        }
        // Otherwise the server of an open module answers.
        ctl::Qd40Link* link = nullptr;
        if (failed(item.control().GetQd40IUserRef(&link)) || !link)
            return std::nullopt;
        return ask(*link);
    };
    pages::ui::ControlPropertyFrame frame({&target}, first, decimalSep_, server, this);
    if (!frame.activate()) {
        prompter_.message(app::appText(app::text::kCannotAccessModule), app::Buttons::Ok,
                          app::Icon::Exclamation);
        return;
    }
    frame.exec();
    model_.refresh();
}

void ProgramWindow::print(app::CTavikItem* item, bool preview) {
    if (!item) {
        prompter_.message(app::appText(app::text::kSelectModule), app::Buttons::Ok,
                          app::Icon::Information);
        return;
    }
    app::Session& session = document().session();
    const auto footer = session.printFooter();
    const std::string user = footer ? *footer : qEnvironmentVariable("USER").toStdString();
    const auto report = app::program::programReport(*item, version::tavik::kProductName,
                                                    version::tavik::kProductVersion, user);
    if (!report) {
        prompter_.message(app::appText(app::text::kCannotAccessModule), app::Buttons::Ok,
                          app::Icon::Exclamation);
        return;
    }
    QPrinter printer(QPrinter::HighResolution);
    if (preview) {
        QPrintPreviewDialog dialog(&printer, this);
        connect(&dialog, &QPrintPreviewDialog::paintRequested, this,
                [&](QPrinter* p) { printProgram(*p, *report); });
        dialog.exec();
        return;
    }
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (printProgram(printer, *report) > 0)
        session.audit(security::AuditEvent::PRINT_DOC, {document().doc().path().string()});
}

void ProgramWindow::exportProgram() {
    using namespace app::program;
    const QString name = QString::fromStdString(defaultExportName(document().doc().title()));
    const QString dir =
        document().doc().path().empty()
            ? QString()
            : QString::fromStdString(document().doc().path().parent_path().string());
    const QString path = QFileDialog::getSaveFileName(
        this, QString::fromStdString(programText(ptext::kSelectFileToRecord)),
        dir.isEmpty() ? name : dir + "/" + name,
        QString::fromStdString(programText(ptext::kWqxFilter)));
    if (path.isEmpty())
        return;
    app::program::exportProgram(document().doc(), path.toStdString(), prompter_,
                                document().session());
}

bool ProgramWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == tools_ && event->type() == QEvent::Enter)
        updateCommands();
    return DocWindow::eventFilter(watched, event);
}

}  // namespace qd40::ui
