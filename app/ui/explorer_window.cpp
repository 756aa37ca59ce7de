#include "app/ui/explorer_window.h"

#include <QContextMenuEvent>
#include <QFontDatabase>
#include <QHeaderView>
#include <QKeyEvent>
#include <QSplitter>
#include <QVBoxLayout>

#include "app/core/views/view_strings.h"

namespace qd40::ui {

namespace {
using app::views::viewText;
namespace vtext = app::views::vtext;

using app::views::ExplorerNode;
using app::views::TreeAction;
using app::views::TreeKey;

// The node's item data: 101 for the root, 201 for "New Block", the block's
// address for a block.
constexpr int kDataRole = Qt::UserRole;

ExplorerNode kindOf(const QTreeWidgetItem* node) {
    return node ? app::views::nodeKind(node->data(0, kDataRole).value<quintptr>())
                : ExplorerNode::None;
}
}  // namespace

ExplorerWindow::ExplorerWindow(DocumentHandle& doc, const platform::Locale& locale, QWidget* parent)
    : DocWindow(doc, Kind::Explorer, parent), model_(locale) {
    tree_ = new QTreeWidget(this);
    tree_->setHeaderHidden(true);
    table_ = new QTableView(this);
    table_->setModel(&model_);
    table_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    table_->verticalHeader()->hide();
    // Rows of one height: the view never measures the records.
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 4);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setWordWrap(false);
    const QFontMetrics fm(table_->font());
    const int x = fm.horizontalAdvance(u'X');
    for (int c = 0; c < records::RecordsTableModel::kColumns; ++c) {
        const int title =
            fm.horizontalAdvance(model_.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString());
        table_->setColumnWidth(
            c, std::max(title, x * records::RecordsTableModel::kColumnChars[size_t(c)]) + 2 * x);
    }

    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->addWidget(tree_);
    splitter->addWidget(table_);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({200, 600});
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(splitter);

    connect(tree_, &QTreeWidget::currentItemChanged, this, &ExplorerWindow::onSelection);
    connect(tree_, &QTreeWidget::itemDoubleClicked, this, [this] { onTreeAction(TreeKey::Enter); });
    // Keys and the context menu of the tree, the context menu of the list.
    tree_->installEventFilter(this);
    tree_->viewport()->installEventFilter(this);
    table_->viewport()->installEventFilter(this);
    tree_->setExpandsOnDoubleClick(false);
    connect(&doc, &DocumentHandle::changed, this, &ExplorerWindow::rebuild);
    rebuild();
}

void ExplorerWindow::rebuild() {
    const records::CExplBloc* selected = selectedBlock();
    {
        const QSignalBlocker blocker(tree_);
        tree_->clear();
        auto* root =
            new QTreeWidgetItem(tree_, {QString::fromStdString(viewText(vtext::kRecordsBlocks))});
        root->setData(0, kDataRole, QVariant::fromValue(quintptr(app::views::kRootData)));
        QTreeWidgetItem* select = nullptr;
        for (const auto& block : document().doc().blocks()) {
            auto* node = new QTreeWidgetItem(root, {QString::fromStdString(block->name)});
            node->setData(0, kDataRole,
                          QVariant::fromValue(reinterpret_cast<quintptr>(block.get())));
            if (block.get() == selected || (!selected && !select))
                select = node;
        }
        auto* newBlock =
            new QTreeWidgetItem(root, {QString::fromStdString(viewText(vtext::kNewBlock))});
        newBlock->setData(0, kDataRole, QVariant::fromValue(quintptr(app::views::kNewBlockData)));
        root->setExpanded(true);
        tree_->setCurrentItem(select ? select : root);
    }
    onSelection();
}

const records::CExplBloc* ExplorerWindow::selectedBlock() const {
    const QTreeWidgetItem* n = tree_->currentItem();
    if (kindOf(n) != ExplorerNode::Block)
        return nullptr;
    return reinterpret_cast<const records::CExplBloc*>(n->data(0, kDataRole).value<quintptr>());
}

records::CExplBloc* ExplorerWindow::selectedBlock() {
    // The blocks are the document's; the window only shows them.
    for (const auto& b : document().doc().blocks())
        if (b.get() == std::as_const(*this).selectedBlock())
            return b.get();
    return nullptr;
}

bool ExplorerWindow::selectBlockNamed(const std::string& name) {
    for (const auto& b : document().doc().blocks()) {
        if (b->name == name) {
            selectBlock(b.get());
            return true;
        }
    }
    return false;
}

std::vector<int> ExplorerWindow::columnChars() const {
    const int x = std::max(1, QFontMetrics(table_->font()).horizontalAdvance(u'X'));
    std::vector<int> chars;
    for (int c = 0; c < records::RecordsTableModel::kColumns; ++c)
        chars.push_back(table_->columnWidth(c) / x);
    return chars;
}

void ExplorerWindow::onTreeAction(TreeKey key) {
    QTreeWidgetItem* node = tree_->currentItem();
    const TreeAction action = app::views::treeAction(key, kindOf(node), node && node->childCount());
    if (action == TreeAction::Toggle) {
        if (node)
            node->setExpanded(!node->isExpanded());
    } else if (action != TreeAction::None) {
        Q_EMIT actionRequested(action);
    }
}

bool ExplorerWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == tree_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Delete) {
            onTreeAction(key == Qt::Key_Delete ? TreeKey::Delete : TreeKey::Enter);
            return true;
        }
    }
    if (event->type() == QEvent::ContextMenu &&
        (watched == tree_ || watched == tree_->viewport() || watched == table_->viewport())) {
        auto* e = static_cast<QContextMenuEvent*>(event);
        const bool keyboard = e->reason() == QContextMenuEvent::Keyboard;
        QPoint at = e->globalPos();
        if (watched != table_->viewport()) {
            // A right click first selects the node under the cursor.
            if (!keyboard)
                if (QTreeWidgetItem* n = tree_->itemAt(tree_->viewport()->mapFromGlobal(at)))
                    tree_->setCurrentItem(n);
            const QRect node = tree_->visualItemRect(tree_->currentItem());
            at = tree_->viewport()->mapToGlobal(
                app::views::contextMenuPoint(keyboard, tree_->viewport()->mapFromGlobal(at), node));
        }
        Q_EMIT contextMenuRequested(at);
        return true;
    }
    return DocWindow::eventFilter(watched, event);
}

void ExplorerWindow::selectBlock(const records::CExplBloc* block) {
    QTreeWidgetItem* root = tree_->topLevelItem(0);
    for (int i = 0; root && i < root->childCount(); ++i) {
        if (root->child(i)->data(0, kDataRole).value<quintptr>() ==
            reinterpret_cast<quintptr>(block))
            tree_->setCurrentItem(root->child(i));
    }
}

void ExplorerWindow::onSelection() {
    const records::CExplBloc* block = selectedBlock();
    if (block != model_.block())
        model_.setBlock(block);
    else
        model_.refresh();
}

}  // namespace qd40::ui
