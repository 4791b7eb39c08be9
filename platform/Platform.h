// The one seam between Replywick's portable logic and a window system.
//
// Every primitive here is named after what the logic expects of it, not after
// how one window system provides it. The Win32 backend maps most of them 1:1
// onto the API of the same name; the X11 backend maps them onto EWMH, XTest,
// XKB and AT-SPI; the fake backend scripts them and records what it receives.
//
// Rules every backend follows:
//  - A window handle is an opaque 32-bit value; 0 means none. Every window
//    operation accepts 0 (or a window that is gone) and then yields 0, empty
//    text, false or a zeroed rectangle. Nothing throws.
//  - Texts are 8-bit: the ANSI code page on Windows, the locale's bytes
//    (UTF-8) on Linux. They are passed through unchanged.
//  - All waiting goes through Sleep()/GetTickCount(), so tests run on a virtual
//    clock. A backend never blocks longer than the bound it is given.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace rw {

using WinHandle = std::uint32_t;

struct Rect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
    bool operator==(const Rect&) const = default;
};

// Which window a handle names at one moment. Some window systems hand a
// closed window's handle to the next window at once (X reuses ids); the
// generation tells the two apart there. Where handles are not reused at once
// it stays 0 and the handle alone names the window.
struct WindowIdentity {
    WinHandle handle = 0;
    std::uint64_t generation = 0;
    bool operator==(const WindowIdentity&) const = default;
};

// What GetVersionExA reports; on Linux a backend fills in the values of a
// modern NT system so that the NT code paths are taken.
struct OsVersionRaw {
    std::int32_t platformId = 2;  // 2 = NT family
    std::int32_t major = 10;
    std::int32_t minor = 0;
    std::int32_t build = 0;
};

// Window messages and flags the logic speaks in. Backends other than Win32
// translate them into their own means.
namespace msg {
constexpr std::uint32_t Null = 0x0000;
constexpr std::uint32_t Close = 0x0010;
constexpr std::uint32_t Char = 0x0102;
constexpr std::uint32_t Command = 0x0111;
constexpr std::uint32_t MouseMove = 0x0200;
constexpr std::uint32_t LButtonDown = 0x0201;
constexpr std::uint32_t RButtonDown = 0x0204;
}  // namespace msg

constexpr std::uint32_t KEYEVENTF_EXTENDEDKEY_ = 0x0001;
constexpr std::uint32_t KEYEVENTF_KEYUP_ = 0x0002;
constexpr std::uint32_t SW_SHOWMINIMIZED_ = 2;
constexpr std::uint32_t SW_SHOWMAXIMIZED_ = 3;
constexpr std::uint32_t NORMAL_PRIORITY_CLASS_ = 0x20;
constexpr std::uint32_t HIGH_PRIORITY_CLASS_ = 0x80;

class Platform {
public:
    virtual ~Platform() = default;

