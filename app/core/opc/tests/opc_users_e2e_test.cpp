// Sessions with a user name on the node-opcua publication when anonymous
// access is off: the process asks tavik, which answers from its declared
// users (password, ban and expiry), and a real OPC UA client sees the result.
#include <gtest/gtest.h>

#include "app/core/opc/opc_users.h"
#include "app/core/opc/sidecar_toolkit.h"
#include "app/security/tests/rights_fixture.h"

// Qt last: its "signals" keyword would stand for a member name above.
#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>

#include "app/core/opc/tests/node_script.h"

namespace qd40::app::opc {
namespace {

using namespace std::chrono_literals;

const std::string kSidecar = QD40_OPC_SIDECAR_DIR;
const std::string kLoginScript = QD40_OPC_TEST_DIR "/opc_login.js";

class OpcUsersE2eTest : public security::testing::RightsFixture {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "opc_users_e2e_tests";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance())
            new QCoreApplication(argc, argv);
    }
};

TEST_F(OpcUsersE2eTest, OnlyDeclaredUsersWithTheirPasswordOpenASession) {
    rights->addUser(newUser("Jane Doe", "JDOE", "Fl%ute12", false, {true}));
    security::CUser banned = newUser("Bob", "BOB", "Banned12", false, {true});
    banned.banEnd = clock.now() + 600;
    rights->addUser(banned);
    security::CUser old = newUser("Old", "OLD", "Expired1", false, {true});
    old.expiry = clock.now() - 1;
    rights->addUser(old);

    SidecarOptions options;
    options.script = kSidecar + "/server.js";
    options.port = 0;  // any free port; the endpoint says which
    options.allowAnonymous = false;
    options.pkiFolder = folder.path() / "pki";
    SidecarOpcToolkit toolkit(platform::RegistryStore(folder.path() / "registry"), options);
    std::vector<std::string> reports;
    toolkit.setProblemReporter([&](const std::string& text) { reports.push_back(text); });
    toolkit.setUserCheck(opcUserCheck(*rights, clock));
    ASSERT_TRUE(toolkit.InitWTOPCsvr(kOpcServerClsid, kServerRateMs));
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (!toolkit.ready() && std::chrono::steady_clock::now() < deadline)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_TRUE(toolkit.ready()) << "the process never came";

    // Credential, accepted.
    const std::vector<std::pair<std::string, bool>> cases = {
        {"JDOE:Fl%ute12", true},   // identifier and password
        {"jdoe:Fl%ute12", true},   // identifiers are typed in any case
        {"JDOE:fl%ute12", false},  // passwords are not
        {"JDOE:", false},
        {"Jane Doe:Fl%ute12", false},  // the name is not the identifier
        {"BOB:Banned12", false},       // banned after wrong passwords
        {"OLD:Expired1", false},       // expired: to be changed at a log-on first
        {"NOBODY:Fl%ute12", false},
        {"-", false},  // anonymous
    };
    std::vector<std::string> args = {kLoginScript, kSidecar, toolkit.endpoint(),
                                     (folder.path() / "client-pki").string()};
    for (const auto& [credential, accepted] : cases)
        args.push_back(credential);
    nodejs::NodeScript client(args);
    ASSERT_TRUE(client.started());
    // The next answer; node-opcua's own log lines are not JSON.
    auto nextLogin = [&]() -> std::optional<QJsonObject> {
        while (const auto line = client.line(60s)) {
            const QJsonObject o =
                QJsonDocument::fromJson(QByteArray::fromStdString(*line)).object();
            if (o.value("event").toString() == "login")
                return o;
            if (o.value("event").toString() == "error")
                ADD_FAILURE() << *line;
        }
        return std::nullopt;
    };
    for (const auto& [credential, accepted] : cases) {
        const auto login = nextLogin();
        ASSERT_TRUE(login) << "no answer for " << credential;
        const QJsonObject& o = *login;
        EXPECT_EQ(o.value("user").toString().toStdString(), credential);
        EXPECT_EQ(o.value("ok").toBool(), accepted)
            << credential << ": " << o.value("status").toString().toStdString();
    }
    EXPECT_TRUE(client.waitExit(30s));
    EXPECT_EQ(client.exitCode(), 0);
    EXPECT_TRUE(reports.empty()) << reports.front();
    toolkit.UninitWTOPCsvr();
}

}  // namespace
}  // namespace qd40::app::opc
