// The program window's per-module commands on the module simulator: each
// opens the module's communication for its time only.
#include <gtest/gtest.h>

#include "app/core/app_strings.h"
#include "app/core/program/program_commands.h"
#include "app/core/tests/simulated_module.h"

namespace qd40::app::program {
namespace {

class ProgramSimTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(module.start({"--preload", "1:50"}));
        doc = std::make_unique<CTavikDoc>(module.controls());
        ops = std::make_unique<DocOperations>(*doc, prompter, session);
        commands = std::make_unique<ProgramCommands>(*doc, *ops, prompter, session);
        prompter.commParams.push_back(ctl::CtlConnection{
            false, "127.0.0.1", static_cast<int16_t>(module.sim->tcpPort()), true, 9600, 1, 0});
        item = ops->addModule(nullptr);
        ASSERT_NE(item, nullptr);
    }
    uint32_t recordsOfBlock1() {
        uint32_t n = 0;
        EXPECT_EQ(
            ops->withOpenItem(*item, [&](ctl::OvixQd40Ctl& c) { return c.GetMemRecCount(1, &n); }),
            S_OK);
        return n;
    }
    bool isOpen() {
        int32_t open = 0;
        item->control().get_IsOpen(&open);
        return open != 0;
    }

    testing::SimulatedModule module;
    testing::ScriptedPrompter prompter;
    testing::RecordingSession session;
    std::unique_ptr<CTavikDoc> doc;
    std::unique_ptr<DocOperations> ops;
    std::unique_ptr<ProgramCommands> commands;
    CTavikItem* item = nullptr;
};

TEST_F(ProgramSimTest, ClearMemoryOnlyOnYes) {
    ASSERT_EQ(recordsOfBlock1(), 50u);
    prompter.answers = {Answer::No};
    EXPECT_EQ(commands->clearMemory(*item), E_ABORT);
    EXPECT_EQ(recordsOfBlock1(), 50u);
    prompter.answers = {Answer::Yes};
    EXPECT_EQ(commands->clearMemory(*item), S_OK);
    EXPECT_EQ(prompter.shown.back().text, appText(text::kClearMemoryAsk));
    EXPECT_EQ(recordsOfBlock1(), 0u);
    EXPECT_FALSE(isOpen()) << "the command gave the communication back";
}

TEST_F(ProgramSimTest, IdentifyShowsTheModulesIdentification) {
    EXPECT_EQ(commands->identify(*item), S_OK);
    ASSERT_EQ(prompter.shown.size(), 1u);
    const std::string& text = prompter.shown[0].text;
    EXPECT_EQ(text.rfind("Connection QD40 Module Identification:\nType :\tQD40", 0), 0u) << text;
    EXPECT_NE(text.find("SETUP assigned Name: \""), std::string::npos);
    EXPECT_FALSE(isOpen());
}

TEST_F(ProgramSimTest, InitializeAsksWithTheModuleName) {
    prompter.answers = {Answer::Cancel};
    EXPECT_EQ(commands->initialize(*item), E_ABORT);
    EXPECT_EQ(prompter.shown.back().text,
              appMessage(text::kInitializeAsk, {item->shortDisplayName()}));
    EXPECT_EQ(recordsOfBlock1(), 50u);
    prompter.answers = {Answer::Yes};
    EXPECT_EQ(commands->initialize(*item), S_OK);
    EXPECT_EQ(recordsOfBlock1(), 0u) << "initialising erases the memory";
}

TEST_F(ProgramSimTest, ARefusedCommandShowsTheModulesError) {
    // TRIG on a stopped module: the module refuses it, message 125 says why.
    EXPECT_EQ(commands->trigger(*item), E_FAIL);
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].text.rfind("Error:", 0), 0u);
    EXPECT_NE(prompter.shown[0].text.find("RUN command must have been sent"), std::string::npos)
        << prompter.shown[0].text;
    EXPECT_FALSE(isOpen());
    EXPECT_EQ(commands->stop(*item), S_OK);
    EXPECT_EQ(prompter.shown.size(), 1u);
}

}  // namespace
}  // namespace qd40::app::program
