// The program's hidden main window "Replywick MainForm" and the dispatch of
// the events of the backend's own connection.
//
// The main window is never mapped; its child receives the external
// notification. The root window reports foreground and client list
// changes, and the MANAGER message of a tray host that starts; watched
// client windows report their end; the keyboard hears of layout changes.
#pragma once

#include <X11/Xlib.h>

#include "backends/linux/WindowSystem.h"
#include "backends/x11/X11Connection.h"
#include "backends/x11/X11Foreground.h"
#include "backends/x11/X11Keyboard.h"
#include "backends/x11/X11WindowTracker.h"
#include "backends/x11/X11Windows.h"
#include "platform/Types.h"

namespace rw::x11 {


class X11MainWindow {
public:
    X11MainWindow(X11Connection& x, X11WindowTracker& tracker, X11Foreground& foreground, X11Windows& windows,
                  X11Keyboard& keyboard, const lnx::WindowSystemEvents& events);
    ~X11MainWindow();
    X11MainWindow(const X11MainWindow&) = delete;
    X11MainWindow& operator=(const X11MainWindow&) = delete;

    // Creates the window and its child, starts following the root window
    // and takes up the clients listed now.
    WinHandle Create();
    // Reports everything waiting on the connection (not re-entered from a
    // handler).
    void Dispatch();
    bool HasQueuedEvents() const;

private:
    void Handle(XEvent& ev);

    X11Connection& x_;
    X11WindowTracker& tracker_;
    X11Foreground& foreground_;
    X11Windows& windows_;
    X11Keyboard& keyboard_;
    const lnx::WindowSystemEvents& events_;
    Window main_ = 0;
    Window notify_ = 0;
    bool dispatching_ = false;
};

}  // namespace rw::x11
