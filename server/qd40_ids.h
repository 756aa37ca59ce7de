// Identifiers of the communication server's class, interfaces and type
// library, and the names under which the class is registered.
#pragma once
#include "common/guid.h"

namespace qd40::server {

inline constexpr Guid kClsidQd40{
    0xA433D528, 0x4DC0, 0x4DB7, {0x96, 0x03, 0xBC, 0x58, 0xA6, 0x48, 0x76, 0x5C}};
inline constexpr Guid kLibIdQd40Svr{
    0xDBC78730, 0xC2CF, 0x4C43, {0x99, 0xD4, 0x53, 0xB9, 0xFC, 0xE3, 0x9A, 0xE3}};
inline constexpr Guid kIidIUser{
    0x27D1022E, 0x5620, 0x45F9, {0x94, 0x3F, 0xA3, 0xA5, 0xE2, 0xA3, 0xD6, 0xBC}};
inline constexpr Guid kIidIOvix{
    0xDBECED24, 0x3E31, 0x44CA, {0x99, 0xC1, 0x6D, 0x8B, 0x16, 0x3F, 0xE8, 0xBD}};
inline constexpr Guid kIidIUserEvents{
    0x8DDC2C65, 0x272B, 0x47C9, {0x9C, 0xDC, 0xDB, 0x28, 0xAE, 0x27, 0xD3, 0x48}};
inline constexpr Guid kAppIdQd40Svr{
    0x77053F73, 0xBE0A, 0x4946, {0x9E, 0xFA, 0x70, 0x6C, 0xAD, 0x08, 0x09, 0x7C}};

inline constexpr const char* kProgId = "OvixQd40Svr.Qd40.1";
inline constexpr const char* kVersionIndependentProgId = "OvixQd40Svr.Qd40";
inline constexpr const char* kClassDescription = "Qd40 Class";
inline constexpr const char* kAppName = "OvixQd40Svr";
inline constexpr const char* kExeName = "OvixQd40Svr.EXE";
inline constexpr const char* kTypeLibHelp = "OvixQd40Svr 1.0 Type Library";

// GeneralConstants of the type library.
inline constexpr int mbREAL_NORMAL = 0;
inline constexpr int mbREAL_REVERSE = 1;
inline constexpr int mbWIRES_4 = 0;
inline constexpr int mbWIRES_2 = 1;
inline constexpr int mbWIRES_AUTOCHECK = 2;

}  // namespace qd40::server
