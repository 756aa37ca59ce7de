#include "app/security/user_rights.h"

#include <QString>
#include <algorithm>
#include <cctype>

#include "app/security/scramble.h"
#include "app/security/security_strings.h"
#include "app/security/service_access.h"

namespace qd40::security {

namespace {

constexpr const char* kSettings = "Settings";
constexpr const char* kUsers = "Users";
constexpr int kMinDaysValid = 1;
constexpr int kMaxDaysValid = 10000;
constexpr size_t kNameMin = 4, kNameMax = 50;
constexpr size_t kIdentMin = 4, kIdentMax = 20;
constexpr int kMaxMissingRecords = 32;

std::string groupSection(int number) {
    return "Groups" + std::string("Group") + std::to_string(number);
}
std::string defaultGroupName(int number) {
    return "Group" + std::to_string(number);
}
std::string userEntry(int number) {
    return "User" + std::to_string(number);
}

// Upper case of every letter, accented ones included ("hélène" gives
// "HÉLÈNE"), whatever the process's locale.
std::string upper(const std::string& text) {
    const bool ascii = std::all_of(text.begin(), text.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (!ascii)
        return QString::fromStdString(text).toUpper().toStdString();
    std::string out = text;
    for (char& c : out)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return out;
}

// An empty name or identifier (a damaged record) never matches. Upper and
// lower case of a letter may differ in length, so the lengths are not compared
// first.
bool equalsIgnoringCase(const std::string& a, const std::string& b) {
    return !a.empty() && upper(a) == upper(b);
}

}  // namespace

CUserRights::CUserRights(settings::SettingsStore& store, const Clock& clock,
                         UserRightsConfig config)
    : store_(store),
      clock_(clock),
      hasher_(config.hashCost),
      audit_(config.auditFolder, clock, config.productName, config.productVersion),
      productName_(config.productName),
      productVersion_(config.productVersion) {
    audit_.setDateFormat(config.dateFormat);
    for (int g = 0; g < kGroupCount; ++g)
        groups_[g].name = defaultGroupName(g + 1);
}

CUserRights::~CUserRights() {
    stopConnectionWatch();
}

// --- Persistence ------------------------------------------------------------

void CUserRights::load() {
    for (int g = 0; g < kGroupCount; ++g) {
        const std::string section = groupSection(g + 1);
        groups_[g].name = ScrambleText(
            store_.readString(section, "GroupName", ScrambleText(defaultGroupName(g + 1))));
        groups_[g].rights =
            static_cast<uint32_t>(store_.readInt(section, "Rights", -1)) | kAlwaysSetRights;
    }
    users_.clear();
    const int count = store_.readInt(kUsers, "Qty", 0);
    int missingInARow = 0;
    for (int n = 1; n <= count; ++n) {
        // A missing record is damage: it is skipped rather than declared as
        // an empty user, and the users after it are kept (the next save
        // numbers them again). A long run of missing records means the count
        // itself is damaged: reading stops there instead of looping for ever.
        const std::string record = store_.readString(kUsers, userEntry(n), {});
        if (record.empty()) {
            if (++missingInARow >= kMaxMissingRecords)
                break;
            continue;
        }
        missingInARow = 0;
        users_.push_back(CUser::fromRecord(ScrambleText(record)));
    }
    SecuritySettings s;
    s.pwdDaysValid = store_.readInt(kSettings, "PwdDaysValid", 30);
    s.pwdMinLen = store_.readInt(kSettings, "PwdMinLen", 4);
    s.cnxMnValid = store_.readInt(kSettings, "CnxMnValid", 30);
    s.retries = store_.readInt(kSettings, "Retries", 3);
    s.forbiddenTime = store_.readInt(kSettings, "ForbiddenTime", 30);
    s.auditTrail = store_.readInt(kSettings, "AuditTrail", 0) != 0;
    s.printUserName = store_.readInt(kSettings, "PrintUserName", 0) != 0;
    s.appChangeRights = store_.readInt(kSettings, "AppChangeRights", 1) != 0;
    s.deleteRights = store_.readInt(kSettings, "DeleteRights", 1) != 0;
    setSettings(s);
    serviceSecret_ = ensureServiceSecret(store_);
}

bool CUserRights::save() {
    bool ok = true;
    for (int g = 0; g < kGroupCount; ++g) {
        const std::string section = groupSection(g + 1);
        ok = store_.writeString(section, "GroupName", ScrambleText(groups_[g].name)) && ok;
        ok = store_.writeInt(section, "Rights", static_cast<int>(groups_[g].rights)) && ok;
    }
    // Passwords kept in plain text by an older version are hashed first, on
    // copies, behind the busy indicator: a user with a long history takes a
    // while.
    const auto plain = [](const std::string& stored) {
        return !stored.empty() && !PasswordHasher::isHash(stored);
    };
    const bool anyPlain = std::any_of(users_.begin(), users_.end(), [&](const CUser& u) {
        return plain(u.password) || std::any_of(u.history.begin(), u.history.end(), plain);
    });
    if (anyPlain) {
        std::vector<CUser> upgraded = users_;
        busy([&] {
            for (CUser& u : upgraded)
                u.upgradeStoredPasswords(hasher_);
        });
        for (size_t i = 0; i < users_.size(); ++i) {
            users_[i].password = upgraded[i].password;
            users_[i].history = upgraded[i].history;
        }
    }
    const int count = static_cast<int>(users_.size());
    ok = store_.writeInt(kUsers, "Qty", count) && ok;
    for (int n = 1; n <= count; ++n)
        ok = store_.writeString(kUsers, userEntry(n), ScrambleText(users_[n - 1].toRecord())) && ok;
    // Records beyond the count would keep deleted users' passwords.
    for (int n = count + 1; store_.deleteEntry(kUsers, userEntry(n)); ++n) {
    }
    const SecuritySettings& s = settings_;
    ok = store_.writeInt(kSettings, "PwdDaysValid", s.pwdDaysValid) && ok;
    ok = store_.writeInt(kSettings, "PwdMinLen", s.pwdMinLen) && ok;
    ok = store_.writeInt(kSettings, "CnxMnValid", s.cnxMnValid) && ok;
    ok = store_.writeInt(kSettings, "Retries", s.retries) && ok;
    ok = store_.writeInt(kSettings, "ForbiddenTime", s.forbiddenTime) && ok;
    ok = store_.writeInt(kSettings, "AuditTrail", s.auditTrail ? 1 : 0) && ok;
    ok = store_.writeInt(kSettings, "PrintUserName", s.printUserName ? 1 : 0) && ok;
    ok = store_.writeInt(kSettings, "AppChangeRights", s.appChangeRights ? 1 : 0) && ok;
    ok = store_.writeInt(kSettings, "DeleteRights", s.deleteRights ? 1 : 0) && ok;
    return ok;
}

// --- Groups -----------------------------------------------------------------

int CUserRights::findGroup(const std::string& name) const {
    for (int g = 0; g < kGroupCount; ++g)
        if (groups_[g].name == name)
            return g;
    return -1;
}

std::vector<std::string> CUserRights::groupNames() const {
    std::vector<std::string> names;
    for (const CUserGroup& g : groups_)
        names.push_back(g.name);
    return names;
}

int CUserRights::findGroupForEdit(const std::string& name) {
    const int index = findGroup(name);
    if (index < 0)
        show(text::kGroupNameUnknown, {});
    return index;
}

bool CUserRights::setGroupMembers(int index, const std::vector<std::string>& memberNames) {
    if (index < 0 || index >= kGroupCount)
        return false;
    for (size_t i = 0; i < users_.size(); ++i) {
        const bool member = std::any_of(memberNames.begin(), memberNames.end(),
                                        [&](const std::string& n) { return n == users_[i].name; });
        if (users_[i].groups[index] == member)
            continue;
        CUser user = users_[i];
        user.groups[index] = member;
        updateUser(static_cast<int>(i), std::move(user));
    }
    return true;
}

bool CUserRights::updateGroup(int index, const std::string& name, uint32_t rights) {
    if (index < 0 || index >= kGroupCount)
        return false;
    CUserGroup& group = groups_[index];
    if (!isConnectedUserSupervisor())
        rights = (rights & ~kSupervisorOnlyRights) | (group.rights & kSupervisorOnlyRights);
    group.name = firstCharacters(name, kNameMax);
    group.rights = rights | kAlwaysSetRights;
    return true;
}

bool CUserRights::acceptGroupEdit(int index, const std::string& name,
                                  const std::vector<std::string>& memberNames, uint32_t rights) {
    if (!setGroupMembers(index, memberNames) || !updateGroup(index, name, rights))
        return false;
    return saveOrSay();
}

// --- Users ------------------------------------------------------------------

std::vector<std::string> CUserRights::userNames() const {
    std::vector<std::string> names;
    for (const CUser& u : users_)
        names.push_back(u.name);
    return names;
}

CUser CUserRights::builtInSupervisor() const {
    CUser user;
    user.name = kBuiltInSupervisorName;
    user.identifier = kBuiltInSupervisorIdentifier;
    user.password = serviceAccessCode(serviceSecret_, clock_.now());
    user.supervisor = true;
    user.expiry = clock_.now() + kSecondsPerDay;  // its code never needs a change
    user.banEnd = builtInBanEnd_;
    return user;
}

std::optional<FoundUser> CUserRights::findUserByName(const std::string& name) const {
    for (size_t i = 0; i < users_.size(); ++i)
        if (equalsIgnoringCase(users_[i].name, name))
            return FoundUser{users_[i], int(i)};
    if (equalsIgnoringCase(kBuiltInSupervisorName, name))
        return FoundUser{builtInSupervisor(), -1};
    return std::nullopt;
}

std::optional<FoundUser> CUserRights::findUserByIdentifier(const std::string& identifier) const {
    for (size_t i = 0; i < users_.size(); ++i)
        if (equalsIgnoringCase(users_[i].identifier, identifier))
            return FoundUser{users_[i], int(i)};
    if (equalsIgnoringCase(kBuiltInSupervisorIdentifier, identifier))
        return FoundUser{builtInSupervisor(), -1};
    return std::nullopt;
}

void CUserRights::addUser(CUser user) {
    user.identifier = upper(user.identifier);
    const std::string name = user.name;
    users_.push_back(std::move(user));
    WriteAuditEvent(AuditEvent::USER_NEW, {name});
}

bool CUserRights::updateUser(int index, CUser user) {
    if (index < 0 || index >= static_cast<int>(users_.size()))
        return false;
    user.identifier = upper(user.identifier);
    const CUser old = users_[static_cast<size_t>(index)];
    const bool wasConnected = !connectedId_.empty() && connectedId_ == old.identifier;
    users_[static_cast<size_t>(index)] = user;
    if (wasConnected)
        connectedId_ = user.identifier;
    if (old.name != user.name)
        WriteAuditEvent(AuditEvent::USER_NAME_CHANGE, {old.name, user.name});
    if (old.identifier != user.identifier)
        WriteAuditEvent(AuditEvent::USER_IDENT_CHANGE,
                        {user.name, old.identifier, user.identifier});
    if (old.flagText() != user.flagText())
        WriteAuditEvent(AuditEvent::USER_GROUP_CHANGE,
                        {user.name, old.flagText(), user.flagText()});
    if (old.password != user.password)
        WriteAuditEvent(AuditEvent::USER_PASS_CHANGE, {user.name});
    return true;
}

bool CUserRights::deleteUser(int index) {
    if (index < 0 || index >= static_cast<int>(users_.size()))
        return false;
    const CUser old = users_[static_cast<size_t>(index)];
    users_.erase(users_.begin() + index);
    WriteAuditEvent(AuditEvent::USER_DELETE, {old.name});
    if (!connectedId_.empty() && connectedId_ == old.identifier) {
        setConnected({});
        applyApplicationLock();
    }
    return true;
}

bool CUserRights::acceptUserEdit(int index, const CUser& edited) {
    if (const auto message = checkUserEdit(index, edited)) {
        show(message->textId, message->args);
        return false;
    }
    if (index < 0) {
        // A starting password is never empty, whatever the minimum length.
        if (!isAcceptablePassword(edited.password, std::max(1, settings_.pwdMinLen))) {
            show(text::kPasswordRules, {std::to_string(std::max(1, settings_.pwdMinLen)),
                                        std::to_string(kMaxPasswordLength)});
            return false;
        }
        CUser user;
        user.name = edited.name;
        user.identifier = edited.identifier;
        user.supervisor = edited.supervisor;
        user.groups = edited.groups;
        busy([&] { user.password = hasher_.hash(edited.password); });
        if (user.password.empty()) {
            show(text::kPasswordNotRecorded, {user.name});
            return false;
        }
        user.forceExpiry(clock_.now() - 1);  // to be replaced at the first connection
        addUser(std::move(user));
    } else {
        if (index >= static_cast<int>(users_.size()))
            return false;
        CUser user = users_[static_cast<size_t>(index)];
        user.name = edited.name;
        user.identifier = edited.identifier;
        user.supervisor = edited.supervisor;
        user.groups = edited.groups;
        updateUser(index, std::move(user));
    }
    return saveOrSay();
}

std::optional<Message> CUserRights::checkUserEdit(int index, const CUser& edited) const {
    if (!edited.supervisor && !edited.isInAnyGroup())
        return Message{text::kUserNeedsGroup, {}};
    const size_t nameLength = characterCount(edited.name);
    if (nameLength < kNameMin || nameLength > kNameMax ||
        edited.name.find(',') != std::string::npos)
        return Message{text::kUserNameRules, {std::to_string(kNameMin), std::to_string(kNameMax)}};
    const CUser* original =
        index >= 0 && index < static_cast<int>(users_.size()) ? &users_[size_t(index)] : nullptr;
    const auto other = [&](const std::optional<FoundUser>& f) {
        return f && (f->isBuiltIn() || f->index != index);
    };
    if ((!original || !equalsIgnoringCase(original->name, edited.name)) &&
        other(findUserByName(edited.name)))
        return Message{text::kUserAlreadyRegistered, {edited.name}};
    const size_t identLength = characterCount(edited.identifier);
    if (identLength < kIdentMin || identLength > kIdentMax ||
        edited.identifier.find_first_of(", ") != std::string::npos)
        return Message{text::kUserIdentRules,
                       {std::to_string(kIdentMin), std::to_string(kIdentMax)}};
    if ((!original || !equalsIgnoringCase(original->identifier, edited.identifier)) &&
        other(findUserByIdentifier(edited.identifier)))
        return Message{text::kIdentAlreadyUsed, {upper(edited.identifier)}};
    return std::nullopt;
}

std::optional<FoundUser> CUserRights::connectedUser() const {
    if (connectedId_.empty())
        return std::nullopt;
    return findUserByIdentifier(connectedId_);
}

bool CUserRights::isConnectedUserSupervisor() const {
    if (connectedId_.empty())
        return std::none_of(users_.begin(), users_.end(),
                            [](const CUser& u) { return u.supervisor; });
    const auto user = connectedUser();
    return user && user->user.supervisor;
}

// --- Rights -----------------------------------------------------------------

uint32_t CUserRights::rightsWord() const {
    if (users_.empty())
        return 0xFFFFFFFFu;
    const auto user = connectedUser();
    if (!user)
        return 0;
    if (user->user.supervisor)
        return 0xFFFFFFFFu;
    uint32_t word = kAlwaysSetRights;
    for (int g = 0; g < kGroupCount; ++g)
        if (user->user.groups[g])
            word |= groups_[g].rights;
    return word;
}

bool CUserRights::commandEnabled(SecurityCommand command) const {
    const auto connected = connectedUser();
    switch (command) {
        case SecurityCommand::Connect:
            return anyUserDeclared();
        case SecurityCommand::Disconnect:
        case SecurityCommand::Verify:
            return connected.has_value();
        case SecurityCommand::ChangePassword:
            return connected && !connected->isBuiltIn();
        case SecurityCommand::Groups:
            return !anyUserDeclared() || connected.has_value();
        case SecurityCommand::Users:
        case SecurityCommand::Attributes:
            return !anyUserDeclared() || (connected && connected->user.supervisor);
        case SecurityCommand::ViewAuditTrail:
            return hasRight(kRightViewAuditTrail);
        case SecurityCommand::InsertMessage:
            return settings_.auditTrail && (!anyUserDeclared() || connected.has_value());
    }
    return false;
}

bool CUserRights::isSwitchingAllowed() const {
    return settings_.appChangeRights || isConnectedUserSupervisor();
}

bool CUserRights::isOverwritingAllowed() const {
    return settings_.deleteRights || isConnectedUserSupervisor();
}

std::optional<std::string> CUserRights::printFooter() const {
    if (!settings_.printUserName)
        return std::nullopt;
    const auto user = connectedUser();
    return securityText(text::kPrintFooter, {productName_, productVersion_,
                                             formatLocalTime(clock_.now(), kDateTimeFormat),
                                             user ? user->user.name : securityText(text::kNoUser)});
}

// --- Settings ---------------------------------------------------------------

void CUserRights::setSettings(const SecuritySettings& settings) {
    settings_ = settings;
    settings_.pwdDaysValid = std::clamp(settings_.pwdDaysValid, kMinDaysValid, kMaxDaysValid);
    cnxMnValid_ = settings_.cnxMnValid;
}

bool CUserRights::applySecuritySettings(const SecuritySettings& requested) {
    const SecuritySettings old = settings_;
    // The events record the values that are kept, clamped like at loading.
    SecuritySettings next = requested;
    next.pwdDaysValid = std::clamp(next.pwdDaysValid, kMinDaysValid, kMaxDaysValid);
    // Switching the trail on takes effect first so that this batch is
    // recorded; switching it off takes effect last, after AUDITTRAIL_OFF.
    if (next.auditTrail && !old.auditTrail) {
        settings_.auditTrail = true;
        WriteAuditEvent(AuditEvent::AUDITTRAIL_ON);
    }
    auto numeric = [&](AuditEvent event, int before, int after) {
        if (before != after)
            WriteAuditEvent(event, {oldNewArgument(before, after)});
    };
    numeric(AuditEvent::PASSWORD_CHANGE_DAYS, old.pwdDaysValid, next.pwdDaysValid);
    numeric(AuditEvent::PASSWORD_RETRIES, old.retries, next.retries);
    numeric(AuditEvent::PASSWORD_MIN_LEN, old.pwdMinLen, next.pwdMinLen);
    numeric(AuditEvent::CNX_MAX_DURATION, old.cnxMnValid, next.cnxMnValid);
    numeric(AuditEvent::CNX_BAN, old.forbiddenTime, next.forbiddenTime);
    if (old.printUserName != next.printUserName)
        WriteAuditEvent(next.printUserName ? AuditEvent::PRINT_USER_NAME_ON
                                           : AuditEvent::PRINT_USER_NAME_OFF);
    if (old.appChangeRights != next.appChangeRights)
        WriteAuditEvent(next.appChangeRights ? AuditEvent::RIGHTS_TASK_SWITCH_DIS
                                             : AuditEvent::RIGHTS_TASK_SWITCH_EN);
    if (old.deleteRights != next.deleteRights)
        WriteAuditEvent(next.deleteRights ? AuditEvent::OVERWRITE_FILE_EN
                                          : AuditEvent::OVERWRITE_FILE_DIS);
    if (!next.auditTrail && old.auditTrail)
        WriteAuditEvent(AuditEvent::AUDITTRAIL_OFF);
    setSettings(next);
    return saveOrSay();
}

// --- Audit trail ------------------------------------------------------------

Status CUserRights::WriteAuditEvent(AuditEvent event, const std::vector<std::string>& args) {
    if (!settings_.auditTrail)
        return Status::ok();
    const std::string user = connectedId_.empty() ? securityText(text::kNoUser) : connectedId_;
    Status status = audit_.append(user, auditEventCode(event), args);
    if (!status)
        show(text::kAuditWriteFailed, {}, Buttons::Ok, Icon::Exclamation);
    return status;
}

std::optional<std::string> CUserRights::ViewAuditTrail(const std::filesystem::path& file) {
    if (!hasRight(kRightViewAuditTrail))
        return std::nullopt;
    auto content = readAuditTrail(file);
    if (!content) {
        show(text::kAuditReadFailed, {});
        return std::nullopt;
    }
    WriteAuditEvent(AuditEvent::AUDITTRAIL_VIEW, {file.filename().string()});
    return content;
}

bool CUserRights::InsertAuditMessage() {
    if (!prompter_)
        return false;
    const auto line = prompter_->editLine(text::kEditingMessage);
    if (!line)
        return false;
    return WriteAuditEvent(AuditEvent::MESSAGE, {*line}).isOk();
}

}  // namespace qd40::security
