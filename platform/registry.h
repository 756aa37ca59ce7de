// The registry store: keys with typed values (DWORD and string) in three
// hives, each kept as an INI file under one root folder. The root is
// $OVIX_REGISTRY, else $XDG_CONFIG_HOME/ovix/registry, else
// ~/.config/ovix/registry. Nothing is cached: every call reads or writes the
// file, so several processes see each other's changes.
#pragma once
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace qd40::platform {

enum class Hive { LocalMachine, CurrentUser, ClassesRoot };

class RegistryStore {
public:
    // Uses the root folder from the environment.
    RegistryStore();
    explicit RegistryStore(std::filesystem::path root);

    static std::filesystem::path defaultRoot();
    const std::filesystem::path& root() const { return root_; }
    std::filesystem::path hiveFile(Hive hive) const;

    // Key paths use backslashes ("Software\\Ovix Servers\\OvixQd40Svr"); an
    // empty value name stands for the key's default value.
    std::optional<uint32_t> getDword(Hive hive, const std::string& key,
                                     const std::string& name) const;
    std::optional<std::string> getString(Hive hive, const std::string& key,
                                         const std::string& name) const;
    bool setDword(Hive hive, const std::string& key, const std::string& name, uint32_t value);
    bool setString(Hive hive, const std::string& key, const std::string& name,
                   const std::string& value);
    bool deleteValue(Hive hive, const std::string& key, const std::string& name);
    // Removes the key with its values and sub-keys; the hive itself (an empty
    // path) is refused.
    bool deleteKey(Hive hive, const std::string& key);
    bool keyExists(Hive hive, const std::string& key) const;
    // Creates the key when it does not exist (a key exists while it holds a marker value).
    bool createKey(Hive hive, const std::string& key);
    std::vector<std::string> subKeys(Hive hive, const std::string& key) const;
    std::vector<std::string> valueNames(Hive hive, const std::string& key) const;

private:
    std::filesystem::path root_;
};

}  // namespace qd40::platform
