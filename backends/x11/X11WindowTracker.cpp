#include "backends/x11/X11WindowTracker.h"

#include <map>

namespace rw::x11 {

namespace {

// The identity of a window that was already gone when it was identified.
constexpr std::uint64_t kGoneGeneration = ~std::uint64_t{0};

// A watched window's own report of its end (root substructure reports,
// selected during a ping, name frames and are passed by).
bool IsOwnDestroy(const XEvent& ev) {
    return ev.type == DestroyNotify && ev.xdestroywindow.event == ev.xdestroywindow.window;
}

// Predicates for XCheckIfEvent that look through the queue without taking
// anything out of it.
Bool TallyDestroys(Display*, XEvent* ev, XPointer arg) {
    if (IsOwnDestroy(*ev)) {
        auto& tally = *reinterpret_cast<std::map<WinHandle, std::uint32_t>*>(arg);
        ++tally[static_cast<WinHandle>(ev->xdestroywindow.window)];
    }
    return False;
}

struct DestroySince {
    Window window;
    unsigned long serial;
    bool found;
};
Bool FindDestroySince(Display*, XEvent* ev, XPointer arg) {
    auto& d = *reinterpret_cast<DestroySince*>(arg);
    if (IsOwnDestroy(*ev) && ev->xdestroywindow.window == d.window && ev->xany.serial >= d.serial)
        d.found = true;
    return False;
}

}  // namespace

void X11WindowTracker::SetOwnWindows(WinHandle main, WinHandle notify) {
    main_ = main;
    notify_ = notify;
}

bool X11WindowTracker::ReadPid(WinHandle w, std::uint32_t& pid) {
    std::vector<unsigned long> items;
    const bool exists = x_.ReadItems(w, x_.atoms().netWmPid, 1, items);
    pid = items.empty() ? 0 : static_cast<std::uint32_t>(items[0]);
    return exists;
}

bool X11WindowTracker::Watch(WinHandle w, std::uint32_t& pid) {
    pid = 0;
    Display* dpy = x_.dpy();
    if (dpy == nullptr || w == 0) return false;
    // The destruction of a watched window arrives in order with everything
    // else, so a window that gets the id of a closed one is never taken for
    // it. Another client may end a window and get its id for a new one
    // between our two requests: then the selection hit the old window (its
    // end is queued since) or nothing (the selection failed), and it is
    // made again for the window there now.
    for (int attempt = 0; attempt < 4; ++attempt) {
        bool exists = false;
        bool selectFailed = false;
        unsigned long serial = 0;
        {
            RequestProbe probe(dpy);
            serial = probe.Serial();
            XSelectInput(dpy, w, StructureNotifyMask);
            exists = ReadPid(w, pid);
            selectFailed = probe.Failed();
        }
        if (!exists) return false;
        if (selectFailed) continue;
        DestroySince since{w, serial, false};
        XEvent unused;
        XCheckIfEvent(dpy, &unused, FindDestroySince, reinterpret_cast<XPointer>(&since));
        if (since.found) continue;
        // Every end of this id still queued belongs to an earlier window:
        // counted now, so that they do not count against this one.
        CountQueuedDestroys();
        IdRecord& r = Record(w);
        r.watched = true;
        r.watchedAt = r.ends;
        return true;
    }
    return false;
}

X11WindowTracker::IdRecord& X11WindowTracker::Record(WinHandle w) {
    auto [it, added] = ids_.try_emplace(w);
    if (added) it->second.ends = nextEnds_++;
    return it->second;
}

void X11WindowTracker::NoteDestroyed(WinHandle w) {
    IdRecord& r = Record(w);
    ++r.ends;
    if (r.ends >= nextEnds_) nextEnds_ = r.ends + 1;
    // Its id is free: a new window that gets it must count as added when
    // the client list shows it.
    std::erase(knownClients_, w);
}

std::uint64_t X11WindowTracker::EndsSeen(WinHandle w) const {
    auto it = ids_.find(w);
    return it != ids_.end() ? it->second.ends : 0;
}

bool X11WindowTracker::NoEndSeen(const WindowIdentity& id) const {
    if (id.handle == 0 || id.generation == kGoneGeneration) return false;
    if (IsOwn(id.handle)) return true;
    return EndsSeen(id.handle) == (id.generation >> 32);
}

bool X11WindowTracker::Watching(WinHandle w) const {
    auto it = ids_.find(w);
    return it != ids_.end() && it->second.watched && it->second.watchedAt == it->second.ends;
}

void X11WindowTracker::CountQueuedDestroys() {
    if (x_.dpy() == nullptr) return;
    std::map<WinHandle, std::uint32_t> queued;
    XEvent unused;
    XCheckIfEvent(x_.dpy(), &unused, TallyDestroys, reinterpret_cast<XPointer>(&queued));
    for (const auto& [w, n] : queued) {
        // The queue gives up its events from the front only, so the first
        // ones of a window are those counted before.
        while (Record(w).countedAhead < n) {
            NoteDestroyed(w);
            ++Record(w).countedAhead;
        }
    }
}

WindowIdentity X11WindowTracker::Identify(WinHandle w) {
    if (w == 0) return {};
    if (IsOwn(w)) return {w, 0};  // ours, for as long as we run
    std::uint32_t pid = 0;
    // Watching counts the ends of earlier windows with this id first.
    if (!Watch(w, pid)) return {w, kGoneGeneration};
    return {w, (EndsSeen(w) << 32) | pid};
}

bool X11WindowTracker::IsSame(const WindowIdentity& id) {
    if (id.handle == 0 || id.generation == kGoneGeneration || x_.dpy() == nullptr) return false;
    if (IsOwn(id.handle)) return true;
    std::uint32_t pid = 0;
    // The round trip brings in everything the server sent before it: a
    // destruction of the window identified is in the queue now if it
    // happened, even while nobody dispatches events.
    if (!ReadPid(id.handle, pid)) return false;
    CountQueuedDestroys();
    if (!NoEndSeen(id)) return false;
    const auto idPid = static_cast<std::uint32_t>(id.generation & 0xFFFFFFFFu);
    return idPid == 0 || pid == 0 || pid == idPid;
}

void X11WindowTracker::TakeClients(const std::vector<WinHandle>& clients) {
    for (WinHandle c : clients) {
        std::uint32_t pid = 0;
        if (c == main_ || Watch(c, pid)) knownClients_.push_back(c);
    }
}

std::vector<WinHandle> X11WindowTracker::ClientListChanged(const std::vector<WinHandle>& now) {
    CountQueuedDestroys();
    std::vector<WinHandle> kept, added;
    for (WinHandle w : now) {
        bool known = false;
        for (WinHandle k : knownClients_) known = known || k == w;
        std::uint32_t pid = 0;
        if (known || w == main_) {
            kept.push_back(w);
        } else if (Watch(w, pid)) {
            // Watched from now on; a window that is gone again stays
            // unknown, so the next owner of its id is new.
            kept.push_back(w);
            added.push_back(w);
        }
    }
    knownClients_ = kept;
    return added;
}

WinHandle X11WindowTracker::OnDestroyNotify(const XEvent& ev) {
    // Only the windows we watch report their own destruction.
    if (!IsOwnDestroy(ev)) return 0;
    const auto w = static_cast<WinHandle>(ev.xdestroywindow.window);
    auto known = ids_.find(w);
    std::uint64_t stillAhead = 0;
    if (known != ids_.end() && known->second.countedAhead > 0) {
        // Counted while it waited in the queue; its id may name a new,
        // known window by now.
        stillAhead = --known->second.countedAhead;
    } else {
        NoteDestroyed(w);
    }
    IdRecord& r = Record(w);
    // Which end of this id this is (those still counted ahead come later).
    // When a window with this id has been watched since, the id stands for
    // that one now: reported by its id, this end would make whoever took up
    // the new window forget it. The new window's own end is reported in its
    // turn.
    const std::uint64_t thisEnd = r.ends - stillAhead;
    const bool newerWindowWatched = r.watched && r.watchedAt >= thisEnd;
    if (newerWindowWatched) return 0;
    // The last window watched under this id has ended and no end of it is
    // still to come: nothing more is to be known of the id. Identities
    // taken of its windows stay told apart from any later window with it,
    // whose record starts above every value given so far.
    if (stillAhead == 0) ids_.erase(w);
    return w;
}

}  // namespace rw::x11
