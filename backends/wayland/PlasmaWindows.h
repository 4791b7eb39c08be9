// The Windows role on KDE Plasma (KWin): the windows of KWin's window
// management protocol (org_kde_plasma_window_management) with their
// title, app id, process, place and size, and states; the foreground (the
// window in the active state); and the window commands the protocol offers
// (activate, minimise, maximise, restore, close).
//
// KWin grants the protocol only to a program that a desktop file names
// with X-KDE-Wayland-Interfaces (see packaging/replywick.desktop); the
// window system does not pick this way where it is not granted.
//
// A window is announced (shell notification 1) once KWin has sent all it
// knows of it (initial_state), then, when it is active, as the foreground
// (4). Window handles are numbers given to windows in the order they
// appear, never given again: the handle alone is the identity. A request
// on a window that is gone yields 0, empty text or false.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "backends/atspi/AccessibilityBridge.h"
#include "backends/wayland/Desktop.h"
#include "backends/wayland/WaylandConnection.h"

struct org_kde_plasma_window;
struct org_kde_plasma_window_management;

namespace rw::wl {

class PlasmaWindows final : public Toplevels {
public:
    explicit PlasmaWindows(WaylandConnection& c);
    ~PlasmaWindows() override;
    PlasmaWindows(const PlasmaWindows&) = delete;
    PlasmaWindows& operator=(const PlasmaWindows&) = delete;

    // Binds KWin's window management and starts following its windows;
    // false where it is not offered to this program.
    bool Follow();

    WinHandle GetForegroundWindow() override;
    // Asks KWin to activate w and waits a little for it.
    bool SetForegroundWindow(WinHandle w) override;
    std::string GetWindowText(WinHandle w) override;
    // The app id (zenity, org.kde.kdialog), the Wayland name of a program.
    std::string GetClassName(WinHandle w) override;
    // The window's frame on the screen, as KWin places it.
    bool GetWindowRect(WinHandle w, Rect& r) override;
    int IsWindowVisible(WinHandle w) override;
    int IsIconic(WinHandle w) override;
    WinHandle GetParent(WinHandle) override { return 0; }
    // A client cannot see what lies under a point on Wayland.
    WinHandle WindowFromPoint(std::int32_t, std::int32_t) override { return 0; }
    // The stacking order belongs to the compositor.
    void SetWindowPosZOrder(WinHandle, WinHandle) override {}
    bool ShowWindow(WinHandle w, std::uint32_t cmd) override;
    bool PostClose(WinHandle w) override;
    // A round trip to KWin (when keys were sent since the last one): every
    // key sent before has then been handed to the window's program; and,
    // now and then, an answer from the program itself.
    bool WaitUntilAnswers(WinHandle w, std::uint32_t timeoutMs) override;
    // The window in front has the focus; nothing inside it can be told.
    WinHandle FocusedControl(WinHandle w) override;
    // KWin tells it.
    std::uint32_t GetWindowProcessId(WinHandle w) override;

    bool Ok() const override { return manager_ != nullptr; }
    bool Alive(WinHandle w) const override;
    News TakeNews() override;
    bool HasNews() const override { return !news_.empty(); }

private:
    struct Window {
        org_kde_plasma_window* handle = nullptr;
        std::string title, appId;
        std::uint32_t pid = 0;
        bool active = false, minimized = false;
        int x = 0, y = 0, w = 0, h = 0;
        bool announced = false;
        std::uint32_t bornMs = 0;
        // Whether the program answers on the accessibility bus, looked up
        // by the window's title.
        std::string frameTitle;
        bool frameFound = false, frameWaited = false;
        std::uint32_t lookedUpMs = 0, answeredMs = 0;
    };

    static void OnWindow(void* data, org_kde_plasma_window_management* m, std::uint32_t id, const char* uuid);
    static void OnTitle(void* data, org_kde_plasma_window* h, const char* title);
    static void OnAppId(void* data, org_kde_plasma_window* h, const char* appId);
    static void OnState(void* data, org_kde_plasma_window* h, std::uint32_t flags);
    static void OnUnmapped(void* data, org_kde_plasma_window* h);
    static void OnInitialState(void* data, org_kde_plasma_window* h);
    static void OnGeometry(void* data, org_kde_plasma_window* h, std::int32_t x, std::int32_t y, std::uint32_t w,
                           std::uint32_t hh);
    static void OnPid(void* data, org_kde_plasma_window* h, std::uint32_t pid);

    void Track(org_kde_plasma_window* h);
    Window* Find(WinHandle w);
    Window* FindByHandle(org_kde_plasma_window* h, WinHandle* id = nullptr);
    // The foreground follows the window's active state.
    void NoteActive(WinHandle w, const Window& t);
    // Whether the window's program is on the accessibility bus.
    void Resolve(Window& t);

    WaylandConnection& c_;
    org_kde_plasma_window_management* manager_ = nullptr;
    std::map<WinHandle, Window> windows_;
    WinHandle nextHandle_ = 0x100;
    WinHandle foreground_ = 0;
    News news_;
    atspi::AccessibilityBridge bridge_;
};

}  // namespace rw::wl
