// The platform on an X11 desktop with an EWMH window manager.
//
// One object implements the seam; each subsystem keeps its own state and
// is composed here:
//   X11Connection     the backend's own Xlib connection (separate from Qt's
//                     XCB one), atoms, property reads, client messages
//   X11WindowTracker  which window an id names (ids are reused at once)
//   X11Windows        window properties, foreground, focus, commands, ping
//   X11Keyboard       XKB layout, XTest typing, lent keycodes, lock keys
//   X11MainWindow     the hidden main window and the event dispatch
//   X11Clipboard      the clipboard (Qt's)
//   AccessibleDialogs dialog texts and buttons through the AT-SPI bus
// The connection's events (root property changes, the external
// notification) are read by the program's event loop through the
// connection's file descriptor (ConnectionFd, then DispatchEvents).
//
// Window handles are X window ids of top-level client windows (the windows
// the window manager manages). X errors never end the program: windows
// vanish at any time and a request on a gone window simply yields nothing.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "backends/x11/X11Clipboard.h"
#include "backends/x11/atspi/AccessibleDialogs.h"
#include "platform/Platform.h"

namespace rw::x11 {

class X11Connection;
class X11WindowTracker;
class X11Windows;
class X11Keyboard;
class X11MainWindow;

// What the events of the own connection report. Set the handlers, then
// call DispatchEvents whenever the descriptor is readable and whenever
// HasQueuedEvents says that events wait in the library's queue.
struct X11Events {
    std::function<void(std::uint32_t code, WinHandle w)> onShellHook;
    std::function<void(std::int32_t x, std::int32_t y)> onExternalNotify;
    // A client window was destroyed. X reuses window ids at once (the next
    // program often gets the same one), so whoever remembers a window by
    // its id must forget it here. A destruction that IsSameWindow noticed
    // while the event loop stood still is reported here all the same, in
    // its place among the other events, unless a new window with that id
    // has been found since: the id stands for that one then, and its own
    // end follows in turn.
    std::function<void(WinHandle w)> onClientGone;
    // A notification-area host (system tray) started.
    std::function<void()> onTrayHostStarted;
};

class X11Platform final : public rw::Platform {
public:
    // Opens the display (nullptr: $DISPLAY). Check Ok() before use.
    X11Platform(const char* displayName, int argc, char** argv);
    ~X11Platform() override;
    X11Platform(const X11Platform&) = delete;
    X11Platform& operator=(const X11Platform&) = delete;

    bool Ok() const;
    int ConnectionFd() const;

    // The hidden main window and its child for the external notification.
    WinHandle CreateMainWindow();

    X11Events events;
    void DispatchEvents();
    bool HasQueuedEvents() const;

    // Keycodes lent out for characters the layout lacks go back to their
    // own keysyms; true when none is lent out any more. Done when a macro
    // has ended (the event loop runs again) and at exit.
    bool RestoreSpareKeys(bool force);
    bool SpareKeysLent() const;

    // ---- rw::Platform -------------------------------------------------
    std::string ExecutablePath() override;
    std::string CommandLineArgs() override { return args_; }
    char PathSeparator() override { return '/'; }
    bool PathExists(const std::string& path) override;
    bool ReadFileBytes(const std::string& path, std::string& bytes) override;
    bool WriteNewFileDurably(const std::string& path, const std::string& bytes,
                             const std::string& modeTemplate) override;
    bool ReplaceFileWith(const std::string& source, const std::string& target) override;
    bool RemoveFile(const std::string& path) override;
    std::vector<std::string> FilesBeginningWith(const std::string& path) override;
    bool ProcessRunning(std::uint32_t pid) override;
    bool IsDirectoryWritable(const std::string& dir) override;
    bool IsDirectory(const std::string& path) override;
    bool IsFileWritable(const std::string& path) override;
    std::uint32_t GetCurrentProcessId() override;
    std::string ResolveFilePath(const std::string& path) override;
    std::string UserConfigDir() override;
    FileOutcome ReadUsersFile(const std::string& path, std::string& bytes, std::size_t maxBytes) override;
    FileOutcome ReplaceUsersFile(const std::string& path, const std::string& bytes,
                                 const std::string& tmpSuffix) override;
    std::string HostName() override;
    std::int64_t FileAgeSeconds(const std::string& path) override;
    OsVersionRaw GetVersionEx() override { return OsVersionRaw{}; }
    std::uint16_t GetSystemDefaultLangID() override;
    std::string GetDecimalSeparator() override;
    std::int32_t GetScreenWidth() override;
    std::int32_t GetScreenHeight() override;
    std::int32_t TwipsPerPixelX() override;
    std::int32_t TwipsPerPixelY() override;

