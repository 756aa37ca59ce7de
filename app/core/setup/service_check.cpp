#include "app/core/setup/service_check.h"

#include "app/core/setup/setup_strings.h"

namespace qd40::app::setup {

const ServiceCodes& programServiceCodes() {
    // Given to the service staff only; never shown or printed by the program.
    static const ServiceCodes codes{{4887, 5514, 3991}};
    return codes;
}

int serviceNameText(Service service) {
    return stext::kServiceAdjustmentReading + int(service);
}

bool checkServiceAccess(Service service, AccessCodeAsker& asker, AppPrompter& prompter,
                        const ServiceCodes& codes) {
    const std::string name = setupText(serviceNameText(service));
    const auto entered = asker.askNumber(setupText(stext::kAccessCodeTitle),
                                         setupMessage(stext::kAccessCodePrompt, {name}));
    if (!entered)
        return false;
    if (*entered == codes.codes[size_t(service)])
        return true;
    prompter.message(setupMessage(stext::kAccessCodeRefused, {name}), Buttons::Ok,
                     Icon::Exclamation);
    return false;
}

}  // namespace qd40::app::setup
