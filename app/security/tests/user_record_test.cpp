#include <gtest/gtest.h>

#include <tuple>

#include "app/security/user.h"

namespace qd40::security {
namespace {

const PasswordHasher& cheap() {
    static const PasswordHasher hasher(HashCost::minimum());
    return hasher;
}

TEST(UserRecordTest, WritesTheFieldsFlagsDateAndSixteenHistoryFields) {
    CUser u;
    u.name = "Jane Doe";
    u.identifier = "JDOE";
    u.password = "pw1";
    u.supervisor = true;
    u.groups = {false, true, false, false, false};
    u.expiry = localTimeOf(2026, 3, 7, 15, 42, 10);
    u.history = {"h1", "h2"};
    EXPECT_EQ(u.toRecord(), "Jane Doe,JDOE,pw1,101000,2026,03,07,h1,h2,,,,,,,,,,,,,,");

    const CUser back = CUser::fromRecord(u.toRecord());
    EXPECT_EQ(back.name, "Jane Doe");
    EXPECT_EQ(back.identifier, "JDOE");
    EXPECT_EQ(back.password, "pw1");
    EXPECT_TRUE(back.supervisor);
    EXPECT_EQ(back.groups, u.groups);
    EXPECT_EQ(back.expiry, localTimeOf(2026, 3, 7)) << "the time of day is not stored";
    EXPECT_EQ(back.history, (std::vector<std::string>{"h1", "h2"}));
}

TEST(UserRecordTest, ReadsShortAndDamagedRecordsAsFarAsTheyGo) {
    struct Case {
        const char* record;
        const char* name;
        const char* password;
        std::string flags;
        LocalTime expiry;
        size_t history;
    };
    const Case cases[] = {
        {"A User,AUSR,pw,010100,2025,12,31,o1,o2", "A User", "pw", "010100",
         localTimeOf(2025, 12, 31), 2},
        {"A User,AUSR,pw,0101", "A User", "pw", "010100", 0, 0},
        {"A User,AUSR", "A User", "", "000000", 0, 0},
        {"A User,AUSR,pw,000001,2025,13,40,o1", "A User", "pw", "000001", 0, 1},
        {"", "", "", "000000", 0, 0},
    };
    for (const Case& c : cases) {
        const CUser u = CUser::fromRecord(c.record);
        EXPECT_EQ(u.name, c.name) << c.record;
        EXPECT_EQ(u.password, c.password) << c.record;
        EXPECT_EQ(u.flagText(), c.flags) << c.record;
        EXPECT_EQ(u.expiry, c.expiry) << c.record;
        EXPECT_EQ(u.history.size(), c.history) << c.record;
    }
}

TEST(UserRecordTest, LengthsCountCharactersAndCutsKeepThemWhole) {
    const std::pair<const char*, size_t> counts[] = {{"", 0},
                                                     {"abcd", 4},
                                                     {"Zo\xC3\xAB", 3},
                                                     {"\xE6\x97\xA5\xE6\x9C\xAC", 2},
                                                     {"\xF0\x9F\x98\x80!", 2}};
    for (auto [text, count] : counts)
        EXPECT_EQ(characterCount(text), count) << text;
    const std::tuple<const char*, size_t, const char*> cuts[] = {
        {"Zo\xC3\xAB M\xC3\xBCller", 3, "Zo\xC3\xAB"},
        {"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E", 2, "\xE6\x97\xA5\xE6\x9C\xAC"},
        {"ab", 5, "ab"},
        {"ab", 0, ""}};
    for (auto [text, count, cut] : cuts)
        EXPECT_EQ(firstCharacters(text, count), cut) << text << " " << count;
    // A hash is never taken for a password of 20 four-byte characters.
    std::string longest;
    for (int i = 0; i < 20; ++i)
        longest += "\xF0\x9F\x98\x80";
    EXPECT_LT(longest.size(), cheap().hash("x").size());
}

TEST(UserRecordTest, TwentyChangesKeepTheSixteenMostRecentPreviousPasswords) {
    CUser u;
    u.password = cheap().hash("pass0");
    const LocalTime now = localTimeOf(2026, 3, 7, 9, 30, 0);
    for (int i = 1; i <= 20; ++i)
        ASSERT_TRUE(u.changePassword("pass" + std::to_string(i), now, 30, cheap()));
    ASSERT_EQ(u.history.size(), 16u);
    EXPECT_TRUE(u.checkPassword("pass20", cheap()));
    EXPECT_TRUE(cheap().verify(u.history.front(), "pass19")) << "newest first";
    EXPECT_TRUE(cheap().verify(u.history.back(), "pass4"));
    EXPECT_TRUE(u.isInHistory("pass4", cheap()));
    EXPECT_FALSE(u.isInHistory("pass3", cheap())) << "the 17th previous one is forgotten";
    EXPECT_EQ(u.expiry, now + 30 * kSecondsPerDay);
    for (const std::string& h : u.history)
        EXPECT_EQ(h.find(','), std::string::npos);
}

TEST(UserRecordTest, ExpiryAndBanFollowTheClock) {
    CUser u;
    const LocalTime now = localTimeOf(2026, 3, 7, 23, 59, 0);
    u.expiry = now;
    EXPECT_FALSE(u.isPasswordExpired(now));
    EXPECT_TRUE(u.isPasswordExpired(now + 1));
    u.ban(now, 30);
    EXPECT_TRUE(u.isBanned(now + 30 * 60 - 1));
    EXPECT_FALSE(u.isBanned(now + 30 * 60));
    EXPECT_EQ(u.banEndText(), "00:29:00");
    u.liftBan(now);
    EXPECT_FALSE(u.isBanned(now));
}

TEST(PasswordHashTest, HashesAreSaltedCommaFreeAndRecognisedAndPlainTextsStillCompare) {
    const std::string a = cheap().hash("secret");
    const std::string b = cheap().hash("secret");
    EXPECT_NE(a, b) << "salted";
    EXPECT_TRUE(PasswordHasher::isHash(a));
    EXPECT_EQ(a.find(','), std::string::npos);
    EXPECT_TRUE(cheap().verify(a, "secret"));
    EXPECT_FALSE(cheap().verify(a, "Secret"));
    // Plain texts of older records: exact and case-sensitive.
    EXPECT_FALSE(PasswordHasher::isHash("$argon2id$short"));
    EXPECT_TRUE(cheap().verify("$argon2id$short", "$argon2id$short"));
    EXPECT_FALSE(cheap().verify("secret", "SECRET"));
    EXPECT_TRUE(PasswordHasher::isHash(cheap().upgrade("secret")));
    EXPECT_EQ(cheap().upgrade(a), a);
}

}  // namespace
}  // namespace qd40::security
