#include "app/core/opc/opc_registration.h"

namespace qd40::app::opc {

using platform::Hive;

namespace {
std::string classKey(const Guid& clsid) {
    return "CLSID\\" + clsid.toString();
}

bool removeKey(platform::RegistryStore& store, const std::string& key) {
    return !store.keyExists(Hive::ClassesRoot, key) || store.deleteKey(Hive::ClassesRoot, key);
}
}  // namespace

bool writeServerRegistration(platform::RegistryStore& store, const Guid& clsid,
                             const std::string& progId, const std::string& description,
                             const std::string& programPath) {
    const Hive cr = Hive::ClassesRoot;
    const std::string id = clsid.toString();
    const std::string key = classKey(clsid);
    bool ok = store.setString(cr, progId, "", description);
    ok &= store.setString(cr, progId + "\\CLSID", "", id);
    ok &= store.setString(cr, progId + "\\OPC", "", "");
    ok &= store.setString(cr, key, "", description);
    ok &= store.setString(cr, key + "\\ProgID", "", progId);
    ok &= store.setString(cr, key + "\\LocalServer32", "", programPath);
    return ok;
}

bool removeServerRegistration(platform::RegistryStore& store, const Guid& clsid,
                              const std::string& progId) {
    const bool progIdRemoved = removeKey(store, progId);
    return removeKey(store, classKey(clsid)) && progIdRemoved;
}

}  // namespace qd40::app::opc
