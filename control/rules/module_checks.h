// Checks made by the control: the identity and firmware version of a module
// it opens, and the ranges of its operations' arguments.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "common/error_info.h"

namespace qd40::rules {

inline constexpr std::string_view kSeriesAVersion = "A.00";
inline constexpr std::string_view kSeriesZVersion = "Z.00";

// "QD40M" for 0xB052, "QD40E" for 0xB05B, "?" for any other identifier.
std::string_view deviceTypeText(uint16_t devId);
bool isQd40Device(uint16_t devId);
// The version the control knows for the series of v: "A.00" below "Z.00", else "Z.00".
std::string_view knownSeriesVersion(std::string_view v);

// 523 "Device connected is not a QD40 Module" with qd40CtlErrNotQd40.
Status checkModuleDevice(uint16_t devId);
// 526 (module too old: empty or below its series) with
// qd40CtlErrHigherQd40VerRequired, followed by "A.00 (Z.00)"; 527 (control
// too old: not the series version) with qd40CtlErrHigherQd40CtlVerRequired.
Status checkModuleVersion(std::string_view v);

// Channels 1 to 30, else 515 formatted with 30 and E_INVALIDARG.
Status checkChannelNumber(long n);
// The DefEditChanNum property: 1 to 30, else 517 with E_INVALIDARG.
Status checkDefEditChanNum(long n);
// Memory blocks 1 to 10, else 519 "Invalid Memory Nr" with E_INVALIDARG.
Status checkMemBlockNumber(long b);
// 518 "Invalid Pointer" with E_POINTER.
Status invalidPointer();
// 517 "Invalid Argument" with E_INVALIDARG.
Status invalidArgument();

}  // namespace qd40::rules
