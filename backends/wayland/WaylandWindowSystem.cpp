#include "backends/wayland/WaylandWindowSystem.h"

#include <sys/epoll.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "backends/wayland/Desktop.h"
#include "backends/wayland/Desktops.h"
#include "backends/wayland/WaylandConnection.h"

namespace rw::wl {

namespace {
// Far above the handles windows get, which count up from 0x100.
constexpr WinHandle kMainWindow = 0xFFFFFF00u;
}  // namespace

WaylandWindowSystem::WaylandWindowSystem(const char* displayName, int argc, char** argv)
    : c_(std::make_unique<WaylandConnection>(displayName)), facts_(*c_, argc, argv) {
    // The globals; then, before any event of what was bound is handled, the
    // ways of this desktop, so that they see every event from the first.
    if (!c_->Roundtrip()) return;
    windows_ = ChooseToplevels(*c_, windowsWay_);
    if (windows_ == nullptr) return;
    keyboard_ = ChooseKeyboard(*c_, *windows_, keysWay_);
    if (keyboard_ == nullptr) return;
    dialogs_ = std::make_unique<atspi::AccessibleDialogs>(*windows_);
    roles_ = std::make_unique<Platform>(
        Platform{files_, facts_, clock_, clipboard_, *windows_, processes_, *keyboard_, *dialogs_});
    // The windows there are now.
    if (!c_->Roundtrip()) return;
    keyboard_->Start();
    epoll_ = epoll_create1(EPOLL_CLOEXEC);
    Watch(c_->Fd());
    Watch(windows_->SourceFd());
    Watch(keyboard_->SourceFd());
}

WaylandWindowSystem::~WaylandWindowSystem() {
    if (epoll_ >= 0) close(epoll_);
}

void WaylandWindowSystem::Watch(int fd) {
    if (epoll_ < 0 || fd < 0) return;
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.fd = fd;
    epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &ev);
}

bool WaylandWindowSystem::Ok() const {
    return c_->Ok() && roles_ != nullptr && windows_->Ok() && keyboard_->Ok() && epoll_ >= 0;
}

const char* WaylandWindowSystem::Problem() const {
    if (!c_->Ok()) return "cannot connect to the Wayland compositor";
    if (windows_ == nullptr) return windowsWay_.c_str();
    if (keyboard_ == nullptr) return keysWay_.c_str();
    if (!windows_->Ok()) return "the windows cannot be followed";
    if (!keyboard_->Ok()) return "the keyboard could not be set up";
    return "";
}

WinHandle WaylandWindowSystem::CreateMainWindow() { return kMainWindow; }

// One descriptor for all the connections: readable when any of them is.
int WaylandWindowSystem::EventFd() const { return epoll_; }

void WaylandWindowSystem::DispatchEvents() {
    if (!c_->Pump()) {
        // The compositor is gone: the session has ended. As Xlib does when
        // the X server goes, the program ends (its items are written at exit).
        std::fputs("replywick: the Wayland connection was lost\n", stderr);
        std::exit(1);
    }
    windows_->DispatchSource();
    keyboard_->DispatchSource();
    HandOnNews();
}

void WaylandWindowSystem::HandOnNews() {
    // Not re-entered: a handler that plays a macro serves events meanwhile,
    // and what they bring waits until it has returned, as on X11.
    if (handing_) return;
    handing_ = true;
    for (;;) {
        News news = windows_->TakeNews();
        if (news.empty()) break;
        for (WinHandle w : news.gone)
            if (events.onClientGone) events.onClientGone(w);
        for (const auto& [code, w] : news.shell)
            if (events.onShellHook) events.onShellHook(code, w);
    }
    handing_ = false;
}

bool WaylandWindowSystem::HasQueuedEvents() const {
    return windows_->HasNews() || c_->HasQueuedEvents() || windows_->SourceQueued() || keyboard_->SourceQueued();
}

std::int32_t WaylandFacts::GetScreenWidth() { return c_.ScreenWidth(); }
std::int32_t WaylandFacts::GetScreenHeight() { return c_.ScreenHeight(); }

}  // namespace rw::wl
