#include "backends/wayland/WaylandWindows.h"

#include <wayland-client.h>

#include <vector>

#include "platform/Keys.h"
#include "wlr-foreign-toplevel-management-unstable-v1-client-protocol.h"

namespace rw::wl {

namespace {

std::string Lower(std::string s) {
    for (char& ch : s)
        if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
    return s;
}

// Whether a program's accessible name stands for the app id: the same
// name, or its last part (org.kde.kdialog for kdialog), in any case.
bool AppMatches(const std::string& app, const std::string& appId) {
    if (app.empty() || appId.empty()) return false;
    const std::string a = Lower(app), id = Lower(appId);
    if (a == id) return true;
    const auto dot = id.rfind('.');
    return dot != std::string::npos && id.compare(dot + 1, std::string::npos, a) == 0;
}

}  // namespace

WaylandWindows::WaylandWindows(WaylandConnection& c) : ToplevelBook(c) {}

WaylandWindows::~WaylandWindows() {
    for (auto& [w, t] : entries_)
        if (t.handle != nullptr) zwlr_foreign_toplevel_handle_v1_destroy(t.handle);
}

void WaylandWindows::Follow(zwlr_foreign_toplevel_manager_v1* manager) {
    manager_ = manager;
    static const zwlr_foreign_toplevel_manager_v1_listener listener = {&WaylandWindows::OnToplevel,
                                                                       &WaylandWindows::OnFinished};
    zwlr_foreign_toplevel_manager_v1_add_listener(manager, &listener, this);
}

void WaylandWindows::OnToplevel(void* data, zwlr_foreign_toplevel_manager_v1*, zwlr_foreign_toplevel_handle_v1* h) {
    auto* self = static_cast<WaylandWindows*>(data);
    static const zwlr_foreign_toplevel_handle_v1_listener listener = {
        &WaylandWindows::OnTitle,
        &WaylandWindows::OnAppId,
        [](void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {},
        [](void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {},
        &WaylandWindows::OnState,
        &WaylandWindows::OnDone,
        &WaylandWindows::OnClosed,
        [](void*, zwlr_foreign_toplevel_handle_v1*, zwlr_foreign_toplevel_handle_v1*) {},
    };
    self->Add(h);
    zwlr_foreign_toplevel_handle_v1_add_listener(h, &listener, self);
}

void WaylandWindows::OnFinished(void* data, zwlr_foreign_toplevel_manager_v1*) {
    static_cast<WaylandWindows*>(data)->manager_ = nullptr;
}

void WaylandWindows::OnTitle(void* data, zwlr_foreign_toplevel_handle_v1* h, const char* title) {
    if (Toplevel* t = static_cast<WaylandWindows*>(data)->FindByHandle(h)) t->nextTitle = title ? title : "";
}

void WaylandWindows::OnAppId(void* data, zwlr_foreign_toplevel_handle_v1* h, const char* appId) {
    if (Toplevel* t = static_cast<WaylandWindows*>(data)->FindByHandle(h)) t->nextAppId = appId ? appId : "";
}

void WaylandWindows::OnState(void* data, zwlr_foreign_toplevel_handle_v1* h, wl_array* state) {
    Toplevel* t = static_cast<WaylandWindows*>(data)->FindByHandle(h);
    if (t == nullptr) return;
    t->nextActivated = t->nextMinimized = t->nextMaximized = false;
    const auto* s = static_cast<const std::uint32_t*>(state->data);
    for (std::size_t i = 0; i < state->size / sizeof(std::uint32_t); ++i) {
        switch (s[i]) {
            case ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED: t->nextActivated = true; break;
            case ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_MINIMIZED: t->nextMinimized = true; break;
            case ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_MAXIMIZED: t->nextMaximized = true; break;
            default: break;
        }
    }
}

void WaylandWindows::OnDone(void* data, zwlr_foreign_toplevel_handle_v1* h) {
    auto* self = static_cast<WaylandWindows*>(data);
    WinHandle w = 0;
    Toplevel* t = self->FindByHandle(h, &w);
    if (t == nullptr) return;
    t->title = t->nextTitle;
    t->appId = t->nextAppId;
    t->activated = t->nextActivated;
    t->minimized = t->nextMinimized;
    t->maximized = t->nextMaximized;
    self->Announce(w, *t);
    self->NoteActive(w, t->activated);
}

void WaylandWindows::OnClosed(void* data, zwlr_foreign_toplevel_handle_v1* h) {
    auto* self = static_cast<WaylandWindows*>(data);
    WinHandle w = 0;
    if (self->FindByHandle(h, &w) == nullptr) return;
    zwlr_foreign_toplevel_handle_v1_destroy(h);
    self->Forget(w, true);
}

bool WaylandWindows::Activate(Toplevel& t) {
    if (c_.seat() == nullptr) return false;
    zwlr_foreign_toplevel_handle_v1_activate(t.handle, c_.seat());
    return true;
}

void WaylandWindows::Resolve(WinHandle w, Toplevel& t) {
    LookUpFrame(t, [&] {
        const std::vector<atspi::AccFrame> frames = bridge_.FramesNamed(t.title);
        // The program named like the app id first; then one whose process no
        // other toplevel of that title has claimed; the last registered
        // (the newest) among equals.
        const atspi::AccFrame* best = nullptr;
        int bestScore = -1;
        for (const atspi::AccFrame& f : frames) {
            bool claimed = false;
            for (const auto& [ow, o] : entries_)
                claimed = claimed || (ow != w && o.frameFound && o.pid == f.pid && o.title == t.title);
            const int score = (AppMatches(f.app, t.appId) ? 2 : 0) + (claimed ? 0 : 1);
            if (score >= bestScore) {
                best = &f;
                bestScore = score;
            }
        }
        if (best == nullptr) return false;
        t.frameFound = true;
        t.pid = best->pid;
        t.w = best->w;
        t.h = best->h;
        return true;
    });
}

bool WaylandWindows::GetWindowRect(WinHandle w, Rect& r) {
    r = Rect{};
    Toplevel* t = Find(w);
    if (t == nullptr) return false;
    Resolve(w, *t);
    r.right = t->frameFound && t->w > 0 ? t->w : 1;
    r.bottom = t->frameFound && t->h > 0 ? t->h : 1;
    return true;
}

std::uint32_t WaylandWindows::GetWindowProcessId(WinHandle w) {
    Toplevel* t = Find(w);
    if (t == nullptr) return 0;
    Resolve(w, *t);
    return t->frameFound ? t->pid : 0;
}

bool WaylandWindows::ShowWindow(WinHandle w, std::uint32_t cmd) {
    Toplevel* t = Find(w);
    if (t == nullptr) return false;
    if (cmd == show::Minimized) {
        zwlr_foreign_toplevel_handle_v1_set_minimized(t->handle);
    } else if (cmd == show::Maximized) {
        zwlr_foreign_toplevel_handle_v1_set_maximized(t->handle);
    } else {
        zwlr_foreign_toplevel_handle_v1_unset_minimized(t->handle);
        zwlr_foreign_toplevel_handle_v1_unset_maximized(t->handle);
    }
    return c_.Roundtrip();
}

bool WaylandWindows::PostClose(WinHandle w) {
    Toplevel* t = Find(w);
    if (t == nullptr) return false;
    zwlr_foreign_toplevel_handle_v1_close(t->handle);
    wl_display_flush(c_.display());
    return true;
}

}  // namespace rw::wl
