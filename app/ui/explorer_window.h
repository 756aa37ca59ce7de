// The records explorer: the document's record blocks in a tree on the left,
// the records of the selected block on the right.
#pragma once
#include <QTableView>
#include <QTreeWidget>

#include "app/records/records_table_model.h"
#include "app/ui/doc_window.h"

namespace qd40::ui {

class ExplorerWindow : public DocWindow {
    Q_OBJECT
public:
    ExplorerWindow(DocumentHandle& doc, const platform::Locale& locale, QWidget* parent = nullptr);

    // The selected block, null when none is.
    const records::CExplBloc* selectedBlock() const;
    void selectBlock(const records::CExplBloc* block);

    QTreeWidget* tree() { return tree_; }
    QTableView* recordsTable() { return table_; }

private:
    void rebuild();
    void onSelection();

    QTreeWidget* tree_;
    QTableView* table_;
    records::RecordsTableModel model_;
};

}  // namespace qd40::ui
