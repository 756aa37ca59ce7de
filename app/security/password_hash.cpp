#include "app/security/password_hash.h"

#include <sodium.h>

#include <algorithm>
#include <stdexcept>

namespace qd40::security {

namespace {
// Longest password the rules allow, in bytes: 20 characters of at most four
// UTF-8 bytes each. A hash is always longer.
constexpr size_t kLongestPassword = 20 * 4;
constexpr std::string_view kHashPrefix = "$argon2";

bool sodiumReady() {
    static const bool ready = sodium_init() >= 0;
    return ready;
}
}  // namespace

HashCost HashCost::interactive() {
    return {crypto_pwhash_OPSLIMIT_INTERACTIVE, crypto_pwhash_MEMLIMIT_INTERACTIVE};
}

HashCost HashCost::minimum() {
    return {crypto_pwhash_OPSLIMIT_MIN, crypto_pwhash_MEMLIMIT_MIN};
}

PasswordHasher::PasswordHasher(HashCost cost) : cost_(cost) {
    if (!sodiumReady())
        throw std::runtime_error("libsodium could not be initialised");
}

bool PasswordHasher::isHash(std::string_view stored) {
    return stored.size() > kLongestPassword && stored.substr(0, kHashPrefix.size()) == kHashPrefix;
}

std::string PasswordHasher::hash(std::string_view password) const {
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(out, password.data(), password.size(), cost_.opsLimit, cost_.memLimit) !=
        0)
        return {};
    std::string stored(out);
    std::replace(stored.begin(), stored.end(), ',', ';');
    return stored;
}

bool PasswordHasher::verify(std::string_view stored, std::string_view password) const {
    if (!isHash(stored)) {
        // A plain text from an older version: compare without an early exit.
        if (stored.size() != password.size())
            return false;
        return sodium_memcmp(stored.data(), password.data(), stored.size()) == 0;
    }
    std::string text(stored);
    std::replace(text.begin(), text.end(), ';', ',');
    return crypto_pwhash_str_verify(text.c_str(), password.data(), password.size()) == 0;
}

std::string PasswordHasher::upgrade(const std::string& stored) const {
    if (stored.empty() || isHash(stored))
        return stored;
    std::string hashed = hash(stored);
    return hashed.empty() ? stored : hashed;
}

}  // namespace qd40::security
