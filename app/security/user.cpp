#include "app/security/user.h"

#include <cstdlib>

namespace qd40::security {

namespace {

std::vector<std::string> splitFields(const std::string& text) {
    std::vector<std::string> fields;
    size_t start = 0;
    while (true) {
        const size_t comma = text.find(',', start);
        if (comma == std::string::npos) {
            fields.push_back(text.substr(start));
            return fields;
        }
        fields.push_back(text.substr(start, comma - start));
        start = comma + 1;
    }
}

// "%d": optional sign and digits after optional blanks; false when none.
bool readNumber(const std::string& field, int& value) {
    const char* begin = field.c_str();
    char* end = nullptr;
    const long v = std::strtol(begin, &end, 10);
    if (end == begin)
        return false;
    value = static_cast<int>(v);
    return true;
}

bool continuesSequence(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

}  // namespace

size_t characterCount(std::string_view text) {
    size_t count = 0;
    for (char c : text)
        if (!continuesSequence(c))
            ++count;
    return count;
}

bool isAcceptablePassword(std::string_view password, int minLength) {
    const size_t length = characterCount(password);
    return length >= static_cast<size_t>(std::max(0, minLength)) && length <= kMaxPasswordLength &&
           password.find_first_of(", ") == std::string_view::npos;
}

std::string firstCharacters(std::string_view text, size_t count) {
    size_t end = 0;
    for (size_t seen = 0; end < text.size(); ++end) {
        if (!continuesSequence(text[end]) && seen++ == count)
            break;
    }
    return std::string(text.substr(0, end));
}

std::string CUser::flagText() const {
    std::string flags(supervisor ? "1" : "0");
    for (bool member : groups)
        flags += member ? '1' : '0';
    return flags;
}

std::string CUser::toRecord() const {
    std::string record = name + "," + identifier + "," + password + "," + flagText();
    record += formatLocalTime(expiry, ",%Y,%m,%d");
    for (size_t i = 0; i < kHistorySize; ++i) {
        record += ',';
        if (i < history.size())
            record += history[i];
    }
    return record;
}

CUser CUser::fromRecord(const std::string& record) {
    CUser user;
    const std::vector<std::string> fields = splitFields(record);
    const auto has = [&](size_t i) { return i < fields.size(); };
    if (has(0))
        user.name = fields[0];
    if (has(1))
        user.identifier = fields[1];
    if (has(2))
        user.password = fields[2];
    if (has(3)) {
        const std::string& flags = fields[3];
        if (!flags.empty())
            user.supervisor = flags[0] == '1';
        for (int g = 0; g < kGroupCount && size_t(g + 1) < flags.size(); ++g)
            user.groups[g] = flags[g + 1] == '1';
    }
    int year = 0, month = 0, day = 0;
    if (has(6) && readNumber(fields[4], year) && readNumber(fields[5], month) &&
        readNumber(fields[6], day)) {
        DateTime dt;
        dt.year = year;
        dt.month = month;
        dt.day = day;
        if (dt.isValid())
            user.expiry = localTimeOf(dt);
    }
    for (size_t i = 7; i < fields.size() && user.history.size() < kHistorySize; ++i) {
        if (!fields[i].empty())
            user.history.push_back(fields[i]);
    }
    return user;
}

bool CUser::changePassword(std::string_view newPassword, LocalTime now, int daysValid,
                           const PasswordHasher& hasher) {
    std::string hashed = hasher.hash(newPassword);
    if (hashed.empty())
        return false;
    // An empty password (a user never given one) is no previous password.
    if (!password.empty())
        history.insert(history.begin(), password);
    while (history.size() > kHistorySize)
        history.pop_back();
    password = std::move(hashed);
    expiry = now + static_cast<LocalTime>(daysValid) * kSecondsPerDay;
    return true;
}

bool CUser::isInHistory(std::string_view typed, const PasswordHasher& hasher) const {
    for (const std::string& old : history)
        if (hasher.verify(old, typed))
            return true;
    return false;
}

bool CUser::isInAnyGroup() const {
    for (bool member : groups)
        if (member)
            return true;
    return false;
}

void CUser::upgradeStoredPasswords(const PasswordHasher& hasher) {
    password = hasher.upgrade(password);
    for (std::string& old : history)
        old = hasher.upgrade(old);
}

}  // namespace qd40::security
