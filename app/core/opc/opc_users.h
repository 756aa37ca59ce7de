// Who may open an OPC UA session with a user name: a declared user of the
// application (by identifier, as at log-on), with the right password, not
// banned and whose password has not expired.
#pragma once
#include <functional>
#include <string>

#include "app/security/clock.h"
#include "app/security/user_rights.h"

namespace qd40::app::opc {

bool opcUserAccepted(const security::CUserRights& rights, const security::Clock& clock,
                     const std::string& identifier, const std::string& password);

// The same as the toolkit's user check.
std::function<bool(const std::string&, const std::string&)> opcUserCheck(
    const security::CUserRights& rights, const security::Clock& clock);

}  // namespace qd40::app::opc
