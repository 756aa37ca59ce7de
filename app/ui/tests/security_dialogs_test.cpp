// The users manager's dialogs, offscreen, run from the main window's
// Security menu with every message box answered and recorded by a script:
// a whole session and the audit file's bytes it leaves, the user, users,
// group and security attributes dialogs, the forced disconnection notice,
// hashing behind the busy bar, the audit trail viewer (8-bit file, dates,
// copy, PDF with the footer) and the commands refused without their right.
#include <atomic>
#include <fstream>
#include <thread>

#include <gtest/gtest.h>
#include <unistd.h>
#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QDateTimeEdit>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPrinter>
#include <QProgressDialog>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTextEdit>

#include "app/core/opc/opc_toolkit.h"
#include "app/core/tavik_app.h"
#include "app/core/tests/doc_test_support.h"
#include "app/security/security_strings.h"
#include "app/ui/main_frame.h"
#include "app/ui/security/security_commands.h"
#include "app/ui/security/security_dialogs.h"
#include "app/ui/tests/modal_script.h"
#include "app/ui/tests/qt_app_fixture.h"

namespace qd40::ui {
namespace {

using security::LocalTime;
using security::SecurityCommand;
using testing::buttonNamed;
using testing::ModalScript;

class SettableClock : public security::Clock {
public:
    LocalTime now() const override { return t.load(); }
    std::atomic<LocalTime> t{security::localTimeOf(2026, 3, 7, 10, 0, 0)};
};

// The file as an earlier installation writes it: each byte of a line XORed
// with the low four bits of its key character.
std::string scrambledLine(const std::string& windows1252) {
    static const char kKey[] = "QUIETHARBORKEYS47";
    std::string out = windows1252;
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = char(out[i] ^ (kKey[i % 17] & 0x0F));
    return out + "\r\n";
}

std::string rawBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

QAbstractButton* standard(QDialog& d, QDialogButtonBox::StandardButton which) {
    for (auto* box : d.findChildren<QDialogButtonBox*>())
        if (QAbstractButton* b = box->button(which))
            return b;
    ADD_FAILURE() << "no standard button in " << d.windowTitle().toStdString();
    return nullptr;
}
QAbstractButton* ok(QDialog& d) {
    return standard(d, QDialogButtonBox::Ok);
}

template <typename T>
T& as(QDialog& d) {
    auto* t = qobject_cast<T*>(&d);
    if (!t)
        throw std::runtime_error("unexpected dialog " + d.windowTitle().toStdString());
    return *t;
}

class SecurityUi : public testing::WithQApplication {
protected:
    SecurityUi() {
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder / "audit");
        config.registry = platform::RegistryStore(folder / "registry");
        config.productVersion = "B.10";
        config.programPath = folder / "tavik";
        config.auditFolder = folder / "audit";
        config.hashCost = security::HashCost::minimum();
        tavik = std::make_unique<app::CTavikApp>(config, appPrompter, opc, clock);
        rights().load();
        frame = std::make_unique<MainFrame>(*tavik, appPrompter, FrameConfig{});
        commands = std::make_unique<SecurityFrameCommands>(*frame, *tavik, prompter, clock);
        commands->addMenu(std::chrono::milliseconds(10));
    }
    ~SecurityUi() override {
        commands.reset();
        frame.reset();
        tavik.reset();
        std::filesystem::remove_all(folder);
    }

