// A file that matters, replaced whole or not at all. The new content goes to
// a temporary file beside the target; commit() flushes it to the disk,
// renames it over the target and syncs the folder, so that what the file
// names is on the disk before anything relies on it (records removed from a
// module, for one). A symbolic link is followed and its target replaced; a
// device, FIFO or other non-regular file is refused rather than turned into a
// regular file; the old file's permissions are kept and a new file gets what
// the process's umask leaves of 0666. Dropped without commit(), the temporary
// file is removed and the target stays as it was.
#pragma once
#include <cstdio>
#include <span>
#include <string>

#include "common/error_info.h"

namespace qd40 {

class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Prepares the replacement of `path`; stream() is then open for writing.
    Status open(const std::string& path);
    std::FILE* stream() const { return file_; }
    // Writes, syncs and renames into place; the first failure wins.
    Status commit();

    // The whole file from bytes.
    static Status write(const std::string& path, std::span<const uint8_t> bytes);

private:
    void discard();

    std::string path_;  // the file replaced (a link's target)
    std::string temp_;
    std::FILE* file_ = nullptr;
};

// "cannot WHAT PATH: the system's reason for errno".
Status fileFailure(const std::string& what, const std::string& path, int error);

}  // namespace qd40
