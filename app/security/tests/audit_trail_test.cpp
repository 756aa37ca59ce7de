#include "app/security/audit_trail.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>

#include "app/security/scramble.h"
#include "app/security/tests/rights_fixture.h"

namespace qd40::security {
namespace {

using testing::auditEvents;
using testing::FakeClock;
using testing::fileLines;
using testing::TempFolder;

std::string rawBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(AuditTrailWriterTest, TheFirstEventOfAMonthCreatesItsFileWithTheTwoHeaderLines) {
    TempFolder folder;
    FakeClock clock(localTimeOf(2026, 3, 31, 23, 59, 58));
    AuditTrailWriter writer(folder.path(), clock, "Tavik", "B.10");
    ASSERT_TRUE(writer.append("<no user>", "APP_START", {}));
    ASSERT_TRUE(writer.append("JDOE", "EXPORT_DOC", {"/d/plant.dqx", "out.txt"}));

    const auto march = folder.path() / "Tavik-2603.atl";
    EXPECT_EQ(writer.currentFile(), march);
    const auto lines = fileLines(march);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "Tavik B.10");
    EXPECT_EQ(ScrambleText(lines[1]), "TAVIK USER AUDIT TRAIL FILE - 03/2026");
    EXPECT_EQ(ScrambleText(lines[2]), "2026-03-31 23:59:58,<no user>,APP_START");
    EXPECT_EQ(ScrambleText(lines[3]), "2026-03-31 23:59:58,JDOE,EXPORT_DOC,/d/plant.dqx,out.txt");
    const std::string raw = rawBytes(march);
    EXPECT_EQ(raw.substr(0, 12), "Tavik B.10\r\n");
    EXPECT_EQ(raw.substr(raw.size() - 2), "\r\n");

