// The Windows role from the accessibility bus alone, for a desktop that
// tells a program neither its windows nor which one is in front (GNOME's
// mutter, any Wayland compositor without wlroots' or KDE's protocols).
//
// A window is a top-level accessible (frame, dialog, ...) of a program on
// the bus, named by the program's unique bus name and its object path, and
// known by a handle of its own that is never given twice. It is learnt from
// the events the programs send (see FrameBook.h); the foreground is the
// frame activated last and not deactivated since. At start, the frame in
// the ACTIVE state, if any, is in front.
//
// What a window is: its title is the frame's name; its class the program's
// accessible name (GTK: the program's name, e.g. zenity; Qt: kdialog); its
// process the one the bus daemon names for the program's connection; its
// rectangle the size of its extents at 0,0 (as on wlroots: a Wayland
// program does not know where its window is), 1 by 1 when unknown.
//
// Commands: {Window Close} presses what the window offers for closing,
// first its title bar's close button (GTK draws its own title bar on
// Wayland and publishes the button, named "Close"), else its Cancel button,
// else its only button (a message box with one button answers the close
// box with it, as on Windows); nothing else is pressed. Minimize and
// maximize have nothing on the bus to ask with: refused. Bringing a window
// to the front asks its program to take the focus; the desktop may refuse
// it (false then).
//
// No keyboard, no foreground: a seat without a keyboard activates no
// window, and the programs then tell of none in front. When a program
// shows a window and still no window has ever been activated a moment
// later, the program says so on standard error, once: it answers nothing
// rather than guess.
//
// The connection: a private one to the accessibility bus (found as the
// bridge finds it); every call on it has a timeout, and a program that
// used one up is not called again for a short while. The programs'
// messages are read only by Dispatch, never waited for; the descriptor is
// one of our own (an epoll set holding the connection's), so it stays the
// same when the bus is lost and found again. A lost bus takes every window
// with it; it is looked for again every few seconds. The program's own
// windows are never called (they would have to answer the very thread
// that waits).
//
// Threads: one thread only, as the bridge.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "FrameBook.h"
#include "platform/Windows.h"

namespace rw::atspi {

class AccessibleWindows final : public Windows {
public:
    struct Options {
        int callTimeoutMs = 600;   // one call into a program
        int scanDeadlineMs = 1500;  // the look for the window in front at start
        int hungBackoffMs = 1500;   // a program that timed out is left alone this long
        int noFrontSayMs = 2000;    // a new window, and still none ever activated: say so
    };
    AccessibleWindows();
    explicit AccessibleWindows(const Options& options);
    ~AccessibleWindows() override;
    AccessibleWindows(const AccessibleWindows&) = delete;
    AccessibleWindows& operator=(const AccessibleWindows&) = delete;

    // Connects, subscribes to the events and looks for the window in front.
    // False when there is no accessibility bus to reach.
    bool Start();
    // Connected now (or looking for a bus that was lost).
    bool Ok() const;
    int Fd() const;
    // Handles what has arrived, without waiting for more.
    void Dispatch();
    // Whether messages wait, already read, to be handled.
    bool Queued() const;
    FrameNews TakeNews();
    bool HasNews() const;
    bool Alive(WinHandle w) const;

    WinHandle GetForegroundWindow() override;
    bool SetForegroundWindow(WinHandle w) override;
    bool IsSameWindow(const WindowIdentity& id) override { return Alive(id.handle); }
    std::string GetWindowText(WinHandle w) override;
    std::string GetClassName(WinHandle w) override;
    bool GetWindowRect(WinHandle w, Rect& r) override;
    int IsWindowVisible(WinHandle w) override { return Alive(w) ? 1 : 0; }
    int IsIconic(WinHandle) override { return 0; }
    WinHandle GetParent(WinHandle) override { return 0; }
    WinHandle WindowFromPoint(std::int32_t, std::int32_t) override { return 0; }
    void SetWindowPosZOrder(WinHandle, WinHandle) override {}
    bool ShowWindow(WinHandle, std::uint32_t) override { return false; }
    bool PostClose(WinHandle w) override;
    // Whether the window's program answers a call its main loop serves.
    bool WaitUntilAnswers(WinHandle w, std::uint32_t timeoutMs) override;
    // The frame in front stands for its focused control (the typing finds
    // the control itself).
    WinHandle FocusedControl(WinHandle w) override;
    std::uint32_t GetWindowProcessId(WinHandle w) override;

    // The inside, for the typing, which speaks over the same connection.
    struct Impl;
    Impl& Inside() { return *impl_; }

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace rw::atspi
