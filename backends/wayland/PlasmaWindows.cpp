#include "backends/wayland/PlasmaWindows.h"

#include <wayland-client.h>

#include "backends/linux/LinuxUtil.h"
#include "backends/posix/PosixProcess.h"
#include "platform/Keys.h"
#include "plasma-window-management-client-protocol.h"

namespace rw::wl {

namespace {

// The protocol's version as KWin 5.27 speaks it; windows are asked for by
// their uuid from version 13 on.
constexpr std::uint32_t kVersion = 16;
constexpr std::uint32_t kUuidSince = 13;
// A new program registers its accessible a moment after its window
// appears: the first lookup of a young window waits this long for it.
constexpr std::uint32_t kYoungMs = 1500;
constexpr std::uint32_t kFrameWaitMs = 400;
constexpr std::uint32_t kFrameRetryMs = 40;
constexpr std::uint32_t kLookAgainMs = 2000;
constexpr std::uint32_t kAnswerHoldsMs = 15;

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

PlasmaWindows::PlasmaWindows(WaylandConnection& c) : c_(c) {}

PlasmaWindows::~PlasmaWindows() {
    for (auto& [w, t] : windows_)
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
    const WinHandle w = nextHandle_++;
    Window& t = windows_[w];
    t.handle = h;
    t.bornMs = posix::MonotonicMs();
    org_kde_plasma_window_add_listener(h, &listener, this);
}

PlasmaWindows::Window* PlasmaWindows::FindByHandle(org_kde_plasma_window* h, WinHandle* id) {
    for (auto& [w, t] : windows_) {
        if (t.handle == h) {
            if (id != nullptr) *id = w;
            return &t;
        }
    }
    return nullptr;
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
    if (t->announced) self->NoteActive(w, *t);
}

void PlasmaWindows::OnInitialState(void* data, org_kde_plasma_window* h) {
    auto* self = static_cast<PlasmaWindows*>(data);
    WinHandle w = 0;
    Window* t = self->FindByHandle(h, &w);
    if (t == nullptr || t->announced) return;
    t->announced = true;
    self->news_.shell.emplace_back(1, w);
    self->NoteActive(w, *t);
}

void PlasmaWindows::NoteActive(WinHandle w, const Window& t) {
    if (t.active && foreground_ != w) {
        foreground_ = w;
        news_.shell.emplace_back(4, w);
    } else if (!t.active && foreground_ == w) {
        foreground_ = 0;
    }
}

void PlasmaWindows::OnUnmapped(void* data, org_kde_plasma_window* h) {
    auto* self = static_cast<PlasmaWindows*>(data);
    WinHandle w = 0;
    Window* t = self->FindByHandle(h, &w);
    if (t == nullptr) return;
    const bool announced = t->announced;
    Drop(h);
    self->windows_.erase(w);
    if (self->foreground_ == w) self->foreground_ = 0;
    if (announced) self->news_.gone.push_back(w);
}

News PlasmaWindows::TakeNews() {
    News out;
    std::swap(out, news_);
    return out;
}

PlasmaWindows::Window* PlasmaWindows::Find(WinHandle w) {
    if (w == 0) return nullptr;
    auto it = windows_.find(w);
    return it == windows_.end() || !it->second.announced ? nullptr : &it->second;
}

bool PlasmaWindows::Alive(WinHandle w) const {
    auto it = windows_.find(w);
    return w != 0 && it != windows_.end() && it->second.announced;
}

WinHandle PlasmaWindows::GetForegroundWindow() {
    c_.Pump();
    return Alive(foreground_) ? foreground_ : 0;
}

bool PlasmaWindows::SetForegroundWindow(WinHandle w) {
    Window* t = Find(w);
    if (t == nullptr) return false;
    org_kde_plasma_window_set_state(t->handle, kActive, kActive);
    // KWin answers with the new state; give it a moment.
    for (int i = 0; i < 10; ++i) {
        if (!c_.Roundtrip()) return false;
        if (foreground_ == w) return true;
        if (!Alive(w)) return false;
        posix::SleepMs(10);
    }
    return foreground_ == w;
}

std::string PlasmaWindows::GetWindowText(WinHandle w) {
    const Window* t = Find(w);
    return t ? lnx::CutUtf8(t->title, 259) : std::string();
}

std::string PlasmaWindows::GetClassName(WinHandle w) {
    const Window* t = Find(w);
    return t ? lnx::CutUtf8(t->appId, 259) : std::string();
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

int PlasmaWindows::IsWindowVisible(WinHandle w) {
    const Window* t = Find(w);
    return t != nullptr && !t->minimized ? 1 : 0;
}

int PlasmaWindows::IsIconic(WinHandle w) {
    const Window* t = Find(w);
    return t != nullptr && t->minimized ? 1 : 0;
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

void PlasmaWindows::Resolve(Window& t) {
    if (t.title.empty() || t.pid == 0) return;
    if (t.frameFound && t.frameTitle == t.title) return;
    if (t.frameTitle != t.title) {
        t.frameFound = false;
        t.frameWaited = false;
    }
    t.frameTitle = t.title;
    // Only a young window is waited for, and only once: an older one
    // without a frame most likely has none (a program without
    // accessibility), and is looked up again only now and then.
    const std::uint32_t start = posix::MonotonicMs();
    const bool wait = !t.frameWaited && start - t.bornMs < kYoungMs;
    if (t.frameWaited && !wait && start - t.lookedUpMs < kLookAgainMs) return;
    t.frameWaited = true;
    t.lookedUpMs = start;
    for (;;) {
        for (const atspi::AccFrame& f : bridge_.FramesNamed(t.title)) t.frameFound = t.frameFound || f.pid == t.pid;
        if (t.frameFound || !wait || posix::MonotonicMs() - start >= kFrameWaitMs) return;
        posix::SleepMs(kFrameRetryMs);
    }
}

bool PlasmaWindows::WaitUntilAnswers(WinHandle w, std::uint32_t timeoutMs) {
    if (!Alive(w) || !c_.SyncSent() || !Alive(w)) return false;
    // KWin has handed on all we sent; whether the program has read it, only
    // the program can tell. Its accessibility bridge answers on its main
    // loop, which reads the keys: waiting for that answer keeps the keys
    // from piling up in a slow program's socket.
    Window* t = Find(w);
    if (t == nullptr) return false;
    Resolve(*t);
    if (!t->frameFound) return true;
    // One answer stands for the few keys that follow it within a short
    // while.
    const std::uint32_t now = posix::MonotonicMs();
    if (t->answeredMs != 0 && now - t->answeredMs < kAnswerHoldsMs) return true;
    if (!bridge_.Answers(t->pid, static_cast<int>(timeoutMs))) return false;
    t->answeredMs = posix::MonotonicMs();
    return true;
}

WinHandle PlasmaWindows::FocusedControl(WinHandle w) { return w != 0 && w == GetForegroundWindow() ? w : 0; }

}  // namespace rw::wl
