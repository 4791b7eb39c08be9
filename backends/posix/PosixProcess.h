// Processes, time and the user's folders on a POSIX system (Linux):
// primitives of the Linux program that need no window system.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/Windows.h"

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

// Windows priority class of a nice value, and the nice value a priority
// class asks for.
std::uint32_t PriorityClassOfNice(int nice);
int NiceOfPriorityClass(std::uint32_t priorityClass, bool& known);

// Other programs' processes on Linux: nice values stand for priority
// classes, /proc gives program files, and nothing waits for input idle.
class PosixProcesses final : public Processes {
public:
    std::uint32_t GetPriorityClass(std::uint32_t pid) override;
    // Raising needs the right to lower nice values; without it this fails
    // and playing goes on at the target's own priority.
    bool SetPriorityClass(std::uint32_t pid, std::uint32_t priorityClass) override;
    void WaitForInputIdle(std::uint32_t, std::uint32_t) override {}
    std::string GetProcessModulePath(std::uint32_t pid) override { return ProcessModulePath(pid); }
    std::vector<std::string> EnumVdmTaskFiles(std::uint32_t) override { return {}; }
    // kill(pid, 0): a process that exists, also one we may not signal.
    bool ProcessRunning(std::uint32_t pid) override;
};

// The monotonic clock; the timer resolution needs no asking.
class PosixClock final : public Clock {
public:
    std::uint32_t GetTickCount() override { return MonotonicMs(); }
    void Sleep(std::uint32_t ms) override { SleepMs(ms); }
    void TimeBeginPeriod(std::uint32_t) override {}
    void TimeEndPeriod(std::uint32_t) override {}
};

}  // namespace rw::posix
