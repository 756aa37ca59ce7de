// The Qd40 object's channel, port properties, remote control and error
// reporting, over the scripted fake transport.
#include <gmock/gmock.h>

#include <cstdlib>

#include "server/qd40_errors.h"
#include "server/qd40_ids.h"
#include "server/tests/qd40_fixture.h"

namespace qd40::server::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

using ChannelTest = Qd40Fixture;

TEST_F(ChannelTest, SerialOpenWritesTheSettingsInOrderAndTakesALock) {
    ports.port(3).baudRate = 9600;
    ports.port(3).eofCharQty = 4;
    ports.port(3).halfDuplex = 1;
    ports.port(3).halfDuplexPause = 7;
    ports.retries = 3;
    ports.rsTimeOut = 800;
    Qd40 q(context);
    EXPECT_EQ(life.count(), 1);
    int32_t err = 0;
    ASSERT_EQ(q.OpenComm("", 3, &err), S_OK);
    EXPECT_EQ(err, -1);
    EXPECT_THAT(
        module.log,
        ElementsAre("SelectChannel COM3 1", "HostAddress ", "PortNumber 3", "BaudRate 9600",
                    "Parity 0", "StopBits 0", "EofTimeOut 19", "FlowControl 0", "CharacterSize 8",
                    "Dtr 0", "ChannelEnabled -1", "Cabling 1", "Retries 3", "AnswerTimeOut 800",
                    "Rts 0", "HalfDuplexPause 7", "Connect"));
    EXPECT_EQ(life.count(), 2);
    int32_t open = 0;
    EXPECT_EQ(q.CommIsOpen(&open), S_OK);
    EXPECT_EQ(open, 1);

    ASSERT_EQ(q.CloseComm(&err), S_OK);
    EXPECT_EQ(err, 0);
    EXPECT_EQ(life.count(), 1);
    EXPECT_EQ(q.CommIsOpen(&open), S_OK);
    EXPECT_EQ(open, 0);
    // Closing a closed object changes nothing.
    err = 5;
    EXPECT_EQ(q.CloseComm(&err), S_OK);
    EXPECT_EQ(err, 0);
    EXPECT_EQ(life.count(), 1);
}

TEST_F(ChannelTest, EndOfFrameTimeOutFollowsRateAndCharacters) {
    EXPECT_EQ(PortSettingsTable::endOfFrameMs(4, 9600), 19u);
    EXPECT_EQ(PortSettingsTable::endOfFrameMs(4, 115200), 15u);
    EXPECT_EQ(PortSettingsTable::endOfFrameMs(10, 19200), 20u);   // 20.2
    EXPECT_EQ(PortSettingsTable::endOfFrameMs(255, 9600), 281u);  // 280.6
}

TEST_F(ChannelTest, TcpOpenPassesAddressAndAnyPort) {
    ports.ipTimeOut = 1234;
    Qd40 q(context);
    int32_t err = 0;
    ASSERT_EQ(q.OpenComm("10.1.2.3", 70000, &err), S_OK);
    EXPECT_THAT(module.log,
                ElementsAre("SelectChannel 10.1.2.3:70000 2", "HostAddress 10.1.2.3",
                            "TcpPort 70000", "AnswerTimeOut 1234", "ChannelEnabled -1", "Connect"));
    int32_t half = 7;
    module.halfDuplexActive = -1;
    EXPECT_EQ(q.CommIsHalfDuplex(&half), S_OK);
    EXPECT_EQ(half, 0) << "a TCP channel is never half duplex";
}

TEST_F(ChannelTest, ChannelAlreadyOpenIsJoinedWithoutSettings) {
    module.channelAlreadyOpen = true;
    Qd40 q(context);
    int32_t err = 0;
    ASSERT_EQ(q.OpenComm("", 2, &err), S_OK);
    EXPECT_THAT(module.log, ElementsAre("SelectChannel COM2 1"));
    EXPECT_EQ(life.count(), 2);
}

struct OpenFailure {
    const char* name;
    std::string address;
    int port;
    std::function<void(FakeModule&, PortSettingsTable&)> arrange;
    HRESULT hr;
    std::string description;
};