    // ---- Process, files and system ------------------------------------
    // Full path of the running executable.
    virtual std::string ExecutablePath() = 0;
    // The command line without the program's own path.
    virtual std::string CommandLineArgs() = 0;
    // Directory separator of the platform's paths ('\\' or '/').
    virtual char PathSeparator() = 0;
    // True when a file or directory exists at path (absolute, or relative to
    // the current directory).
    virtual bool PathExists(const std::string& path) = 0;
    // Whole file into bytes; false when it cannot be opened or read.
    virtual bool ReadFileBytes(const std::string& path, std::string& bytes) = 0;
    // Creates path new (failing if it exists), writes bytes, flushes them to
    // the disk and closes it. The new file takes the permissions of
    // modeTemplate when that file exists, else owner-only access. On any
    // failure the partial file is removed and false returned.
    virtual bool WriteNewFileDurably(const std::string& path, const std::string& bytes,
                                     const std::string& modeTemplate) = 0;
    // Atomically replaces target by source (rename over it).
    virtual bool ReplaceFileWith(const std::string& source, const std::string& target) = 0;
    virtual bool RemoveFile(const std::string& path) = 0;
    // The file a path finally names, with symbolic links followed, so that
    // a replacement lands on the real file and not on the link; the path
    // itself where nothing needs resolving.
    virtual std::string ResolveFilePath(const std::string& path) { return path; }
    // Whether the program may create files in dir.
    virtual bool IsDirectoryWritable(const std::string& dir) = 0;
    // True for an existing directory (absolute, or relative to the current
    // directory).
    virtual bool IsDirectory(const std::string& path) = 0;
    // Whether the user lets the program replace this existing file: false
    // for a read-only file (Windows attribute, or no write permission for
    // the user on Linux), even where the folder would allow a rename.
    virtual bool IsFileWritable(const std::string& path) = 0;
    virtual std::uint32_t GetCurrentProcessId() = 0;
    // Per-user configuration directory (XDG) where the platform has one,
    // else empty.
    virtual std::string UserConfigDir() = 0;
    virtual OsVersionRaw GetVersionEx() = 0;
    virtual std::uint16_t GetSystemDefaultLangID() = 0;
    // The user locale's decimal separator; empty if it cannot be read.
    virtual std::string GetDecimalSeparator() = 0;
    // Screen size in pixels and twips per pixel (rounded to whole numbers).
    virtual std::int32_t GetScreenWidth() = 0;
    virtual std::int32_t GetScreenHeight() = 0;
    virtual std::int32_t TwipsPerPixelX() = 0;
    virtual std::int32_t TwipsPerPixelY() = 0;

    // ---- Resources and keyboard layout --------------------------------
    // Entry `id` of the program's string table (the 28 fixed key entries).
    virtual std::string LoadResString(int id) = 0;
    // Scan code of a virtual-key code (MapVirtualKeyA, mapping type 0).
    virtual std::uint32_t MapVirtualKey(std::uint32_t vk) = 0;
    // Virtual-key code (low byte) and shift state (high byte) of a character,
    // -1 when the layout has no key for it. `ch` is one character's bytes.
    virtual std::int16_t VkKeyScan(const std::string& ch) = 0;
    // Display name of a key from its key-message lParam; empty if none.
    virtual std::string GetKeyNameText(std::int32_t lParam) = 0;
    // Length in bytes of the character that starts at text[pos] (0-based);
    // 1 for single-byte code pages, the UTF-8 sequence length on Linux.
    virtual std::size_t CharLength(const std::string& text, std::size_t pos) = 0;
    // Whether two texts are equal once both are converted to upper case by
    // the platform's own rules: the ANSI code page's letters on Windows
    // (a/A, ä/Ä, é/É), Unicode case folding of UTF-8 text on Linux.
    virtual bool EqualsIgnoringCase(const std::string& a, const std::string& b) = 0;

    // ---- Clipboard (plain text) ---------------------------------------
    virtual bool ClipboardGetText(std::string& text) = 0;
    virtual bool ClipboardEmpty() = 0;
    virtual bool ClipboardSetText(const std::string& text) = 0;

    // ---- Time and diagnostics -----------------------------------------
    virtual std::uint32_t GetTickCount() = 0;
    virtual void Sleep(std::uint32_t ms) = 0;
    // 1 ms timer resolution while a macro plays.
    virtual void TimeBeginPeriod(std::uint32_t ms) = 0;
    virtual void TimeEndPeriod(std::uint32_t ms) = 0;
    // One diagnostic line, without terminator.
    virtual void DebugOutput(const std::string& line) = 0;

