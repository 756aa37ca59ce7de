// CUserRights: the users manager. It holds the five users groups, the
// declared users, the security settings and the connected user; loads them
// from and saves them to the machine-wide settings store; answers whether the
// connected user may do an action; runs the log-on, password and
// disconnection flows through an injected prompter; watches the connection's
// duration; and writes the audit trail.
#pragma once
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/core/settings/settings_store.h"
#include "app/security/audit_trail.h"
#include "app/security/clock.h"
#include "app/security/connection_watch.h"
#include "app/security/password_hash.h"
#include "app/security/prompter.h"
#include "app/security/user.h"

namespace qd40::security {

// Bit numbers of the rights word.
enum Right : int {
    kRightOpen = 0,
    kRightClose = 1,
    kRightSave = 2,  // also guards export
    kRightPrint = 3,
    kRightSendProgram = 4,
    kRightReReadProgram = 5,
    kRightReReadMemory = 6,
    kRightViewAuditTrail = 7,
    kRightModifyProgram = 8,
    kRightSendRun = 9,
    kRightSendStop = 10,
    kRightExit = 11,
    kRightClearMemory = 12,
    kRightCloseWithoutSaving = 13,
    kRightDeleteRecordsBlocks = 14,
};
// Rights 0 to 6 that only a supervisor may change in a group.
inline constexpr uint32_t kSupervisorOnlyRights = 0x7Fu;

inline constexpr const char* kBuiltInSupervisorName = "OVIX Supervisor";
inline constexpr const char* kBuiltInSupervisorIdentifier = "OVIXSUPERVISOR";

struct SecuritySettings {
    int pwdDaysValid = 30;        // "PwdDaysValid", days, 1..10000
    int pwdMinLen = 4;            // "PwdMinLen"
    int cnxMnValid = 30;          // "CnxMnValid", minutes, 0: no limit
    int retries = 3;              // "Retries"
    int forbiddenTime = 30;       // "ForbiddenTime", minutes
    bool auditTrail = false;      // "AuditTrail"
    bool printUserName = false;   // "PrintUserName"
    bool appChangeRights = true;  // "AppChangeRights"
    bool deleteRights = true;     // "DeleteRights"
    bool operator==(const SecuritySettings&) const = default;
};

// The commands of the security menu.
enum class SecurityCommand {
    Connect,
    Disconnect,
    Verify,
    ChangePassword,
    Users,
    Groups,
    Attributes,
    ViewAuditTrail,
    InsertMessage,
};

// A user found by name or identifier: a copy and its position in the list
// (-1 for the built-in supervisor account).
struct FoundUser {
    CUser user;
    int index = -1;
    bool isBuiltIn() const { return index < 0; }
};

// A message to show: text id and arguments.
struct Message {
    int textId = 0;
    std::vector<std::string> args;
    bool operator==(const Message&) const = default;
};

struct UserRightsConfig {
    std::filesystem::path auditFolder;  // where the monthly audit trail files go
    std::string productName = "Tavik";
    std::string productVersion;
    HashCost hashCost = HashCost::interactive();
    // The user's date and time formats, for the audit trail's lines.
    platform::Locale dateFormat = platform::Locale::posix();
};

class CUserRights {
public:
    CUserRights(settings::SettingsStore& store, const Clock& clock, UserRightsConfig config);
    ~CUserRights();
    CUserRights(const CUserRights&) = delete;
    CUserRights& operator=(const CUserRights&) = delete;

    void setPrompter(Prompter* prompter) { prompter_ = prompter; }
    void setApplicationLock(ApplicationLock* lock) { lock_ = lock; }

    // --- Persistence --------------------------------------------------------
    // Groups, then users, then settings; draws the machine's service secret
    // on the first start.
    void load();
    // Writes the five groups, "Qty" and every "User%d" (passwords hashed),
    // removes the records of users no longer declared, and the settings.
    bool save();