    security::CUserRights& rights() { return tavik->userRights(); }
    void auditOn() {
        auto s = rights().settings();
        s.auditTrail = true;
        rights().setSettings(s);
    }
    // A user declared directly, password valid for 30 days.
    void declare(const std::string& name, const std::string& id, const std::string& password,
                 bool supervisor, std::array<bool, security::kGroupCount> groups) {
        security::CUser u;
        u.name = name;
        u.identifier = id;
        u.password = rights().hasher().hash(password);
        u.supervisor = supervisor;
        u.groups = groups;
        u.expiry = clock.now() + 30 * security::kSecondsPerDay;
        rights().addUser(u);
    }
    // Connects through the menu's dialog.
    void connectAs(const std::string& id, const std::string& password) {
        ModalScript script;
        script.step([&](QDialog& d) {
            auto& c = as<ConnectionDialog>(d);
            c.identifierEdit()->setText(QString::fromStdString(id));
            c.passwordEdit()->setText(QString::fromStdString(password));
            return ok(d);
        });
        commands->run(SecurityCommand::Connect);
        ASSERT_EQ(rights().connectedIdentifier(), id);
    }

    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() /
        ("qd40-security-ui-" + std::to_string(::getpid()) + "-" +
         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    app::AppConfig config;
    app::testing::ScriptedPrompter appPrompter;
    app::opc::NullOpcToolkit opc;
    SettableClock clock;
    std::unique_ptr<app::CTavikApp> tavik;
    std::unique_ptr<MainFrame> frame;
    QtSecurityPrompter prompter{"Tavik"};
    std::unique_ptr<SecurityFrameCommands> commands;
};

TEST_F(SecurityUi, AScriptedSessionLeavesExactlyTheseAuditFileBytes) {
    // Audit trail on, a user declared with a starting password.
    {
        ModalScript script;
        script.step([](QDialog& d) {
            as<SecurityAttributesDialog>(d).auditTrailCheck()->setChecked(true);
            return ok(d);
        });
        commands->run(SecurityCommand::Attributes);
    }
    {
        ModalScript script;
        script.step([](QDialog& d) { return buttonNamed(d, "New User..."); });
        script.step([](QDialog& d) {
            auto& u = as<UserDialog>(d);
            u.nameEdit()->setText("Zoé Müller");
            u.identifierEdit()->setText("zmuller");
            u.passwordEdit()->setText("start1");
            u.groupCheck(0)->setChecked(true);
            return ok(d);
        });
        script.step([](QDialog& d) {
            EXPECT_EQ(as<UsersDialog>(d).list()->count(), 1);
            return standard(d, QDialogButtonBox::Close);
        });
        commands->run(SecurityCommand::Users);
    }
    ASSERT_EQ(rights().users().size(), 1u);

    // Three wrong passwords: the ban; then Cancel.
    std::vector<std::string> boxes;
    {
        ModalScript script;
        for (const char* wrong : {"nope1", "nope2", "nope3"})
            script.step([wrong](QDialog& d) {
                auto& c = as<ConnectionDialog>(d);
                c.identifierEdit()->setText("zmuller");
                c.passwordEdit()->setText(wrong);
                return ok(d);
            });
        script.step([](QDialog&) { return nullptr; });
        commands->run(SecurityCommand::Connect);
        boxes = script.boxes();
    }
    EXPECT_FALSE(rights().anyUserConnected());

    // After the ban, the starting password must be replaced.
    clock.t += 31 * 60;
    {
        ModalScript script;
        script.step([](QDialog& d) {
            auto& c = as<ConnectionDialog>(d);
            c.identifierEdit()->setText("ZMULLER");
            c.passwordEdit()->setText("start1");
            return ok(d);
        });
        script.step([](QDialog& d) {
            auto& c = as<ChangePasswordDialog>(d);
            EXPECT_EQ(c.currentEdit()->text(), "start1") << "filled from the connection";
            c.newEdit()->setText("better22");
            c.confirmEdit()->setText("better22");
            return ok(d);
        });
        commands->run(SecurityCommand::Connect);
        boxes.insert(boxes.end(), script.boxes().begin(), script.boxes().end());
    }
    ASSERT_EQ(rights().connectedIdentifier(), "ZMULLER");

    clock.t += 60;
    commands->setFileChooser([](const std::filesystem::path& start) { return start; });
    QString shown;
    {
        ModalScript script;
        script.step([&](QDialog& d) {
            shown = as<AuditTextDialog>(d).textEdit()->toPlainText();
            return buttonNamed(d, "Close");
        });
        commands->run(SecurityCommand::ViewAuditTrail);
    }
    EXPECT_TRUE(shown.contains("10:31:00,ZMULLER,CONNECT\n")) << shown.toStdString();
    {
        ModalScript script;
        script.answer(QMessageBox::Yes);
        commands->run(SecurityCommand::Disconnect);
        boxes.insert(boxes.end(), script.boxes().begin(), script.boxes().end());
    }
    EXPECT_FALSE(rights().anyUserConnected());

    EXPECT_EQ(boxes, (std::vector<std::string>{
                         "Wrong Password!",
                         "Wrong Password!",
                         "Wrong Password!",
                         "ZMULLER:\nYou will be not allowed to connect before 10:30:00",
                         "ZMULLER:\nThe Validity Duration of your Password has expired\nYou must "
                         "change it to be allowed to connect.",
                         "Zoé Müller:\nYour new password is recorded.",
                         "Disconnect ZMULLER?",
                     }));
    const std::string expected =
        "Tavik B.10\r\n" + scrambledLine("TAVIK USER AUDIT TRAIL FILE - 03/2026") +
        scrambledLine("2026-03-07 10:00:00,<no user>,AUDITTRAIL_ON") +
        scrambledLine("2026-03-07 10:00:00,<no user>,USER_NEW,Zo\xE9 M\xFCller") +
        scrambledLine("2026-03-07 10:00:00,<no user>,CONNECT_FAIL,ZMULLER") +
        scrambledLine("2026-03-07 10:31:00,<no user>,USER_PASS_CHANGE,Zo\xE9 M\xFCller") +
        scrambledLine("2026-03-07 10:31:00,ZMULLER,CONNECT") +
        scrambledLine("2026-03-07 10:32:00,ZMULLER,AUDITTRAIL_VIEW,Tavik-2603.atl") +
        scrambledLine("2026-03-07 10:32:00,ZMULLER,DISCONNECT");
    EXPECT_EQ(rawBytes(folder / "audit" / "Tavik-2603.atl"), expected);
}

TEST_F(SecurityUi, TheUserDialogStaysOpenOnEachRefusalUntilTheEditIsAcceptable) {
    declare("Ann Smith", "ASMITH", "secret1", true, {});
    connectAs("ASMITH", "secret1");
    ModalScript script;
    const auto fill = [](const char* name, const char* id, const char* password, bool group) {
        return [=](QDialog& d) {
            auto& u = as<UserDialog>(d);
            u.nameEdit()->setText(name);
            u.identifierEdit()->setText(id);
            u.passwordEdit()->setText(password);
            u.groupCheck(2)->setChecked(group);
            return ok(d);
        };
    };
    script.step(fill("Bob Stone", "BSTONE", "pw12", false));
    script.step(fill("Bob", "BSTONE", "pw12", true));
    script.step(fill("ann smith", "BSTONE", "pw12", true));
    script.step(fill("Bob Stone", "asmith", "pw12", true));
    script.step(fill("Bob Stone", "B STONE", "pw12", true));
    script.step(fill("Bob Stone", "BSTONE", "p,w12", true));
    script.step(fill("Bob Stone", "BSTONE", "pw12", true));
    UsersDialog users(rights(), frame.get());
    users.newUser();
    EXPECT_EQ(script.boxes(),
              (std::vector<std::string>{
                  "User must be member of one group at least",
                  "User Name Rules:\n. 4 characters as a minimum\n. 50 characters as a "
                  "maximum\n. No comma.",
                  "ann smith:\nThis user is already registered!",
                  "ASMITH:\nThis identifier is already used.",
                  "User Identifier Rules:\n. 4 characters as a minimum\n. 20 characters as a "
                  "maximum\n. Neither comma nor space.",
                  "Password Rules:\n. 4 characters as a minimum\n. 20 characters as a "
                  "maximum\n. Neither comma nor space.",
              }));
    EXPECT_EQ(script.dialogs().size(), 7u) << "one dialog, shown again after each message";
    ASSERT_EQ(rights().users().size(), 2u);
    EXPECT_EQ(rights().users()[1].identifier, "BSTONE");
    EXPECT_TRUE(rights().users()[1].groups[2]);
    EXPECT_TRUE(rights().users()[1].isPasswordExpired(clock.now()));
    EXPECT_EQ(users.list()->currentItem()->text(), "Bob Stone");
}

TEST_F(SecurityUi, DeletingAndLiftingABanGoThroughTheirQuestions) {
    declare("Ann Smith", "ASMITH", "secret1", true, {});
    declare("Bob Stone", "BSTONE", "secret2", false, {true, false, false, false, false});
    // Bob bans himself.
    {
        ModalScript script;
        for (int i = 0; i < 3; ++i)
            script.step([](QDialog& d) {
                auto& c = as<ConnectionDialog>(d);
                c.identifierEdit()->setText("BSTONE");
                c.passwordEdit()->setText("wrong");
                return ok(d);
            });
        script.step([](QDialog&) { return nullptr; });
        commands->run(SecurityCommand::Connect);
    }
    ASSERT_TRUE(rights().users()[1].isBanned(clock.now()));
    connectAs("ASMITH", "secret1");

    UsersDialog users(rights(), frame.get());
    users.list()->setCurrentRow(1);
    {
        ModalScript script;
        script.answer(QMessageBox::Yes);
        script.step([](QDialog& d) { return standard(d, QDialogButtonBox::Cancel); });
        users.editUser();
        ASSERT_EQ(script.boxes().size(), 1u);
        EXPECT_EQ(script.boxes()[0],
                  "Bob Stone:\nConnection is forbidden for this user until 10:30:00 (Wrong "
                  "Password)\nDo you want to lift this ban?");
    }
    EXPECT_FALSE(rights().users()[1].isBanned(clock.now()));

    {
        ModalScript script;
        script.answer(QMessageBox::No);
        users.deleteUser();
        script.answer(QMessageBox::Yes);
        users.deleteUser();
        EXPECT_EQ(script.boxes(), (std::vector<std::string>(
                                      2, "Bob Stone:\nDo you really want to delete this user?")));
    }
    EXPECT_EQ(rights().userNames(), std::vector<std::string>{"Ann Smith"});
    EXPECT_EQ(users.list()->count(), 1);
}

TEST_F(SecurityUi, TheGroupDialogMovesUsersAndKeepsTheFirstSevenRightsForASupervisor) {
    auditOn();
    declare("Ann Smith", "ASMITH", "secret1", true, {});
    declare("Bob Stone", "BSTONE", "secret2", false, {false, true, false, false, false});
    declare("Cy Young", "CYOUNG", "secret3", false, {false, true, false, false, false});
    connectAs("ASMITH", "secret1");
    {
        GroupDialog group(rights(), 0, frame.get());
        for (int bit = 0; bit < 15; ++bit)
            EXPECT_TRUE(group.rightCheck(bit)->isEnabled()) << bit;
    }
    connectAs("BSTONE", "secret2");
    const uint32_t before = rights().groups()[0].rights;
    ModalScript script;
    script.step([](QDialog& d) {
        as<GroupsDialog>(d).list()->setCurrentRow(0);
        return buttonNamed(d, "Edit...");
    });
    script.step([](QDialog& d) {
        auto& g = as<GroupDialog>(d);
        for (int bit = 0; bit < 15; ++bit)
            EXPECT_EQ(g.rightCheck(bit)->isEnabled(), bit >= 7) << bit;
        EXPECT_FALSE(buttonNamed(d, "New User...")->isEnabled());
        g.unregistered()->setCurrentRow(2);  // Cy Young
        return buttonNamed(d, "Add >>>");
    });
    script.step([](QDialog& d) {
        auto& g = as<GroupDialog>(d);
        EXPECT_EQ(g.registered()->count(), 1);
        g.nameEdit()->setText("Operators");
        g.rightCheck(0)->setChecked(false);  // not this user's to change
        g.rightCheck(11)->setChecked(false);
        g.rightCheck(12)->setChecked(true);
        return ok(d);
    });
    script.step([](QDialog& d) {
        EXPECT_EQ(as<GroupsDialog>(d).list()->item(0)->text(), "Operators");
        return standard(d, QDialogButtonBox::Close);
    });
    commands->run(SecurityCommand::Groups);

    const security::CUserGroup& group = rights().groups()[0];
    EXPECT_EQ(group.name, "Operators");
    EXPECT_EQ(group.rights & 0x7Fu, before & 0x7Fu);
    EXPECT_FALSE(group.rights >> 11 & 1u);
    EXPECT_TRUE(group.rights >> 12 & 1u);
    EXPECT_TRUE(rights().users()[2].groups[0]);
    EXPECT_FALSE(rights().users()[1].groups[0]);
    // Stored: another manager over the same store reads the same.
    settings::CLocalMachineReg store(config.registry);
    security::CUserRights reread(
        store, clock,
        security::UserRightsConfig{folder, "Tavik", "B.10", security::HashCost::minimum()});
    reread.load();
    EXPECT_EQ(reread.groups()[0].name, "Operators");
    EXPECT_EQ(reread.groups()[0].rights, group.rights);
    EXPECT_TRUE(reread.users()[2].groups[0]);
    const auto text = security::readAuditTrail(rights().auditTrail().currentFile());
    ASSERT_TRUE(text);
    EXPECT_NE(text->find("BSTONE,USER_GROUP_CHANGE,Cy Young,001000,011000\r\n"), std::string::npos)
        << *text;
}

TEST_F(SecurityUi, EachChangedAttributeWritesItsEventAndIsStored) {
    auditOn();
    declare("Ann Smith", "ASMITH", "secret1", true, {});
    connectAs("ASMITH", "secret1");
    ModalScript script;
    script.step([](QDialog& d) {
        auto& a = as<SecurityAttributesDialog>(d);
        a.daysSpin()->setValue(45);
        a.retriesSpin()->setValue(5);
        a.minLengthSpin()->setValue(6);
        a.connectionSpin()->setValue(0);
        a.banSpin()->setValue(10);
        a.printUserNameCheck()->setChecked(true);
        a.noSwitchingCheck()->setChecked(true);
        a.noOverwritingCheck()->setChecked(true);
        a.auditTrailCheck()->setChecked(false);
        return ok(d);
    });
    commands->run(SecurityCommand::Attributes);
    const auto text = security::readAuditTrail(rights().auditTrail().currentFile());
    ASSERT_TRUE(text);
    std::vector<std::string> events;
    std::istringstream in(*text);
    for (std::string line; std::getline(in, line);)
        if (line.rfind("2026-03-07 10:00:00,ASMITH,", 0) == 0)
            events.push_back(line.substr(27, line.size() - 28));
    EXPECT_EQ(events, (std::vector<std::string>{
                          "CONNECT",
                          "PASSWORD_CHANGE_DAYS,30,45",
                          "PASSWORD_RETRIES,3,5",
                          "PASSWORD_MIN_LEN,4,6",
                          "CNX_MAX_DURATION,30,0",
                          "CNX_BAN,30,10",
                          "PRINT_USER_NAME_ON",
                          "RIGHTS_TASK_SWITCH_EN",
                          "OVERWRITE_FILE_DIS",
                          "AUDITTRAIL_OFF",
                      }));
    settings::CLocalMachineReg store(config.registry);
    security::CUserRights reread(
        store, clock,
        security::UserRightsConfig{folder, "Tavik", "B.10", security::HashCost::minimum()});
    reread.load();
    EXPECT_EQ(reread.settings(), rights().settings());
    EXPECT_EQ(reread.settings().pwdDaysValid, 45);
    EXPECT_FALSE(reread.settings().appChangeRights);
}

TEST_F(SecurityUi, VerifyingInsertingAMessageAndChangingThePasswordUseTheirDialogs) {
    auditOn();
    declare("Ann Smith", "ASMITH", "secret1", true, {});
    connectAs("ASMITH", "secret1");
    ModalScript script;
    script.step([](QDialog& d) {
        auto& c = as<ConnectionDialog>(d);
        EXPECT_EQ(d.windowTitle(), "Verifying password");
        EXPECT_EQ(c.identifierEdit()->text(), "ASMITH");
        EXPECT_TRUE(c.identifierEdit()->isReadOnly());
        c.passwordEdit()->setText("secret0");
        return ok(d);
    });
    script.step([](QDialog& d) {
        as<ConnectionDialog>(d).passwordEdit()->setText("secret1");
        return ok(d);
    });
    script.step([](QDialog& d) {
        EXPECT_EQ(d.windowTitle(), "Editing Message");
        as<LineDialog>(d).edit()->setText("Filter changed on line 2");
        return ok(d);
    });
    // Changing one's password from the menu: the current one is typed.
    script.step([](QDialog& d) {
        auto& c = as<ChangePasswordDialog>(d);
        EXPECT_EQ(c.currentEdit()->text(), "");
        c.currentEdit()->setText("secret0");
        c.newEdit()->setText("secret9");
        c.confirmEdit()->setText("secret9");
        return ok(d);
    });
    script.step([](QDialog& d) {
        auto& c = as<ChangePasswordDialog>(d);
        c.currentEdit()->setText("secret1");
        c.newEdit()->setText("secret9");
        c.confirmEdit()->setText("secret9");
        return ok(d);
    });
    commands->run(SecurityCommand::Verify);
    commands->run(SecurityCommand::InsertMessage);
    commands->run(SecurityCommand::ChangePassword);
    EXPECT_EQ(script.boxes(),
              (std::vector<std::string>{"Wrong Password!", "Wrong Password!",
                                        "Ann Smith:\nYour new password is recorded."}));
    EXPECT_TRUE(rights().users()[0].checkPassword("secret9", rights().hasher()));
    const auto text = security::readAuditTrail(rights().auditTrail().currentFile());
    ASSERT_TRUE(text);
    EXPECT_NE(text->find("ASMITH,MESSAGE,Filter changed on line 2\r\n"), std::string::npos);
    EXPECT_EQ(rights().connectedIdentifier(), "ASMITH");
}

TEST_F(SecurityUi, AnExpiredConnectionIsEndedWithANonModalNotice) {
    auditOn();
    auto s = rights().settings();
    s.cnxMnValid = 1;
    rights().setSettings(s);
    declare("Bob Stone", "BSTONE", "secret2", false, {true, false, false, false, false});
    connectAs("BSTONE", "secret2");
    EXPECT_TRUE(commands->action(SecurityCommand::Disconnect)->isEnabled());

    QSignalSpy forced(commands.get(), &SecurityFrameCommands::forcedDisconnection);
    clock.t += 61;
    ASSERT_TRUE(forced.wait(5000));
    EXPECT_FALSE(rights().anyUserConnected());
    QMessageBox* notice = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == "securityNotice" && w->isVisible())
            notice = qobject_cast<QMessageBox*>(w);
    ASSERT_NE(notice, nullptr);
    EXPECT_FALSE(notice->isModal());
    EXPECT_EQ(notice->text(), "Automatically Disconnect BSTONE");
    notice->close();
    EXPECT_FALSE(commands->action(SecurityCommand::Disconnect)->isEnabled());
    EXPECT_FALSE(frame->action(app::views::Command::FileNew)->isEnabled())
        << "nobody connected: no rights";
    const auto text = security::readAuditTrail(rights().auditTrail().currentFile());
    ASSERT_TRUE(text);
    EXPECT_NE(text->find("10:01:01,BSTONE,DISCONNECT_AUTO\r\n"), std::string::npos) << *text;
}

TEST_F(SecurityUi, HashingRunsOffTheInterfaceThreadBehindTheBusyBar) {
    std::atomic<bool> seen{false};
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (qobject_cast<QProgressDialog*>(w) && w->isVisible())
                seen = true;
    });
    look.start(5);
    std::thread::id worker;
    prompter.runBusy([&] {
        worker = std::this_thread::get_id();
        // The interface thread keeps running: it sees the bar.
        for (int i = 0; i < 1000 && !seen; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    });
    EXPECT_NE(worker, std::this_thread::get_id());
    EXPECT_TRUE(seen);
    for (QWidget* w : QApplication::topLevelWidgets()) {
        EXPECT_FALSE(qobject_cast<QProgressDialog*>(w) && w->isVisible()) << "closed at the end";
    }
}

