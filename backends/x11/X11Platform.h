// The platform on an X11 desktop with an EWMH window manager.
//
// The backend keeps its own Xlib connection, separate from Qt's XCB one: all
// window queries, XTest input, the XKB keyboard and the hidden main window
// "Replywick MainForm" go through it. Its events (root property changes,
// the external notification) are read by the program's event loop through
// the connection's file descriptor (ConnectionFd, then DispatchEvents).
//
// Window handles are X window ids of top-level client windows (the windows
// the window manager manages). Controls inside them come from an optional
// ChildProvider. X errors never end the program: windows vanish at any time
// and a request on a gone window simply yields nothing.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "backends/x11/ChildProvider.h"
#include "platform/Platform.h"

using Display = struct _XDisplay;

namespace rw::x11 {

class X11Platform final : public rw::ChildWindowPlatform {
public:
    // Opens the display (nullptr: $DISPLAY). Check Ok() before use.
    X11Platform(const char* displayName, int argc, char** argv);
    ~X11Platform() override;
    X11Platform(const X11Platform&) = delete;
    X11Platform& operator=(const X11Platform&) = delete;

    bool Ok() const { return dpy_ != nullptr; }
    int ConnectionFd() const;

    // The hidden main window and its child for the external notification.
    WinHandle CreateMainWindow();

    // Events of the own connection. Set the handlers, then call
    // DispatchEvents whenever the descriptor is readable and whenever
    // HasQueuedEvents says that events wait in the library's queue.
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
    void DispatchEvents();
    bool HasQueuedEvents() const;

    // Keycodes lent out for characters the layout lacks go back to their
    // own keysyms; true when none is lent out any more. Done when a macro
    // has ended (the event loop runs again) and at exit.
    bool RestoreSpareKeys(bool force);
    bool SpareKeysLent() const { return !lent_.empty(); }

    void SetChildProvider(ChildProvider* provider) { children_ = provider; }

    // ---- rw::Platform -------------------------------------------------
    std::string ExecutablePath() override;
    std::string CommandLineArgs() override;
    char PathSeparator() override { return '/'; }
    bool PathExists(const std::string& path) override;
    bool ReadFileBytes(const std::string& path, std::string& bytes) override;
    bool WriteNewFileDurably(const std::string& path, const std::string& bytes,
                             const std::string& modeTemplate) override;
    bool ReplaceFileWith(const std::string& source, const std::string& target) override;
    bool RemoveFile(const std::string& path) override;
    bool IsDirectoryWritable(const std::string& dir) override;
    bool IsDirectory(const std::string& path) override;
    bool IsFileWritable(const std::string& path) override;
    std::uint32_t GetCurrentProcessId() override;
    std::string ResolveFilePath(const std::string& path) override;
    std::string UserConfigDir() override;
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

    bool ClipboardGetText(std::string& text) override;
    bool ClipboardEmpty() override;
    bool ClipboardSetText(const std::string& text) override;

    std::uint32_t GetTickCount() override;
    void Sleep(std::uint32_t ms) override;
    void TimeBeginPeriod(std::uint32_t) override {}
    void TimeEndPeriod(std::uint32_t) override {}
    void DebugOutput(const std::string& line) override;

    WinHandle GetForegroundWindow() override;
    // X gives a closed window's id to the next client at once. The identity
    // is the id plus the count of its destructions seen so far (and the
    // window's _NET_WM_PID): a window we identified is watched for its end,
    // and IsSameWindow reads what the server has sent up to now, so it
    // answers correctly while the event loop does not run (during a delay,
    // during playback). Both cost one round trip.
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
    WinHandle GetParent(WinHandle w) override;
    WinHandle GetFirstChild(WinHandle w) override;
    WinHandle GetNextSibling(WinHandle w) override;
    WinHandle GetDlgItem(WinHandle dialog, int id) override;
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
    bool PostCommand(WinHandle dialog, int id, WinHandle button) override;
    bool PostClose(WinHandle w) override;
    bool SendNullMessage(WinHandle w, std::uint32_t timeoutMs) override;
    void KeyEvent(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags) override;
    std::int16_t GetKeyState(int vk) override;
    bool GetKeyboardState(std::array<std::uint8_t, 256>& state) override;
    bool SetKeyboardState(const std::array<std::uint8_t, 256>& state) override;

private:
    struct Atoms;
    struct LentKey {
        std::uint32_t keysym = 0;
        std::uint64_t lastUse = 0;  // use counter, for least-recently-used reuse
        std::uint32_t usedAtMs = 0;
        bool targetSynced = false;  // the target answered a ping since
        // The window the character was typed for, and how many times its id
        // had been seen destroyed then: only that very window's answer to a
        // ping tells that the character has been read.
        WinHandle target = 0;
        std::uint64_t targetEnds = 0;
    };

