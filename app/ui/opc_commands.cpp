#include "app/ui/opc_commands.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTabWidget>
#include <QTemporaryDir>

#include "app/core/opc/opc_docs_list.h"
#include "app/core/opc/opc_strings.h"
#include "app/ui/doc_window.h"
#include "app/ui/main_frame.h"
#include "app/ui/opc_docs_dialog.h"
#include "app/ui/opc_service_sheet.h"

namespace qd40::ui {

using namespace app::opc;

namespace {
QString qs(int id) {
    return QString::fromStdString(opcText(id));
}
}  // namespace

OpcFrameCommands::OpcFrameCommands(MainFrame& frame, app::CTavikApp& app,
                                   app::opc::OpcServices& services,
                                   app::CTavikDoc::ControlFactory factory)
    : frame_(frame), app_(app), services_(services), factory_(std::move(factory)) {}

void OpcFrameCommands::addMenu() {
    QMenu* menu = new QMenu(qs(text::kOpcMenu), &frame_);
    params_ = menu->addAction(qs(text::kServiceParamsItem), this, [this] { defineService(); });
    params_->setStatusTip(qs(text::kCmdServiceParams));
    documents_ =
        menu->addAction(qs(text::kServiceDocumentsItem), this, [this] { listDocuments(); });
    documents_->setStatusTip(qs(text::kCmdServiceDocuments));
    // Before the Window and Help menus.
    const auto bar = frame_.menuBar()->actions();
    QAction* before = bar.size() >= 2 ? bar[bar.size() - 2] : nullptr;
    frame_.menuBar()->insertMenu(before, menu);
    connect(menu, &QMenu::aboutToShow, this, [this] { updateEnabled(); });
    updateEnabled();
}

app::CTavikDoc* OpcFrameCommands::activeDocument() const {
    DocWindow* w = frame_.activeWindow();
    return w ? &w->document().doc() : nullptr;
}

void OpcFrameCommands::updateEnabled() {
    const bool user = app_.securityOffOrConnected();
    const app::CTavikDoc* doc = activeDocument();
    params_->setEnabled(user && doc && doc->communicationsOpen);
    documents_->setEnabled(user);
}

void OpcFrameCommands::defineService() {
    app::CTavikDoc* doc = activeDocument();
    if (!doc)
        return;
    app::opc::defineService(services_.of(*doc), app_.machine(), app_.prompter(), app_,
                            [&](OpcServiceParams& params) {
                                COpcSvrSheet sheet(*doc, params, &frame_);
                                if (sheet.exec() != QDialog::Accepted)
                                    return false;
                                params = sheet.params();
                                return true;
                            });
    frame_.updateCommands();
}

void OpcFrameCommands::closeSlot(int slot) {
    app::CTavikDoc* doc = services_.documentInSlot(slot);
    if (!doc)
        return;
    for (QMdiSubWindow* w : frame_.mdiArea()->subWindowList()) {
        auto* dw = qobject_cast<DocWindow*>(w->widget());
        if (dw && &dw->document().doc() == doc)
            w->close();
    }
}

void OpcFrameCommands::listDocuments() {
    const auto load = [this](const std::filesystem::path& path) -> std::unique_ptr<app::CTavikDoc> {
        auto doc = std::make_unique<app::CTavikDoc>(factory_);
        if (!doc->load(path))
            return nullptr;
        return doc;
    };
    OpcDocsList list(app_.machine(), app_, load,
                     [this](int slot) { return services_.documentInSlot(slot) != nullptr; });
    CListOpcDocsDialog dialog(
        list, [this](int slot) { closeSlot(slot); }, &frame_);
    dialog.exec();
}

void OpcFrameCommands::startOpcService(const std::filesystem::path& path, int slot) {
    app::CTavikDoc* doc = activeDocument();
    std::error_code ec;
    if (!doc || !std::filesystem::equivalent(doc->path(), path, ec))
        return;
    startDeclaredService(services_.of(*doc), slot, app_.machine());
    frame_.updateCommands();
}

OpcAppFrame::OpcAppFrame(MainFrame& frame, OpcFrameCommands& commands)
    : frame_(frame), commands_(commands) {}

void OpcAppFrame::showFrame(bool minimised) {
    frame_.showFrame(minimised);
}

bool OpcAppFrame::openDocument(const std::filesystem::path& path) {
    return frame_.openDocument(path);
}

void OpcAppFrame::startOpcService(const std::filesystem::path& path, int slot) {
    commands_.startOpcService(path, slot);
}

namespace {
// A connected user with every right, who leaves no trace.
class ShowingSession : public app::Session {
public:
    uint32_t rightsWord() const override { return ~0u; }
    bool securityOffOrConnected() const override { return true; }
    bool isOverwritingAllowed() const override { return true; }
    void audit(security::AuditEvent, const std::vector<std::string>&) override {}
};
}  // namespace

bool opcScreenshots(app::CTavikDoc& doc, QWidget* parent,
                    const std::function<bool(QWidget&, const std::string&)>& save) {
    OpcServiceParams params;
    if (!doc.items().empty())
        params.published = {{doc.items()[0].get(), 0xF}};
    COpcSvrSheet sheet(doc, params, parent);
    bool ok = save(sheet, "opc-service.png");
    if (auto* tabs = sheet.findChild<QTabWidget*>()) {
        tabs->setCurrentIndex(1);
        ok = save(sheet, "opc-service-channels.png") && ok;
    }

    QTemporaryDir folder;
    settings::CLocalMachineReg machine{platform::RegistryStore(folder.path().toStdString())};
    const std::string slot = slotSection(0);
    machine.writeString(slot, "Path", doc.path().string());
    machine.writeInt(slot, "SendProg", kModeIfDifferent);
    machine.writeString(slot, "ChansIn", formatChansIn(params.published));
    machine.writeInt(slot, "Period", 1000);
    machine.writeInt(slot, "StopOnClose", 1);
    ShowingSession session;
    const auto load = [&doc](const std::filesystem::path&) {
        auto copy = std::make_unique<app::CTavikDoc>([](ctl::CtlContainer* c) {
            return std::make_unique<ctl::OvixQd40Ctl>(ctl::Qd40Factory{}, c);
        });
        return copy->read(doc.write(), doc.path().string()) ? std::move(copy) : nullptr;
    };
    OpcDocsList list(machine, session, load, [](int slot) { return slot == 0; });
    CListOpcDocsDialog dialog(list, {}, parent);
    return save(dialog, "opc-documents.png") && ok;
}

}  // namespace qd40::ui
