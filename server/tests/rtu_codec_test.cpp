#include "server/transport/rtu_codec.h"

#include <gtest/gtest.h>

#include <climits>

#include "server/transport/transport.h"

namespace qd40::transport {
namespace {

TEST(RtuCodec, FramesCarryTheStandardCrc) {
    // Read 2 holding registers at 0 from slave 1: the textbook frame.
    const std::vector<uint8_t> pdu{0x03, 0x00, 0x00, 0x00, 0x02};
    EXPECT_EQ(rtu::frame(1, pdu), (std::vector<uint8_t>{0x01, 0x03, 0, 0, 0, 2, 0xC4, 0x0B}));
    EXPECT_TRUE(rtu::crcOk(rtu::frame(17, pdu)));
    auto bad = rtu::frame(17, pdu);
    bad[3] ^= 1;
    EXPECT_FALSE(rtu::crcOk(bad));
}

TEST(RtuCodec, AnswerLengthIsKnownFromTheFirstBytes) {
    struct Case {
        std::vector<uint8_t> head;
        size_t length;
    };
    for (const Case& c :
         {Case{{1}, 0}, Case{{1, 3}, 0}, Case{{1, 3, 250}, 255}, Case{{1, 1, 1}, 6},
          Case{{1, 16}, 8}, Case{{1, 6}, 8}, Case{{1, 0x83}, 5}, Case{{1, 0x2B}, SIZE_MAX}})
        EXPECT_EQ(rtu::answerLength(c.head), c.length);
}

TEST(RtuCodec, InterFrameSilence) {
    EXPECT_EQ(rtu::interFrameMicros(9600), 3646u);  // 3.5 characters of 10 bits
    EXPECT_EQ(rtu::interFrameMicros(9600, 11), 4010u);
    EXPECT_EQ(rtu::interFrameMicros(115200), 304u);
}

TEST(RtuCodec, OnlyExceptionFourOnAWriteIsARefusal) {
    EXPECT_EQ(exceptionStatus(4, true).hr, qd40TransportErrWriteRefused);
    EXPECT_EQ(exceptionStatus(4, false).hr, kErrExceptionBase + 4);
    EXPECT_EQ(exceptionStatus(2, true).hr, kErrExceptionBase + 2);
    EXPECT_EQ(exceptionStatus(3, true).error.description, "MODBUS exception 3: illegal data value");
}

}  // namespace
}  // namespace qd40::transport
