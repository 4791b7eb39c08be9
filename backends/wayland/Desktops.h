// Which way of following windows and of typing a Wayland session offers,
// best first:
//   windows  wlroots' foreign-toplevel list ("wlr"); KWin's window
//            management ("plasma"); the accessibility bus ("accessible":
//            frames and their activation, see atspi::AccessibleWindows)
//   keys     wlroots' virtual keyboard ("virtual-keyboard"); KWin's fake
//            input ("fake-input"); a remote desktop session of GNOME
//            through the desktop portal ("portal") or mutter's own
//            interface ("remote-desktop"); the accessibility bus
//            ("accessible": characters and Enter only, see
//            atspi::AccessibleTyping)
// KWin offers its two only to a program a desktop file grants them to
// (X-KDE-Wayland-Interfaces), and to no other; a build without
// plasma-wayland-protocols has neither.
// REPLYWICK_WAYLAND_WINDOWS and REPLYWICK_WAYLAND_KEYS name one way to
// take instead of the best (for tests, and for a desktop that offers a way
// that does not serve).
#pragma once

#include <memory>
#include <string>

#include "backends/wayland/Desktop.h"
#include "backends/wayland/WaylandConnection.h"

namespace rw::wl {

// The best way of following the windows, or the forced one; its name goes
// to `way`. nullptr (with `way` telling why) when there is none.
std::unique_ptr<Toplevels> ChooseToplevels(WaylandConnection& c, std::string& way);
// The same for the keys, which check the foreground through `windows`.
std::unique_ptr<Keyboard> ChooseKeyboard(WaylandConnection& c, Toplevels& windows, std::string& way);

// The ways ChooseToplevels and ChooseKeyboard would take, for the user
// (--diagnose): no remote desktop session is begun, so nobody is asked.
// An empty way: none serves, and `why` tells why.
struct WaysOffered {
    std::string windows, keys, why;
};
WaysOffered DescribeWays(WaylandConnection& c);

}  // namespace rw::wl
