// A configuration blob as it crosses an interface: the VARIANT holding a
// one-dimension array of bytes, modelled as its type code, its number of
// dimensions and the bytes of its data.
#pragma once
#include <cstdint>
#include <span>
#include <vector>

#include "common/error_info.h"

namespace qd40::cfg {

// VARIANT type codes used with blobs and values.
inline constexpr uint16_t VT_EMPTY = 0x0000;
inline constexpr uint16_t VT_I2 = 0x0002;
inline constexpr uint16_t VT_I4 = 0x0003;
inline constexpr uint16_t VT_R4 = 0x0004;
inline constexpr uint16_t VT_R8 = 0x0005;
inline constexpr uint16_t VT_UI1 = 0x0011;
inline constexpr uint16_t VT_ARRAY = 0x2000;
inline constexpr uint16_t VT_TYPEMASK = 0x0FFF;
inline constexpr uint16_t kByteArrayType = VT_ARRAY | VT_UI1;  // 0x2011

struct VariantBlob {
    uint16_t vt = VT_EMPTY;
    uint16_t dims = 0;
    std::vector<uint8_t> data;  // the array's data, element bytes one after another
};

// A one-dimension byte array holding the blob's bytes.
VariantBlob packBlob(std::span<const uint8_t> blob);

// Zeroes `blob`, then copies blob.size() bytes from the VARIANT when it holds
// a one-dimension array whose element type has a bit in common with 0x11 and
// whose data is at least as long as the blob. Otherwise fails with the
// control's message 517 "Invalid Argument" and E_INVALIDARG, leaving the blob
// zeroed.
Status unpackBlob(const VariantBlob& v, std::span<uint8_t> blob);

}  // namespace qd40::cfg
