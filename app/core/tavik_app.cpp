#include "app/core/tavik_app.h"

#include "app/core/app_strings.h"

namespace qd40::app {

using security::AuditEvent;

namespace {
constexpr std::chrono::milliseconds kDisconnectWait{2000};
}  // namespace

CTavikApp::CTavikApp(AppConfig config, AppPrompter& prompter, opc::OpcToolkit& opc,
                     const security::Clock& clock)
    : config_(std::move(config)),
      prompter_(prompter),
      opc_(opc),
      profile_(config_.registry),
      machine_(config_.registry) {
    if (!config_.sleep)
        config_.sleep = [](std::chrono::milliseconds) {};
    security::UserRightsConfig rc;
    rc.auditFolder = config_.auditFolder;
    rc.productName = config_.productName;
    rc.productVersion = config_.productVersion;
    rc.hashCost = config_.hashCost;
    rc.dateFormat = config_.locale;
    rights_ = std::make_unique<security::CUserRights>(machine_, clock, rc);
}

CTavikApp::~CTavikApp() {
    if (rights_)
        rights_->stopConnectionWatch();
}

bool CTavikApp::start(const std::vector<std::string>& args, AppFrame& frame) {
    recent_.load(profile_);
    rights_->load();
    opc_.InitWTOPCsvr(opc::kOpcServerClsid, opc::kServerRateMs);
    opc_.SetVendorInfo(opc::kVendor);

    commandLine_ = parseCommandLine(args);
    if (commandLine_.unregServer) {
        opc_.UnregisterServer(opc::kOpcServerClsid, opc::kOpcProgId);
        return false;
    }
    if (commandLine_.regServer) {
        opc_.UpdateRegistry(opc::kOpcServerClsid, opc::kOpcProgId, opc::kOpcDescription,
                            config_.programPath.string());
        return false;
    }
    const bool shellCommand = !commandLine_.documentPath.empty();
    if (shellCommand && !frame.openDocument(commandLine_.documentPath))
        return false;
    frame.showFrame(commandLine_.startOpcServer);

    std::error_code ec;
    std::filesystem::current_path(workingDirectory(config_.documentsFolder, config_.programPath),
                                  ec);

    audit(AuditEvent::APP_START, {});
    if (!commandLine_.startOpcServer && !shellCommand) {
        if (auto warning = testBuildWarning(config_.productVersion, config_.fileVersion))
            prompter_.message(*warning, Buttons::Ok, Icon::Exclamation);
    }
    if (commandLine_.startOpcServer)
        startOpcService(frame);
    return true;
}

void CTavikApp::startOpcService(AppFrame& frame) {
    // The delay is kept as a byte: a stored 300 waits 44 s.
    const int delay = machine_.readInt(kOpcSection, "StartDelay", 5) & 0xFF;
    config_.sleep(std::chrono::milliseconds(delay * 1000));
    for (int slot = 0; slot < kOpcSlots; ++slot) {
        const std::string section = std::string(kOpcSection) + "\\ProgDoc" + std::to_string(slot);
        const std::string path = machine_.readString(section, "Path", "");
        if (path.empty())
            continue;
        if (frame.openDocument(path))
            frame.startOpcService(path, slot);
    }
}

std::optional<std::string> CTavikApp::testBuildWarning(const std::string& productVersion,
                                                       const std::array<uint16_t, 4>& fv) {
    if (productVersion.empty() || productVersion[0] != 'Z')
        return std::nullopt;
    return "Attention!\nCette version " + productVersion + " (" +
           strings::format("%d,%d,%d,%d", fv[0], fv[1], fv[2], fv[3]) + ")" +
           " de l'application est une version de test non diffusée.";
}

std::filesystem::path CTavikApp::workingDirectory(
    const std::optional<std::filesystem::path>& documents,
    const std::filesystem::path& programPath) {
    std::error_code ec;
    if (documents && !documents->empty() && std::filesystem::is_directory(*documents, ec))
        return *documents;
    return programPath.parent_path();
}

bool CTavikApp::queryClose() {
    if (!hasRight(right::kLeave))
        return false;
    if (opc_.NumbrClientConnections() > 0) {
        if (prompter_.message(appText(text::kOpcClientsConnected), Buttons::YesNoCancel,
                              Icon::Exclamation, 1) != Answer::Yes)
            return false;
        opc_.RequestDisconnect();
        config_.sleep(kDisconnectWait);
    }
    rights_->stopConnectionWatch();
    return true;
}

void CTavikApp::exit() {
    opc_.UninitWTOPCsvr();
    audit(AuditEvent::APP_EXIT, {});
}

bool CTavikApp::easyProgramming() const {
    return profile_.readInt("Options", "EasyProg", 1) != 0;
}

void CTavikApp::setEasyProgramming(bool easy) {
    profile_.writeInt("Options", "EasyProg", easy ? 1 : 0);
}

uint32_t CTavikApp::rightsWord() const {
    return rights_->rightsWord();
}

bool CTavikApp::securityOffOrConnected() const {
    return !rights_->anyUserDeclared() || rights_->anyUserConnected();
}

bool CTavikApp::isOverwritingAllowed() const {
    return rights_->isOverwritingAllowed();
}

void CTavikApp::audit(AuditEvent event, const std::vector<std::string>& args) {
    rights_->WriteAuditEvent(event, args);
}

}  // namespace qd40::app
