// SidecarOpcToolkit against a fake publication process: a thread that
// connects to the toolkit's socket, records what it is sent and answers as
// the sidecar does.
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

#include <gtest/gtest.h>
#include <QCoreApplication>

#include "app/core/opc/sidecar_toolkit.h"
#include "app/core/settings/settings_store.h"

namespace qd40::app::opc {
namespace {

using namespace std::chrono_literals;

class FakeSidecar : public SidecarProcess {
public:
    explicit FakeSidecar(const std::filesystem::path& socket) {
        thread_ = std::thread([this, socket] { run(socket); });
    }
    ~FakeSidecar() override {
        stop_ = true;
        thread_.join();
    }
    std::optional<std::string> ended() override {
        if (killed_)
            return std::string("signal 9 (Killed)");
        return std::nullopt;
    }
    // Dies: the connection closes and the process is reported ended.
    void kill() { killed_ = stop_ = true; }
    void send(const std::string& line) {
        std::lock_guard lock(mutex_);
        toSend_ += line + "\n";
    }
    std::vector<std::string> lines() {
        std::lock_guard lock(mutex_);
        return lines_;
    }

private:
    void run(const std::filesystem::path& socket) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un a{};
        a.sun_family = AF_UNIX;
        std::strcpy(a.sun_path, socket.c_str());
        if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
            ::close(fd);
            return;
        }
        send("* ready opc.tcp://127.0.0.1:4840");
        std::string in;
        while (!stop_) {
            std::string out;
            {
                std::lock_guard lock(mutex_);
                out.swap(toSend_);
            }
            if (!out.empty() && ::write(fd, out.data(), out.size()) < 0)
                break;
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 20) != 1)
                continue;
            char buf[4096];
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n <= 0)
                break;
            in.append(buf, static_cast<size_t>(n));
            for (size_t nl; (nl = in.find('\n')) != std::string::npos; in.erase(0, nl + 1))
                answer(in.substr(0, nl));
        }
        ::close(fd);
    }
    void answer(const std::string& line) {
        std::lock_guard lock(mutex_);
        lines_.push_back(line);
        const std::string seq = line.substr(0, line.find(' '));
        if (seq == "0")
            return;
        if (line.find(" clients") != std::string::npos)
            toSend_ += seq + " ok 2\n";
        else if (line.find("Refused") != std::string::npos)
            toSend_ += seq + " err refused\n";
        else
            toSend_ += seq + " ok\n";
    }

    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> killed_{false};
    std::mutex mutex_;
    std::string toSend_;
    std::vector<std::string> lines_;
};

class SidecarToolkitTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "opc_sidecar_tests";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance())
            app_ = new QCoreApplication(argc, argv);
    }
    void SetUp() override {
        folder_ = "/tmp/qd40-opc-" + std::to_string(::getpid());
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
        ::setenv("OVIX_RUNTIME_DIR", (folder_ / "run").c_str(), 1);
        ::setenv("OVIX_REGISTRY", (folder_ / "registry").c_str(), 1);
        SidecarOptions o;
        o.restartDelay = 10ms;
        toolkit_ = std::make_unique<SidecarOpcToolkit>(
            platform::RegistryStore(), o,
            [this](const std::filesystem::path& socket,
                   std::string& error) -> std::unique_ptr<SidecarProcess> {
                ++attempts_;
                if (refuseLaunch_) {
                    error = "node is missing";
                    return nullptr;
                }
                auto fake = std::make_unique<FakeSidecar>(socket);
                fakes_.push_back(fake.get());
                return fake;
            });
        toolkit_->setProblemReporter([this](const std::string& text) { reports_.push_back(text); });
    }
    void TearDown() override {
        toolkit_.reset();
        std::filesystem::remove_all(folder_);
    }
    // Runs the event loop until pred holds, at most 5 s.
    template <class Pred>
    bool waitFor(Pred pred) {
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        while (!pred()) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            std::this_thread::sleep_for(2ms);
        }
        return true;
    }
    bool received(FakeSidecar* fake, const std::string& line) {
        return waitFor([&] {
            const auto l = fake->lines();
            return std::find(l.begin(), l.end(), line) != l.end();
        });
    }

    static inline QCoreApplication* app_ = nullptr;
    std::filesystem::path folder_;
    std::unique_ptr<SidecarOpcToolkit> toolkit_;
    std::vector<FakeSidecar*> fakes_;
    std::vector<std::string> reports_;
    bool refuseLaunch_ = false;
    int attempts_ = 0;
};

