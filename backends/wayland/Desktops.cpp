#include "backends/wayland/Desktops.h"

#include <cstdlib>

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
    way = forced.empty() ? "the compositor does not list its windows (no wlr foreign-toplevel management)"
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
    way = forced.empty() ? "the compositor offers no virtual keyboard"
                         : "REPLYWICK_WAYLAND_KEYS=" + forced + " is not offered here";
    return nullptr;
}

}  // namespace rw::wl
