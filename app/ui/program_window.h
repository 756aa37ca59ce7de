// The program window: the tree of the document's modules on the left, the
// channel list of the selected module on the right.
#pragma once
#include <functional>
#include <map>

#include <QTableView>
#include <QTreeWidget>

#include "app/core/program/program_commands.h"
#include "app/core/views/channel_list.h"
#include "app/core/views/commands.h"
#include "app/core/views/program_tree.h"
#include "app/security/clock.h"
#include "app/ui/doc_window.h"
#include "control/pages/page_model.h"
#include "platform/locale.h"

class QAction;
class QToolBar;

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

    // ---- the window's own commands (its tool bar)
    // Where the per-user programming mode comes from (default: the user's
    // "EasyProg" setting).
    void setEasyProgramming(std::function<bool()> easy) { easy_ = std::move(easy); }
    // How the about page reaches the communication server on this machine
    // (none: an open module's server answers, else the line says it is not
    // available).
    void setServerFactory(ctl::Qd40Factory factory) { serverFactory_ = std::move(factory); }
    bool easyProgramming() const;
    QToolBar* toolBar() const { return tools_; }
    QAction* action(app::program::ProgCommand command) const { return actions_.at(command); }
    bool commandEnabled(app::program::ProgCommand command) const;
    void updateCommands();
    // Runs a command as its button does (refused with a beep when disabled).
    void run(app::program::ProgCommand command);
    // Adds a module modelled on the selection; in easy mode the easy sheet
    // opens on it.
    void addModule();
    // A command on the selected module whose dialog lives outside this
    // window (the e-mail counter, the communication interfaces); without
    // one the command stays disabled.
    using ItemCommand = std::function<void(ProgramWindow&, app::CTavikItem&)>;
    void setItemCommand(app::program::ProgCommand command, ItemCommand run);
    // The sheet runner of the commands (tests replace the dialog).
    void setSheetRunner(app::program::SheetRunner runner) { runner_ = std::move(runner); }
    app::program::ProgramCommands& commands() { return commands_; }

Q_SIGNALS:
    void selectionChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void rebuild();
    void addNodes(QTreeWidgetItem* parent, const std::vector<app::views::ProgramNode>& nodes);
    void onSelection();
    void onItemChanged(QTreeWidgetItem* node, int column);
    void createToolBar();
    void programByControl(app::CTavikItem& item);
    void print(app::CTavikItem* item, bool preview);
    void exportProgram();

    app::AppPrompter& prompter_;
    QTreeWidget* tree_;
    QTableView* table_;
    app::views::ChannelListModel model_;
    bool built_ = false;
    bool renaming_ = false;
    QToolBar* tools_ = nullptr;
    std::map<app::program::ProgCommand, QAction*> actions_;
    std::function<bool()> easy_;
    std::map<app::program::ProgCommand, ItemCommand> itemCommands_;
    ctl::Qd40Factory serverFactory_;
    app::program::SheetRunner runner_;
    app::program::ProgramCommands commands_;
    std::unique_ptr<pages::PagePrompter> pagePrompter_;
    platform::Locale locale_;
    security::SystemClock clock_;
    char decimalSep_ = '.';
};

}  // namespace qd40::ui
