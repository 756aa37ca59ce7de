#include "control/rules/value_rules.h"

#include <charconv>
#include <cmath>

#include "common/config/cfg_layout.h"

namespace qd40::rules {

namespace {
std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}
bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}
}  // namespace

std::optional<double> parseNumber(std::string_view text, char decimalSep) {
    std::string s(trim(text));
    if (decimalSep != '.')
        for (char& c : s)
            if (c == decimalSep)
                c = '.';
    const char* first = s.data();
    const char* last = s.data() + s.size();
    // One sign at most: from_chars reads a '-' itself, so a '+' may not be followed by one.
    if (first != last && *first == '+') {
        ++first;
        if (first != last && *first == '-')
            return std::nullopt;
    }
    double v = 0;
    const auto [ptr, ec] = std::from_chars(first, last, v);
    if (ec != std::errc() || ptr != last || first == last || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::string formatFloat(float v, char decimalSep) {
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    std::string s(buf, res.ptr);
    if (decimalSep != '.')
        for (char& c : s)
            if (c == '.')
                c = decimalSep;
    return s;
}

std::optional<float> parseFloatValue(std::string_view text, char decimalSep) {
    const auto v = parseNumber(text, decimalSep);
    if (!v || *v < -kFloatBound || *v > kFloatBound)
        return std::nullopt;
    return static_cast<float>(*v);
}

std::optional<float> parseDefaultValue(std::string_view text, char decimalSep) {
    if (equalsNoCase(trim(text), "MAX"))
        return cfg::kMaxFloat;
    return parseFloatValue(text, decimalSep);
}

std::string formatDefaultValue(float v, char decimalSep) {
    if (v == cfg::kMaxFloat)
        return "MAX";
    return formatFloat(v, decimalSep);
}

std::optional<uint16_t> deadBandRelFromPercent(double percent) {
    if (!(percent >= 0.0 && percent <= 100.0))
        return std::nullopt;
    // The entered decimal number times 100, truncated toward zero. A binary
    // double may fall just short of the exact product (0.29 gives
    // 28.999999999999996): a product that close to an integer is that integer.
    const double hundredths = percent * 100.0;
    const double nearest = std::round(hundredths);
    if (std::fabs(hundredths - nearest) < 1e-9)
        return static_cast<uint16_t>(nearest);
    return static_cast<uint16_t>(std::trunc(hundredths));
}

double deadBandRelPercent(uint16_t stored) {
    return stored / 100.0;
}

std::optional<float> deadBandAbsFromValue(double value) {
    if (!(value >= 0.0 && value <= kFloatBound))
        return std::nullopt;
    return static_cast<float>(value);
}

bool counterInRange(long value) {
    return value >= 0 && value <= 255;
}
uint8_t counterToStore(long value) {
    return static_cast<uint8_t>(value & 0xFF);
}

bool mnemonicFits(std::string_view ansi) {
    return ansi.size() <= kMaxMnemonicLength;
}
bool unitFits(std::string_view ansi) {
    return ansi.size() <= kMaxUnitLength;
}

}  // namespace qd40::rules