    // --- Groups -------------------------------------------------------------
    const std::array<CUserGroup, kGroupCount>& groups() const { return groups_; }
    // Index 0..4 of the group with exactly this name, or -1.
    int findGroup(const std::string& name) const;
    std::vector<std::string> groupNames() const;
    // The group dialog's opening: the index of the named group, or -1 after
    // "This Group Name doesn't exist!".
    int findGroupForEdit(const std::string& name);
    // The group dialog's registered users: every declared user whose name is
    // listed becomes a member of group index, every other one stops being one
    // (USER_GROUP_CHANGE for each change).
    bool setGroupMembers(int index, const std::vector<std::string>& memberNames);
    // Renames a group and sets its rights; rights 0 to 6 change only when the
    // connected user is a supervisor. Bits 15 to 31 stay set.
    bool updateGroup(int index, const std::string& name, uint32_t rights);
    // The group dialog's OK: its members, then its name and rights, saved.
    bool acceptGroupEdit(int index, const std::string& name,
                         const std::vector<std::string>& memberNames, uint32_t rights);

    // --- Users --------------------------------------------------------------
    const std::vector<CUser>& users() const { return users_; }
    std::vector<std::string> userNames() const;
    // Exact match ignoring case, over the declared users, then the built-in
    // supervisor account.
    std::optional<FoundUser> findUserByName(const std::string& name) const;
    std::optional<FoundUser> findUserByIdentifier(const std::string& identifier) const;
    // Appends a user (identifier in upper case) and writes USER_NEW.
    void addUser(CUser user);
    // Replaces user index and writes USER_NAME_CHANGE, USER_IDENT_CHANGE,
    // USER_GROUP_CHANGE and USER_PASS_CHANGE for what changed.
    bool updateUser(int index, CUser user);
    // Removes user index and writes USER_DELETE; deleting the connected user
    // ends the connection.
    bool deleteUser(int index);
    // The user dialog's OK: runs the checks (showing the first failure, the
    // dialog then stays open), then adds the user or updates the name,
    // identifier, supervisor flag and groups of user index, and saves. A new
    // user's `password` is the starting password the supervisor typed (plain
    // text, the password rules apply): it is stored hashed and already
    // expired, so that the user replaces it at the first connection and
    // nobody else can choose it first.
    bool acceptUserEdit(int index, const CUser& edited);
    // The checks of the user dialog's OK, in order; nullopt when the edit is
    // acceptable. index is the edited user's position, or -1 for a new user.
    std::optional<Message> checkUserEdit(int index, const CUser& edited) const;

    bool anyUserDeclared() const { return !users_.empty(); }
    bool anyUserConnected() const { return !connectedId_.empty(); }
    const std::string& connectedIdentifier() const { return connectedId_; }
    // The connected user (declared or built-in), if any.
    std::optional<FoundUser> connectedUser() const;
    bool isConnectedUserSupervisor() const;

    // --- Rights -------------------------------------------------------------
    uint32_t rightsWord() const;
    bool hasRight(int bit) const { return (rightsWord() >> bit & 1u) != 0; }
    // Whether a command of the security menu is offered: connecting while
    // users are declared; disconnecting, verifying and changing one's
    // password while connected (the built-in account has no password to
    // change); the groups while no user is declared or somebody is connected
    // (only a supervisor changes their first seven rights); the users and
    // security attributes while no user is declared or a supervisor is
    // connected; viewing the audit trail with
    // right 7; inserting a message while the trail is on and the security is
    // off or somebody is connected.
    bool commandEnabled(SecurityCommand command) const;
    bool isSwitchingAllowed() const;
    bool isOverwritingAllowed() const;
    // The footer of printed pages when printouts carry the user name:
    // product, version, current date and time, connected user's name.
    std::optional<std::string> printFooter() const;

    // --- Settings -----------------------------------------------------------
    const SecuritySettings& settings() const { return settings_; }
    // Sets the values without audit events (PwdDaysValid clamped to 1..10000).
    void setSettings(const SecuritySettings& settings);
    // The security attributes dialog's OK: writes the audit event of every
    // changed value, takes the new values and saves.
    bool applySecuritySettings(const SecuritySettings& next);

