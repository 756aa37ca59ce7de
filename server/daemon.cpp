#include "server/daemon.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <capnp/rpc-twoparty.h>
#include <kj/async-io.h>
#include <kj/async-unix.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <list>
#include <optional>

#include "platform/activation/activation.h"
#include "platform/named_mutex.h"
#include "platform/registry.h"
#include "platform/runtime_dir.h"
#include "platform/strings.h"
#include "server/daemon_service.h"
#include "server/port_settings.h"
#include "server/qd40.h"
#include "server/registration.h"
#include "server/remote_tls.h"
#include "server/rpc/rpc_server.h"
#include "server/socket_activation.h"
#include "server/transport/modbus_transport.h"

namespace qd40::server {

namespace {

void say(const std::string& text) {
    std::fprintf(stderr, "ovixqd40svr: %s\n", text.c_str());
    std::fflush(stderr);
}

std::string selfPath(const char* argv0) {
    std::error_code ec;
    auto p = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec)
        return p.string();
    return std::filesystem::absolute(argv0).string();
}

}  // namespace

int runDaemon(const DaemonOptions& options) {
    std::string error;
    const auto dir = platform::ensureRuntimeDir(&error);
    if (!dir) {
        say(error);
        return 1;
    }
    // One daemon per runtime folder: the holder of this mutex owns the socket.
    auto instance = platform::NamedMutex::create(*dir, "ovixqd40svr");
    if (instance.outcome == platform::NamedMutex::Outcome::AlreadyExists) {
        say("another daemon already serves " + activation::socketPath().string());
        return 2;
    }
    if (instance.outcome != platform::NamedMutex::Outcome::Created) {
        say(instance.error);
        return 1;
    }

    // The pid file names the daemon to whoever must stop it.
    const auto pidFile = *dir / "ovixqd40svr.pid";
    {
        std::ofstream out(pidFile, std::ios::trunc);
        out << ::getpid() << "\n";
    }
    struct PidFileRemover {
        std::filesystem::path path;
        ~PidFileRemover() {
            std::error_code ec;
            std::filesystem::remove(path, ec);
        }
    } pidFileRemover{pidFile};

    PortSettingsTable ports;
    platform::RegistryStore store;
    if (!ports.load(store))
        say(strings::serverStrings().text(106).value_or("Unable to access registry"));

    ::signal(SIGPIPE, SIG_IGN);
    kj::UnixEventPort::captureSignal(SIGTERM);
    kj::UnixEventPort::captureSignal(SIGINT);
    auto io = kj::setupAsyncIo();

    ServerLife life;
    transport::LineRegistry lines;
    Qd40Context context{
        ports, life, [&] {
            return std::make_unique<transport::ModbusTransport>(lines, [&](int32_t port) {
                std::lock_guard guard(ports.guard());
                return PortSettingsTable::validPort(port) ? ports.port(port).device : std::string();
            });
        }};
    // Declared before the daemon: the threads outlive its connections, finish
    // the calls and releases under way, and are joined before the lines close.
    rpc::CallThreads calls;
    Daemon daemon(io.provider->getTimer(), context, life, calls);
    // The "Lock" switch: a hold for the whole life of the process.
    std::optional<ServerLife::Hold> lockSwitch;
    // A daemon that serves remote clients is a service: it stays until told to stop.
    if (options.lock || options.listen)
        lockSwitch.emplace(life);

    const auto socket = *dir / activation::kSocketName;
    // The socket the service manager holds, when it started this daemon.
    const int handed = handedListenSocket();
    try {
        // The TCP port first: clients take the Unix socket as the sign that
        // the daemon is ready, so every endpoint must be open by then.
        if (options.listen) {
            std::string host;
            uint16_t port = 0;
            if (!activation::parseHostPort(*options.listen, host, port)) {
                say("invalid -Listen address " + *options.listen);
                return 1;
            }
            // Remote clients only over TLS, with an allowed client certificate.
            std::string why;
            auto tls = remote::listenRemote(io, host, port, &why);
            if (!tls) {
                say("cannot serve remote clients: " + why);
                return 1;
            }
            daemon.listen(kj::mv(tls));
            say("listening on " + host + ":" + std::to_string(port) + " (TLS)");
        }
        if (handed >= 0) {
            daemon.listen(io.lowLevelProvider->wrapListenSocketFd(
                handed, kj::LowLevelAsyncIoProvider::TAKE_OWNERSHIP));
        } else {
            // A socket left by a dead daemon is replaced.
            std::error_code ignored;
            std::filesystem::remove(socket, ignored);
            auto addr = io.provider->getNetwork()
                            .parseAddress("unix:" + socket.string())
                            .wait(io.waitScope);
            auto receiver = addr->listen();
            ::chmod(socket.c_str(), 0600);
            daemon.listen(kj::mv(receiver));
        }
    } catch (const kj::Exception& e) {
        say(std::string("cannot listen: ") + e.getDescription().cStr());
        return 1;
    }
    // Until idle for the delay, or told to stop.
    auto& signals = io.unixEventPort;
    daemon.idle()
        .exclusiveJoin(signals.onSignal(SIGTERM).ignoreResult())
        .exclusiveJoin(signals.onSignal(SIGINT).ignoreResult())
        .wait(io.waitScope);
    std::error_code ec;
    if (handed < 0)
        std::filesystem::remove(socket, ec);
    return 0;
}

int daemonMain(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    const CommandLine cl = parseCommandLine(args);
    platform::RegistryStore store;
    if (auto rc = remote::runCertCommand(args, store))
        return *rc;
    switch (cl.action) {
        case CommandLine::Action::Register:
            return registerServer(store, selfPath(argv[0])) ? 0 : 1;
        case CommandLine::Action::Unregister:
            return unregisterServer(store) ? 0 : 1;
        case CommandLine::Action::SetPortDevice:
            if (!storeDevice(store, cl.port, cl.device)) {
                say("cannot store the device of COM" + std::to_string(cl.port));
                return 1;
            }
            return 0;
        case CommandLine::Action::Help:
            std::fputs(kDaemonUsage, stdout);
            std::fputs(remote::kCertUsage, stdout);
            return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
        case CommandLine::Action::Invalid:
            say(cl.error);
            return 1;
        case CommandLine::Action::Serve:
            break;
    }
    return runDaemon(DaemonOptions{cl.lock, cl.listen});
}

}  // namespace qd40::server