    bool WindowExists(WinHandle w);
    // Reads _NET_WM_PID (0 when unset); false when the window does not
    // exist. One round trip: afterwards every event the server sent before
    // it is in the library's queue.
    bool ReadPid(WinHandle w, std::uint32_t& pid);
    // Selects the window's structure events and confirms that the window
    // selected is the one that exists now under that id; the ends of
    // earlier windows with the id that are still queued are counted then.
    bool WatchWindow(WinHandle w, std::uint32_t& pid);
    // Counts the destructions of watched windows that wait in the library's
    // queue, without taking them out of it (DispatchEvents still reports
    // them).
    void CountQueuedDestroys();
    void NoteDestroyed(WinHandle w);
    std::uint64_t EndsSeen(WinHandle w) const;
    // Whether WM_CLIENT_MACHINE names another host than this one.
    bool IsRemoteClient(WinHandle w);
    bool GetCardinal(WinHandle w, unsigned long atom, std::uint32_t& value);
    std::vector<unsigned long> GetAtomList(WinHandle w, unsigned long prop);
    std::vector<WinHandle> ClientList();
    WinHandle ClientOf(WinHandle w);
    WinHandle FindClientBelow(WinHandle w, int depth);
    bool IsAncestorOrSelf(WinHandle ancestor, WinHandle w);
    bool SupportsProtocol(WinHandle w, unsigned long protocol);
    bool WmSupports(unsigned long atom);
    void SendRootMessage(WinHandle w, unsigned long type, long l0, long l1, long l2, long l3,
                         long l4);
    bool WaitForPingReply(long serial, std::uint32_t deadlineMs, WinHandle client);
    void HandleEvent(void* event);

    // Keyboard.
    void RefreshKeyboard();
    std::uint8_t KeycodeOfVk(std::uint8_t vk);
    std::uint8_t KeycodeOfKeyName(const char* name);
    bool KeycodeDown(const char keys[32], std::uint8_t kc) const;
    bool VkDown(const char keys[32], std::uint8_t vk);
    bool FindKeyForChar(std::uint32_t cp, std::uint8_t& kc, bool& shift, std::uint32_t& keysym);
    std::uint8_t LendKeycode(std::uint32_t keysym);
    void TapKeycode(std::uint8_t kc, bool shift);
    unsigned LockModMask(std::uint8_t vk);
    bool LockOn(std::uint8_t vk);
    void SetLock(std::uint8_t vk, bool on);
    std::uint8_t VkOfKeycode(std::uint8_t kc);

    Display* dpy_ = nullptr;
    int screen_ = 0;
    unsigned long root_ = 0;
    Atoms* atoms_ = nullptr;
    WinHandle mainWin_ = 0;
    WinHandle notifyWin_ = 0;
    std::string args_;
    ChildProvider* children_ = nullptr;
    std::vector<WinHandle> knownClients_;
    // Per window id: the count of destructions seen (the generation of the
    // window that has the id now), and how many of those were counted ahead
    // while their events still waited in the queue.
    std::unordered_map<WinHandle, std::uint64_t> ends_;
    std::unordered_map<WinHandle, std::uint32_t> endsCountedAhead_;
    // Per window id: the count of its ends when a window with it was last
    // watched (found, and its structure events selected).
    std::unordered_map<WinHandle, std::uint64_t> watchedAt_;
    std::string hostName_;
    bool dispatching_ = false;
    long pingSerial_ = 0x52570000;

    // Keyboard state.
    bool kbDirty_ = true;
    int xkbEventBase_ = -1;
    int minKeycode_ = 8, maxKeycode_ = 255;
    void* xkb_ = nullptr;  // XkbDescPtr
    std::map<std::uint8_t, std::uint8_t> vkKeycode_;  // cache, filled lazily
    std::vector<std::uint8_t> spareKeycodes_;
    std::map<std::uint8_t, LentKey> lent_;
    std::uint64_t useCounter_ = 0;
};

}  // namespace rw::x11
