// Every path from a client through activation, the daemon, the transport and
// qd40sim, over MODBUS/TCP and over the simulator's pseudo-terminal.
#include <gmock/gmock.h>

#include <chrono>
#include <fstream>
#include <future>
#include <thread>

#include "common/config/cfg_defaults.h"
#include "common/dates.h"
#include "common/le_bytes.h"
#include "server/qd40_ids.h"
#include "server/tests/e2e_fixture.h"
#include "server/transport/transport.h"

namespace qd40::server::testing {
namespace {

using qd40::testing::ServerProcess;
using qd40::testing::SimProcess;
using Clock = std::chrono::steady_clock;

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(svr.ok()) << svr.error();
        ASSERT_TRUE(sim.ok()) << sim.error();
        writeShortTimeouts();
        q = newClient();
        ASSERT_TRUE(q);
    }
    void openTcp(rpc::Qd40Client& c) {
        int32_t err = 0;
        ASSERT_EQ(c.OpenComm(sim.tcpAddress(), sim.tcpPort(), &err), S_OK)
            << c.lastError().description;
    }

    ServerProcess svr;
    SimProcess sim{simOptions()};
    std::unique_ptr<rpc::Qd40Client> q;
    int32_t err = 0;

    static SimProcess::Options simOptions() {
        SimProcess::Options o;
        o.args = {"--time-scale", "50"};
        return o;
    }
};

TEST_F(EndToEnd, IdentifiesTheModuleAndTakesRemoteControlOverTcp) {
    openTcp(*q);
    uint16_t id = 0;
    ASSERT_EQ(q->GetDevId(1, &id), S_OK) << q->lastError().description;
    EXPECT_EQ(id, 0xB052);
    std::string text;
    ASSERT_EQ(q->GetDevVersion(1, &text), S_OK);
    EXPECT_EQ(text, "B.05");
    ASSERT_EQ(q->GetDevFileVersion(1, &text), S_OK);
    EXPECT_EQ(text, "A.00");
    uint16_t status = 0;
    ASSERT_EQ(q->GetStatus(1, &status, &err), S_OK);
    EXPECT_EQ(status & 0xC000, 0);
    ASSERT_EQ(q->Remote(1, &err), S_OK) << q->lastError().description;
    ASSERT_EQ(q->GetStatus(1, &status, &err), S_OK);
    EXPECT_EQ(status & 0xC000, 0xC000);

    // Another master (another connection to the module) sees it held elsewhere.
    auto other = newClient();
    int32_t otherErr = 0;
    ASSERT_EQ(other->OpenComm("localhost", sim.tcpPort(), &otherErr), S_OK);
    EXPECT_EQ(other->Remote(1, &otherErr), E_FAIL);
    EXPECT_EQ(other->lastError().description,
              "The module is already controlled via its other Port");
    ASSERT_EQ(q->Local(1, &err), S_OK);
    EXPECT_EQ(other->Remote(1, &otherErr), S_OK);
}

TEST_F(EndToEnd, ModuleRefusalsAndExceptionsKeepTheirOwnMeaning) {
    openTcp(*q);
    EXPECT_EQ(q->SetGlobalCfg(1, 0, &err), hr(0x80041412));
    EXPECT_EQ(q->lastError().description, "QD40: The unit must be under Interface Control (18)");
    EXPECT_EQ(q->lastError().interfaceId, kIidIOvix);
    EXPECT_EQ(q->Run(1, &err), hr(0x80041412));
    EXPECT_EQ(q->lastError().interfaceId, kIidIUser);
    Variant regs;
    EXPECT_EQ(q->ReadRegs(1, 30000, 2, 1, &regs, &err), transport::kErrExceptionBase + 2);
    EXPECT_EQ(q->lastError().description, "MODBUS exception 2: illegal data address");
}

