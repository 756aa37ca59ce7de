#include "app/security/service_access.h"

#include <sodium.h>

#include <array>
#include <vector>

namespace qd40::security {

namespace {
constexpr size_t kSecretBytes = 32;
constexpr std::string_view kAlphabet = "ABCDEFGHJKLMNPQRSTUVWXYZ23456789";  // 32 characters
constexpr size_t kCodeLength = 12;

std::vector<unsigned char> secretBytes(const std::string& hex) {
    std::vector<unsigned char> bytes(kSecretBytes);
    size_t len = 0;
    if (hex.size() != 2 * kSecretBytes ||
        sodium_hex2bin(bytes.data(), bytes.size(), hex.data(), hex.size(), nullptr, &len,
                       nullptr) != 0 ||
        len != kSecretBytes)
        return {};
    return bytes;
}
}  // namespace

std::string ensureServiceSecret(settings::SettingsStore& store) {
    std::string secret = store.readString(kServiceSection, kServiceSecretEntry, {});
    if (!secretBytes(secret).empty())
        return secret;
    if (sodium_init() < 0)
        return {};
    std::array<unsigned char, kSecretBytes> bytes{};
    randombytes_buf(bytes.data(), bytes.size());
    std::array<char, 2 * kSecretBytes + 1> hex{};
    sodium_bin2hex(hex.data(), hex.size(), bytes.data(), bytes.size());
    secret = hex.data();
    if (!store.writeString(kServiceSection, kServiceSecretEntry, secret))
        return {};
    // Read back: when another process stored its secret at the same time, the
    // stored one is the machine's.
    const std::string stored = store.readString(kServiceSection, kServiceSecretEntry, {});
    return secretBytes(stored).empty() ? std::string() : stored;
}

std::string serviceAccessCode(const std::string& secret, LocalTime now) {
    const std::vector<unsigned char> key = secretBytes(secret);
    if (key.empty() || sodium_init() < 0)
        return {};
    const std::string day = formatLocalTime(now, "%Y-%m-%d");
    std::array<unsigned char, crypto_generichash_BYTES_MIN> digest{};
    crypto_generichash(digest.data(), digest.size(),
                       reinterpret_cast<const unsigned char*>(day.data()), day.size(), key.data(),
                       key.size());
    std::string code;
    for (size_t i = 0; i < kCodeLength; ++i)
        code += kAlphabet[digest[i] % kAlphabet.size()];
    return code;
}

}  // namespace qd40::security
