#include "backends/x11/X11Foreground.h"

#include "backends/x11/XResources.h"

namespace rw::x11 {

namespace {

// Looks through the queue for XCheckIfEvent without taking anything out.
Bool NoteQueued(Display*, XEvent* ev, XPointer arg) {
    reinterpret_cast<X11Foreground*>(arg)->HandleEvent(*ev);
    return False;
}

}  // namespace

void X11Foreground::CatchUp() {
    if (x_.dpy() == nullptr) return;
    // Both read what the server has sent so far (no round trip).
    tracker_.CountQueuedDestroys();
    XEvent unused;
    XCheckIfEvent(x_.dpy(), &unused, NoteQueued, reinterpret_cast<XPointer>(this));
}

void X11Foreground::HandleEvent(const XEvent& ev) {
    if (ev.type == PropertyNotify) {
        if (ev.xproperty.window == x_.Root() && ev.xproperty.atom == x_.atoms().netActiveWindow &&
            ev.xany.serial >= activeSerial_)
            activeKnown_ = false;
        return;
    }
    if (!aiming_ || (ev.type != FocusIn && ev.type != FocusOut)) return;
    if (ev.xfocus.window != target_.handle || ev.xany.serial < focusSerial_) return;
    const int detail = ev.xfocus.detail;
    // Reports for the window under the pointer when the focus follows the
    // pointer: the focus itself is reported by the others.
    if (detail == NotifyPointer || detail == NotifyPointerRoot || detail == NotifyDetailNone) return;
    if (ev.xfocus.mode == NotifyWhileGrabbed) {
        // The focus moves while a client holds the keyboard: the keys go to
        // that client, whichever window gets the focus.
        focusInside_ = false;
        return;
    }
    // A grab by another client is reported as the focus leaving for the
    // grabbing window, its end as the focus coming back. Leaving for a
    // window inside the target keeps the keys inside it.
    focusInside_ = ev.type == FocusIn || detail == NotifyInferior;
}

bool X11Foreground::IsInside(Window w, Window ancestor) {
    for (int depth = 0; depth < 64 && w != 0; ++depth) {
        if (w == ancestor) return true;
        if (w == x_.Root()) return false;
        const WindowTree tree = QueryTree(x_.dpy(), w);
        if (!tree.ok) return false;
        w = tree.parent;
    }
    return false;
}

WinHandle X11Foreground::ActiveNow() {
    Display* dpy = x_.dpy();
    if (dpy == nullptr) return 0;
    // Known while no change of the property was reported and the window's
    // end would be: it is watched and has not ended since it was read.
    if (activeKnown_ && x_.FollowsRoot() &&
        (active_ == 0 || (tracker_.Watching(active_) && tracker_.EndsSeen(active_) == activeEnds_)))
        return active_;
    activeSerial_ = NextRequest(dpy);
    std::uint32_t w = 0;
    if (!x_.ReadCardinal(x_.Root(), x_.atoms().netActiveWindow, w)) w = 0;  // unset: none in front
    activeKnown_ = true;
    // Window managers may leave the id of a destroyed window in the property
    // until something else is activated; that window is no foreground
    // window. Asked again next time: the id may be handed to a new window.
    XWindowAttributes a;
    if (w != 0 && XGetWindowAttributes(dpy, w, &a) == 0) {
        w = 0;
        activeKnown_ = false;
    }
    active_ = w;
    activeEnds_ = tracker_.EndsSeen(w);
    return w;
}

WinHandle X11Foreground::Active() {
    CatchUp();
    return ActiveNow();
}

void X11Foreground::AimAt(const WindowIdentity& target) {
    aiming_ = true;
    target_ = target;
    targetSame_ = false;
    focusInside_ = false;
    Display* dpy = x_.dpy();
    if (dpy == nullptr || target.handle == 0) return;
    // Its focus changes are reported from now on; the answers below tell
    // where things stand up to here.
    XSelectInput(dpy, target.handle, StructureNotifyMask | FocusChangeMask);
    focusSerial_ = NextRequest(dpy);
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(dpy, &focus, &revert);
    focusInside_ = focus != None && focus != PointerRoot && IsInside(focus, target.handle);
    // The identity was taken or confirmed just now; the round trip above
    // brought in any end of the window since.
    targetSame_ = true;
    CatchUp();
}

void X11Foreground::EndAim() {
    if (!aiming_) return;
    aiming_ = false;
    if (x_.dpy() != nullptr && SameNow()) XSelectInput(x_.dpy(), target_.handle, StructureNotifyMask);
}

bool X11Foreground::SameNow() { return targetSame_ && tracker_.NoEndSeen(target_); }

bool X11Foreground::TargetSame() {
    CatchUp();
    return SameNow();
}

bool X11Foreground::TargetHoldsKeyboard() {
    if (!aiming_) return false;
    CatchUp();
    return focusInside_ && SameNow() && ActiveNow() == target_.handle;
}

}  // namespace rw::x11