TEST_F(ChannelTest, OpenFailuresLeaveTheObjectClosed) {
    const std::vector<OpenFailure> cases = {
        {"port 0", "", 0, {}, E_INVALIDARG, "Invalid Port"},
        {"port 9", "", 9, {}, E_INVALIDARG, "Invalid Port"},
        {"not available", "", 4, [](FakeModule&, PortSettingsTable& p) { p.port(4).available = 0; },
         E_FAIL, "Unable to access this Port.\nIt must be first configured"},
        {"serial connect 0", "", 1, [](FakeModule& m, PortSettingsTable&) { m.connectResult = 0; },
         E_FAIL, "Unable to open Local Serial Port"},
        {"serial transport failure", "", 1,
         [](FakeModule& m, PortSettingsTable&) {
             m.failures["BaudRate"] = Status::failure(transport::kErrInvalidArg, "bad rate");
         },
         E_FAIL, "Unable to open Local Serial Port (bad rate)"},
        {"tcp connect 0", "host", 502,
         [](FakeModule& m, PortSettingsTable&) { m.connectResult = 0; }, E_FAIL,
         "Unable to open IP Port"},
        {"tcp transport failure", "host", 502,
         [](FakeModule& m, PortSettingsTable&) {
             m.failures["Connect"] = Status::failure(transport::kErrConnect, "refused");
         },
         E_FAIL, "Unable to open IP Port (refused)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeModule m;
        PortSettingsTable p;
        for (int n = 1; n <= kPortCount; ++n)
            p.port(n).available = 1;
        if (c.arrange)
            c.arrange(m, p);
        ServerLife l;
        Qd40Context ctx{p, l, m.factory()};
        Qd40 q(ctx);
        int32_t err = 0;
        EXPECT_EQ(q.OpenComm(c.address, c.port, &err), c.hr);
        EXPECT_EQ(q.lastError().description, c.description);
        EXPECT_EQ(q.lastError().source, "OvixQd40Svr.Qd40.1");
        EXPECT_EQ(q.lastError().interfaceId, kIidIUser);
        int32_t open = 1;
        q.CommIsOpen(&open);
        EXPECT_EQ(open, 0);
        EXPECT_EQ(l.count(), 1) << "no channel lock after a failed open";
        EXPECT_EQ(m.transportsAlive, 0);
    }
}

TEST_F(ChannelTest, MissingTransportAndPointersAreReported) {
    Qd40Context ctx{ports, life, [] { return std::unique_ptr<transport::Transport>(); }};
    Qd40 q(ctx);
    int32_t err = 0;
    EXPECT_EQ(q.OpenComm("", 1, &err), E_FAIL);
    EXPECT_EQ(q.lastError().description, "Unable to access OvixModbusServer");
    EXPECT_EQ(q.OpenComm("", 1, nullptr), E_POINTER);
    EXPECT_EQ(q.lastError().description, "Invalid Pointer");
    EXPECT_EQ(q.GetBinVersion(nullptr, nullptr), E_POINTER);
    uint32_t ms = 0;
    EXPECT_EQ(q.GetBinVersion(&ms, nullptr), S_OK);
    EXPECT_EQ(ms, (2u << 16) | 10u);
}

TEST_F(ChannelTest, RequestsOnAClosedObjectFailWithPortNotOpened) {
    Qd40 q(context);
    uint16_t id = 1;
    EXPECT_EQ(q.GetDevId(1, &id), E_FAIL);
    EXPECT_EQ(q.lastError().description, "Port Not Opened");
    std::string version = "x";
    EXPECT_EQ(q.GetDevVersion(1, &version), E_FAIL);
    EXPECT_EQ(version, "");
    int32_t err = 0;
    Variant cfg;
    EXPECT_EQ(q.GetFullCfg(1, &cfg, &err), E_FAIL);
    EXPECT_EQ(q.lastError().interfaceId, kIidIOvix);
    EXPECT_THAT(module.log, IsEmpty());
}

TEST_F(ChannelTest, SecondOpenClosesTheFirstChannel) {
    Qd40 q(context);
    openSerial(q, 3);
    int32_t err = 0;
    ASSERT_EQ(q.OpenComm("", 4, &err), S_OK);
    EXPECT_EQ(module.log.front(), "CloseChannel");
    EXPECT_EQ(module.transportsAlive, 1);
    EXPECT_EQ(life.count(), 2);
}

TEST_F(ChannelTest, ReleasingTheObjectGivesBackChannelLockAndMutex) {
    {
        Qd40 q(context);
        openSerial(q, 3);
        int32_t err = 0;
        ASSERT_EQ(q.Remote(17, &err), S_OK);
        EXPECT_EQ(life.count(), 2);
        module.log.clear();
    }
    EXPECT_THAT(module.requests(), ElementsAre("W6 44000 5"))
        << "a module held by a released object gets its control back";
    EXPECT_EQ(life.count(), 0);
    EXPECT_EQ(module.transportsAlive, 0);
    auto again = platform::NamedMutex::create(mutexDir, "Qd40MutexCom03@017");
    EXPECT_EQ(again.outcome, platform::NamedMutex::Outcome::Created);
}

TEST_F(ChannelTest, RemoteChecksStatusBitsAndHoldsTheNamedMutex) {
    struct Case {
        uint16_t status;
        HRESULT hr;
    };
    for (const Case& c : {Case{0x4000, E_FAIL}, Case{0xC000, S_OK}, Case{0x0000, S_OK}}) {
        SCOPED_TRACE(c.status);
        module.holding[6000] = c.status;
        Qd40 q(context);
        openSerial(q, 3);
        int32_t err = 0;
        EXPECT_EQ(q.Remote(17, &err), c.hr);
        if (c.hr == S_OK) {
            EXPECT_THAT(module.requests(), ElementsAre("R3 6000 1", "W6 44000 3"));
            EXPECT_EQ(platform::NamedMutex::create(mutexDir, "Qd40MutexCom03@017").outcome,
                      platform::NamedMutex::Outcome::AlreadyExists);
        } else {
            EXPECT_EQ(q.lastError().description,
                      "The module is already controlled via its other Port");
            EXPECT_THAT(module.requests(), ElementsAre("R3 6000 1"));
        }
        EXPECT_EQ(q.Local(17, &err), S_OK);
    }
}

TEST_F(ChannelTest, SecondRemoteOnTheSameModuleIsRefusedUntilLocal) {
    Qd40 first(context), second(context);
    openSerial(first, 3);
    openSerial(second, 3);
    int32_t err = 0;
    ASSERT_EQ(first.Remote(17, &err), S_OK);
    EXPECT_EQ(first.Remote(17, &err), E_FAIL) << "the object's own second creation";
    EXPECT_EQ(first.lastError().description,
              "The module is already controlled by another Client on this Port");
    EXPECT_EQ(second.Remote(17, &err), E_FAIL);
    EXPECT_EQ(second.Remote(18, &err), S_OK) << "another module address";
    ASSERT_EQ(first.Local(17, &err), S_OK);
    EXPECT_EQ(second.Remote(17, &err), S_OK);
}

TEST_F(ChannelTest, EachModuleOfALineKeepsItsOwnMarkUntilItsLocal) {
    Qd40 first(context), second(context);
    openSerial(first, 3);
    openSerial(second, 3);
    int32_t err = 0;
    ASSERT_EQ(first.Remote(17, &err), S_OK);
    ASSERT_EQ(first.Remote(18, &err), S_OK);
    EXPECT_EQ(second.Remote(17, &err), E_FAIL) << "taking module 18 keeps module 17 held";
    ASSERT_EQ(first.Local(18, &err), S_OK);
    EXPECT_EQ(second.Remote(17, &err), E_FAIL) << "giving back module 18 keeps module 17 held";
    EXPECT_EQ(second.Remote(18, &err), S_OK);
    ASSERT_EQ(first.Local(17, &err), S_OK);
    EXPECT_EQ(second.Remote(17, &err), S_OK);
}

TEST_F(ChannelTest, LocalWithoutRemoteSendsCommandFiveAndTcpHoldsAMarkToo) {
    Qd40 q(context), other(context);
    openTcp(q);
    openTcp(other);
    int32_t err = 0;
    ASSERT_EQ(q.Local(1, &err), S_OK);
    EXPECT_THAT(module.requests(), ElementsAre("W6 44000 5"));
    EXPECT_EQ(q.Remote(1, &err), S_OK);
    // Both objects reach the module through the daemon's one connection.
    EXPECT_EQ(other.Remote(1, &err), E_FAIL);
    EXPECT_EQ(other.lastError().description,
              "The module is already controlled by another Client on this Port");
    ASSERT_EQ(q.Local(1, &err), S_OK);
    EXPECT_EQ(other.Remote(1, &err), S_OK);
}

TEST_F(ChannelTest, CommIsHalfDuplexFollowsTheTransportOnSerial) {
    Qd40 q(context);
    openSerial(q, 2);
    int32_t half = 0;
    module.halfDuplexActive = -1;
    EXPECT_EQ(q.CommIsHalfDuplex(&half), S_OK);
    EXPECT_EQ(half, 1);
    module.halfDuplexActive = 0;
    EXPECT_EQ(q.CommIsHalfDuplex(&half), S_OK);
    EXPECT_EQ(half, 0);
}

TEST_F(ChannelTest, RefusedWriteCarriesTheModuleErrorThroughEitherInterface) {
    Qd40 q(context);
    openSerial(q);
    module.refuseWritesWith = 41;
    int32_t err = 0;
    EXPECT_EQ(q.Run(1, &err), hr(0x80041429));
    EXPECT_EQ(q.lastError().description, "QD40: Reading an empty Memory Bloc (41)");
    EXPECT_EQ(q.lastError().interfaceId, kIidIUser);
    EXPECT_THAT(module.requests(), ElementsAre("W6 44000 1", "R4 44198 1"));

    EXPECT_EQ(q.SetGlobalCfg(1, 0, &err), hr(0x80041429));
    EXPECT_EQ(q.lastError().interfaceId, kIidIOvix);

    module.refuseWritesWith = 64;
    EXPECT_EQ(q.Stop(1, &err), hr(0x80041440));
    EXPECT_EQ(q.lastError().description, "QD40: Unknown Error (64)");
    module.refuseWritesWith = 58;
    EXPECT_EQ(q.Stop(1, &err), hr(0x8004143A));
    EXPECT_EQ(q.lastError().description, "QD40: TCP/IP Stack Initialization Error (58)");
}

TEST_F(ChannelTest, ReadFailuresAndOtherExceptionsKeepTheTransportError) {
    Qd40 q(context);
    openSerial(q);
    module.failures["R3 6000"] = transport::exceptionStatus(4, false);
    module.failures["W6 44000"] = transport::exceptionStatus(2, true);
    uint16_t status = 0;
    int32_t err = 0;
    EXPECT_EQ(q.GetStatus(1, &status, &err), transport::kErrExceptionBase + 4);
    EXPECT_EQ(q.lastError().description, "MODBUS exception 4: slave device failure");
    EXPECT_EQ(q.Run(1, &err), transport::kErrExceptionBase + 2);
    EXPECT_EQ(q.lastError().description, "MODBUS exception 2: illegal data address");
    EXPECT_THAT(module.requests(), ElementsAre("R3 6000 1", "W6 44000 1"));
}

TEST_F(ChannelTest, DescriptionsFollowTheLanguage) {
    const char* saved = std::getenv("LC_ALL");
    ::setenv("LC_ALL", "fr_FR.UTF-8", 1);
    Qd40 q(context);
    int32_t err = 0;
    q.OpenComm("", 0, &err);
    const std::string french = q.lastError().description;
    ::setenv("LC_ALL", saved ? saved : "C", 1);
    EXPECT_EQ(french, "Port incorrect");
    EXPECT_EQ(messageText(9999), "Unknown Error");
    EXPECT_EQ(reportError("x", S_OK, kIidIUser).hr, DISP_E_EXCEPTION);
}

TEST_F(ChannelTest, PortPropertiesCheckPortAndRate) {
    Qd40 q(context);
    EXPECT_EQ(q.PutBaudRateComX(9, 9600), E_INVALIDARG);
    EXPECT_EQ(q.lastError().description, "Invalid Port");
    ASSERT_EQ(q.PutBaudRateComX(2, 19200), S_OK);
    EXPECT_EQ(q.PutBaudRateComX(2, 14400), E_INVALIDARG);
    EXPECT_EQ(q.lastError().description, "Invalid BaudRate");
    uint32_t rate = 0;
    ASSERT_EQ(q.GetBaudRateComX(2, &rate), S_OK);
    EXPECT_EQ(rate, 19200u);
    EXPECT_EQ(q.PutAvailableComX(0, 1), E_INVALIDARG);
    ASSERT_EQ(q.PutEofCharQtyComX(8, 9), S_OK);
    uint8_t eof = 0;
    ASSERT_EQ(q.GetEofCharQtyComX(8, &eof), S_OK);
    EXPECT_EQ(eof, 9);
    std::string version;
    ASSERT_EQ(q.Version(&version), S_OK);
    EXPECT_EQ(version, "B.10");
}

}  // namespace
}  // namespace qd40::server::testing
