// The two parts of a Wayland window system that differ from desktop to
// desktop: how its windows and the foreground are learnt (Toplevels) and how
// keys reach the window in front (Keyboard). Each desktop has its own way
// of each (wlroots' protocols, KDE's, GNOME's remote desktop, and the
// accessibility bus where nothing else serves); WaylandWindowSystem picks
// one of each from what the session offers, and everything else (dialogs,
// processes, files) is the same on all of them.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "platform/Input.h"
#include "platform/Windows.h"

namespace rw::wl {

// Something with a connection of its own (a D-Bus connection, say) whose
// messages the program's event loop must serve besides the Wayland
// connection's.
class EventSource {
public:
    virtual ~EventSource() = default;
    // The descriptor to watch; -1 when there is none.
    virtual int SourceFd() const { return -1; }
    // Handles what has arrived, without waiting for more.
    virtual void DispatchSource() {}
    // Whether messages wait, already read, to be handled.
    virtual bool SourceQueued() const { return false; }
};

// What the windows followed brought since it was last asked: shell
// notifications (1 for a new window, 4 for a new foreground) and windows
// that closed. The owner hands them on outside the handlers that gathered
// them.
struct News {
    std::vector<std::pair<std::uint32_t, WinHandle>> shell;
    std::vector<WinHandle> gone;
    bool empty() const { return shell.empty() && gone.empty(); }
};

// The Windows role of one desktop. Handles are never given twice: the
// handle alone is a window's identity.
class Toplevels : public Windows, public EventSource {
public:
    // Whether the windows can be followed at all.
    virtual bool Ok() const = 0;
    virtual News TakeNews() = 0;
    virtual bool HasNews() const = 0;
    // Whether the window still exists.
    virtual bool Alive(WinHandle w) const = 0;
    bool IsSameWindow(const WindowIdentity& id) override { return Alive(id.handle); }
};

// The Input role of one desktop. It is started once at program start (a
// seat may need a keyboard long before the first key).
class Keyboard : public Input, public EventSource {
public:
    virtual bool Start() = 0;
    virtual bool Ok() const = 0;
};

}  // namespace rw::wl