    // --- Audit trail --------------------------------------------------------
    // Does nothing (success) while the audit trail is off; else appends the
    // event line. A failure shows "Unable to write the records in the file".
    Status WriteAuditEvent(AuditEvent event, const std::vector<std::string>& args = {});
    const AuditTrailWriter& auditTrail() const { return audit_; }
    // The text of an audit trail file for the viewer (right 7 needed);
    // writes AUDITTRAIL_VIEW. nullopt when refused or unreadable.
    std::optional<std::string> ViewAuditTrail(const std::filesystem::path& file);
    // Asks for a line and writes it as MESSAGE.
    bool InsertAuditMessage();

    // --- Flows ----------------------------------------------------------------
    bool ConnectUser();
    bool DisconnectUser(bool ask);
    // The connection watch's command: shows "Automatically Disconnect %1",
    // writes DISCONNECT_AUTO and disconnects, when the connection is still
    // expired.
    bool ForceDisconnectUser();
    // typedPassword fills the current password field when the change comes
    // from the connection dialog.
    bool ChangePassword(const std::string& userName, bool fromConnection,
                        const std::string& typedPassword = {});
    bool VerifyPassword();
    // The users list's "&Delete User": asks, removes, saves, writes USER_DELETE.
    bool DeleteUser(const std::string& name);
    // When the connected supervisor edits a banned user: asks whether to lift
    // the ban and lifts it on Yes. Returns the answer (Yes when not banned).
    Answer offerToLiftBan(int index);
    // Shows the main window locked or not, as the switching setting and the
    // connected user decide.
    void applyApplicationLock();

    // --- Connection watch ---------------------------------------------------
    // post is called on the watch thread, once per connection, when the
    // connection has expired; it must hand over to the user interface thread,
    // which then calls ForceDisconnectUser.
    void startConnectionWatch(std::function<void()> post,
                              std::chrono::milliseconds period = std::chrono::milliseconds(1000));
    bool stopConnectionWatch();
    // Thread-safe: a user is connected, "CnxMnValid" is not 0 and the
    // connection's time has passed.
    bool isConnectionExpired() const;

    const PasswordHasher& hasher() const { return hasher_; }
    const std::string& serviceSecret() const { return serviceSecret_; }

private:
    CUser builtInSupervisor() const;
    bool passwordMatches(const FoundUser& found, const std::string& typed) const;
    // save(), showing "The users and security settings could not be saved."
    // when it fails.
    bool saveOrSay();
    void setConnected(const std::string& identifier);
    void banUser(FoundUser& found);
    // Runs hashing work through the prompter's busy indicator.
    void busy(const std::function<void()>& work);
    Answer show(int textId, std::vector<std::string> args, Buttons buttons = Buttons::Ok,
                Icon icon = Icon::Exclamation);
    // The connection dialog loop of ConnectUser and VerifyPassword.
    bool connectionLoop(int titleId, const std::string& fixedIdentifier, bool verifying);

    settings::SettingsStore& store_;
    const Clock& clock_;
    PasswordHasher hasher_;
    AuditTrailWriter audit_;
    std::string productName_;
    std::string productVersion_;
    Prompter* prompter_ = nullptr;
    ApplicationLock* lock_ = nullptr;

    std::array<CUserGroup, kGroupCount> groups_;
    std::vector<CUser> users_;
    std::string connectedId_;
    SecuritySettings settings_;
    std::string serviceSecret_;
    LocalTime builtInBanEnd_ = 0;
    // Wrong passwords per identifier since its last right one or ban. Kept
    // across dialogs, so cancelling and reopening the connection dialog does
    // not start the count again; like the ban end, not stored.
    std::map<std::string, int> wrongPasswords_;

    // Read by the connection watch.
    std::atomic<bool> connected_{false};
    std::atomic<LocalTime> connectionExpiry_{0};
    std::atomic<int> cnxMnValid_{30};
    std::atomic<bool> forcedPosted_{false};
    std::unique_ptr<ConnectionWatch> watch_;
};

}  // namespace qd40::security
