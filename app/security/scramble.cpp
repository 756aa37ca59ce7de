#include "app/security/scramble.h"

#include <cstdint>

namespace qd40::security {

namespace {

// Length of the valid UTF-8 sequence at text[pos], or 0.
size_t validSequence(std::string_view text, size_t pos, uint32_t& cp) {
    const auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
    const uint8_t b0 = byte(pos);
    size_t len;
    uint32_t min;
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    } else if ((b0 & 0xE0) == 0xC0) {
        len = 2, cp = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3, cp = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4, cp = b0 & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (pos + len > text.size())
        return 0;
    for (size_t i = 1; i < len; ++i) {
        const uint8_t b = byte(pos + i);
        if ((b & 0xC0) != 0x80)
            return 0;
        cp = cp << 6 | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

void appendUtf8(std::string& out, uint32_t cp, size_t len) {
    switch (len) {
        case 1:
            out += static_cast<char>(cp);
            break;
        case 2:
            out += static_cast<char>(0xC0 | cp >> 6);
            out += static_cast<char>(0x80 | (cp & 0x3F));
            break;
        case 3:
            out += static_cast<char>(0xE0 | cp >> 12);
            out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
            break;
        default:
            out += static_cast<char>(0xF0 | cp >> 18);
            out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
            out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
            break;
    }
}

}  // namespace

std::string ScrambleText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    size_t position = 0;
    for (size_t pos = 0; pos < text.size(); ++position) {
        uint32_t cp = 0;
        const size_t len = validSequence(text, pos, cp);
        if (len == 0) {
            out += text[pos++];
            continue;
        }
        const uint32_t mask =
            static_cast<uint8_t>(kScrambleKey[position % kScrambleKey.size()]) & 0x0F;
        appendUtf8(out, cp ^ mask, len);
        pos += len;
    }
    return out;
}

std::string ScrambleBytes(std::string_view bytes) {
    std::string out(bytes);
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<char>(out[i] ^ (kScrambleKey[i % kScrambleKey.size()] & 0x0F));
    return out;
}

}  // namespace qd40::security
