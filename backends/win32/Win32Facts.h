// The SystemFacts role on Win32: the running program, the system's version
// and locale, the screen, the program's string table, and the ANSI code
// page's text rules.
#pragma once

#include "platform/SystemFacts.h"

namespace rw::win32 {

class Win32Facts final : public SystemFacts {
public:
    std::string ExecutablePath() override;
    std::string CommandLineArgs() override;
    char PathSeparator() override { return '\\'; }
    std::uint32_t GetCurrentProcessId() override;
    OsVersionRaw GetVersionEx() override;
    std::uint16_t GetSystemDefaultLangID() override;
    std::string GetDecimalSeparator() override;
    std::int32_t GetScreenWidth() override;
    std::int32_t GetScreenHeight() override;
    std::int32_t TwipsPerPixelX() override;
    std::int32_t TwipsPerPixelY() override;
    std::string LoadResString(int id) override;
    // Two bytes for a lead byte of a double-byte code page.
    std::size_t CharLength(const std::string& text, std::size_t pos) override;
    bool EqualsIgnoringCase(const std::string& a, const std::string& b) override;
    void DebugOutput(const std::string& line) override;
};

}  // namespace rw::win32
