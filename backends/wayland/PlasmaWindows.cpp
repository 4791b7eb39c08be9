#include "backends/wayland/PlasmaWindows.h"

#include <wayland-client.h>

#include "platform/Keys.h"
#include "plasma-window-management-client-protocol.h"

namespace rw::wl {

namespace {

// The protocol's version as KWin 5.27 speaks it; windows are asked for by
// their uuid from version 13 on.
constexpr std::uint32_t kVersion = 16;
constexpr std::uint32_t kUuidSince = 13;
// A window's destructor request came with version 4; before it, the
// proxy alone goes.
void Drop(org_kde_plasma_window* h) {
    if (org_kde_plasma_window_get_version(h) >= ORG_KDE_PLASMA_WINDOW_DESTROY_SINCE_VERSION) {
        org_kde_plasma_window_destroy(h);
    } else {
        wl_proxy_destroy(reinterpret_cast<wl_proxy*>(h));
    }
}

constexpr std::uint32_t kActive = ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STATE_ACTIVE;
constexpr std::uint32_t kMinimized = ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STATE_MINIMIZED;
constexpr std::uint32_t kMaximized = ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STATE_MAXIMIZED;

}  // namespace

PlasmaWindows::PlasmaWindows(WaylandConnection& c) : ToplevelBook(c) {}

PlasmaWindows::~PlasmaWindows() {
    for (auto& [w, t] : entries_)
        if (t.handle != nullptr) Drop(t.handle);
    if (manager_ != nullptr) org_kde_plasma_window_management_destroy(manager_);
}

bool PlasmaWindows::Follow() {
    manager_ = static_cast<org_kde_plasma_window_management*>(
        c_.Bind(org_kde_plasma_window_management_interface, kVersion));
    if (manager_ == nullptr) return false;
    static const org_kde_plasma_window_management_listener listener = {
        [](void*, org_kde_plasma_window_management*, std::uint32_t) {},
        // Before windows had uuids they were asked for by number.
        [](void* data, org_kde_plasma_window_management* m, std::uint32_t id) {
            if (org_kde_plasma_window_management_get_version(m) < kUuidSince)
                static_cast<PlasmaWindows*>(data)->Track(org_kde_plasma_window_management_get_window(m, id));
        },
        [](void*, org_kde_plasma_window_management*, wl_array*) {},
        [](void*, org_kde_plasma_window_management*, const char*) {},
        &PlasmaWindows::OnWindow,
    };
    org_kde_plasma_window_management_add_listener(manager_, &listener, this);
    return true;
}

void PlasmaWindows::OnWindow(void* data, org_kde_plasma_window_management* m, std::uint32_t, const char* uuid) {
    if (uuid == nullptr) return;
    static_cast<PlasmaWindows*>(data)->Track(org_kde_plasma_window_management_get_window_by_uuid(m, uuid));
}

void PlasmaWindows::Track(org_kde_plasma_window* h) {
    if (h == nullptr) return;
    static const org_kde_plasma_window_listener listener = {
        &PlasmaWindows::OnTitle,
        &PlasmaWindows::OnAppId,
        &PlasmaWindows::OnState,
        [](void*, org_kde_plasma_window*, std::int32_t) {},
        [](void*, org_kde_plasma_window*, const char*) {},
        &PlasmaWindows::OnUnmapped,
        &PlasmaWindows::OnInitialState,
        [](void*, org_kde_plasma_window*, org_kde_plasma_window*) {},
        &PlasmaWindows::OnGeometry,
        [](void*, org_kde_plasma_window*) {},
        &PlasmaWindows::OnPid,
        [](void*, org_kde_plasma_window*, const char*) {},
        [](void*, org_kde_plasma_window*, const char*) {},
        [](void*, org_kde_plasma_window*, const char*, const char*) {},
        [](void*, org_kde_plasma_window*, const char*) {},
        [](void*, org_kde_plasma_window*, const char*) {},
        [](void*, org_kde_plasma_window*, const char*) {},
    };
    Add(h);
    org_kde_plasma_window_add_listener(h, &listener, this);
}

void PlasmaWindows::OnTitle(void* data, org_kde_plasma_window* h, const char* title) {
    if (Window* t = static_cast<PlasmaWindows*>(data)->FindByHandle(h)) t->title = title ? title : "";
}

void PlasmaWindows::OnAppId(void* data, org_kde_plasma_window* h, const char* appId) {
    if (Window* t = static_cast<PlasmaWindows*>(data)->FindByHandle(h)) t->appId = appId ? appId : "";
}

void PlasmaWindows::OnPid(void* data, org_kde_plasma_window* h, std::uint32_t pid) {
    if (Window* t = static_cast<PlasmaWindows*>(data)->FindByHandle(h)) t->pid = pid;
}

void PlasmaWindows::OnGeometry(void* data, org_kde_plasma_window* h, std::int32_t x, std::int32_t y, std::uint32_t w,
                               std::uint32_t hh) {
    Window* t = static_cast<PlasmaWindows*>(data)->FindByHandle(h);
    if (t == nullptr) return;
    t->x = x;
    t->y = y;
    t->w = static_cast<int>(w);
    t->h = static_cast<int>(hh);
}

void PlasmaWindows::OnState(void* data, org_kde_plasma_window* h, std::uint32_t flags) {
    auto* self = static_cast<PlasmaWindows*>(data);
    WinHandle w = 0;
    Window* t = self->FindByHandle(h, &w);
    if (t == nullptr) return;
    t->active = (flags & kActive) != 0;
    t->minimized = (flags & kMinimized) != 0;
    // Until KWin has told all it knows, the window is not announced, nor is
    // it the foreground.
    if (t->announced) self->NoteActive(w, t->active);
}

void PlasmaWindows::OnInitialState(void* data, org_kde_plasma_window* h) {
    auto* self = static_cast<PlasmaWindows*>(data);
    WinHandle w = 0;
    Window* t = self->FindByHandle(h, &w);
    if (t == nullptr || t->announced) return;
    self->Announce(w, *t);
    self->NoteActive(w, t->active);
}

void PlasmaWindows::OnUnmapped(void* data, org_kde_plasma_window* h) {
    auto* self = static_cast<PlasmaWindows*>(data);
    WinHandle w = 0;
    Window* t = self->FindByHandle(h, &w);
    if (t == nullptr) return;
    const bool announced = t->announced;
    Drop(h);
    self->Forget(w, announced);
}

bool PlasmaWindows::Activate(Window& t) {
    org_kde_plasma_window_set_state(t.handle, kActive, kActive);
    return true;
}

bool PlasmaWindows::GetWindowRect(WinHandle w, Rect& r) {
    r = Rect{};
    const Window* t = Find(w);
    if (t == nullptr) return false;
    r.left = t->x;
    r.top = t->y;
    r.right = t->x + t->w;
    r.bottom = t->y + t->h;
    return true;
}

std::uint32_t PlasmaWindows::GetWindowProcessId(WinHandle w) {
    const Window* t = Find(w);
    return t ? t->pid : 0;
}

bool PlasmaWindows::ShowWindow(WinHandle w, std::uint32_t cmd) {
    Window* t = Find(w);
    if (t == nullptr) return false;
    if (cmd == show::Minimized) {
        org_kde_plasma_window_set_state(t->handle, kMinimized, kMinimized);
    } else if (cmd == show::Maximized) {
        org_kde_plasma_window_set_state(t->handle, kMaximized, kMaximized);
    } else {
        org_kde_plasma_window_set_state(t->handle, kMinimized | kMaximized, 0);
    }
    return c_.Roundtrip();
}

bool PlasmaWindows::PostClose(WinHandle w) {
    Window* t = Find(w);
    if (t == nullptr) return false;
    org_kde_plasma_window_close(t->handle);
    wl_display_flush(c_.display());
    return true;
}

void PlasmaWindows::Resolve(WinHandle, Window& t) {
    if (t.pid == 0) return;
    LookUpFrame(t, [&] {
        for (const atspi::AccFrame& f : bridge_.FramesNamed(t.title)) t.frameFound = t.frameFound || f.pid == t.pid;
        return t.frameFound;
    });
}

}  // namespace rw::wl
