// The program window: the tree of the document's modules on the left, the
// channel list of the selected module on the right.
#pragma once
#include <QTableView>
#include <QTreeWidget>

#include "app/core/views/channel_list.h"
#include "app/core/views/commands.h"
#include "app/core/views/program_tree.h"
#include "app/ui/doc_window.h"

namespace qd40::ui {

class ProgramWindow : public DocWindow {
    Q_OBJECT
public:
    ProgramWindow(DocumentHandle& doc, app::AppPrompter& prompter, QWidget* parent = nullptr);

    app::views::Selection selection() const;
    // The selected module's item, null when no module node is selected.
    app::CTavikItem* selectedItem() const;
    // The text of the selected node.
    std::string selectedText() const;
    void selectItem(const app::CTavikItem* item);
    // Starts editing the selected module's name in the tree.
    void startRename();

    QTreeWidget* tree() { return tree_; }
    QTableView* channelTable() { return table_; }

Q_SIGNALS:
    void selectionChanged();

private:
    void rebuild();
    void addNodes(QTreeWidgetItem* parent, const std::vector<app::views::ProgramNode>& nodes);
    void onSelection();
    void onItemChanged(QTreeWidgetItem* node, int column);

    app::AppPrompter& prompter_;
    QTreeWidget* tree_;
    QTableView* table_;
    app::views::ChannelListModel model_;
    bool built_ = false;
    bool renaming_ = false;
};

}  // namespace qd40::ui
