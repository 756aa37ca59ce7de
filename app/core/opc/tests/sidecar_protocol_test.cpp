// The sidecar's line protocol: the codec, and SidecarLink against a fake peer
// on the other end of a socket pair.
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

#include <gtest/gtest.h>

#include "app/core/opc/sidecar_protocol.h"

namespace qd40::app::opc {
namespace {

using namespace std::chrono_literals;

TEST(SidecarCodec, TextsSurviveTheTripAndStayOneToken) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", "%"},
        {"QD40@127_0_0_1#1.Chan_01", "QD40@127_0_0_1#1.Chan_01"},
        {"Relay 1", "Relay%201"},
        {"100%", "100%25"},
        {"a\nb\tc\x7f", "a%0Ab%09c%7F"},
        {"\xc2\xb0"
         "C",
         "\xc2\xb0"
         "C"},  // UTF-8 goes as it is
    };
    for (const auto& [text, token] : cases) {
        EXPECT_EQ(encodeText(text), token);
        EXPECT_EQ(decodeText(token), text) << token;
    }
    for (const char* bad : {"%4", "%G0", "abc%"})
        EXPECT_FALSE(decodeText(bad)) << bad;
}

TEST(SidecarCodec, ValuesKeepTheirTypeAndEveryBitOfAFloat) {
    const std::vector<TagValue> values = {TagValue(0.0f),
                                          TagValue(-1.5f),
                                          TagValue(0.1f),
                                          TagValue(3.4028235e38f),
                                          TagValue(true),
                                          TagValue(false),
                                          TagValue(std::string("deg C")),
                                          TagValue(std::string())};
    for (const TagValue& v : values) {
        const std::string token = encodeValue(v);
        EXPECT_EQ(token.find(' '), std::string::npos) << token;
        EXPECT_EQ(decodeValue(token), v) << token;
    }
    // The sidecar writes doubles as JavaScript does.
    EXPECT_EQ(decodeValue("f0.5"), TagValue(0.5f));
    EXPECT_EQ(decodeValue("f1e-7"), TagValue(1e-7f));
    for (const char* bad : {"", "f", "fx", "f1.5x", "b2", "x1", "s%Z1"})
        EXPECT_FALSE(decodeValue(bad)) << bad;
}

TEST(SidecarCodec, MessagesAreAnswersOrEvents) {
    auto answer = parseMessage("12 ok 3");
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->seq, 12u);
    EXPECT_EQ(answer->verb, "ok");
    EXPECT_EQ(answer->args, std::vector<std::string>{"3"});
    auto event = parseMessage("* write 7 f0.5");
    ASSERT_TRUE(event);
    EXPECT_TRUE(event->isEvent());
    EXPECT_EQ(event->verb, "write");
    EXPECT_EQ(event->args, (std::vector<std::string>{"7", "f0.5"}));
    for (const char* bad : {"", "ok", "0 ok", "-1 ok", "12 maybe", "x ok", "* ", "12  ok"})
        EXPECT_FALSE(parseMessage(bad)) << bad;
}

TEST(SidecarCodec, RequestsNameEveryArgument) {
    EXPECT_EQ(createRequest(4, "A.Relay 1", TagValue(0.0f), 0xC0, true),
              "create 4 A.Relay%201 f0 192 1");
    EXPECT_EQ(propertyRequest(4, 100, "EU Units", TagValue(std::string("mV"))),
              "prop 4 100 EU%20Units smV");
    EXPECT_EQ(updateRequest(4, TagValue(2.5f), 0x18, std::nullopt), "update 4 f2.5 24");
    EXPECT_EQ(updateRequest(4, TagValue(2.5f), 0, int64_t{133000000000000000}),
              "update 4 f2.5 0 133000000000000000");
}

