#include "app/security/user_rights.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "app/security/scramble.h"
#include "app/security/service_access.h"
#include "app/security/tests/rights_fixture.h"

namespace qd40::security {
namespace {

using testing::auditEvents;

class UserRightsTest : public testing::RightsFixture {};

// n times the two-byte character e acute.
std::string eAcute(size_t n) {
    std::string text;
    for (size_t i = 0; i < n; ++i)
        text += "\xC3\xA9";
    return text;
}

TEST_F(UserRightsTest, RightsWordFollowsDeclaredConnectedAndGroups) {
    store.writeInt("GroupsGroup1", "Rights", 0x0005);
    store.writeInt("GroupsGroup2", "Rights", 0x00F0);
    store.writeInt("GroupsGroup3", "Rights", 0x0300);
    store.writeInt("GroupsGroup4", "Rights", 0);
    rights->load();
    EXPECT_EQ(rights->rightsWord(), 0xFFFFFFFFu) << "no users: security off";

    rights->addUser(
        newUser("Operator One", "op1", "pass1", false, {true, false, true, false, false}));
    rights->addUser(newUser("Boss Person", "boss", "pass2", true, {}));
    EXPECT_EQ(rights->rightsWord(), 0u) << "users declared, nobody connected";
    EXPECT_FALSE(rights->hasRight(kRightOpen));

    ASSERT_TRUE(connect("OP1", "pass1"));
    EXPECT_EQ(rights->rightsWord(), 0xFFFF8000u | 0x0005u | 0x0300u);
    EXPECT_TRUE(rights->hasRight(kRightSendRun));
    EXPECT_FALSE(rights->hasRight(kRightSendProgram));
    EXPECT_EQ(rights->groups()[3].rights, 0xFFFF8000u) << "a group stored with 0 keeps bits 15..31";

    ASSERT_TRUE(rights->DisconnectUser(false));
    ASSERT_TRUE(connect("boss", "pass2"));
    EXPECT_EQ(rights->rightsWord(), 0xFFFFFFFFu) << "a supervisor has every right";
}

TEST_F(UserRightsTest, LoadGivesDefaultsAndClampsOnlyThePasswordValidity) {
    rights->load();
    EXPECT_EQ(rights->settings(), SecuritySettings{});
    EXPECT_EQ(rights->groupNames(),
              (std::vector<std::string>{"Group1", "Group2", "Group3", "Group4", "Group5"}));
    EXPECT_EQ(rights->groups()[0].rights, 0xFFFFFFFFu);

    const std::pair<int, int> cases[] = {{0, 1}, {-5, 1}, {45, 45}, {10000, 10000}, {20000, 10000}};
    for (auto [stored, loaded] : cases) {
        store.writeInt("Settings", "PwdDaysValid", stored);
        store.writeInt("Settings", "PwdMinLen", 1);
        rights->load();
        EXPECT_EQ(rights->settings().pwdDaysValid, loaded) << stored;
        EXPECT_EQ(rights->settings().pwdMinLen, 1) << "other settings are not clamped";
    }
}

TEST_F(UserRightsTest, SaveWritesTheStoredLayout) {
    rights->load();
    ASSERT_TRUE(rights->updateGroup(1, "Operators", 0x21));
    rights->addUser(
        newUser("Jane Doe", "jdoe", "secret1", true, {false, true, false, false, false}));
    ASSERT_TRUE(rights->save());

    EXPECT_EQ(store.readString("GroupsGroup2", "GroupName", ""), ScrambleText("Operators"));
    EXPECT_EQ(store.readString("GroupsGroup1", "GroupName", ""), ScrambleText("Group1"));
    EXPECT_EQ(static_cast<uint32_t>(store.readInt("GroupsGroup2", "Rights", 0)), 0xFFFF8021u);
    EXPECT_EQ(store.readInt("Users", "Qty", 0), 1);
    EXPECT_EQ(store.readInt("Settings", "AppChangeRights", 0), 1);

    const std::string record = ScrambleText(store.readString("Users", "User1", ""));
    EXPECT_EQ(std::count(record.begin(), record.end(), ','), 6 + 16);
    EXPECT_EQ(record.rfind("Jane Doe,JDOE,$argon2id$", 0), 0u) << record;
    EXPECT_NE(record.find(",101000,2026,04,06,"), std::string::npos) << record;
    EXPECT_EQ(record.find("secret1"), std::string::npos);

    auto again = make();
    again->load();
    ASSERT_EQ(again->users().size(), 1u);
    EXPECT_EQ(again->groups()[1].name, "Operators");
    EXPECT_TRUE(again->users()[0].checkPassword("secret1", again->hasher()));
}

TEST_F(UserRightsTest, AnOldRecordWithPlainPasswordsLoadsConnectsAndIsSavedHashed) {
    store.writeInt("Users", "Qty", 1);
    store.writeString("Users", "User1",
                      ScrambleText("Old User,OLDU,plainpw,010000,2026,12,31,prev1,prev2"));
    rights->load();
    ASSERT_TRUE(connect("oldu", "plainpw"));
    const int busyBefore = prompter.busyWork;
    ASSERT_TRUE(rights->save());
    EXPECT_EQ(prompter.busyWork, busyBefore + 1) << "the hashing behind the busy indicator";
    ASSERT_TRUE(rights->save());
    EXPECT_EQ(prompter.busyWork, busyBefore + 1) << "nothing left to hash";

    const std::string record = ScrambleText(store.readString("Users", "User1", ""));
    EXPECT_EQ(record.find("plainpw"), std::string::npos) << record;
    EXPECT_EQ(record.find("prev1"), std::string::npos) << record;
    const CUser stored = CUser::fromRecord(record);
    EXPECT_TRUE(PasswordHasher::isHash(stored.password));
    ASSERT_EQ(stored.history.size(), 2u);
    EXPECT_TRUE(PasswordHasher::isHash(stored.history[0]));

    auto again = make();
    again->load();
    prompter.connections.push_back(ConnectionEntry{"OLDU", "plainpw", false});
    EXPECT_TRUE(again->ConnectUser());
    EXPECT_TRUE(again->users()[0].isInHistory("prev2", again->hasher()));
}

TEST_F(UserRightsTest, FindsUsersIgnoringCaseWithTheBuiltInAccountAndGroupsExactly) {
    rights->load();
    rights->addUser(newUser("Jane Doe", "jdoe", "secret1", false, {true}));
    ASSERT_TRUE(rights->findUserByName("JANE doe"));
    EXPECT_EQ(rights->findUserByName("JANE doe")->index, 0);
    EXPECT_EQ(rights->findUserByIdentifier("JDoe")->user.name, "Jane Doe");
    EXPECT_FALSE(rights->findUserByName("Jane"));
    EXPECT_FALSE(rights->findUserByIdentifier("nobody"));

    const auto builtIn = rights->findUserByIdentifier("ovixsupervisor");
    ASSERT_TRUE(builtIn);
    EXPECT_TRUE(builtIn->isBuiltIn());
    EXPECT_TRUE(builtIn->user.supervisor);
    EXPECT_EQ(rights->findUserByName("OVIX SUPERVISOR")->user.identifier, "OVIXSUPERVISOR");

    // Accented letters too: the identifier is stored in upper case and both
    // lookups ignore case.
    rights->addUser(
        newUser("Zo\xC3\xAB M\xC3\xBCller", "h\xC3\xA9l\xC3\xA8ne", "secret2", false, {true}));
    EXPECT_EQ(rights->users()[1].identifier, "H\xC3\x89L\xC3\x88NE");
    EXPECT_EQ(rights->findUserByIdentifier("H\xC3\xA9L\xC3\xA8NE")->index, 1);
    EXPECT_EQ(rights->findUserByName("ZO\xC3\x8B M\xC3\x9CLLER")->index, 1);
    EXPECT_FALSE(rights->findUserByName("ZOE MULLER"));

    EXPECT_EQ(rights->findGroup("Group3"), 2);
    EXPECT_EQ(rights->findGroup("group3"), -1);
}

TEST_F(UserRightsTest, SupervisorAndPermissionQueries) {
    rights->load();
    SecuritySettings s;
    s.appChangeRights = false;
    s.deleteRights = false;
    rights->setSettings(s);
    rights->addUser(newUser("Operator One", "op1", "pass1", false, {true}));
    EXPECT_TRUE(rights->isConnectedUserSupervisor()) << "nobody connected, no declared supervisor";
    EXPECT_TRUE(rights->isSwitchingAllowed());

    rights->addUser(newUser("Boss Person", "boss", "pass2", true, {}));
    EXPECT_FALSE(rights->isConnectedUserSupervisor());
    EXPECT_FALSE(rights->isSwitchingAllowed());
    EXPECT_FALSE(rights->isOverwritingAllowed());

    ASSERT_TRUE(connect("op1", "pass1"));
    EXPECT_FALSE(rights->isOverwritingAllowed());
    ASSERT_TRUE(rights->DisconnectUser(false));
    ASSERT_TRUE(connect("boss", "pass2"));
    EXPECT_TRUE(rights->isSwitchingAllowed());
    EXPECT_TRUE(rights->isOverwritingAllowed());
}

TEST_F(UserRightsTest, OnlyASupervisorChangesTheFirstSevenRightsOfAGroup) {
    rights->load();
    rights->addUser(newUser("Boss Person", "boss", "pass2", true, {}));
    rights->addUser(newUser("Operator One", "op1", "pass1", false, {true}));
    ASSERT_TRUE(connect("op1", "pass1"));
    ASSERT_TRUE(rights->updateGroup(0, "Line A", 0x0000));
    EXPECT_EQ(rights->groups()[0].rights, 0xFFFF8000u | kSupervisorOnlyRights);
    ASSERT_TRUE(rights->DisconnectUser(false));
    ASSERT_TRUE(connect("boss", "pass2"));
    ASSERT_TRUE(rights->updateGroup(0, "Line A", 0x0000));
    EXPECT_EQ(rights->groups()[0].rights, 0xFFFF8000u);
    ASSERT_TRUE(rights->updateGroup(0, eAcute(51), 0x0000));
    EXPECT_EQ(rights->groups()[0].name, eAcute(50)) << "50 characters, none cut in two";
}

TEST_F(UserRightsTest, UserChangesWriteTheirEventsAndDeletedRecordsLeaveTheStore) {
    rights->load();
    auditOn();
    rights->addUser(newUser("Jane Doe", "jdoe", "secret1", false, {true}));
    rights->addUser(newUser("John Roe", "jroe", "secret2", false, {true}));
    CUser edited = rights->users()[0];
    edited.name = "Jane Smith";
    edited.identifier = "jsmith";
    edited.groups = {false, true};
    ASSERT_TRUE(rights->updateUser(0, edited));
    EXPECT_EQ(rights->users()[0].identifier, "JSMITH");
    ASSERT_TRUE(rights->save());

    prompter.answers = {Answer::Yes};
    ASSERT_TRUE(rights->DeleteUser("john roe"));
    EXPECT_EQ(store.readInt("Users", "Qty", 0), 1);
    EXPECT_EQ(store.readString("Users", "User2", "none"), "none");
    EXPECT_FALSE(rights->DeleteUser("Nobody Here"));
    EXPECT_EQ(prompter.shown.back().textId, text::kUserNotRegistered);

    EXPECT_EQ(codes(),
              (std::vector<std::string>{"USER_NEW", "USER_NEW", "USER_NAME_CHANGE",
                                        "USER_IDENT_CHANGE", "USER_GROUP_CHANGE", "USER_DELETE"}));
    const auto lines = auditEvents(rights->auditTrail().currentFile());
    EXPECT_EQ(lines[2], "2026-03-07 10:00:00,<no user>,USER_NAME_CHANGE,Jane Doe,Jane Smith");
    EXPECT_EQ(lines[4], "2026-03-07 10:00:00,<no user>,USER_GROUP_CHANGE,Jane Smith,010000,001000");
}

TEST_F(UserRightsTest, UserEditChecksComeInOrder) {
    rights->load();
    rights->addUser(newUser("Jane Doe", "JDOE", "secret1", false, {true}));
    rights->addUser(newUser("John Roe", "JROE", "secret2", false, {true}));
    struct Case {
        int index;
        std::string name;
        std::string id;
        bool supervisor;
        bool group;
        std::optional<Message> expected;
    };
    const Message nameRules{text::kUserNameRules, {"4", "50"}};
    const Message idRules{text::kUserIdentRules, {"4", "20"}};
    const Case cases[] = {
        {-1, "New Person", "NEWP", false, true, std::nullopt},
        {-1, "Abc", "NEWP", false, false, Message{text::kUserNeedsGroup, {}}},
        {-1, "Abc", "NEWP", true, false, nameRules},
        {-1, "Bad, Name", "NEWP", false, true, nameRules},
        {-1, std::string(51, 'x'), "NEWP", false, true, nameRules},
        {-1, "john roe", "NEWP", false, true, Message{text::kUserAlreadyRegistered, {"john roe"}}},
        {-1, "OVIX Supervisor", "NEWP", false, true,
         Message{text::kUserAlreadyRegistered, {"OVIX Supervisor"}}},
        {-1, "New Person", "NEW P", false, true, idRules},
        {-1, "New Person", "NEW", false, true, idRules},
        {-1, "New Person", "jroe", false, true, Message{text::kIdentAlreadyUsed, {"JROE"}}},
        {0, "JANE DOE", "jdoe", false, true, std::nullopt},  // unchanged in another case
        {0, "Jane Doe", "JROE", false, true, Message{text::kIdentAlreadyUsed, {"JROE"}}},
        // Lengths count characters, not the bytes of their UTF-8 text.
        {-1, "Zo\xC3\xAB", "NEWP", false, true, nameRules},
        {-1, eAcute(50), "NEWP", false, true, std::nullopt},
        {-1, eAcute(51), "NEWP", false, true, nameRules},
        {-1, "New Person", eAcute(3), false, true, idRules},
        {-1, "New Person", eAcute(20), false, true, std::nullopt},
    };
    for (const Case& c : cases) {
        CUser u;
        u.name = c.name;
        u.identifier = c.id;
        u.supervisor = c.supervisor;
        u.groups[4] = c.group;
        EXPECT_EQ(rights->checkUserEdit(c.index, u), c.expected) << c.name << " / " << c.id;
    }
}

TEST_F(UserRightsTest, TheBuiltInSupervisorNeedsTheCodeOfThisMachineAndDay) {
    rights->load();
    const std::string secret = store.readString(kServiceSection, kServiceSecretEntry, "");
    ASSERT_EQ(secret.size(), 64u);
    EXPECT_EQ(rights->serviceSecret(), secret);
    auto again = make();
    again->load();
    EXPECT_EQ(again->serviceSecret(), secret) << "drawn once, at the first start";

    const std::string today = serviceAccessCode(secret, clock.now());
    const std::string tomorrow = serviceAccessCode(secret, clock.now() + kSecondsPerDay);
    const std::string otherMachine = serviceAccessCode(std::string(64, 'a'), clock.now());
    EXPECT_EQ(today.size(), 12u);
    EXPECT_NE(today, tomorrow);
    EXPECT_NE(today, otherMachine);
    EXPECT_EQ(serviceAccessCode("", clock.now()), "");

    rights->addUser(newUser("Operator One", "op1", "pass1", false, {true}));
    EXPECT_FALSE(connect("OVIXSUPERVISOR", tomorrow));
    EXPECT_FALSE(connect("OVIXSUPERVISOR", otherMachine));
    EXPECT_TRUE(connect("ovixsupervisor", today));
    EXPECT_TRUE(rights->isConnectedUserSupervisor());
}

}  // namespace
}  // namespace qd40::security

