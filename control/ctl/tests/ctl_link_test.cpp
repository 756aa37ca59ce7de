// The control's exact call sequences against a scripted Qd40 object: opening
// and closing, the remote-control rule, the command pattern, the configuration
// transfers and identity, texts, persistence flags and change notifications.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "common/config/module_ext_block.h"
#include "control/ctl/ovixqd40ctl.h"
#include "control/ctl/tests/scripted_link.h"

namespace qd40::ctl {
namespace {

using testing::ModuleScript;
using testing::ScriptedLink;
using Log = std::vector<std::string>;

struct Notifications : CtlContainer {
    int modified = 0, redraws = 0, dataChanges = 0;
    void setModified() override { ++modified; }
    void requestRedraw() override { ++redraws; }
    void dataChanged() override { ++dataChanges; }
};

class CtlLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        regDir = std::filesystem::temp_directory_path() /
                 ("qd40-ctl-link-" + std::to_string(::getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(regDir);
        reset();
    }
    void TearDown() override {
        ctl.reset();
        std::filesystem::remove_all(regDir);
    }
    void reset() {
        ctl.reset();
        m = std::make_shared<ModuleScript>();
        m->registers[901] = 0x1234;
        ctl = std::make_unique<OvixQd40Ctl>(ScriptedLink::factory(m), &notes,
                                            platform::RegistryStore(regDir));
    }
    platform::RegistryStore registry() { return platform::RegistryStore(regDir); }
    // Opens over MODBUS/TCP and forgets the calls made so far.
    void open() {
        ASSERT_EQ(ctl->put_Serial(0), S_OK);
        ASSERT_EQ(ctl->put_IpAddr("127.0.0.1"), S_OK);
        ASSERT_EQ(ctl->put_Port(502), S_OK);
        ASSERT_EQ(ctl->Open(), S_OK) << ctl->lastError().description;
        m->log.clear();
    }
    std::string error() const { return ctl->lastError().description; }

    std::filesystem::path regDir;
    Notifications notes;
    std::shared_ptr<ModuleScript> m;
    std::unique_ptr<OvixQd40Ctl> ctl;
};

TEST_F(CtlLinkTest, OpenPushesTheControlsPortSettingsThenIdentifiesTheModule) {
    struct Case {
        int16_t mode;
        uint16_t pause;
        uint8_t eof;
    };
    // The end-of-frame count is the low byte of the registry value.
    const Case cases[] = {
        {qd40SerialModeStd, 0, 4}, {qd40SerialModeUsb, 10, 4}, {qd40SerialModeRadio, 100, 0x21}};
    for (const Case& c : cases) {
        reset();
        registry().setDword(platform::Hive::LocalMachine,
                            "Software\\Ovix Servers\\OvixQd40Ctl\\Communication", "EofCharQtyRadio",
                            0x121);
        ASSERT_EQ(ctl->put_Serial(1), S_OK);
        ASSERT_EQ(ctl->put_IpAddr(""), S_OK);
        ASSERT_EQ(ctl->put_Port(3), S_OK);
        ASSERT_EQ(ctl->put_OvixQd40SvrParams(0), S_OK);
        ASSERT_EQ(ctl->put_BaudRate(19200), S_OK);
        ASSERT_EQ(ctl->put_SerialMode(c.mode), S_OK);
        ASSERT_EQ(ctl->Open(), S_OK) << error();
        const Log expected = {"create ",
                              "PutAvailableComX 3 1",
                              "PutBaudRateComX 3 19200",
                              "PutHalfDuplexComX 3 2",
                              "PutHalfDuplexPauseComX 3 " + std::to_string(c.pause),
                              "PutEofCharQtyComX 3 " + std::to_string(c.eof),
                              "OpenComm '' 3",
                              "ReadRegs 901 1 1",
                              "SetLongFormatDefault",
                              "GetDevId",
                              "GetDevFileVersion"};
        EXPECT_EQ(m->log, expected) << "mode " << c.mode;
    }
    // Missing values were written with their defaults.
    EXPECT_EQ(registry().getDword(platform::Hive::LocalMachine,
                                  "Software\\Ovix Servers\\OvixQd40Ctl\\Communication",
                                  "HalfDuplexPauseRadio"),
              100u);
}

TEST_F(CtlLinkTest, SerialModuleOfAnotherMachineOpensThroughThatMachinesServer) {
    // The server's own port settings are used: nothing is pushed, and the
    // server of that machine is given no address.
    ASSERT_EQ(ctl->put_Serial(1), S_OK);
    ASSERT_EQ(ctl->put_IpAddr("plant-pc"), S_OK);
    ASSERT_EQ(ctl->put_Port(2), S_OK);
    ASSERT_EQ(ctl->Open(), S_OK) << error();
    EXPECT_EQ(m->log, (Log{"create plant-pc", "OpenComm '' 2", "ReadRegs 901 1 1",
                           "SetLongFormatDefault", "GetDevId", "GetDevFileVersion"}));
}

TEST_F(CtlLinkTest, CloseRestoresRegister901OnlyWhenItWasRead) {
    open();
    m->registers[901] = 7;  // changed while the control held the module
    // A new address set while open does not redirect the restore to another module.
    ASSERT_EQ(ctl->put_MbAddr(9), S_OK);
    ASSERT_EQ(ctl->Close(), S_OK) << error();
    EXPECT_EQ(m->log, (Log{"SendRegs 901 1", "CloseComm"}));
    EXPECT_EQ(m->registers[901], 0x1234);
    EXPECT_EQ(m->lastWriteAddr, 1);

    reset();
    m->registers.erase(901);
    open();
    ASSERT_EQ(ctl->Close(), S_OK) << error();
    EXPECT_EQ(m->log, (Log{"CloseComm"})) << "a value never read is not invented";
    EXPECT_EQ(m->registers.count(901), 0u);
}

TEST_F(CtlLinkTest, FailedOpenEndsClosedWithTheFailureReported) {
    struct Case {
        std::function<void(ModuleScript&)> script;
        HRESULT hr;
        std::string text;
        Log tail;  // the calls after the one that failed
    };
    const Case cases[] = {
        {[](ModuleScript& s) { s.failures["OpenComm"] = E_FAIL; },
         E_FAIL,
         "OpenComm refused by the module",
         {"OpenComm '127.0.0.1' 502"}},
        // A module that does not answer: the opening ends at its first time-out.
        {[](ModuleScript& s) { s.failures["ReadRegs 901 1 1"] = qd40TransportErrTimeout; },
         qd40TransportErrTimeout,
         "ReadRegs refused by the module",
         {"ReadRegs 901 1 1", "CloseComm"}},
        {[](ModuleScript& s) { s.devId = 0xB053; },
         qd40CtlErrNotQd40,
         "Device connected is not a QD40 Module",
         {"GetDevId", "SendRegs 901 1", "CloseComm"}},
        {[](ModuleScript& s) { s.fileVersion = ""; },
         qd40CtlErrHigherQd40VerRequired,
         "Too old QD40 Module Version.\nIt must be updated.\nMinimal Version required: A.00 (Z.00)",
         {"GetDevFileVersion", "SendRegs 901 1", "CloseComm"}},
        {[](ModuleScript& s) { s.failures["CloseComm"] = E_FAIL, s.fileVersion = "Z.01"; },
         qd40CtlErrHigherQd40CtlVerRequired,
         "Too old Exploitation Software Version.\nIt must be updated.",
         {"GetDevFileVersion", "SendRegs 901 1", "CloseComm"}},
    };
    for (const Case& c : cases) {
        reset();
        c.script(*m);
        ASSERT_EQ(ctl->put_Serial(0), S_OK);
        ASSERT_EQ(ctl->put_IpAddr("127.0.0.1"), S_OK);
        ASSERT_EQ(ctl->put_Port(502), S_OK);
        EXPECT_EQ(ctl->Open(), c.hr) << c.text;
        EXPECT_EQ(error(), c.text);
        ASSERT_GE(m->log.size(), c.tail.size());
        EXPECT_EQ(Log(m->log.end() - ptrdiff_t(c.tail.size()), m->log.end()), c.tail) << c.text;
        int32_t isOpen = -1;
        EXPECT_EQ(ctl->get_IsOpen(&isOpen), S_OK);
        EXPECT_EQ(isOpen, 0) << c.text;
    }
}

TEST_F(CtlLinkTest, CommandsGiveControlBackEvenWhenTheyFail) {
    struct Case {
        const char* failing;
        std::function<HRESULT(OvixQd40Ctl&)> op;
    };
    const Case cases[] = {
        {"Run", [](OvixQd40Ctl& c) { return c.Run(); }},
        {"MemClear", [](OvixQd40Ctl& c) { return c.MemClear(3); }},
        {"MemRemove", [](OvixQd40Ctl& c) { return c.MemRemove(10, 70000); }},
        {"SetRel", [](OvixQd40Ctl& c) { return c.SetRel(2, 1); }},
        {"SetDate", [](OvixQd40Ctl& c) { return c.SetDate(45000.25); }},
        {"SendCmd", [](OvixQd40Ctl& c) { return c.BoardInit(); }},
        {"RunWithOptMem", [](OvixQd40Ctl& c) { return c.RunWithOptMem(2); }},
    };
    for (const Case& c : cases) {
        reset();
        open();
        m->failures[c.failing] = hr(0x80041405);
        EXPECT_EQ(c.op(*ctl), hr(0x80041405)) << c.failing;
        EXPECT_EQ(error(), std::string(c.failing) + " refused by the module");
        ASSERT_EQ(m->log.size(), 4u) << c.failing;
        EXPECT_EQ(m->log[0], "GetStatus");
        EXPECT_EQ(m->log[1], "Remote");
        EXPECT_EQ(m->log[2].rfind(c.failing, 0), 0u) << m->log[2];
        EXPECT_EQ(m->log[3], "Local") << c.failing;
        EXPECT_FALSE(m->remote()) << c.failing;
    }
}

TEST_F(CtlLinkTest, ConfigurationTransfersGiveControlBackOnceWhereverTheyStop) {
    uint32_t time = 0;
    std::string name;
    struct Case {
        const char* failing;
        std::function<HRESULT(OvixQd40Ctl&)> op;
    };
    const auto readCfg = [](OvixQd40Ctl& c) { return c.ReadCfg(); };
    const auto sendCfg = [](OvixQd40Ctl& c) { return c.SendCfg(); };
    const Case cases[] = {
        {"GetFullCfg", readCfg},
        {"GetMemsStatusMask", readCfg},
        {"ReadRegs", readCfg},
        {"SetFullCfg", sendCfg},
        {"SendRegs", sendCfg},
        {"ReadRegs", [&](OvixQd40Ctl& c) { return c.ReadCfgFileIdn(&time, &name); }},
    };
    for (const Case& c : cases) {
        reset();
        open();
        for (int r = 0; r < cfg::kExtBlockRegisters; ++r)
            m->registers[cfg::kExtBlockRegister + uint32_t(r)] = 0;
        m->failures[c.failing] = hr(0x80041405);
        EXPECT_EQ(c.op(*ctl), hr(0x80041405)) << c.failing;
        EXPECT_EQ(error(), std::string(c.failing) + " refused by the module");
        EXPECT_EQ(std::count(m->log.begin(), m->log.end(), "Local"), 1) << c.failing;
        ASSERT_FALSE(m->log.empty());
        EXPECT_EQ(m->log.back(), "Local") << c.failing;
        EXPECT_FALSE(m->remote()) << c.failing;
    }
}

TEST_F(CtlLinkTest, RemoteControlRule) {
    open();
    // This port already holds the module: the server's mark is taken (it
    // refuses when another client of the line holds the module) and kept,
    // and the module stays under control.
    m->status = 0xC000;
    ASSERT_EQ(ctl->MemRun(4), S_OK) << error();
    ASSERT_EQ(ctl->MemRun(5), S_OK) << error();
    EXPECT_EQ(m->log, (Log{"GetStatus", "Remote", "MemRun 4", "MemRun 5"}));
    EXPECT_EQ(m->status, 0xC000);
    ASSERT_EQ(ctl->Local(), S_OK);

    // The other port holds it: refused before the operation.
    m->log.clear();
    m->status = 0x4000;
    EXPECT_EQ(ctl->Trig(), qd40ErrRemoteOtherPort);
    EXPECT_EQ(error(), "The module is already controlled via its other Port");
    EXPECT_EQ(m->log, (Log{"GetStatus"}));

    // BoardInit sends block 18 with the confirmation words under remote
    // control; ForceRemote sends block 0 without taking control.
    m->log.clear();
    m->status = 0;
    ASSERT_EQ(ctl->BoardInit(), S_OK) << error();
    ASSERT_EQ(ctl->ForceRemote(), S_OK) << error();
    ASSERT_EQ(m->log.size(), 5u);
    EXPECT_EQ(m->log[2].rfind("SendCmd 18 2 ", 0), 0u) << m->log[2];
    EXPECT_EQ(m->log[3], "Local");
    EXPECT_EQ(m->log[4], "SendCmd 0 2" + m->log[2].substr(std::string("SendCmd 18 2").size()));
}

TEST_F(CtlLinkTest, ConfigurationWritesAreRefusedWhileRunningBeforeAnythingIsWritten) {
    open();
    m->status = 0x0001;
    EXPECT_EQ(ctl->SendCfg(), E_UNEXPECTED);
    EXPECT_EQ(error(), "Stop the module before configuration");
    EXPECT_EQ(ctl->SendCfgFileIdn(1, "Batch"), E_UNEXPECTED);
    EXPECT_EQ(error(), "Stop the module before configuration");
    EXPECT_EQ(m->log, (Log{"GetStatus", "GetStatus"}));
}

TEST_F(CtlLinkTest, SendCfgWritesEveryBlockInOrderAndStopsAtTheFirstFailure) {
    open();
    ASSERT_EQ(ctl->SendCfg(), S_OK) << error();
    EXPECT_EQ(m->log, (Log{"GetStatus", "GetStatus", "Remote", "SetFullCfg", "SetChansRes",
                           "SetEmailCfg", "SetMemsStatusMask", "SendRegs 45000 378", "Local"}));
    // The block carries the writer's text and version, then the extension.
    const cfg::ModuleExtBlockData expected =
        cfg::makeModuleExtBlock(ownFileVersion(), cfg::ConstQd40ExtCfg(ctl->state().ext));
    for (size_t i = 0; i < expected.size(); i += 2)
        ASSERT_EQ(m->registers[45000 + uint32_t(i / 2)], le::u16(expected, i)) << i;

    m->log.clear();
    m->failures["SetChansRes"] = E_FAIL;
    EXPECT_EQ(ctl->SendCfg(), E_FAIL);
    EXPECT_EQ(error(), "SetChansRes refused by the module");
    EXPECT_EQ(m->log,
              (Log{"GetStatus", "GetStatus", "Remote", "SetFullCfg", "SetChansRes", "Local"}));
}

TEST_F(CtlLinkTest, ReadCfgTakesTheExtensionOnlyFromThisControlNotNewer) {
    // Channel 2 has linearisation points and an out-of-range resolution.
    cfg::FullCfgView(m->fullCfg).channel(2).setLinCount(2);
    cfg::ChansResCfg(m->chansRes).setResol(2, 9);
    cfg::ChansResCfg(m->chansRes).setResol(3, 2);
    cfg::Qd40ExtCfgData ext{};
    cfg::Qd40ExtCfg(ext).setModuleMnemonic("Kiln");
    const FileVersion own = ownFileVersion();
    struct Case {
        FileVersion writer;
        std::string text;
        bool taken;
    };
    const Case cases[] = {{own, "OvixQd40Ctl", true},
                          {FileVersion{own.ms - 1, 0xFFFFFFFF}, "OvixQd40Ctl", true},
                          {FileVersion{own.ms, own.ls + 1}, "OvixQd40Ctl", false},
                          {own, "OvixQd40Svr", false}};
    open();
    for (const Case& c : cases) {
        cfg::ModuleExtBlockData block =
            cfg::makeModuleExtBlock(c.writer, cfg::ConstQd40ExtCfg(ext));
        cfg::ModuleExtBlock(block).setWriterText(c.text);
        for (size_t i = 0; i < block.size(); i += 2)
            m->registers[45000 + uint32_t(i / 2)] = le::u16(block, i);
        m->log.clear();
        notes = {};
        ASSERT_EQ(ctl->ReadCfg(), S_OK) << error();
        EXPECT_EQ(m->log, (Log{"GetStatus", "Remote", "GetFullCfg", "GetChansRes", "GetEmailCfg",
                               "GetMemsStatusMask", "ReadRegs 45000 378 1", "Local"}));
        EXPECT_EQ(ctl->state().ext, c.taken ? ext : cfg::Qd40ExtCfgData{}) << c.writer.toString();
        const cfg::ConstChansResCfg res(ctl->state().chansRes);
        EXPECT_EQ(res.resol(1), 6);
        EXPECT_EQ(res.resol(2), 6);
        EXPECT_EQ(res.resol(3), 6) << "no points: Auto";
        EXPECT_TRUE(ctl->isModified());
        EXPECT_EQ(notes.dataChanges, 1);
        EXPECT_EQ(notes.redraws, 1);
    }

    // A failed read gives control back and leaves the configuration as it was.
    const CtlState before = ctl->state();
    m->failures["GetEmailCfg"] = E_FAIL;
    m->log.clear();
    EXPECT_EQ(ctl->ReadCfg(), E_FAIL);
    EXPECT_EQ(m->log.back(), "Local");
    EXPECT_EQ(ctl->state(), before);
}

TEST_F(CtlLinkTest, ConfigurationIdentityCarriesTextsAsWindows1252) {
    open();
    ASSERT_EQ(ctl->SendCfgFileIdn(4321,
                                  "Four 20\xC2\xB0"
                                  "C"),
              S_OK)
        << error();
    EXPECT_EQ(m->log, (Log{"GetStatus", "GetStatus", "Remote", "SendRegs 45000 24", "Local"}));
    // "Four 20°C": the degree sign is the single byte 0xB0 at offset 26 + 7.
    EXPECT_EQ(m->registers[45000 + 16], 0xB030);

    uint32_t time = 0;
    std::string name;
    ASSERT_EQ(ctl->ReadCfgFileIdn(&time, &name), S_OK) << error();
    EXPECT_EQ(name,
              "Four 20\xC2\xB0"
              "C");
    EXPECT_EQ(time, 4321u);

    // A name longer than the field keeps its first 17 characters.
    ASSERT_EQ(ctl->SendCfgFileIdn(1, "abcdefghijklmnopqrstuvwxyz"), S_OK) << error();
    ASSERT_EQ(ctl->ReadCfgFileIdn(&time, &name), S_OK);
    EXPECT_EQ(name, "abcdefghijklmnopq");

    // An identity written by a newer control leaves the outputs as passed.
    m->registers[45000 + 11] = uint16_t(ownFileVersion().ls + 1);
    time = 99;
    name = "unchanged";
    m->log.clear();
    ASSERT_EQ(ctl->ReadCfgFileIdn(&time, &name), S_OK);
    EXPECT_EQ(name, "unchanged");
    EXPECT_EQ(time, 99u);
    EXPECT_EQ(m->log, (Log{"GetStatus", "Remote", "ReadRegs 45000 24 1", "Local"}));

    // Texts of the extension configuration and default units come out as UTF-8.
    cfg::Qd40ExtCfgData ext{};
    cfg::Qd40ExtCfg(ext).setChanUnit(4,
                                     "\xB0"
                                     "F");
    cfg::Qd40ExtCfg(ext).setChanMnemonic(4, "Caf\xE9");
    cfg::Qd40ExtCfg(ext).setModuleMnemonic("Four \xE0 pain");
    ASSERT_EQ(ctl->put_Qd40ExtCfg(cfg::packBlob(ext)), S_OK);
    std::string text;
    ASSERT_EQ(ctl->GetChanUnit(4, &text), S_OK);
    EXPECT_EQ(text,
              "\xC2\xB0"
              "F");
    ASSERT_EQ(ctl->GetChanMnemo(4, &text), S_OK);
    EXPECT_EQ(text, "Caf\xC3\xA9");
    ASSERT_EQ(ctl->GetQd40Mnemo(&text), S_OK);
    EXPECT_EQ(text, "Four \xC3\xA0 pain");
    ASSERT_EQ(ctl->GetRgeDefUnit(cfg::kFctTc, 0, &text), S_OK);
    EXPECT_EQ(text,
              "\xC2\xB0"
              "C");
}

TEST_F(CtlLinkTest, ReadSetupNameTakesControlOnlyForEarlyTestFirmware) {
    const std::pair<const char*, bool> cases[] = {
        {"Z.00", true}, {"Z.12", true}, {"Z.13", false}, {"B.05", false}, {"A.99", false}};
    for (const auto& [version, remote] : cases) {
        reset();
        open();
        m->devVersion = version;
        std::string name;
        ASSERT_EQ(ctl->ReadSetupName(&name), S_OK) << error();
        EXPECT_EQ(name, "Line 2");
        const Log expected =
            remote ? Log{"GetDevVersion", "GetStatus", "Remote", "ReadSetupName", "Local"}
                   : Log{"GetDevVersion", "ReadSetupName"};
        EXPECT_EQ(m->log, expected) << version;
    }
}

TEST_F(CtlLinkTest, ModuleOperationsCheckTheOpenFlagBeforeTheirArguments) {
    VariantBlob values, errors;
    float value = 0;
    int16_t code = 0;
    EXPECT_EQ(ctl->GetChans(30, 2, &values, &errors), E_UNEXPECTED);
    EXPECT_EQ(error(), "Communication not opened");
    EXPECT_EQ(ctl->GetChan(0, &value, &code), E_UNEXPECTED);
    EXPECT_EQ(ctl->MemRun(11), E_UNEXPECTED);
    EXPECT_EQ(ctl->RunWithOptMem(3), E_UNEXPECTED);

    open();
    EXPECT_EQ(ctl->GetChans(30, 2, &values, &errors), E_INVALIDARG);
    EXPECT_EQ(error(), "Channels Numbers must be in the range of 1 and 30");
    EXPECT_EQ(ctl->GetChan(31, &value, &code), E_INVALIDARG);
    ASSERT_EQ(ctl->GetChan(7, &value, &code), S_OK) << error();
    EXPECT_EQ(value, 7.5f);
    EXPECT_EQ(code, 7);
    EXPECT_EQ(m->log, (Log{"GetCyStatus"}));
}

TEST_F(CtlLinkTest, GetChansGivesTheValuesAndErrorsOfItsChannels) {
    open();
    VariantBlob values, errors;
    ASSERT_EQ(ctl->GetChans(5, 3, &values, &errors), S_OK) << error();
    EXPECT_EQ(values.vt, cfg::VT_ARRAY | cfg::VT_R4);
    EXPECT_EQ(errors.vt, cfg::VT_ARRAY | cfg::VT_I2);
    ASSERT_EQ(values.data.size(), 12u);
    ASSERT_EQ(errors.data.size(), 6u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(le::f32(values.data, 4 * size_t(i)), float(5 + i) + 0.5f) << i;
        EXPECT_EQ(le::i16(errors.data, 2 * size_t(i)), 5 + i) << i;
    }
    ASSERT_EQ(ctl->GetChans(30, 1, &values, &errors), S_OK) << error();
    EXPECT_EQ(le::f32(values.data, 0), 30.5f);
    EXPECT_EQ(m->log, (Log{"GetCyStatus", "GetCyStatus"}));
}

TEST_F(CtlLinkTest, EveryPutNotifiesAndALoadLeavesTheControlUnchanged) {
    const std::pair<const char*, std::function<HRESULT(OvixQd40Ctl&)>> puts[] = {
        {"Cfg", [](OvixQd40Ctl& c) { return c.put_Cfg(cfg::packBlob(cfg::defaultFullCfg())); }},
        {"ChansResCfg",
         [](OvixQd40Ctl& c) { return c.put_ChansResCfg(cfg::packBlob(cfg::ChansResCfgData{})); }},
        {"EmailCfg",
         [](OvixQd40Ctl& c) { return c.put_EmailCfg(cfg::packBlob(cfg::EmailCfgData{})); }},
        {"MemsStatusMaskCfg",
         [](OvixQd40Ctl& c) {
             return c.put_MemsStatusMaskCfg(cfg::packBlob(cfg::MemsStatusMaskCfgData{}));
         }},
        {"ChansExtCfg",
         [](OvixQd40Ctl& c) { return c.put_ChansExtCfg(cfg::packBlob(cfg::ChansExtCfgData{})); }},
        {"Qd40ExtCfg",
         [](OvixQd40Ctl& c) { return c.put_Qd40ExtCfg(cfg::packBlob(cfg::Qd40ExtCfgData{})); }},
        {"Serial", [](OvixQd40Ctl& c) { return c.put_Serial(0); }},
        {"IpAddr", [](OvixQd40Ctl& c) { return c.put_IpAddr("10.0.0.9"); }},
        {"Port", [](OvixQd40Ctl& c) { return c.put_Port(40000); }},
        {"OvixQd40SvrParams", [](OvixQd40Ctl& c) { return c.put_OvixQd40SvrParams(0); }},
        {"BaudRate", [](OvixQd40Ctl& c) { return c.put_BaudRate(115200); }},
        {"MbAddr", [](OvixQd40Ctl& c) { return c.put_MbAddr(255); }},
        {"SerialMode", [](OvixQd40Ctl& c) { return c.put_SerialMode(2); }},
    };
    PropertyBag saved;
    ctl->Save(saved);
    for (const auto& [name, put] : puts) {
        notes = {};
        ASSERT_EQ(put(*ctl), S_OK) << name;
        EXPECT_TRUE(ctl->isModified()) << name;
        EXPECT_EQ(notes.modified, 1) << name;
        EXPECT_EQ(notes.redraws, 1) << name;
        EXPECT_EQ(notes.dataChanges, 1) << name;
    }
    // A refused load keeps the state and its flag; a good one clears the flag.
    // The channel the pages show first is not persisted: a load sets it back to 1.
    ASSERT_EQ(ctl->put_DefEditChanNum(12), S_OK);
    PropertyBag broken = saved;
    broken.write("MbAddr", PropValue::i2(1));
    EXPECT_EQ(ctl->Load(broken).hr, E_INVALIDARG);
    EXPECT_TRUE(ctl->isModified());
    EXPECT_EQ(ctl->state().conn.mbAddr, 255);
    int16_t chan = 0;
    EXPECT_EQ(ctl->get_DefEditChanNum(&chan), S_OK);
    EXPECT_EQ(chan, 12);
    ASSERT_TRUE(ctl->Load(saved).isOk());
    EXPECT_FALSE(ctl->isModified());
    EXPECT_EQ(ctl->state(), CtlState::defaults());
    EXPECT_EQ(ctl->get_DefEditChanNum(&chan), S_OK);
    EXPECT_EQ(chan, 1);
}

}  // namespace
}  // namespace qd40::ctl