TEST_F(EndToEnd, DefaultConfigurationIsWrittenAndReadBackByteForByte) {
    openTcp(*q);
    ASSERT_EQ(q->Remote(1, &err), S_OK);
    ASSERT_EQ(q->Stop(1, &err), S_OK) << q->lastError().description;
    const auto cfg = cfg::defaultFullCfg();
    const Variant in = Variant::bytes(std::vector<uint8_t>(cfg.begin(), cfg.end()));
    ASSERT_EQ(q->SetFullCfg(1, &in, &err), S_OK) << q->lastError().description;
    Variant out;
    ASSERT_EQ(q->GetFullCfg(1, &out, &err), S_OK) << q->lastError().description;
    EXPECT_EQ(out.data, in.data);

    // The smaller images address the same registers.
    Variant chan;
    ASSERT_EQ(q->GetChanCfg(1, 30, &chan, &err), S_OK);
    EXPECT_TRUE(std::equal(chan.data.begin(), chan.data.end(), in.data.begin() + 12 + 144 * 29));
    Variant mem;
    ASSERT_EQ(q->GetMemCfg(1, 10, &mem, &err), S_OK);
    EXPECT_TRUE(std::equal(mem.data.begin(), mem.data.end(), in.data.begin() + 4332 + 32 * 9));

    std::vector<uint8_t> email(642, 0);
    const std::string text = "alerts@example.org";
    std::copy(text.begin(), text.end(), email.begin() + 128);
    le::setU16(email, 640, 0x0003);
    const Variant emailIn = Variant::bytes(email);
    ASSERT_EQ(q->SetEmailCfg(1, &emailIn, &err), S_OK) << q->lastError().description;
    Variant emailOut;
    ASSERT_EQ(q->GetEmailCfg(1, &emailOut, &err), S_OK);
    EXPECT_EQ(emailOut.data, email);

    const double date = toOleDate(DateTime{2031, 7, 14, 8, 30, 5, 0});
    ASSERT_EQ(q->SetDate(1, date, &err), S_OK) << q->lastError().description;
    double back = 0;
    ASSERT_EQ(q->GetDate(1, &back), S_OK);
    EXPECT_NEAR(back, date, 3.0 / 86400) << "the module clock runs on";
    ASSERT_EQ(q->Local(1, &err), S_OK);
}

TEST_F(EndToEnd, RecordsOfARunningAcquisitionAreReadRemovedAndCounted) {
    openTcp(*q);
    ASSERT_EQ(q->Remote(1, &err), S_OK);
    ASSERT_EQ(q->Run(1, &err), S_OK) << q->lastError().description;
    uint32_t count = 0;
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    while (count < 120 && Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ASSERT_EQ(q->GetMemRecCount(1, 1, &count, &err), S_OK);
    }
    ASSERT_GE(count, 120u);
    ASSERT_EQ(q->Stop(1, &err), S_OK);
    ASSERT_EQ(q->MemStop(1, 1, &err), S_OK) << q->lastError().description;
    ASSERT_EQ(q->GetMemRecCount(1, 1, &count, &err), S_OK);

    uint32_t got = 0;
    Variant records;
    ASSERT_EQ(q->GetMemRecords(1, 1, 1, 100, 1, &got, &records, &err), S_OK)
        << q->lastError().description;
    EXPECT_EQ(got, 100u);
    EXPECT_EQ(records.data.size(), 800u);
    uint32_t after = 0;
    ASSERT_EQ(q->GetMemRecCount(1, 1, &after, &err), S_OK);
    EXPECT_EQ(after, count - 100);
    ASSERT_EQ(q->MemRemove(1, 1, after, &err), S_OK);
    ASSERT_EQ(q->GetMemRecCount(1, 1, &after, &err), S_OK);
    EXPECT_EQ(after, 0u);
    // Reading an empty block is the module's refusal, with its own text.
    EXPECT_EQ(q->GetMemRecords(1, 1, 1, 10, 0, &got, &records, &err), hr(0x80041429));
    EXPECT_EQ(q->lastError().description, "QD40: Reading an empty Memory Bloc (41)");

    uint16_t events = 0;
    ASSERT_EQ(q->GetEvtCount(1, &events, &err), S_OK);
    ASSERT_GE(events, 1) << "the power-on event";
    uint16_t read = 0;
    Variant evts;
    ASSERT_EQ(q->GetEvts(1, events, &read, &evts, &err), S_OK);
    EXPECT_EQ(read, events);
    EXPECT_EQ(evts.data.size(), size_t(events) * 8);
}

