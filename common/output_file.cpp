#include "common/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace qd40 {

Status fileFailure(const std::string& what, const std::string& path, int error) {
    return Status::failure(E_FAIL, "cannot " + what + " " + path + ": " + std::strerror(error));
}

OutputFile::~OutputFile() {
    discard();
}

void OutputFile::discard() {
    if (file_)
        std::fclose(file_);
    file_ = nullptr;
    if (!temp_.empty())
        ::unlink(temp_.c_str());
    temp_.clear();
}

Status OutputFile::open(const std::string& requested) {
    discard();
    std::error_code ec;
    std::filesystem::path path = requested;
    if (std::filesystem::is_symlink(path, ec)) {
        path = std::filesystem::weakly_canonical(path, ec);
        if (ec)
            return fileFailure("follow the link", requested, ec.value());
    }
    struct stat old {};
    const bool exists = ::stat(path.c_str(), &old) == 0;
    if (!exists && errno != ENOENT)
        return fileFailure("write", requested, errno);
    if (exists && !S_ISREG(old.st_mode))
        return Status::failure(E_FAIL, "cannot write " + requested +
                                           ": not a regular file (a device, FIFO or folder "
                                           "is never replaced)");
    std::filesystem::path folder = path.parent_path();
    if (folder.empty())
        folder = ".";
    std::string temp = (folder / ("." + path.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return fileFailure("create", requested, errno);
    temp_ = temp;
    // mkstemp gives 0600: the old file's mode, or what the umask leaves of 0666.
    mode_t mode = old.st_mode & 07777;
    if (!exists) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    if (::fchmod(fd, mode) != 0) {
        const int e = errno;
        ::close(fd);
        return fileFailure("set the permissions of", requested, e);
    }
    file_ = ::fdopen(fd, "wb");
    if (!file_) {
        const int e = errno;
        ::close(fd);
        return fileFailure("create", requested, e);
    }
    path_ = path.string();
    return Status::ok();
}

Status OutputFile::commit() {
    if (!file_)
        return Status::failure(E_FAIL, "no file open to write");
    const std::string shown = path_;
    if (std::fflush(file_) != 0 || ::fsync(::fileno(file_)) != 0) {
        const int e = errno;
        discard();
        return fileFailure("write", shown, e);
    }
    const int closed = std::fclose(file_);
    file_ = nullptr;
    if (closed != 0) {
        const int e = errno;
        discard();
        return fileFailure("write", shown, e);
    }
    if (::rename(temp_.c_str(), path_.c_str()) != 0) {
        const int e = errno;
        discard();
        return fileFailure("replace", shown, e);
    }
    temp_.clear();
    // The rename itself is on the disk only once the folder is.
    const std::string folder = std::filesystem::path(path_).parent_path().string();
    const int dir =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        return fileFailure("sync the folder of", shown, errno);
    const int synced = ::fsync(dir);
    const int e = errno;
    ::close(dir);
    return synced == 0 ? Status::ok() : fileFailure("sync the folder of", shown, e);
}

Status OutputFile::write(const std::string& path, std::span<const uint8_t> bytes) {
    OutputFile file;
    if (Status st = file.open(path); !st)
        return st;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file.stream()) != bytes.size())
        return fileFailure("write", path, errno);
    return file.commit();
}

}  // namespace qd40