    std::string LoadResString(int id) override;
    std::uint32_t MapVirtualKey(std::uint32_t vk) override;
    std::int16_t VkKeyScan(const std::string& ch) override;
    std::string GetKeyNameText(std::int32_t lParam) override;
    std::size_t CharLength(const std::string& text, std::size_t pos) override;
    bool EqualsIgnoringCase(const std::string& a, const std::string& b) override;

    bool ClipboardGetText(std::string& text) override { return clipboard_.GetText(text); }
    bool ClipboardEmpty() override { return clipboard_.Empty(); }
    bool ClipboardSetText(const std::string& text) override { return clipboard_.SetText(text); }

    std::uint32_t GetTickCount() override;
    void Sleep(std::uint32_t ms) override;
    void TimeBeginPeriod(std::uint32_t) override {}
    void TimeEndPeriod(std::uint32_t) override {}
    void DebugOutput(const std::string& line) override;

    WinHandle GetForegroundWindow() override;
    // X gives a closed window's id to the next client at once: the identity
    // is the id plus the count of its destructions seen so far (and the
    // window's _NET_WM_PID); see X11WindowTracker.
    WindowIdentity IdentifyWindow(WinHandle w) override;
    bool IsSameWindow(const WindowIdentity& id) override;
    // XTest types into whatever has the focus.
    bool CharactersFollowFocus() override { return true; }
    bool SetForegroundWindow(WinHandle w) override;
    std::string GetWindowText(WinHandle w) override;
    std::string GetClassName(WinHandle w) override;
    bool GetWindowRect(WinHandle w, Rect& r) override;
    int IsWindowVisible(WinHandle w) override;
    int IsIconic(WinHandle w) override;
    // Top-level client windows have no parent window of interest.
    WinHandle GetParent(WinHandle) override { return 0; }
    WinHandle WindowFromPoint(std::int32_t x, std::int32_t y) override;
    void SetWindowPosZOrder(WinHandle w, WinHandle insertAfter) override;
    bool ShowWindow(WinHandle w, std::uint32_t cmd) override;

    std::uint32_t GetWindowThreadId(WinHandle w) override;
    std::uint32_t GetWindowProcessId(WinHandle w) override;
    std::uint32_t GetCurrentThreadId() override;
    bool AttachThreadInput(std::uint32_t, std::uint32_t, bool) override { return true; }
    WinHandle GetFocus() override;
    std::uint32_t GetPriorityClass(std::uint32_t pid) override;
    bool SetPriorityClass(std::uint32_t pid, std::uint32_t priorityClass) override;
    void WaitForInputIdle(std::uint32_t, std::uint32_t) override {}
    std::string GetProcessModulePath(std::uint32_t pid) override;
    std::vector<std::string> EnumVdmTaskFiles(std::uint32_t) override { return {}; }

    bool PostChar(WinHandle w, const std::string& ch) override;
    bool PostClose(WinHandle w) override;
    // A round trip to the server plus the window's answer to _NET_WM_PING
    // where it takes pings, at most 333 ms.
    bool SendNullMessage(WinHandle w, std::uint32_t timeoutMs) override;
    void KeyEvent(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags) override;
    std::int16_t GetKeyState(int vk) override;
    bool GetKeyboardState(std::array<std::uint8_t, 256>& state) override;
    bool SetKeyboardState(const std::array<std::uint8_t, 256>& state) override;

    // Dialog texts and buttons come from the accessibility bus: X11
    // toolkits have no child windows for their controls.
    std::string GetDialogText(WinHandle dialog) override { return dialogs_.Text(dialog); }
    int PressDialogButton(WinHandle dialog, std::initializer_list<int> ids) override {
        return dialogs_.Press(dialog, ids);
    }

private:
    std::string args_;
    // In the order they depend on each other; destroyed the other way round.
    std::unique_ptr<X11Connection> x_;
    std::unique_ptr<X11WindowTracker> tracker_;
    std::unique_ptr<X11Windows> windows_;
    std::unique_ptr<X11Keyboard> keyboard_;
    std::unique_ptr<X11MainWindow> mainWindow_;
    X11Clipboard clipboard_;
    AccessibleDialogs dialogs_{*this};
};

}  // namespace rw::x11
