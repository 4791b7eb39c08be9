// Processes, time and the user's folders on a POSIX system (Linux):
// primitives of the Linux program that need no window system.
#pragma once

#include <cstdint>
#include <string>

namespace rw::posix {

// Milliseconds of a monotonic clock; wraps around like GetTickCount.
std::uint32_t MonotonicMs();
// Sleeps ms milliseconds, resumed after a signal; 0 only yields.
void SleepMs(std::uint32_t ms);
std::uint32_t CurrentThreadId();

// The running program's file.
std::string ExecutablePath();
// The program file of a process; empty when it cannot be read. A program
// whose file was replaced while it runs keeps its path.
std::string ProcessModulePath(std::uint32_t pid);
// The nice value of a process; false when it cannot be read.
bool GetNice(std::uint32_t pid, int& nice);
// False without the right to set that value (raising needs it).
bool SetNice(std::uint32_t pid, int nice);

// $XDG_CONFIG_HOME, else ~/.config; empty when neither is known.
std::string UserConfigDir();

}  // namespace rw::posix