    clock.advance(2);
    ASSERT_TRUE(writer.append("JDOE", "MESSAGE", {"line one\nline two", "b", "c", "d", "e"}));
    const auto april = folder.path() / "Tavik-2604.atl";
    const auto aprilLines = fileLines(april);
    ASSERT_EQ(aprilLines.size(), 3u);
    EXPECT_EQ(ScrambleText(aprilLines[1]), "TAVIK USER AUDIT TRAIL FILE - 04/2026");
    EXPECT_EQ(ScrambleText(aprilLines[2]),
              "2026-04-01 00:00:00,JDOE,MESSAGE,line one line two,b,c,d")
        << "one line, at most four arguments";
    EXPECT_EQ(fileLines(march).size(), 4u);
}

TEST(AuditTrailWriterTest, AFailureIsReportedAndLeavesNothing) {
    TempFolder folder;
    FakeClock clock;
    AuditTrailWriter writer(folder.path() / "missing", clock, "Tavik", "B.10");
    const Status status = writer.append("JDOE", "CONNECT", {});
    EXPECT_FALSE(status);
    EXPECT_NE(status.error.description.find("Unable to write the records in the file"),
              std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(writer.currentFile()));
}

TEST(AuditTrailWriterTest, ALineCutShortByAFullFileIsTakenBackWhole) {
    TempFolder folder;
    FakeClock clock;
    AuditTrailWriter writer(folder.path(), clock, "Tavik", "B.10");
    ASSERT_TRUE(writer.append("JDOE", "CONNECT", {}));
    const auto file = writer.currentFile();
    const auto before = std::filesystem::file_size(file);

    // Room for a few bytes only: the write stops part-way through the line.
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = before + 10;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const Status status = writer.append("JDOE", "MESSAGE", {std::string(200, 'x')});
    ::setrlimit(RLIMIT_FSIZE, &saved);

    EXPECT_FALSE(status);
    EXPECT_EQ(std::filesystem::file_size(file), before);
    ASSERT_TRUE(writer.append("JDOE", "DISCONNECT", {}));
    EXPECT_EQ(auditEvents(file), (std::vector<std::string>{"2026-03-07 10:00:00,JDOE,CONNECT",
                                                           "2026-03-07 10:00:00,JDOE,DISCONNECT"}));
}

TEST(AuditTrailReaderTest, SkipsThePlainHeaderAndUnscramblesTheRest) {
    TempFolder folder;
    FakeClock clock;
    AuditTrailWriter writer(folder.path(), clock, "Tavik", "B.10");
    ASSERT_TRUE(writer.append("A", "CONNECT", {}));
    ASSERT_TRUE(writer.append("A", "DISCONNECT", {}));
    EXPECT_EQ(readAuditTrail(writer.currentFile()),
              "TAVIK USER AUDIT TRAIL FILE - 03/2026\r\n"
              "2026-03-07 10:00:00,A,CONNECT\r\n"
              "2026-03-07 10:00:00,A,DISCONNECT\r\n");
    EXPECT_FALSE(readAuditTrail(folder.path() / "none.atl"));
}

TEST(AuditTrailWriterTest, EightBitBytesScrambledOneByOneInTheUsersDateFormat) {
    TempFolder folder;
    FakeClock clock(localTimeOf(2026, 12, 10, 14, 5, 9));
    AuditTrailWriter writer(folder.path(), clock, "Tavik", "B.10");
    writer.setDateFormat(platform::Locale("%d/%m/%Y", "%H:%M:%S", ','));
    ASSERT_TRUE(writer.append("ZOÉ", "MESSAGE", {"café à 5 °C", "snow \u2603"}));

    // The line as an earlier installation writes it: Windows-1252, each byte
    // scrambled, a character Windows-1252 cannot hold written "?".
    const std::string plain =
        "10/12/2026 14:05:09,ZO\xC9,MESSAGE,caf\xE9 \xE0 5 \xB0"
        "C,snow ?";
    const auto file = folder.path() / "Tavik-2612.atl";
    const std::string raw = rawBytes(file);
    const std::string last = raw.substr(raw.rfind("\r\n", raw.size() - 3) + 2);
    EXPECT_EQ(last, ScrambleBytes(plain) + "\r\n");

    // Read back as UTF-8, and its date found by the selection.
    const auto text = readAuditTrail(file);
    ASSERT_TRUE(text);
    EXPECT_NE(text->find("10/12/2026 14:05:09,ZOÉ,MESSAGE,café à 5 °C,snow ?\r\n"),
              std::string::npos)
        << *text;
    const LocalTime at = localTimeOf(2026, 12, 10, 14, 5, 9);
    EXPECT_EQ(selectDateRange(*text, at, at), std::nullopt) << "not in the C format";
    const auto selected = selectDateRange(*text, at, at, writer.dateFormat());
    ASSERT_TRUE(selected);
    EXPECT_EQ(text->substr(selected->begin, 19), "10/12/2026 14:05:09");

    // Readable by the owner and the group only.
    EXPECT_EQ(std::filesystem::status(file).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                  std::filesystem::perms::group_read);
}

TEST(AuditTrailReaderTest, DateSelectionRunsFromTheFirstLineInRangeToTheLastOne) {
    const std::string title = "TAVIK USER AUDIT TRAIL FILE - 03/2026\r\n";
    const std::string l1 = "2026-03-01 08:00:00,A,CONNECT\r\n";
    const std::string l2 = "2026-03-02 09:00:00,A,SAVE_DOC\r\n";
    const std::string l3 = "2026-03-03 10:00:00,A,DISCONNECT\r\n";
    const std::string text = title + l1 + l2 + l3;
    const size_t b1 = title.size(), b2 = b1 + l1.size(), b3 = b2 + l2.size();
    struct Case {
        std::string text;
        LocalTime from, to;
        std::optional<TextSelection> expected;
    };
    const LocalTime d1 = localTimeOf(2026, 3, 1, 8, 0, 0), d2 = localTimeOf(2026, 3, 2, 9, 0, 0);
    const LocalTime d3 = localTimeOf(2026, 3, 3, 10, 0, 0);
    const Case cases[] = {
        {text, d1 - 1, d3 + 1, TextSelection{b1, text.size()}},
        {text, d2, d2, TextSelection{b2, b3}},
        {text, d1 + 1, d3 - 1, TextSelection{b2, b3}},
        {text, d2 - 1, d3, TextSelection{b2, text.size()}},
        {text, d3 + 1, d3 + 2, TextSelection{text.size(), text.size()}},
        {title, d1, d3, std::nullopt},
        {title + "garbage line\r\n" + l2, d1, d3, std::nullopt},
        {title + l1 + "2026-02-30 10:00:00,A,X\r\n", d1, d3, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(selectDateRange(c.text, c.from, c.to), c.expected) << c.from << ".." << c.to;
}

class AuditTrailSwitchTest : public testing::RightsFixture {};

TEST_F(AuditTrailSwitchTest, SwitchingOnAndOffWritesItsEventsFirstAndLast) {
    rights->load();
    ASSERT_TRUE(rights->WriteAuditEvent(AuditEvent::APP_START));
    EXPECT_FALSE(std::filesystem::exists(rights->auditTrail().currentFile())) << "off: nothing";

    SecuritySettings s = rights->settings();
    s.auditTrail = true;
    s.retries = 5;
    ASSERT_TRUE(rights->applySecuritySettings(s));
    EXPECT_EQ(auditEvents(rights->auditTrail().currentFile()),
              (std::vector<std::string>{"2026-03-07 10:00:00,<no user>,AUDITTRAIL_ON",
                                        "2026-03-07 10:00:00,<no user>,PASSWORD_RETRIES,3,5"}));

    s.pwdDaysValid = 0;  // kept as 1, and recorded so
    ASSERT_TRUE(rights->applySecuritySettings(s));
    EXPECT_EQ(rights->settings().pwdDaysValid, 1);
    EXPECT_EQ(auditEvents(rights->auditTrail().currentFile()).back(),
              "2026-03-07 10:00:00,<no user>,PASSWORD_CHANGE_DAYS,30,1");

    s.auditTrail = false;
    s.pwdMinLen = 6;
    s.deleteRights = false;
    ASSERT_TRUE(rights->applySecuritySettings(s));
    ASSERT_TRUE(rights->WriteAuditEvent(AuditEvent::APP_EXIT));
    const auto events = auditEvents(rights->auditTrail().currentFile());
    ASSERT_EQ(events.size(), 6u);
    EXPECT_EQ(events[3], "2026-03-07 10:00:00,<no user>,PASSWORD_MIN_LEN,4,6");
    EXPECT_EQ(events[4], "2026-03-07 10:00:00,<no user>,OVERWRITE_FILE_DIS");
    EXPECT_EQ(events.back(), "2026-03-07 10:00:00,<no user>,AUDITTRAIL_OFF");
    EXPECT_EQ(store.readInt("Settings", "AuditTrail", 1), 0);
}

TEST_F(AuditTrailSwitchTest, ViewingNeedsTheRightAndWritesTheViewEvent) {
    rights->load();
    SecuritySettings s = rights->settings();
    s.auditTrail = true;
    rights->setSettings(s);
    prompter.lines = {std::string("Shift handover")};
    ASSERT_TRUE(rights->InsertAuditMessage());
    const auto file = rights->auditTrail().currentFile();

    const auto text = rights->ViewAuditTrail(file);
    ASSERT_TRUE(text);
    EXPECT_NE(text->find("<no user>,MESSAGE,Shift handover\r\n"), std::string::npos);
    EXPECT_EQ(auditEvents(file).back(),
              "2026-03-07 10:00:00,<no user>,AUDITTRAIL_VIEW,Tavik-2603.atl");

    EXPECT_FALSE(rights->ViewAuditTrail(folder.path() / "none.atl"));
    EXPECT_EQ(prompter.shownIds(), std::vector<int>{text::kAuditReadFailed});

    store.writeInt("GroupsGroup1", "Rights", 0);
    rights->load();
    rights->addUser(newUser("Operator One", "OP1", "pass1", false, {true}));
    ASSERT_TRUE(connect("OP1", "pass1"));
    EXPECT_FALSE(rights->ViewAuditTrail(file)) << "right 7 missing";
}

TEST_F(AuditTrailSwitchTest, AWriteFailureIsShownToTheUser) {
    rights = std::make_unique<CUserRights>(
        store, clock,
        UserRightsConfig{folder.path() / "missing", "Tavik", "B.10", HashCost::minimum()});
    rights->setPrompter(&prompter);
    rights->load();
    SecuritySettings s = rights->settings();
    s.auditTrail = true;
    rights->setSettings(s);
    EXPECT_FALSE(rights->WriteAuditEvent(AuditEvent::APP_START));
    EXPECT_EQ(prompter.shown,
              (std::vector<testing::Shown>{{text::kAuditWriteFailed, {}, Buttons::Ok}}));
}

}  // namespace
}  // namespace qd40::security
