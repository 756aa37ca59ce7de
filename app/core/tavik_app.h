// The application object without its windows: the settings stores, the
// users manager, the OPC toolkit, the command line, the working directory,
// the test-build warning, the OPC service start and the rules for leaving.
// The main window is reached through AppFrame.
#pragma once
#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/core/app_ports.h"
#include "app/core/command_line.h"
#include "app/core/opc/opc_toolkit.h"
#include "app/core/settings/recent_file_list.h"
#include "app/core/settings/settings_store.h"
#include "app/security/clock.h"
#include "app/security/user_rights.h"

namespace qd40::app {

// What start-up asks of the main window.
class AppFrame {
public:
    virtual ~AppFrame() = default;
    // Shows the main window maximised, or minimised for an OPC service start.
    virtual void showFrame(bool minimised) = 0;
    // Opens a document as File Open would; false when it could not be opened
    // (the window has said why).
    virtual bool openDocument(const std::filesystem::path& path) = 0;
    // Starts the OPC service of the document just opened with its slot.
    virtual void startOpcService(const std::filesystem::path& path, int slot) {
        (void)path, (void)slot;
    }
};

struct AppConfig {
    platform::RegistryStore registry;
    std::string productName = "Tavik";
    std::string productVersion;
    std::array<uint16_t, 4> fileVersion{};
    std::filesystem::path programPath;  // the running program
    // The user's documents folder, when the desktop has one.
    std::optional<std::filesystem::path> documentsFolder;
    std::filesystem::path auditFolder;
    security::HashCost hashCost = security::HashCost::interactive();
    // The user's date and time formats (the audit trail's lines).
    platform::Locale locale = platform::Locale::posix();
    // Waits (start delay, client disconnection); tests pass one that records.
    std::function<void(std::chrono::milliseconds)> sleep;
};

// The section and entries of the OPC service start.
inline constexpr const char* kOpcSection = "OPC Server";
inline constexpr int kOpcSlots = 5;

class CTavikApp : public Session {
public:
    CTavikApp(AppConfig config, AppPrompter& prompter, opc::OpcToolkit& opc,
              const security::Clock& clock);
    ~CTavikApp() override;

    // Start-up from the stores to the OPC service documents. Returns false
    // when the program ends here (registration switches): no window shown.
    bool start(const std::vector<std::string>& args, AppFrame& frame);
    const CommandLine& commandLine() const { return commandLine_; }

    // The test-build warning for a product version starting with "Z".
    static std::optional<std::string> testBuildWarning(const std::string& productVersion,
                                                       const std::array<uint16_t, 4>& fileVersion);
    // The documents folder, else the folder of the running program.
    static std::filesystem::path workingDirectory(
        const std::optional<std::filesystem::path>& documents,
        const std::filesystem::path& programPath);
    // Whether the program may be left now: right 11, then the question for
    // connected OPC clients, then the users manager's closing step.
    bool queryClose();
    // The end of the run: toolkit released, APP_EXIT recorded.
    void exit();

    settings::UserProfileStore& profile() { return profile_; }
    settings::CLocalMachineReg& machine() { return machine_; }
    security::CUserRights& userRights() { return *rights_; }
    settings::RecentFileList& recentFiles() { return recent_; }
    opc::OpcToolkit& opcToolkit() { return opc_; }
    AppPrompter& prompter() { return prompter_; }
    bool easyProgramming() const;
    void setEasyProgramming(bool easy);

    // ---- Session
    uint32_t rightsWord() const override;
    bool securityOffOrConnected() const override;
    bool isOverwritingAllowed() const override;
    void audit(security::AuditEvent event, const std::vector<std::string>& args) override;
    std::optional<std::string> printFooter() const override { return rights_->printFooter(); }

private:
    void startOpcService(AppFrame& frame);

    AppConfig config_;
    AppPrompter& prompter_;
    opc::OpcToolkit& opc_;
    settings::UserProfileStore profile_;
    settings::CLocalMachineReg machine_;
    settings::RecentFileList recent_;
    std::unique_ptr<security::CUserRights> rights_;
    CommandLine commandLine_;
};

}  // namespace qd40::app
