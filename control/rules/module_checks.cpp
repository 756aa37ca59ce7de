#include "control/rules/module_checks.h"

#include "common/module_constants.h"
#include "common/version_text.h"
#include "control/rules/rule_message.h"

namespace qd40::rules {

std::string_view deviceTypeText(uint16_t devId) {
    if (devId == module::kDeviceIdQd40M)
        return "QD40M";
    if (devId == module::kDeviceIdQd40E)
        return "QD40E";
    return "?";
}

bool isQd40Device(uint16_t devId) {
    return devId == module::kDeviceIdQd40M || devId == module::kDeviceIdQd40E;
}

std::string_view knownSeriesVersion(std::string_view v) {
    return compareVersionTexts(v, kSeriesZVersion) < 0 ? kSeriesAVersion : kSeriesZVersion;
}

Status checkModuleDevice(uint16_t devId) {
    if (isQd40Device(devId))
        return Status::ok();
    return controlFailure(qd40CtlErrNotQd40, ctl::kTxtNotQd40);
}

Status checkModuleVersion(std::string_view v) {
    const std::string_view known = knownSeriesVersion(v);
    if (v.empty() || compareVersionTexts(v, known) < 0) {
        return Status::failure(qd40CtlErrHigherQd40VerRequired,
                               controlText(ctl::kTxtModuleTooOld) + std::string(kSeriesAVersion) +
                                   " (" + std::string(kSeriesZVersion) + ")");
    }
    if (v != known)
        return controlFailure(qd40CtlErrHigherQd40CtlVerRequired, ctl::kTxtSoftwareTooOld);
    return Status::ok();
}

Status checkChannelNumber(long n) {
    if (n >= 1 && n <= 30)
        return Status::ok();
    return controlFailure(E_INVALIDARG, ctl::kTxtChannelRange, 30);
}

Status checkDefEditChanNum(long n) {
    if (n >= 1 && n <= 30)
        return Status::ok();
    return invalidArgument();
}

Status checkMemBlockNumber(long b) {
    if (b >= 1 && b <= 10)
        return Status::ok();
    return controlFailure(E_INVALIDARG, ctl::kTxtInvalidMemory);
}

Status invalidPointer() {
    return controlFailure(E_POINTER, ctl::kTxtInvalidPointer);
}
Status invalidArgument() {
    return controlFailure(E_INVALIDARG, ctl::kTxtInvalidArgument);
}

}  // namespace qd40::rules
