#include "app/core/settings/settings_store.h"

namespace qd40::settings {

namespace {
// The base key below the hive. Windows keys are case-insensitive while the
// store's are not, so every component spells it the same way.
constexpr const char* kBaseKey = "Software";
}  // namespace

RegistrySettingsStore::RegistrySettingsStore(platform::Hive hive, platform::RegistryStore registry,
                                             std::string company, std::string application)
    : hive_(hive),
      registry_(std::move(registry)),
      company_(std::move(company)),
      application_(std::move(application)) {}

std::string RegistrySettingsStore::sectionKeyPath(const std::string& section) const {
    std::string path = std::string(kBaseKey) + "\\" + company_ + "\\" + application_;
    if (!section.empty())
        path += "\\" + section;
    return path;
}

std::optional<std::string> RegistrySettingsStore::openApplicationKey() const {
    // Two steps: the base key, then the company and application keys created
    // below it. On Windows the base key always exists; a fresh registry store
    // has none until something is written, so it comes with the other two.
    if (company_.empty() || application_.empty())
        return std::nullopt;
    const std::string path = sectionKeyPath({});
    if (!registry_.createKey(hive_, path))
        return std::nullopt;
    return path;
}

std::optional<std::string> RegistrySettingsStore::openSectionKey(const std::string& section) const {
    if (!openApplicationKey())
        return std::nullopt;
    const std::string path = sectionKeyPath(section);
    if (!registry_.createKey(hive_, path))
        return std::nullopt;
    return path;
}

int RegistrySettingsStore::readInt(const std::string& section, const std::string& entry,
                                   int def) const {
    const auto key = openSectionKey(section);
    if (!key)
        return def;
    const auto value = registry_.getDword(hive_, *key, entry);
    return value ? static_cast<int>(*value) : def;
}

std::string RegistrySettingsStore::readString(const std::string& section, const std::string& entry,
                                              const std::string& def) const {
    const auto key = openSectionKey(section);
    if (!key)
        return def;
    return registry_.getString(hive_, *key, entry).value_or(def);
}

bool RegistrySettingsStore::writeInt(const std::string& section, const std::string& entry,
                                     int value) {
    const auto key = openSectionKey(section);
    return key && registry_.setDword(hive_, *key, entry, static_cast<uint32_t>(value));
}

bool RegistrySettingsStore::writeString(const std::string& section,
                                        const std::optional<std::string>& entry,
                                        const std::optional<std::string>& value) {
    if (!entry) {
        // The whole section goes, with its values; without a section name
        // that would be the application key itself, which is refused.
        if (section.empty() || !openApplicationKey())
            return false;
        return registry_.deleteKey(hive_, sectionKeyPath(section));
    }
    const auto key = openSectionKey(section);
    if (!key)
        return false;
    if (!value)
        return registry_.deleteValue(hive_, *key, *entry);
    return registry_.setString(hive_, *key, *entry, *value);
}

}  // namespace qd40::settings