namespace qd40::security {
namespace {

TEST_F(UserRightsTest, TheGroupDialogFindsItsGroupAndMovesUsersInAndOut) {
    rights->load();
    auditOn();
    rights->addUser(newUser("Jane Doe", "JDOE", "secret1", false, {true}));
    rights->addUser(newUser("John Roe", "JROE", "secret2", false, {true, true}));
    EXPECT_EQ(rights->findGroupForEdit("Group2"), 1);
    EXPECT_EQ(rights->findGroupForEdit("Nope"), -1);
    EXPECT_EQ(prompter.shownIds(), std::vector<int>{text::kGroupNameUnknown});

    ASSERT_TRUE(rights->setGroupMembers(1, {"Jane Doe"}));
    EXPECT_EQ(rights->users()[0].flagText(), "011000");
    EXPECT_EQ(rights->users()[1].flagText(), "010000");
    const auto lines = auditEvents(rights->auditTrail().currentFile());
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[2], "2026-03-07 10:00:00,<no user>,USER_GROUP_CHANGE,Jane Doe,010000,011000");
    EXPECT_EQ(lines[3], "2026-03-07 10:00:00,<no user>,USER_GROUP_CHANGE,John Roe,011000,010000");
}

TEST_F(UserRightsTest, PrintoutsCarryTheUserNameOnlyWhenAsked) {
    rights->load();
    EXPECT_FALSE(rights->printFooter());
    SecuritySettings s = rights->settings();
    s.printUserName = true;
    rights->setSettings(s);
    rights->addUser(newUser("Jane Doe", "JDOE", "secret1", false, {true}));
    ASSERT_TRUE(connect("JDOE", "secret1"));
    EXPECT_EQ(rights->printFooter(), "Tavik B.10 - 2026-03-07 10:00:00 - Printed by Jane Doe");
}

}  // namespace
}  // namespace qd40::security

