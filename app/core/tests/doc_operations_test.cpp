// Document operations against the module simulator through the daemon, with
// the user's answers scripted.
#include <netinet/in.h>
#include <sys/socket.h>

#include <gtest/gtest.h>

#include "app/core/app_strings.h"
#include "app/core/doc_operations.h"
#include "app/core/tests/simulated_module.h"

namespace qd40::app {
namespace {

using security::AuditEvent;

// A loopback port nobody listens on: bound, then released.
int closedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(fd);
    return ntohs(a.sin_port);
}

class DocOperationsTest : public ::testing::Test {
protected:
    void start(std::vector<std::string> simArgs = {}) {
        ASSERT_TRUE(module.start(std::move(simArgs)));
        sim = module.sim.get();
        folder = module.folder;
        doc = std::make_unique<CTavikDoc>(module.controls());
        ops = std::make_unique<DocOperations>(*doc, prompter, session);
    }
    CTavikItem& addTcpItem(int port) {
        prompter.commParams.push_back(
            ctl::CtlConnection{false, "127.0.0.1", static_cast<int16_t>(port), true, 9600, 1, 0});
        CTavikItem* item = ops->addModule(nullptr);
        EXPECT_NE(item, nullptr);
        return *item;
    }
    int count(AuditEvent e) const {
        return static_cast<int>(std::count_if(session.events.begin(), session.events.end(),
                                              [e](const auto& ev) { return ev.first == e; }));
    }
    ProgramIdentification moduleIdentification(CTavikItem& item) {
        ProgramIdentification id;
        EXPECT_EQ(
            ops->withOpenItem(
                item, [&](ctl::OvixQd40Ctl& c) { return c.ReadCfgFileIdn(&id.time, &id.name); }),
            S_OK);
        return id;
    }

