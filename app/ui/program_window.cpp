#include "app/ui/program_window.h"

#include <QHeaderView>
#include <QSplitter>
#include <QVBoxLayout>

#include "app/core/app_strings.h"

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
    : DocWindow(doc, Kind::Program, parent), prompter_(prompter) {
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
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
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
    Q_EMIT selectionChanged();
}

}  // namespace qd40::ui