TEST_F(SecurityUi, TheViewerReadsAnEightBitFileSelectsDatesAndCopies) {
    const std::filesystem::path file = folder / "audit" / "Tavik-2603.atl";
    {
        std::ofstream out(file, std::ios::binary);
        out << "Tavik B.10\r\n"
            << scrambledLine("TAVIK USER AUDIT TRAIL FILE - 03/2026")
            << scrambledLine("2026-03-05 08:00:00,FGAR\xC7ON,CONNECT")
            << scrambledLine(
                   "2026-03-06 09:15:00,FGAR\xC7ON,MESSAGE,R\xE9glage \xE0 5 \xB0"
                   "C")
            << scrambledLine("2026-03-07 09:45:00,<no user>,USER_NEW,Zo\xEB \xC6r\xF8");
    }
    commands->setFileChooser([&](const std::filesystem::path& start) {
        EXPECT_EQ(start, file) << "starts on the current month's file";
        return start;
    });
    QString selected;
    {
        ModalScript script;
        script.step([](QDialog& d) {
            const QString text = as<AuditTextDialog>(d).textEdit()->toPlainText();
            EXPECT_EQ(text,
                      "TAVIK USER AUDIT TRAIL FILE - 03/2026\n"
                      "2026-03-05 08:00:00,FGARÇON,CONNECT\n"
                      "2026-03-06 09:15:00,FGARÇON,MESSAGE,Réglage à 5 °C\n"
                      "2026-03-07 09:45:00,<no user>,USER_NEW,Zoë Ærø\n");
            return buttonNamed(d, "Select Dates...");
        });
        script.step([](QDialog& d) {
            auto& dates = as<SelectDatesDialog>(d);
            EXPECT_EQ(dates.fromEdit()->dateTime(), QDateTime(QDate(2026, 3, 7), QTime(10, 0)));
            dates.fromEdit()->setDateTime(QDateTime(QDate(2026, 3, 6), QTime(0, 0)));
            dates.toEdit()->setDateTime(QDateTime(QDate(2026, 3, 6), QTime(23, 59, 59)));
            return ok(d);
        });
        script.step([&](QDialog& d) {
            selected = as<AuditTextDialog>(d).selectedText();
            return buttonNamed(d, "Copy");
        });
        script.step([](QDialog& d) { return buttonNamed(d, "Close"); });
        ASSERT_TRUE(commands->viewAuditTrail());
    }
    EXPECT_EQ(selected, "2026-03-06 09:15:00,FGARÇON,MESSAGE,Réglage à 5 °C\n");
    EXPECT_EQ(QApplication::clipboard()->text(), selected);

    // A text whose last line has no date cannot be selected by dates.
    AuditTextDialog undated(rights(), prompter, clock,
                            "TITLE\r\n2026-03-05 08:00:00,A,CONNECT\r\nnot a date\r\n");
    ModalScript wrong;
    EXPECT_FALSE(undated.selectDates());
    EXPECT_EQ(wrong.boxes(), std::vector<std::string>{"Wrong Date"});
}

