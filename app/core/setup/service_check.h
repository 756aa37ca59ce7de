// The service access check: some commands are for the service staff only and
// ask the code of their service first. Each service has a fixed code of up
// to four digits held by the program.
#pragma once
#include <array>
#include <optional>
#include <string>

#include "app/core/app_ports.h"

namespace qd40::app::setup {

enum class Service { AdjustmentReading = 0, Manufacturing = 1, Adjustment = 2 };

struct ServiceCodes {
    std::array<int, 3> codes{};  // by Service
};
// The program's own codes.
const ServiceCodes& programServiceCodes();

// The number-entry dialog of the check.
class AccessCodeAsker {
public:
    virtual ~AccessCodeAsker() = default;
    // nullopt on Cancel or when nothing was entered.
    virtual std::optional<int> askNumber(const std::string& title, const std::string& prompt) = 0;
};

// The string naming a service (169, 170, 171).
int serviceNameText(Service service);
// Asks the code; a wrong code is refused with its message. True when granted.
bool checkServiceAccess(Service service, AccessCodeAsker& asker, AppPrompter& prompter,
                        const ServiceCodes& codes = programServiceCodes());

}  // namespace qd40::app::setup
