#include "backends/x11/X11MainWindow.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <cstring>


namespace rw::x11 {

X11MainWindow::X11MainWindow(X11Connection& x, X11WindowTracker& tracker, X11Foreground& foreground,
                             X11Windows& windows, X11Keyboard& keyboard, const lnx::WindowSystemEvents& events)
    : x_(x), tracker_(tracker), foreground_(foreground), windows_(windows), keyboard_(keyboard), events_(events) {}

X11MainWindow::~X11MainWindow() {
    if (main_ != 0) XDestroyWindow(x_.dpy(), main_);
}

WinHandle X11MainWindow::Create() {
    Display* dpy = x_.dpy();
    const Atoms& atoms = x_.atoms();
    XSetWindowAttributes attrs{};
    attrs.override_redirect = True;
    Window w = XCreateWindow(dpy, x_.Root(), -10, -10, 1, 1, 0, 0, InputOnly, CopyFromParent,
                             CWOverrideRedirect, &attrs);
    const char* title = "Replywick MainForm";
    XStoreName(dpy, w, title);
    XChangeProperty(dpy, w, atoms.netWmName, atoms.utf8String, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(title), static_cast<int>(std::strlen(title)));
    XClassHint hint{};
    char resName[] = "replywick";
    char resClass[] = "Replywick";
    hint.res_name = resName;
    hint.res_class = resClass;
    XSetClassHint(dpy, w, &hint);
    long pid = static_cast<long>(getpid());
    XChangeProperty(dpy, w, atoms.netWmPid, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&pid), 1);
    // The child receives the external notification: a MotionNotify sent to
    // it (with or without an event mask) carries a window id in x and y.
    Window child = XCreateWindow(dpy, w, 0, 0, 1, 1, 0, 0, InputOnly, CopyFromParent, 0, nullptr);
    XSelectInput(dpy, child, PointerMotionMask);
    x_.ListenToRoot();
    main_ = w;
    notify_ = child;
    tracker_.SetOwnWindows(static_cast<WinHandle>(main_), static_cast<WinHandle>(notify_));
    tracker_.TakeClients(windows_.ClientList());
    XSync(dpy, False);
    return static_cast<WinHandle>(main_);
}

bool X11MainWindow::HasQueuedEvents() const {
    return x_.Ok() && XEventsQueued(x_.dpy(), QueuedAlready) > 0;
}

void X11MainWindow::Dispatch() {
    if (!x_.Ok() || dispatching_) return;
    dispatching_ = true;
    while (XPending(x_.dpy()) > 0) {
        XEvent ev;
        XNextEvent(x_.dpy(), &ev);
        Handle(ev);
    }
    dispatching_ = false;
}

void X11MainWindow::Handle(XEvent& ev) {
    const Atoms& atoms = x_.atoms();
    // First, so that the foreground asked for below is read anew.
    foreground_.HandleEvent(ev);
    switch (ev.type) {
        case PropertyNotify:
            if (ev.xproperty.window != x_.Root()) break;
            if (ev.xproperty.atom == atoms.netActiveWindow) {
                if (events_.onShellHook) events_.onShellHook(4, windows_.GetForegroundWindow());
            } else if (ev.xproperty.atom == atoms.netClientList) {
                for (WinHandle w : tracker_.ClientListChanged(windows_.ClientList())) {
                    if (events_.onShellHook) events_.onShellHook(1, w);
                }
            }
            break;
        case MotionNotify:
            if (ev.xmotion.window == notify_ && events_.onExternalNotify) {
                events_.onExternalNotify(ev.xmotion.x & 0xFFFF, ev.xmotion.y & 0xFFFF);
            }
            break;
        case ClientMessage:
            // A tray host announces itself: the "TaskbarCreated" of X11.
            if (ev.xclient.window == x_.Root() && ev.xclient.message_type == atoms.manager &&
                static_cast<Atom>(ev.xclient.data.l[1]) == atoms.trayAtom && events_.onTrayHostStarted)
                events_.onTrayHostStarted();
            break;
        case DestroyNotify: {
            const WinHandle gone = tracker_.OnDestroyNotify(ev);
            if (gone != 0 && events_.onClientGone) events_.onClientGone(gone);
            break;
        }
        default:
            keyboard_.HandleEvent(ev);
            break;
    }
}

}  // namespace rw::x11
