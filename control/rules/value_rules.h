// The values a channel accepts and how they are read from and shown as text.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qd40::rules {

// The largest finite float as a double: the bound of every float value.
inline constexpr double kFloatBound = 3.4028234663852886e38;
inline constexpr size_t kMaxMnemonicLength = 16;
inline constexpr size_t kMaxUnitLength = 5;

// A number in the user's notation: blanks around it are ignored, the decimal
// separator is `decimalSep` (a point is read as well), an exponent is allowed.
// Empty when the whole text is not one number.
std::optional<double> parseNumber(std::string_view text, char decimalSep = '.');
// The shortest text that reads back as the same float, with the separator.
std::string formatFloat(float v, char decimalSep = '.');

// A float value (default value, level, hysteresis, linearisation point):
// a number from -kFloatBound to kFloatBound.
std::optional<float> parseFloatValue(std::string_view text, char decimalSep = '.');
// The default value: "MAX" in any case stores the largest float, else a float value.
std::optional<float> parseDefaultValue(std::string_view text, char decimalSep = '.');
// "MAX" for exactly the largest float, otherwise the number.
std::string formatDefaultValue(float v, char decimalSep = '.');

// Relative dead band: 0 to 100 %, stored as hundredths of a percent truncated
// toward zero (0.29 gives 29, 12.345 gives 1234).
std::optional<uint16_t> deadBandRelFromPercent(double percent);
double deadBandRelPercent(uint16_t stored);
// Absolute dead band: 0 to kFloatBound.
std::optional<float> deadBandAbsFromValue(double value);

// Limit counter: 0 to 255 are accepted; the low byte of the number is what is stored.
bool counterInRange(long value);
uint8_t counterToStore(long value);

// Mnemonic: at most 16 characters; unit: at most 5 (ANSI bytes).
bool mnemonicFits(std::string_view ansi);
bool unitFits(std::string_view ansi);

}  // namespace qd40::rules
