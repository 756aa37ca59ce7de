// The main window: the MDI area with the document windows, the menus of the
// application, document and module commands (each enabled by the rules of
// app/core/views/commands.h), and the rules for closing windows, documents
// and the application.
#pragma once
#include <array>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <QMainWindow>
#include <QMdiArea>
#include <QMessageBox>

#include "app/core/tavik_app.h"
#include "app/core/views/commands.h"
#include "app/security/prompter.h"
#include "app/ui/document_handle.h"
#include "app/ui/explorer_window.h"
#include "app/ui/program_window.h"
#include "app/ui/qt_prompter.h"
#include "platform/locale.h"

class QAction;
class QMenu;
class QToolBar;

namespace qd40::ui {

struct FrameConfig {
    std::string productName = "Tavik";
    std::string productVersion;
    std::string fileVersion;  // "2.10.0.0"
    app::CTavikDoc::ControlFactory controlFactory;
    platform::Locale locale = platform::Locale::posix();
    // The OPC service of a document: ended before the document goes; while
    // it runs, the document's communications stay open.
    std::function<void(app::CTavikDoc&)> documentClosing;
    std::function<bool(const app::CTavikDoc&)> inOpcService;
    // Asked first when a window of a document closes (the OPC service's
    // question about connected clients); false keeps the window.
    std::function<bool(const app::CTavikDoc&)> mayCloseServedWindow;
    // Creates a Qd40 object of the communication server on this machine (the
    // property frame's about page asks it for its version).
    ctl::Qd40Factory serverFactory;
};

class MainFrame : public QMainWindow, public app::AppFrame, public security::ApplicationLock {
    Q_OBJECT
public:
    // The prompter is the application's; a QtPrompter shows its dialogs over
    // this window.
    MainFrame(app::CTavikApp& app, app::AppPrompter& prompter, FrameConfig config);
    ~MainFrame() override;

    // ---- AppFrame
    void showFrame(bool minimised) override;
    bool openDocument(const std::filesystem::path& path) override;

    // A new untitled document with its program window.
    void newDocument();
    // Stacks the windows one above the other over the whole area, the active
    // one on top.
    void tileWindows();
    QMdiArea* mdiArea() const { return mdi_; }
    DocWindow* activeWindow() const;
    QAction* action(app::views::Command command) const { return actions_.at(command); }
    // The about box (not shown yet).
    std::unique_ptr<QMessageBox> makeAboutBox();
    // Enables each command for the active window, its document and selection.
    void updateCommands();
    // The Module menu, for the commands that other parts add to it.
    QMenu* moduleMenu() const { return moduleMenu_; }
    // A program-window command whose dialog another part of the application
    // provides, given to every program window, open or to come.
    void setProgramItemCommand(app::program::ProgCommand command, ProgramWindow::ItemCommand run);
    // A new records explorer on doc, active.
    ExplorerWindow* openExplorerWindow(DocumentHandle& doc);

    // ---- ApplicationLock
    // Locked: full screen and on top; size, move, minimise, maximise and
    // restore are refused, and so are clicks on the caption. The desktop
    // decides which application has the keyboard, so switching to another
    // one cannot be blocked: false while locked.
    bool apply(bool locked) override;
    bool isLocked() const { return locked_; }
    // The records tool bar, shown while a records explorer is the active window.
    void addRecordsTool(QAction* action);
    QToolBar* recordsToolBar() const { return recordsTools_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    // Documents dropped on the window open as File Open would.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    // Keeps tiled windows tiled while the area changes size.
    bool eventFilter(QObject* watched, QEvent* event) override;
    // The caption's clicks (the window manager's or a test's) and the window
    // state changes, refused while locked.
    bool event(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    void createActions();
    void createMenus();
    QAction* addCommand(QMenu* menu, app::views::Command command, int textId,
                        void (MainFrame::*handler)());

    DocumentHandle& addDocument(std::unique_ptr<app::CTavikDoc> doc);
    DocumentHandle* activeDocument() const;
    ProgramWindow* activeProgram() const;
    ProgramWindow* openProgramWindow(DocumentHandle& doc);
    void addWindow(DocWindow* window);
    void windowGone(DocumentHandle* doc);
    // Numbers the windows still shown of doc in their order of creation.
    void numberWindows(DocumentHandle& doc);
    bool guardWindowClose(DocWindow& window);
    // Whether the document may go (saving it when asked); then closes all its windows.
    bool mayCloseDocument(DocumentHandle& doc);
    bool closeDocument(DocumentHandle& doc);
    bool save(DocumentHandle& doc);
    bool saveAs(DocumentHandle& doc);
    void rememberRecent(const std::filesystem::path& path);
    void updateRecentFiles();
    void updateTitle();

    // Runs operation on the selected module of the active program window.
    void withSelectedModule(
        const std::function<void(app::DocOperations&, app::CTavikItem&)>& operation);

    // ---- commands
    void onFileNew();
    void onFileOpen();
    void onFileSave();
    void onFileSaveAs();
    void onFileClose();
    void onExit();
    void onRecordsView();
    void onProgramView();
    void onGraphView();
    void onOpenCommunications();
    void onCloseCommunications();
    void onTransmitAll();
    void onRunAll();
    void onStopAll();
    void onFullMode();
    void onEasyMode();
    void onAddModule();
    void onCommProperties();
    void onTransmit();
    void onReadProgram();
    void onReadName();
    void onRun();
    void onStop();
    void onForceRemote();
    void onDeleteModule();
    void onRenameModule();
    void onTile();
    void onCascade();
    void onAbout();

    app::CTavikApp& app_;
    app::AppPrompter& prompter_;
    FrameConfig config_;
    QMdiArea* mdi_;
    std::map<app::views::Command, QAction*> actions_;
    std::map<app::program::ProgCommand, QAction*> programActions_;
    std::map<app::program::ProgCommand, ProgramWindow::ItemCommand> programItemCommands_;
    std::array<QAction*, settings::RecentFileList::kDefaultSize> recent_{};
    QAction* recentSeparator_ = nullptr;
    QMenu* moduleMenu_ = nullptr;
    std::vector<std::unique_ptr<DocumentHandle>> docs_;
    std::map<DocumentHandle*, int> windowCount_;
    DocumentHandle* closing_ = nullptr;  // the document whose windows are being closed
    int untitled_ = 0;
    bool tiled_ = false;
    bool locked_ = false;
    QToolBar* recordsTools_ = nullptr;
    bool wasMinimised_ = false;
    QPoint lockedPos_;
};

}  // namespace qd40::ui
