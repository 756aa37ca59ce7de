// Error reporting of the Qd40 object: message numbers of the server's string
// table, the module error texts and the error records that travel with a
// failed call.
#pragma once
#include <string>

#include "common/error_info.h"
#include "common/guid.h"
#include "common/hresult.h"

namespace qd40::server {

enum Message : int {
    kMsgPortNotConfigured = 513,
    kMsgInvalidBaudRate = 514,
    kMsgNoTransport = 515,
    kMsgCannotOpenSerial = 516,
    kMsgCannotOpenIp = 517,
    kMsgCannotClose = 518,
    kMsgCannotReadModule = 519,
    kMsgPortNotOpened = 520,
    kMsgControlledOtherPort = 521,
    kMsgControlledOtherClient = 522,
    kMsgInvalidPort = 583,
    kMsgInvalidRelay = 584,
    kMsgInvalidArgument = 585,
    kMsgInvalidChannel = 586,
    kMsgInvalidMemory = 587,
    kMsgInvalidPointer = 588,
};

// The text of a message in the user's language, "Unknown Error" when the
// table lacks it.
std::string messageText(int id);

// The failure of a write the module refused with `code`:
// "QD40: <text> (<code>)" with HRESULT qd40ErrExceptionCode + code.
Status moduleError(int code);

// HRESULT made from a message number when none is given: severity error,
// facility interface, the number as its code.
constexpr HRESULT itfResult(int id) {
    return hr(0x80040000u | uint32_t(id & 0xFFFF));
}

// An error record as the object reports it: the interface identifier, the
// ProgID as its source, the text, and DISP_E_EXCEPTION for a zero HRESULT.
Status reportError(const std::string& text, HRESULT result, const Guid& iid);
Status reportError(int messageId, HRESULT result, const Guid& iid);

}  // namespace qd40::server
