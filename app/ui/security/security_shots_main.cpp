// tavik_security_shots FOLDER: pictures of the users manager's dialogs
// (offscreen, for tools/screenshots). A private registry and audit folder
// hold three declared users in named groups and a short audit trail; each
// dialog is drawn filled as the operator would see it into
// FOLDER/security-<dialog>.png, under a caption bar with its title.
#include <cstdio>
#include <filesystem>

#include <QApplication>
#include <QCheckBox>
#include <QDateTimeEdit>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressDialog>
#include <QTemporaryDir>
#include <QTextEdit>

#include "app/core/settings/settings_store.h"
#include "app/security/security_strings.h"
#include "app/security/user_rights.h"
#include "app/ui/picture_folder.h"
#include "app/ui/qt_prompter.h"
#include "app/ui/security/security_dialogs.h"

namespace {

using namespace qd40;
namespace text = security::text;

// Answers the connection dialog with the identifier and password it is given.
class ScriptedLogon : public security::Prompter {
public:
    std::string identifier, password;
    security::Answer message(int, const std::vector<std::string>&, security::Buttons,
                             security::Icon) override {
        return security::Answer::Ok;
    }
    void notify(int, const std::vector<std::string>&) override {}
    std::optional<security::ConnectionEntry> connectionDialog(int, const std::string&) override {
        return security::ConnectionEntry{identifier, password, false};
    }
    std::optional<security::PasswordEntry> changePasswordDialog(const std::string&,
                                                                const std::string&) override {
        return std::nullopt;
    }
    std::optional<std::string> editLine(int) override { return "Calibration of line 2 done"; }
};

struct Clock : security::Clock {
    security::LocalTime t = security::localTimeOf(2026, 12, 10, 9, 30, 0);
    security::LocalTime now() const override { return t; }
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: tavik_security_shots FOLDER\n");
        return 2;
    }
    QTemporaryDir work;
    if (!work.isValid()) {
        std::fprintf(stderr, "tavik_security_shots: no temporary folder\n");
        return 1;
    }
    const std::filesystem::path folder = work.path().toStdString();
    std::filesystem::create_directories(argv[1]);
    ui::PictureFolder pictures(argv[1], "tavik_security_shots", "security-");

    settings::CLocalMachineReg store{platform::RegistryStore(folder / "registry")};
    Clock clock;
    security::CUserRights rights(
        store, clock,
        security::UserRightsConfig{folder, "Tavik", "B.10", security::HashCost::minimum()});
    ScriptedLogon logon;
    rights.setPrompter(&logon);
    rights.load();
    security::SecuritySettings settings = rights.settings();
    settings.auditTrail = true;
    settings.printUserName = true;
    rights.setSettings(settings);
    const char* groupNames[] = {"Operators", "Engineers", "Quality", "Maintenance", "Visitors"};
    for (int g = 0; g < security::kGroupCount; ++g)
        rights.updateGroup(g, groupNames[g], g == 0 ? 0x0F0Fu : 0xFFFFFFFFu);
    const auto declare = [&](const char* name, const char* id, bool supervisor,
                             std::array<bool, security::kGroupCount> groups) {
        security::CUser u;
        u.name = name;
        u.identifier = id;
        u.password = rights.hasher().hash("start1");
        u.supervisor = supervisor;
        u.groups = groups;
        u.expiry = clock.t + 30 * security::kSecondsPerDay;
        rights.addUser(u);
    };
    declare("Jane Doe", "JDOE", true, {false, true, false, false, false});
    declare("Émile Dupré", "EDUPRE", false, {true, false, true, false, false});
    declare("Paul Martin", "PMARTIN", false, {true, false, false, false, false});

    // A short session for the audit trail's text.
    logon.identifier = "EDUPRE";
    logon.password = "start1";
    rights.ConnectUser();
    clock.t += 125;
    rights.InsertAuditMessage();
    clock.t += 3600;
    rights.DisconnectUser(false);
    clock.t += 60;
    logon.identifier = "JDOE";
    rights.ConnectUser();

    ui::UsersDialog users(rights);
    pictures.take(users, "users", true);
    ui::UserDialog newUser(rights, -1);
    newUser.nameEdit()->setText("Léa Fournier");
    newUser.identifierEdit()->setText("LFOURNIER");
    newUser.passwordEdit()->setText("first-pw");
    newUser.groupCheck(0)->setChecked(true);
    pictures.take(newUser, "user-new", true);
    ui::UserDialog editUser(rights, 1);
    pictures.take(editUser, "user", true);
    ui::GroupsDialog groups(rights);
    pictures.take(groups, "groups", true);
    ui::GroupDialog group(rights, 0);
    pictures.take(group, "group", true);
    ui::SecurityAttributesDialog attributes(rights);
    pictures.take(attributes, "attributes", true);
    ui::ConnectionDialog connecting(text::kConnectingUser, {});
    connecting.identifierEdit()->setText("PMARTIN");
    connecting.passwordEdit()->setText("secret");
    pictures.take(connecting, "connecting", true);
    ui::ConnectionDialog verifying(text::kVerifyingPassword, "JDOE");
    pictures.take(verifying, "verifying", true);
    ui::ChangePasswordDialog changing("PMARTIN", "start1");
    pictures.take(changing, "changing-password", true);
    ui::LineDialog line(text::kEditingMessage);
    line.edit()->setText("Calibration of line 2 done");
    pictures.take(line, "editing-message", true);
    ui::SelectDatesDialog dates(clock.t);
    pictures.take(dates, "select-dates", true);

    auto content = rights.ViewAuditTrail(rights.auditTrail().currentFile());
    if (!content) {
        std::fprintf(stderr, "tavik_security_shots: the audit trail could not be read\n");
        return 1;
    }
    ui::AuditTextDialog viewer(rights, logon, clock, *content);
    QTextCursor all(viewer.textEdit()->document());
    all.movePosition(QTextCursor::NextBlock);
    all.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor, 2);
    viewer.textEdit()->setTextCursor(all);
    pictures.take(viewer, "audit-trail", true);

    QProgressDialog busy(QString::fromStdString(security::securityText(text::kPasswordBusy)),
                         QString(), 0, 0);
    busy.setWindowTitle("Tavik");
    pictures.take(busy, "password-busy", true);

    // Message boxes of the flows: the forced disconnection's notice, a ban.
    const std::pair<const char*, std::unique_ptr<QMessageBox>> boxesShown[] = {
        {"auto-disconnect",
         ui::makeMessageBox(nullptr, "Tavik",
                            security::securityText(text::kAutoDisconnect, {"PMARTIN"}),
                            security::Buttons::Ok, security::Icon::Information)},
        {"lift-ban",
         ui::makeMessageBox(nullptr, "Tavik",
                            security::securityText(text::kLiftBanAsk, {"Paul Martin", "10:15:00"}),
                            security::Buttons::YesNoCancel, security::Icon::Question)},
    };
    for (const auto& [name, box] : boxesShown)
        pictures.take(*box, name, true);
    rights.setPrompter(nullptr);
    return pictures.ok() ? 0 : 1;
}
