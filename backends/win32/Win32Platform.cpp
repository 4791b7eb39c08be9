#include "backends/win32/Win32Platform.h"

#include "backends/win32/Win32Api.h"
#include <tlhelp32.h>

#include <cstring>
#include <memory>
#include <utility>

#include "backends/win32/Elevation.h"
#include "backends/win32/Win32Handle.h"
#include "base/AppValues.h"

namespace rw {

namespace {

// Text read from the system: fixed 260-byte buffers, cut at the first NUL.
constexpr int kTextBuffer = 260;

std::string CutAt(const char* buf, std::size_t max) {
    std::size_t n = 0;
    while (n < max && buf[n] != '\0') ++n;
    return std::string(buf, n);
}

// A buffer the system filled may end in the first byte of a double-byte
// character whose second byte did not fit; drop such a stray lead byte.
std::string WholeCharacters(std::string s) {
    std::size_t i = 0;
    while (i < s.size()) {
        if (IsDBCSLeadByte(static_cast<BYTE>(s[i]))) {
            if (i + 1 >= s.size()) {
                s.resize(i);
                break;
            }
            i += 2;
        } else {
            ++i;
        }
    }
    return s;
}

class Handle {
public:
    explicit Handle(HANDLE h) : h_(h) {}
    ~Handle() {
        if (valid()) CloseHandle(h_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool valid() const { return h_ != nullptr && h_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return h_; }

private:
    HANDLE h_;
};

class Library {
public:
    explicit Library(const char* name) : h_(LoadLibraryA(name)) {}
    ~Library() {
        if (h_) FreeLibrary(h_);
    }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;
    bool loaded() const { return h_ != nullptr; }
    template <class Fn>
    Fn Get(const char* name) const {
        if (!h_) return nullptr;
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(h_, name)));
    }

private:
    HMODULE h_;
};

// The clipboard needs an owner window: opened without one, EmptyClipboard
// leaves it ownerless and SetClipboardData then fails on Windows.
HWND ClipboardOwner() {
    static HWND owner = CreateWindowExA(0, "Static", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                        GetModuleHandleA(nullptr), nullptr);
    return owner;
}

class OpenClipboardScope {
public:
    OpenClipboardScope() {
        // Another program may hold the clipboard for a moment.
        for (int i = 0; i < 10 && !open_; ++i) {
            open_ = OpenClipboard(ClipboardOwner()) != 0;
            if (!open_) ::Sleep(10);
        }
    }
    ~OpenClipboardScope() {
        if (open_) CloseClipboard();
    }
    OpenClipboardScope(const OpenClipboardScope&) = delete;
    OpenClipboardScope& operator=(const OpenClipboardScope&) = delete;
    bool open() const { return open_; }

private:
    bool open_ = false;
};

}  // namespace

// ---- Process, files and system ------------------------------------------

std::string Win32Platform::ExecutablePath() {
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

std::string Win32Platform::CommandLineArgs() {
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

bool Win32Platform::PathExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool Win32Platform::ReadFileBytes(const std::string& path, std::string& bytes) {
    Handle f(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f.valid()) return false;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(f.get(), &size) || size.QuadPart < 0 || size.QuadPart > 0x7FFFFFFF) return false;
    std::string data(static_cast<std::size_t>(size.QuadPart), '\0');
    std::size_t done = 0;
    while (done < data.size()) {
        DWORD got = 0;
        if (!ReadFile(f.get(), data.data() + done, static_cast<DWORD>(data.size() - done), &got, nullptr))
            return false;
        if (got == 0) break;
        done += got;
    }
    data.resize(done);
    bytes = std::move(data);
    return true;
}

bool Win32Platform::WriteNewFileDurably(const std::string& path, const std::string& bytes,
                                        const std::string& /*modeTemplate*/) {
    // Access rights come from the folder (inherited ACLs) on Windows.
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    bool ok = true;
    std::size_t done = 0;
    while (ok && done < bytes.size()) {
        DWORD wrote = 0;
        ok = WriteFile(h, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &wrote, nullptr) &&
             wrote > 0;
        done += wrote;
    }
    ok = ok && FlushFileBuffers(h);
    ok = CloseHandle(h) && ok;
    if (!ok) DeleteFileA(path.c_str());
    return ok;
}

bool Win32Platform::ReplaceFileWith(const std::string& source, const std::string& target) {
    return MoveFileExA(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool Win32Platform::RemoveFile(const std::string& path) { return DeleteFileA(path.c_str()) != 0; }

std::string Win32Platform::HostName() {
    char buf[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = sizeof buf;
    if (!GetComputerNameA(buf, &size)) return {};
    return std::string(buf, size);
}

std::int64_t Win32Platform::FileAgeSeconds(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const auto ticks = [](const FILETIME& t) {
        return static_cast<std::int64_t>((static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
    };
    // FILETIME counts 100 ns steps.
    return (ticks(now) - ticks(data.ftLastWriteTime)) / 10000000;
}

std::vector<std::string> Win32Platform::FilesBeginningWith(const std::string& path) {
    std::vector<std::string> out;
    const auto sep = path.find_last_of("\\/");
    const std::string dir = sep == std::string::npos ? std::string() : path.substr(0, sep + 1);
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA((path + "*").c_str(), &data);
    if (h == INVALID_HANDLE_VALUE) return out;
    const std::string name = sep == std::string::npos ? path : path.substr(sep + 1);
    do {
        const std::string entry = data.cFileName;
        // The pattern also matches short 8.3 names; only real prefixes count.
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && entry.size() > name.size() &&
            entry.compare(0, name.size(), name) == 0)
            out.push_back(dir + entry);
    } while (FindNextFileA(h, &data));
    FindClose(h);
    return out;
}

bool Win32Platform::ProcessRunning(std::uint32_t pid) {
    if (pid == 0) return false;
    HANDLE p = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (p == nullptr) return GetLastError() == ERROR_ACCESS_DENIED;  // there, but not ours to open
    const bool running = WaitForSingleObject(p, 0) == WAIT_TIMEOUT;
    CloseHandle(p);
    return running;
}

bool Win32Platform::IsDirectoryWritable(const std::string& dir) {
    char name[MAX_PATH + 16];
    if (GetTempFileNameA(dir.empty() ? "." : dir.c_str(), "rw", 0, name) == 0) return false;
    DeleteFileA(name);
    return true;
}

bool Win32Platform::IsDirectory(const std::string& path) {
    const DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool Win32Platform::IsFileWritable(const std::string& path) {
    const DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY) == 0;
}

std::uint32_t Win32Platform::GetCurrentProcessId() { return ::GetCurrentProcessId(); }

OsVersionRaw Win32Platform::GetVersionEx() {
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

std::uint16_t Win32Platform::GetSystemDefaultLangID() { return ::GetSystemDefaultLangID(); }

std::string Win32Platform::GetDecimalSeparator() {
    char buf[kTextBuffer] = {};
    if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buf, kTextBuffer) == 0) return {};
    return CutAt(buf, kTextBuffer);
}

bool Win32Platform::ScreenCaps(int index, int& value) {
    HDC dc = GetDC(nullptr);
    if (!dc) return false;
    value = GetDeviceCaps(dc, index);
    ReleaseDC(nullptr, dc);
    return true;
}

std::int32_t Win32Platform::GetScreenWidth() {
    int v = 0;
    return ScreenCaps(HORZRES, v) ? v : 0;
}

std::int32_t Win32Platform::GetScreenHeight() {
    int v = 0;
    return ScreenCaps(VERTRES, v) ? v : 0;
}

namespace {
std::int32_t TwipsFromDpi(int dpi) {
    if (dpi <= 0) return 15;
    return (1440 + dpi / 2) / dpi;
}
}  // namespace

std::int32_t Win32Platform::TwipsPerPixelX() {
    int v = 0;
    return TwipsFromDpi(ScreenCaps(LOGPIXELSX, v) ? v : 0);
}

std::int32_t Win32Platform::TwipsPerPixelY() {
    int v = 0;
    return TwipsFromDpi(ScreenCaps(LOGPIXELSY, v) ? v : 0);
}

// ---- Resources and keyboard layout ------------------------------------

std::string Win32Platform::LoadResString(int id) {
    char buf[kTextBuffer] = {};
    int n = LoadStringA(GetModuleHandleA(nullptr), static_cast<UINT>(id), buf, kTextBuffer);
    if (n <= 0) return {};
    return std::string(buf, static_cast<std::size_t>(n));
}

std::uint32_t Win32Platform::MapVirtualKey(std::uint32_t vk) { return MapVirtualKeyA(vk, 0); }

std::int16_t Win32Platform::VkKeyScan(const std::string& ch) {
    if (ch.empty()) return -1;
    return VkKeyScanA(ch[0]);
}

std::string Win32Platform::GetKeyNameText(std::int32_t lParam) {
    char buf[50] = {};
    int n = GetKeyNameTextA(lParam, buf, 50);
    if (n <= 0) return {};
    return CutAt(buf, static_cast<std::size_t>(n));
}

bool Win32Platform::EqualsIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    // The system's upper-casing of the ANSI code page, on copies.
    std::string ua = a, ub = b;
    if (!ua.empty()) CharUpperBuffA(ua.data(), static_cast<DWORD>(ua.size()));
    if (!ub.empty()) CharUpperBuffA(ub.data(), static_cast<DWORD>(ub.size()));
    return ua == ub;
}

std::size_t Win32Platform::CharLength(const std::string& text, std::size_t pos) {
    if (pos >= text.size()) return 0;
    if (pos + 1 < text.size() && IsDBCSLeadByte(static_cast<BYTE>(text[pos]))) return 2;
    return 1;
}

// ---- Clipboard -----------------------------------------------------------

bool Win32Platform::ClipboardGetText(std::string& text) {
    OpenClipboardScope cb;
    if (!cb.open()) return false;
    HANDLE data = GetClipboardData(CF_TEXT);
    if (!data) {
        text.clear();
        return true;  // open, but no text on it
    }
    const char* p = static_cast<const char*>(GlobalLock(data));
    if (!p) return false;
    SIZE_T size = GlobalSize(data);
    text = CutAt(p, size);
    GlobalUnlock(data);
    return true;
}

bool Win32Platform::ClipboardEmpty() {
    OpenClipboardScope cb;
    return cb.open() && EmptyClipboard();
}

bool Win32Platform::ClipboardSetText(const std::string& text) {
    OpenClipboardScope cb;
    if (!cb.open() || !EmptyClipboard()) return false;
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    if (!mem) return false;
    char* p = static_cast<char*>(GlobalLock(mem));
    if (!p) {
        GlobalFree(mem);
        return false;
    }
    std::memcpy(p, text.c_str(), text.size() + 1);
    GlobalUnlock(mem);
    if (!SetClipboardData(CF_TEXT, mem)) {
        GlobalFree(mem);
        return false;
    }
    return true;  // the clipboard owns mem now
}

// ---- Time and diagnostics ----------------------------------------------

std::uint32_t Win32Platform::GetTickCount() { return ::GetTickCount(); }
void Win32Platform::Sleep(std::uint32_t ms) { ::Sleep(ms); }
void Win32Platform::TimeBeginPeriod(std::uint32_t ms) { timeBeginPeriod(ms); }
void Win32Platform::TimeEndPeriod(std::uint32_t ms) { timeEndPeriod(ms); }
void Win32Platform::DebugOutput(const std::string& line) { OutputDebugStringA(line.c_str()); }

// ---- Windows -------------------------------------------------------------

WinHandle Win32Platform::GetForegroundWindow() { return FromHwnd(::GetForegroundWindow()); }

bool Win32Platform::SetForegroundWindow(WinHandle w) {
    return w != 0 && ::SetForegroundWindow(ToHwnd(w)) != 0;
}

std::string Win32Platform::GetWindowText(WinHandle w) {
    if (w == 0) return {};
    char buf[kTextBuffer] = {};
    int n = GetWindowTextA(ToHwnd(w), buf, kTextBuffer);
    if (n <= 0) return {};
    return WholeCharacters(CutAt(buf, static_cast<std::size_t>(n)));
}

std::string Win32Platform::GetClassName(WinHandle w) {
    if (w == 0) return {};
    char buf[kTextBuffer] = {};
    int n = GetClassNameA(ToHwnd(w), buf, kTextBuffer);
    if (n <= 0) return {};
    return WholeCharacters(CutAt(buf, static_cast<std::size_t>(n)));
}

bool Win32Platform::GetWindowRect(WinHandle w, Rect& r) {
    RECT rc{};
    if (w == 0 || !::GetWindowRect(ToHwnd(w), &rc)) {
        r = Rect{};
        return false;
    }
    r = Rect{rc.left, rc.top, rc.right, rc.bottom};
    return true;
}

int Win32Platform::IsWindowVisible(WinHandle w) { return w == 0 ? 0 : ::IsWindowVisible(ToHwnd(w)); }
int Win32Platform::IsIconic(WinHandle w) { return w == 0 ? 0 : ::IsIconic(ToHwnd(w)); }

bool Win32Platform::HasCaption(WinHandle w) {
    if (w == 0) return false;
    const LONG style = GetWindowLongA(ToHwnd(w), GWL_STYLE);
    return (static_cast<DWORD>(style) & WS_CAPTION) == WS_CAPTION;
}

WinHandle Win32Platform::GetParent(WinHandle w) { return w == 0 ? 0 : FromHwnd(::GetParent(ToHwnd(w))); }

WinHandle Win32Platform::GetFirstChild(WinHandle w) {
    return w == 0 ? 0 : FromHwnd(::GetWindow(ToHwnd(w), GW_CHILD));
}

WinHandle Win32Platform::GetNextSibling(WinHandle w) {
    return w == 0 ? 0 : FromHwnd(::GetWindow(ToHwnd(w), GW_HWNDNEXT));
}

WinHandle Win32Platform::GetDlgItem(WinHandle dialog, int id) {
    return dialog == 0 ? 0 : FromHwnd(::GetDlgItem(ToHwnd(dialog), id));
}

WinHandle Win32Platform::WindowFromPoint(std::int32_t x, std::int32_t y) {
    POINT pt{x, y};
    return FromHwnd(::WindowFromPoint(pt));
}

void Win32Platform::SetWindowPosZOrder(WinHandle w, WinHandle insertAfter) {
    if (w == 0) return;
    ::SetWindowPos(ToHwnd(w), ToHwnd(insertAfter), 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
}

bool Win32Platform::ShowWindow(WinHandle w, std::uint32_t cmd) {
    // ShowWindow answers whether the window was visible before, not whether
    // the command worked: only a window that does not exist fails here.
    if (w == 0 || !IsWindow(ToHwnd(w))) return false;
    ::ShowWindow(ToHwnd(w), static_cast<int>(cmd));
    return true;
}

// ---- Threads, focus and processes --------------------------------------

std::uint32_t Win32Platform::GetWindowThreadId(WinHandle w) {
    return w == 0 ? 0 : GetWindowThreadProcessId(ToHwnd(w), nullptr);
}

std::uint32_t Win32Platform::GetWindowProcessId(WinHandle w) {
    if (w == 0) return 0;
    DWORD pid = 0;
    if (!GetWindowThreadProcessId(ToHwnd(w), &pid)) return 0;
    return pid;
}

std::uint32_t Win32Platform::GetCurrentThreadId() { return ::GetCurrentThreadId(); }

bool Win32Platform::RunningUnderWine() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

bool Win32Platform::AttachThreadInput(std::uint32_t from, std::uint32_t to, bool attach) {
    if (!underWine_) return ::AttachThreadInput(from, to, attach ? TRUE : FALSE) != 0;
    // Wine does not merge two input states: the thread that attaches drops
    // its own, with the key events still queued in it. Attaching the target
    // to us would throw away keys we injected a moment ago that it has not
    // read yet, so our thread joins the target's input instead. The shared
    // state is the same either way; only what gets discarded differs (ours
    // holds no input of the user's).
    if (to == ::GetCurrentThreadId()) std::swap(from, to);
    if (attach) {
        foregroundBeforeAttach_ = FromHwnd(::GetForegroundWindow());
        return ::AttachThreadInput(from, to, TRUE) != 0;
    }
    const bool ok = ::AttachThreadInput(from, to, FALSE) != 0;
    // Wine gives the detached thread a fresh input state and leaves no
    // foreground window behind, so the next key stroke would go nowhere.
    // Windows keeps the foreground (a moment without one there is real and
    // must not be "repaired"), so this runs under Wine only.
    const HWND before = ToHwnd(foregroundBeforeAttach_);
    foregroundBeforeAttach_ = 0;
    if (before && ::GetForegroundWindow() == nullptr && IsWindow(before)) ::SetForegroundWindow(before);
    return ok;
}

WinHandle Win32Platform::GetFocus() { return FromHwnd(::GetFocus()); }

std::uint32_t Win32Platform::GetPriorityClass(std::uint32_t pid) {
    Handle p(OpenProcess(0x600, FALSE, pid));  // query and set information
    if (!p.valid()) return 0;
    return ::GetPriorityClass(p.get());
}

bool Win32Platform::SetPriorityClass(std::uint32_t pid, std::uint32_t priorityClass) {
    Handle p(OpenProcess(0x600, FALSE, pid));
    return p.valid() && ::SetPriorityClass(p.get(), priorityClass) != 0;
}

void Win32Platform::WaitForInputIdle(std::uint32_t pid, std::uint32_t timeoutMs) {
    Handle p(OpenProcess(0x440, FALSE, pid));
    if (p.valid()) ::WaitForInputIdle(p.get(), timeoutMs);
}

std::string Win32Platform::GetProcessModulePath(std::uint32_t pid) {
    if (pid == 0) return {};
    OSVERSIONINFOA info;
    std::memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
    bool nt = !GetVersionExA(&info) || info.dwPlatformId == VER_PLATFORM_WIN32_NT;
    return nt ? ModulePathNt(pid) : ModulePathSnapshot(pid);
}

std::string Win32Platform::ModulePathNt(std::uint32_t pid) {
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

std::string Win32Platform::ModulePathSnapshot(std::uint32_t pid) {
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

std::vector<std::string> Win32Platform::EnumVdmTaskFiles(std::uint32_t pid) {
    Library vdm("vdmdbg.dll");
    auto enumProcs = vdm.Get<VdmEnumProcessWowFn>("VDMEnumProcessWOW");
    auto enumTasks = vdm.Get<VdmEnumTaskWowExFn>("VDMEnumTaskWOWEx");
    if (!enumProcs || !enumTasks) return {};
    VdmSearch search{pid, enumTasks, {}};
    enumProcs(VdmProcessCallback, reinterpret_cast<LPARAM>(&search));
    return search.files;
}

// ---- Messages and input ---------------------------------------------------

bool Win32Platform::InputReaches(WinHandle w) {
    const std::uint32_t pid = GetWindowProcessId(w);
    if (pid == 0) return true;  // nothing known against it
    for (std::uint32_t refused : refusedPids_)
        if (refused == pid) return false;
    return !InputRefused(SelfElevated(), AskProcessToken(pid));
}

void Win32Platform::NoteRefusedPost(WinHandle w) {
    if (GetLastError() != ERROR_ACCESS_DENIED) return;
    const std::uint32_t pid = GetWindowProcessId(w);
    if (pid == 0) return;
    for (std::uint32_t refused : refusedPids_)
        if (refused == pid) return;
    // A handful is plenty: process ids come back, and an old entry must not
    // block a new program for ever.
    if (refusedPids_.size() >= 8) refusedPids_.erase(refusedPids_.begin());
    refusedPids_.push_back(pid);
    DebugLine([&] {
        return "   SendKeys: the window refused our messages: its program runs with higher rights than Replywick "
               "(as administrator)";
    });
}

bool Win32Platform::PostChar(WinHandle w, const std::string& ch) {
    if (w == 0 || ch.empty()) return false;
    // A double-byte character reaches an ANSI window as its two bytes.
    bool ok = true;
    for (char c : ch) {
        if (PostMessageA(ToHwnd(w), WM_CHAR, static_cast<unsigned char>(c), 0x00010001)) continue;
        NoteRefusedPost(w);
        ok = false;
    }
    return ok;
}

bool Win32Platform::PostCommand(WinHandle dialog, int id, WinHandle button) {
    if (dialog == 0) return false;
    if (PostMessageA(ToHwnd(dialog), WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), 0),
                     reinterpret_cast<LPARAM>(ToHwnd(button))))
        return true;
    NoteRefusedPost(dialog);
    return false;
}

bool Win32Platform::PostClose(WinHandle w) {
    if (w == 0) return false;
    if (PostMessageA(ToHwnd(w), WM_CLOSE, 0, 0)) return true;
    NoteRefusedPost(w);
    return false;
}

bool Win32Platform::SendNullMessage(WinHandle w, std::uint32_t timeoutMs) {
    if (w == 0) return false;
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(ToHwnd(w), WM_NULL, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, timeoutMs, &result) != 0;
}

void Win32Platform::KeyEvent(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags) {
    keybd_event(vk, scan, flags, 0);
}

std::int16_t Win32Platform::GetKeyState(int vk) { return ::GetKeyState(vk); }

bool Win32Platform::GetKeyboardState(std::array<std::uint8_t, 256>& state) {
    return ::GetKeyboardState(state.data()) != 0;
}

bool Win32Platform::SetKeyboardState(const std::array<std::uint8_t, 256>& state) {
    std::array<std::uint8_t, 256> copy = state;
    return ::SetKeyboardState(copy.data()) != 0;
}

}  // namespace rw
