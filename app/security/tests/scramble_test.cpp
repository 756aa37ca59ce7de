#include "app/security/scramble.h"

#include <gtest/gtest.h>

#include "app/security/tests/fake_ui.h"
#include "platform/registry.h"

namespace qd40::security {
namespace {

TEST(ScrambleTest, XorsEachCharacterWithTheLowNibbleOfTheKeyAtItsPosition) {
    // Key nibbles: Q=1 U=5 I=9 E=5 T=4 H=8 A=1 R=2 B=2 O=F R=2 K=B E=5 Y=9 S=3 4=4 7=7.
    EXPECT_EQ(ScrambleText("AAAA"), "@DHD");
    EXPECT_EQ(ScrambleText(std::string(18, '0')),
              "159548122?2;59347"
              "1")
        << "position 17 wraps";
    EXPECT_EQ(ScrambleText(""), "");
}

TEST(ScrambleTest, ScramblingTwiceGivesTheTextBack) {
    const std::vector<std::string> texts = {
        "Jane Doe,JDOE,secret,101000,2026,03,07,,,,,,,,,,,,,,,,",
        "2026-03-07 10:00:00,<no user>,APP_START,C:\\docs\\plant.dqx",
        "Zoë Müller ∑ 日本 \xF0\x9F\x98\x80 end",  // two-, three- and four-byte characters
        "bad \xFF\xC3( bytes \xE2\x82",            // invalid sequences keep their bytes
        std::string(1, '\x7F') + "pq~",
    };
    for (const std::string& text : texts) {
        const std::string once = ScrambleText(text);
        EXPECT_NE(once, text);
        EXPECT_EQ(ScrambleText(once), text) << text;
    }
}

TEST(ScrambleTest, AScrambledTextSurvivesTheRegistryStore) {
    testing::TempFolder folder;
    platform::RegistryStore reg(folder.path());
    const std::string text = "Zoë Müller,ZOE,p\xC3\xA9,100000,2026,03,07 ~ 日本";
    ASSERT_TRUE(reg.setString(platform::Hive::LocalMachine, "K", "V", ScrambleText(text)));
    const auto back = reg.getString(platform::Hive::LocalMachine, "K", "V");
    ASSERT_TRUE(back);
    EXPECT_EQ(ScrambleText(*back), text);
}

}  // namespace
}  // namespace qd40::security
