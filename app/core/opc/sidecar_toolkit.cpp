#include "app/core/opc/sidecar_toolkit.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include "app/core/opc/opc_registration.h"
#include "app/core/settings/settings_store.h"
#include "platform/runtime_dir.h"

extern char** environ;

namespace qd40::app::opc {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr milliseconds kSupervisePeriod{200};
constexpr milliseconds kMaxRetryDelay{30000};
constexpr milliseconds kQuitWait{1500};
constexpr milliseconds kTerminateWait{3000};
// How long a process whose link closed is given to be seen ended.
constexpr milliseconds kEndedWait{250};

std::string describeStatus(int status) {
    if (WIFEXITED(status))
        return "exit status " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status))
        return std::string("signal ") + std::to_string(WTERMSIG(status)) + " (" +
               ::strsignal(WTERMSIG(status)) + ")";
    return "status " + std::to_string(status);
}

// A process started by posix_spawn, stopped by its pid when dropped.
class SpawnedProcess : public SidecarProcess {
public:
    explicit SpawnedProcess(pid_t pid) : pid_(pid) {}
    ~SpawnedProcess() override {
        if (ended())
            return;
        ::kill(pid_, SIGTERM);
        if (waitUntil(Clock::now() + kTerminateWait))
            return;
        ::kill(pid_, SIGKILL);
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
    }
    std::optional<std::string> ended() override {
        if (end_)
            return end_;
        int status = 0;
        const pid_t r = ::waitpid(pid_, &status, WNOHANG);
        if (r == pid_)
            end_ = describeStatus(status);
        else if (r < 0 && errno == ECHILD)
            end_ = "ended";
        return end_;
    }
    pid_t pid() const override { return pid_; }

private:
    bool waitUntil(Clock::time_point deadline) {
        while (!ended()) {
            if (Clock::now() >= deadline)
                return false;
            std::this_thread::sleep_for(milliseconds(10));
        }
        return true;
    }

    pid_t pid_;
    std::optional<std::string> end_;
};

std::string envOr(const char* name, const std::string& fallback) {
    const char* v = std::getenv(name);
    return v && *v ? std::string(v) : fallback;
}

// The publication process's script: the one installed with the programs
// (<prefix>/share/qd40-suite/opc_sidecar), else the one of the source tree.
std::string defaultSidecarScript() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        const auto installed =
            exe.parent_path().parent_path() / "share/qd40-suite/opc_sidecar/server.js";
        if (std::filesystem::exists(installed, ec))
            return installed.string();
    }
    return std::string(QD40_OPC_SIDECAR_DIR) + "/server.js";
}

}  // namespace

SidecarOptions sidecarOptionsFromSettings(const platform::RegistryStore& registry) {
    SidecarOptions o;
    o.node = envOr("OVIX_NODE", "node");
    o.script = envOr("OVIX_OPC_SIDECAR", defaultSidecarScript());
    const settings::CLocalMachineReg machine(registry);
    o.port = machine.readInt("OPC Server", "Port", 4840);
    o.remoteAccess = machine.readInt("OPC Server", "RemoteAccess", 0) != 0;
    o.allowAnonymous = machine.readInt("OPC Server", "AllowAnonymous", o.remoteAccess ? 0 : 1) != 0;
    return o;
}

