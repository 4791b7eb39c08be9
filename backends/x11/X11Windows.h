// Top-level windows on an EWMH window manager: their properties (title,
// class, frame, state, process), the foreground and the focus, the window
// commands, and waiting until a window has read what was sent to it.
//
// Window handles are X window ids of top-level client windows (the windows
// the window manager manages). A request on a window that is gone yields
// 0, empty text or false.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "backends/x11/X11Connection.h"
#include "backends/x11/X11WindowTracker.h"
#include "platform/Types.h"

namespace rw::x11 {

class X11Windows {
public:
    X11Windows(X11Connection& x, X11WindowTracker& tracker);

    // The clients the window manager lists (_NET_CLIENT_LIST).
    std::vector<WinHandle> ClientList();

    WinHandle GetForegroundWindow();
    bool SetForegroundWindow(WinHandle w);
    std::string GetWindowText(WinHandle w);
    std::string GetClassName(WinHandle w);
    bool GetWindowRect(WinHandle w, Rect& r);
    int IsWindowVisible(WinHandle w);
    int IsIconic(WinHandle w);
    WinHandle WindowFromPoint(std::int32_t x, std::int32_t y);
    void SetWindowPosZOrder(WinHandle w, WinHandle insertAfter);
    bool ShowWindow(WinHandle w, std::uint32_t cmd);
    bool PostClose(WinHandle w);
    std::uint32_t GetWindowProcessId(WinHandle w);
    // X has no threads owning windows: the calling thread for the program's
    // own windows, else a constant per process (or per window when it names
    // no process), kept apart from real thread ids.
    std::uint32_t GetWindowThreadId(WinHandle w);
    WinHandle GetFocus();

    // Waits until the window has read everything sent so far: a round trip
    // to the server, then, where the window takes pings, its answer to
    // _NET_WM_PING (at most 333 ms and timeoutMs). False when the window is
    // gone or did not answer in time. `answeredBy` is the client window that
    // answered a ping, else 0.
    bool WaitUntilRead(WinHandle w, std::uint32_t timeoutMs, WinHandle& answeredBy);

private:
    bool WindowExists(WinHandle w);
    // Whether WM_CLIENT_MACHINE names another host than this one.
    bool IsRemoteClient(WinHandle w);
    bool IsClient(Window w);
    WinHandle ClientOf(WinHandle w);
    WinHandle FindClientBelow(WinHandle w, int depth);
    bool IsAncestorOrSelf(WinHandle ancestor, WinHandle w);
    bool SupportsProtocol(WinHandle w, Atom protocol);
    bool WmSupports(Atom atom);
    bool WaitForPingReply(long serial, std::uint32_t deadlineMs, WinHandle client);

    X11Connection& x_;
    X11WindowTracker& tracker_;
    std::string hostName_;
    long pingSerial_ = 0x52570000;
};

}  // namespace rw::x11
