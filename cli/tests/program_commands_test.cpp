// "qd40 doc export-program" and "show-program" on documents without modules
// reached: the export written from a document and listed back.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/doc_commands.h"

namespace qd40::cli {
namespace {

namespace fs = std::filesystem;

class ProgramCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() / ("qd40-cli-program-" + std::to_string(::getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder / "registry");
        context.registry = platform::RegistryStore(folder / "registry");
    }
    void TearDown() override { fs::remove_all(folder); }
    int run(std::vector<std::string> args, std::string& out, std::string& err) {
        args.insert(args.begin(), "doc");
        std::ostringstream o, e;
        const int code = runDocCommand(args, o, e, context);
        out = o.str();
        err = e.str();
        return code;
    }
    std::string file(const std::string& name) const { return (folder / name).string(); }

    CliContext context;
    fs::path folder;
};

TEST_F(ProgramCommandsTest, ExportThenShow) {
    std::string out, err;
    ASSERT_EQ(run({"new", file("plant.dqx"), "--module", "tcp:10.0.0.7:1502@2", "--module",
                   "com:3@lab@5"},
                  out, err),
              0)
        << err;
    ASSERT_EQ(run({"export-program", file("plant.dqx"), file("plant.wqx")}, out, err), 0) << err;
    EXPECT_EQ(out, "exported 2 module programs of " + file("plant.dqx") + " to " +
                       file("plant.wqx") + "\n");
    ASSERT_EQ(run({"show-program", file("plant.wqx")}, out, err), 0) << err;
    EXPECT_NE(out.find("Header: OVIX,TAVIK,0,B.10,XKW7\nVersion: B.10\nModules: 2\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("Module 1: QD40@10.0.0.7#2\n  network, 10.0.0.7:1502, slave 2"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("Module 2: QD40#5\n  serial, COM 3 of lab"), std::string::npos) << out;

    // A document is not an export.
    EXPECT_NE(run({"show-program", file("plant.dqx")}, out, err), 0);
    EXPECT_NE(err.find("is not a program export"), std::string::npos) << err;
    EXPECT_NE(run({"export-program", file("plant.dqx")}, out, err), 0);
    EXPECT_NE(err.find("needs FILE and OUT.wqx"), std::string::npos) << err;
}

}  // namespace
}  // namespace qd40::cli
