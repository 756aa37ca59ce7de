// Fuzz target of the registry store's reading of its hive files: the input is
// a hive file as found on the disk (hand-edited, cut short, foreign). Every
// read gives a value or nothing, never a crash, and a value written over
// whatever was there reads back as written.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/registry.h"

using qd40::platform::Hive;
using qd40::platform::RegistryStore;

namespace {

void check(bool ok) {
    if (!ok)
        std::abort();
}

// A private folder for the hive files, removed when the run ends.
struct Folder {
    Folder()
        : path(std::filesystem::temp_directory_path() /
               ("qd40-registry-fuzz-" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(path);
    }
    ~Folder() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    std::filesystem::path path;
};

const std::filesystem::path& root() {
    static const Folder folder;
    return folder.path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    RegistryStore store(root());
    {
        std::ofstream out(store.hiveFile(Hive::LocalMachine), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), std::streamsize(size));
    }
    const char* keys[] = {"", "Software", "Software\\Ovix Servers\\OvixQd40Ctl\\Communication",
                          "a\\b", "General"};
    const char* names[] = {"", "HalfDuplexPause", "Device1", "x", "%40"};
    for (const char* key : keys) {
        (void)store.keyExists(Hive::LocalMachine, key);
        (void)store.subKeys(Hive::LocalMachine, key);
        for (const std::string& name : store.valueNames(Hive::LocalMachine, key)) {
            (void)store.getDword(Hive::LocalMachine, key, name);
            (void)store.getString(Hive::LocalMachine, key, name);
        }
        for (const char* name : names) {
            (void)store.getDword(Hive::LocalMachine, key, name);
            (void)store.getString(Hive::LocalMachine, key, name);
        }
    }
    const uint32_t value = size >= 4 ? uint32_t(data[0]) << 24 | uint32_t(data[1]) << 16 |
                                           uint32_t(data[2]) << 8 | data[3]
                                     : 7;
    const char* key = "Software\\Ovix Servers\\OvixQd40Ctl\\Communication";
    if (store.setDword(Hive::LocalMachine, key, "HalfDuplexPause", value))
        check(store.getDword(Hive::LocalMachine, key, "HalfDuplexPause") == value);
    return 0;
}
