#include "backends/wayland/Desktops.h"

#include <unistd.h>

#include <cstdlib>

#include "backends/wayland/AccessibleDesktop.h"
#include "backends/wayland/RemoteDesktopKeyboard.h"
#include "backends/wayland/RemoteDesktopSessions.h"
#include "backends/wayland/WaylandKeyboard.h"
#include "backends/wayland/WaylandWindows.h"
#if RW_WAYLAND_KDE
#include "backends/wayland/FakeInputKeyboard.h"
#include "backends/wayland/PlasmaWindows.h"
#endif

namespace rw::wl {

namespace {

// The way forced by the variable, empty when none is.
std::string Forced(const char* variable) {
    const char* v = std::getenv(variable);
    return v != nullptr ? std::string(v) : std::string();
}

bool Take(const std::string& forced, const char* way) { return forced.empty() || forced == way; }

// Why no way serves, where the reason is KWin's: it offers its window list
// and fake input only to programs a desktop file grants them. `usual`
// elsewhere.
std::string WhyNot(const WaylandConnection& c, const char* usual) {
    // A global every KWin offers to every program.
    if (!c.Offers("org_kde_plasma_shell")) return usual;
#if RW_WAYLAND_KDE
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    const std::string self = n > 0 ? std::string(path, static_cast<std::size_t>(n)) : std::string("this program");
    return "KWin grants its window list and keys only to programs that a desktop file names "
           "(Exec=" + self + " with X-KDE-Wayland-Interfaces, as the installed replywick.desktop has)";
#else
    return "this build knows no KWin (it was built without plasma-wayland-protocols)";
#endif
}

}  // namespace

std::unique_ptr<Toplevels> ChooseToplevels(WaylandConnection& c, std::string& way) {
    const std::string forced = Forced("REPLYWICK_WAYLAND_WINDOWS");
    if (Take(forced, "wlr") && c.toplevels() != nullptr) {
        auto windows = std::make_unique<WaylandWindows>(c);
        windows->Follow(c.toplevels());
        way = "wlr";
        return windows;
    }
#if RW_WAYLAND_KDE
    if (Take(forced, "plasma") && c.Offers("org_kde_plasma_window_management")) {
        auto windows = std::make_unique<PlasmaWindows>(c);
        if (windows->Follow()) {
            way = "plasma";
            return windows;
        }
    }
#endif
    // The accessibility bus where the compositor tells nothing (mutter).
    if (Take(forced, "accessible")) {
        auto windows = std::make_unique<AccessibleToplevels>();
        if (windows->Ok()) {
            way = "accessible";
            return windows;
        }
    }
    way = forced.empty() ? WhyNot(c, "the compositor does not list its windows (no wlr foreign-toplevel management)")
                         : "REPLYWICK_WAYLAND_WINDOWS=" + forced + " is not offered here";
    return nullptr;
}

std::unique_ptr<Keyboard> ChooseKeyboard(WaylandConnection& c, Toplevels& windows, std::string& way) {
    const std::string forced = Forced("REPLYWICK_WAYLAND_KEYS");
    if (Take(forced, "virtual-keyboard") && c.virtualKeyboards() != nullptr) {
        way = "virtual-keyboard";
        return std::make_unique<WaylandKeyboard>(c, windows);
    }
#if RW_WAYLAND_KDE
    if (Take(forced, "fake-input") && c.Offers("org_kde_kwin_fake_input")) {
        way = "fake-input";
        return std::make_unique<FakeInputKeyboard>(c, windows);
    }
#endif
    // GNOME: a remote desktop session, through the portal (the user is
    // asked) before mutter's own interface (see RemoteDesktopKeyboard.h).
    for (const auto via : {RemoteDesktopKeyboard::Via::Portal, RemoteDesktopKeyboard::Via::Mutter}) {
        if (!Take(forced, RemoteDesktopKeyboard::WayName(via))) continue;
        if (auto keyboard = RemoteDesktopKeyboard::Open(c, windows, via)) {
            way = RemoteDesktopKeyboard::WayName(via);
            return keyboard;
        }
    }
    // The last resort: characters and Enter through the accessibility bus.
    if (Take(forced, "accessible")) {
        auto keyboard = std::make_unique<AccessibleKeyboard>(windows);
        if (keyboard->Ok()) {
            way = "accessible";
            return keyboard;
        }
    }
    way = forced.empty() ? WhyNot(c, "the compositor offers no virtual keyboard, nor a remote desktop session")
                         : "REPLYWICK_WAYLAND_KEYS=" + forced + " is not offered here";
    return nullptr;
}

WaysOffered DescribeWays(WaylandConnection& c) {
    WaysOffered out;
    std::string way;
    std::unique_ptr<Toplevels> windows = ChooseToplevels(c, way);
    if (windows == nullptr) {
        out.why = way;
        return out;
    }
    out.windows = way;
    const std::string forced = Forced("REPLYWICK_WAYLAND_KEYS");
    if (Take(forced, "virtual-keyboard") && c.virtualKeyboards() != nullptr) {
        out.keys = "virtual-keyboard";
        return out;
    }
#if RW_WAYLAND_KDE
    if (Take(forced, "fake-input") && c.Offers("org_kde_kwin_fake_input")) {
        out.keys = "fake-input";
        return out;
    }
#endif
    if (Take(forced, "portal") && NewPortalSession()->Offered()) {
        out.keys = "portal";
        return out;
    }
    if (Take(forced, "remote-desktop") && NewMutterSession()->Offered()) {
        out.keys = "remote-desktop";
        return out;
    }
    if (Take(forced, "accessible") && AccessibleKeyboard(*windows).Ok()) {
        out.keys = "accessible";
        return out;
    }
    out.why = forced.empty() ? WhyNot(c, "the compositor offers no virtual keyboard, nor a remote desktop session")
                             : "REPLYWICK_WAYLAND_KEYS=" + forced + " is not offered here";
    return out;
}

}  // namespace rw::wl