TEST_F(EndToEnd, ABadChannelWordIsNormalisedOnReading) {
    const std::string state = sim.folder() + "/bad-channel.state";
    std::ofstream(state) << "holding 2300 00F9\nholding 2400 0051\n";
    SimProcess::Options o;
    o.stateFile = state;
    SimProcess planted(o);
    ASSERT_TRUE(planted.ok()) << planted.error();
    ASSERT_EQ(q->OpenComm(planted.tcpAddress(), planted.tcpPort(), &err), S_OK);
    Variant chan;
    ASSERT_EQ(q->GetChanCfg(1, 4, &chan, &err), S_OK);
    EXPECT_EQ(le::u16(chan.data, 0), 0x0000);
    ASSERT_EQ(q->GetChanCfg(1, 5, &chan, &err), S_OK);
    EXPECT_EQ(le::u16(chan.data, 0), 0x0001);
    Variant full;
    ASSERT_EQ(q->GetFullCfg(1, &full, &err), S_OK);
    EXPECT_EQ(le::u16(full.data, 12 + 144 * 3), 0x0000);
    Variant raw;
    ASSERT_EQ(q->ReadRegs(1, 2300, 1, 1, &raw, &err), S_OK);
    EXPECT_EQ(le::u16(raw.data, 0), 0x00F9) << "the module keeps what it holds";
}

TEST_F(EndToEnd, ASilentModuleGivesTheTimeOutWithinTheConfiguredBound) {
    openTcp(*q);
    ASSERT_TRUE(sim.setFaults("off 1\n"));
    uint16_t status = 0;
    const auto start = Clock::now();
    EXPECT_EQ(q->GetStatus(1, &status, &err), transport::kErrTimeout);
    const auto elapsed = Clock::now() - start;
    EXPECT_LT(elapsed, std::chrono::milliseconds(3000));
    EXPECT_GE(elapsed, std::chrono::milliseconds(450));
    ASSERT_TRUE(sim.setFaults(""));
    EXPECT_EQ(q->GetStatus(1, &status, &err), S_OK) << q->lastError().description;
}

// A module that does not answer holds up only the clients of its own line:
// the client of another module is served while a call to the silent one
// still waits for its time-out.
TEST(EndToEndLines, ASilentModuleHoldsUpOnlyItsOwnLine) {
    ServerProcess svr;
    ASSERT_TRUE(svr.ok()) << svr.error();
    platform::RegistryStore store;
    store.setDword(platform::Hive::LocalMachine, kCommunicationKey, "IpTimeOut", 3000);
    SimProcess healthy, silent;
    ASSERT_TRUE(healthy.ok() && silent.ok());
    auto served = newClient();
    ASSERT_TRUE(served);
    int32_t err = 0;
    ASSERT_EQ(served->OpenComm(healthy.tcpAddress(), healthy.tcpPort(), &err), S_OK);
    ASSERT_TRUE(silent.setFaults("off 1\n"));

    // A client is used on the thread that made it.
    std::promise<void> opened;
    auto silentCall = std::async(std::launch::async, [&] {
        auto waiting = newClient();
        int32_t e = 0;
        if (!waiting || failed(waiting->OpenComm(silent.tcpAddress(), silent.tcpPort(), &e))) {
            opened.set_value();
            return E_FAIL;
        }
        opened.set_value();
        uint16_t id = 0;
        return waiting->GetDevId(1, &id);
    });
    opened.get_future().wait();
    for (int i = 0; i < 20; ++i) {
        uint16_t id = 0;
        ASSERT_EQ(served->GetDevId(1, &id), S_OK) << served->lastError().description;
        EXPECT_EQ(id, 0xB052);
    }
    EXPECT_EQ(silentCall.wait_for(std::chrono::seconds(0)), std::future_status::timeout)
        << "the healthy module's client waited for the silent one's time-out";
    EXPECT_EQ(silentCall.get(), transport::kErrTimeout);
}

