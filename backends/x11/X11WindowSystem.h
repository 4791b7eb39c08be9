// The X11 window system: an EWMH window manager, XTest, XKB, and dialogs
// through the accessibility bus.
//
// Each role is the subsystem that does the work:
//   X11Windows         Windows   (properties, foreground, focus, commands, ping)
//   X11Keyboard        Input     (XKB layout, XTest typing, lent keycodes, locks)
//   AccessibleDialogs  Dialogs   (AT-SPI)
//   X11Facts           SystemFacts (the Linux facts, with the X screen's size)
//   PosixFiles, PosixProcesses, PosixClock, QtClipboard: shared by the
//   Linux window systems.
// Beside them X11Connection (the backend's own Xlib connection, separate
// from Qt's XCB one: atoms, property reads, client messages),
// X11WindowTracker (which window an id names; ids are reused at once),
// X11Foreground (the active window and the focus of the window keys are
// aimed at, followed from events) and X11MainWindow (the hidden main window
// and the event dispatch).
//
// Window handles are X window ids of top-level client windows (the windows
// the window manager manages). X errors never end the program: windows
// vanish at any time and a request on a gone window simply yields nothing.
#pragma once

#include <memory>

#include "backends/atspi/AccessibleDialogs.h"
#include "backends/linux/LinuxFacts.h"
#include "backends/linux/QtClipboard.h"
#include "backends/linux/WindowSystem.h"
#include "backends/posix/PosixFiles.h"
#include "backends/posix/PosixProcess.h"

namespace rw::x11 {

class X11Connection;
class X11WindowTracker;
class X11Foreground;
class X11Windows;
class X11Keyboard;
class X11MainWindow;

// The Linux facts; the screen is the X screen's.
class X11Facts final : public lnx::LinuxFacts {
public:
    X11Facts(X11Connection& x, int argc, char** argv) : LinuxFacts(argc, argv), x_(x) {}
    std::int32_t GetScreenWidth() override;
    std::int32_t GetScreenHeight() override;
    // From the screen's size in millimetres; 15 (96 dpi) where the server
    // does not know it.
    std::int32_t TwipsPerPixelX() override;
    std::int32_t TwipsPerPixelY() override;

private:
    X11Connection& x_;
};

class X11WindowSystem final : public lnx::WindowSystem {
public:
    // Opens the display (nullptr: $DISPLAY). Check Ok() before use.
    X11WindowSystem(const char* displayName, int argc, char** argv);
    ~X11WindowSystem() override;
    X11WindowSystem(const X11WindowSystem&) = delete;
    X11WindowSystem& operator=(const X11WindowSystem&) = delete;

    bool Ok() const override;
    const Platform& Roles() const override { return roles_; }
    WinHandle CreateMainWindow() override;
    int EventFd() const override;
    void DispatchEvents() override;
    bool HasQueuedEvents() const override;
    bool RestoreSpareKeys(bool force) override;
    bool SpareKeysLent() const override;

    // For the backend's own tests.
    X11Windows& WindowsRole() { return *windows_; }
    X11WindowTracker& Tracker() { return *tracker_; }

private:
    // In the order they depend on each other; destroyed the other way round.
    std::unique_ptr<X11Connection> x_;
    std::unique_ptr<X11WindowTracker> tracker_;
    std::unique_ptr<X11Foreground> foreground_;
    std::unique_ptr<X11Windows> windows_;
    std::unique_ptr<X11Keyboard> keyboard_;
    std::unique_ptr<X11MainWindow> mainWindow_;
    X11Facts facts_;
    posix::PosixFiles files_;
    posix::PosixProcesses processes_;
    posix::PosixClock clock_;
    lnx::QtClipboard clipboard_;
    atspi::AccessibleDialogs dialogs_;
    const Platform roles_;
};

}  // namespace rw::x11
