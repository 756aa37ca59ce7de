// A users group and a declared user, with the user record kept in the
// machine-wide store.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/security/clock.h"
#include "app/security/password_hash.h"

namespace qd40::security {

inline constexpr int kGroupCount = 5;
inline constexpr size_t kHistorySize = 16;
inline constexpr size_t kMaxPasswordLength = 20;
// Bits 15 to 31 of every group's rights are always set.
inline constexpr uint32_t kAlwaysSetRights = 0xFFFF8000u;

// Lengths in the naming and password rules count characters, not bytes: a
// UTF-8 text's characters are its bytes that do not continue a sequence.
size_t characterCount(std::string_view text);
// A password the rules accept: minLength to kMaxPasswordLength characters,
// neither comma nor blank.
bool isAcceptablePassword(std::string_view password, int minLength);
// The first `count` characters of text, never cutting a character in two.
std::string firstCharacters(std::string_view text, size_t count);

class CUserGroup {
public:
    std::string name;
    uint32_t rights = 0xFFFFFFFFu;
};

class CUser {
public:
    std::string name;
    std::string identifier;  // upper case
    // The stored form of the password: a hash, or plain text from an older
    // record (see password_hash.h).
    std::string password;
    bool supervisor = false;
    std::array<bool, kGroupCount> groups{};  // member of group 1..5
    LocalTime expiry = 0;                    // password expiry
    std::vector<std::string> history;        // stored forms, newest first, at most 16
    LocalTime banEnd = 0;                    // not stored

    // The record text before scrambling:
    // name,identifier,password,SGGGGG,%Y,%m,%d then 16 history fields.
    std::string toRecord() const;
    // Reads whatever fields are present; a damaged record gives a user with
    // the fields read up to the damage.
    static CUser fromRecord(const std::string& record);

    // The current password goes to the head of the history (at most 16 kept),
    // the new one's hash replaces it and the expiry becomes now + days. False,
    // with nothing changed, when the password could not be hashed.
    bool changePassword(std::string_view newPassword, LocalTime now, int daysValid,
                        const PasswordHasher& hasher);
    bool isPasswordExpired(LocalTime now) const { return now > expiry; }
    void forceExpiry(LocalTime now) { expiry = now; }
    bool isBanned(LocalTime now) const { return banEnd > now; }
    void ban(LocalTime now, int minutes) { banEnd = now + minutes * kSecondsPerMinute; }
    void liftBan(LocalTime now) { banEnd = now; }
    // "%H:%M:%S"
    std::string banEndText() const { return formatLocalTime(banEnd, "%H:%M:%S"); }
    bool checkPassword(std::string_view typed, const PasswordHasher& hasher) const {
        return hasher.verify(password, typed);
    }
    bool isInHistory(std::string_view typed, const PasswordHasher& hasher) const;
    bool isInAnyGroup() const;
    // Replaces plain-text password and history entries by their hashes.
    void upgradeStoredPasswords(const PasswordHasher& hasher);
    // The six flag characters: supervisor then groups 1 to 5.
    std::string flagText() const;
};

}  // namespace qd40::security
