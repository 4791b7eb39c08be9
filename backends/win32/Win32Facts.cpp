#include "backends/win32/Win32Facts.h"

#include "backends/win32/Win32Api.h"

#include <cstring>

#include "backends/win32/Win32Util.h"

namespace rw::win32 {

namespace {

// One of the screen's device capabilities; false when no screen context
// can be had.
bool ScreenCaps(int index, int& value) {
    HDC dc = GetDC(nullptr);
    if (!dc) return false;
    value = GetDeviceCaps(dc, index);
    ReleaseDC(nullptr, dc);
    return true;
}

std::int32_t TwipsFromDpi(int dpi) {
    if (dpi <= 0) return 15;
    return (1440 + dpi / 2) / dpi;
}

}  // namespace

std::string Win32Facts::ExecutablePath() {
    std::string buf(MAX_PATH, '\0');
    for (;;) {
        DWORD n = GetModuleFileNameA(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0) return {};
        if (n < buf.size()) {
            buf.resize(n);
            return buf;
        }
        buf.resize(buf.size() * 2);
    }
}

std::string Win32Facts::CommandLineArgs() {
    const char* p = GetCommandLineA();
    if (!p) return {};
    // The program's path comes first, quoted or up to the first blank.
    if (*p == '"') {
        ++p;
        while (*p && *p != '"') ++p;
        if (*p == '"') ++p;
    } else {
        while (*p && *p != ' ' && *p != '\t') ++p;
    }
    while (*p == ' ' || *p == '\t') ++p;
    return p;
}

std::uint32_t Win32Facts::GetCurrentProcessId() { return ::GetCurrentProcessId(); }

OsVersionRaw Win32Facts::GetVersionEx() {
    OSVERSIONINFOA info;
    std::memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;  // 148
    OsVersionRaw raw;
    if (GetVersionExA(&info)) {
        raw.platformId = static_cast<std::int32_t>(info.dwPlatformId);
        raw.major = static_cast<std::int32_t>(info.dwMajorVersion);
        raw.minor = static_cast<std::int32_t>(info.dwMinorVersion);
        raw.build = static_cast<std::int32_t>(info.dwBuildNumber);
    }
    return raw;
}

std::uint16_t Win32Facts::GetSystemDefaultLangID() { return ::GetSystemDefaultLangID(); }

std::string Win32Facts::GetDecimalSeparator() {
    char buf[kTextBuffer] = {};
    if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buf, kTextBuffer) == 0) return {};
    return CutAt(buf, kTextBuffer);
}

std::int32_t Win32Facts::GetScreenWidth() {
    int v = 0;
    return ScreenCaps(HORZRES, v) ? v : 0;
}

std::int32_t Win32Facts::GetScreenHeight() {
    int v = 0;
    return ScreenCaps(VERTRES, v) ? v : 0;
}

std::int32_t Win32Facts::TwipsPerPixelX() {
    int v = 0;
    return TwipsFromDpi(ScreenCaps(LOGPIXELSX, v) ? v : 0);
}

std::int32_t Win32Facts::TwipsPerPixelY() {
    int v = 0;
    return TwipsFromDpi(ScreenCaps(LOGPIXELSY, v) ? v : 0);
}

std::string Win32Facts::LoadResString(int id) {
    char buf[kTextBuffer] = {};
    int n = LoadStringA(GetModuleHandleA(nullptr), static_cast<UINT>(id), buf, kTextBuffer);
    if (n <= 0) return {};
    return std::string(buf, static_cast<std::size_t>(n));
}

std::size_t Win32Facts::CharLength(const std::string& text, std::size_t pos) {
    if (pos >= text.size()) return 0;
    if (pos + 1 < text.size() && IsDBCSLeadByte(static_cast<BYTE>(text[pos]))) return 2;
    return 1;
}

bool Win32Facts::EqualsIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    // The system's upper-casing of the ANSI code page, on copies.
    std::string ua = a, ub = b;
    if (!ua.empty()) CharUpperBuffA(ua.data(), static_cast<DWORD>(ua.size()));
    if (!ub.empty()) CharUpperBuffA(ub.data(), static_cast<DWORD>(ub.size()));
    return ua == ub;
}

void Win32Facts::DebugOutput(const std::string& line) { OutputDebugStringA(line.c_str()); }

}  // namespace rw::win32
