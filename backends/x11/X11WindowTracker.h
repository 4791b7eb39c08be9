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

#include <cstddef>
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

    // Which end of a window with this id was seen last: it changes with
    // every end seen, and a value it had is never given again to that id
    // (after the tracker forgot an id, it starts from a fresh value). 0 for
    // an id it knows nothing of.
    std::uint64_t EndsSeen(WinHandle w) const;
    // No end of the window identified has been seen since (no round trip:
    // only what has been counted so far).
    bool NoEndSeen(const WindowIdentity& id) const;
    // Whether the window with this id now is watched: its end will be seen.
    bool Watching(WinHandle w) const;
    // How many window ids the tracker keeps records of; for tests. Those of
    // windows whose end has been reported are forgotten.
    std::size_t IdsKept() const { return ids_.size(); }
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
    // Per window id: the ends seen (the generation of the window that has
    // the id now), counted up from a value no earlier record of the id had;
    // how many of those ends were counted ahead while their events still
    // waited in the queue; and the ends when a window with the id was last
    // watched (found, and its structure events selected). A record goes
    // once the end of the last window watched under its id has been
    // reported: the tables hold the ids of live windows only.
    struct IdRecord {
        std::uint64_t ends = 0;
        std::uint32_t countedAhead = 0;
        bool watched = false;
        std::uint64_t watchedAt = 0;
    };
    IdRecord& Record(WinHandle w);
    std::unordered_map<WinHandle, IdRecord> ids_;
    // The first value of the next record: above every value given so far.
    std::uint64_t nextEnds_ = 1;
};

}  // namespace rw::x11
