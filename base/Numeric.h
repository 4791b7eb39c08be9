// The numeric rule by which item numbers, sizes, delays and {DELAY=} values
// are read: the same whatever the user's locale.
#pragma once

#include <cstdint>
#include <string>

namespace rw {

// The leading number of a value (blanks, tabs and line feeds ignored; sign,
// decimals, exponent with E or D; &H hexadecimal, &O octal); 0 if none.
double ReadLeadingNumber(const std::string& value);
// Rounded half to even and clamped to the signed 32-bit range.
std::int32_t RoundToInt32(double value);
// The two combined: how "TitleTestType=", "Delay=" and sizes are read.
std::int32_t NumericValue(const std::string& value);

}  // namespace rw
