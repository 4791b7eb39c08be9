// The Windows role on an EWMH window manager: top-level windows' properties
// (title, class, frame, state, process), the foreground and the focus, the
// window commands, and waiting until a window has read what was sent to it.
//
// Window handles are X window ids of top-level client windows (the windows
// the window manager manages). A request on a window that is gone yields
// 0, empty text or false.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "backends/x11/X11Connection.h"
#include "backends/x11/X11Foreground.h"
#include "backends/x11/X11WindowTracker.h"
#include "platform/Windows.h"

namespace rw::x11 {

class X11Windows final : public Windows {
public:
    X11Windows(X11Connection& x, X11WindowTracker& tracker, X11Foreground& foreground);

    // The clients the window manager lists (_NET_CLIENT_LIST).
    std::vector<WinHandle> ClientList();

    // Known from events; asked of the server only after a change.
    WinHandle GetForegroundWindow() override { return foreground_.Active(); }
    bool SetForegroundWindow(WinHandle w) override;
    // X gives a closed window's id to the next client at once: the identity
    // is the id plus the count of its destructions seen so far (and the
    // window's _NET_WM_PID); see X11WindowTracker. The window keys are
    // aimed at is told from the events alone (its end seen or not), with no
    // round trip.
    WindowIdentity IdentifyWindow(WinHandle w) override { return tracker_.Identify(w); }
    bool IsSameWindow(const WindowIdentity& id) override {
        return foreground_.IsTarget(id) ? foreground_.TargetSame() : tracker_.IsSame(id);
    }
    std::string GetWindowText(WinHandle w) override;
    std::string GetClassName(WinHandle w) override;
    bool GetWindowRect(WinHandle w, Rect& r) override;
    int IsWindowVisible(WinHandle w) override;
    int IsIconic(WinHandle w) override;
    // Top-level client windows have no parent window of interest.
    WinHandle GetParent(WinHandle) override { return 0; }
    WinHandle WindowFromPoint(std::int32_t x, std::int32_t y) override;
    void SetWindowPosZOrder(WinHandle w, WinHandle insertAfter) override;
    bool ShowWindow(WinHandle w, std::uint32_t cmd) override;
    bool PostClose(WinHandle w) override;
    std::uint32_t GetWindowProcessId(WinHandle w) override;
    // The focused window when it is w or lies inside w's frame; X has one
    // input focus for all programs, so nothing needs borrowing.
    WinHandle FocusedControl(WinHandle w) override;

    // Waits until the window has read everything sent so far: a round trip
    // to the server, then, where the window takes pings, its answer to
    // _NET_WM_PING (at most 333 ms and timeoutMs). False when the window is
    // gone or did not answer in time.
    bool WaitUntilAnswers(WinHandle w, std::uint32_t timeoutMs) override;
    // Told which client window answered a ping for w: the characters typed
    // for w have been read then.
    std::function<void(WinHandle w, WinHandle client)> onAnswered;

private:
    bool WindowExists(WinHandle w);
    // Whether WM_CLIENT_MACHINE names another host than this one.
    bool IsRemoteClient(WinHandle w);
    bool IsClient(Window w);
    WinHandle ClientOf(WinHandle w);
    WinHandle FindClientBelow(WinHandle w, int depth);
    bool IsAncestorOrSelf(WinHandle ancestor, WinHandle w);
    bool SupportsProtocol(WinHandle w, Atom protocol);
    bool WmSupports(Atom atom);
    bool WaitForPingReply(long serial, std::uint32_t deadlineMs, WinHandle client);

    X11Connection& x_;
    // What a wait for the window keys are aimed at needs to know of it,
    // read once per target: it is asked after every character.
    struct TargetFacts {
        WindowIdentity id;
        WinHandle window = 0;  // the target or a window inside it (its focus)
        WinHandle client = 0;
        bool takesPing = false;
        bool pidRead = false;
        std::uint32_t pid = 0;
        // The input sent when the window last answered a ping sent after it.
        bool answered = false;
        std::uint64_t answeredAtInput = 0;
    };
    // The facts of w when keys are aimed at it or at the window w lies in
    // (filled on first use), else nullptr.
    TargetFacts* FactsOfTarget(WinHandle w);

    X11WindowTracker& tracker_;
    X11Foreground& foreground_;
    TargetFacts targetFacts_;
    std::string hostName_;
    long pingSerial_ = 0x52570000;
};

}  // namespace rw::x11
