// SidecarOpcToolkit: the OPC toolkit calls carried to the OPC UA
// publication process (node-opcua, app/opc_sidecar/server.js).
//
// InitWTOPCsvr listens on a socket of the runtime folder and starts the
// process, which connects once its OPC UA server runs; nothing waits for it.
// The tags live here: the process is their mirror. Tags created, updated or
// removed before it is ready are given to it when it connects, and when it
// dies (or stops answering) it is started again and given every tag with its
// last value; each loss is reported once. UninitWTOPCsvr stops it.
//
// The toolkit runs on the thread of the Qt event loop that carries the
// process's messages (socket notifiers and timers); the write notification
// is called from that loop, never from inside another toolkit call.
//
// Settings of the machine-wide store, section "OPC Server":
//   "Port"            endpoint port, default 4840
//   "RemoteAccess"    0 (default): listen on the loopback address only;
//                     1: on every address
//   "AllowAnonymous"  anonymous sessions; default 1 with the loopback only,
//                     0 with remote access. User names and passwords are
//                     checked through the user check (setUserCheck).
#pragma once
#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/core/opc/opc_toolkit.h"
#include "app/core/opc/sidecar_protocol.h"

class QObject;
class QSocketNotifier;
class QTimer;

namespace qd40::app::opc {

// A started publication process.
class SidecarProcess {
public:
    virtual ~SidecarProcess() = default;
    // How it ended ("exit status 1", "signal 9"), or nullopt while it runs.
    virtual std::optional<std::string> ended() = 0;
    // Its process id, -1 when it has none of its own.
    virtual pid_t pid() const { return -1; }
};

// Starts a publication process that will connect to `socket`; null with
// error filled when it could not be started.
using SidecarLauncher = std::function<std::unique_ptr<SidecarProcess>(
    const std::filesystem::path& socket, std::string& error)>;

struct SidecarOptions {
    std::string node = "node";        // the Node.js program (searched in PATH)
    std::filesystem::path script;     // server.js
    std::filesystem::path pkiFolder;  // certificates; default <runtime>/opc-pki
    int port = 4840;
    bool remoteAccess = false;
    bool allowAnonymous = true;
    std::chrono::milliseconds callTimeout{3000};
    std::chrono::milliseconds startTimeout{60000};
    std::chrono::milliseconds restartDelay{500};
    // Output waiting for a process that does not read it; beyond, the
    // process is taken as stuck and restarted.
    size_t maxPendingOutput = 8u << 20;
};

// The options from the environment and the machine-wide store: the program
// from $OVIX_NODE, the script from $OVIX_OPC_SIDECAR, else the built-in
// folder.
SidecarOptions sidecarOptionsFromSettings(const platform::RegistryStore& registry);

// Runs `node script --socket ...` with the options' endpoint.
SidecarLauncher nodeLauncher(const SidecarOptions& options);

class SidecarOpcToolkit : public OpcToolkit {
public:
    // `launcher` empty: nodeLauncher(options).
    SidecarOpcToolkit(platform::RegistryStore registry, SidecarOptions options,
                      SidecarLauncher launcher = {});
    ~SidecarOpcToolkit() override;
    SidecarOpcToolkit(const SidecarOpcToolkit&) = delete;
    SidecarOpcToolkit& operator=(const SidecarOpcToolkit&) = delete;

    // Where losses of the process and failures to start it are reported
    // (once each); stderr when not set.
    void setProblemReporter(std::function<void(const std::string&)> report);
    // Checks a user name and password of an OPC UA session.
    void setUserCheck(std::function<bool(const std::string&, const std::string&)> check);

    // The endpoint URL the running process announced; empty while none is ready.
    const std::string& endpoint() const { return endpoint_; }
    bool ready() const { return link_ && ready_; }
    // How many times the process was started.
    int launches() const { return launches_; }
    // The running process's id, -1 when none runs.
    pid_t processId() const { return process_ ? process_->pid() : -1; }

    // ---- OpcToolkit
    bool InitWTOPCsvr(const Guid& clsid, unsigned rateMs) override;
    void SetVendorInfo(const std::string& vendor) override;
    void EnableWriteNotification(std::function<void(TagHandle)> handler) override;
    void EnableDisconnectNotification(std::function<void()> handler) override;
    bool UpdateRegistry(const Guid& clsid, const std::string& progId,
                        const std::string& description, const std::string& path) override;
    bool UnregisterServer(const Guid& clsid, const std::string& progId) override;
    TagHandle CreateTag(const std::string& name, const TagValue& initial, uint16_t quality,
                        bool writable) override;
    bool SetTagProperties(TagHandle tag, unsigned property, const std::string& description,
                          const TagValue& value) override;
    bool UpdateTag(TagHandle tag, const TagValue& value, uint16_t quality) override;
    bool UpdateTagWithTimeStamp(TagHandle tag, const TagValue& value, uint16_t quality,
                                int64_t fileTime) override;
    bool ReadTag(TagHandle tag, TagValue& value) override;
    bool RemoveTag(TagHandle tag) override;
    int NumbrClientConnections() override;
    void RequestDisconnect() override;
    void UninitWTOPCsvr() override;

private:
    struct Tag {
        std::string name;
        TagValue value;
        uint16_t quality = kQualityGood;
        bool writable = false;
        std::optional<int64_t> fileTime;
        std::map<unsigned, std::pair<std::string, TagValue>> properties;
    };

    void launch();
    void onAccept();
    void onReadable();
    void onWritable();
    void supervise();
    void dispatchMessages();
    void replay();
    // The process is gone or useless: reported once, started again.
    void lose(const std::string& why);
    // A call went unanswered or the link failed meanwhile.
    void loseUnanswered();
    void dropProcess();
    void report(const std::string& text);
    bool nameTaken(const std::string& name) const;
    bool sendUpdate(TagHandle tag);
    void watchOutput();

    platform::RegistryStore registry_;
    SidecarOptions options_;
    SidecarLauncher launcher_;
    std::function<void(const std::string&)> report_;
    std::function<bool(const std::string&, const std::string&)> userCheck_;
    std::function<void(TagHandle)> writeHandler_;

    std::unique_ptr<QObject> context_;
    std::filesystem::path socketPath_;
    int listenFd_ = -1;
    std::unique_ptr<QSocketNotifier> acceptNotifier_;
    std::unique_ptr<QSocketNotifier> readNotifier_;
    std::unique_ptr<QSocketNotifier> writeNotifier_;
    std::unique_ptr<QTimer> superviseTimer_;
    std::unique_ptr<SidecarProcess> process_;
    std::unique_ptr<SidecarLink> link_;
    bool ready_ = false;
    bool running_ = false;  // between Init and Uninit
    bool launchFailureReported_ = false;
    bool lossReported_ = false;
    std::chrono::steady_clock::time_point launchedAt_;
    std::chrono::steady_clock::time_point nextLaunch_;
    std::chrono::milliseconds retryDelay_{0};
    int launches_ = 0;
    std::string endpoint_;
    std::string vendor_;

    std::map<TagHandle, Tag> tags_;
    TagHandle nextHandle_ = 1;
};

}  // namespace qd40::app::opc
