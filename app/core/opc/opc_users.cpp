#include "app/core/opc/opc_users.h"

namespace qd40::app::opc {

bool opcUserAccepted(const security::CUserRights& rights, const security::Clock& clock,
                     const std::string& identifier, const std::string& password) {
    const auto found = rights.findUserByIdentifier(identifier);
    if (!found || found->isBuiltIn())
        return false;
    const security::LocalTime now = clock.now();
    return !found->user.isBanned(now) && !found->user.isPasswordExpired(now) &&
           found->user.checkPassword(password, rights.hasher());
}

std::function<bool(const std::string&, const std::string&)> opcUserCheck(
    const security::CUserRights& rights, const security::Clock& clock) {
    return [&rights, &clock](const std::string& identifier, const std::string& password) {
        return opcUserAccepted(rights, clock, identifier, password);
    };
}

}  // namespace qd40::app::opc