    // ---- Windows ------------------------------------------------------
    virtual WinHandle GetForegroundWindow() = 0;
    virtual bool SetForegroundWindow(WinHandle w) = 0;
    // At most 259 bytes, as a 260-byte buffer would hold, never cut inside
    // a multi-byte character.
    // The window a handle names now, and whether it still names that very
    // window: false once that window is gone, even when the handle has been
    // handed to a new window meanwhile. Whoever holds a handle across a wait
    // asks this before acting on it.
    virtual WindowIdentity IdentifyWindow(WinHandle w) { return {w, 0}; }
    virtual bool IsSameWindow(const WindowIdentity& id) { return id.handle != 0; }
    // Whether typed characters land wherever the input focus is now
    // (injected key strokes, as on X11) instead of in the window they are
    // posted to (WM_CHAR on Windows).
    virtual bool CharactersFollowFocus() = 0;
    virtual std::string GetWindowText(WinHandle w) = 0;
    // The same bound as the text.
    virtual std::string GetClassName(WinHandle w) = 0;
    virtual bool GetWindowRect(WinHandle w, Rect& r) = 0;
    // The raw answer of the visibility query (1 when visible).
    virtual int IsWindowVisible(WinHandle w) = 0;
    virtual int IsIconic(WinHandle w) = 0;
    virtual WinHandle GetParent(WinHandle w) = 0;
    virtual WinHandle GetFirstChild(WinHandle w) = 0;
    virtual WinHandle GetNextSibling(WinHandle w) = 0;
    // Child control of a dialog by control id; 0 if none.
    virtual WinHandle GetDlgItem(WinHandle dialog, int id) = 0;
    virtual WinHandle WindowFromPoint(std::int32_t x, std::int32_t y) = 0;
    // Changes only the z-order (no size, no move, no activation).
    virtual void SetWindowPosZOrder(WinHandle w, WinHandle insertAfter) = 0;
    virtual bool ShowWindow(WinHandle w, std::uint32_t cmd) = 0;

    // ---- Threads, focus and processes ---------------------------------
    virtual std::uint32_t GetWindowThreadId(WinHandle w) = 0;
    virtual std::uint32_t GetWindowProcessId(WinHandle w) = 0;
    virtual std::uint32_t GetCurrentThreadId() = 0;
    virtual bool AttachThreadInput(std::uint32_t from, std::uint32_t to, bool attach) = 0;
    // The focused window of the calling thread's (attached) input state.
    virtual WinHandle GetFocus() = 0;
    // Priority class of a process; 0 when it cannot be read.
    virtual std::uint32_t GetPriorityClass(std::uint32_t pid) = 0;
    virtual bool SetPriorityClass(std::uint32_t pid, std::uint32_t priorityClass) = 0;
    // Waits at most timeoutMs until the process waits for input.
    virtual void WaitForInputIdle(std::uint32_t pid, std::uint32_t timeoutMs) = 0;
    // Full path of a process's executable, in the platform's case; empty when
    // it cannot be found.
    virtual std::string GetProcessModulePath(std::uint32_t pid) = 0;
    // File names of the 16-bit tasks running inside a shared virtual machine
    // process, in enumeration order; empty where there is no such machine.
    virtual std::vector<std::string> EnumVdmTaskFiles(std::uint32_t pid) = 0;

    // ---- Messages and input -------------------------------------------
    // Queues one typed character (its bytes) to a window (WM_CHAR).
    virtual bool PostChar(WinHandle w, const std::string& ch) = 0;
    // Queues a button click of a dialog (WM_COMMAND with the id, lParam the
    // button).
    virtual bool PostCommand(WinHandle dialog, int id, WinHandle button) = 0;
    // Queues a request to close (WM_CLOSE).
    virtual bool PostClose(WinHandle w) = 0;
    // Sends WM_NULL and waits until the window's thread handled it, at most
    // timeoutMs. False on time-out or failure.
    virtual bool SendNullMessage(WinHandle w, std::uint32_t timeoutMs) = 0;
    // One injected key event (keybd_event).
    virtual void KeyEvent(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags) = 0;
    // GetKeyState: negative when the key is down.
    virtual std::int16_t GetKeyState(int vk) = 0;
    virtual bool GetKeyboardState(std::array<std::uint8_t, 256>& state) = 0;
    virtual bool SetKeyboardState(const std::array<std::uint8_t, 256>& state) = 0;
};

// The backend the program runs on; set once at start-up (or by a test).
Platform& Sys();
void SetPlatform(Platform* platform);

}  // namespace rw
