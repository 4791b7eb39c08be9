// Application-wide values, settled once at start-up and read-only after,
// the program's own facts, and the debug-line convention. Every layer above
// the platform may use them.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Platform.h"

namespace rw {

struct OsVersionInfo {
    bool IsNT = true;
    bool IsNT4 = false;
    std::int32_t MajorVersion = 10;
    std::int32_t MinorVersion = 0;
    std::int32_t BuildNumber = 0;
    bool HasForegroundLock = true;
};

struct AppValues {
    std::string AppPath;
    std::string ExePath;
    std::string IniPath;
    // Read as the starting list while IniPath does not exist yet: the file
    // beside a program whose folder the user cannot write (an administrator
    // may have put a list there). Empty where there is none.
    std::string SeedIniPath;
    bool DebugMode = false;
    bool UseEnglish = true;
    OsVersionInfo OsVersion;
    std::int32_t TwipsPerPixelX = 15;
    std::int32_t TwipsPerPixelY = 15;
    std::string AddItemCaption = "Add Item";
    std::string EditItemCaption = "Edit Item";
};

extern AppValues App;

constexpr const char* kProductName = "Replywick";
constexpr int kVersionMajor = 0;
constexpr int kVersionMinor = 9;
constexpr int kVersionRevision = 73;

std::string GetVersionText();

// The debug-line convention: nothing of the line is computed unless debug
// mode is on.
template <class MakeLine>
inline void DebugLine(MakeLine&& make) {
    if (App.DebugMode) Sys().facts.DebugOutput(make());
}

}  // namespace rw
