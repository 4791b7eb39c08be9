// Owners for what Xlib hands out: replies, modifier maps, text lists, XKB
// keyboard descriptions and displays are freed by the owner's destructor,
// on every path out.
//
// Includes the X headers: for source files only (Qt's headers must come
// before it, since X defines macros such as None and Status).
#pragma once

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <memory>

namespace rw::x11 {

struct XFreeDeleter {
    void operator()(void* p) const {
        if (p != nullptr) XFree(p);
    }
};
// Memory of a reply (property data, query results, text property values).
template <typename T>
using XPtr = std::unique_ptr<T, XFreeDeleter>;

struct ModifierMapDeleter {
    void operator()(XModifierKeymap* m) const { XFreeModifiermap(m); }
};
using ModifierMapPtr = std::unique_ptr<XModifierKeymap, ModifierMapDeleter>;

struct StringListDeleter {
    void operator()(char** list) const { XFreeStringList(list); }
};
using StringListPtr = std::unique_ptr<char*, StringListDeleter>;

struct XkbKeyboardDeleter {
    void operator()(XkbDescPtr xkb) const { XkbFreeKeyboard(xkb, XkbAllComponentsMask, True); }
};
using XkbKeyboardPtr = std::unique_ptr<XkbDescRec, XkbKeyboardDeleter>;

struct DisplayCloser {
    void operator()(Display* d) const { XCloseDisplay(d); }
};
// A connection to the X server, closed with its owner.
using DisplayPtr = std::unique_ptr<Display, DisplayCloser>;

// The children of a window (XQueryTree): parent and children, freed with
// the result.
struct WindowTree {
    bool ok = false;
    Window parent = 0;
    XPtr<Window> children;
    unsigned int count = 0;
};
inline WindowTree QueryTree(Display* dpy, Window w) {
    WindowTree t;
    Window root = 0;
    Window* kids = nullptr;
    t.ok = XQueryTree(dpy, w, &root, &t.parent, &kids, &t.count) != 0;
    t.children.reset(kids);
    return t;
}

}  // namespace rw::x11
