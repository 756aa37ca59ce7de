// tavik: the desktop application. This is the one place that wires it
// together: the registry store, the OPC toolkit, the folders of the desktop,
// the controls that reach modules through the communication daemon, the
// main window and the Qt form of the application's questions.
//
// A hidden option, "--screenshots FOLDER", saves pictures of the main window
// and of the dialogs once the command line has been handled, then ends.
#include <cstdio>
#include <thread>

#include <QApplication>
#include <QStandardPaths>

#include "app/core/opc/opc_service.h"
#include "app/core/opc/opc_users.h"
#include "app/core/opc/sidecar_toolkit.h"
#include "app/core/tavik_app.h"
#include "app/tavik/screenshots.h"
#include "app/ui/live_commands.h"
#include "app/ui/main_frame.h"
#include "app/ui/opc_commands.h"
#include "app/ui/qt_prompter.h"
#include "app/ui/records_commands.h"
#include "app/ui/security/security_commands.h"
#include "app/ui/setup/setup_frame_commands.h"
#include "control/ctl/daemon_factory.h"
#include "tavik_version.h"

namespace {

std::string fileVersionText() {
    const auto& v = qd40::version::tavik::kFileVersion;
    return std::to_string(v[0]) + "." + std::to_string(v[1]) + "." + std::to_string(v[2]) + "." +
           std::to_string(v[3]);
}

std::filesystem::path standardFolder(QStandardPaths::StandardLocation location) {
    return QStandardPaths::writableLocation(location).toStdString();
}

}  // namespace

int main(int argc, char** argv) {
    using namespace qd40;
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(version::tavik::kProductName);

    std::vector<std::string> args;
    std::optional<std::filesystem::path> screenshots;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--screenshots" && i + 1 < argc)
            screenshots = argv[++i];
        else
            args.push_back(arg);
    }

    app::AppConfig config;
    config.productName = version::tavik::kProductName;
    config.productVersion = version::tavik::kProductVersion;
    std::copy(std::begin(version::tavik::kFileVersion), std::end(version::tavik::kFileVersion),
              config.fileVersion.begin());
    config.programPath = QCoreApplication::applicationFilePath().toStdString();
    if (auto documents = standardFolder(QStandardPaths::DocumentsLocation); !documents.empty())
        config.documentsFolder = documents;
    config.auditFolder = standardFolder(QStandardPaths::AppDataLocation);
    config.locale = platform::Locale::fromEnvironment();
    const platform::RegistryStore registry = config.registry;

    ui::QtPrompter prompter(config.productName);
    // The OPC UA publication; its certificates live in the application's data folder.
    app::opc::SidecarOptions opcOptions = app::opc::sidecarOptionsFromSettings(registry);
    opcOptions.pkiFolder = standardFolder(QStandardPaths::AppDataLocation) / "opc-pki";
    app::opc::SidecarOpcToolkit opc(registry, opcOptions);
    // Its losses are told without stopping the program: the box waits for
    // nobody, and the line stays in the log.
    opc.setProblemReporter([&config](const std::string& text) {
        std::fprintf(stderr, "tavik: %s\n", text.c_str());
        auto box = ui::makeMessageBox(nullptr, config.productName, text, security::Buttons::Ok,
                                      security::Icon::Exclamation);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setModal(false);
        box.release()->show();
    });
    security::SystemClock clock;
    app::CTavikApp tavik(config, prompter, opc, clock);
    // OPC UA sessions with a user name are the application's users'.
    opc.setUserCheck(app::opc::opcUserCheck(tavik.userRights(), clock));

    ui::FrameConfig frameConfig;
    frameConfig.productName = config.productName;
    frameConfig.productVersion = config.productVersion;
    frameConfig.fileVersion = fileVersionText();
    frameConfig.controlFactory = [registry](ctl::CtlContainer* container) {
        return std::make_unique<ctl::OvixQd40Ctl>(ctl::daemonFactory(), container, registry);
    };
    frameConfig.locale = platform::Locale::fromEnvironment();
    frameConfig.serverFactory = ctl::daemonFactory();
    // The documents' OPC services end before their documents: made after the
    // main window, released before it.
    std::unique_ptr<app::opc::OpcServices> opcServices;
    frameConfig.documentClosing = [&opcServices](app::CTavikDoc& doc) {
        if (opcServices)
            opcServices->remove(doc);
    };
    frameConfig.inOpcService = [&opcServices](const app::CTavikDoc& doc) {
        return opcServices && opcServices->inService(doc);
    };
    frameConfig.mayCloseServedWindow = [&](const app::CTavikDoc& doc) {
        return !opcServices || app::opc::mayCloseServedWindow(*opcServices, doc, prompter, tavik,
                                                              [](std::chrono::milliseconds ms) {
                                                                  std::this_thread::sleep_for(ms);
                                                              });
    };
    const app::CTavikDoc::ControlFactory controlFactory = frameConfig.controlFactory;
    ui::MainFrame frame(tavik, prompter, std::move(frameConfig));
    // The users manager locks the main window while switching is not allowed.
    tavik.userRights().setApplicationLock(&frame);
    // The records commands; recovery copies of documents never saved go to the data folder.
    ui::RecordsFrameCommands recordsCommands(frame, tavik, prompter,
                                             platform::Locale::fromEnvironment(),
                                             standardFolder(QStandardPaths::AppDataLocation));
    recordsCommands.addMenus();
    // The records tool bar, while an explorer is active.
    for (const auto command :
         {app::views::ExplorerCommand::Properties, app::views::ExplorerCommand::Erase,
          app::views::ExplorerCommand::Copy, app::views::ExplorerCommand::Paste,
          app::views::ExplorerCommand::Cut, app::views::ExplorerCommand::ExportSelected,
          app::views::ExplorerCommand::Print})
        frame.addRecordsTool(recordsCommands.action(command));
    ui::LiveFrameCommands liveCommands(frame, tavik, prompter, clock,
                                       platform::Locale::fromEnvironment());
    liveCommands.addMenus();
    // The module SETUP commands and the e-mail counter of a module.
    ui::SetupFrameCommands setupCommands(frame, tavik, prompter, ctl::daemonFactory());
    setupCommands.addMenus();
    opcServices = std::make_unique<app::opc::OpcServices>(opc, prompter, tavik);
    ui::OpcFrameCommands opcCommands(frame, tavik, *opcServices, controlFactory);
    opcCommands.addMenu();
    ui::OpcAppFrame appFrame(frame, opcCommands);
    // The users manager's questions and dialogs, its menu and the connection
    // watch, whose forced disconnection runs on this thread.
    ui::QtSecurityPrompter securityPrompter(config.productName);
    ui::SecurityFrameCommands securityCommands(frame, tavik, securityPrompter, clock);
    securityCommands.addMenu();

    int code = 0;
    if (tavik.start(args, appFrame)) {
        // The declared users are known now: the commands follow their rights.
        frame.updateCommands();
        securityCommands.updateCommands();
        if (screenshots)
            code = tavik::takeScreenshots(frame, config.productName, *screenshots) ? 0 : 1;
        else
            code = qapp.exec();
    }
    opcServices.reset();
    tavik.userRights().setApplicationLock(nullptr);  // the window goes first
    return code;
}
