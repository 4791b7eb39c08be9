// The fixed key entries as compiled-in data, for builds without a Windows
// string table. Index 0 is unused so that ids match the string table.
#pragma once

#include <string>

namespace rw {

inline std::string FixedKeyString(int id) {
    static const char* const kEntries[] = {
        "",
#define KEYNAME(id, text) text,
#include "resources/KeyNames.def"
#undef KEYNAME
    };
    constexpr int n = static_cast<int>(sizeof kEntries / sizeof kEntries[0]);
    return (id > 0 && id < n) ? kEntries[id] : std::string();
}

}  // namespace rw
