#include "backends/x11/X11Connection.h"

#include <X11/XKBlib.h>

#include <string>

namespace rw::x11 {

namespace {

// The one request whose failure someone waits to hear of.
struct ProbedRequest {
    Display* dpy = nullptr;
    unsigned long serial = 0;
    bool failed = false;
};
ProbedRequest gProbe;

// Windows vanish between any two requests; an error on one must not end the
// program. Xlib reports it here and the request's caller sees a failure.
int IgnoreXError(Display* dpy, XErrorEvent* e) {
    if (dpy == gProbe.dpy && e->serial == gProbe.serial) gProbe.failed = true;
    return 0;
}

constexpr long kRootMask = PropertyChangeMask | StructureNotifyMask;

}  // namespace

X11Connection::X11Connection(const char* displayName) {
    XSetErrorHandler(IgnoreXError);
    int major = XkbMajorVersion, minor = XkbMinorVersion, reason = 0;
    dpy_.reset(XkbOpenDisplay(displayName, &xkbEventBase_, nullptr, &major, &minor, &reason));
    if (dpy_ == nullptr) return;
    Display* dpy = dpy_.get();
    screen_ = DefaultScreen(dpy);
    root_ = RootWindow(dpy, screen_);
    auto A = [dpy](const char* n) { return XInternAtom(dpy, n, False); };
    atoms_.netActiveWindow = A("_NET_ACTIVE_WINDOW");
    atoms_.netClientList = A("_NET_CLIENT_LIST");
    atoms_.netWmName = A("_NET_WM_NAME");
    atoms_.utf8String = A("UTF8_STRING");
    atoms_.netFrameExtents = A("_NET_FRAME_EXTENTS");
    atoms_.netWmState = A("_NET_WM_STATE");
    atoms_.netWmStateHidden = A("_NET_WM_STATE_HIDDEN");
    atoms_.netWmStateMaxVert = A("_NET_WM_STATE_MAXIMIZED_VERT");
    atoms_.netWmStateMaxHorz = A("_NET_WM_STATE_MAXIMIZED_HORZ");
    atoms_.netWmStateAbove = A("_NET_WM_STATE_ABOVE");
    atoms_.wmState = A("WM_STATE");
    atoms_.netWmPid = A("_NET_WM_PID");
    atoms_.netCloseWindow = A("_NET_CLOSE_WINDOW");
    atoms_.wmProtocols = A("WM_PROTOCOLS");
    atoms_.wmDeleteWindow = A("WM_DELETE_WINDOW");
    atoms_.netWmPing = A("_NET_WM_PING");
    atoms_.netSupported = A("_NET_SUPPORTED");
    atoms_.scrollLockIndicator = A("Scroll Lock");
    atoms_.manager = A("MANAGER");
    atoms_.trayAtom = A(("_NET_SYSTEM_TRAY_S" + std::to_string(screen_)).c_str());
}

void X11Connection::ListenToRoot(bool withSubstructure) {
    if (dpy_ == nullptr) return;
    XSelectInput(dpy(), root_, kRootMask | (withSubstructure ? SubstructureNotifyMask : 0));
    followsRoot_ = true;
}

bool X11Connection::ReadItems(Window w, Atom property, long maxItems, std::vector<unsigned long>& items) {
    items.clear();
    if (dpy_ == nullptr || w == 0) return false;
    Atom type = 0;
    int format = 0;
    unsigned long n = 0, after = 0;
    unsigned char* raw = nullptr;
    // Anything but Success means the request failed: the window is gone.
    const int rc = XGetWindowProperty(dpy(), w, property, 0, maxItems, False, AnyPropertyType, &type,
                                      &format, &n, &after, &raw);
    XPtr<unsigned char> data(raw);
    if (rc == Success && data != nullptr && format == 32) {
        const auto* v = reinterpret_cast<const unsigned long*>(data.get());
        items.assign(v, v + n);
    }
    return rc == Success;
}

std::vector<unsigned long> X11Connection::ReadItems(Window w, Atom property) {
    std::vector<unsigned long> items;
    ReadItems(w, property, 4096, items);
    return items;
}

bool X11Connection::ReadCardinal(Window w, Atom property, std::uint32_t& value) {
    std::vector<unsigned long> items;
    if (!ReadItems(w, property, 1, items) || items.empty()) return false;
    value = static_cast<std::uint32_t>(items[0]);
    return true;
}

std::string X11Connection::ReadText(Window w, Atom property, Atom type) {
    if (dpy_ == nullptr || w == 0) return {};
    Atom actual = 0;
    int format = 0;
    unsigned long n = 0, after = 0;
    unsigned char* raw = nullptr;
    const int rc = XGetWindowProperty(dpy(), w, property, 0, 1024, False, type, &actual, &format, &n,
                                      &after, &raw);
    XPtr<unsigned char> data(raw);
    if (rc != Success || data == nullptr || actual != type || format != 8) return {};
    return std::string(reinterpret_cast<const char*>(data.get()), n);
}

void X11Connection::SendClientMessage(Window to, Window about, Atom type, long mask,
                                      const long (&data)[5]) {
    if (dpy_ == nullptr) return;
    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = about;
    ev.xclient.message_type = type;
    ev.xclient.format = 32;
    for (int i = 0; i < 5; ++i) ev.xclient.data.l[i] = data[i];
    XSendEvent(dpy(), to, False, mask, &ev);
    XFlush(dpy());
}

void X11Connection::AskWindowManager(Window about, Atom type, long l0, long l1, long l2, long l3,
                                     long l4) {
    SendClientMessage(root_, about, type, SubstructureRedirectMask | SubstructureNotifyMask,
                      {l0, l1, l2, l3, l4});
}

void X11Connection::SendProtocol(Window client, Atom protocol, long l1, long l2) {
    SendClientMessage(client, client, atoms_.wmProtocols, NoEventMask,
                      {static_cast<long>(protocol), l1, l2, 0, 0});
}

RequestProbe::RequestProbe(Display* dpy) : serial_(NextRequest(dpy)) { gProbe = {dpy, serial_, false}; }

RequestProbe::~RequestProbe() { gProbe = {}; }

bool RequestProbe::Failed() const { return gProbe.serial == serial_ && gProbe.failed; }

}  // namespace rw::x11
