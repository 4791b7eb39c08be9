// The backend's own connection to the X server, separate from Qt's: the
// display it owns, the atoms the backend uses, window properties read into
// plain values, and the client messages it sends (all built here).
//
// X errors never end the program: windows vanish between any two requests,
// and a request on a gone window simply fails. A caller that must know
// whether one request without a reply failed watches it with a
// RequestProbe.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "backends/x11/XResources.h"

namespace rw::x11 {

struct Atoms {
    Atom netActiveWindow = 0, netClientList = 0, netWmName = 0, utf8String = 0,
         netFrameExtents = 0, netWmState = 0, netWmStateHidden = 0, netWmStateMaxVert = 0,
         netWmStateMaxHorz = 0, netWmStateAbove = 0, wmState = 0, netWmPid = 0,
         netCloseWindow = 0, wmProtocols = 0, wmDeleteWindow = 0, netWmPing = 0,
         netSupported = 0, scrollLockIndicator = 0, manager = 0, trayAtom = 0;
};

class X11Connection {
public:
    // Opens the display (nullptr: $DISPLAY) with the XKB extension. Check
    // Ok() before use; every reader below answers empty without a display.
    explicit X11Connection(const char* displayName);
    X11Connection(const X11Connection&) = delete;
    X11Connection& operator=(const X11Connection&) = delete;

    bool Ok() const { return dpy_ != nullptr; }
    Display* dpy() const { return dpy_.get(); }
    int Fd() const { return dpy_ != nullptr ? ConnectionNumber(dpy_.get()) : -1; }
    int Screen() const { return screen_; }
    Window Root() const { return root_; }
    const Atoms& atoms() const { return atoms_; }
    // First event code of the XKB extension (its events all have it).
    int XkbEventBase() const { return xkbEventBase_; }

    // The root events the program follows: foreground and client list
    // changes, and (StructureNotify) the MANAGER message of a tray host
    // that starts. With substructure also every window's end, for as long
    // as a ping is awaited.
    void ListenToRoot(bool withSubstructure = false);
    // Whether the root's changes are followed (ListenToRoot was called).
    bool FollowsRoot() const { return followsRoot_; }

    // Counts the input sent for other programs (key events, lock changes),
    // so that a wait can tell whether anything was sent since a window last
    // answered.
    void NoteInputSent() { ++inputSent_; }
    std::uint64_t InputSent() const { return inputSent_; }

    // Up to maxItems 32-bit items of a property (cardinals, atoms, window
    // ids). False when the request failed (the window is gone); a property
    // that is not set leaves `items` empty.
    bool ReadItems(Window w, Atom property, long maxItems, std::vector<unsigned long>& items);
    std::vector<unsigned long> ReadItems(Window w, Atom property);
    // The first item of a property; false when it is not set or the window
    // is gone.
    bool ReadCardinal(Window w, Atom property, std::uint32_t& value);
    // An 8-bit property of the given type (UTF8_STRING, STRING) as bytes;
    // empty when it is not set or has another type.
    std::string ReadText(Window w, Atom property, Atom type);

    // A request to the window manager about a window (an EWMH client
    // message sent to the root window).
    void AskWindowManager(Window about, Atom type, long l0, long l1 = 0, long l2 = 0, long l3 = 0,
                          long l4 = 0);
    // A WM_PROTOCOLS message to a client itself (WM_DELETE_WINDOW,
    // _NET_WM_PING); l1 is the time stamp slot.
    void SendProtocol(Window client, Atom protocol, long l1, long l2 = 0);

private:
    void SendClientMessage(Window to, Window about, Atom type, long mask, const long (&data)[5]);

    DisplayPtr dpy_;
    int screen_ = 0;
    Window root_ = 0;
    int xkbEventBase_ = -1;
    bool followsRoot_ = false;
    std::uint64_t inputSent_ = 0;
    Atoms atoms_;
};

// Watches the next request made on a connection for an error (Xlib reports
// errors of requests without a reply only to its error handler). Failed()
// tells once a round trip has brought every answer in.
class RequestProbe {
public:
    explicit RequestProbe(Display* dpy);
    ~RequestProbe();
    RequestProbe(const RequestProbe&) = delete;
    RequestProbe& operator=(const RequestProbe&) = delete;
    unsigned long Serial() const { return serial_; }
    bool Failed() const;

private:
    unsigned long serial_ = 0;
};

}  // namespace rw::x11
