#include "backends/win32/Win32Clock.h"

#include "backends/win32/Win32Api.h"

namespace rw::win32 {

std::uint32_t Win32Clock::GetTickCount() { return ::GetTickCount(); }
void Win32Clock::Sleep(std::uint32_t ms) { ::Sleep(ms); }
void Win32Clock::TimeBeginPeriod(std::uint32_t ms) { timeBeginPeriod(ms); }
void Win32Clock::TimeEndPeriod(std::uint32_t ms) { timeEndPeriod(ms); }

}  // namespace rw::win32
