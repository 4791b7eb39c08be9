// Which window a window id names, when X gives a closed window's id to the
// next client at once (the next program often gets the same one).
//
// A window we identify or find in the client list is watched for its end
// (its structure events are selected). Per id the tracker counts the ends
// it has seen: the count is the generation of the window that has the id
// now. The identity of a window is its id plus that count (and its
// _NET_WM_PID). IsSame reads what the server has sent up to now, including
// the events still waiting in Xlib's queue, so it answers correctly while
// the event loop does not run (during a delay, during playback).
#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "backends/x11/X11Connection.h"
#include "platform/Types.h"

namespace rw::x11 {

class X11WindowTracker {
public:
    explicit X11WindowTracker(X11Connection& x) : x_(x) {}

    // The program's own windows: the same window for as long as it runs.
    void SetOwnWindows(WinHandle main, WinHandle notify);
    WinHandle MainWindow() const { return main_; }

    // Both cost one round trip.
    WindowIdentity Identify(WinHandle w);
    bool IsSame(const WindowIdentity& id);

    // How many ends of windows with this id have been seen.
    std::uint64_t EndsSeen(WinHandle w) const;
    // Counts the ends of watched windows that wait in Xlib's queue, without
    // taking them out of it (the event loop still reports them).
    void CountQueuedDestroys();

    // The clients the window manager lists when the program starts; they
    // are known (and watched) from then on.
    void TakeClients(const std::vector<WinHandle>& clients);
    // The client list changed: the clients that are new, now watched. An id
    // in the list may already name a new window: a destruction that waits
    // behind the change makes its id unknown first, so its new owner counts
    // as added.
    std::vector<WinHandle> ClientListChanged(const std::vector<WinHandle>& now);
    // A DestroyNotify from the queue: the window to report as gone, 0 when
    // there is none to report (not a watched window's own end, or an end
    // of an earlier window whose id stands for a newer, watched one now).
    WinHandle OnDestroyNotify(const XEvent& ev);

private:
    // Reads _NET_WM_PID (0 when unset); false when the window does not
    // exist. One round trip: afterwards every event the server sent before
    // it is in the library's queue.
    bool ReadPid(WinHandle w, std::uint32_t& pid);
    // Selects the window's structure events and confirms that the window
    // selected is the one that exists now under that id; the ends of
    // earlier windows with the id that are still queued are counted then.
    bool Watch(WinHandle w, std::uint32_t& pid);
    void NoteDestroyed(WinHandle w);
    bool IsOwn(WinHandle w) const { return w != 0 && (w == main_ || w == notify_); }

    X11Connection& x_;
    WinHandle main_ = 0;
    WinHandle notify_ = 0;
    std::vector<WinHandle> knownClients_;
    // Per window id: the count of destructions seen (the generation of the
    // window that has the id now), and how many of those were counted ahead
    // while their events still waited in the queue.
    std::unordered_map<WinHandle, std::uint64_t> ends_;
    std::unordered_map<WinHandle, std::uint32_t> endsCountedAhead_;
    // Per window id: the count of its ends when a window with it was last
    // watched (found, and its structure events selected).
    std::unordered_map<WinHandle, std::uint64_t> watchedAt_;
};

}  // namespace rw::x11
