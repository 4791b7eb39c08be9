#include "backends/wayland/WaylandWindowSystem.h"

#include <cstdio>
#include <cstdlib>

#include "backends/wayland/WaylandConnection.h"
#include "backends/wayland/WaylandKeyboard.h"
#include "backends/wayland/WaylandWindows.h"

namespace rw::wl {

namespace {
// Far above the handles toplevels get, which count up from 0x100.
constexpr WinHandle kMainWindow = 0xFFFFFF00u;
}  // namespace

WaylandWindowSystem::WaylandWindowSystem(const char* displayName, int argc, char** argv)
    : c_(std::make_unique<WaylandConnection>(displayName)),
      windows_(std::make_unique<WaylandWindows>(*c_)),
      keyboard_(std::make_unique<WaylandKeyboard>(*c_, *windows_)),
      facts_(*c_, argc, argv),
      dialogs_(*windows_),
      roles_{files_, facts_, clock_, clipboard_, *windows_, processes_, *keyboard_, dialogs_} {
    c_->onToplevelManager = [this](zwlr_foreign_toplevel_manager_v1* m) { windows_->Follow(m); };
    // The globals, then the toplevels there are now.
    if (!c_->Roundtrip() || !c_->Roundtrip()) return;
    keyboard_->Start();
}

WaylandWindowSystem::~WaylandWindowSystem() = default;

bool WaylandWindowSystem::Ok() const {
    return c_->Ok() && c_->toplevels() != nullptr && keyboard_->Ok();
}

const char* WaylandWindowSystem::Problem() const {
    if (!c_->Ok()) return "cannot connect to the Wayland compositor";
    if (c_->toplevels() == nullptr) return "the compositor does not list its windows (no wlr foreign-toplevel management)";
    if (c_->virtualKeyboards() == nullptr) return "the compositor offers no virtual keyboard";
    if (!keyboard_->Ok()) return "the keyboard layout could not be set up";
    return "";
}

WinHandle WaylandWindowSystem::CreateMainWindow() { return kMainWindow; }

int WaylandWindowSystem::EventFd() const { return c_->Fd(); }

void WaylandWindowSystem::DispatchEvents() {
    if (!c_->Pump()) {
        // The compositor is gone: the session has ended. As Xlib does when
        // the X server goes, the program ends (its items are written at exit).
        std::fputs("replywick: the Wayland connection was lost\n", stderr);
        std::exit(1);
    }
    HandOnNews();
}

void WaylandWindowSystem::HandOnNews() {
    // Not re-entered: a handler that plays a macro serves events meanwhile,
    // and what they bring waits until it has returned, as on X11.
    if (handing_) return;
    handing_ = true;
    for (;;) {
        WaylandWindows::News news = windows_->TakeNews();
        if (news.empty()) break;
        for (WinHandle w : news.gone)
            if (events.onClientGone) events.onClientGone(w);
        for (const auto& [code, w] : news.shell)
            if (events.onShellHook) events.onShellHook(code, w);
    }
    handing_ = false;
}

bool WaylandWindowSystem::HasQueuedEvents() const {
    return windows_->HasNews() || c_->HasQueuedEvents();
}

std::int32_t WaylandFacts::GetScreenWidth() { return c_.ScreenWidth(); }
std::int32_t WaylandFacts::GetScreenHeight() { return c_.ScreenHeight(); }

}  // namespace rw::wl
