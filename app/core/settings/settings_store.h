// The application's settings stores. Both address a value by section and
// entry below one application key of the registry store and return a default
// when the value is missing:
//  - UserProfileStore: per-user operator preferences,
//    HKEY_CURRENT_USER\Software\<company>\<application>\<section>;
//  - CLocalMachineReg: settings shared by every user of the machine (OPC
//    service declarations, users, groups, security),
//    HKEY_LOCAL_MACHINE\Software\<company>\<application>\<section>.
// Nothing is cached: every call opens the keys, reads or writes the value and
// lets go, so several processes see each other's changes at once.
#pragma once
#include <optional>
#include <string>

#include "platform/registry.h"

namespace qd40::settings {

inline constexpr const char* kCompanyKey = "Ovix Applications";
inline constexpr const char* kApplicationKey = "Tavik";

// The four operations both stores offer.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;

    // Opens (creating when missing) the section key and reads a 4-byte value;
    // the default when the key cannot be opened or the value is missing or is
    // not an integer.
    virtual int readInt(const std::string& section, const std::string& entry, int def) const = 0;
    // Same for a string value.
    virtual std::string readString(const std::string& section, const std::string& entry,
                                   const std::string& def) const = 0;
    virtual bool writeInt(const std::string& section, const std::string& entry, int value) = 0;
    // A value writes the string; no value deletes the entry; no entry deletes
    // the whole section key with its values.
    virtual bool writeString(const std::string& section, const std::optional<std::string>& entry,
                             const std::optional<std::string>& value) = 0;

    // Shorthands for the two deletions.
    bool deleteEntry(const std::string& section, const std::string& entry) {
        return writeString(section, entry, std::nullopt);
    }
    bool deleteSection(const std::string& section) {
        return writeString(section, std::nullopt, std::nullopt);
    }
};

// Common code of both stores: one hive, a base key and the application key
// below it.
class RegistrySettingsStore : public SettingsStore {
public:
    int readInt(const std::string& section, const std::string& entry, int def) const override;
    std::string readString(const std::string& section, const std::string& entry,
                           const std::string& def) const override;
    bool writeInt(const std::string& section, const std::string& entry, int value) override;
    bool writeString(const std::string& section, const std::optional<std::string>& entry,
                     const std::optional<std::string>& value) override;

    const std::string& company() const { return company_; }
    const std::string& application() const { return application_; }
    void setKeys(std::string company, std::string application) {
        company_ = std::move(company);
        application_ = std::move(application);
    }
    // The full key path of a section ("Software\\Ovix Applications\\Tavik\\Settings").
    std::string sectionKeyPath(const std::string& section) const;
    const platform::RegistryStore& registry() const { return registry_; }

protected:
    RegistrySettingsStore(platform::Hive hive, platform::RegistryStore registry,
                          std::string company, std::string application);

private:
    // Opens the base key for reading, then creates the company, application
    // and section keys; nullopt when a step fails.
    std::optional<std::string> openSectionKey(const std::string& section) const;
    std::optional<std::string> openApplicationKey() const;

    platform::Hive hive_;
    // Mutable: opening a section key creates it, even from a read.
    mutable platform::RegistryStore registry_;
    std::string company_;
    std::string application_;
};

// The per-user profile store (the framework's profile calls).
class UserProfileStore : public RegistrySettingsStore {
public:
    explicit UserProfileStore(platform::RegistryStore registry = {},
                              std::string company = kCompanyKey,
                              std::string application = kApplicationKey)
        : RegistrySettingsStore(platform::Hive::CurrentUser, std::move(registry),
                                std::move(company), std::move(application)) {}
};

// The machine-wide settings store. Its root is always HKEY_LOCAL_MACHINE.
class CLocalMachineReg : public RegistrySettingsStore {
public:
    explicit CLocalMachineReg(platform::RegistryStore registry = {},
                              std::string company = kCompanyKey,
                              std::string application = kApplicationKey)
        : RegistrySettingsStore(platform::Hive::LocalMachine, std::move(registry),
                                std::move(company), std::move(application)) {}
};

}  // namespace qd40::settings
