// Whole-file reading (files are written through common/output_file.h).
#pragma once
#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "common/error_info.h"

namespace qd40::app {

// Reads the regular file at path; the status names the file and the reason.
Status readWholeFile(const std::filesystem::path& path, std::vector<uint8_t>& out);

}  // namespace qd40::app
