#include "app/core/file_io.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "common/output_file.h"

namespace qd40::app {

MappedFile::~MappedFile() {
    if (data_)
        ::munmap(const_cast<uint8_t*>(data_), size_);
}

Status MappedFile::open(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return fileFailure("open", path.string(), errno);
    struct stat st {};
    Status result = Status::ok();
    if (::fstat(fd, &st) != 0) {
        result = fileFailure("read", path.string(), errno);
    } else if (!S_ISREG(st.st_mode)) {
        result = Status::failure(E_FAIL, "cannot read " + path.string() + ": not a regular file");
    } else if (st.st_size > 0) {
        void* p = ::mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
        if (p == MAP_FAILED) {
            result = fileFailure("read", path.string(), errno);
        } else {
            data_ = static_cast<const uint8_t*>(p);
            size_ = static_cast<size_t>(st.st_size);
        }
    }
    // The mapping stays valid once the descriptor is closed.
    ::close(fd);
    return result;
}

}  // namespace qd40::app
