// Key names usable in braces in a macro, and their Windows virtual-key codes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rw {

extern std::vector<std::string> KeyNames;
extern std::vector<std::int16_t> KeyCodes;

constexpr int kFixedKeyCount = 28;

// (Re)builds the table: the 28 fixed entries of the string table, then the
// names the keyboard layout gives to codes 13..32 and 48..255.
void LoadKeyTable();
// Code of the first entry whose name equals name (any case); 0 if none.
std::int16_t LookupKeyCode(const std::string& name);
// Display name of a virtual-key code from the layout; used by LoadKeyTable.
std::string GetKeyName(int code);

}  // namespace rw
