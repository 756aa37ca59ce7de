#include <gtest/gtest.h>

#include "common/guid.h"
#include "common/version_text.h"

namespace qd40 {
namespace {

TEST(Guid, TextFormRoundTrips) {
    const auto g = Guid::parse("{a433d528-4dc0-4db7-9603-bc58a648765c}");
    ASSERT_TRUE(g);
    EXPECT_EQ(g->data1, 0xA433D528u);
    EXPECT_EQ(g->data4[0], 0x96);
    EXPECT_EQ(g->toString(), "{A433D528-4DC0-4DB7-9603-BC58A648765C}");
    EXPECT_EQ(Guid::parse("A433D528-4DC0-4DB7-9603-BC58A648765C"), g);
    for (const char* bad :
         {"", "{A433D528-4DC0-4DB7-9603-BC58A648765}", "{A433D528x4DC0-4DB7-9603-BC58A648765C}",
          "{G433D528-4DC0-4DB7-9603-BC58A648765C}"})
        EXPECT_FALSE(Guid::parse(bad)) << bad;
}

TEST(VersionText, ShapeAndOrdinalOrder) {
    for (const char* good : {"A.00", "B.10", "Z.99"})
        EXPECT_TRUE(isVersionText(good)) << good;
    for (const char* bad : {"", "A.0", "A03", "1.00", "A.0x", "A.000"})
        EXPECT_FALSE(isVersionText(bad)) << bad;
    EXPECT_TRUE(compareVersionTexts("A.00", "Z.00") < 0);
    EXPECT_TRUE(compareVersionTexts("B.09", "B.10") < 0);
    EXPECT_TRUE(compareVersionTexts("", "A.00") < 0);
    EXPECT_TRUE(isTestVersion("Z.01"));
    EXPECT_FALSE(isTestVersion("A.01"));
}

TEST(FileVersion, ComparedAsTheMsLsPair) {
    const auto v500 = FileVersion::of(0, 0, 99, 500);
    EXPECT_EQ(v500.ls, 0x006301F4u);
    EXPECT_LT(FileVersion::of(0, 0, 99, 499), v500);
    EXPECT_LT(FileVersion::of(0, 0, 0xFFFF, 0xFFFF), FileVersion::of(0, 1, 0, 0));
    EXPECT_EQ(FileVersion::of(2, 10, 0, 0).toString(), "2.10.0.0");
}

}  // namespace
}  // namespace qd40
