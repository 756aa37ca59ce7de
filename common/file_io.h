// Whole files read and written: a file read at once into memory, and a file
// that matters written whole or not at all through OutputFile.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "common/error_info.h"
#include "common/output_file.h"

namespace qd40 {

// The whole content of `path`; a failure names the file and the system's reason.
Status readFile(const std::string& path, std::vector<uint8_t>& bytes);
Status readFile(const std::string& path, std::string& text);

// Writes `path` through `write(FILE*)` (which returns a Status) into a
// temporary file renamed over the target once complete: a failure never
// leaves half a file, and the file is on the disk before anything relies on it.
template <class Writer>
Status writeFileAtomic(const std::string& path, Writer&& write) {
    OutputFile file;
    Status st = file.open(path);
    if (st)
        st = write(file.stream());
    if (st)
        st = file.commit();
    return st;
}

}  // namespace qd40
