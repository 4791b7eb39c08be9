// A small X window for the end-to-end tests. It logs every key it receives
// and answers the window manager like an ordinary program (WM_DELETE_WINDOW,
// _NET_WM_PING). Second use: sending the external notification.
//
//   rw_keylog TITLE LOGFILE [WIDTHxHEIGHT]
//       Opens a window; appends to LOGFILE one line per event:
//       "down KEYSYM TEXT", "up KEYSYM", "close". Ends on WM_DELETE_WINDOW.
//   rw_keylog --popup TITLE LOGFILE
//       The same as an override-redirect window (a popup the window manager
//       does not manage) that takes the input focus once it is mapped, as
//       focus-stealing popups do; logs "focused" then.
//   rw_keylog --grab TITLE LOGFILE
//       The same popup, but it grabs the keyboard instead, as menus and
//       screen lockers do; logs "grabbed" then.
//   rw_keylog --notify WINDOW-ID
//       Sends the external notification for WINDOW-ID to the running
//       program's "Replywick MainForm" (x = low 16 bits, y = high 16 bits).
//   rw_keylog --held
//       Prints the keysym of every key the X server holds down, one a line.
#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <xkbcommon/xkbcommon.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

Window FindByName(Display* dpy, Window w, const char* name) {
    char* wname = nullptr;
    if (XFetchName(dpy, w, &wname) != 0 && wname != nullptr) {
        bool hit = std::strcmp(wname, name) == 0;
        XFree(wname);
        if (hit) return w;
    }
    Window root = 0, parent = 0;
    Window* kids = nullptr;
    unsigned n = 0;
    if (XQueryTree(dpy, w, &root, &parent, &kids, &n) == 0) return 0;
    Window found = 0;
    for (unsigned i = 0; i < n && found == 0; ++i) found = FindByName(dpy, kids[i], name);
    if (kids != nullptr) XFree(kids);
    return found;
}

int Notify(Display* dpy, unsigned long target) {
    Window main = FindByName(dpy, DefaultRootWindow(dpy), "Replywick MainForm");
    if (main == 0) {
        std::fprintf(stderr, "no Replywick MainForm\n");
        return 1;
    }
    Window root = 0, parent = 0;
    Window* kids = nullptr;
    unsigned n = 0;
    if (XQueryTree(dpy, main, &root, &parent, &kids, &n) == 0 || n == 0) {
        std::fprintf(stderr, "MainForm has no child\n");
        return 1;
    }
    Window child = kids[0];
    XFree(kids);
    XEvent ev{};
    ev.xmotion.type = MotionNotify;
    ev.xmotion.window = child;
    ev.xmotion.root = root;
    ev.xmotion.x = static_cast<int>(target & 0xFFFF);
    ev.xmotion.y = static_cast<int>((target >> 16) & 0xFFFF);
    ev.xmotion.same_screen = True;
    XSendEvent(dpy, child, False, 0, &ev);
    XSync(dpy, False);
    return 0;
}

