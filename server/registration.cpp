#include "server/registration.h"

#include <algorithm>
#include <cctype>

#include "server/qd40_ids.h"

namespace qd40::server {

using platform::Hive;

namespace {

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

std::string clsidKey() {
    return "CLSID\\" + kClsidQd40.toString();
}

// A key that is already gone counts as removed.
bool removeKey(platform::RegistryStore& store, const std::string& key) {
    return !store.keyExists(Hive::ClassesRoot, key) || store.deleteKey(Hive::ClassesRoot, key);
}

}  // namespace

const char* const kDaemonUsage =
    "usage: ovixqd40svr [-Lock] [-Listen ADDR[:PORT]]   serve Qd40 objects (started on demand)\n"
    "       ovixqd40svr -RegServer | -UnregServer       register or remove the Qd40 class\n"
    "       ovixqd40svr -Port N=PATH                    COM N (1 to 8) stands for device PATH\n"
    "  -Lock            never end by itself (otherwise it ends 5 s after its last client)\n"
    "  -Listen ADDR[:PORT]  also serve remote clients over TLS (default port 47040), and\n"
    "                   stay until stopped\n";

CommandLine parseCommandLine(const std::vector<std::string>& args) {
    CommandLine cl;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h" || arg == "/?" || arg == "-?") {
            cl.action = CommandLine::Action::Help;
            return cl;
        }
        if (arg.size() < 2 || (arg[0] != '-' && arg[0] != '/'))
            continue;
        const std::string token = lower(arg.substr(1));
        if (token == "regserver") {
            cl.action = CommandLine::Action::Register;
            return cl;
        }
        if (token == "unregserver") {
            cl.action = CommandLine::Action::Unregister;
            return cl;
        }
        if (token == "lock") {
            cl.lock = true;
        } else if (token == "embedding") {
            cl.embedding = true;
        } else if (token == "listen") {
            if (i + 1 >= args.size()) {
                cl.action = CommandLine::Action::Invalid;
                cl.error = "-Listen needs ADDR[:PORT]";
                return cl;
            }
            cl.listen = args[++i];
        } else if (token == "port") {
            const std::string operand = i + 1 < args.size() ? args[++i] : std::string();
            const size_t eq = operand.find('=');
            int n = 0;
            if (eq == 1 && operand[0] >= '1' && operand[0] <= '8')
                n = operand[0] - '0';
            if (n == 0 || eq + 1 >= operand.size()) {
                cl.action = CommandLine::Action::Invalid;
                cl.error = "-Port needs N=PATH with N from 1 to 8";
                return cl;
            }
            cl.action = CommandLine::Action::SetPortDevice;
            cl.port = n;
            cl.device = operand.substr(eq + 1);
            return cl;
        }
    }
    return cl;
}

bool registerServer(platform::RegistryStore& store, const std::string& serverPath) {
    const Hive cr = Hive::ClassesRoot;
    const std::string appId = kAppIdQd40Svr.toString();
    const std::string clsid = kClsidQd40.toString();
    const std::string libId = kLibIdQd40Svr.toString();
    // Re-registration starts from a clean class key.
    bool ok = removeKey(store, clsidKey());
    ok &= store.setString(cr, "AppID\\" + appId, "", kAppName);
    ok &= store.setString(cr, std::string("AppID\\") + kExeName, "AppID", appId);
    ok &= store.setString(cr, kProgId, "", kClassDescription);
    ok &= store.setString(cr, std::string(kProgId) + "\\CLSID", "", clsid);
    ok &= store.setString(cr, kVersionIndependentProgId, "", kClassDescription);
    ok &= store.setString(cr, std::string(kVersionIndependentProgId) + "\\CLSID", "", clsid);
    ok &= store.setString(cr, std::string(kVersionIndependentProgId) + "\\CurVer", "", kProgId);
    ok &= store.setString(cr, clsidKey(), "", kClassDescription);
    ok &= store.setString(cr, clsidKey(), "AppID", appId);
    ok &= store.setString(cr, clsidKey() + "\\ProgID", "", kProgId);
    ok &= store.setString(cr, clsidKey() + "\\VersionIndependentProgID", "",
                          kVersionIndependentProgId);
    ok &= store.createKey(cr, clsidKey() + "\\Programmable");
    ok &= store.setString(cr, clsidKey() + "\\LocalServer32", "", serverPath);
    ok &= store.setString(cr, clsidKey() + "\\TypeLib", "", libId);
    // The type library: its version key with the help string and the file
    // that carries it, and the two interfaces it describes.
    const std::string lib = "TypeLib\\" + libId + "\\1.0";
    ok &= store.setString(cr, lib, "", kTypeLibHelp);
    ok &= store.setString(cr, lib + "\\0\\linux", "", serverPath);
    for (const auto& [iid, name] : {std::pair{kIidIUser, "IUser"}, std::pair{kIidIOvix, "IOvix"}}) {
        const std::string key = "Interface\\" + iid.toString();
        ok &= store.setString(cr, key, "", name);
        ok &= store.setString(cr, key + "\\TypeLib", "", libId);
        ok &= store.setString(cr, key + "\\TypeLib", "Version", "1.0");
    }
    return ok;
}

bool unregisterServer(platform::RegistryStore& store) {
    bool ok = true;
    ok &= removeKey(store, clsidKey());
    ok &= removeKey(store, kProgId);
    ok &= removeKey(store, kVersionIndependentProgId);
    ok &= removeKey(store, "AppID\\" + kAppIdQd40Svr.toString());
    ok &= removeKey(store, std::string("AppID\\") + kExeName);
    ok &= removeKey(store, "TypeLib\\" + kLibIdQd40Svr.toString());
    for (const Guid& iid : {kIidIUser, kIidIOvix})
        ok &= removeKey(store, "Interface\\" + iid.toString());
    return ok;
}

std::optional<std::string> registeredServerPath(platform::RegistryStore& store) {
    auto path = store.getString(Hive::ClassesRoot, clsidKey() + "\\LocalServer32", "");
    if (path && path->empty())
        return std::nullopt;
    return path;
}

}  // namespace qd40::server
