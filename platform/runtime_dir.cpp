#include "platform/runtime_dir.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace qd40::platform {

std::filesystem::path runtimeDirPath() {
    if (const char* r = std::getenv("OVIX_RUNTIME_DIR"); r && *r)
        return r;
    if (const char* x = std::getenv("XDG_RUNTIME_DIR"); x && *x)
        return std::filesystem::path(x) / "ovix";
    return std::filesystem::path("/tmp") / ("ovix-" + std::to_string(::getuid()));
}

std::optional<std::filesystem::path> ensureRuntimeDir(std::string* error) {
    const std::filesystem::path dir = runtimeDirPath();
    auto fail = [&](const std::string& what) -> std::optional<std::filesystem::path> {
        if (error)
            *error = "Runtime folder " + dir.string() + ": " + what;
        return std::nullopt;
    };
    std::error_code ec;
    if (dir.has_parent_path())
        std::filesystem::create_directories(dir.parent_path(), ec);
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST)
        return fail(std::strerror(errno));
    struct stat st {};
    if (::lstat(dir.c_str(), &st) != 0)
        return fail(std::strerror(errno));
    if (!S_ISDIR(st.st_mode))
        return fail("not a directory");
    if (st.st_uid != ::getuid())
        return fail("owned by another user");
    if ((st.st_mode & 0777) != 0700 && ::chmod(dir.c_str(), 0700) != 0)
        return fail(std::strerror(errno));
    return dir;
}

}  // namespace qd40::platform