namespace qd40::security {
namespace {

TEST_F(UserRightsTest, AMissingRecordIsSkippedAndTheUsersAfterItAreKept) {
    store.writeInt("Users", "Qty", 3);
    store.writeString("Users", "User1", ScrambleText("Jane Doe,JDOE,pw12,010000,2026,12,31"));
    store.writeString("Users", "User3", ScrambleText("John Roe,JROE,pw34,010000,2026,12,31"));
    rights->load();
    EXPECT_EQ(rights->userNames(), (std::vector<std::string>{"Jane Doe", "John Roe"}));
    ASSERT_TRUE(rights->save());
    EXPECT_EQ(store.readInt("Users", "Qty", 0), 2);
    EXPECT_EQ(CUser::fromRecord(ScrambleText(store.readString("Users", "User2", ""))).name,
              "John Roe");
    EXPECT_EQ(store.readString("Users", "User3", "gone"), "gone");
}

TEST_F(UserRightsTest, ACountFarBeyondTheStoredRecordsStopsReading) {
    store.writeInt("Users", "Qty", 2000000000);
    store.writeString("Users", "User1", ScrambleText("Jane Doe,JDOE,pw12,010000,2026,12,31"));
    store.writeString("Users", "User2", ScrambleText(",,,000000"));
    rights->load();
    ASSERT_EQ(rights->users().size(), 2u);
    EXPECT_FALSE(rights->findUserByIdentifier(""));
    EXPECT_FALSE(connect("", ""));
    EXPECT_EQ(prompter.shownIds(), std::vector<int>{text::kIdentUnknown});
}

}  // namespace
}  // namespace qd40::security

