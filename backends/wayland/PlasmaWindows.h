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
#include <string>

#include "backends/wayland/ToplevelBook.h"
#include "backends/wayland/WaylandConnection.h"

struct org_kde_plasma_window;
struct org_kde_plasma_window_management;

namespace rw::wl {

struct PlasmaWindow : BookEntry {
    org_kde_plasma_window* handle = nullptr;
    bool active = false;
    int x = 0, y = 0, w = 0, h = 0;
};

class PlasmaWindows final : public ToplevelBook<PlasmaWindow> {
public:
    explicit PlasmaWindows(WaylandConnection& c);
    ~PlasmaWindows() override;
    PlasmaWindows(const PlasmaWindows&) = delete;
    PlasmaWindows& operator=(const PlasmaWindows&) = delete;

    // Binds KWin's window management and starts following its windows;
    // false where it is not offered to this program.
    bool Follow();

    // The window's frame on the screen, as KWin places it.
    bool GetWindowRect(WinHandle w, Rect& r) override;
    bool ShowWindow(WinHandle w, std::uint32_t cmd) override;
    bool PostClose(WinHandle w) override;
    // KWin tells it.
    std::uint32_t GetWindowProcessId(WinHandle w) override;

    bool Ok() const override { return manager_ != nullptr; }

private:
    using Window = PlasmaWindow;

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
    bool Activate(Window& t) override;
    // Whether the window's program (KWin tells which) is on the
    // accessibility bus.
    void Resolve(WinHandle w, Window& t) override;

    org_kde_plasma_window_management* manager_ = nullptr;
};

}  // namespace rw::wl
