// The log-on, password, disconnection and user-list flows of CUserRights.
// Each asks its questions and shows its messages through the prompter.
#include <algorithm>

#include "app/security/security_strings.h"
#include "app/security/user_rights.h"

namespace qd40::security {

void CUserRights::busy(const std::function<void()>& work) {
    if (prompter_)
        prompter_->runBusy(work);
    else
        work();
}

Answer CUserRights::show(int textId, std::vector<std::string> args, Buttons buttons, Icon icon) {
    if (!prompter_)
        return Answer::Cancel;  // nobody to answer: never a consent
    return prompter_->message(textId, args, buttons, icon);
}

bool CUserRights::saveOrSay() {
    if (save())
        return true;
    show(text::kSettingsNotSaved, {});
    return false;
}

bool CUserRights::passwordMatches(const FoundUser& found, const std::string& typed) const {
    // Without a service secret the built-in account has no code and stays shut.
    if (found.isBuiltIn() && found.user.password.empty())
        return false;
    return found.user.checkPassword(typed, hasher_);
}

void CUserRights::setConnected(const std::string& identifier) {
    connectedId_ = identifier;
    if (!identifier.empty()) {
        connectionExpiry_ = clock_.now() + settings_.cnxMnValid * kSecondsPerMinute;
        forcedPosted_ = false;
    }
    connected_ = !identifier.empty();
}

void CUserRights::banUser(FoundUser& found) {
    const LocalTime now = clock_.now();
    found.user.ban(now, settings_.forbiddenTime);
    if (found.isBuiltIn())
        builtInBanEnd_ = found.user.banEnd;
    else
        users_[static_cast<size_t>(found.index)].banEnd = found.user.banEnd;
}

bool CUserRights::ConnectUser() {
    return connectionLoop(text::kConnectingUser, {}, false);
}

bool CUserRights::VerifyPassword() {
    if (users_.empty())
        return true;  // security is off
    if (connectedId_.empty()) {
        show(text::kNoConnectedUser, {}, Buttons::Ok, Icon::Information);
        return false;
    }
    return connectionLoop(text::kVerifyingPassword, connectedId_, true);
}

bool CUserRights::connectionLoop(int titleId, const std::string& fixedIdentifier, bool verifying) {
    if (!prompter_)
        return false;
    while (true) {
        auto entry = prompter_->connectionDialog(titleId, fixedIdentifier);
        if (!entry)
            return false;
        const std::string identifier = verifying ? fixedIdentifier : entry->identifier;

        auto found = findUserByIdentifier(identifier);
        if (!found) {
            show(text::kIdentUnknown, {identifier});
            continue;
        }
        const LocalTime now = clock_.now();
        if (found->user.isBanned(now)) {
            show(text::kNotAllowedBefore, {found->user.identifier, found->user.banEndText()});
            continue;
        }
        bool matches = false;
        busy([&] { matches = passwordMatches(*found, entry->password); });
        if (!matches) {
            show(text::kWrongPassword, {});
            int& wrong = wrongPasswords_[found->user.identifier];
            if (++wrong >= std::max(1, settings_.retries)) {
                wrong = 0;
                WriteAuditEvent(AuditEvent::CONNECT_FAIL, {found->user.identifier});
                banUser(*found);
                show(text::kNotAllowedBefore, {found->user.identifier, found->user.banEndText()});
            }
            continue;
        }
        wrongPasswords_.erase(found->user.identifier);
        bool expired = found->user.isPasswordExpired(now);
        if (expired && !entry->changePassword)
            show(text::kPasswordExpired, {found->user.identifier});
        if (expired || entry->changePassword) {
            if (ChangePassword(found->user.name, true, entry->password))
                expired = false;
        }
        if (expired) {
            show(text::kConnectionFailed, {found->user.identifier});
            return false;
        }
        if (!verifying) {
            setConnected(found->user.identifier);
            WriteAuditEvent(AuditEvent::CONNECT);
            applyApplicationLock();
        }
        return true;
    }
}

bool CUserRights::ChangePassword(const std::string& userName, bool fromConnection,
                                 const std::string& typedPassword) {
    auto found = findUserByName(userName);
    if (!found) {
        show(text::kUserNotRegistered, {userName});
        return false;
    }
    if (found->isBuiltIn()) {
        show(text::kPasswordNotModifiable, {found->user.name});
        return false;
    }
    if (!prompter_)
        return false;
    CUser user = found->user;
    const std::string prefilled = fromConnection ? typedPassword : std::string();
    while (true) {
        const auto entry = prompter_->changePasswordDialog(user.identifier, prefilled);
        if (!entry) {
            if (!user.isPasswordExpired(clock_.now()))
                return true;
            if (show(text::kPasswordExpired, {user.identifier}, Buttons::OkCancel) != Answer::Ok)
                return false;
            continue;
        }
        // The slow part, the hashes, is worked out at once away from the
        // interface; its verdicts are then told in the rules' order.
        const bool sameTwice = entry->newPassword == entry->confirm;
        const bool acceptable = isAcceptablePassword(entry->newPassword, settings_.pwdMinLen);
        bool currentOk = false, same = false, used = false, hashed = false;
        CUser changed = user;
        const LocalTime now = clock_.now();
        busy([&] {
            currentOk = user.checkPassword(entry->current, hasher_);
            if (!currentOk || !sameTwice || !acceptable)
                return;
            same = user.checkPassword(entry->newPassword, hasher_);
            used = !same && user.isInHistory(entry->newPassword, hasher_);
            if (!same && !used)
                hashed = changed.changePassword(entry->newPassword, now, settings_.pwdDaysValid,
                                                hasher_);
        });
        if (!currentOk) {
            show(text::kWrongPassword, {});
            continue;
        }
        if (!sameTwice) {
            show(text::kPasswordsDiffer, {});
            continue;
        }
        if (!acceptable) {
            show(text::kPasswordRules,
                 {std::to_string(settings_.pwdMinLen), std::to_string(kMaxPasswordLength)});
            continue;
        }
        if (same) {
            show(text::kPasswordSameAsCurrent, {user.name});
            continue;
        }
        if (used) {
            show(text::kPasswordAlreadyUsed, {user.name});
            continue;
        }
        // The new password is only announced, audited and used once it is in
        // the store; otherwise the old one stays, here and there. A save that
        // failed part-way may have stored the new password: the old state is
        // written back, as far as the store takes it.
        bool recorded = hashed;
        if (recorded) {
            user = changed;
            CUser& slot = users_[static_cast<size_t>(found->index)];
            const CUser before = slot;
            slot = user;
            recorded = save();
            slot = before;
            if (!recorded)
                (void)save();  // the failure is shown just below
        }
        if (!recorded) {
            show(text::kPasswordNotRecorded, {user.name});
            return false;
        }
        updateUser(found->index, user);
        show(text::kPasswordRecorded, {user.name}, Buttons::Ok, Icon::Information);
        return true;
    }
}

bool CUserRights::DisconnectUser(bool ask) {
    if (connectedId_.empty()) {
        show(text::kNoConnectedUser, {}, Buttons::Ok, Icon::Information);
        return false;
    }
    if (ask && show(text::kDisconnectAsk, {connectedId_}, Buttons::YesNoCancel, Icon::Question) !=
                   Answer::Yes)
        return false;
    WriteAuditEvent(AuditEvent::DISCONNECT);
    setConnected({});
    applyApplicationLock();
    return true;
}

bool CUserRights::ForceDisconnectUser() {
    // The command was posted by the watch; the user may have reconnected or
    // disconnected since.
    if (!isConnectionExpired())
        return false;
    if (prompter_)
        prompter_->notify(text::kAutoDisconnect, {connectedId_});
    WriteAuditEvent(AuditEvent::DISCONNECT_AUTO);
    setConnected({});
    applyApplicationLock();
    return true;
}

bool CUserRights::DeleteUser(const std::string& name) {
    const auto found = findUserByName(name);
    if (!found || found->isBuiltIn()) {
        show(text::kUserNotRegistered, {name});
        return false;
    }
    if (show(text::kDeleteUserAsk, {found->user.name}, Buttons::YesNo, Icon::Question) !=
        Answer::Yes)
        return false;
    const std::string deleted = found->user.name;
    const CUser removed = users_[static_cast<size_t>(found->index)];
    users_.erase(users_.begin() + found->index);
    if (!saveOrSay()) {
        // Still declared; the store, which may hold part of the deletion, is
        // written back as far as it can be.
        users_.insert(users_.begin() + found->index, removed);
        (void)save();  // its failure was just shown
        return false;
    }
    WriteAuditEvent(AuditEvent::USER_DELETE, {deleted});
    if (!connectedId_.empty() && !connectedUser()) {
        setConnected({});
        applyApplicationLock();
    }
    return true;
}

Answer CUserRights::offerToLiftBan(int index) {
    if (index < 0 || index >= static_cast<int>(users_.size()))
        return Answer::Cancel;
    CUser& user = users_[static_cast<size_t>(index)];
    const LocalTime now = clock_.now();
    if (!isConnectedUserSupervisor() || !user.isBanned(now))
        return Answer::Yes;
    const Answer answer = show(text::kLiftBanAsk, {user.name, user.banEndText()},
                               Buttons::YesNoCancel, Icon::Question);
    if (answer == Answer::Yes)
        user.liftBan(now);
    return answer;
}

void CUserRights::applyApplicationLock() {
    if (!lock_)
        return;
    const bool locked = !isSwitchingAllowed();
    if (!lock_->apply(locked) && locked)
        show(text::kLockingUnavailable, {});
}

// --- Connection watch -------------------------------------------------------

bool CUserRights::isConnectionExpired() const {
    return connected_ && cnxMnValid_ != 0 && clock_.now() > connectionExpiry_;
}

void CUserRights::startConnectionWatch(std::function<void()> post,
                                       std::chrono::milliseconds period) {
    stopConnectionWatch();
    watch_ = std::make_unique<ConnectionWatch>(
        [this] { return isConnectionExpired() && !forcedPosted_.exchange(true); }, std::move(post),
        period);
    watch_->start();
}

bool CUserRights::stopConnectionWatch() {
    if (!watch_)
        return true;
    const bool acknowledged = watch_->stop();
    watch_.reset();
    return acknowledged;
}

}  // namespace qd40::security
