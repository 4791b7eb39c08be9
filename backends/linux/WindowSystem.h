// What the Linux program needs of a window system beyond the roles: the
// events that drive the watcher, the program's hidden main window, and the
// upkeep between macros. The program picks one window system at start
// (X11 today) and runs every window system the same way on Qt's event loop:
// it watches EventFd, calls DispatchEvents when it is readable and whenever
// HasQueuedEvents says events wait already read, and calls
// RestoreSpareKeys once a macro has ended until it says it is done.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/Platform.h"

namespace rw::lnx {

// What the events of a window system report.
struct WindowSystemEvents {
    // A window came to the foreground or was created (shell notification
    // codes of msg::).
    std::function<void(std::uint32_t code, WinHandle w)> onShellHook;
    // Another program asked for the item list of a window at a point.
    std::function<void(std::int32_t x, std::int32_t y)> onExternalNotify;
    // A client window ended. Window systems that reuse handles at once give
    // the next window the same one, so whoever remembers a window by its
    // handle must forget it here.
    std::function<void(WinHandle w)> onClientGone;
    // A notification-area host (system tray) started.
    std::function<void()> onTrayHostStarted;
};

class WindowSystem {
public:
    virtual ~WindowSystem() = default;

    // Whether the window system could be reached at all.
    virtual bool Ok() const = 0;
    // The roles, for SetPlatform.
    virtual const Platform& Roles() const = 0;

    // The program's hidden main window.
    virtual WinHandle CreateMainWindow() = 0;

    virtual int EventFd() const = 0;
    virtual void DispatchEvents() = 0;
    virtual bool HasQueuedEvents() const = 0;

    // Keys lent out for characters the layout lacks go back to their own
    // meaning; true when none is lent out any more. Unless forced, not while
    // a target may still be reading a character typed with one.
    virtual bool RestoreSpareKeys(bool force) = 0;
    virtual bool SpareKeysLent() const = 0;

    WindowSystemEvents events;
};

}  // namespace rw::lnx