TEST_F(SidecarToolkitTest, TagsMadeBeforeTheProcessIsReadyReachItWithTheirLastState) {
    ASSERT_TRUE(toolkit_->InitWTOPCsvr(kOpcServerClsid, kServerRateMs));
    toolkit_->SetVendorInfo("OVIX");
    const TagHandle chan = toolkit_->CreateTag("M.Chan_01", TagValue(0.0f), kQualityGood, false);
    const TagHandle gone = toolkit_->CreateTag("M.Chan_02", TagValue(0.0f), kQualityGood, false);
    ASSERT_NE(chan, kInvalidTag);
    ASSERT_NE(gone, kInvalidTag);
    EXPECT_TRUE(toolkit_->SetTagProperties(chan, 100, "EU Units", TagValue(std::string("mV"))));
    EXPECT_TRUE(toolkit_->UpdateTagWithTimeStamp(chan, TagValue(2.5f), kQualityBad, 1234));
    EXPECT_TRUE(toolkit_->RemoveTag(gone));
    EXPECT_FALSE(toolkit_->ready());

    ASSERT_TRUE(waitFor([&] { return toolkit_->ready(); }));
    EXPECT_EQ(toolkit_->endpoint(), "opc.tcp://127.0.0.1:4840");
    ASSERT_EQ(fakes_.size(), 1u);
    ASSERT_TRUE(received(fakes_[0], "0 update 1 f2.5 0 1234"));
    EXPECT_EQ(fakes_[0]->lines(),
              (std::vector<std::string>{"0 vendor OVIX", "0 create 1 M.Chan_01 f2.5 0 0",
                                        "0 prop 1 100 EU%20Units smV", "0 update 1 f2.5 0 1234"}));
    EXPECT_TRUE(reports_.empty());
}

TEST_F(SidecarToolkitTest, OnceReadyCreationIsAnsweredAndNamesCannotClash) {
    ASSERT_TRUE(toolkit_->InitWTOPCsvr(kOpcServerClsid, kServerRateMs));
    ASSERT_TRUE(waitFor([&] { return toolkit_->ready(); }));
    const TagHandle relay = toolkit_->CreateTag("A.B.Relay 1", TagValue(0.0f), kQualityGood, true);
    EXPECT_NE(relay, kInvalidTag);
    EXPECT_EQ(toolkit_->CreateTag("A.Refused", TagValue(0.0f), kQualityGood, false), kInvalidTag);
    // Refused here without asking: the same name, a tag's folder, inside a tag, empty parts.
    const size_t asked = fakes_[0]->lines().size();
    for (const char* name : {"A.B.Relay 1", "A.B", "A", "A.B.Relay 1.X", "", ".A", "A..B", "A."})
        EXPECT_EQ(toolkit_->CreateTag(name, TagValue(0.0f), kQualityGood, false), kInvalidTag)
            << name;
    EXPECT_EQ(fakes_[0]->lines().size(), asked);
    EXPECT_NE(toolkit_->CreateTag("A.B2", TagValue(0.0f), kQualityGood, false), kInvalidTag);
    EXPECT_EQ(toolkit_->NumbrClientConnections(), 2);
    TagValue v;
    EXPECT_FALSE(toolkit_->ReadTag(kInvalidTag, v));
    EXPECT_FALSE(toolkit_->UpdateTag(kInvalidTag, TagValue(1.0f), kQualityGood));
}

TEST_F(SidecarToolkitTest, AClientWriteReachesTheHandlerFromTheEventLoop) {
    std::vector<TagHandle> written;
    toolkit_->EnableWriteNotification([&](TagHandle h) { written.push_back(h); });
    ASSERT_TRUE(toolkit_->InitWTOPCsvr(kOpcServerClsid, kServerRateMs));
    ASSERT_TRUE(waitFor([&] { return toolkit_->ready(); }));
    const TagHandle relay = toolkit_->CreateTag("M.Relay 1", TagValue(0.0f), kQualityGood, true);
    const TagHandle chan = toolkit_->CreateTag("M.Chan_01", TagValue(0.0f), kQualityGood, false);
    // A write to a read-only tag is not the application's business.
    fakes_[0]->send("* write " + std::to_string(chan) + " f9");
    fakes_[0]->send("* write " + std::to_string(relay) + " f0.5");
    ASSERT_TRUE(waitFor([&] { return !written.empty(); }));
    EXPECT_EQ(written, std::vector<TagHandle>{relay});
    TagValue v;
    ASSERT_TRUE(toolkit_->ReadTag(relay, v));
    EXPECT_EQ(v, TagValue(0.5f));
    ASSERT_TRUE(toolkit_->ReadTag(chan, v));
    EXPECT_EQ(v, TagValue(0.0f));
}

TEST_F(SidecarToolkitTest, ALostProcessIsReportedOnceAndStartedAgainWithItsTags) {
    ASSERT_TRUE(toolkit_->InitWTOPCsvr(kOpcServerClsid, kServerRateMs));
    ASSERT_TRUE(waitFor([&] { return toolkit_->ready(); }));
    const TagHandle relay = toolkit_->CreateTag("M.Relay 1", TagValue(0.0f), kQualityGood, true);
    ASSERT_NE(relay, kInvalidTag);
    fakes_[0]->kill();
    // Updates while it is away are kept for the next one.
    ASSERT_TRUE(waitFor([&] { return !toolkit_->ready(); }));
    EXPECT_TRUE(toolkit_->UpdateTag(relay, TagValue(1.0f), kQualityCommFailure));
    ASSERT_TRUE(waitFor([&] { return toolkit_->ready(); }));
    EXPECT_EQ(toolkit_->launches(), 2);
    ASSERT_EQ(fakes_.size(), 2u);
    EXPECT_TRUE(received(fakes_[1], "0 create 1 M.Relay%201 f1 24 1"));
    ASSERT_EQ(reports_.size(), 1u);
    EXPECT_NE(reports_[0].find("signal 9"), std::string::npos) << reports_[0];
    EXPECT_NE(reports_[0].find("1 tags"), std::string::npos) << reports_[0];
}