namespace qd40::security {
namespace {

TEST_F(UserRightsTest, AcceptingTheUserDialogKeepsThePasswordAndANewUserChoosesOneAtConnection) {
    rights->load();
    rights->addUser(newUser("Jane Doe", "JDOE", "secret1", false, {true}));
    CUser edited;
    edited.name = "Jane Smith";
    edited.identifier = "jsmith";
    edited.groups = {false, true};
    edited.password = "ignored";
    ASSERT_TRUE(rights->acceptUserEdit(0, edited));
    EXPECT_TRUE(connect("JSMITH", "secret1"));
    ASSERT_TRUE(rights->DisconnectUser(false));

    CUser fresh;
    fresh.name = "New Person";
    fresh.identifier = "newp";
    fresh.password = "start1";
    EXPECT_FALSE(rights->acceptUserEdit(-1, fresh));
    EXPECT_EQ(prompter.shownIds(), std::vector<int>{text::kUserNeedsGroup});
    fresh.groups[2] = true;
    // A new user needs a starting password that the rules accept.
    for (const char* bad : {"", "a b c d", "x,y,z,w"}) {
        prompter.shown.clear();
        fresh.password = bad;
        EXPECT_FALSE(rights->acceptUserEdit(-1, fresh)) << bad;
        EXPECT_EQ(prompter.shownIds(), std::vector<int>{text::kPasswordRules}) << bad;
    }
    fresh.password = "start1";
    ASSERT_TRUE(rights->acceptUserEdit(-1, fresh));
    EXPECT_EQ(store.readInt("Users", "Qty", 0), 2);
    EXPECT_NE(rights->users()[1].password, "start1") << "stored hashed";

    // Nobody can choose the first password without the starting one; the
    // user gives it and must replace it at once.
    prompter.shown.clear();
    prompter.connections.push_back(ConnectionEntry{"NEWP", "", false});
    prompter.connections.push_back(ConnectionEntry{"NEWP", "start1", false});
    prompter.passwords = {PasswordEntry{"start1", "first1", "first1"}};
    EXPECT_TRUE(rights->ConnectUser());
    EXPECT_EQ(prompter.shownIds(), (std::vector<int>{text::kWrongPassword, text::kPasswordExpired,
                                                     text::kPasswordRecorded}));
    EXPECT_TRUE(rights->users()[1].isInHistory("start1", rights->hasher()))
        << "the starting password cannot be chosen again";
}

// Which commands of the Security menu are offered, state by state. The
// letters follow the commands' order: Connect, Disconnect, Verify, Change
// password, Users, Groups, Attributes, View audit trail, Insert message.
TEST_F(UserRightsTest, SecurityMenuCommandsFollowTheUsersAndTheConnection) {
    const SecurityCommand all[] = {
        SecurityCommand::Connect,       SecurityCommand::Disconnect,
        SecurityCommand::Verify,        SecurityCommand::ChangePassword,
        SecurityCommand::Users,         SecurityCommand::Groups,
        SecurityCommand::Attributes,    SecurityCommand::ViewAuditTrail,
        SecurityCommand::InsertMessage,
    };
    const auto offered = [&] {
        std::string out;
        for (SecurityCommand c : all)
            out += rights->commandEnabled(c) ? 'x' : '-';
        return out;
    };
    EXPECT_EQ(offered(), "----xxxx-") << "security off, trail off";
    auditOn();
    EXPECT_EQ(offered(), "----xxxxx") << "security off, trail on";

    store.writeInt("GroupsGroup1", "Rights", 0x0001);  // no audit trail viewing
    rights->load();
    auditOn();
    rights->addUser(
        newUser("Operator One", "op1", "pass1", false, {true, false, false, false, false}));
    rights->addUser(newUser("Boss Person", "boss", "pass2", true, {}));
    EXPECT_EQ(offered(), "x--------") << "nobody connected";
    ASSERT_TRUE(connect("OP1", "pass1"));
    EXPECT_EQ(offered(), "xxxx-x--x") << "a user of a group without right 7";
    ASSERT_TRUE(connect("BOSS", "pass2"));
    EXPECT_EQ(offered(), "xxxxxxxxx") << "a supervisor";
    ASSERT_TRUE(connect(kBuiltInSupervisorIdentifier,
                        serviceAccessCode(rights->serviceSecret(), clock.now())));
    EXPECT_EQ(offered(), "xxx-xxxxx") << "the built-in account has no password to change";
}

}  // namespace
}  // namespace qd40::security
