// The automation values that cross the Qd40 interfaces: a VARTYPE and, for a
// one-dimension array, its elements as they lie in memory (little-endian).
#pragma once
#include <cstdint>
#include <span>
#include <vector>

namespace qd40::server {

enum VarType : uint16_t {
    VT_EMPTY = 0,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R4 = 4,
    VT_BOOL = 11,
    VT_I1 = 16,
    VT_UI1 = 17,
    VT_UI2 = 18,
    VT_UI4 = 19,
    VT_ARRAY = 0x2000,
};

struct Variant {
    uint16_t vt = VT_EMPTY;
    std::vector<uint8_t> data;  // array elements, little-endian

    bool isArray() const { return (vt & VT_ARRAY) != 0; }
    uint16_t elementType() const { return vt & 0x0FFF; }

    static Variant bytes(std::vector<uint8_t> b) {
        return {uint16_t(VT_ARRAY | VT_UI1), std::move(b)};
    }
    static Variant words(std::span<const uint16_t> w, uint16_t elementType = VT_I2) {
        Variant v{uint16_t(VT_ARRAY | elementType), {}};
        v.data.reserve(w.size() * 2);
        for (uint16_t x : w) {
            v.data.push_back(uint8_t(x));
            v.data.push_back(uint8_t(x >> 8));
        }
        return v;
    }
    bool operator==(const Variant&) const = default;
};

}  // namespace qd40::server
