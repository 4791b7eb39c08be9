// Deciding which item matches a window.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Platform.h"

namespace rw {

enum TitleTestType : std::int32_t {
    Exact = 0,
    FromLeft = 1,
    FromRight = 2,
    Anywhere = 3,
    EitherEnd = 99,
};

bool EitherStartsWith(const std::string& a, const std::string& b);
bool EitherEndsWith(const std::string& a, const std::string& b);
bool TitleMatches(const std::string& pattern, const std::string& text, std::int32_t testType);

// Gathers the window's facts and searches gItems in list order; on a match
// the item is left in CurItem.
bool FindMatchingItem(WinHandle w);
// The same; title receives the window title the search compared with.
bool FindMatchingItem(WinHandle w, std::string& title);

}  // namespace rw