// The far end of a socket pair, read and written by the test.
class FakePeer {
public:
    FakePeer() {
        int fds[2];
        EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
        ours = fds[0];
        theirs = fds[1];
    }
    ~FakePeer() {
        if (theirs >= 0)
            ::close(theirs);
    }
    void write(const std::string& text) {
        ASSERT_EQ(::write(theirs, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    }
    // One line, waiting at most 5 s.
    std::string readLine() {
        while (pending.find('\n') == std::string::npos) {
            pollfd p{theirs, POLLIN, 0};
            if (::poll(&p, 1, 5000) != 1)
                return "(nothing)";
            char buf[4096];
            const ssize_t n = ::read(theirs, buf, sizeof buf);
            if (n <= 0)
                return "(closed)";
            pending.append(buf, static_cast<size_t>(n));
        }
        const size_t nl = pending.find('\n');
        std::string line = pending.substr(0, nl);
        pending.erase(0, nl + 1);
        return line;
    }
    void close() {
        ::close(theirs);
        theirs = -1;
    }
    int ours = -1;
    int theirs = -1;
    std::string pending;
};

TEST(SidecarLinkTest, ACallWaitsForItsOwnAnswerAndKeepsTheEventsBeforeIt) {
    FakePeer peer;
    SidecarLink link(peer.ours);
    std::thread answering([&] {
        EXPECT_EQ(peer.readLine(), "1 clients");
        // An event, an unknown answer and a line that means nothing come first.
        peer.write("* write 3 f0.5\n99 ok\nnonsense\n1 ok 2\n");
    });
    auto answer = link.call("clients", 5s);
    answering.join();
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->verb, "ok");
    EXPECT_EQ(answer->args, std::vector<std::string>{"2"});
    EXPECT_EQ(link.badLines(), 1);
    auto events = link.takeMessages();
    ASSERT_EQ(events.size(), 1u) << "the stray answer is dropped";
    EXPECT_EQ(events[0].verb, "write");

    // Requests that want no answer are numbered 0; the next call is number 2.
    EXPECT_TRUE(link.post(updateRequest(3, TagValue(1.0f), 0xC0, std::nullopt)));
    std::thread second([&] {
        EXPECT_EQ(peer.readLine(), "0 update 3 f1 192");
        EXPECT_EQ(peer.readLine(), "2 remove 3");
        peer.write("2 err no%20tag%203\n");
    });
    answer = link.call("remove 3", 5s);
    second.join();
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->verb, "err");
    EXPECT_EQ(decodeText(answer->args.at(0)), "no tag 3");
}

TEST(SidecarLinkTest, ASilentPeerCostsTheBoundAndAClosedOneIsSaid) {
    FakePeer peer;
    SidecarLink link(peer.ours);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(link.call("clients", 200ms));
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, 200ms);
    EXPECT_LT(waited, 3s);
    EXPECT_TRUE(link.alive()) << "silence is not a failure of the link";

    peer.close();
    EXPECT_FALSE(link.call("clients", 5s));
    EXPECT_FALSE(link.alive());
    EXPECT_EQ(link.error(), "the OPC UA publication process closed its connection");
    EXPECT_FALSE(link.post("vendor OVIX"));
}

TEST(SidecarLinkTest, WritesNeverBlockOnAPeerThatDoesNotRead) {
    FakePeer peer;
    SidecarLink link(peer.ours);
    const std::string request = updateRequest(1, TagValue(1.25f), 0xC0, int64_t{1});
    size_t posted = 0;
    while (!link.hasPendingOutput() && posted < 1000000) {
        ASSERT_TRUE(link.post(request));
        ++posted;
    }
    ASSERT_TRUE(link.hasPendingOutput()) << "the socket buffer never filled";
    for (int i = 0; i < 100; ++i)
        ASSERT_TRUE(link.post(request));
    const size_t total = posted + 100;

    // Once the peer reads, everything arrives whole and in order.
    std::thread reading([&] {
        for (size_t i = 0; i < total; ++i)
            if (peer.readLine() != "0 " + request)
                return ADD_FAILURE() << "line " << i;
    });
    while (link.flush()) {
        pollfd p{link.fd(), POLLOUT, 0};
        ASSERT_EQ(::poll(&p, 1, 5000), 1);
    }
    reading.join();
    EXPECT_TRUE(link.alive());
}

}  // namespace
}  // namespace qd40::app::opc
