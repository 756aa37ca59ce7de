// The control against the module simulator, through Qd40 objects of an
// in-process server over MODBUS/TCP.
#include <gtest/gtest.h>
#include <modbus.h>
#include <unistd.h>

#include <filesystem>
#include <memory>

#include "common/config/cfg_defaults.h"
#include "common/le_bytes.h"
#include "control/ctl/ovixqd40ctl.h"
#include "control/ctl/tests/in_process_server.h"
#include "testing/sim_process.h"

namespace qd40::ctl {
namespace {

std::filesystem::path testFolder(const char* what) {
    auto p = std::filesystem::temp_directory_path() /
             (std::string("qd40-ctl-") + what + "-" + std::to_string(::getpid()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(p);
    std::filesystem::create_directories(p);
    return p;
}

struct Notifications : CtlContainer {
    int modified = 0, dataChanges = 0;
    void setModified() override { ++modified; }
    void dataChanged() override { ++dataChanges; }
};

class CtlSimTest : public ::testing::Test {
protected:
    void start(std::vector<std::string> simArgs = {}) {
        qd40::testing::SimProcess::Options o;
        o.args = std::move(simArgs);
        sim = std::make_unique<qd40::testing::SimProcess>(o);
        ASSERT_TRUE(sim->ok()) << sim->error();
        server = std::make_unique<ctl::testing::InProcessServer>(testFolder("mx"));
        ctl = std::make_unique<OvixQd40Ctl>(server->factory(), &notes,
                                            platform::RegistryStore(testFolder("reg")));
        ASSERT_EQ(ctl->put_Serial(0), S_OK);
        ASSERT_EQ(ctl->put_IpAddr(sim->tcpAddress()), S_OK);
        ASSERT_EQ(ctl->put_Port(sim->tcpPort()), S_OK);
    }
    void TearDown() override {
        ctl.reset();
        for (const char* w : {"mx", "reg"})
            std::filesystem::remove_all(testFolder(w));
    }
    int32_t flag(HRESULT (OvixQd40Ctl::*get)(int32_t*)) {
        int32_t v = -1;
        EXPECT_EQ((ctl.get()->*get)(&v), S_OK) << ctl->lastError().description;
        return v;
    }

    Notifications notes;
    std::unique_ptr<qd40::testing::SimProcess> sim;
    std::unique_ptr<ctl::testing::InProcessServer> server;
    std::unique_ptr<OvixQd40Ctl> ctl;
};

TEST_F(CtlSimTest, OpensIdentifiesAndCloses) {
    start();
    ASSERT_EQ(ctl->Open(), S_OK) << ctl->lastError().description;
    std::string text;
    EXPECT_EQ(ctl->get_DevType(&text), S_OK);
    EXPECT_EQ(text, "QD40M");
    EXPECT_EQ(ctl->get_DevFileVersion(&text), S_OK);
    EXPECT_EQ(text, "A.00");
    EXPECT_EQ(ctl->get_DevVersion(&text), S_OK);
    EXPECT_EQ(text, "B.05");
    EXPECT_EQ(flag(&OvixQd40Ctl::get_IsOpen), 1);
    EXPECT_EQ(ctl->Close(), S_OK) << ctl->lastError().description;
    EXPECT_EQ(flag(&OvixQd40Ctl::get_IsOpen), 0);
    EXPECT_EQ(ctl->get_DevFileVersion(&text), S_OK);
    EXPECT_EQ(text, "");
    EXPECT_EQ(ctl->Run(), E_UNEXPECTED);
    EXPECT_EQ(ctl->lastError().description, "Communication not opened");
}

TEST_F(CtlSimTest, OpenRefusesModulesItCannotServe) {
    struct Case {
        std::vector<std::string> args;
        HRESULT hr;
        std::string textStart;
    };
    const Case cases[] = {
        {{"--dev-id", "B053"}, qd40CtlErrNotQd40, "Device connected is not a QD40 Module"},
        {{"--file-version", "A.01"},
         qd40CtlErrHigherQd40CtlVerRequired,
         "Too old Exploitation Software"},
        {{"--file-version", "Z.00"}, S_OK, ""},
        {{"--dev-id", "B05B"}, S_OK, ""},
    };
    for (const Case& c : cases) {
        start(c.args);
        EXPECT_EQ(ctl->Open(), c.hr) << c.args[1];
        EXPECT_EQ(ctl->lastError().description.rfind(c.textStart, 0), 0u)
            << c.args[1] << ": " << ctl->lastError().description;
        EXPECT_EQ(flag(&OvixQd40Ctl::get_IsOpen), c.hr == S_OK ? 1 : 0) << c.args[1];
        ctl.reset();
    }
}

TEST_F(CtlSimTest, ConfigurationSentIsReadBackAndControlIsGivenBack) {
    start();
    ASSERT_EQ(ctl->Open(), S_OK) << ctl->lastError().description;
    CtlState wanted = CtlState::defaults();
    cfg::FullCfgView full(wanted.cfg);
    full.setAcqPeriod(500);
    full.channel(2).setFunction(cfg::kFctVdc);
    full.channel(2).setRange(2);
    cfg::Qd40ExtCfg(wanted.ext).setModuleMnemonic("Kiln 4");
    cfg::EmailCfg(wanted.email).setRecipient(1, "ops@example.org");
    ASSERT_EQ(ctl->put_Cfg(cfg::packBlob(wanted.cfg)), S_OK);
    ASSERT_EQ(ctl->put_Qd40ExtCfg(cfg::packBlob(wanted.ext)), S_OK);
    ASSERT_EQ(ctl->put_EmailCfg(cfg::packBlob(wanted.email)), S_OK);
    ASSERT_EQ(ctl->SendCfg(), S_OK) << ctl->lastError().description;
    EXPECT_EQ(flag(&OvixQd40Ctl::get_IsRemote), 0)
        << "control taken for the transfer is given back";

    ASSERT_EQ(ctl->put_Cfg(cfg::packBlob(cfg::defaultFullCfg())), S_OK);
    ASSERT_EQ(ctl->put_Qd40ExtCfg(cfg::packBlob(cfg::Qd40ExtCfgData{})), S_OK);
    notes = {};
    ASSERT_EQ(ctl->ReadCfg(), S_OK) << ctl->lastError().description;
    EXPECT_EQ(ctl->state().cfg, wanted.cfg);
    EXPECT_EQ(ctl->state().ext, wanted.ext);
    EXPECT_EQ(ctl->state().email, wanted.email);
    EXPECT_GT(notes.dataChanges, 0);

    std::string name;
    uint32_t time = 0;
    ASSERT_EQ(ctl->SendCfgFileIdn(123456, "Batch 7"), S_OK) << ctl->lastError().description;
    ASSERT_EQ(ctl->ReadCfgFileIdn(&time, &name), S_OK) << ctl->lastError().description;
    EXPECT_EQ(name, "Batch 7");
    EXPECT_EQ(time, 123456u);
}

TEST_F(CtlSimTest, SendCfgRefusedWhileRunningBeforeAnythingIsWritten) {
    start({"--time-scale", "20"});
    ASSERT_EQ(ctl->Open(), S_OK) << ctl->lastError().description;
    ASSERT_EQ(ctl->ReadCfg(), S_OK) << ctl->lastError().description;
    const auto before = ctl->state().cfg;
    ASSERT_EQ(ctl->Run(), S_OK) << ctl->lastError().description;
    EXPECT_EQ(flag(&OvixQd40Ctl::get_IsRunning), 1);

    auto changed = before;
    cfg::FullCfgView(changed).setAcqPeriod(2000);
    ASSERT_EQ(ctl->put_Cfg(cfg::packBlob(changed)), S_OK);
    EXPECT_EQ(ctl->SendCfg(), E_UNEXPECTED);
    EXPECT_EQ(ctl->lastError().description, "Stop the module before configuration");

    ASSERT_EQ(ctl->Stop(), S_OK) << ctl->lastError().description;
    ASSERT_EQ(ctl->ReadCfg(), S_OK);
    EXPECT_EQ(ctl->state().cfg, before);
}

TEST_F(CtlSimTest, ModuleHeldThroughAnotherPortIsRefused) {
    start();
    ASSERT_EQ(ctl->Open(), S_OK) << ctl->lastError().description;
    // Another master takes remote control (command 3) on its own connection.
    modbus_t* other = modbus_new_tcp(sim->tcpAddress().c_str(), sim->tcpPort());
    ASSERT_NE(other, nullptr);
    ASSERT_EQ(modbus_connect(other), 0);
    modbus_set_slave(other, 1);
    ASSERT_EQ(modbus_write_register(other, 44000, 3), 1) << modbus_strerror(errno);

    EXPECT_EQ(ctl->Remote(), qd40ErrRemoteOtherPort);
    EXPECT_EQ(ctl->lastError().description, "The module is already controlled via its other Port");
    EXPECT_EQ(ctl->MemClear(1), qd40ErrRemoteOtherPort);
    modbus_close(other);
    modbus_free(other);
}

TEST_F(CtlSimTest, ChannelValuesComeFromTheCycleStatus) {
    start({"--time-scale", "50"});
    ASSERT_EQ(ctl->Open(), S_OK) << ctl->lastError().description;
    VariantBlob values, errors;
    ASSERT_EQ(ctl->GetChans(5, 3, &values, &errors), S_OK) << ctl->lastError().description;
    EXPECT_EQ(values.vt, cfg::VT_ARRAY | cfg::VT_R4);
    EXPECT_EQ(values.data.size(), 12u);
    EXPECT_EQ(errors.data.size(), 6u);
    VariantBlob cycle;
    ASSERT_EQ(ctl->GetCyStatus(&cycle), S_OK);
    ASSERT_GE(cycle.data.size(), 210u);

    EXPECT_EQ(ctl->GetChans(30, 2, &values, &errors), E_INVALIDARG);
    EXPECT_EQ(ctl->lastError().description, "Channels Numbers must be in the range of 1 and 30");
    EXPECT_EQ(ctl->MemRun(11), E_INVALIDARG);
    EXPECT_EQ(ctl->lastError().description, "Invalid Memory Nr");
    EXPECT_EQ(ctl->RunWithOptMem(3), E_INVALIDARG);
}

TEST_F(CtlSimTest, PropertyChecksRefuseOutOfRangeValues) {
    start();
    EXPECT_EQ(ctl->put_MbAddr(256), E_INVALIDARG);
    EXPECT_EQ(ctl->put_SerialMode(3), E_INVALIDARG);
    EXPECT_EQ(ctl->put_DefEditChanNum(0), E_INVALIDARG);
    EXPECT_EQ(ctl->put_BaudRate(-1), E_INVALIDARG);
    EXPECT_EQ(ctl->put_Cfg(VariantBlob{cfg::VT_ARRAY | cfg::VT_R4, 1, std::vector<uint8_t>(4684)}),
              E_INVALIDARG)
        << "a float array is not a byte array";
    EXPECT_EQ(ctl->state().cfg, cfg::defaultFullCfg())
        << "a refused blob leaves the property as it was";
    std::string s;
    EXPECT_EQ(ctl->GetChanDefMnemo(1, &s), S_OK);
    EXPECT_EQ(s, "Chan01");
    EXPECT_EQ(ctl->GetChanMnemo(31, &s), E_INVALIDARG);
}

TEST_F(CtlSimTest, RemoteServerFailureComposesTheMessage) {
    start();
    ASSERT_EQ(ctl->put_Serial(1), S_OK);
    ASSERT_EQ(ctl->put_IpAddr("plant-pc"), S_OK);
    EXPECT_EQ(ctl->Open(), E_ACCESSDENIED);
    EXPECT_EQ(
        ctl->lastError().description,
        "Unable to communicate with OvixQd40Svr server on machine plant-pc (E_ACCESSDENIED)\n\n"
        "Access Rights Configuration Problem.\nPlease, contact your Network Administrator.");
    server->refuseRemote = hr(0x800706BA);
    EXPECT_EQ(ctl->Open(), hr(0x800706BA));
    EXPECT_EQ(ctl->lastError().description,
              "Unable to communicate with OvixQd40Svr server on machine plant-pc (0x800706ba)");
}

}  // namespace
}  // namespace qd40::ctl