TEST_F(SecurityUi, TheAuditFileIsChosenStartingOnTheCurrentMonthsFile) {
    auditOn();
    ASSERT_TRUE(rights().WriteAuditEvent(security::AuditEvent::MESSAGE, {"hello"}));
    ModalScript script;
    script.step([](QDialog& d) {
        auto& files = as<QFileDialog>(d);
        EXPECT_EQ(d.windowTitle(), "Select Audit Trail File");
        EXPECT_EQ(files.fileMode(), QFileDialog::ExistingFile);
        EXPECT_EQ(files.nameFilters(), QStringList{"Audit Trail Files (*.atl *.txt)"});
        EXPECT_EQ(files.selectedFiles().value(0).toStdString(),
                  (std::filesystem::path(files.directory().absolutePath().toStdString()) /
                   "Tavik-2603.atl")
                      .string());
        return standard(d, QDialogButtonBox::Open);
    });
    script.step([](QDialog& d) {
        EXPECT_TRUE(as<AuditTextDialog>(d).textEdit()->toPlainText().contains(
            "10:00:00,<no user>,MESSAGE,hello"));
        return buttonNamed(d, "Close");
    });
    EXPECT_TRUE(commands->viewAuditTrail());
}

TEST_F(SecurityUi, PrintedPagesCarryTheFooterWhenPrintoutsCarryTheUserName) {
    declare("Ann Smith", "ASMITH", "secret1", true, {});
    connectAs("ASMITH", "secret1");
    std::string text;
    for (int i = 0; i < 300; ++i)
        text += "2026-03-07 10:00:00,ASMITH,MESSAGE,line " + std::to_string(i) + "\r\n";
    AuditTextDialog dialog(rights(), prompter, clock, text);
    const QString plain = dialog.textEdit()->toPlainText();
    const auto pagesOf = [&](const QString& pdf) {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        return printAuditText(printer, plain, dialog.textEdit()->font(), rights().printFooter());
    };
    const auto bare = pagesOf(QString::fromStdString((folder / "bare.pdf").string()));
    ASSERT_GT(bare.size(), 2u);
    for (const std::string& footer : bare)
        EXPECT_EQ(footer, "");

    auto s = rights().settings();
    s.printUserName = true;
    rights().setSettings(s);
    const auto signed_ = pagesOf(QString::fromStdString((folder / "signed.pdf").string()));
    EXPECT_GE(signed_.size(), bare.size()) << "the footer takes room from the text";
    for (const std::string& footer : signed_)
        EXPECT_EQ(footer, "Tavik B.10 - 2026-03-07 10:00:00 - Printed by Ann Smith");

    const auto pdf = folder / "viewer.pdf";
    ASSERT_TRUE(dialog.saveAsPdf(QString::fromStdString(pdf.string())));
    EXPECT_EQ(rawBytes(pdf).substr(0, 5), "%PDF-");
    ModalScript refused;
    EXPECT_FALSE(dialog.saveAsPdf(QString::fromStdString((folder / "none" / "x.pdf").string())));
    ASSERT_EQ(refused.boxes().size(), 1u);
    EXPECT_NE(refused.boxes()[0].find("The file could not be written."), std::string::npos);
}

