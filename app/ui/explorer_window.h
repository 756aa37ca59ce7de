// The records explorer: the document's record blocks in a tree on the left,
// the records of the selected block on the right. The tree's keys and mouse
// become actions (app/core/views/explorer_logic.h); the main window's
// records commands act on the selected block.
#pragma once
#include <QTableView>
#include <QTreeWidget>

#include "app/core/views/explorer_logic.h"
#include "app/records/records_table_model.h"
#include "app/ui/doc_window.h"

namespace qd40::ui {

class ExplorerWindow : public DocWindow {
    Q_OBJECT
public:
    ExplorerWindow(DocumentHandle& doc, const platform::Locale& locale, QWidget* parent = nullptr);

    // The selected block, null when none is.
    const records::CExplBloc* selectedBlock() const;
    records::CExplBloc* selectedBlock();
    void selectBlock(const records::CExplBloc* block);
    // Selects the first block bearing name; false when there is none.
    bool selectBlockNamed(const std::string& name);
    // The width of each records column in characters (its width over that of "X").
    std::vector<int> columnChars() const;

    QTreeWidget* tree() { return tree_; }
    QTableView* recordsTable() { return table_; }

Q_SIGNALS:
    // A key or a double click asked for an action the window does not do itself.
    void actionRequested(app::views::TreeAction action);
    // The context menu, at a global position.
    void contextMenuRequested(QPoint global);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void rebuild();
    void onSelection();
    void onTreeAction(app::views::TreeKey key);

    QTreeWidget* tree_;
    QTableView* table_;
    records::RecordsTableModel model_;
};

}  // namespace qd40::ui
