#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <thread>

#include "app/security/scramble.h"
#include "app/security/service_access.h"
#include "app/security/tests/rights_fixture.h"

namespace qd40::security {
namespace {

using testing::auditEvents;

class LogonTest : public testing::RightsFixture {
protected:
    void SetUp() override {
        rights->load();
        SecuritySettings s = rights->settings();
        s.auditTrail = true;
        rights->setSettings(s);
        rights->addUser(newUser("Jane Doe", "JDOE", "current1", false, {true}));
        prompter.shown.clear();
        lastLines = 0;
    }
    // Event codes written since the previous call.
    std::vector<std::string> newCodes() {
        std::vector<std::string> all = codes();
        std::vector<std::string> fresh(all.begin() + std::min(lastLines, all.size()), all.end());
        lastLines = all.size();
        return fresh;
    }
    void settingsWith(auto change) {
        SecuritySettings s = rights->settings();
        change(s);
        rights->setSettings(s);
    }
    size_t lastLines = 0;
};

using Codes = std::vector<std::string>;

TEST_F(LogonTest, TheThirdWrongPasswordBansForTheBanDurationAndWritesOneConnectFail) {
    newCodes();
    for (const char* pw : {"bad1", "bad2", "bad3", "current1"})
        prompter.connections.push_back(ConnectionEntry{"jdoe", pw, false});
    EXPECT_FALSE(rights->ConnectUser());
    EXPECT_EQ(prompter.shownIds(),
              (std::vector<int>{text::kWrongPassword, text::kWrongPassword, text::kWrongPassword,
                                text::kNotAllowedBefore, text::kNotAllowedBefore}));
    EXPECT_EQ(prompter.shown[3].args, (std::vector<std::string>{"JDOE", "10:30:00"}));
    EXPECT_EQ(newCodes(), Codes{"CONNECT_FAIL"});
    EXPECT_EQ(auditEvents(rights->auditTrail().currentFile()).back(),
              "2026-03-07 10:00:00,<no user>,CONNECT_FAIL,JDOE");
    EXPECT_TRUE(rights->users()[0].isBanned(clock.now()));

    clock.advance(30 * 60 - 1);
    EXPECT_FALSE(connect("JDOE", "current1"));
    clock.advance(1);
    EXPECT_TRUE(connect("JDOE", "current1"));
    EXPECT_EQ(newCodes(), Codes{"CONNECT"});
}

TEST_F(LogonTest, WrongPasswordsCountPerUserAcrossDialogsUntilARightOne) {
    using Dialog = std::vector<ConnectionEntry>;
    struct Case {
        const char* what;
        std::vector<Dialog> dialogs;
        bool janeBanned;
        bool johnBanned;
    };
    const ConnectionEntry janeBad{"JDOE", "bad", false}, janeRight{"JDOE", "current1", false};
    const ConnectionEntry johnBad{"JROE", "bad", false};
    const Case cases[] = {
        {"cancelling and reopening keeps the count", {{janeBad, janeBad}, {janeBad}}, true, false},
        {"two users count apart", {{janeBad, janeBad, johnBad}, {johnBad}}, false, false},
        {"a right password starts again",
         {{janeBad, janeBad, janeRight}, {janeBad, janeBad}},
         false,
         false},
    };
    for (const Case& c : cases) {
        rights = make();
        rights->load();
        auditOn();
        rights->addUser(newUser("Jane Doe", "JDOE", "current1", false, {true}));
        rights->addUser(newUser("John Roe", "JROE", "current2", false, {true}));
        newCodes();
        for (const Dialog& dialog : c.dialogs) {
            prompter.connections.assign(dialog.begin(), dialog.end());
            rights->ConnectUser();  // each script ends with Cancel or a connection
        }
        EXPECT_EQ(rights->users()[0].isBanned(clock.now()), c.janeBanned) << c.what;
        EXPECT_EQ(rights->users()[1].isBanned(clock.now()), c.johnBanned) << c.what;
        const Codes fresh = newCodes();
        EXPECT_EQ(std::count(fresh.begin(), fresh.end(), "CONNECT_FAIL"), c.janeBanned ? 1 : 0)
            << c.what;
    }
}

TEST_F(LogonTest, TheBuiltInAccountIsBannedLikeAnyOther) {
    const std::string code = serviceAccessCode(rights->serviceSecret(), clock.now());
    for (const char* pw : {"guess1", "guess2", "guess3"})
        prompter.connections.push_back(ConnectionEntry{"OVIXSUPERVISOR", pw, false});
    prompter.connections.push_back(ConnectionEntry{"OVIXSUPERVISOR", code, false});
    EXPECT_FALSE(rights->ConnectUser());
    EXPECT_EQ(prompter.shown.back().textId, text::kNotAllowedBefore);
    EXPECT_FALSE(rights->anyUserConnected());
}

TEST_F(LogonTest, PasswordChangeChecksComeInOrderUntilOneIsAccepted) {
    CUser jane = rights->users()[0];
    jane.history = {rights->hasher().hash("old1")};
    rights->updateUser(0, jane);
    newCodes();

    const std::string tooLong(21, 'x');
    // Lengths count characters: 3 of them are too few even in 7 bytes, 20 are
    // enough even in 40 bytes.
    const std::string threeChars = "\xC3\xA9\xE2\x82\xAC\xC3\xBC";
    std::string twentyChars;
    for (int i = 0; i < 20; ++i)
        twentyChars += "\xC3\xA9";
    prompter.passwords = {
        PasswordEntry{"wrong", "abcd", "abcd"},
        PasswordEntry{"current1", "abcd", "abce"},
        PasswordEntry{"current1", "abc", "abc"},
        PasswordEntry{"current1", tooLong, tooLong},
        PasswordEntry{"current1", "ab,cd", "ab,cd"},
        PasswordEntry{"current1", "ab cd", "ab cd"},
        PasswordEntry{"current1", "current1", "current1"},
        PasswordEntry{"current1", "old1", "old1"},
        PasswordEntry{"current1", threeChars, threeChars},
        PasswordEntry{"current1", twentyChars, twentyChars},
    };
    EXPECT_TRUE(rights->ChangePassword("jane doe", false));
    const std::vector<std::string> rules{"4", "20"};
    const std::vector<testing::Shown> expected = {
        {text::kWrongPassword, {}, Buttons::Ok},
        {text::kPasswordsDiffer, {}, Buttons::Ok},
        {text::kPasswordRules, rules, Buttons::Ok},
        {text::kPasswordRules, rules, Buttons::Ok},
        {text::kPasswordRules, rules, Buttons::Ok},
        {text::kPasswordRules, rules, Buttons::Ok},
        {text::kPasswordSameAsCurrent, {"Jane Doe"}, Buttons::Ok},
        {text::kPasswordAlreadyUsed, {"Jane Doe"}, Buttons::Ok},
        {text::kPasswordRules, rules, Buttons::Ok},
        {text::kPasswordRecorded, {"Jane Doe"}, Buttons::Ok},
    };
    EXPECT_EQ(prompter.shown, expected);
    EXPECT_EQ(prompter.prefilled.front(), "") << "not from the connection: nothing filled in";
    EXPECT_EQ(newCodes(), Codes{"USER_PASS_CHANGE"});
    EXPECT_EQ(rights->users()[0].expiry, clock.now() + 30 * kSecondsPerDay);

    auto again = make();  // saved: a fresh manager connects with the new password
    again->load();
    prompter.connections.push_back(ConnectionEntry{"JDOE", twentyChars, false});
    EXPECT_TRUE(again->ConnectUser());
    EXPECT_EQ(securityText(text::kPasswordRules, rules),
              "Password Rules:\n. 4 characters as a minimum\n. 20 characters as a maximum\n. "
              "Neither comma nor space.");
}

TEST_F(LogonTest, APasswordOfTheMinimumLengthIsAcceptedAndTwentyOneCharactersAreNot) {
    struct Case {
        int minLen;
        std::string password;
        bool accepted;
    };
    const Case cases[] = {
        {4, "abcd", true},
        {4, "abc", false},
        {6, "abcdef", true},
        {6, "abcde", false},
        {4, std::string(20, 'k'), true},
        {4, std::string(21, 'm'), false},
    };
    std::string current = "current1";
    for (const Case& c : cases) {
        settingsWith([&](SecuritySettings& s) { s.pwdMinLen = c.minLen; });
        prompter.shown.clear();
        prompter.passwords = {PasswordEntry{current, c.password, c.password}};
        // A refused password ends with Cancel, which succeeds: nothing expired.
        EXPECT_TRUE(rights->ChangePassword("Jane Doe", false));
        EXPECT_EQ(prompter.shownIds().front(),
                  c.accepted ? text::kPasswordRecorded : text::kPasswordRules)
            << c.minLen << " " << c.password;
        if (c.accepted)
            current = c.password;
    }
}

TEST_F(LogonTest, TheSeventeenthPreviousPasswordIsAcceptedAgain) {
    for (int i = 1; i <= 17; ++i) {
        const std::string pw = "pass" + std::to_string(i);
        const std::string current = i == 1 ? "current1" : "pass" + std::to_string(i - 1);
        prompter.passwords = {PasswordEntry{current, pw, pw}};
        ASSERT_TRUE(rights->ChangePassword("Jane Doe", false)) << i;
    }
    prompter.shown.clear();
    prompter.passwords = {PasswordEntry{"pass17", "pass1", "pass1"},
                          PasswordEntry{"pass17", "current1", "current1"}};
    EXPECT_TRUE(rights->ChangePassword("Jane Doe", false));
    EXPECT_EQ(prompter.shownIds(),
              (std::vector<int>{text::kPasswordAlreadyUsed, text::kPasswordRecorded}));
}

TEST_F(LogonTest, AnExpiredPasswordMustBeChangedBeforeConnecting) {
    CUser jane = rights->users()[0];
    jane.forceExpiry(clock.now() - 1);
    rights->updateUser(0, jane);

    // Changed: connects, the change dialog carrying the password just typed.
    prompter.connections.push_back(ConnectionEntry{"JDOE", "current1", false});
    prompter.passwords = {PasswordEntry{"current1", "fresh1", "fresh1"}};
    EXPECT_TRUE(rights->ConnectUser());
    EXPECT_EQ(prompter.prefilled, (std::vector<std::string>{"current1"}));
    EXPECT_EQ(prompter.shownIds(),
              (std::vector<int>{text::kPasswordExpired, text::kPasswordRecorded}));
    EXPECT_EQ(rights->connectedIdentifier(), "JDOE");
    ASSERT_TRUE(rights->DisconnectUser(false));

    // Not changed: the dialog is cancelled and the reminder too; no connection.
    jane = rights->users()[0];
    jane.forceExpiry(clock.now() - 1);
    rights->updateUser(0, jane);
    prompter.shown.clear();
    prompter.connections.push_back(ConnectionEntry{"JDOE", "fresh1", false});
    prompter.answers = {Answer::Cancel};
    EXPECT_FALSE(rights->ConnectUser());
    EXPECT_EQ(prompter.shownIds(), (std::vector<int>{text::kPasswordExpired, text::kPasswordExpired,
                                                     text::kConnectionFailed}));
    EXPECT_EQ(prompter.shown[1].buttons, Buttons::OkCancel);
    EXPECT_FALSE(rights->anyUserConnected());
}

// The machine-wide store with writes that fail on demand.
class FailingStore : public settings::SettingsStore {
public:
    explicit FailingStore(settings::SettingsStore& inner) : inner_(inner) {}
    bool failWrites = false;
    std::string failSection;  // writes to this section alone fail
    int readInt(const std::string& s, const std::string& e, int def) const override {
        return inner_.readInt(s, e, def);
    }
    std::string readString(const std::string& s, const std::string& e,
                           const std::string& def) const override {
        return inner_.readString(s, e, def);
    }
    bool writeInt(const std::string& s, const std::string& e, int v) override {
        return !failWrites && s != failSection && inner_.writeInt(s, e, v);
    }
    bool writeString(const std::string& s, const std::optional<std::string>& e,
                     const std::optional<std::string>& v) override {
        return !failWrites && s != failSection && inner_.writeString(s, e, v);
    }

private:
    settings::SettingsStore& inner_;
};

TEST_F(LogonTest, ANewPasswordThatCannotBeStoredIsNotAnnouncedAndTheOldOneStays) {
    FailingStore failing(store);
    rights = std::make_unique<CUserRights>(
        failing, clock, UserRightsConfig{folder.path(), "Tavik", "B.10", HashCost::minimum()});
    rights->setPrompter(&prompter);
    rights->load();
    auditOn();
    rights->addUser(newUser("Jane Doe", "JDOE", "current1", false, {true}));
    ASSERT_TRUE(rights->save());
    newCodes();
    failing.failWrites = true;

    prompter.passwords = {PasswordEntry{"current1", "fresh1", "fresh1"}};
    EXPECT_FALSE(rights->ChangePassword("Jane Doe", false));
    EXPECT_EQ(
        prompter.shown,
        (std::vector<testing::Shown>{{text::kPasswordNotRecorded, {"Jane Doe"}, Buttons::Ok}}));
    EXPECT_TRUE(newCodes().empty()) << "no USER_PASS_CHANGE";
    EXPECT_TRUE(rights->users()[0].checkPassword("current1", rights->hasher()));

    // An expired password that cannot be replaced gives no connection.
    CUser jane = rights->users()[0];
    jane.forceExpiry(clock.now() - 1);
    rights->updateUser(0, jane);
    prompter.shown.clear();
    prompter.connections.push_back(ConnectionEntry{"JDOE", "current1", false});
    prompter.passwords = {PasswordEntry{"current1", "fresh1", "fresh1"}};
    EXPECT_FALSE(rights->ConnectUser());
    EXPECT_EQ(prompter.shownIds(),
              (std::vector<int>{text::kPasswordExpired, text::kPasswordNotRecorded,
                                text::kConnectionFailed}));
    EXPECT_FALSE(rights->anyUserConnected());

    auto again = make();  // the store still holds the old password
    again->load();
    EXPECT_TRUE(again->users()[0].checkPassword("current1", again->hasher()));

    // A save that fails part-way (the user records written, the settings
    // not) leaves the old password in the store too, as announced.
    failing.failWrites = false;
    failing.failSection = "Settings";
    prompter.shown.clear();
    prompter.passwords = {PasswordEntry{"current1", "fresh1", "fresh1"}};
    EXPECT_FALSE(rights->ChangePassword("Jane Doe", false));
    EXPECT_EQ(prompter.shownIds(), (std::vector<int>{text::kPasswordNotRecorded}));
    auto fresh = make();
    fresh->load();
    EXPECT_TRUE(fresh->users()[0].checkPassword("current1", fresh->hasher()));
    EXPECT_FALSE(fresh->users()[0].checkPassword("fresh1", fresh->hasher()));
}

TEST_F(LogonTest, ASaveThatFailsIsShownAndADeletedUserStaysDeclared) {
    FailingStore failing(store);
    rights = std::make_unique<CUserRights>(
        failing, clock, UserRightsConfig{folder.path(), "Tavik", "B.10", HashCost::minimum()});
    rights->setPrompter(&prompter);
    rights->load();
    rights->addUser(newUser("Jane Doe", "JDOE", "current1", false, {true}));
    ASSERT_TRUE(rights->save());
    failing.failWrites = true;

    struct Case {
        const char* what;
        std::function<bool()> run;
    };
    CUser fresh;
    fresh.name = "New Person";
    fresh.identifier = "NEWP";
    fresh.groups[0] = true;
    fresh.password = "start1";
    SecuritySettings changed = rights->settings();
    changed.retries = 7;
    const Case cases[] = {
        {"delete", [&] { return rights->DeleteUser("Jane Doe"); }},
        {"user dialog", [&] { return rights->acceptUserEdit(-1, fresh); }},
        {"security settings", [&] { return rights->applySecuritySettings(changed); }},
    };
    for (const Case& c : cases) {
        prompter.shown.clear();
        prompter.answers = {Answer::Yes};
        EXPECT_FALSE(c.run()) << c.what;
        ASSERT_FALSE(prompter.shown.empty()) << c.what;
        EXPECT_EQ(prompter.shown.back().textId, text::kSettingsNotSaved) << c.what;
    }
    ASSERT_FALSE(rights->userNames().empty());
    EXPECT_EQ(rights->userNames().front(), "Jane Doe") << "not deleted: the store still has her";
}

TEST_F(LogonTest, TheChangeButtonWithACancelledChangeStillConnects) {
    prompter.connections.push_back(ConnectionEntry{"JDOE", "current1", true});
    EXPECT_TRUE(rights->ConnectUser());
    EXPECT_EQ(prompter.prefilled, (std::vector<std::string>{"current1"}));
    EXPECT_TRUE(prompter.shown.empty());
}

TEST_F(LogonTest, TheBuiltInAccountsPasswordCannotBeChanged) {
    EXPECT_FALSE(rights->ChangePassword("OVIX Supervisor", false));
    EXPECT_FALSE(rights->ChangePassword("Nobody Here", false));
    EXPECT_EQ(prompter.shown, (std::vector<testing::Shown>{
                                  {text::kPasswordNotModifiable, {"OVIX Supervisor"}, Buttons::Ok},
                                  {text::kUserNotRegistered, {"Nobody Here"}, Buttons::Ok}}));
}

TEST_F(LogonTest, ConnectionValidityDecidesTheForcedDisconnection) {
    struct Case {
        int cnxMnValid;
        LocalTime after;
        bool expired;
    };
    const Case cases[] = {
        {0, 10 * 365 * kSecondsPerDay, false},
        {30, 30 * 60, false},
        {30, 30 * 60 + 1, true},
    };
    const LocalTime base = clock.now();
    for (const Case& c : cases) {
        clock.set(base);
        settingsWith([&](SecuritySettings& s) { s.cnxMnValid = c.cnxMnValid; });
        ASSERT_TRUE(connect("JDOE", "current1"));
        newCodes();
        prompter.notified.clear();
        clock.advance(c.after);
        EXPECT_EQ(rights->isConnectionExpired(), c.expired) << c.cnxMnValid << " " << c.after;
        EXPECT_EQ(rights->ForceDisconnectUser(), c.expired);
        if (c.expired) {
            EXPECT_EQ(
                prompter.notified,
                (std::vector<testing::Shown>{{text::kAutoDisconnect, {"JDOE"}, Buttons::Ok}}));
            EXPECT_EQ(newCodes(), Codes{"DISCONNECT_AUTO"});
            EXPECT_FALSE(rights->anyUserConnected());
        } else {
            EXPECT_TRUE(prompter.notified.empty());
            EXPECT_TRUE(newCodes().empty());
            ASSERT_TRUE(rights->DisconnectUser(false));
        }
    }
}

TEST_F(LogonTest, DisconnectingAsksAndWritesTheEventWithTheUser) {
    EXPECT_FALSE(rights->DisconnectUser(true));
    EXPECT_EQ(prompter.shownIds(), std::vector<int>{text::kNoConnectedUser});

    ASSERT_TRUE(connect("JDOE", "current1"));
    prompter.shown.clear();
    prompter.answers = {Answer::No, Answer::Yes};
    EXPECT_FALSE(rights->DisconnectUser(true));
    EXPECT_EQ(rights->connectedIdentifier(), "JDOE");
    EXPECT_TRUE(rights->DisconnectUser(true));
    EXPECT_EQ(prompter.shown[0],
              (testing::Shown{text::kDisconnectAsk, {"JDOE"}, Buttons::YesNoCancel}));
    EXPECT_FALSE(rights->anyUserConnected());
    EXPECT_EQ(auditEvents(rights->auditTrail().currentFile()).back(),
              "2026-03-07 10:00:00,JDOE,DISCONNECT");
}

TEST_F(LogonTest, TheApplicationLockFollowsTheSwitchingSettingAndTheUser) {
    testing::RecordingLock lock;
    rights->setApplicationLock(&lock);
    settingsWith([](SecuritySettings& s) { s.appChangeRights = false; });
    rights->addUser(newUser("Boss Person", "BOSS", "pass2", true, {}));

    ASSERT_TRUE(connect("JDOE", "current1"));
    ASSERT_TRUE(rights->DisconnectUser(false));
    ASSERT_TRUE(connect("BOSS", "pass2"));
    ASSERT_TRUE(rights->DisconnectUser(false));
    EXPECT_EQ(lock.calls, (std::vector<bool>{true, true, false, true}));
    EXPECT_TRUE(prompter.shown.empty());

    lock.possible = false;
    ASSERT_TRUE(connect("JDOE", "current1"));
    EXPECT_EQ(prompter.shownIds(), std::vector<int>{text::kLockingUnavailable});
}

TEST_F(LogonTest, VerifyingAsksTheConnectedUserAgainWithoutReconnecting) {
    EXPECT_FALSE(rights->VerifyPassword());
    ASSERT_TRUE(connect("JDOE", "current1"));
    newCodes();
    prompter.shown.clear();
    prompter.connections = {ConnectionEntry{"", "bad", false},
                            ConnectionEntry{"", "current1", false}};
    EXPECT_TRUE(rights->VerifyPassword());
    EXPECT_EQ(prompter.connectionTitles.back(), text::kVerifyingPassword);
    EXPECT_EQ(prompter.shownIds(), std::vector<int>{text::kWrongPassword});
    EXPECT_TRUE(newCodes().empty());
}

TEST_F(LogonTest, TheWatchPostsOnceWhenTheConnectionRunsOutAndStopsOnTheHandshake) {
    settingsWith([](SecuritySettings& s) { s.cnxMnValid = 1; });
    ASSERT_TRUE(connect("JDOE", "current1"));
    std::atomic<int> posts{0};
    rights->startConnectionWatch([&] { ++posts; }, std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    EXPECT_EQ(posts.load(), 0);

    clock.advance(61);
    for (int i = 0; i < 200 && posts.load() == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    EXPECT_EQ(posts.load(), 1) << "one post per connection";
    EXPECT_TRUE(rights->ForceDisconnectUser());
    EXPECT_TRUE(rights->stopConnectionWatch());

    // With its real one-second period, stopping does not wait for the next tick.
    rights->startConnectionWatch([] {});
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(rights->stopConnectionWatch());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
}

}  // namespace
}  // namespace qd40::security