// Each command the rights word gates, refused to a connected user whose
// group lacks its bit and offered when the group has it.
TEST_F(SecurityUi, EveryGatedCommandIsRefusedWithoutItsRight) {
    auditOn();
    declare("Ann Smith", "ASMITH", "secret1", true, {});
    declare("Bob Stone", "BSTONE", "secret2", false, {true, false, false, false, false});
    frame->newDocument();  // for the document's commands
    frame->show();
    int chosen = 0;
    commands->setFileChooser([&](const std::filesystem::path&) {
        ++chosen;
        return std::optional<std::filesystem::path>();
    });
    struct Row {
        int bit;
        std::vector<QAction*> actions;
        std::function<bool()> runs;  // the command carried out, not just offered
    };
    const Row rows[] = {
        {0,
         {frame->action(app::views::Command::FileNew),
          frame->action(app::views::Command::FileOpen)},
         nullptr},
        {7,
         {commands->action(SecurityCommand::ViewAuditTrail)},
         [&] {
             const int before = chosen;
             commands->run(SecurityCommand::ViewAuditTrail);
             return chosen > before;
         }},
        {1, {frame->action(app::views::Command::FileClose)}, nullptr},
        {2, {frame->action(app::views::Command::FileSaveAs)}, nullptr},
        {11, {frame->action(app::views::Command::Exit)}, [&] { return tavik->queryClose(); }},
    };
    for (const Row& row : rows) {
        for (bool granted : {false, true}) {
            connectAs("ASMITH", "secret1");
            const uint32_t all = 0xFFFFFFFFu;
            rights().updateGroup(0, "Group1", granted ? all : all & ~(1u << row.bit));
            connectAs("BSTONE", "secret2");
            frame->updateCommands();
            commands->updateCommands();
            for (QAction* a : row.actions)
                EXPECT_EQ(a->isEnabled(), granted)
                    << "bit " << row.bit << " " << a->text().toStdString();
            if (row.runs) {
                EXPECT_EQ(row.runs(), granted) << "bit " << row.bit;
            }
        }
    }
}

}  // namespace
}  // namespace qd40::ui
