// Version texts ("A.03": a letter, a point, two digits; "Z" marks test builds)
// and four-number file versions compared as the (MS, LS) pair.
#pragma once
#include <compare>
#include <cstdint>
#include <string>
#include <string_view>

namespace qd40 {

// True for a well-formed version text: one letter, a point and two digits.
bool isVersionText(std::string_view text);
// True when the text marks a test build or test format (it begins with "Z").
inline bool isTestVersion(std::string_view text) {
    return !text.empty() && text[0] == 'Z';
}
// Ordinal comparison, character by character, as the module versions are compared.
inline std::strong_ordering compareVersionTexts(std::string_view a, std::string_view b) {
    const int c = a.compare(b);
    return c < 0 ? std::strong_ordering::less
                 : (c > 0 ? std::strong_ordering::greater : std::strong_ordering::equal);
}

struct FileVersion {
    uint32_t ms = 0;  // major << 16 | minor
    uint32_t ls = 0;  // build << 16 | revision

    static constexpr FileVersion of(uint16_t a, uint16_t b, uint16_t c, uint16_t d) {
        return {uint32_t(a) << 16 | b, uint32_t(c) << 16 | d};
    }
    constexpr uint64_t packed() const { return uint64_t(ms) << 32 | ls; }
    constexpr auto operator<=>(const FileVersion& o) const { return packed() <=> o.packed(); }
    constexpr bool operator==(const FileVersion& o) const { return packed() == o.packed(); }
    // "a.b.c.d"
    std::string toString() const;
};

}  // namespace qd40
