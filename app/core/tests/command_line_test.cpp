#include <gtest/gtest.h>

#include "app/core/command_line.h"

namespace qd40::app {
namespace {

TEST(CommandLineTest, SwitchesAndDocumentPath) {
    struct Case {
        std::vector<std::string> args;
        bool reg, unreg, opc;
        std::string path;
    };
    const Case cases[] = {
        {{"/REGSERVER"}, true, false, false, ""},
        {{"-regserver"}, true, false, false, ""},
        {{" RegServer"}, true, false, false, ""},
        {{"RegServer"}, true, false, false, ""},
        {{"-UnregServer"}, false, true, false, ""},
        // The first registration switch ends the scan.
        {{"-UnregServer", "-RegServer"}, false, true, false, ""},
        {{"-StartOpcServer", "/RegServer"}, true, false, true, ""},
        {{"-RegServer", "-StartOpcServer"}, true, false, false, ""},
        {{"/startopcserver"}, false, false, true, ""},
        {{"-StartOpcServer-RegServer"}, true, false, true, ""},
        {{"/home/op/plant.dqx"}, false, false, false, "/home/op/plant.dqx"},
        {{"plant.dqx", "-Unknown"}, false, false, false, "plant.dqx"},
        {{}, false, false, false, ""},
    };
    for (const Case& c : cases) {
        const CommandLine cl = parseCommandLine(c.args);
        SCOPED_TRACE(c.args.empty() ? "" : c.args[0]);
        EXPECT_EQ(cl.regServer, c.reg);
        EXPECT_EQ(cl.unregServer, c.unreg);
        EXPECT_EQ(cl.startOpcServer, c.opc);
        EXPECT_EQ(cl.documentPath, c.path);
        EXPECT_EQ(cl.endsAtRegistration(), c.reg || c.unreg);
    }
}

}  // namespace
}  // namespace qd40::app
