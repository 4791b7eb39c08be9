// The text form of items and the numeric rule of its number fields.
#pragma once

#include <cstdint>
#include <string>

#include "items/Items.h"

namespace rw {

constexpr std::size_t kTextBufferChars = 66666;

// The leading number of a value (blanks, tabs and line feeds ignored; sign,
// decimals, exponent with E or D; &H hexadecimal, &O octal); 0 if none.
double ReadLeadingNumber(const std::string& value);
// Rounded half to even and clamped to the signed 32-bit range.
std::int32_t RoundToInt32(double value);
// The two combined: how "TitleTestType=", "Delay=" and sizes are read.
std::int32_t NumericValue(const std::string& value);

// Text of one item: "[Item]" and the nine key lines, each ending in CR LF.
std::string ItemToText(const ItemRec& item);
// Parses one item's text into rec, key by key (fields whose key does not
// occur keep their value).
void ParseItemText(const std::string& sItemString, ItemRec& rec);

}  // namespace rw