// Clients of one line take turns on it, a whole call at a time: two clients
// reading the same block at once each get every record, in order, as one
// client alone gets them.
TEST(EndToEndLines, ClientsOfOneLineTakeTurnsAWholeCallAtATime) {
    ServerProcess svr;
    ASSERT_TRUE(svr.ok()) << svr.error();
    SimProcess::Options o;
    o.args = {"--preload", "1:2000"};
    SimProcess sim(o);
    ASSERT_TRUE(sim.ok()) << sim.error();
    const auto readAll = [&](Variant& records) {
        auto q = newClient();  // a client is used on the thread that made it
        int32_t err = 0;
        uint32_t got = 0;
        if (!q || failed(q->OpenComm(sim.tcpAddress(), sim.tcpPort(), &err)))
            return E_FAIL;
        return q->GetMemRecords(1, 1, 1, 2000, 0, &got, &records, &err);
    };
    Variant alone, first, second;
    ASSERT_EQ(readAll(alone), S_OK);
    ASSERT_EQ(alone.data.size(), 2000u * 8);
    auto other = std::async(std::launch::async, [&] { return readAll(second); });
    EXPECT_EQ(readAll(first), S_OK);
    EXPECT_EQ(other.get(), S_OK);
    EXPECT_EQ(first.data, alone.data);
    EXPECT_EQ(second.data, alone.data);
}

