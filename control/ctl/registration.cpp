#include "control/ctl/registration.h"

#include "common/guid.h"
#include "control/ctl/ovixqd40ctl.h"

namespace qd40::ctl {

using platform::Hive;

namespace {

constexpr const char* kCtlName = "OvixQd40Ctl";
constexpr const char* kCtlDescription = "OvixQd40Ctl Class";
constexpr const char* kTypeLibName = "OvixQd40 1.0 Type Library";
constexpr Guid kLibId{0x44098352, 0xEFF6, 0x4E67, {0xAC, 0xAB, 0xAD, 0xA4, 0x9F, 0xCD, 0xEE, 0xEF}};

struct PageClass {
    const char* name;
    Guid clsid;
};
// In the order the control offers them to a container.
constexpr PageClass kPages[] = {
    {"ChansPage", {0xF50720D6, 0x899E, 0x4155, {0xAE, 0xF4, 0xFB, 0x14, 0x0A, 0x7F, 0x06, 0x6C}}},
    {"AcqPage", {0x74261E81, 0x8BB8, 0x44CF, {0x84, 0xC2, 0xB8, 0x26, 0x3C, 0xE5, 0x67, 0xDC}}},
    {"MemPage", {0x5CA7B984, 0xCFA3, 0x4CF1, {0x99, 0x69, 0xC5, 0xAC, 0xDD, 0xF6, 0x2C, 0xB0}}},
    {"GlobPage", {0xAC239B56, 0x838A, 0x45F7, {0xBC, 0xE7, 0xC3, 0x16, 0xA5, 0x74, 0x45, 0x6D}}},
    {"MailPage", {0xE3CCDC1D, 0xD62C, 0x456C, {0xB6, 0xD1, 0x11, 0x52, 0x8A, 0x2B, 0xCC, 0xCA}}},
    {"AboutPage", {0x12F2E108, 0xD914, 0x4E7B, {0xA7, 0x64, 0x22, 0x08, 0x12, 0xD3, 0x8B, 0x2D}}},
};

std::string progId(const char* name) {
    return std::string("OvixQd40.") + name;
}

bool removeKey(platform::RegistryStore& store, const std::string& key) {
    return !store.keyExists(Hive::ClassesRoot, key) || store.deleteKey(Hive::ClassesRoot, key);
}

// The ProgIDs and the class key of one in-process, apartment-threaded class.
bool registerClass(platform::RegistryStore& store, const char* name, const std::string& description,
                   const Guid& clsid, const std::string& modulePath) {
    const Hive cr = Hive::ClassesRoot;
    const std::string versioned = progId(name) + ".1";
    const std::string independent = progId(name);
    const std::string key = "CLSID\\" + clsid.toString();
    bool ok = removeKey(store, key);
    ok &= store.setString(cr, versioned, "", description);
    ok &= store.setString(cr, versioned + "\\CLSID", "", clsid.toString());
    ok &= store.setString(cr, independent, "", description);
    ok &= store.setString(cr, independent + "\\CLSID", "", clsid.toString());
    ok &= store.setString(cr, independent + "\\CurVer", "", versioned);
    ok &= store.setString(cr, key, "", description);
    ok &= store.setString(cr, key + "\\ProgID", "", versioned);
    ok &= store.setString(cr, key + "\\VersionIndependentProgID", "", independent);
    ok &= store.setString(cr, key + "\\InprocServer32", "", modulePath);
    ok &= store.setString(cr, key + "\\InprocServer32", "ThreadingModel", "Apartment");
    return ok;
}

bool unregisterClass(platform::RegistryStore& store, const char* name, const Guid& clsid) {
    bool ok = removeKey(store, "CLSID\\" + clsid.toString());
    ok &= removeKey(store, progId(name) + ".1");
    ok &= removeKey(store, progId(name));
    return ok;
}

}  // namespace

bool registerControl(platform::RegistryStore& store, const std::string& modulePath) {
    const Hive cr = Hive::ClassesRoot;
    bool ok = registerClass(store, kCtlName, kCtlDescription, kOvixQd40CtlClsid, modulePath);
    const std::string key = "CLSID\\" + kOvixQd40CtlClsid.toString();
    const std::string libId = kLibId.toString();
    ok &= store.createKey(cr, progId(kCtlName) + ".1\\Insertable");
    for (const char* flag : {"Programmable", "Control", "Insertable"})
        ok &= store.createKey(cr, key + "\\" + flag);
    ok &= store.setString(cr, key + "\\ToolboxBitmap32", "", modulePath + ", 101");
    ok &= store.setString(cr, key + "\\MiscStatus", "", "0");
    ok &= store.setString(cr, key + "\\MiscStatus\\1", "", "131473");
    ok &= store.setString(cr, key + "\\TypeLib", "", libId);
    ok &= store.setString(cr, key + "\\Version", "", "1.0");

    const std::string lib = "TypeLib\\" + libId + "\\1.0";
    ok &= store.setString(cr, lib, "", kTypeLibName);
    ok &= store.setString(cr, lib + "\\0\\linux", "", modulePath);
    const std::string iface = "Interface\\" + kIOvixQd40CtlIid.toString();
    ok &= store.setString(cr, iface, "", "IOvixQd40Ctl");
    ok &= store.setString(cr, iface + "\\TypeLib", "", libId);
    ok &= store.setString(cr, iface + "\\TypeLib", "Version", "1.0");

    for (const PageClass& page : kPages)
        ok &= registerClass(store, page.name, std::string(page.name) + " Class", page.clsid,
                            modulePath);
    return ok;
}

bool unregisterControl(platform::RegistryStore& store) {
    bool ok = unregisterClass(store, kCtlName, kOvixQd40CtlClsid);
    ok &= removeKey(store, "TypeLib\\" + kLibId.toString());
    ok &= removeKey(store, "Interface\\" + kIOvixQd40CtlIid.toString());
    for (const PageClass& page : kPages)
        ok &= unregisterClass(store, page.name, page.clsid);
    return ok;
}

}  // namespace qd40::ctl
