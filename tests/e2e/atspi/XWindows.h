// What the X11 backend hands the accessibility bridge, read with Xlib for
// the tests and the probe: the managed window of a process, its title and
// its outer frame rectangle.
#pragma once

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace rwtest {

struct XWin {
    Window id = 0;
    std::string title;
    int x = 0, y = 0, w = 0, h = 0;  // outer frame in screen pixels
};

class XDisplay {
public:
    XDisplay() : d_(XOpenDisplay(nullptr)) {
        // Windows of other processes vanish at any moment; a failed request
        // just yields nothing.
        XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    }
    ~XDisplay() {
        if (d_) XCloseDisplay(d_);
    }
    Display* get() const { return d_; }

    std::vector<unsigned long> Cardinals(Window w, const char* prop) {
        std::vector<unsigned long> out;
        Atom type;
        int format;
        unsigned long n, left;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(d_, w, XInternAtom(d_, prop, False), 0, 1024, False, AnyPropertyType,
                               &type, &format, &n, &left, &data) == Success &&
            data && format == 32) {
            auto* v = reinterpret_cast<unsigned long*>(data);
            out.assign(v, v + n);
        }
        if (data) XFree(data);
        return out;
    }

    std::string Utf8(Window w, const char* prop) {
        std::string out;
        Atom type;
        int format;
        unsigned long n, left;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(d_, w, XInternAtom(d_, prop, False), 0, 4096, False,
                               XInternAtom(d_, "UTF8_STRING", False), &type, &format, &n, &left,
                               &data) == Success &&
            data && format == 8)
            out.assign(reinterpret_cast<char*>(data), n);
        if (data) XFree(data);
        return out;
    }

    // The managed, mapped windows of a process, in client-list order.
    std::vector<XWin> AllOfPid(pid_t pid) {
        std::vector<XWin> out;
        for (unsigned long w : Cardinals(DefaultRootWindow(d_), "_NET_CLIENT_LIST")) {
            auto p = Cardinals(w, "_NET_WM_PID");
            if (p.empty() || p[0] != static_cast<unsigned long>(pid)) continue;
            auto frame = Cardinals(w, "_NET_FRAME_EXTENTS");
            XWindowAttributes a{};
            if (frame.size() != 4 || !XGetWindowAttributes(d_, w, &a) || a.map_state != IsViewable)
                continue;
            int rx = 0, ry = 0;
            Window child;
            XTranslateCoordinates(d_, w, DefaultRootWindow(d_), 0, 0, &rx, &ry, &child);
            XWin win;
            win.id = w;
            win.title = Utf8(w, "_NET_WM_NAME");
            win.x = rx - static_cast<int>(frame[0]);
            win.y = ry - static_cast<int>(frame[2]);
            win.w = a.width + static_cast<int>(frame[0] + frame[1]);
            win.h = a.height + static_cast<int>(frame[2] + frame[3]);
            out.push_back(win);
        }
        return out;
    }

    // The first managed window of a process, once it is mapped and framed.
    std::optional<XWin> FindByPid(pid_t pid, int timeoutMs, std::size_t atLeast = 1) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            auto all = AllOfPid(pid);
            if (all.size() >= atLeast && !all.empty()) return all.front();
            if (std::chrono::steady_clock::now() >= end) return std::nullopt;
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
    }

private:
    Display* d_;
};

}  // namespace rwtest
