#include "app/core/file_io.h"

#include "common/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace qd40::app {

namespace {
// Closes the descriptor it owns.
class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

}  // namespace

Status readWholeFile(const std::filesystem::path& path, std::vector<uint8_t>& out) {
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0)
        return fileFailure("open", path, errno);
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        return fileFailure("read", path, errno);
    if (!S_ISREG(st.st_mode))
        return Status::failure(E_FAIL, "cannot read " + path.string() + ": not a regular file");
    out.resize(static_cast<size_t>(st.st_size));
    size_t done = 0;
    while (done < out.size()) {
        const ssize_t n = ::read(fd.get(), out.data() + done, out.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return fileFailure("read", path, errno);
        if (n == 0)
            break;
        done += static_cast<size_t>(n);
    }
    out.resize(done);
    return Status::ok();
}

}  // namespace qd40::app
