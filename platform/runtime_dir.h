// The per-user runtime folder: where the daemon's socket and the named
// mutexes' lock files live. It is $OVIX_RUNTIME_DIR, else
// $XDG_RUNTIME_DIR/ovix, else /tmp/ovix-<uid>, and is kept owner-only.
#pragma once
#include <filesystem>
#include <optional>
#include <string>

namespace qd40::platform {

// The folder named by the environment; nothing is created.
std::filesystem::path runtimeDirPath();

// Creates the folder when missing (mode 0700) and returns it. A folder that
// exists but is not a directory owned by this user is refused, since another
// user could then place sockets or lock files in it; an existing folder of
// ours with wider permissions is narrowed to 0700.
std::optional<std::filesystem::path> ensureRuntimeDir(std::string* error = nullptr);

}  // namespace qd40::platform
