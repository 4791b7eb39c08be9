#include "backends/wayland/WaylandWindows.h"

#include <wayland-client.h>

#include <cstring>

#include "backends/linux/LinuxUtil.h"
#include "backends/posix/PosixProcess.h"
#include "platform/Keys.h"
#include "wlr-foreign-toplevel-management-unstable-v1-client-protocol.h"

namespace rw::wl {

namespace {

// A new program registers its accessible a moment after its window
// appears: the first lookup of a young toplevel waits this long for it.
constexpr std::uint32_t kYoungMs = 1500;
constexpr std::uint32_t kFrameWaitMs = 400;
constexpr std::uint32_t kFrameRetryMs = 40;
constexpr std::uint32_t kLookAgainMs = 2000;
constexpr std::uint32_t kAnswerHoldsMs = 15;

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

WaylandWindows::WaylandWindows(WaylandConnection& c) : c_(c) {}

WaylandWindows::~WaylandWindows() {
    for (auto& [w, t] : toplevels_)
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
    const WinHandle w = self->nextHandle_++;
    Toplevel& t = self->toplevels_[w];
    t.handle = h;
    t.bornMs = posix::MonotonicMs();
    zwlr_foreign_toplevel_handle_v1_add_listener(h, &listener, self);
}

void WaylandWindows::OnFinished(void* data, zwlr_foreign_toplevel_manager_v1*) {
    static_cast<WaylandWindows*>(data)->manager_ = nullptr;
}

WaylandWindows::Toplevel* WaylandWindows::FindByHandle(zwlr_foreign_toplevel_handle_v1* h, WinHandle* id) {
    for (auto& [w, t] : toplevels_) {
        if (t.handle == h) {
            if (id != nullptr) *id = w;
            return &t;
        }
    }
    return nullptr;
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
    if (!t->announced) {
        t->announced = true;
        self->news_.shell.emplace_back(1, w);
    }
    if (t->activated && self->foreground_ != w) {
        self->foreground_ = w;
        self->news_.shell.emplace_back(4, w);
    } else if (!t->activated && self->foreground_ == w) {
        self->foreground_ = 0;
    }
}

void WaylandWindows::OnClosed(void* data, zwlr_foreign_toplevel_handle_v1* h) {
    auto* self = static_cast<WaylandWindows*>(data);
    WinHandle w = 0;
    if (self->FindByHandle(h, &w) == nullptr) return;
    zwlr_foreign_toplevel_handle_v1_destroy(h);
    self->toplevels_.erase(w);
    if (self->foreground_ == w) self->foreground_ = 0;
    self->news_.gone.push_back(w);
}

News WaylandWindows::TakeNews() {
    News out;
    std::swap(out, news_);
    return out;
}

WaylandWindows::Toplevel* WaylandWindows::Find(WinHandle w) {
    if (w == 0) return nullptr;
    auto it = toplevels_.find(w);
    return it == toplevels_.end() || !it->second.announced ? nullptr : &it->second;
}

bool WaylandWindows::Alive(WinHandle w) const {
    auto it = toplevels_.find(w);
    return w != 0 && it != toplevels_.end() && it->second.announced;
}

WinHandle WaylandWindows::GetForegroundWindow() {
    c_.Pump();
    return Alive(foreground_) ? foreground_ : 0;
}

bool WaylandWindows::SetForegroundWindow(WinHandle w) {
    Toplevel* t = Find(w);
    if (t == nullptr || c_.seat() == nullptr) return false;
    zwlr_foreign_toplevel_handle_v1_activate(t->handle, c_.seat());
    // The compositor answers with the new state; give it a moment.
    for (int i = 0; i < 10; ++i) {
        if (!c_.Roundtrip()) return false;
        if (foreground_ == w) return true;
        if (!Alive(w)) return false;
        posix::SleepMs(10);
    }
    return foreground_ == w;
}

std::string WaylandWindows::GetWindowText(WinHandle w) {
    const Toplevel* t = Find(w);
    return t ? lnx::CutUtf8(t->title, 259) : std::string();
}

std::string WaylandWindows::GetClassName(WinHandle w) {
    const Toplevel* t = Find(w);
    return t ? lnx::CutUtf8(t->appId, 259) : std::string();
}

void WaylandWindows::Resolve(WinHandle w, Toplevel& t) {
    if (t.frameFound && t.frameTitle == t.title) return;
    // Frames are found by their title: without one there is nothing to
    // look for yet.
    if (t.title.empty()) return;
    if (t.frameTitle != t.title) {
        t.frameFound = false;
        t.frameWaited = false;
    }
    t.frameTitle = t.title;
    // Only a young toplevel is waited for, and only once: an older one
    // without a frame most likely has none (a program without
    // accessibility), and is looked up again only now and then.
    const std::uint32_t start = posix::MonotonicMs();
    const bool wait = !t.frameWaited && start - t.bornMs < kYoungMs;
    if (t.frameWaited && !wait && start - t.lookedUpMs < kLookAgainMs) return;
    t.frameWaited = true;
    t.lookedUpMs = start;
    for (;;) {
        const std::vector<atspi::AccFrame> frames = bridge_.FramesNamed(t.title);
        // The program named like the app id first; then one whose process no
        // other toplevel of that title has claimed; the last registered
        // (the newest) among equals.
        const atspi::AccFrame* best = nullptr;
        int bestScore = -1;
        for (const atspi::AccFrame& f : frames) {
            bool claimed = false;
            for (const auto& [ow, o] : toplevels_)
                claimed = claimed || (ow != w && o.frameFound && o.pid == f.pid && o.title == t.title);
            const int score = (AppMatches(f.app, t.appId) ? 2 : 0) + (claimed ? 0 : 1);
            if (score >= bestScore) {
                best = &f;
                bestScore = score;
            }
        }
        if (best != nullptr) {
            t.frameFound = true;
            t.pid = best->pid;
            t.w = best->w;
            t.h = best->h;
            return;
        }
        if (!wait || posix::MonotonicMs() - start >= kFrameWaitMs) return;
        posix::SleepMs(kFrameRetryMs);
    }
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

int WaylandWindows::IsWindowVisible(WinHandle w) {
    const Toplevel* t = Find(w);
    return t != nullptr && !t->minimized ? 1 : 0;
}

int WaylandWindows::IsIconic(WinHandle w) {
    const Toplevel* t = Find(w);
    return t != nullptr && t->minimized ? 1 : 0;
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

bool WaylandWindows::WaitUntilAnswers(WinHandle w, std::uint32_t timeoutMs) {
    if (!Alive(w) || !c_.SyncSent() || !Alive(w)) return false;
    // The compositor has handed on all we sent; whether the program has
    // read it, only the program can tell. Its accessibility bridge answers
    // on its main loop, which reads the keys: waiting for that answer keeps
    // the keys from piling up in a slow program's socket (the compositor
    // drops a program whose socket overflows).
    Toplevel* t = Find(w);
    if (t == nullptr) return false;
    Resolve(w, *t);
    if (!t->frameFound) return true;
    // One answer stands for the few keys that follow it within a short
    // while: enough to keep a slow program from being flooded, without a
    // call into the program for every key.
    const std::uint32_t now = posix::MonotonicMs();
    if (t->answeredMs != 0 && now - t->answeredMs < kAnswerHoldsMs) return true;
    if (!bridge_.Answers(t->pid, static_cast<int>(timeoutMs))) return false;
    t->answeredMs = posix::MonotonicMs();
    return true;
}

WinHandle WaylandWindows::FocusedControl(WinHandle w) { return w != 0 && w == GetForegroundWindow() ? w : 0; }

}  // namespace rw::wl
