// Result codes shared by every component: the COM-style HRESULT values the
// system reports and the helpers that test them.
#pragma once
#include <cstdint>

namespace qd40 {

using HRESULT = int32_t;

constexpr HRESULT hr(uint32_t value) {
    return static_cast<HRESULT>(value);
}

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_FAIL = hr(0x80004005);
inline constexpr HRESULT E_INVALIDARG = hr(0x80070057);
inline constexpr HRESULT E_POINTER = hr(0x80004003);
inline constexpr HRESULT E_UNEXPECTED = hr(0x8000FFFF);
inline constexpr HRESULT E_ABORT = hr(0x80004004);
inline constexpr HRESULT E_ACCESSDENIED = hr(0x80070005);
inline constexpr HRESULT E_OUTOFMEMORY = hr(0x8007000E);
inline constexpr HRESULT E_NOTIMPL = hr(0x80004001);
inline constexpr HRESULT DISP_E_EXCEPTION = hr(0x80020009);
inline constexpr HRESULT STG_E_CANTSAVE = hr(0x80030103);

// A module refusal: qd40ErrExceptionCode plus the module error code (0 to 63).
inline constexpr HRESULT qd40ErrExceptionCode = hr(0x80041400);
// Remote control held through the module's other port.
inline constexpr HRESULT qd40ErrRemoteOtherPort = hr(0x80041413);
// The control's own failures when a module is opened.
inline constexpr HRESULT qd40CtlErrNotQd40 = hr(0x80042400);
inline constexpr HRESULT qd40CtlErrHigherQd40VerRequired = hr(0x80042401);
inline constexpr HRESULT qd40CtlErrHigherQd40CtlVerRequired = hr(0x80042402);
// The transport's mapping of a module's refusal of a write (MODBUS exception 4).
inline constexpr HRESULT qd40TransportErrWriteRefused = hr(0x80048203);
// The transport's failure when the module does not answer in time.
inline constexpr HRESULT qd40TransportErrTimeout = hr(0x80048201);

constexpr bool succeeded(HRESULT h) {
    return h >= 0;
}
constexpr bool failed(HRESULT h) {
    return h < 0;
}

constexpr HRESULT moduleErrorResult(unsigned moduleCode) {
    return qd40ErrExceptionCode + static_cast<HRESULT>(moduleCode);
}

}  // namespace qd40
