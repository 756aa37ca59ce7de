#include "common/le_bytes.h"

#include <gtest/gtest.h>

#include <array>

namespace qd40::le {
namespace {

TEST(LeBytes, FieldsAtUnalignedOffsetsRoundTrip) {
    std::array<uint8_t, 32> b{};
    setU32(b, 10, 0x3FFFFFFF);  // an unaligned u32 like the block's opening mask
    setU16(b, 1, 0xBEEF);
    setF32(b, 15, 3.4028235e38f);
    setF64(b, 19, -1.5);
    setI16(b, 27, -2);
    EXPECT_EQ(u32(b, 10), 0x3FFFFFFFu);
    EXPECT_EQ(b[10], 0xFF);
    EXPECT_EQ(b[13], 0x3F);
    EXPECT_EQ(u16(b, 1), 0xBEEF);
    EXPECT_EQ(b[1], 0xEF) << "low byte first";
    EXPECT_EQ(u32(b, 15), 0x7F7FFFFFu);
    EXPECT_EQ(f64(b, 19), -1.5);
    EXPECT_EQ(i16(b, 27), -2);
    setI32(b, 3, -123456789);
    EXPECT_EQ(i32(b, 3), -123456789);
    EXPECT_EQ(b[3], 0xEB) << "-123456789 is 0xF8A432EB";
    EXPECT_EQ(b[6], 0xF8);
}

TEST(LeBytes, FixedTextsStopAtNulAndAreCutToTheField) {
    std::array<uint8_t, 8> b;
    b.fill(0xAA);
    EXPECT_TRUE(setText(b, 1, 6, "Chan1"));
    EXPECT_EQ(text(b, 1, 6), "Chan1");
    EXPECT_EQ(b[0], 0xAA);
    EXPECT_EQ(b[7], 0xAA) << "bytes outside the field are untouched";
    EXPECT_FALSE(setText(b, 1, 6, "toolong"));
    EXPECT_EQ(text(b, 1, 6), "toolo");
    const std::array<uint8_t, 3> full{'a', 'b', 'c'};
    EXPECT_EQ(text(full, 0, 3), "abc") << "a field without NUL ends at its size";
}

}  // namespace
}  // namespace qd40::le
