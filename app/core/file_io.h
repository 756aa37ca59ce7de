// Reading a whole file without copying it: a read-only mapping (files are
// written through common/output_file.h).
#pragma once
#include <cstdint>
#include <filesystem>
#include <span>

#include "common/error_info.h"

namespace qd40::app {

// A regular file mapped read-only for as long as the object lives.
class MappedFile {
public:
    MappedFile() = default;
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    // The status names the file and the system's reason.
    Status open(const std::filesystem::path& path);
    std::span<const uint8_t> bytes() const { return {data_, size_}; }

private:
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
};

}  // namespace qd40::app