SidecarLauncher nodeLauncher(const SidecarOptions& options) {
    return [options](const std::filesystem::path& socket,
                     std::string& error) -> std::unique_ptr<SidecarProcess> {
        std::vector<std::string> args = {
            options.node,  options.script.string(),
            "--socket",    socket.string(),
            "--port",      std::to_string(options.port),
            "--host",      options.remoteAccess ? "0.0.0.0" : "127.0.0.1",
            "--anonymous", options.allowAnonymous ? "1" : "0",
            "--users",     "1"};
        if (!options.pkiFolder.empty()) {
            args.push_back("--pki");
            args.push_back(options.pkiFolder.string());
        }
        std::error_code ec;
        if (!std::filesystem::is_regular_file(options.script, ec)) {
            error = "the publication script " + options.script.string() + " is missing";
            return nullptr;
        }
        if (!std::filesystem::is_directory(options.script.parent_path() / "node_modules", ec)) {
            error = "node-opcua is not installed beside " + options.script.string() +
                    " (run tools/install-deps)";
            return nullptr;
        }
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        pid_t pid = -1;
        const int r =
            ::posix_spawnp(&pid, options.node.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (r != 0) {
            error = "cannot run " + options.node + ": " + std::strerror(r) +
                    " (install Node.js with tools/install-deps, or name it in OVIX_NODE)";
            return nullptr;
        }
        return std::make_unique<SpawnedProcess>(pid);
    };
}

SidecarOpcToolkit::SidecarOpcToolkit(platform::RegistryStore registry, SidecarOptions options,
                                     SidecarLauncher launcher)
    : registry_(std::move(registry)),
      options_(std::move(options)),
      launcher_(launcher ? std::move(launcher) : nodeLauncher(options_)),
      context_(std::make_unique<QObject>()) {}

SidecarOpcToolkit::~SidecarOpcToolkit() {
    UninitWTOPCsvr();
}

void SidecarOpcToolkit::setProblemReporter(std::function<void(const std::string&)> report) {
    report_ = std::move(report);
}

void SidecarOpcToolkit::setUserCheck(
    std::function<bool(const std::string&, const std::string&)> check) {
    userCheck_ = std::move(check);
}

void SidecarOpcToolkit::report(const std::string& text) {
    if (report_)
        report_(text);
    else
        std::fprintf(stderr, "tavik: %s\n", text.c_str());
}

// ---- process and link ------------------------------------------------------------

bool SidecarOpcToolkit::InitWTOPCsvr(const Guid&, unsigned) {
    if (running_)
        return true;
    std::string error;
    const auto folder = platform::ensureRuntimeDir(&error);
    if (!folder) {
        report("Cannot publish over OPC UA: " + error);
        return false;
    }
    socketPath_ = *folder / ("tavik-opc-" + std::to_string(::getpid()) + ".sock");
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (socketPath_.string().size() >= sizeof addr.sun_path) {
        report("Cannot publish over OPC UA: the runtime folder's path " + folder->string() +
               " is too long for a socket; set OVIX_RUNTIME_DIR to a shorter one");
        return false;
    }
    std::strcpy(addr.sun_path, socketPath_.c_str());
    ::unlink(socketPath_.c_str());
    listenFd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (listenFd_ < 0 || ::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listenFd_, 4) != 0) {
        report("Cannot publish over OPC UA: cannot listen on " + socketPath_.string() + ": " +
               std::strerror(errno));
        if (listenFd_ >= 0)
            ::close(listenFd_);
        listenFd_ = -1;
        return false;
    }
    ::chmod(socketPath_.c_str(), 0600);
    acceptNotifier_ = std::make_unique<QSocketNotifier>(listenFd_, QSocketNotifier::Read);
    QObject::connect(acceptNotifier_.get(), &QSocketNotifier::activated, context_.get(),
                     [this] { onAccept(); });
    superviseTimer_ = std::make_unique<QTimer>();
    QObject::connect(superviseTimer_.get(), &QTimer::timeout, context_.get(),
                     [this] { supervise(); });
    superviseTimer_->start(static_cast<int>(kSupervisePeriod.count()));
    running_ = true;
    retryDelay_ = options_.restartDelay;
    launch();
    return true;
}

void SidecarOpcToolkit::launch() {
    std::string error;
    process_ = launcher_(socketPath_, error);
    nextLaunch_ = Clock::now() + retryDelay_;
    retryDelay_ = std::min(retryDelay_ * 2, kMaxRetryDelay);
    if (!process_) {
        if (!launchFailureReported_)
            report("Cannot start the OPC UA publication: " + error);
        launchFailureReported_ = true;
        return;
    }
    ++launches_;
    launchedAt_ = Clock::now();
}

void SidecarOpcToolkit::onAccept() {
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0)
        return;
    if (link_ || !process_) {
        ::close(fd);  // only the process we started is served
        return;
    }
    link_ = std::make_unique<SidecarLink>(fd);
    readNotifier_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    QObject::connect(readNotifier_.get(), &QSocketNotifier::activated, context_.get(),
                     [this] { onReadable(); });
    writeNotifier_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
    writeNotifier_->setEnabled(false);
    QObject::connect(writeNotifier_.get(), &QSocketNotifier::activated, context_.get(),
                     [this] { onWritable(); });
}

void SidecarOpcToolkit::onReadable() {
    if (!link_)
        return;
    link_->receive();
    dispatchMessages();
    if (link_ && !link_->alive())
        lose(link_->error());
}

void SidecarOpcToolkit::onWritable() {
    if (!link_)
        return;
    link_->flush();
    if (!link_->alive()) {
        lose(link_->error());
        return;
    }
    writeNotifier_->setEnabled(link_->hasPendingOutput());
}

void SidecarOpcToolkit::watchOutput() {
    if (!link_)
        return;
    if (!link_->alive()) {
        lose(link_->error());
        return;
    }
    if (link_->pendingOutputBytes() > options_.maxPendingOutput) {
        lose("it does not read what it is sent");
        return;
    }
    writeNotifier_->setEnabled(link_->hasPendingOutput());
}

