// GUIDs as plain values, with the registry text form
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
#pragma once
#include <array>
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qd40 {

struct Guid {
    uint32_t data1 = 0;
    uint16_t data2 = 0;
    uint16_t data3 = 0;
    std::array<uint8_t, 8> data4{};

    auto operator<=>(const Guid&) const = default;
    bool isNull() const { return *this == Guid{}; }

    // Upper-case text in braces.
    std::string toString() const;
    // Accepts the text with or without braces, in any letter case.
    static std::optional<Guid> parse(std::string_view text);
};

}  // namespace qd40
