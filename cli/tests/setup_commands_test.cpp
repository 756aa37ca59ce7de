// "qd40 setup": the module SETUP of the simulator on COM2 of the daemon.
#include <sstream>

#include <gtest/gtest.h>

#include "cli/setup_commands.h"
#include "control/ctl/daemon_factory.h"
#include "server/port_settings.h"
#include "testing/server_process.h"
#include "testing/sim_process.h"

namespace qd40::cli {
namespace {

struct Result {
    int code = 0;
    std::string out, err;
};

class SetupCommandsTest : public ::testing::Test {
protected:
    void start(std::vector<std::string> simArgs) {
        ASSERT_TRUE(svr.ok()) << svr.error();
        platform::RegistryStore reg(svr.registryDir());
        reg.setDword(platform::Hive::LocalMachine, server::kCommunicationKey, "Retries", 1);
        reg.setDword(platform::Hive::LocalMachine, server::kCommunicationKey, "RsTimeOut", 300);
        qd40::testing::SimProcess::Options o;
        o.tcp = false;
        o.rtu = true;
        o.args = std::move(simArgs);
        sim = std::make_unique<qd40::testing::SimProcess>(o);
        ASSERT_TRUE(sim->ok()) << sim->error();
        ASSERT_TRUE(svr.setPortDevice(2, sim->rtuPath()));
        context.factory = ctl::daemonFactory();
        context.registry = reg;
    }
    Result run(std::vector<std::string> args) {
        args.insert(args.begin(), "setup");
        std::ostringstream out, err;
        Result r;
        r.code = runSetupCommand(args, out, err, context);
        r.out = out.str();
        r.err = err.str();
        return r;
    }

    qd40::testing::ServerProcess svr;
    std::unique_ptr<qd40::testing::SimProcess> sim;
    CliContext context;
};

TEST_F(SetupCommandsTest, ShowSetGetAndDefaults) {
    start({});
    Result r = run({"--com", "2", "show"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 47);
    EXPECT_NE(r.out.find("\n21 ip-address             192.168.1.40\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\n34 module-name            QD40\n"), std::string::npos);

    // The port is remembered for the next commands.
    ASSERT_EQ(run({"set", "ip-address", "10.0.0.5"}).code, 0);
    ASSERT_EQ(run({"set", "34", "Boiler room"}).code, 0);
    EXPECT_EQ(run({"get", "21"}).out, "10.0.0.5\n");
    EXPECT_EQ(run({"get", "module-name"}).out, "Boiler room\n");

    ASSERT_EQ(run({"defaults"}).code, 0);
    EXPECT_EQ(run({"get", "ip-address"}).out, "192.168.1.40\n");
}

TEST_F(SetupCommandsTest, ItemTheModuleVersionLacksIsRefusedWithItsMessage) {
    start({"--fw-version", "B.03"});
    Result r = run({"--com", "2", "set", "front-run-stop", "1"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err,
              "error 0x80004005: Front button action definition is available since QD40 Module "
              "version B.04 only\n");
    EXPECT_EQ(run({"get", "front-run-stop"}).out, "0\n");
    EXPECT_EQ(run({"get", "p1-eof-count"}).out, "4\n") << "the default of an absent item";
}

TEST_F(SetupCommandsTest, UsageErrorsNameWhatIsWrong) {
    const struct {
        std::vector<std::string> args;
        const char* says;
    } cases[] = {
        {{"get"}, "setup get takes ITEM"},
        {{"get", "nothing"}, "unknown SETUP item 'nothing'"},
        {{"set", "p1-slave", "251"}, "expected a whole number from 1 to 250"},
        {{"set", "dns1", "1.2.3"}, "expected an IPv4 address"},
        {{"--com", "9", "show"}, "invalid --com '9'"},
        {{"show", "extra"}, "setup show takes no argument"},
        {{"erase"}, "unknown setup subcommand 'erase'"},
    };
    for (const auto& c : cases) {
        const Result r = run(c.args);
        EXPECT_EQ(r.code, 1);
        EXPECT_EQ(r.err.rfind("error 0x80070057: ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    }
}

}  // namespace
}  // namespace qd40::cli
