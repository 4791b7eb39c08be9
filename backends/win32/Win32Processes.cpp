#include "backends/win32/Win32Processes.h"

#include "backends/win32/Win32Api.h"
#include <tlhelp32.h>

#include <cstring>
#include <memory>

#include "backends/win32/Win32Util.h"

namespace rw::win32 {

std::uint32_t Win32Processes::GetPriorityClass(std::uint32_t pid) {
    Handle p(OpenProcess(0x600, FALSE, pid));  // query and set information
    if (!p.valid()) return 0;
    return ::GetPriorityClass(p.get());
}

bool Win32Processes::SetPriorityClass(std::uint32_t pid, std::uint32_t priorityClass) {
    Handle p(OpenProcess(0x600, FALSE, pid));
    return p.valid() && ::SetPriorityClass(p.get(), priorityClass) != 0;
}

void Win32Processes::WaitForInputIdle(std::uint32_t pid, std::uint32_t timeoutMs) {
    Handle p(OpenProcess(0x440, FALSE, pid));
    if (p.valid()) ::WaitForInputIdle(p.get(), timeoutMs);
}

bool Win32Processes::ProcessRunning(std::uint32_t pid) {
    if (pid == 0) return false;
    HANDLE p = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (p == nullptr) return GetLastError() == ERROR_ACCESS_DENIED;  // there, but not ours to open
    const bool running = WaitForSingleObject(p, 0) == WAIT_TIMEOUT;
    CloseHandle(p);
    return running;
}

std::string Win32Processes::GetProcessModulePath(std::uint32_t pid) {
    if (pid == 0) return {};
    OSVERSIONINFOA info;
    std::memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
    bool nt = !GetVersionExA(&info) || info.dwPlatformId == VER_PLATFORM_WIN32_NT;
    return nt ? ModulePathNt(pid) : ModulePathSnapshot(pid);
}

std::string Win32Processes::ModulePathNt(std::uint32_t pid) {
    using EnumProcessesFn = BOOL(WINAPI*)(DWORD*, DWORD, DWORD*);
    using EnumProcessModulesFn = BOOL(WINAPI*)(HANDLE, HMODULE*, DWORD, DWORD*);
    using GetModuleFileNameExFn = DWORD(WINAPI*)(HANDLE, HMODULE, LPSTR, DWORD);

    Library psapi("PSAPI.DLL");
    auto enumProcesses = psapi.Get<EnumProcessesFn>("EnumProcesses");
    auto enumModules = psapi.Get<EnumProcessModulesFn>("EnumProcessModules");
    auto moduleFileName = psapi.Get<GetModuleFileNameExFn>("GetModuleFileNameExA");
    if (!enumProcesses || !enumModules || !moduleFileName) return {};

    // Grow the buffer until the system leaves part of it unused.
    std::unique_ptr<DWORD[]> ids;
    DWORD size = 8, needed = 96;
    while (size <= needed) {
        size *= 2;
        ids.reset(new DWORD[size / sizeof(DWORD)]);
        needed = 0;
        if (!enumProcesses(ids.get(), size, &needed)) return {};
    }
    DWORD count = needed / sizeof(DWORD);

    for (DWORD i = 0; i < count; ++i) {
        if (ids[i] != pid) continue;
        Handle p(OpenProcess(0x410, FALSE, ids[i]));  // query information, read memory
        if (!p.valid()) continue;
        HMODULE modules[50];
        DWORD got = 0;
        if (!enumModules(p.get(), modules, sizeof modules, &got) || got == 0) continue;
        char buf[kTextBuffer] = {};
        DWORD n = moduleFileName(p.get(), modules[0], buf, kTextBuffer);
        if (n == 0) continue;
        return CutAt(buf, kTextBuffer);
    }
    return {};
}

std::string Win32Processes::ModulePathSnapshot(std::uint32_t pid) {
    Handle snap(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snap.valid()) return {};
    PROCESSENTRY32 entry;
    std::memset(&entry, 0, sizeof entry);
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snap.get(), &entry); more; more = Process32Next(snap.get(), &entry)) {
        if (entry.th32ProcessID == pid) return CutAt(entry.szExeFile, sizeof entry.szExeFile);
    }
    return {};
}

namespace {

using ProcessEnumProc = BOOL(WINAPI*)(DWORD, DWORD, LPARAM);
using TaskEnumProcEx = BOOL(WINAPI*)(DWORD, WORD, WORD, PSZ, PSZ, LPARAM);
using VdmEnumProcessWowFn = INT(WINAPI*)(ProcessEnumProc, LPARAM);
using VdmEnumTaskWowExFn = INT(WINAPI*)(DWORD, TaskEnumProcEx, LPARAM);

// Per-call state of one 16-bit task enumeration (nothing shared between
// lookups, so a lookup started inside another cannot disturb it).
struct VdmSearch {
    DWORD pid;
    VdmEnumTaskWowExFn enumTasks;
    std::vector<std::string> files;
};

BOOL WINAPI VdmTaskCallback(DWORD, WORD, WORD, PSZ, PSZ fileName, LPARAM user) {
    auto* search = reinterpret_cast<VdmSearch*>(user);
    std::string file;
    if (fileName) {
        const std::size_t n = strnlen(fileName, 255);
        if (n < 255) file.assign(fileName, n);
    }
    search->files.push_back(file);
    return FALSE;  // go on
}

BOOL WINAPI VdmProcessCallback(DWORD pid, DWORD, LPARAM user) {
    auto* search = reinterpret_cast<VdmSearch*>(user);
    if (pid == search->pid) search->enumTasks(pid, VdmTaskCallback, user);
    return FALSE;  // go on
}

}  // namespace

std::vector<std::string> Win32Processes::EnumVdmTaskFiles(std::uint32_t pid) {
    Library vdm("vdmdbg.dll");
    auto enumProcs = vdm.Get<VdmEnumProcessWowFn>("VDMEnumProcessWOW");
    auto enumTasks = vdm.Get<VdmEnumTaskWowExFn>("VDMEnumTaskWOWEx");
    if (!enumProcs || !enumTasks) return {};
    VdmSearch search{pid, enumTasks, {}};
    enumProcs(VdmProcessCallback, reinterpret_cast<LPARAM>(&search));
    return search.files;
}

}  // namespace rw::win32
