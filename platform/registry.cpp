#include "platform/registry.h"

#include <QSettings>
#include <QString>
#include <cstdlib>
#include <system_error>

namespace qd40::platform {

namespace {

constexpr const char* kDefaultValueName = "(Default)";
constexpr const char* kKeyMarker = "(Key)";
constexpr const char* kDwordPrefix = "dword:";
constexpr const char* kStringPrefix = "sz:";

QString groupPath(const std::string& key) {
    QString path = QString::fromStdString(key);
    path.replace('\\', '/');
    while (path.endsWith('/'))
        path.chop(1);
    while (path.startsWith('/'))
        path.remove(0, 1);
    return path;
}

QString valuePath(const std::string& key, const std::string& name) {
    const QString group = groupPath(key);
    const QString value = name.empty() ? QString(kDefaultValueName) : QString::fromStdString(name);
    return group.isEmpty() ? value : group + '/' + value;
}

bool synced(QSettings& s) {
    s.sync();
    return s.status() == QSettings::NoError;
}

}  // namespace

RegistryStore::RegistryStore() : RegistryStore(defaultRoot()) {}

RegistryStore::RegistryStore(std::filesystem::path root) : root_(std::move(root)) {}

std::filesystem::path RegistryStore::defaultRoot() {
    if (const char* r = std::getenv("OVIX_REGISTRY"); r && *r)
        return r;
    if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x)
        return std::filesystem::path(x) / "ovix" / "registry";
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home && *home ? home : "/tmp") / ".config" / "ovix" / "registry";
}

std::filesystem::path RegistryStore::hiveFile(Hive hive) const {
    switch (hive) {
        case Hive::LocalMachine:
            return root_ / "HKEY_LOCAL_MACHINE.ini";
        case Hive::CurrentUser:
            return root_ / "HKEY_CURRENT_USER.ini";
        case Hive::ClassesRoot:
            return root_ / "HKEY_CLASSES_ROOT.ini";
    }
    return root_ / "unknown.ini";
}

namespace {
std::unique_ptr<QSettings> open(const RegistryStore& store, Hive hive, bool forWrite) {
    if (forWrite) {
        std::error_code ec;
        std::filesystem::create_directories(store.root(), ec);
    }
    return std::make_unique<QSettings>(QString::fromStdString(store.hiveFile(hive).string()),
                                       QSettings::IniFormat);
}

std::optional<QString> rawValue(const RegistryStore& store, Hive hive, const std::string& key,
                                const std::string& name) {
    auto s = open(store, hive, false);
    const QVariant v = s->value(valuePath(key, name));
    if (!v.isValid())
        return std::nullopt;
    return v.toString();
}
}  // namespace

std::optional<uint32_t> RegistryStore::getDword(Hive hive, const std::string& key,
                                                const std::string& name) const {
    auto raw = rawValue(*this, hive, key, name);
    if (!raw || !raw->startsWith(kDwordPrefix))
        return std::nullopt;
    bool ok = false;
    const qulonglong v = raw->mid(int(std::strlen(kDwordPrefix))).toULongLong(&ok);
    if (!ok || v > 0xFFFFFFFFull)
        return std::nullopt;
    return static_cast<uint32_t>(v);
}

std::optional<std::string> RegistryStore::getString(Hive hive, const std::string& key,
                                                    const std::string& name) const {
    auto raw = rawValue(*this, hive, key, name);
    if (!raw || !raw->startsWith(kStringPrefix))
        return std::nullopt;
    return raw->mid(int(std::strlen(kStringPrefix))).toStdString();
}

bool RegistryStore::setDword(Hive hive, const std::string& key, const std::string& name,
                             uint32_t value) {
    auto s = open(*this, hive, true);
    s->setValue(valuePath(key, name), QString(kDwordPrefix) + QString::number(value));
    return synced(*s);
}

bool RegistryStore::setString(Hive hive, const std::string& key, const std::string& name,
                              const std::string& value) {
    auto s = open(*this, hive, true);
    s->setValue(valuePath(key, name), QString(kStringPrefix) + QString::fromStdString(value));
    return synced(*s);
}

bool RegistryStore::deleteValue(Hive hive, const std::string& key, const std::string& name) {
    auto s = open(*this, hive, true);
    const QString path = valuePath(key, name);
    if (!s->contains(path))
        return false;
    s->remove(path);
    return synced(*s);
}

bool RegistryStore::deleteKey(Hive hive, const std::string& key) {
    // An empty path names the hive itself, which is never deleted: that
    // would wipe every key of the hive at once.
    if (groupPath(key).isEmpty())
        return false;
    if (!keyExists(hive, key))
        return false;
    auto s = open(*this, hive, true);
    s->remove(groupPath(key));
    return synced(*s);
}

bool RegistryStore::keyExists(Hive hive, const std::string& key) const {
    auto s = open(*this, hive, false);
    s->beginGroup(groupPath(key));
    return !s->allKeys().isEmpty();
}

bool RegistryStore::createKey(Hive hive, const std::string& key) {
    if (keyExists(hive, key))
        return true;
    auto s = open(*this, hive, true);
    s->setValue(valuePath(key, kKeyMarker), QString("1"));
    return synced(*s);
}

std::vector<std::string> RegistryStore::subKeys(Hive hive, const std::string& key) const {
    auto s = open(*this, hive, false);
    s->beginGroup(groupPath(key));
    std::vector<std::string> out;
    for (const QString& g : s->childGroups())
        out.push_back(g.toStdString());
    return out;
}

std::vector<std::string> RegistryStore::valueNames(Hive hive, const std::string& key) const {
    auto s = open(*this, hive, false);
    s->beginGroup(groupPath(key));
    std::vector<std::string> out;
    for (const QString& k : s->childKeys()) {
        if (k == kKeyMarker)
            continue;
        out.push_back(k == kDefaultValueName ? std::string() : k.toStdString());
    }
    return out;
}

}  // namespace qd40::platform
