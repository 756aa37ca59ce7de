// The built-in supervisor's access code. It changes every day and is derived,
// with a keyed hash, from the date and a secret drawn at random the first time
// the program starts on a machine and kept in the machine-wide store. Knowing
// how the code is built is therefore not enough: it also takes that
// machine's secret, which the service staff obtains from the site.
#pragma once
#include <string>

#include "app/core/settings/settings_store.h"
#include "app/security/clock.h"

namespace qd40::security {

inline constexpr const char* kServiceSection = "Service";
inline constexpr const char* kServiceSecretEntry = "Secret";

// The machine's secret (64 hexadecimal digits), drawn and stored when the
// store holds none; empty when it could neither be read nor stored.
std::string ensureServiceSecret(settings::SettingsStore& store);
// The code of the day of `now` for a secret: 12 characters from an alphabet
// of upper-case letters and digits without look-alikes. Empty for an empty
// or malformed secret, so that no code opens the account.
std::string serviceAccessCode(const std::string& secret, LocalTime now);

}  // namespace qd40::security