// Every other method against the module, under remote control, with the
// values it reads back.
TEST_F(EndToEnd, EveryOtherMethodReachesTheModule) {
    openTcp(*q);
    ASSERT_EQ(q->Remote(1, &err), S_OK);
    ASSERT_EQ(q->Stop(1, &err), S_OK);
    auto ok = [&](HRESULT h, const char* what) {
        EXPECT_EQ(h, S_OK) << what << ": " << q->lastError().description;
    };
    Variant v, back;
    uint16_t w = 0;
    ok(q->GetAcqCfg(1, &v, &err), "GetAcqCfg");
    ok(q->SetAcqCfg(1, &v, &err), "SetAcqCfg");
    ok(q->GetChanCfg(1, 2, &v, &err), "GetChanCfg");
    ok(q->SetChanCfg(1, 2, &v, &err), "SetChanCfg");
    ok(q->GetMemCfg(1, 3, &v, &err), "GetMemCfg");
    ok(q->SetMemCfg(1, 3, &v, &err), "SetMemCfg");
    ok(q->GetChansRes(1, &v, &err), "GetChansRes");
    ok(q->SetChansRes(1, &v, &err), "SetChansRes");
    ok(q->SetChanRes(1, 7, 0x0102, &err), "SetChanRes");
    ok(q->GetChanRes(1, 7, &w, &err), "GetChanRes");
    EXPECT_EQ(w, 0x0102);
    const Variant mask = Variant::bytes({0x0F, 0, 0, 0, 0x03, 0, 0, 0});
    ok(q->SetMemsStatusMask(1, &mask, &err), "SetMemsStatusMask");
    ok(q->GetMemsStatusMask(1, &back, &err), "GetMemsStatusMask");
    EXPECT_EQ(back.data, mask.data);
    ok(q->GetMemsStatus(1, &v, &err), "GetMemsStatus");
    EXPECT_EQ(v.data.size(), 8u);
    ok(q->GetCyStatus(1, &v, &err), "GetCyStatus");
    EXPECT_EQ(v.data.size(), 210u);
    ok(q->GetChansDelays(1, &v, &err), "GetChansDelays");
    EXPECT_EQ(v.data.size(), 60u);
    ok(q->SetSentEmailCount(1, 7, &err), "SetSentEmailCount");
    ok(q->GetSentEmailCount(1, &w, &err), "GetSentEmailCount");
    EXPECT_EQ(w, 7);
    ok(q->SendRegs(1, 5260, 4, Variant::words(std::vector<uint16_t>{1, 2, 3, 4}), &err),
       "SendRegs");
    ok(q->ReadRegs(1, 5260, 4, 1, &back, &err), "ReadRegs");
    EXPECT_EQ(back, Variant::words(std::vector<uint16_t>{1, 2, 3, 4}));
    int32_t ret = 0;
    ok(q->PresetMultipleRegisters(1, 5260, 2, Variant::words(std::vector<uint16_t>{9, 8}), -1,
                                  &ret),
       "PresetMultipleRegisters");
    ok(q->PresetSingleRegister(1, 5262, 6, -1, &ret), "PresetSingleRegister");
    ok(q->ReadOutputRegisters(1, 5260, 3, &back, 2, -1, &ret), "ReadOutputRegisters");
    EXPECT_EQ(back, Variant::words(std::vector<uint16_t>{9, 8, 6}));
    ok(q->ReadInputRegisters(1, 1019, 1, &back, 18, -1, &ret), "ReadInputRegisters");
    EXPECT_EQ(back, Variant::words(std::vector<uint16_t>{0xB052}, 18));
    ok(q->ReadOutputStatus(1, 18, 2, &back, &ret), "ReadOutputStatus");
    EXPECT_EQ(back.data.size(), 4u);
    ok(q->ReadInputStatus(1, 18, 2, &back, &ret), "ReadInputStatus");

    // Commands, plain and single-register forms.
    ok(q->MemClear(1, 1, &err), "MemClear");
    ok(q->MemRun(1, 1, &err), "MemRun");
    ok(q->MemTrig(1, 1, &err), "MemTrig");
    ok(q->MemStore(1, 1, &err), "MemStore");
    ok(q->MemStop(1, 1, &err), "MemStop");
    ok(q->RunWithOptMem(1, 2, &err), "RunWithOptMem");
    ok(q->Trig(1, &err), "Trig");
    ok(q->Stop(1, &err), "Stop");
    ok(q->ReInitEmailAlerter(1, &err), "ReInitEmailAlerter");
    ok(q->SetLongFormatDefault(1, &err), "SetLongFormatDefault");
    std::string name = "x";
    ok(q->ReadSetupName(1, &name), "ReadSetupName");
    ok(q->ClrEvts(1, &err), "ClrEvts");
    const Variant count = Variant::words(std::vector<uint16_t>{19, 0});
    Variant answer;
    ok(q->SendCmd(1, &count, 1, &answer, &err), "SendCmd");
    ASSERT_GE(answer.data.size(), 6u);
    EXPECT_EQ(le::u16(answer.data, 0), 19);
    EXPECT_EQ(le::u16(answer.data, 2), 1) << "one answer word";
    uint16_t events = 9;
    ok(q->GetEvtCount(1, &events, &err), "GetEvtCount");
    EXPECT_EQ(events, le::u16(answer.data, 4));
    ok(q->MemRemove(1, 1, 0, &err), "MemRemove");
    ok(q->SetSetupDefault(1, &err), "SetSetupDefault");
    ok(q->Local(1, &err), "Local");
}

