// The two ways to a remote desktop session of GNOME, whose keyboard types
// keysyms into the window that has the focus:
//
//   mutter    org.gnome.Mutter.RemoteDesktop on the session bus: a session
//             is made and started at once, without asking anyone. mutter
//             documents the interface as private to the desktop's own
//             parts (gnome-remote-desktop, the portal), with no promise
//             between versions; it checks no caller.
//   portal    org.freedesktop.portal.RemoteDesktop: the desktop asks the
//             user first. Each step answers later, by a Response signal of
//             its request; the session is ready only after the last one.
//
// Both belong to the connection that made them (another connection's keys
// are refused), so each session has a connection of its own, served by
// the program's event loop. A session the desktop ends (the user stops the
// sharing in the top bar, the portal or mutter goes away) stays ended; the
// desktop lets go of every key its keyboard held.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "backends/wayland/SessionBus.h"

namespace rw::wl {

class RemoteDesktopSession {
public:
    enum class State { Idle, Asking, Ready, Ended };

    virtual ~RemoteDesktopSession() = default;
    RemoteDesktopSession(const RemoteDesktopSession&) = delete;
    RemoteDesktopSession& operator=(const RemoteDesktopSession&) = delete;

    // Whether the desktop offers a keyboard this way (asked with a bounded
    // wait; the portal may be started for the question).
    virtual bool Offered() = 0;
    // Makes the session: Ready at once (mutter), or Asking until the user
    // has answered (the portal). False when it could not even be asked for.
    virtual bool Begin() = 0;
    // A key by keysym, or by evdev code. `confirm` waits (bounded) until
    // the desktop has taken it and everything before it, so that keys never
    // pile up unread; without it the key goes out unanswered.
    virtual bool Keysym(std::uint32_t keysym, bool down, bool confirm) = 0;
    virtual bool Keycode(std::uint32_t evdev, bool down, bool confirm) = 0;
    // Returns once the desktop has taken every key sent before (bounded).
    virtual void Sync() = 0;
    // Ends the session.
    virtual void End() = 0;

    // Handles what has arrived, without waiting: the answers, the end, the
    // lock states.
    void Dispatch();
    State state() const { return state_; }
    // Why the session ended, or was refused, for the user.
    const std::string& Why() const { return why_; }
    // The Caps Lock and Num Lock of the desktop, where it tells them.
    bool LocksKnown() const { return locksKnown_; }
    bool CapsLock() const { return capsLock_; }
    bool NumLock() const { return numLock_; }

    int Fd() const { return bus_.Fd(); }
    bool Queued() const { return bus_.Queued(); }

protected:
    explicit RemoteDesktopSession(int timeoutMs) : bus_(timeoutMs) {}
    virtual void Handle(DBusMessage* signal) = 0;
    void Ended(std::string why);

    SessionBus bus_;
    State state_ = State::Idle;
    std::string why_;
    bool locksKnown_ = false, capsLock_ = false, numLock_ = false;
};

std::unique_ptr<RemoteDesktopSession> NewMutterSession();
std::unique_ptr<RemoteDesktopSession> NewPortalSession();

}  // namespace rw::wl
