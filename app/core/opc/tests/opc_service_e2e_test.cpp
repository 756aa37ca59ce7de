// The OPC service of a document whose module is qd40sim, published through
// the node-opcua process, seen by a node-opcua client of its own
// (opc_client.js): browsing, channel values following the module's cycles,
// a relay written from the client, the client counted, and the process
// killed during the service coming back with its tags.
#include <modbus.h>

#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "app/core/opc/opc_service.h"
#include "app/core/opc/sidecar_toolkit.h"
#include "app/core/tests/doc_test_support.h"
#include "common/config/cfg_layout.h"
#include "common/module_registers.h"
#include "control/ctl/daemon_factory.h"
#include "server/port_settings.h"
#include "testing/server_process.h"
#include "testing/sim_process.h"

// Qt last: its "signals" keyword would stand for a member name above.
#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "app/core/opc/tests/node_script.h"

namespace qd40::app::opc {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const std::string kSidecar = QD40_OPC_SIDECAR_DIR;
const std::string kClientScript = QD40_OPC_TEST_DIR "/opc_client.js";

// Runs the event loop until pred holds or the time is up.
template <class Pred>
bool pumpUntil(Pred pred, std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    while (!pred()) {
        if (Clock::now() > deadline)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

// The client script; its messages are JSON lines.
class ClientScript : public nodejs::NodeScript {
public:
    explicit ClientScript(std::vector<std::string> args)
        : NodeScript(withScript(std::move(args))) {}
    // The next message with that event, the loop running meanwhile.
    std::optional<QJsonObject> waitFor(const std::string& event, std::chrono::milliseconds limit) {
        const auto deadline = Clock::now() + limit;
        while (auto l = line(std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                                   Clock::now()))) {
            const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(*l)).object();
            if (o.value("event").toString().toStdString() == event)
                return o;
        }
        return std::nullopt;
    }
    void finish() { write("done\n"); }

private:
    static std::vector<std::string> withScript(std::vector<std::string> args) {
        args.insert(args.begin(), kClientScript);
        return args;
    }
};

std::vector<std::string> names(const QJsonObject& browsed) {
    std::vector<std::string> out;
    for (const auto& v : browsed.value("tags").toArray())
        out.push_back(v.toString().toStdString());
    std::sort(out.begin(), out.end());
    return out;
}

QJsonObject tagIn(const QJsonObject& read, const std::string& name) {
    for (const auto& v : read.value("tags").toArray())
        if (v.toObject().value("name").toString().toStdString() == name)
            return v.toObject();
    return {};
}

class OpcServiceE2eTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "opc_service_e2e_tests";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance())
            new QCoreApplication(argc, argv);
    }
    // Coil of relay 1, read from the simulator by plain MODBUS/TCP.
    std::optional<bool> simRelay1() {
        modbus_t* ctx = modbus_new_tcp("127.0.0.1", sim->tcpPort());
        if (!ctx)
            return std::nullopt;
        std::optional<bool> result;
        uint8_t bit = 0;
        if (modbus_connect(ctx) == 0 &&
            modbus_read_bits(ctx, module::reg::kRelay1Coil, 1, &bit) == 1)
            result = bit != 0;
        modbus_close(ctx);
        modbus_free(ctx);
        return result;
    }

    qd40::testing::ServerProcess svr;
    std::unique_ptr<qd40::testing::SimProcess> sim;
    testing::ScriptedPrompter prompter;
    testing::RecordingSession session;
};

