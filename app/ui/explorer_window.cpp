#include "app/ui/explorer_window.h"

#include <QFontDatabase>
#include <QHeaderView>
#include <QSplitter>
#include <QVBoxLayout>

#include "app/core/views/view_strings.h"

namespace qd40::ui {

namespace {
using app::views::viewText;
namespace vtext = app::views::vtext;

constexpr int kKindRole = Qt::UserRole;
constexpr int kBlockRole = Qt::UserRole + 1;
constexpr uint kRootNode = 101;
constexpr uint kNewBlockNode = 201;
constexpr uint kBlockNode = 400;
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
        root->setData(0, kKindRole, kRootNode);
        QTreeWidgetItem* select = nullptr;
        for (const auto& block : document().doc().blocks()) {
            auto* node = new QTreeWidgetItem(root, {QString::fromStdString(block->name)});
            node->setData(0, kKindRole, kBlockNode);
            node->setData(0, kBlockRole,
                          QVariant::fromValue(reinterpret_cast<quintptr>(block.get())));
            if (block.get() == selected || (!selected && !select))
                select = node;
        }
        auto* newBlock =
            new QTreeWidgetItem(root, {QString::fromStdString(viewText(vtext::kNewBlock))});
        newBlock->setData(0, kKindRole, kNewBlockNode);
        root->setExpanded(true);
        tree_->setCurrentItem(select ? select : root);
    }
    onSelection();
}

const records::CExplBloc* ExplorerWindow::selectedBlock() const {
    const QTreeWidgetItem* n = tree_->currentItem();
    if (!n || n->data(0, kKindRole).toUInt() != kBlockNode)
        return nullptr;
    return reinterpret_cast<const records::CExplBloc*>(n->data(0, kBlockRole).value<quintptr>());
}

void ExplorerWindow::selectBlock(const records::CExplBloc* block) {
    QTreeWidgetItem* root = tree_->topLevelItem(0);
    for (int i = 0; root && i < root->childCount(); ++i) {
        if (root->child(i)->data(0, kBlockRole).value<quintptr>() ==
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
