// Benchmark probe: prints, with a monotonic millisecond clock, every new
// top-level window that is mapped ("map MS WINDOW") and every key press on
// the display, injected ones included ("key MS KEYCODE"). Runs until killed.
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>

#include <cstdio>
#include <ctime>

static double NowMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) * 1000.0 + static_cast<double>(ts.tv_nsec) / 1e6;
}

int main() {
    Display* dpy = XOpenDisplay(nullptr);
    if (dpy == nullptr) return 2;
    int opcode = 0, ev = 0, err = 0;
    if (!XQueryExtension(dpy, "XInputExtension", &opcode, &ev, &err)) return 2;
    int major = 2, minor = 0;
    if (XIQueryVersion(dpy, &major, &minor) != Success) return 2;
    Window root = DefaultRootWindow(dpy);
    unsigned char mask[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(mask, XI_RawKeyPress);
    XIEventMask em{XIAllMasterDevices, sizeof mask, mask};
    XISelectEvents(dpy, root, &em, 1);
    XSelectInput(dpy, root, SubstructureNotifyMask);
    XSync(dpy, False);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    for (;;) {
        XEvent e;
        XNextEvent(dpy, &e);
        double t = NowMs();
        if (e.type == MapNotify && !e.xmap.override_redirect) {
            std::printf("map %.3f 0x%lx\n", t, e.xmap.window);
        } else if (e.type == GenericEvent && e.xcookie.extension == opcode &&
                   XGetEventData(dpy, &e.xcookie)) {
            if (e.xcookie.evtype == XI_RawKeyPress) {
                auto* raw = static_cast<XIRawEvent*>(e.xcookie.data);
                std::printf("key %.3f %d\n", t, raw->detail);
            }
            XFreeEventData(dpy, &e.xcookie);
        }
    }
}
