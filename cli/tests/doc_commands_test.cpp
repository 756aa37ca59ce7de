// "qd40 doc": documents created, listed, changed and exported offline, and
// their modules driven through the daemon against the simulator.
#include <fstream>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "app/core/tests/doc_test_support.h"
#include "cli/doc_commands.h"
#include "control/ctl/daemon_factory.h"
#include "testing/server_process.h"
#include "testing/sim_process.h"

namespace qd40::cli {
namespace {

namespace fs = std::filesystem;

struct Result {
    int code = 0;
    std::string out, err;
};

class DocCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(svr.ok()) << svr.error();
        context.factory = ctl::daemonFactory();
        context.registry = platform::RegistryStore(svr.registryDir());
        folder = fs::path(svr.runtimeDir()) / "files";
        fs::create_directories(folder);
    }
    Result run(std::vector<std::string> args) {
        args.insert(args.begin(), "doc");
        std::ostringstream out, err;
        Result r;
        r.code = runDocCommand(args, out, err, context);
        r.out = out.str();
        r.err = err.str();
        return r;
    }
    std::string file(const std::string& name) const { return (folder / name).string(); }

    qd40::testing::ServerProcess svr;
    CliContext context;
    fs::path folder;
};

TEST_F(DocCommandsTest, NewInfoAddRemove) {
    const std::string doc = file("plant.dqx");
    Result r = run({"new", doc, "--module", "tcp:10.0.0.7:1502@2", "--module", "com:2@lab@3",
                    "--module", "com:1@4", "--module", "tcp:[fe80::1]:503"});
    ASSERT_EQ(r.code, 0) << r.err;
    r = run({"info", doc});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out,
              "Header: OVIX,TAVIK,0,B.10\nVersion: B.10\nLast item number: 4\nItems: 4\n"
              "  1  QD40@10.0.0.7#2  Ethernet:QD40@10.0.0.7#2  tcp 10.0.0.7:1502 slave 2\n"
              "  2  QD40#3  lab:COM 2:QD40#3  com 2 on lab slave 3 (the daemon's port settings)\n"
              "  3  QD40#4  COM 1:QD40#4  com 1 slave 4 (the daemon's port settings)\n"
              "  4  QD40@fe80::1#1  Ethernet:QD40@fe80::1#1  tcp [fe80::1]:503 slave 1\n"
              "Blocks: 0\n");

    // The same module twice, a network module on a serial module's host.
    for (const char* spec : {"tcp:10.0.0.7:1502@2", "tcp:lab"}) {
        r = run({"add", doc, "--module", spec});
        EXPECT_EQ(r.code, 1) << spec;
        EXPECT_NE(r.err.find(spec), std::string::npos) << r.err;
    }
    r = run({"remove", doc, "--item", "3"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("Do you want to delete module \"QD40#4\" ? (answer with --yes)"),
              std::string::npos)
        << r.err;
    ASSERT_EQ(run({"remove", doc, "--item", "3", "--yes"}).code, 0);
    r = run({"add", doc, "--module", "tcp:10.0.0.8"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "added item 3: Ethernet:QD40@10.0.0.8#1\n") << "the smallest free number";
    EXPECT_EQ(run({"new", doc, "--module", "com:1"}).code, 1) << "an existing file is kept";
}

TEST_F(DocCommandsTest, ModuleSpecsAndUsageErrors) {
    struct Case {
        std::vector<std::string> args;
        const char* error;
    };
    const std::string doc = file("x.dqx");
    const Case cases[] = {
        {{"new", doc, "--module", "tcp:"}, "the host is missing"},
        {{"new", doc, "--module", "tcp:h:"}, "the TCP port is missing"},
        {{"new", doc, "--module", "tcp:h:70000"}, "from 1 to 65535"},
        {{"new", doc, "--module", "tcp:h@0"}, "from 1 to 247"},
        {{"new", doc, "--module", "com:0"}, "the COM port"},
        {{"new", doc, "--module", "com:1@lab@300"}, "from 1 to 247"},
        {{"new", doc, "--module", "udp:h"}, "unknown kind"},
        {{"new", doc}, "--module"},
        {{"info"}, "needs a FILE"},
        {{"info", doc, "--verbose"}, "unknown option '--verbose'"},
        {{"export", doc, "--block", "a"}, "one of --text OUT and --sheet OUT"},
        {{"export", doc, "--block", "a", "--block", "b", "--text", "o"}, "--block given twice"},
        {{"run", doc, "--memory", "all"}, "expected clear, add or keep"},
        {{"frobnicate", doc}, "unknown doc command"},
    };
    for (const Case& c : cases) {
        const Result r = run(c.args);
        EXPECT_EQ(r.code, 1) << c.args[0];
        EXPECT_NE(r.err.find(c.error), std::string::npos) << r.err;
    }
    EXPECT_FALSE(fs::exists(doc));
}

TEST_F(DocCommandsTest, ExportsABlockWholeOrNotAtAll) {
    const std::string doc = file("blocks.dqx");
    {
        const auto bytes = app::testing::buildDocument(
            "OVIX,TAVIK,0,B.10", {{false, "10.0.0.7", 502, 1, 1, ""}}, 1, 2, 5);
        std::ofstream(doc, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    Result r = run({"info", doc});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("Blocks: 2\n  \"Block 1\"  5 records"), std::string::npos) << r.out;
    r = run({"export", doc, "--block", "Block 2", "--sheet", file("b2.txt")});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "5 records written to " + file("b2.txt") + "\n");
    EXPECT_GT(fs::file_size(file("b2.txt")), 0u);
    r = run({"export", doc, "--block", "Block 9", "--text", file("b9.txt")});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("no record block \"Block 9\""), std::string::npos);
    EXPECT_FALSE(fs::exists(file("b9.txt")));
}

