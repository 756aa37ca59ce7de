// Output files: replaced whole, through links, never over a device or FIFO,
// with the old permissions or the umask's.
#include "common/output_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace qd40 {
namespace {

namespace fs = std::filesystem;

class OutputFileTest : public ::testing::Test {
protected:
    OutputFileTest() {
        dir = fs::temp_directory_path() /
              ("qd40-out-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
        oldMask = ::umask(027);
    }
    ~OutputFileTest() override {
        ::umask(oldMask);
        fs::remove_all(dir);
    }
    static std::string contents(const fs::path& p) {
        std::ifstream in(p);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    static void put(const fs::path& p, const std::string& text) { std::ofstream(p) << text; }
    static mode_t mode(const fs::path& p) {
        struct stat st {};
        ::stat(p.c_str(), &st);
        return st.st_mode & 07777;
    }
    // Nothing but the named entries is left in the folder.
    size_t entries() const { return size_t(std::distance(fs::directory_iterator(dir), {})); }

    fs::path dir;
    mode_t oldMask = 0;
};

const std::vector<uint8_t> kNew = {'n', 'e', 'w'};

TEST_F(OutputFileTest, NewFileTakesTheUmaskAndAnOldOneKeepsItsMode) {
    const fs::path fresh = dir / "fresh", kept = dir / "kept";
    put(kept, "old");
    ::chmod(kept.c_str(), 0604);
    for (const fs::path& p : {fresh, kept})
        ASSERT_TRUE(OutputFile::write(p, kNew).isOk());
    EXPECT_EQ(contents(fresh), "new");
    EXPECT_EQ(mode(fresh), mode_t(0640));  // 0666 under umask 027
    EXPECT_EQ(contents(kept), "new");
    EXPECT_EQ(mode(kept), mode_t(0604));
    EXPECT_EQ(entries(), 2u) << "no temporary file left";
}

TEST_F(OutputFileTest, LinkIsFollowedAndItsTargetReplaced) {
    const fs::path target = dir / "target", link = dir / "link";
    put(target, "old");
    fs::create_symlink("target", link);
    ASSERT_TRUE(OutputFile::write(link, kNew).isOk());
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(contents(target), "new");
}

TEST_F(OutputFileTest, NonRegularFilesAreRefusedAndLeftAlone) {
    const fs::path fifo = dir / "fifo", folder = dir / "folder", viaLink = dir / "link";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    fs::create_directory(folder);
    fs::create_symlink("fifo", viaLink);
    for (const fs::path& p : {fifo, folder, viaLink}) {
        SCOPED_TRACE(p.string());
        const Status st = OutputFile::write(p, kNew);
        EXPECT_FALSE(st.isOk());
        EXPECT_NE(st.error.description.find("not a regular file"), std::string::npos)
            << st.error.description;
    }
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_EQ(entries(), 3u);
}

TEST_F(OutputFileTest, UncommittedFileLeavesTheTargetAndNoTemporary) {
    const fs::path p = dir / "file";
    put(p, "old");
    {
        OutputFile f;
        ASSERT_TRUE(f.open(p).isOk());
        std::fputs("half", f.stream());
    }
    EXPECT_EQ(contents(p), "old");
    EXPECT_EQ(entries(), 1u);
    const Status st = OutputFile::write(dir / "missing" / "file", kNew);
    EXPECT_EQ(st.error.description, "cannot create " + (dir / "missing" / "file").string() +
                                        ": No such file or directory");
}

}  // namespace
}  // namespace qd40
