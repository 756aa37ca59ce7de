#include "server/qd40_errors.h"

#include "platform/strings.h"
#include "server/qd40_ids.h"

namespace qd40::server {

std::string messageText(int id) {
    return strings::serverStrings().text(id).value_or("Unknown Error");
}

int moduleErrorStringId(int code) {
    if (code >= 0 && code <= 57)
        return 524 + code;
    if (code >= 58 && code <= 63)
        return 532 + code;
    return 582;
}

Status moduleError(int code) {
    const std::string text =
        "QD40: " + messageText(moduleErrorStringId(code)) + " (" + std::to_string(code) + ")";
    return Status::failure(moduleErrorResult(static_cast<unsigned>(code)), text);
}

Status reportError(const std::string& text, HRESULT result, const Guid& iid) {
    return Status::failure(result == S_OK ? DISP_E_EXCEPTION : result, text, kProgId, iid);
}

Status reportError(int messageId, HRESULT result, const Guid& iid) {
    return reportError(messageText(messageId), result == S_OK ? itfResult(messageId) : result, iid);
}

}  // namespace qd40::server
