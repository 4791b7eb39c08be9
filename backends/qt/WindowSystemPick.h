// Which window system the program uses (the program and --diagnose ask the
// same). REPLYWICK_WINDOW_SYSTEM=x11 or =wayland decides. Otherwise Wayland
// where WAYLAND_DISPLAY is set and either no X display is (a Wayland-only
// session) or the session says it is a Wayland one (XDG_SESSION_TYPE=
// wayland, where DISPLAY names XWayland, which shows only the X programs);
// X11 in every other case, so that an X11 session with a nested compositor
// keeps X11. A Wayland session where neither the compositor nor the
// accessibility bus tells the windows falls back to X11 through XWayland
// when there is a display.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

namespace rw::qtapp {

enum class Pick { X11, Wayland, WaylandElseX11 };

inline bool Set(const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr && *v != '\0';
}

inline Pick PickWindowSystem() {
    if (const char* forced = std::getenv("REPLYWICK_WINDOW_SYSTEM"); forced != nullptr && *forced != '\0') {
        if (std::string(forced) == "wayland") return Pick::Wayland;
        if (std::string(forced) == "x11") return Pick::X11;
        std::fprintf(stderr, "replywick: REPLYWICK_WINDOW_SYSTEM=%s is neither x11 nor wayland\n", forced);
    }
    if (!Set("WAYLAND_DISPLAY")) return Pick::X11;
    if (!Set("DISPLAY")) return Pick::Wayland;
    const char* session = std::getenv("XDG_SESSION_TYPE");
    return session != nullptr && std::string(session) == "wayland" ? Pick::WaylandElseX11 : Pick::X11;
}

}  // namespace rw::qtapp