void SidecarOpcToolkit::supervise() {
    if (!running_)
        return;
    if (process_) {
        if (auto end = process_->ended()) {
            lose("it ended (" + *end + ")");
            return;
        }
        if (!ready_ && Clock::now() - launchedAt_ > options_.startTimeout) {
            lose("it was not ready within " + std::to_string(options_.startTimeout.count() / 1000) +
                 " s");
        }
        return;
    }
    if (Clock::now() >= nextLaunch_)
        launch();
}

void SidecarOpcToolkit::dispatchMessages() {
    if (!link_)
        return;
    for (SidecarMessage& m : link_->takeMessages()) {
        if (m.verb == "ready" && !m.args.empty()) {
            endpoint_ = decodeText(m.args[0]).value_or("");
            ready_ = true;
            launchFailureReported_ = false;
            lossReported_ = false;
            retryDelay_ = options_.restartDelay;
            replay();
        } else if (m.verb == "write" && m.args.size() == 2) {
            const TagHandle h =
                static_cast<TagHandle>(std::strtoul(m.args[0].c_str(), nullptr, 10));
            const auto value = decodeValue(m.args[1]);
            auto it = tags_.find(h);
            if (!value || it == tags_.end() || !it->second.writable)
                continue;
            it->second.value = *value;
            if (writeHandler_)
                writeHandler_(h);
        } else if (m.verb == "auth" && m.args.size() == 3) {
            const auto user = decodeText(m.args[1]);
            const auto password = decodeText(m.args[2]);
            const bool ok = user && password && userCheck_ && userCheck_(*user, *password);
            if (link_)
                link_->post("auth " + m.args[0] + (ok ? " 1" : " 0"));
        } else if (m.verb == "error" && !m.args.empty()) {
            std::fprintf(stderr, "tavik: OPC UA publication: %s\n",
                         decodeText(m.args[0]).value_or(m.args[0]).c_str());
        }
        if (!link_)
            return;
    }
    watchOutput();
}

void SidecarOpcToolkit::replay() {
    if (!vendor_.empty())
        link_->post("vendor " + encodeText(vendor_));
    for (const auto& [h, t] : tags_) {
        link_->post(createRequest(h, t.name, t.value, t.quality, t.writable));
        for (const auto& [id, p] : t.properties)
            link_->post(propertyRequest(h, id, p.first, p.second));
        if (t.fileTime)
            link_->post(updateRequest(h, t.value, t.quality, t.fileTime));
    }
    watchOutput();
}

void SidecarOpcToolkit::lose(const std::string& why) {
    if (!running_)
        return;
    // A closed link usually means the process died: say how, when it tells.
    std::string cause = why;
    if (process_ && !process_->ended()) {
        const auto deadline = Clock::now() + kEndedWait;
        while (!process_->ended() && Clock::now() < deadline)
            std::this_thread::sleep_for(milliseconds(5));
    }
    if (process_ && process_->ended())
        cause = "it ended (" + *process_->ended() + ")";
    if (!lossReported_)
        report("The OPC UA publication process stopped: " + cause +
               ". It is started again with its " + std::to_string(tags_.size()) + " tags.");
    lossReported_ = true;
    dropProcess();
}

void SidecarOpcToolkit::loseUnanswered() {
    lose(link_->alive()
             ? "it did not answer within " + std::to_string(options_.callTimeout.count()) + " ms"
             : link_->error());
}

void SidecarOpcToolkit::dropProcess() {
    // The notifiers may be the very senders being served: they go later.
    for (auto* n : {&readNotifier_, &writeNotifier_}) {
        if (*n) {
            (*n)->setEnabled(false);
            (*n).release()->deleteLater();
        }
    }
    link_.reset();
    ready_ = false;
    endpoint_.clear();
    process_.reset();
}

// ---- toolkit calls ---------------------------------------------------------------

void SidecarOpcToolkit::SetVendorInfo(const std::string& vendor) {
    vendor_ = vendor;
    if (ready())
        link_->post("vendor " + encodeText(vendor_));
}

void SidecarOpcToolkit::EnableWriteNotification(std::function<void(TagHandle)> handler) {
    writeHandler_ = std::move(handler);
}

void SidecarOpcToolkit::EnableDisconnectNotification(std::function<void()>) {
    // OPC UA sessions end on their own; nothing is asked of the application.
}

bool SidecarOpcToolkit::UpdateRegistry(const Guid& clsid, const std::string& progId,
                                       const std::string& description, const std::string& path) {
    return writeServerRegistration(registry_, clsid, progId, description, path);
}

bool SidecarOpcToolkit::UnregisterServer(const Guid& clsid, const std::string& progId) {
    return removeServerRegistration(registry_, clsid, progId);
}

