#include "server/qd40_errors.h"

#include "common/config/module_errors.h"
#include "platform/strings.h"
#include "server/qd40_ids.h"

namespace qd40::server {

std::string messageText(int id) {
    return strings::serverStrings().text(id).value_or("Unknown Error");
}

Status moduleError(int code) {
    return Status::failure(moduleErrorResult(static_cast<unsigned>(code)),
                           cfg::moduleErrorDescription(code));
}

Status reportError(const std::string& text, HRESULT result, const Guid& iid) {
    return Status::failure(result == S_OK ? DISP_E_EXCEPTION : result, text, kProgId, iid);
}

Status reportError(int messageId, HRESULT result, const Guid& iid) {
    return reportError(messageText(messageId), result == S_OK ? itfResult(messageId) : result, iid);
}

}  // namespace qd40::server
