#include "app/tavik/screenshots.h"

#include <cstdio>

#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>

#include "app/core/app_strings.h"
#include "app/ui/comm_dialog.h"
#include "app/ui/doc_window.h"
#include "app/ui/explorer_window.h"
#include "app/ui/graph/graph_view.h"
#include "app/ui/opc_commands.h"
#include "app/ui/picture_folder.h"
#include "app/ui/qt_prompter.h"
#include "app/ui/records_shots.h"
#include "app/ui/three_buttons_dialog.h"

namespace qd40::tavik {

namespace {

bool save(QWidget& widget, const std::filesystem::path& file) {
    return ui::PictureFolder(file.parent_path(), "tavik")
        .take(widget, file.stem().string(), /*caption=*/true);
}

// The graph of the demonstration block, maximised in the main window.
bool saveGraph(ui::MainFrame& frame, const std::filesystem::path& folder) {
    for (QMdiSubWindow* w : frame.mdiArea()->subWindowList())
        if (qobject_cast<ui::ExplorerWindow*>(w->widget()))
            frame.mdiArea()->setActiveSubWindow(w);
    QAction* command = frame.action(app::views::Command::GraphView);
    if (!command || !command->isEnabled()) {
        std::fprintf(stderr, "screenshots: no record block to draw\n");
        return false;
    }
    command->trigger();
    if (QMdiSubWindow* sub = frame.mdiArea()->activeSubWindow())
        sub->showMaximized();
    QApplication::processEvents();
    QApplication::processEvents();  // the deferred redraw at the final width
    QApplication::processEvents();  // and the chart's layout after it
    return save(frame, folder / "graph.png");
}

}  // namespace

bool takeScreenshots(ui::MainFrame& frame, const std::string& caption,
                     const std::filesystem::path& folder) {
    using namespace app;
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    // The dialog is shown on the demonstration module.
    ctl::CtlConnection network;
    if (auto* program = qobject_cast<ui::ProgramWindow*>(frame.activeWindow());
        program && program->selectedItem())
        network = program->selectedItem()->connection();
    frame.showNormal();
    frame.resize(1280, 800);
    QApplication::processEvents();
    frame.tileWindows();
    QApplication::processEvents();
    bool ok = save(frame, folder / "main.png");
    // Locked: over the whole screen, without minimise and maximise buttons.
    frame.apply(true);
    QApplication::processEvents();
    ok = save(frame, folder / "main-locked.png") && ok;
    frame.apply(false);
    frame.showNormal();
    frame.resize(1280, 800);
    QApplication::processEvents();

    auto box = ui::makeMessageBox(&frame, caption, appText(text::kTransmitOneAsk),
                                  Buttons::YesNoCancel, Icon::Question);
    ok = save(*box, folder / "message-box.png") && ok;
    auto noIcon = ui::makeMessageBox(&frame, caption, appText(text::kSaveBeforeClosing),
                                     Buttons::Ok, Icon::None);
    ok = save(*noIcon, folder / "message-box-default-icon.png") && ok;

    ok = save(*frame.makeAboutBox(), folder / "about.png") && ok;

    ui::C3ButtonsDialog run(
        appText(text::kRunTitle), appText(text::kRunChoiceText) + ":",
        {appText(text::kRunClearing), appText(text::kRunAdding), appText(text::kRunWithout)},
        &frame);
    ok = save(run, folder / "three-choices.png") && ok;

    // The dialog on the demonstration module, and on a serial module of a remote host.
    ui::CCommDialog onNetwork(network, caption, &frame);
    ok = save(onNetwork, folder / "comm-dialog.png") && ok;
    ctl::CtlConnection serial;
    serial.serial = true;
    serial.ipAddr = "LABPC";
    serial.port = 2;
    serial.ovixQd40SvrParams = false;
    serial.baudRate = 19200;
    serial.mbAddr = 3;
    ui::CCommDialog onSerial(serial, caption, &frame);
    ok = save(onSerial, folder / "comm-dialog-serial.png") && ok;
    // The OPC dialogs on the demonstration document.
    const auto windows = frame.mdiArea()->subWindowList();
    if (auto* w = windows.empty() ? nullptr : qobject_cast<ui::DocWindow*>(windows[0]->widget()))
        ok = ui::opcScreenshots(w->document().doc(), &frame,
                                [&](QWidget& dialog, const std::string& name) {
                                    return save(dialog, folder / name);
                                }) &&
             ok;
    // The records explorer and its dialogs, the memory reading dialog.
    if (auto* records = frame.findChild<ui::RecordsFrameCommands*>())
        ok = ui::recordsScreenshots(
                 frame, *records,
                 [&](QWidget& w, const std::string& name) { return save(w, folder / name); }) &&
             ok;
    return saveGraph(frame, folder) && ok;
}

}  // namespace qd40::tavik
