// The main window's records commands: Read Module Memory in the Module menu,
// and the Records menu (also the explorer's context menu) acting on the
// active explorer's selected block: properties, erase, copy, paste, export,
// print, print direct and print preview.
#pragma once
#include <filesystem>
#include <map>
#include <memory>

#include <QObject>

#include "app/core/tavik_app.h"
#include "app/core/views/explorer_logic.h"
#include "app/ui/explorer_dialogs.h"
#include "app/ui/main_frame.h"
#include "app/ui/records_print.h"

class QAction;
class QMenu;
class QPrinter;
class QPrintPreviewDialog;

namespace qd40::ui {

class RecordsFrameCommands : public QObject {
    Q_OBJECT
public:
    enum class Print { Dialog, Direct, Preview };

    // dataFolder holds the recovery copies of never-saved documents whose
    // records are removed from their module.
    RecordsFrameCommands(MainFrame& frame, app::CTavikApp& app, app::AppPrompter& prompter,
                         platform::Locale locale, std::filesystem::path dataFolder);
    ~RecordsFrameCommands() override;

    // Adds Read Module Memory to the Module menu and the Records menu.
    void addMenus();
    QAction* readMemoryAction() const { return readMemory_; }
    QAction* action(app::views::ExplorerCommand command) const { return actions_.at(command); }
    QAction* printDirectAction() const { return printDirect_; }
    QMenu* menu() const { return menu_; }
    void updateCommands();

    // The document's explorer (a new one when it has none), active, with the
    // first block bearing name selected.
    ExplorerWindow* showBlock(DocumentHandle& doc, const std::string& name);
    // The print job of the explorer's selected block.
    RecordsPrintJob printJob(ExplorerWindow& explorer) const;
    // The preview of the explorer's selected block on printer (not shown yet).
    std::unique_ptr<QPrintPreviewDialog> makePreview(ExplorerWindow& explorer, QPrinter& printer);
    // Replaces the export's file and format dialogs (tests); null: the Qt ones.
    void setExportDialogs(app::views::ExportDialogs* dialogs) { exportDialogs_ = dialogs; }
    app::AppPrompter& prompter() const { return prompter_; }

private:
    ExplorerWindow* activeExplorer() const;
    app::views::ExplorerCommands commandsFor(DocumentHandle& doc);
    void wire(ExplorerWindow* explorer);
    void onReadMemory();
    void onProperties();
    void onErase();
    void onCopy();
    void onPaste();
    void onExport(bool all);
    void onPrint(Print mode);

    MainFrame& frame_;
    app::CTavikApp& app_;
    app::AppPrompter& prompter_;
    platform::Locale locale_;
    std::filesystem::path dataFolder_;
    std::unique_ptr<QtClipboard> clipboard_;
    std::unique_ptr<app::views::ExportDialogs> qtExportDialogs_;
    app::views::ExportDialogs* exportDialogs_ = nullptr;
    QAction* readMemory_ = nullptr;
    QAction* printDirect_ = nullptr;
    QMenu* menu_ = nullptr;
    std::map<app::views::ExplorerCommand, QAction*> actions_;
};

}  // namespace qd40::ui
