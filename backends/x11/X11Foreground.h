// Which window the keyboard serves: the active window (_NET_ACTIVE_WINDOW)
// and, for the window keys are aimed at, whether it is still that very
// window and holds the input focus.
//
// Known from the events the server sends anyway: the root's PropertyNotify
// of _NET_ACTIVE_WINDOW, the DestroyNotify of watched windows (through the
// tracker) and the target's FocusIn and FocusOut. Asking reads what has
// arrived on the connection and looks through Xlib's queue without taking
// anything out of it (the event loop still gets every event); the server is
// asked again only when an event says that something changed. So a check
// costs no round trip, also while the event loop does not run (during
// playback).
//
// Every event counts that the server sent after the request whose answer
// is kept: an event's serial is that of the last request the server had
// handled when it sent the event.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>

#include "backends/x11/X11Connection.h"
#include "backends/x11/X11WindowTracker.h"
#include "platform/Types.h"

namespace rw::x11 {

class X11Foreground {
public:
    X11Foreground(X11Connection& x, X11WindowTracker& tracker) : x_(x), tracker_(tracker) {}

    // The active window; 0 when there is none or it is gone.
    WinHandle Active();

    // Keys are aimed at this window from now until EndAim: its focus is
    // followed (FocusChangeMask on it). One round trip to learn where the
    // focus is now.
    void AimAt(const WindowIdentity& target);
    void EndAim();
    bool Aiming() const { return aiming_; }
    bool IsTarget(const WindowIdentity& id) const { return aiming_ && id == target_; }
    // Whether the target is still the window it was (its end not seen).
    bool TargetSame();
    // Whether keys are aimed at w and it is still that window: what is
    // known of it may be kept while the keys are aimed at it.
    bool AimedAt(WinHandle w) { return aiming_ && w != 0 && w == target_.handle && TargetSame(); }
    const WindowIdentity& Target() const { return target_; }
    // Whether the key events sent now reach the target: it is the active
    // window, still the same window, and the input focus is on it or inside
    // it, without another client's grab taken since.
    bool TargetHoldsKeyboard();

    // Notes an event: one the event loop took from the queue, or one still
    // in it (noting one again changes nothing).
    void HandleEvent(const XEvent& ev);

private:
    // Reads what the server has sent and notes every queued event.
    void CatchUp();
    // The same, from what has been caught up with.
    WinHandle ActiveNow();
    bool SameNow();
    bool IsInside(Window w, Window ancestor);

    X11Connection& x_;
    X11WindowTracker& tracker_;

    // The active window as last read, and the serial of the reading request.
    bool activeKnown_ = false;
    WinHandle active_ = 0;
    unsigned long activeSerial_ = 0;
    std::uint64_t activeEnds_ = 0;

    bool aiming_ = false;
    WindowIdentity target_;
    bool targetSame_ = false;
    // Whether the focus is on the target or inside it, followed from the
    // answer to the request with focusSerial_ on.
    bool focusInside_ = false;
    unsigned long focusSerial_ = 0;
};

}  // namespace rw::x11