TEST_F(DocCommandsTest, TransmitRunAndStopAskThroughOptions) {
    qd40::testing::SimProcess::Options o;
    o.args = {"--preload", "1:50", "--time-scale", "20"};
    qd40::testing::SimProcess sim(o);
    ASSERT_TRUE(sim.ok()) << sim.error();
    // The module seen through a control of its own.
    ctl::OvixQd40Ctl module(context.factory, nullptr, context.registry);
    module.put_Serial(0);
    module.put_IpAddr("127.0.0.1");
    module.put_Port(sim.tcpPort());
    ASSERT_EQ(module.Open(), S_OK) << module.lastError().description;
    // A document whose program is the module's factory one (block 1 records
    // every cycle).
    const std::string doc = file("live.dqx");
    {
        ASSERT_EQ(module.ReadCfg(), S_OK);
        app::CTavikDoc d([&](ctl::CtlContainer* c) {
            return std::make_unique<ctl::OvixQd40Ctl>(context.factory, c, context.registry);
        });
        ctl::OvixQd40Ctl& c = d.newItem().control();
        c.put_Serial(0);
        c.put_IpAddr("127.0.0.1");
        c.put_Port(sim.tcpPort());
        ASSERT_EQ(c.put_Cfg(cfg::packBlob(module.state().cfg)), S_OK);
        d.numberItem(*d.items()[0]);
        ASSERT_TRUE(d.save(doc).isOk());
    }
    const auto running = [&] {
        int16_t status = 0;
        EXPECT_EQ(module.GetStatus(&status), S_OK);
        return (status & 1) != 0;
    };

    Result r = run({"transmit", doc});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("memory erasure"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("--yes"), std::string::npos) << r.err;

    // The program was never sent: RUN needs --yes to send it, and nothing
    // runs before.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"run", doc, "--item", "1"},
          std::vector<std::string>{"run", doc, "--memory", "keep"}}) {
        r = run(args);
        EXPECT_EQ(r.code, 1);
        EXPECT_NE(r.err.find("has been modified or has never been sent"), std::string::npos)
            << r.err;
        EXPECT_NE(r.err.find("--yes"), std::string::npos) << r.err;
    }
    EXPECT_FALSE(running()) << "nothing was started by the refused runs";

    // Once the program is there, block 1 holds records again after a run:
    // RUN then asks what to do with them.
    r = run({"transmit", doc, "--yes"});
    ASSERT_EQ(r.code, 0) << r.err;
    ASSERT_EQ(run({"run", doc, "--item", "1"}).code, 0) << "the transmission erased the memory";
    EXPECT_TRUE(running());
    uint32_t records = 0;
    for (int i = 0; i < 400 && records == 0; ++i) {
        ASSERT_EQ(module.GetMemRecCount(1, &records), S_OK);
        if (records == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    ASSERT_GT(records, 0u) << "no record in 10 s";
    ASSERT_EQ(run({"stop", doc}).code, 0);
    r = run({"run", doc});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("--memory clear|add|keep"), std::string::npos) << r.err;
    r = run({"run", doc, "--memory", "add"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "run: done on 1 modules\n");
    EXPECT_TRUE(running());
    EXPECT_EQ(run({"stop", doc, "--item", "1"}).code, 0);
    EXPECT_FALSE(running());
}

}  // namespace
}  // namespace qd40::cli
