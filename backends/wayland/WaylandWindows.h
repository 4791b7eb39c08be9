// The Windows role on a wlroots compositor: the toplevels of the
// foreign-toplevel protocol with their title, app id and states, the
// foreground (the toplevel in the activated state), and the window
// commands the protocol offers. What the protocol does not tell (the
// process and the size) comes from the accessibility bus: the frame whose
// name is the title, preferring the program named like the app id.
//
// Window handles are numbers given to toplevels in the order they appear,
// never given again: the handle alone is the identity. A request on a
// toplevel that is gone yields 0, empty text or false.
#pragma once

#include <cstdint>
#include <string>

#include "backends/wayland/ToplevelBook.h"
#include "backends/wayland/WaylandConnection.h"

struct zwlr_foreign_toplevel_handle_v1;
struct zwlr_foreign_toplevel_manager_v1;
struct wl_array;

namespace rw::wl {

struct WaylandToplevel : BookEntry {
    zwlr_foreign_toplevel_handle_v1* handle = nullptr;
    bool activated = false, maximized = false;
    // Pending until the next done event.
    std::string nextTitle, nextAppId;
    bool nextActivated = false, nextMinimized = false, nextMaximized = false;
    // The size of the accessible frame.
    int w = 0, h = 0;
};

class WaylandWindows final : public ToplevelBook<WaylandToplevel> {
public:
    explicit WaylandWindows(WaylandConnection& c);
    ~WaylandWindows() override;
    WaylandWindows(const WaylandWindows&) = delete;
    WaylandWindows& operator=(const WaylandWindows&) = delete;

    // Starts following the toplevels of the manager.
    void Follow(zwlr_foreign_toplevel_manager_v1* manager);

    // No position is known on Wayland: the rectangle is the window's size at
    // 0,0, from its accessible frame, or 1 by 1 when no frame tells it (so
    // that the window can still be matched by everything but its size).
    bool GetWindowRect(WinHandle w, Rect& r) override;
    bool ShowWindow(WinHandle w, std::uint32_t cmd) override;
    bool PostClose(WinHandle w) override;
    // The process of the toplevel's accessible frame.
    std::uint32_t GetWindowProcessId(WinHandle w) override;

    // Following the compositor's toplevel list.
    bool Ok() const override { return manager_ != nullptr; }

private:
    using Toplevel = WaylandToplevel;

    static void OnToplevel(void* data, zwlr_foreign_toplevel_manager_v1* m, zwlr_foreign_toplevel_handle_v1* h);
    static void OnFinished(void* data, zwlr_foreign_toplevel_manager_v1* m);
    static void OnTitle(void* data, zwlr_foreign_toplevel_handle_v1* h, const char* title);
    static void OnAppId(void* data, zwlr_foreign_toplevel_handle_v1* h, const char* appId);
    static void OnState(void* data, zwlr_foreign_toplevel_handle_v1* h, wl_array* state);
    static void OnDone(void* data, zwlr_foreign_toplevel_handle_v1* h);
    static void OnClosed(void* data, zwlr_foreign_toplevel_handle_v1* h);

    bool Activate(Toplevel& t) override;
    // Ties the toplevel to its accessible frame (once per title).
    void Resolve(WinHandle w, Toplevel& t) override;

    zwlr_foreign_toplevel_manager_v1* manager_ = nullptr;
};

}  // namespace rw::wl
