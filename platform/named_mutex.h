// Named mutex: marks a resource as held across processes. Creating the mutex
// takes an exclusive, non-blocking flock on "<runtime folder>/<name>.lock";
// while it is held the name "exists". A second creation of the same name is
// refused, even from the same process, and the lock goes away with its holder
// (release, destruction or process death).
#pragma once
#include <filesystem>
#include <string>

namespace qd40::platform {

class NamedMutex {
public:
    enum class Outcome { Created, AlreadyExists, Failed };
    struct Result;

    NamedMutex() = default;
    NamedMutex(NamedMutex&& other) noexcept;
    NamedMutex& operator=(NamedMutex&& other) noexcept;
    NamedMutex(const NamedMutex&) = delete;
    NamedMutex& operator=(const NamedMutex&) = delete;
    ~NamedMutex();

    // Creates the mutex in the runtime folder (created when needed).
    static Result create(const std::string& name);
    // Creates the mutex in the given folder.
    static Result create(const std::filesystem::path& dir, const std::string& name);

    bool held() const { return fd_ >= 0; }
    const std::string& name() const { return name_; }
    void release();

private:
    int fd_ = -1;
    std::string name_;
};

struct NamedMutex::Result {
    Outcome outcome = Outcome::Failed;
    NamedMutex mutex;   // held when outcome is Created
    std::string error;  // set when outcome is Failed
};

}  // namespace qd40::platform