    testing::SimulatedModule module;
    qd40::testing::SimProcess* sim = nullptr;
    std::filesystem::path folder;
    testing::ScriptedPrompter prompter;
    testing::RecordingSession session;
    std::unique_ptr<CTavikDoc> doc;
    std::unique_ptr<DocOperations> ops;
};

TEST_F(DocOperationsTest, TransmitAllGoesOnPastAnUnreachableModule) {
    start();
    CTavikItem& dead = addTcpItem(closedPort());
    CTavikItem& live = addTcpItem(sim->tcpPort());
    ASSERT_TRUE(doc->save(folder / "line.dqx").isOk());

    prompter.answers = {Answer::Yes};
    EXPECT_EQ(ops->transmitAll(), E_FAIL);
    ASSERT_EQ(prompter.shown.size(), 2u);
    EXPECT_EQ(prompter.shown[0].text, appText(text::kTransmitAllAsk));
    EXPECT_EQ(prompter.shown[1].text.rfind("Error:\n\n. Code 0x", 0), 0u) << prompter.shown[1].text;
    EXPECT_EQ(count(AuditEvent::SEND_PROG), 1);
    EXPECT_EQ(session.events[0].second, std::vector<std::string>{live.shortDisplayName()});
    EXPECT_EQ(moduleIdentification(live), doc->programIdentification());
    (void)dead;

    // Declining sends nothing.
    prompter.answers = {Answer::No};
    EXPECT_EQ(ops->transmitAll(), E_ABORT);
    EXPECT_EQ(count(AuditEvent::SEND_PROG), 1);
}

TEST_F(DocOperationsTest, ProgramSentCheckAsksOnceTheDocumentIsSavedAgain) {
    start();
    CTavikItem& item = addTcpItem(sim->tcpPort());
    ASSERT_TRUE(doc->save(folder / "plant.dqx").isOk());
    EXPECT_EQ(ops->transmit(item, true), S_OK);
    EXPECT_EQ(ops->programSentCheck(item), S_OK);
    EXPECT_TRUE(prompter.shown.empty());

    // Saved under another name: the module's program is no longer this one.
    ASSERT_TRUE(doc->save(folder / "other.dqx").isOk());
    prompter.answers = {Answer::No, Answer::Cancel, Answer::Yes};
    EXPECT_EQ(ops->programSentCheck(item), S_FALSE);
    EXPECT_EQ(prompter.shown.back().text,
              appMessage(text::kProgramNotSentAsk, {item.shortDisplayName()}));
    EXPECT_EQ(ops->programSentCheck(item), E_ABORT);
    EXPECT_EQ(ops->programSentCheck(item), S_OK) << "Yes transmits";
    EXPECT_EQ(moduleIdentification(item).name, "OTHER");
    EXPECT_EQ(ops->programSentCheck(item, true), S_OK);
    EXPECT_EQ(prompter.shown.size(), 3u);
}

TEST_F(DocOperationsTest, RunAsksHowToTreatBlocksHoldingRecords) {
    start({"--preload", "1:100"});
    CTavikItem& item = addTcpItem(sim->tcpPort());
    // The module's own configuration, whose block 1 is not re-openable.
    ASSERT_EQ(ops->readProgram(item, true), S_OK) << prompter.shown.size();
    ASSERT_FALSE(cfg::ConstFullCfgView(item.control().state().cfg).memBlock(1).reopenable());

    // Closing the three-choice dialog sends nothing.
    prompter.answers = {Answer::No};
    prompter.choice = std::nullopt;
    EXPECT_EQ(ops->run(item), E_ABORT);
    EXPECT_EQ(count(AuditEvent::SEND_RUN), 0);

    prompter.answers = {Answer::No};
    prompter.choice = 1;  // reopening and adding data
    EXPECT_EQ(ops->run(item), S_OK);
    EXPECT_EQ(prompter.shown.back().text,
              appText(text::kRunTitle) + "|" + appText(text::kRunChoiceText) + ":");
    EXPECT_EQ(count(AuditEvent::SEND_RUN), 1);
    int16_t status = 0;
    ops->withOpenItem(item, [&](ctl::OvixQd40Ctl& c) { return c.GetStatus(&status); });
    EXPECT_TRUE(status & 1) << "running";
    uint32_t records = 0;
    ops->withOpenItem(item, [&](ctl::OvixQd40Ctl& c) { return c.GetMemRecCount(1, &records); });
    EXPECT_GE(records, 100u) << "option 1 keeps the records";

    EXPECT_EQ(ops->stopAll(), S_OK);
    EXPECT_EQ(count(AuditEvent::SEND_STOP_ALL), 1);
}

TEST_F(DocOperationsTest, CommunicationParametersMustDifferBetweenModules) {
    start();
    addTcpItem(502);
    ctl::CtlConnection same{false, "127.0.0.1", 502, true, 9600, 1, 0};
    ctl::CtlConnection otherPort{false, "127.0.0.1", 503, true, 9600, 1, 0};
    ctl::CtlConnection serialOnHost{true, "127.0.0.1", 1, true, 9600, 1, 0};
    prompter.commParams = {same, serialOnHost, otherPort};
    CTavikItem* added = ops->addModule(nullptr);
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(added->connection().port, 503);
    ASSERT_EQ(prompter.shown.size(), 2u);
    EXPECT_EQ(prompter.shown[0].text, appText(text::kSameCommParams));
    EXPECT_EQ(prompter.shown[1].text, appText(text::kAddressTaken));

    // A serial model proposes the next slave on the same port.
    ctl::CtlConnection proposed;
    CTavikItem& serial = doc->newItem();
    serial.control().put_Serial(1);
    serial.control().put_Port(3);
    serial.control().put_MbAddr(5);
    struct Capture : testing::ScriptedPrompter {
        ctl::CtlConnection* seen;
        bool editCommParams(ctl::CtlConnection& p) override {
            *seen = p;
            return false;
        }
    } capture;
    capture.seen = &proposed;
    DocOperations(*doc, capture, session).addModule(&serial);
    EXPECT_TRUE(proposed.serial);
    EXPECT_EQ(proposed.port, 3);
    EXPECT_EQ(proposed.mbAddr, 6);
    EXPECT_EQ(doc->items().size(), 3u) << "cancel adds nothing";
}

}  // namespace
}  // namespace qd40::app
