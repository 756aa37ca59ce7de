// Start-up and leaving: registration switches, the OPC service start, the
// test-build warning, the working directory and the rules for leaving.
#include <gtest/gtest.h>

#include "app/core/app_strings.h"
#include "app/core/tavik_app.h"
#include "app/core/tests/doc_test_support.h"

namespace qd40::app {
namespace {

using platform::Hive;

struct FakeFrame : AppFrame {
    void showFrame(bool minimised) override { shown.push_back(minimised); }
    bool openDocument(const std::filesystem::path& path) override {
        opened.push_back(path.string());
        return path.string().find("bad") == std::string::npos;
    }
    void startOpcService(const std::filesystem::path& path, int slot) override {
        services.emplace_back(path.string(), slot);
    }
    std::vector<bool> shown;
    std::vector<std::string> opened;
    std::vector<std::pair<std::string, int>> services;
};

struct FakeToolkit : opc::NullOpcToolkit {
    using NullOpcToolkit::NullOpcToolkit;
    int NumbrClientConnections() override { return clients; }
    void RequestDisconnect() override { ++disconnects; }
    int clients = 0;
    int disconnects = 0;
};

struct FixedClock : security::Clock {
    security::LocalTime now() const override { return 800000000; }
};

class TavikAppTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = testing::testFolder("app");
        registry = platform::RegistryStore(folder / "reg");
        toolkit = std::make_unique<FakeToolkit>(registry);
        AppConfig c;
        c.registry = registry;
        c.productVersion = "B.10";
        c.fileVersion = {2, 10, 0, 0};
        c.programPath = folder / "bin" / "tavik";
        c.auditFolder = folder / "audit";
        c.hashCost = security::HashCost::minimum();
        c.sleep = [this](std::chrono::milliseconds ms) { slept.push_back(ms); };
        app = std::make_unique<CTavikApp>(c, prompter, *toolkit, clock);
    }
    void TearDown() override {
        app.reset();
        std::filesystem::remove_all(folder);
    }
    std::filesystem::path folder;
    platform::RegistryStore registry;
    testing::ScriptedPrompter prompter;
    FixedClock clock;
    std::unique_ptr<FakeToolkit> toolkit;
    std::unique_ptr<CTavikApp> app;
    FakeFrame frame;
    std::vector<std::chrono::milliseconds> slept;
};

TEST_F(TavikAppTest, RegistrationSwitchesEndWithoutAWindow) {
    const std::string key = "CLSID\\" + opc::kOpcServerClsid.toString();
    EXPECT_FALSE(app->start({"/regserver"}, frame));
    EXPECT_TRUE(frame.shown.empty());
    EXPECT_EQ(registry.getString(Hive::ClassesRoot, key + "\\LocalServer32", ""),
              (folder / "bin" / "tavik").string());
    EXPECT_EQ(registry.getString(Hive::ClassesRoot, "OvixTavikOpcSvr", ""), "OPC Server for QD40");

    EXPECT_FALSE(app->start({"-UnregServer"}, frame));
    EXPECT_TRUE(frame.shown.empty());
    EXPECT_FALSE(registry.keyExists(Hive::ClassesRoot, key));
    EXPECT_FALSE(registry.keyExists(Hive::ClassesRoot, "OvixTavikOpcSvr"));
}

TEST_F(TavikAppTest, OpcServiceStartWaitsTheDelayByteAndOpensTheSlotsInOrder) {
    app->machine().writeInt("OPC Server", "StartDelay", 300);
    app->machine().writeString("OPC Server\\ProgDoc1", "Path", "/plant/a.dqx");
    app->machine().writeString("OPC Server\\ProgDoc2", "Path", "/plant/bad.dqx");
    app->machine().writeString("OPC Server\\ProgDoc4", "Path", "/plant/c.dqx");
    ASSERT_TRUE(app->start({"-StartOpcServer"}, frame));
    EXPECT_EQ(frame.shown, std::vector<bool>{true}) << "minimised";
    EXPECT_EQ(slept, std::vector<std::chrono::milliseconds>{std::chrono::milliseconds(44000)});
    EXPECT_EQ(frame.opened,
              (std::vector<std::string>{"/plant/a.dqx", "/plant/bad.dqx", "/plant/c.dqx"}));
    EXPECT_EQ(frame.services,
              (std::vector<std::pair<std::string, int>>{{"/plant/a.dqx", 1}, {"/plant/c.dqx", 4}}));
    EXPECT_TRUE(prompter.shown.empty()) << "no test-build warning in OPC service";
}

TEST_F(TavikAppTest, OrdinaryStartShowsTheFrameMaximised) {
    ASSERT_TRUE(app->start({}, frame));
    EXPECT_EQ(frame.shown, std::vector<bool>{false});
    EXPECT_TRUE(slept.empty());
    EXPECT_TRUE(prompter.shown.empty()) << "a release shows no warning";
    FakeFrame failing;
    EXPECT_FALSE(app->start({"bad.dqx"}, failing)) << "a failed shell command ends start-up";
    EXPECT_TRUE(failing.shown.empty());
}

TEST(TavikAppStatics, TestBuildWarningAndWorkingDirectory) {
    EXPECT_EQ(CTavikApp::testBuildWarning("Z.21", {2, 21, 0, 7}),
              "Attention!\nCette version Z.21 (2,21,0,7) de l'application est une version de "
              "test non diffusée.");
    EXPECT_EQ(CTavikApp::testBuildWarning("B.10", {2, 10, 0, 0}), std::nullopt);
    const auto tmp = std::filesystem::temp_directory_path();
    EXPECT_EQ(CTavikApp::workingDirectory(tmp, "/opt/tavik/bin/tavik"), tmp);
    EXPECT_EQ(CTavikApp::workingDirectory(std::nullopt, "/opt/tavik/bin/tavik"), "/opt/tavik/bin");
    EXPECT_EQ(CTavikApp::workingDirectory(tmp / "no-such-folder", "/opt/tavik/bin/tavik"),
              "/opt/tavik/bin");
}

TEST_F(TavikAppTest, LeavingNeedsTheRightAndConfirmationWithOpcClients) {
    toolkit->clients = 2;
    prompter.answers = {Answer::No, Answer::Yes};
    EXPECT_FALSE(app->queryClose());
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].text, appText(text::kOpcClientsConnected));
    EXPECT_EQ(toolkit->disconnects, 0);
    EXPECT_TRUE(app->queryClose());
    EXPECT_EQ(toolkit->disconnects, 1);
    EXPECT_EQ(slept, std::vector<std::chrono::milliseconds>{std::chrono::milliseconds(2000)});

    // A declared user without a connection has no rights: leaving is refused
    // before anything is asked.
    security::CUser user;
    user.name = "Operator";
    user.identifier = "OP";
    app->userRights().addUser(user);
    EXPECT_FALSE(app->queryClose());
    EXPECT_EQ(prompter.shown.size(), 2u);
}

}  // namespace
}  // namespace qd40::app
