#include "app/core/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace qd40::app {

namespace {
Status failure(const std::string& what, const std::filesystem::path& path, int err) {
    return Status::failure(E_FAIL, what + " " + path.string() + ": " + std::strerror(err));
}

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
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

// Removes the temporary file unless the rename consumed it.
class TempFile {
public:
    explicit TempFile(std::string path) : path_(std::move(path)) {}
    ~TempFile() {
        if (!path_.empty())
            ::unlink(path_.c_str());
    }
    const std::string& path() const { return path_; }
    void keep() { path_.clear(); }

private:
    std::string path_;
};

bool writeAll(int fd, std::span<const uint8_t> bytes, int& err) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), std::min<size_t>(bytes.size(), 1 << 24));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            err = errno;
            return false;
        }
        bytes = bytes.subspan(static_cast<size_t>(n));
    }
    return true;
}
}  // namespace

Status readWholeFile(const std::filesystem::path& path, std::vector<uint8_t>& out) {
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0)
        return failure("cannot open", path, errno);
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        return failure("cannot read", path, errno);
    if (!S_ISREG(st.st_mode))
        return Status::failure(E_FAIL, "cannot read " + path.string() + ": not a regular file");
    out.resize(static_cast<size_t>(st.st_size));
    size_t done = 0;
    while (done < out.size()) {
        const ssize_t n = ::read(fd.get(), out.data() + done, out.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return failure("cannot read", path, errno);
        if (n == 0)
            break;
        done += static_cast<size_t>(n);
    }
    out.resize(done);
    return Status::ok();
}

Status replaceFileAtomically(const std::filesystem::path& requested,
                             std::span<const uint8_t> bytes) {
    std::error_code ec;
    std::filesystem::path path = requested;
    if (std::filesystem::is_symlink(requested, ec)) {
        path = std::filesystem::weakly_canonical(requested, ec);
        if (ec)
            return failure("cannot follow the link", requested, ec.value());
    }
    struct stat old {};
    const bool exists = ::stat(path.c_str(), &old) == 0;
    if (exists && !S_ISREG(old.st_mode))
        return Status::failure(E_FAIL, "cannot write " + path.string() + ": not a regular file");
    std::filesystem::path folder = path.parent_path();
    if (folder.empty())
        folder = ".";

    std::string pattern = (folder / ("." + path.filename().string() + ".XXXXXX")).string();
    Fd fd(::mkstemp(pattern.data()));
    if (fd.get() < 0)
        return failure("cannot create a file in", folder, errno);
    TempFile temp(pattern);
    // mkstemp creates the file 0600: give it the old file's mode, or what the
    // umask leaves of 0666 for a new one.
    mode_t mode = old.st_mode & 07777;
    if (!exists) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    int err = 0;
    if (::fchmod(fd.get(), mode) != 0)
        return failure("cannot set the permissions of", path, errno);
    if (!writeAll(fd.get(), bytes, err) || ::fsync(fd.get()) != 0)
        return failure("cannot write", path, err ? err : errno);
    if (::close(fd.release()) != 0)
        return failure("cannot write", path, errno);
    if (::rename(temp.path().c_str(), path.c_str()) != 0)
        return failure("cannot replace", path, errno);
    temp.keep();
    Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0)
        ::fsync(dir.get());
    return Status::ok();
}

}  // namespace qd40::app
