// Facts about the running program and the system, the platform's text
// rules and its diagnostic output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/Types.h"

namespace rw {

class SystemFacts {
public:
    virtual ~SystemFacts() = default;
    // Full path of the running executable.
    virtual std::string ExecutablePath() = 0;
    // The command line without the program's own path.
    virtual std::string CommandLineArgs() = 0;
    // Directory separator of the platform's paths ('\\' or '/').
    virtual char PathSeparator() = 0;
    virtual std::uint32_t GetCurrentProcessId() = 0;
    virtual OsVersionRaw GetVersionEx() = 0;
    virtual std::uint16_t GetSystemDefaultLangID() = 0;
    // The user locale's decimal separator; empty if it cannot be read.
    virtual std::string GetDecimalSeparator() = 0;
    // Screen size in pixels and twips per pixel (rounded to whole numbers).
    virtual std::int32_t GetScreenWidth() = 0;
    virtual std::int32_t GetScreenHeight() = 0;
    virtual std::int32_t TwipsPerPixelX() = 0;
    virtual std::int32_t TwipsPerPixelY() = 0;
    // Entry `id` of the program's string table (the 28 fixed key entries).
    virtual std::string LoadResString(int id) = 0;
    // Length in bytes of the character that starts at text[pos] (0-based);
    // 1 for single-byte code pages, the UTF-8 sequence length on Linux.
    virtual std::size_t CharLength(const std::string& text, std::size_t pos) = 0;
    // Whether two texts are equal once both are converted to upper case by
    // the platform's own rules: the ANSI code page's letters on Windows
    // (a/A, ä/Ä, é/É), Unicode case folding of UTF-8 text on Linux.
    virtual bool EqualsIgnoringCase(const std::string& a, const std::string& b) = 0;
    // Whether the window under a point can be told (Windows::WindowFromPoint):
    // on Wayland no program sees what lies under the pointer outside its
    // own windows.
    virtual bool FindsWindowsAtPoint() { return true; }
    // One diagnostic line, without terminator.
    virtual void DebugOutput(const std::string& line) = 0;
};

}  // namespace rw
