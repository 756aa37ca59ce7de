// Little-endian field access at any byte offset of a byte image. Binary
// layouts are read and written field by field through these helpers, never by
// copying a padded struct.
#pragma once
#include <bit>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

namespace qd40::le {

inline uint16_t u16(std::span<const uint8_t> b, size_t off) {
    return static_cast<uint16_t>(b[off] | b[off + 1] << 8);
}
inline int16_t i16(std::span<const uint8_t> b, size_t off) {
    return static_cast<int16_t>(u16(b, off));
}
inline uint32_t u32(std::span<const uint8_t> b, size_t off) {
    return uint32_t(b[off]) | uint32_t(b[off + 1]) << 8 | uint32_t(b[off + 2]) << 16 |
           uint32_t(b[off + 3]) << 24;
}
inline int32_t i32(std::span<const uint8_t> b, size_t off) {
    return static_cast<int32_t>(u32(b, off));
}
inline uint64_t u64(std::span<const uint8_t> b, size_t off) {
    return uint64_t(u32(b, off)) | uint64_t(u32(b, off + 4)) << 32;
}
inline float f32(std::span<const uint8_t> b, size_t off) {
    return std::bit_cast<float>(u32(b, off));
}
inline double f64(std::span<const uint8_t> b, size_t off) {
    return std::bit_cast<double>(u64(b, off));
}

inline void setU16(std::span<uint8_t> b, size_t off, uint16_t v) {
    b[off] = static_cast<uint8_t>(v);
    b[off + 1] = static_cast<uint8_t>(v >> 8);
}
inline void setI16(std::span<uint8_t> b, size_t off, int16_t v) {
    setU16(b, off, static_cast<uint16_t>(v));
}
inline void setU32(std::span<uint8_t> b, size_t off, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[off + i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void setI32(std::span<uint8_t> b, size_t off, int32_t v) {
    setU32(b, off, static_cast<uint32_t>(v));
}
inline void setU64(std::span<uint8_t> b, size_t off, uint64_t v) {
    setU32(b, off, static_cast<uint32_t>(v));
    setU32(b, off + 4, static_cast<uint32_t>(v >> 32));
}
inline void setF32(std::span<uint8_t> b, size_t off, float v) {
    setU32(b, off, std::bit_cast<uint32_t>(v));
}
inline void setF64(std::span<uint8_t> b, size_t off, double v) {
    setU64(b, off, std::bit_cast<uint64_t>(v));
}

// A fixed-size 8-bit text field: the text runs to the first NUL inside the
// field (or to its end when there is none).
inline std::string text(std::span<const uint8_t> b, size_t off, size_t size) {
    const auto* p = reinterpret_cast<const char*>(b.data() + off);
    size_t len = 0;
    while (len < size && p[len] != '\0')
        ++len;
    return std::string(p, len);
}
// Writes at most size-1 characters and a NUL; the bytes after the NUL are zeroed.
// Returns false when the text had to be cut.
inline bool setText(std::span<uint8_t> b, size_t off, size_t size, std::string_view v) {
    if (size == 0)
        return v.empty();
    size_t n = v.size() < size - 1 ? v.size() : size - 1;
    std::memcpy(b.data() + off, v.data(), n);
    std::memset(b.data() + off + n, 0, size - n);
    return n == v.size();
}

}  // namespace qd40::le