TEST_F(OpcServiceE2eTest, AClientBrowsesReadsWritesARelayAndOutlivesTheProcess) {
    sim = std::make_unique<qd40::testing::SimProcess>();
    ASSERT_TRUE(sim->ok()) << sim->error();
    ASSERT_TRUE(svr.ok()) << svr.error();
    // A silent module fails a request within half a second.
    platform::RegistryStore(svr.registryDir())
        .setDword(platform::Hive::LocalMachine, server::kCommunicationKey, "IpTimeOut", 500);
    const std::filesystem::path folder = std::filesystem::path(svr.runtimeDir()) / "files";
    std::filesystem::create_directories(folder);

    // A document on the simulator with its factory program, relay 1 left to MODBUS.
    CTavikDoc doc(testing::controlFactory(ctl::daemonFactory(), svr.registryDir()));
    DocOperations ops(doc, prompter, session);
    prompter.commParams.push_back(ctl::CtlConnection{
        false, "127.0.0.1", static_cast<int16_t>(sim->tcpPort()), true, 9600, 1, 0});
    CTavikItem* item = ops.addModule(nullptr);
    ASSERT_NE(item, nullptr);
    ASSERT_EQ(ops.withOpenItem(*item, [](ctl::OvixQd40Ctl& c) { return c.ReadCfg(); }), S_OK);
    cfg::VariantBlob blob;
    ASSERT_EQ(item->control().get_Cfg(&blob), S_OK);
    cfg::FullCfgView(std::span<uint8_t>(blob.data).first<cfg::kFullCfgSize>())
        .setRelayModbus(1, true);
    ASSERT_EQ(item->control().put_Cfg(blob), S_OK);
    ASSERT_TRUE(doc.save(folder / "plant.dqx").isOk());
    ASSERT_EQ(ops.openCommunications(), S_OK);
    ASSERT_EQ(simRelay1(), false);
    // Channel 2 measures in error.
    ASSERT_TRUE(sim->setFaults("fail_channel 2\n"));
    std::string unit1;
    {
        const cfg::ConstChannelCfg ch =
            cfg::ConstFullCfgView(item->control().state().cfg).channel(1);
        ASSERT_EQ(item->control().GetRgeDefUnit(static_cast<int16_t>(ch.function()),
                                                static_cast<int16_t>(ch.range()), &unit1),
                  S_OK);
    }

    SidecarOptions options;
    options.script = kSidecar + "/server.js";
    options.port = 0;  // any free port; the endpoint says which
    options.pkiFolder = folder / "pki";
    SidecarOpcToolkit toolkit(platform::RegistryStore(svr.registryDir()), options);
    std::vector<std::string> reports;
    toolkit.setProblemReporter([&](const std::string& text) { reports.push_back(text); });
    ASSERT_TRUE(toolkit.InitWTOPCsvr(kOpcServerClsid, kServerRateMs));
    toolkit.SetVendorInfo(kVendor);

    OpcServices services(toolkit, prompter, session);
    OpcDocService& service = services.of(doc);
    service.period = 50;
    ASSERT_EQ(service.start("1:3,", kModeAlways, false), 1);
    ASSERT_EQ(service.readableTags().size(), 3u);
    ASSERT_TRUE(pumpUntil([&] { return toolkit.ready(); }, 60s)) << "the process never came";

    const std::string module = "QD40@127_0_0_1#1";
    // The simulator's channels have no mnemonics.
    const std::vector<std::string> expected = {module + ".Chan_01", module + ".Chan_02",
                                               module + ".Relay 1"};
    {
        ClientScript client({kSidecar, toolkit.endpoint(), (folder / "client-pki").string()});
        ASSERT_TRUE(client.started());
        auto browsed = client.waitFor("browsed", 60s);
        ASSERT_TRUE(browsed) << "exit " << client.exitCode().value_or(-1);
        EXPECT_EQ(names(*browsed), expected);

        // Values of the module's cycles (one a second), stamped with their time.
        auto first = client.waitFor("read", 30s);
        auto second = client.waitFor("read", 30s);
        ASSERT_TRUE(first && second);
        const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
                             std::chrono::system_clock::now().time_since_epoch())
                             .count();
        EXPECT_EQ(tagIn(*second, module + ".Chan_01").value("status").toString(), "Good");
        EXPECT_EQ(tagIn(*second, module + ".Chan_02").value("status").toString(), "Bad");
        EXPECT_EQ(tagIn(*second, module + ".Chan_01").value("unit").toString().toStdString(),
                  unit1);
        EXPECT_TRUE(tagIn(*second, module + ".Relay 1").value("unit").isNull());
        for (const char* chan : {".Chan_01", ".Chan_02"}) {
            const QJsonObject a = tagIn(*first, module + chan);
            const QJsonObject b = tagIn(*second, module + chan);
            const double ta = a.value("source").toDouble();
            const double tb = b.value("source").toDouble();
            EXPECT_GT(tb, ta) << chan << ": a new cycle 2.5 s later";
            EXPECT_NEAR(tb, double(now), 10000.0) << chan;
        }
        EXPECT_NE(tagIn(*second, module + ".Chan_01").value("value").toDouble(), 0.0);

        auto written = client.waitFor("written", 30s);
        ASSERT_TRUE(written);
        EXPECT_EQ(written->value("status").toString(), "Good");
        ASSERT_TRUE(client.waitFor("connected", 30s));
        EXPECT_TRUE(pumpUntil([&] { return simRelay1() == true; }, 10s))
            << "0.5 switches relay 1 on";
        EXPECT_EQ(toolkit.NumbrClientConnections(), 1);
        // Closing tavik asks the clients to go.
        toolkit.RequestDisconnect();
        EXPECT_EQ(toolkit.NumbrClientConnections(), 0);
        client.finish();
        EXPECT_TRUE(client.waitExit(20s));
        EXPECT_EQ(client.exitCode(), 0);
    }

    // The module falls silent: its tags say so, and keep saying so when the
    // process killed during the service comes back with them.
    ASSERT_TRUE(sim->setFaults("off 1\n"));
    const COpcTag& chan1 = service.readableTags().at(1);
    ASSERT_EQ(chan1.name, module + ".Chan_01");
    ASSERT_TRUE(pumpUntil([&] { return chan1.value == TagValue(0.0f); }, 20s));
    const pid_t first = toolkit.processId();
    ASSERT_GT(first, 0);
    ASSERT_EQ(::kill(first, SIGKILL), 0);
    ASSERT_TRUE(pumpUntil([&] { return !toolkit.ready(); }, 10s));
    ASSERT_TRUE(pumpUntil([&] { return toolkit.ready(); }, 60s));
    EXPECT_NE(toolkit.processId(), first);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find("signal 9"), std::string::npos) << reports[0];
    ClientScript again({kSidecar, toolkit.endpoint(), (folder / "client-pki").string(), "browse"});
    auto browsed = again.waitFor("browsed", 60s);
    ASSERT_TRUE(browsed);
    EXPECT_EQ(names(*browsed), expected);
    auto read = again.waitFor("read", 60s);
    ASSERT_TRUE(read);
    for (const auto& name : expected)
        EXPECT_EQ(tagIn(*read, name).value("status").toString(), "BadCommunicationError") << name;
    ASSERT_TRUE(sim->setFaults(""));
    EXPECT_TRUE(again.waitExit(20s));
    EXPECT_GT(service.ticks(), 10u);
}

}  // namespace
}  // namespace qd40::app::opc
