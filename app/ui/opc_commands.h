// The OPC server's commands in the main window: the service parameters of
// the active document (32849) and the list of the documents declared for
// the service at launch (32848); the service started for a declared
// document opened at launch; a closing document's service ended first.
#pragma once
#include <filesystem>
#include <functional>
#include <string>

#include <QObject>

#include "app/core/opc/opc_service.h"
#include "app/core/tavik_app.h"

class QAction;

namespace qd40::ui {

class MainFrame;

class OpcFrameCommands : public QObject {
public:
    OpcFrameCommands(MainFrame& frame, app::CTavikApp& app, app::opc::OpcServices& services,
                     app::CTavikDoc::ControlFactory factory);

    // The "OPC Server" menu, added to the frame's menu bar.
    void addMenu();
    void startOpcService(const std::filesystem::path& path, int slot);
    void documentClosing(app::CTavikDoc& doc) { services_.remove(doc); }
    bool inService(const app::CTavikDoc& doc) const { return services_.inService(doc); }

    void defineService();
    void listDocuments();

private:
    app::CTavikDoc* activeDocument() const;
    void closeSlot(int slot);
    void updateEnabled();

    MainFrame& frame_;
    app::CTavikApp& app_;
    app::opc::OpcServices& services_;
    app::CTavikDoc::ControlFactory factory_;
    QAction* params_ = nullptr;
    QAction* documents_ = nullptr;
};

// The frame as the application's start-up sees it, with the OPC service
// start of the declared documents.
class OpcAppFrame : public app::AppFrame {
public:
    OpcAppFrame(MainFrame& frame, OpcFrameCommands& commands);
    void showFrame(bool minimised) override;
    bool openDocument(const std::filesystem::path& path) override;
    void startOpcService(const std::filesystem::path& path, int slot) override;

private:
    MainFrame& frame_;
    OpcFrameCommands& commands_;
};

// Pictures of the OPC dialogs for tools/screenshots: the service sheet's two
// pages on doc, and the declared documents list with doc declared in a
// throw-away store. `save` takes one picture under a file name.
bool opcScreenshots(app::CTavikDoc& doc, QWidget* parent,
                    const std::function<bool(QWidget&, const std::string&)>& save);

}  // namespace qd40::ui
