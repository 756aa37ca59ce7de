#include "common/config/ansi_text.h"

#include <cstdint>

namespace qd40::cfg {

namespace {

// Code points of bytes 0x80 to 0x9F; 0 where the code page has none.
constexpr char32_t kHigh[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char32_t decodeAnsi(uint8_t b) {
    if (b >= 0x80 && b <= 0x9F)
        return kHigh[b - 0x80] ? kHigh[b - 0x80] : b;
    return b;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

char encodeAnsi(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return char(c);
    for (int i = 0; i < 32; ++i)
        if (kHigh[i] == c)
            return char(0x80 + i);
    return '?';
}

}  // namespace

std::string ansiToUtf8(std::string_view ansi) {
    std::string out;
    for (char ch : ansi)
        appendUtf8(out, decodeAnsi(uint8_t(ch)));
    return out;
}

std::string utf8ToAnsi(std::string_view utf8) {
    std::string out;
    for (size_t i = 0; i < utf8.size();) {
        const uint8_t b = uint8_t(utf8[i]);
        int len = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
        if (len == 0 || i + size_t(len) > utf8.size()) {
            out += '?';
            ++i;
            continue;
        }
        char32_t c = len == 1 ? b : b & (0x7F >> len);
        bool ok = true;
        for (int k = 1; k < len; ++k) {
            const uint8_t cont = uint8_t(utf8[i + size_t(k)]);
            if ((cont & 0xC0) != 0x80)
                ok = false;
            c = (c << 6) | (cont & 0x3F);
        }
        out += ok ? encodeAnsi(c) : '?';
        i += ok ? size_t(len) : 1;
    }
    return out;
}

}  // namespace qd40::cfg
