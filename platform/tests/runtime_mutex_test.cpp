#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/named_mutex.h"
#include "platform/runtime_dir.h"

namespace qd40::platform {
namespace {

namespace fs = std::filesystem;

class RuntimeFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        base_ = fs::temp_directory_path() / ("qd40-rt-" + std::to_string(::getpid()));
        fs::remove_all(base_);
        fs::create_directories(base_);
        saved_ = std::getenv("OVIX_RUNTIME_DIR") ? std::getenv("OVIX_RUNTIME_DIR") : "";
    }
    void TearDown() override {
        ::setenv("OVIX_RUNTIME_DIR", saved_.c_str(), 1);
        fs::remove_all(base_);
    }
    fs::path base_;
    std::string saved_;
};

TEST_F(RuntimeFolderTest, FollowsTheEnvironmentAndIsOwnerOnly) {
    const fs::path dir = base_ / "run";
    ::setenv("OVIX_RUNTIME_DIR", dir.c_str(), 1);
    EXPECT_EQ(runtimeDirPath(), dir);
    std::string error;
    ASSERT_EQ(ensureRuntimeDir(&error), dir) << error;
    struct stat st {};
    ASSERT_EQ(::stat(dir.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    // A folder of ours left open to others is narrowed again.
    ::chmod(dir.c_str(), 0755);
    ASSERT_TRUE(ensureRuntimeDir());
    ASSERT_EQ(::stat(dir.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    ::unsetenv("OVIX_RUNTIME_DIR");
    ::setenv("XDG_RUNTIME_DIR", base_.c_str(), 1);
    EXPECT_EQ(runtimeDirPath(), base_ / "ovix");
}

TEST_F(RuntimeFolderTest, APlainFileInItsPlaceIsRefused) {
    const fs::path file = base_ / "file";
    std::ofstream(file) << "x";
    ::setenv("OVIX_RUNTIME_DIR", file.c_str(), 1);
    std::string error;
    EXPECT_FALSE(ensureRuntimeDir(&error));
    EXPECT_NE(error.find("not a directory"), std::string::npos) << error;
}

TEST_F(RuntimeFolderTest, MutexIsExclusiveEvenInOneProcessAndFreedByItsHolder) {
    auto first = NamedMutex::create(base_, "Qd40MutexCom03@017");
    ASSERT_EQ(first.outcome, NamedMutex::Outcome::Created) << first.error;
    EXPECT_TRUE(fs::exists(base_ / "Qd40MutexCom03@017.lock"));

    auto second = NamedMutex::create(base_, "Qd40MutexCom03@017");
    EXPECT_EQ(second.outcome, NamedMutex::Outcome::AlreadyExists);
    EXPECT_FALSE(second.mutex.held());
    EXPECT_EQ(NamedMutex::create(base_, "Qd40MutexCom03@018").outcome,
              NamedMutex::Outcome::Created);

    NamedMutex moved = std::move(first.mutex);
    EXPECT_EQ(NamedMutex::create(base_, "Qd40MutexCom03@017").outcome,
              NamedMutex::Outcome::AlreadyExists);
    moved.release();
    EXPECT_EQ(NamedMutex::create(base_, "Qd40MutexCom03@017").outcome,
              NamedMutex::Outcome::Created);
}

TEST_F(RuntimeFolderTest, MutexSpansProcessesAndDiesWithItsHolder) {
    int ready[2], finish[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(finish), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        auto m = NamedMutex::create(base_, "held");
        char c = m.outcome == NamedMutex::Outcome::Created ? 'y' : 'n';
        (void)!::write(ready[1], &c, 1);
        (void)!::read(finish[0], &c, 1);
        ::_exit(0);  // dies without releasing
    }
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    ASSERT_EQ(c, 'y');
    EXPECT_EQ(NamedMutex::create(base_, "held").outcome, NamedMutex::Outcome::AlreadyExists);
    (void)!::write(finish[1], "x", 1);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_EQ(NamedMutex::create(base_, "held").outcome, NamedMutex::Outcome::Created);
    for (int fd : {ready[0], ready[1], finish[0], finish[1]})
        ::close(fd);
}

TEST_F(RuntimeFolderTest, NamesThatLeaveTheFolderAreRefused) {
    for (const char* bad : {"", "a/b", "..", "."}) {
        auto r = NamedMutex::create(base_, bad);
        EXPECT_EQ(r.outcome, NamedMutex::Outcome::Failed) << bad;
        EXPECT_FALSE(r.error.empty());
    }
}

}  // namespace
}  // namespace qd40::platform