TEST_F(EndToEnd, RelaysObeyTheModulesGlobalWord) {
    openTcp(*q);
    ASSERT_EQ(q->Remote(1, &err), S_OK);
    // The factory global word keeps the relays to the alarms: the module refuses.
    EXPECT_EQ(q->SetRel(1, 1, 1, &err), hr(0x80041415));
    EXPECT_EQ(q->lastError().description,
              "QD40: The main config. is not set to control the relay via Modbus (21)");
    int32_t ret = 0;
    EXPECT_EQ(q->ForceSingleCoil(1, 19, -1, &ret), hr(0x80041415));
    const Variant coils{uint16_t(VT_ARRAY | VT_BOOL), {0xFF, 0xFF, 0, 0}};
    EXPECT_EQ(q->ForceMultipleCoils(1, 18, 2, coils, &ret), hr(0x80041415));
    int32_t on = 5;
    ASSERT_EQ(q->GetRel(1, 2, &on), S_OK);
    EXPECT_EQ(on, 0);
}

TEST_F(EndToEnd, ATcpConnectionClosedByTheModuleIsOpenedAgain) {
    openTcp(*q);
    ASSERT_TRUE(sim.setFaults("close_after 2\n"));
    uint16_t status = 0;
    for (int i = 0; i < 7; ++i)
        ASSERT_EQ(q->GetStatus(1, &status, &err), S_OK) << i << ": " << q->lastError().description;
}

class EndToEndSerial : public ::testing::TestWithParam<bool> {};

// The same module over the pseudo-terminal, with and without an echoing line;
// AutoCheck cabling finds out which.
TEST_P(EndToEndSerial, AutoCheckFindsTheEchoAndServesEveryRequest) {
    const bool echo = GetParam();
    ServerProcess svr;
    ASSERT_TRUE(svr.ok()) << svr.error();
    SimProcess::Options o;
    o.rtu = true;
    if (echo)
        o.args = {"--echo"};
    SimProcess sim(o);
    ASSERT_TRUE(sim.ok()) << sim.error();
    writeShortTimeouts();
    ASSERT_TRUE(svr.setPortDevice(2, sim.rtuPath()));
    auto q = newClient();
    ASSERT_TRUE(q);
    int32_t err = 0;
    EXPECT_EQ(q->OpenComm("", 2, &err), E_FAIL) << "COM2 not yet available";
    ASSERT_EQ(q->PutAvailableComX(2, 1), S_OK);
    ASSERT_EQ(q->PutBaudRateComX(2, 115200), S_OK);
    ASSERT_EQ(q->OpenComm("", 2, &err), S_OK) << q->lastError().description;
    // A single-register write first: its answer repeats the request, so only
    // a following frame tells an echo apart.
    ASSERT_EQ(q->Local(1, &err), S_OK) << q->lastError().description;
    uint16_t id = 0;
    ASSERT_EQ(q->GetDevId(1, &id), S_OK) << q->lastError().description;
    EXPECT_EQ(id, 0xB052);
    int32_t half = -5;
    ASSERT_EQ(q->CommIsHalfDuplex(&half), S_OK);
    EXPECT_EQ(half, echo ? 1 : 0);
    ASSERT_EQ(q->Remote(1, &err), S_OK) << q->lastError().description;
    ASSERT_EQ(q->Stop(1, &err), S_OK) << q->lastError().description;
    Variant full;
    ASSERT_EQ(q->GetFullCfg(1, &full, &err), S_OK) << q->lastError().description;
    ASSERT_EQ(q->SetFullCfg(1, &full, &err), S_OK) << q->lastError().description;

    // A second object selecting COM2 joins the open line.
    auto other = newClient();
    ASSERT_EQ(other->OpenComm("", 2, &err), S_OK) << other->lastError().description;
    EXPECT_EQ(other->Remote(1, &err), E_FAIL);
    EXPECT_EQ(other->lastError().description,
              "The module is already controlled by another Client on this Port");
    ASSERT_EQ(q->CloseComm(&err), S_OK);
    ASSERT_EQ(other->GetDevId(1, &id), S_OK) << "the line stays open for its other user";
    ASSERT_EQ(other->Remote(1, &err), S_OK) << other->lastError().description;
    ASSERT_EQ(other->Local(1, &err), S_OK);
}