TEST_F(SidecarToolkitTest, AProgramThatCannotStartIsReportedOnceAndTriedAgain) {
    refuseLaunch_ = true;
    EXPECT_TRUE(toolkit_->InitWTOPCsvr(kOpcServerClsid, kServerRateMs));
    const TagHandle tag = toolkit_->CreateTag("M.Chan_01", TagValue(0.0f), kQualityGood, false);
    EXPECT_NE(tag, kInvalidTag);
    EXPECT_EQ(toolkit_->NumbrClientConnections(), 0);
    // The retries double their delay from 10 ms: a few go by.
    ASSERT_TRUE(waitFor([&] { return attempts_ >= 4; }));
    ASSERT_EQ(reports_.size(), 1u);
    EXPECT_NE(reports_[0].find("node is missing"), std::string::npos) << reports_[0];
    refuseLaunch_ = false;
    ASSERT_TRUE(waitFor([&] { return toolkit_->ready(); }));
    EXPECT_TRUE(received(fakes_[0], "0 create 1 M.Chan_01 f0 192 0"));
    EXPECT_EQ(reports_.size(), 1u);
}

TEST_F(SidecarToolkitTest, RegistrationDescribesTheServerInTheClassesRootUntilRemoved) {
    const platform::RegistryStore store;  // the test's private registry
    const std::string classKey = "CLSID\\" + kOpcServerClsid.toString();
    ASSERT_TRUE(toolkit_->UpdateRegistry(kOpcServerClsid, kOpcProgId, kOpcDescription,
                                         "/opt/tavik/bin/tavik"));
    EXPECT_EQ(store.getString(platform::Hive::ClassesRoot, classKey + "\\LocalServer32", ""),
              "/opt/tavik/bin/tavik");
    EXPECT_EQ(store.getString(platform::Hive::ClassesRoot, std::string(kOpcProgId) + "\\CLSID", ""),
              kOpcServerClsid.toString());
    EXPECT_TRUE(toolkit_->UnregisterServer(kOpcServerClsid, kOpcProgId));
    EXPECT_FALSE(store.keyExists(platform::Hive::ClassesRoot, classKey));
    EXPECT_FALSE(store.keyExists(platform::Hive::ClassesRoot, kOpcProgId));
    EXPECT_EQ(toolkit_->launches(), 0) << "registration needs no process";
}

TEST_F(SidecarToolkitTest, TheEndpointComesFromTheMachineWideStore) {
    const platform::RegistryStore store;  // the test's private registry
    ::unsetenv("OVIX_NODE");
    SidecarOptions o = sidecarOptionsFromSettings(store);
    EXPECT_EQ(o.node, "node");
    EXPECT_EQ(o.script.filename(), "server.js");
    EXPECT_EQ(o.port, 4840);
    EXPECT_FALSE(o.remoteAccess);
    EXPECT_TRUE(o.allowAnonymous) << "anonymous sessions on the loopback address";

    settings::CLocalMachineReg machine(store);
    machine.writeInt("OPC Server", "Port", 4841);
    machine.writeInt("OPC Server", "RemoteAccess", 1);
    ::setenv("OVIX_NODE", "/opt/node/bin/node", 1);
    o = sidecarOptionsFromSettings(store);
    ::unsetenv("OVIX_NODE");
    EXPECT_EQ(o.node, "/opt/node/bin/node");
    EXPECT_EQ(o.port, 4841);
    EXPECT_TRUE(o.remoteAccess);
    EXPECT_FALSE(o.allowAnonymous) << "remote access: user names unless allowed";
    machine.writeInt("OPC Server", "AllowAnonymous", 1);
    EXPECT_TRUE(sidecarOptionsFromSettings(store).allowAnonymous);
}

TEST_F(SidecarToolkitTest, UserNamesAreCheckedByTheApplication) {
    std::vector<std::pair<std::string, std::string>> asked;
    toolkit_->setUserCheck([&](const std::string& user, const std::string& password) {
        asked.emplace_back(user, password);
        return user == "JDOE" && password == "secret 1";
    });
    ASSERT_TRUE(toolkit_->InitWTOPCsvr(kOpcServerClsid, kServerRateMs));
    ASSERT_TRUE(waitFor([&] { return toolkit_->ready(); }));
    fakes_[0]->send("* auth 7 JDOE secret%201");
    fakes_[0]->send("* auth 8 JDOE wrong");
    EXPECT_TRUE(received(fakes_[0], "0 auth 7 1"));
    EXPECT_TRUE(received(fakes_[0], "0 auth 8 0"));
    EXPECT_EQ(asked, (std::vector<std::pair<std::string, std::string>>{{"JDOE", "secret 1"},
                                                                       {"JDOE", "wrong"}}));
}

}  // namespace
}  // namespace qd40::app::opc
