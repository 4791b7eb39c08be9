// The Processes role on Win32: priority classes, waiting for input
// idleness, a process's executable (PSAPI on NT, a Toolhelp snapshot
// before) and the 16-bit tasks of a shared virtual machine (VDMDBG).
#pragma once

#include "platform/Windows.h"

namespace rw::win32 {

class Win32Processes final : public Processes {
public:
    std::uint32_t GetPriorityClass(std::uint32_t pid) override;
    bool SetPriorityClass(std::uint32_t pid, std::uint32_t priorityClass) override;
    void WaitForInputIdle(std::uint32_t pid, std::uint32_t timeoutMs) override;
    std::string GetProcessModulePath(std::uint32_t pid) override;
    std::vector<std::string> EnumVdmTaskFiles(std::uint32_t pid) override;
    // A process we may not open is there all the same.
    bool ProcessRunning(std::uint32_t pid) override;

private:
    std::string ModulePathNt(std::uint32_t pid);
    std::string ModulePathSnapshot(std::uint32_t pid);
};

}  // namespace rw::win32