TEST(EndToEndSerialFaults, SilenceAndCorruptFramesEndWithinRetriesAndTimeOuts) {
    ServerProcess svr;
    ASSERT_TRUE(svr.ok()) << svr.error();
    SimProcess::Options o;
    o.tcp = false;
    o.rtu = true;
    SimProcess sim(o);
    ASSERT_TRUE(sim.ok()) << sim.error();
    writeShortTimeouts();  // 1 retry, 300 ms
    ASSERT_TRUE(svr.setPortDevice(1, sim.rtuPath()));
    auto q = newClient();
    ASSERT_TRUE(q);
    int32_t err = 0;
    ASSERT_EQ(q->PutAvailableComX(1, 1), S_OK);
    ASSERT_EQ(q->OpenComm("", 1, &err), S_OK) << q->lastError().description;
    struct Case {
        const char* faults;
        HRESULT hr;
    };
    // The identity read is input register 1019; the line retries once.
    for (const Case& c : {Case{"off 1\n", transport::kErrTimeout},
                          Case{"bad_crc_at R4 1019\n", transport::kErrBadFrame},
                          Case{"wrong_slave_at R4 1019\n", transport::kErrBadFrame},
                          Case{"first_only drop_at R4 1019\n", S_OK},
                          Case{"first_only bad_crc_at R4 1019\n", S_OK}}) {
        SCOPED_TRACE(c.faults);
        ASSERT_TRUE(sim.setFaults(c.faults));
        uint16_t id = 0;
        const auto start = Clock::now();
        EXPECT_EQ(q->GetDevId(1, &id), c.hr) << q->lastError().description;
        EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(2000));
    }
    ASSERT_TRUE(sim.setFaults(""));
    uint16_t id = 0;
    EXPECT_EQ(q->GetDevId(1, &id), S_OK) << q->lastError().description;
}

TEST(EndToEndSerialCabling, FixedCablingTrustsTheSettingOverTheLine) {
    ServerProcess svr;
    ASSERT_TRUE(svr.ok()) << svr.error();
    SimProcess::Options o;
    o.tcp = false;
    o.rtu = true;
    o.args = {"--echo"};
    SimProcess sim(o);
    ASSERT_TRUE(sim.ok()) << sim.error();
    writeShortTimeouts();
    ASSERT_TRUE(svr.setPortDevice(1, sim.rtuPath()));
    auto q = newClient();
    ASSERT_TRUE(q);
    int32_t err = 0, half = 0;
    ASSERT_EQ(q->PutAvailableComX(1, 1), S_OK);
    ASSERT_EQ(q->PutHalfDuplexComX(1, 1), S_OK);  // two wires: the echo is dropped
    ASSERT_EQ(q->OpenComm("", 1, &err), S_OK);
    ASSERT_EQ(q->CommIsHalfDuplex(&half), S_OK);
    EXPECT_EQ(half, 1);
    uint16_t id = 0;
    EXPECT_EQ(q->GetDevId(1, &id), S_OK) << q->lastError().description;
    ASSERT_EQ(q->CloseComm(&err), S_OK);

    ASSERT_EQ(q->PutHalfDuplexComX(1, 0), S_OK);  // four wires: the echo is taken as the answer
    ASSERT_EQ(q->OpenComm("", 1, &err), S_OK);
    ASSERT_EQ(q->CommIsHalfDuplex(&half), S_OK);
    EXPECT_EQ(half, 0);
    EXPECT_EQ(q->GetDevId(1, &id), transport::kErrBadFrame) << q->lastError().description;
}

INSTANTIATE_TEST_SUITE_P(Line, EndToEndSerial, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Echo" : "NoEcho"; });

}  // namespace
}  // namespace qd40::server::testing
