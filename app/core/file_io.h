// Whole-file reading and the atomic replacement of a file that matters.
#pragma once
#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "common/error_info.h"

namespace qd40::app {

// Reads the regular file at path; the status names the file and the reason.
Status readWholeFile(const std::filesystem::path& path, std::vector<uint8_t>& out);

// Writes bytes to a temporary file in the target's folder, flushes it to the
// disk, renames it over the target and flushes the folder. A symbolic link is
// followed (its target is replaced); anything but a regular file is refused;
// an existing file keeps its permissions, a new one gets the process's umask.
// On failure the old file is as it was and the temporary file is removed.
Status replaceFileAtomically(const std::filesystem::path& path, std::span<const uint8_t> bytes);

}  // namespace qd40::app
