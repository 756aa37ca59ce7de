#include "common/config/module_errors.h"

namespace qd40::cfg {

int moduleErrorTextId(long code) {
    if (code >= 0 && code <= 57)
        return int(524 + code);
    if (code >= 58 && code <= 63)
        return int(532 + code);
    return 582;
}

std::string moduleErrorText(long code, strings::Language language) {
    return strings::serverStrings()
        .text(moduleErrorTextId(code), language)
        .value_or(std::string("Unknown Error"));
}

std::string moduleErrorText(long code) {
    return moduleErrorText(code, strings::languageFromEnvironment());
}

std::string moduleErrorDescription(long code, strings::Language language) {
    return "QD40: " + moduleErrorText(code, language) + " (" + std::to_string(code) + ")";
}

std::string moduleErrorDescription(long code) {
    return moduleErrorDescription(code, strings::languageFromEnvironment());
}

}  // namespace qd40::cfg
