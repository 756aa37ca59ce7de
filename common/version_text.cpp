#include "common/version_text.h"

#include <cctype>

namespace qd40 {

bool isVersionText(std::string_view t) {
    auto digit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
    return t.size() == 4 && std::isalpha(static_cast<unsigned char>(t[0])) && t[1] == '.' &&
           digit(t[2]) && digit(t[3]);
}

std::string FileVersion::toString() const {
    return std::to_string(ms >> 16) + "." + std::to_string(ms & 0xFFFF) + "." +
           std::to_string(ls >> 16) + "." + std::to_string(ls & 0xFFFF);
}

}  // namespace qd40