bool SidecarOpcToolkit::nameTaken(const std::string& name) const {
    // A name cannot be another tag's, nor a folder of one, nor sit in one.
    for (const auto& [h, t] : tags_) {
        if (t.name == name)
            return true;
        const auto& shorter = t.name.size() < name.size() ? t.name : name;
        const auto& longer = t.name.size() < name.size() ? name : t.name;
        if (longer.size() > shorter.size() && longer.compare(0, shorter.size(), shorter) == 0 &&
            longer[shorter.size()] == '.')
            return true;
    }
    return false;
}

TagHandle SidecarOpcToolkit::CreateTag(const std::string& name, const TagValue& initial,
                                       uint16_t quality, bool writable) {
    if (name.empty() || name.front() == '.' || name.back() == '.' ||
        name.find("..") != std::string::npos || nameTaken(name))
        return kInvalidTag;
    const TagHandle h = nextHandle_++;
    if (nextHandle_ == kInvalidTag)
        nextHandle_ = 1;
    tags_[h] = Tag{name, initial, quality, writable, std::nullopt, {}};
    if (!ready())
        return h;  // given to the process when it is ready
    const auto answer =
        link_->call(createRequest(h, name, initial, quality, writable), options_.callTimeout);
    if (!answer) {
        loseUnanswered();
        return h;
    }
    QMetaObject::invokeMethod(
        context_.get(), [this] { dispatchMessages(); }, Qt::QueuedConnection);
    if (answer->verb != "ok") {
        tags_.erase(h);
        return kInvalidTag;
    }
    return h;
}

bool SidecarOpcToolkit::SetTagProperties(TagHandle tag, unsigned property,
                                         const std::string& description, const TagValue& value) {
    auto it = tags_.find(tag);
    if (it == tags_.end())
        return false;
    it->second.properties[property] = {description, value};
    if (ready()) {
        link_->post(propertyRequest(tag, property, description, value));
        watchOutput();
    }
    return true;
}

bool SidecarOpcToolkit::sendUpdate(TagHandle tag) {
    auto it = tags_.find(tag);
    if (it == tags_.end())
        return false;
    if (ready()) {
        const Tag& t = it->second;
        link_->post(updateRequest(tag, t.value, t.quality, t.fileTime));
        watchOutput();
    }
    return true;
}

bool SidecarOpcToolkit::UpdateTag(TagHandle tag, const TagValue& value, uint16_t quality) {
    auto it = tags_.find(tag);
    if (it == tags_.end())
        return false;
    it->second.value = value;
    it->second.quality = quality;
    it->second.fileTime.reset();
    return sendUpdate(tag);
}

bool SidecarOpcToolkit::UpdateTagWithTimeStamp(TagHandle tag, const TagValue& value,
                                               uint16_t quality, int64_t fileTime) {
    auto it = tags_.find(tag);
    if (it == tags_.end())
        return false;
    it->second.value = value;
    it->second.quality = quality;
    it->second.fileTime = fileTime;
    return sendUpdate(tag);
}

bool SidecarOpcToolkit::ReadTag(TagHandle tag, TagValue& value) {
    auto it = tags_.find(tag);
    if (it == tags_.end())
        return false;
    value = it->second.value;
    return true;
}

bool SidecarOpcToolkit::RemoveTag(TagHandle tag) {
    if (tags_.erase(tag) == 0)
        return false;
    if (ready()) {
        link_->post("remove " + std::to_string(tag));
        watchOutput();
    }
    return true;
}

int SidecarOpcToolkit::NumbrClientConnections() {
    if (!ready())
        return 0;
    const auto answer = link_->call("clients", options_.callTimeout);
    if (!answer) {
        loseUnanswered();
        return 0;
    }
    QMetaObject::invokeMethod(
        context_.get(), [this] { dispatchMessages(); }, Qt::QueuedConnection);
    if (answer->verb != "ok" || answer->args.empty())
        return 0;
    return std::atoi(answer->args[0].c_str());
}

void SidecarOpcToolkit::RequestDisconnect() {
    if (!ready())
        return;
    if (!link_->call("disconnect", options_.callTimeout))
        loseUnanswered();
}

void SidecarOpcToolkit::UninitWTOPCsvr() {
    if (!running_)
        return;
    running_ = false;
    if (ready())
        link_->call("quit", kQuitWait);
    superviseTimer_.reset();
    acceptNotifier_.reset();
    readNotifier_.reset();
    writeNotifier_.reset();
    link_.reset();
    ready_ = false;
    endpoint_.clear();
    process_.reset();
    if (listenFd_ >= 0)
        ::close(listenFd_);
    listenFd_ = -1;
    ::unlink(socketPath_.c_str());
}

}  // namespace qd40::app::opc
