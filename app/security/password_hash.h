// Stored form of passwords: a salted, slow hash (libsodium's Argon2id
// crypto_pwhash_str) with its commas replaced by semicolons, so that it fits
// in one comma-separated field of the user record. A stored text is a hash
// when it starts with "$argon2" and is longer than any password may be;
// anything else is a password kept in plain text by an older version, which
// is still accepted and replaced by its hash at the next save.
#pragma once
#include <string>
#include <string_view>

namespace qd40::security {

struct HashCost {
    unsigned long long opsLimit;
    size_t memLimit;

    // The interactive cost the application uses.
    static HashCost interactive();
    // The cheapest cost libsodium accepts; for tests.
    static HashCost minimum();
};

class PasswordHasher {
public:
    explicit PasswordHasher(HashCost cost = HashCost::interactive());

    // The stored form of a password; empty when hashing failed (out of memory).
    std::string hash(std::string_view password) const;
    // Whether the password matches a stored text (hash or plain text).
    bool verify(std::string_view stored, std::string_view password) const;
    // The stored form of a stored text: hashes stay, plain texts are hashed.
    std::string upgrade(const std::string& stored) const;

    static bool isHash(std::string_view stored);

private:
    HashCost cost_;
};

}  // namespace qd40::security