// The keys down in the server's own keyboard state, whoever has the focus.
int Held(Display* dpy) {
    char keys[32] = {};
    XQueryKeymap(dpy, keys);
    for (int code = 8; code < 256; ++code) {
        if ((keys[code / 8] & (1 << (code % 8))) == 0) continue;
        const KeySym ks = XkbKeycodeToKeysym(dpy, static_cast<KeyCode>(code), 0, 0);
        const char* name = XKeysymToString(ks);
        std::printf("%s\n", name ? name : "NoSymbol");
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Display* dpy = XOpenDisplay(nullptr);
    if (dpy == nullptr) return 2;
    if (argc >= 3 && std::strcmp(argv[1], "--notify") == 0) return Notify(dpy, std::strtoul(argv[2], nullptr, 0));
    if (argc == 2 && std::strcmp(argv[1], "--held") == 0) return Held(dpy);
    bool popup = false, grab = false;
    if (argc >= 4 && (std::strcmp(argv[1], "--popup") == 0 || std::strcmp(argv[1], "--grab") == 0)) {
        popup = true;
        grab = std::strcmp(argv[1], "--grab") == 0;
        ++argv;
        --argc;
    }
    if (argc < 3) {
        std::fprintf(stderr, "usage: rw_keylog [--popup] TITLE LOGFILE [WxH] | --notify WINDOW\n");
        return 2;
    }
    unsigned width = 320, height = 200;
    if (argc >= 4) std::sscanf(argv[3], "%ux%u", &width, &height);
    FILE* log = std::fopen(argv[2], "a");
    if (log == nullptr) return 2;
    Window root = DefaultRootWindow(dpy);
    Window w = XCreateSimpleWindow(dpy, root, 100, 100, width, height, 0, 0, 0xFFFFFF);
    if (popup) {
        XSetWindowAttributes attrs{};
        attrs.override_redirect = True;
        XChangeWindowAttributes(dpy, w, CWOverrideRedirect, &attrs);
    }
    XStoreName(dpy, w, argv[1]);
    Atom utf8 = XInternAtom(dpy, "UTF8_STRING", False);
    XChangeProperty(dpy, w, XInternAtom(dpy, "_NET_WM_NAME", False), utf8, 8, PropModeReplace,
                    reinterpret_cast<unsigned char*>(argv[1]), static_cast<int>(std::strlen(argv[1])));
    XClassHint hint{};
    char resName[] = "rw_keylog", resClass[] = "RwKeylog";
    hint.res_name = resName;
    hint.res_class = resClass;
    XSetClassHint(dpy, w, &hint);
    long pid = getpid();
    XChangeProperty(dpy, w, XInternAtom(dpy, "_NET_WM_PID", False), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&pid), 1);
    Atom wmDelete = XInternAtom(dpy, "WM_DELETE_WINDOW", False);
    Atom ping = XInternAtom(dpy, "_NET_WM_PING", False);
    Atom protocols[] = {wmDelete, ping};
    XSetWMProtocols(dpy, w, protocols, 2);
    XSizeHints* sh = XAllocSizeHints();
    sh->flags = PPosition | PSize;
    sh->x = 100;
    sh->y = 100;
    sh->width = static_cast<int>(width);
    sh->height = static_cast<int>(height);
    XSetWMNormalHints(dpy, w, sh);
    XFree(sh);
    XWMHints* wh = XAllocWMHints();
    wh->flags = InputHint;
    wh->input = True;
    XSetWMHints(dpy, w, wh);
    XFree(wh);
    XSelectInput(dpy, w, KeyPressMask | KeyReleaseMask | StructureNotifyMask);
    XMapWindow(dpy, w);
    XFlush(dpy);
    for (;;) {
        XEvent ev;
        XNextEvent(dpy, &ev);
        if (ev.type == MapNotify && grab) {
            const int rc = XGrabKeyboard(dpy, w, False, GrabModeAsync, GrabModeAsync, CurrentTime);
            std::fprintf(log, rc == GrabSuccess ? "grabbed\n" : "grab failed\n");
            std::fflush(log);
        } else if (ev.type == MapNotify && popup) {
            XSetInputFocus(dpy, w, RevertToParent, CurrentTime);
            XSync(dpy, False);
            std::fprintf(log, "focused\n");
            std::fflush(log);
        } else if (ev.type == KeyPress || ev.type == KeyRelease) {
            unsigned mods = 0;
            KeySym ks = NoSymbol;
            XkbLookupKeySym(dpy, static_cast<KeyCode>(ev.xkey.keycode), ev.xkey.state, &mods, &ks);
            const char* name = XKeysymToString(ks);
            if (ev.type == KeyPress) {
                char text[16] = {};
                xkb_keysym_to_utf8(static_cast<xkb_keysym_t>(ks), text, sizeof text);
                if (static_cast<unsigned char>(text[0]) < 0x20 || text[0] == 0x7F) text[0] = '\0';
                std::fprintf(log, "down %s %s\n", name ? name : "NoSymbol", text);
            } else {
                std::fprintf(log, "up %s\n", name ? name : "NoSymbol");
            }
            std::fflush(log);
        } else if (ev.type == ClientMessage && static_cast<Atom>(ev.xclient.data.l[0]) == ping) {
            XEvent reply = ev;
            reply.xclient.window = root;
            XSendEvent(dpy, root, False, SubstructureNotifyMask | SubstructureRedirectMask, &reply);
            XFlush(dpy);
        } else if (ev.type == ClientMessage && static_cast<Atom>(ev.xclient.data.l[0]) == wmDelete) {
            std::fprintf(log, "close\n");
            std::fclose(log);
            XCloseDisplay(dpy);
            return 0;
        }
    }
}
