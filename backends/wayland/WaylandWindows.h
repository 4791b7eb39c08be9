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
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "backends/atspi/AccessibilityBridge.h"
#include "backends/wayland/Desktop.h"
#include "backends/wayland/WaylandConnection.h"

struct zwlr_foreign_toplevel_handle_v1;
struct zwlr_foreign_toplevel_manager_v1;
struct wl_array;

namespace rw::wl {

class WaylandWindows final : public Toplevels {
public:
    explicit WaylandWindows(WaylandConnection& c);
    ~WaylandWindows() override;
    WaylandWindows(const WaylandWindows&) = delete;
    WaylandWindows& operator=(const WaylandWindows&) = delete;

    // Starts following the toplevels of the manager.
    void Follow(zwlr_foreign_toplevel_manager_v1* manager);

    WinHandle GetForegroundWindow() override;
    // Asks the compositor to activate w and waits a little for it.
    bool SetForegroundWindow(WinHandle w) override;
    std::string GetWindowText(WinHandle w) override;
    // The app id (zenity, org.kde.kdialog), the Wayland name of a program.
    std::string GetClassName(WinHandle w) override;
    // No position is known on Wayland: the rectangle is the window's size at
    // 0,0, from its accessible frame, or 1 by 1 when no frame tells it (so
    // that the window can still be matched by everything but its size).
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
    // A round trip to the compositor (when keys were sent since the last
    // one): every key sent before has then been handed to the window's
    // program; and, now and then, an answer from the program itself.
    bool WaitUntilAnswers(WinHandle w, std::uint32_t timeoutMs) override;
    // The toplevel in front has the focus; nothing inside it can be told.
    WinHandle FocusedControl(WinHandle w) override;
    std::uint32_t GetWindowProcessId(WinHandle w) override;

    // Following the compositor's toplevel list.
    bool Ok() const override { return manager_ != nullptr; }
    bool Alive(WinHandle w) const override;
    News TakeNews() override;
    bool HasNews() const override { return !news_.empty(); }

private:
    struct Toplevel {
        zwlr_foreign_toplevel_handle_v1* handle = nullptr;
        std::string title, appId;
        bool activated = false, minimized = false, maximized = false;
        // Pending until the next done event.
        std::string nextTitle, nextAppId;
        bool nextActivated = false, nextMinimized = false, nextMaximized = false;
        bool announced = false;
        std::uint32_t bornMs = 0;
        // From the accessibility bus, for the title it was found by.
        std::string frameTitle;
        bool frameFound = false;
        bool frameWaited = false;
        std::uint32_t lookedUpMs = 0;
        std::uint32_t answeredMs = 0;  // when the program last answered
        std::uint32_t pid = 0;
        int w = 0, h = 0;
    };

    static void OnToplevel(void* data, zwlr_foreign_toplevel_manager_v1* m, zwlr_foreign_toplevel_handle_v1* h);
    static void OnFinished(void* data, zwlr_foreign_toplevel_manager_v1* m);
    static void OnTitle(void* data, zwlr_foreign_toplevel_handle_v1* h, const char* title);
    static void OnAppId(void* data, zwlr_foreign_toplevel_handle_v1* h, const char* appId);
    static void OnState(void* data, zwlr_foreign_toplevel_handle_v1* h, wl_array* state);
    static void OnDone(void* data, zwlr_foreign_toplevel_handle_v1* h);
    static void OnClosed(void* data, zwlr_foreign_toplevel_handle_v1* h);

    Toplevel* Find(WinHandle w);
    Toplevel* FindByHandle(zwlr_foreign_toplevel_handle_v1* h, WinHandle* id = nullptr);
    // Ties the toplevel to its accessible frame (once per title).
    void Resolve(WinHandle w, Toplevel& t);

    WaylandConnection& c_;
    zwlr_foreign_toplevel_manager_v1* manager_ = nullptr;
    std::map<WinHandle, Toplevel> toplevels_;
    WinHandle nextHandle_ = 0x100;
    WinHandle foreground_ = 0;
    News news_;
    atspi::AccessibilityBridge bridge_;
};

}  // namespace rw::wl
