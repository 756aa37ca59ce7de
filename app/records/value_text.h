// The text of a measured value: 8 characters wide before its leading spaces
// are removed, with a fixed number of decimals (resolution codes 0 to 5) or
// as many as fit (code 6, "automatic"; any code above 6 counts as 6), and the
// locale's decimal separator.
#pragma once
#include <cstddef>
#include <string>

namespace qd40::records {

inline constexpr int kAutoResolution = 6;
// Room that writeValueText needs.
inline constexpr size_t kValueTextMax = 32;

// Writes the text at dst (at least kValueTextMax bytes, of which more than the
// text may be overwritten) and returns its length.
size_t writeValueText(char* dst, float value, int resolutionCode, char decimalSeparator);
std::string formatValueText(float value, int resolutionCode, char decimalSeparator);

// The "%8.*f" text of value (the value widened to double), as printf gives it,
// built without printf. Exposed for its test against printf.
void appendFixed(std::string& out, float value, int decimals);

}  // namespace qd40::records
