#include "platform/named_mutex.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/runtime_dir.h"

namespace qd40::platform {

NamedMutex::NamedMutex(NamedMutex&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), name_(std::move(other.name_)) {}

NamedMutex& NamedMutex::operator=(NamedMutex&& other) noexcept {
    if (this != &other) {
        release();
        fd_ = std::exchange(other.fd_, -1);
        name_ = std::move(other.name_);
    }
    return *this;
}

NamedMutex::~NamedMutex() {
    release();
}

void NamedMutex::release() {
    if (fd_ >= 0)
        ::close(fd_);  // closing the descriptor drops the flock
    fd_ = -1;
}

NamedMutex::Result NamedMutex::create(const std::string& name) {
    std::string error;
    const auto dir = ensureRuntimeDir(&error);
    if (!dir)
        return Result{Outcome::Failed, {}, error};
    return create(*dir, name);
}

NamedMutex::Result NamedMutex::create(const std::filesystem::path& dir, const std::string& name) {
    Result r;
    if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..") {
        r.error = "Invalid mutex name \"" + name + "\"";
        return r;
    }
    const std::filesystem::path file = dir / (name + ".lock");
    // Each creation opens its own file description, so flock also refuses a
    // second holder inside this process.
    const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        r.error = file.string() + ": " + std::strerror(errno);
        return r;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        ::close(fd);
        if (err == EWOULDBLOCK) {
            r.outcome = Outcome::AlreadyExists;
        } else {
            r.error = file.string() + ": " + std::strerror(err);
        }
        return r;
    }
    r.outcome = Outcome::Created;
    r.mutex.fd_ = fd;
    r.mutex.name_ = name;
    return r;
}

}  // namespace qd40::platform
