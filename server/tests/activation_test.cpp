#include "platform/activation/activation.h"

#include <gtest/gtest.h>

namespace qd40::activation {
namespace {

TEST(Activation, HostAndPortAreParsedWithTheDefaultPort) {
    struct Case {
        const char* text;
        bool ok;
        const char* host;
        uint16_t port;
    };
    for (const Case& c :
         {Case{"plant-7", true, "plant-7", 47040}, Case{"10.0.0.5:5000", true, "10.0.0.5", 5000},
          Case{"[::1]:6000", true, "::1", 6000}, Case{"[fe80::2]", true, "fe80::2", 47040},
          Case{"fe80::2", true, "fe80::2", 47040}, Case{"host:", false, "", 0},
          Case{"host:0", false, "", 0}, Case{"host:65536", false, "", 0},
          Case{"host:12a", false, "", 0}, Case{":502", false, "", 0}, Case{"", false, "", 0}}) {
        SCOPED_TRACE(c.text);
        std::string host;
        uint16_t port = 0;
        ASSERT_EQ(parseHostPort(c.text, host, port), c.ok);
        if (c.ok) {
            EXPECT_EQ(host, c.host);
            EXPECT_EQ(port, c.port);
        }
    }
}

TEST(Activation, AnUnreachableHostIsReportedNotAwaited) {
    const Connection c = connectRemote("127.0.0.1:1", std::chrono::milliseconds(2000));
    EXPECT_FALSE(c);
    EXPECT_EQ(c.hr, RPC_S_SERVER_UNAVAILABLE);
    EXPECT_NE(c.error.find("127.0.0.1:1"), std::string::npos) << c.error;
}

}  // namespace
}  // namespace qd40::activation
