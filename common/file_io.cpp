#include "common/file_io.h"

#include <cerrno>
#include <memory>

namespace qd40 {

namespace {

template <class Bytes>
Status readInto(const std::string& path, Bytes& out) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return fileFailure("open", path, errno);
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> owned(f, &std::fclose);
    out.clear();
    char chunk[65536];
    size_t n = 0;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0)
        out.insert(out.end(), chunk, chunk + n);
    if (std::ferror(f))
        return fileFailure("read", path, errno);
    return Status::ok();
}

}  // namespace

Status readFile(const std::string& path, std::vector<uint8_t>& bytes) {
    return readInto(path, bytes);
}

Status readFile(const std::string& path, std::string& text) {
    return readInto(path, text);
}

}  // namespace qd40
