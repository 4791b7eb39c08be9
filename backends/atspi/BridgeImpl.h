// The inside of the accessibility bridge: its private connection to the
// bus and the walks it makes there. Included by the bridge's own files only.
#pragma once

#include "AccessibilityBridge.h"

#include <dbus/dbus.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <span>
#include <sstream>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <unordered_set>

#include "AtspiWire.h"
#include "BusDiscovery.h"
#include "base/Ascii.h"

namespace rw::atspi {

namespace bridge {

using Clock = std::chrono::steady_clock;

struct Deadline {
    Clock::time_point end;
    explicit Deadline(int ms) : end(Clock::now() + std::chrono::milliseconds(ms)) {}
    bool Expired() const { return Clock::now() >= end; }
};

}  // namespace bridge

using bridge::Clock;
using bridge::Deadline;

struct AccessibilityBridge::Impl {
    Options opt;
    DBusConnection* bus = nullptr;  // private connection to the accessibility bus
    Clock::time_point retryAt{};
    std::unordered_map<std::string, std::uint32_t> pidByBusName;  // unique names never recur
    std::unordered_map<std::string, Clock::time_point> hungUntil;
    UnpublishedProcesses unpublished;
    BusDiscovery discovery;
    // InsertText's last control, and the programs' toolkits (Qt counts text
    // lengths in UTF-16 units, GTK in bytes).
    struct TextFocus {
        std::uint32_t pid = 0;
        std::string title;
        Obj control;
    } textFocus;
    std::unordered_map<std::string, bool> qtByBusName;

    // What a look at the bus found.
    enum class Look {
        Found,     // the window's accessible
        NotReady,  // its application has not registered (yet), or lists no window yet
        Absent,    // anything else: no bus, no match, no answer, time ran out
    };

    ~Impl() { Disconnect(); }

    void Disconnect() {
        if (!bus) return;
        dbus_connection_close(bus);
        dbus_connection_unref(bus);
        bus = nullptr;
        pidByBusName.clear();
        hungUntil.clear();
    }

    bool Connect() {
        const auto now = Clock::now();
        if (bus) {
            if (dbus_connection_get_is_connected(bus)) return true;
            // The accessibility bus went away (its launcher ended; it normally
            // lives as long as the session): a new one is looked for later.
            Disconnect();
            retryAt = now + std::chrono::seconds(5);
            return false;
        }
        if (now < retryAt) return false;
        retryAt = now + std::chrono::seconds(5);
        const std::string address = discovery.Address(opt.deadlineMs);
        if (address.empty()) return false;
        DBusError err;
        dbus_error_init(&err);
        DBusConnection* c = dbus_connection_open_private(address.c_str(), &err);
        dbus_error_free(&err);
        if (!c) return false;
        dbus_connection_set_exit_on_disconnect(c, FALSE);
        // What may wait unread: nothing is subscribed, so only late replies
        // of calls that timed out arrive unasked; they are dropped after each
        // look, and this bounds them between looks.
        dbus_connection_set_max_received_size(c, kMaxQueuedBytes);
        // The bus's greeting, with a bounded wait (dbus_bus_register would
        // wait 25 s on a bus that does not answer).
        if (!CallMethod(c, DBUS_SERVICE_DBUS, DBUS_PATH_DBUS, DBUS_INTERFACE_DBUS, "Hello", nullptr,
                        opt.deadlineMs)) {
            dbus_connection_close(c);
            dbus_connection_unref(c);
            return false;
        }
        bus = c;
        return true;
    }

    static constexpr long kMaxQueuedBytes = 256 * 1024;

    // Drops what arrived unasked (late replies of calls that timed out, the
    // bus's greeting signal), without blocking. Called before and after
    // each look, so that nothing is left to be handled late.
    void Drain() {
        if (!bus) return;
        // One read takes what the socket holds up to a chunk: read again
        // while messages come in, within a bound.
        for (int round = 0; round < 64; ++round) {
            dbus_connection_read_write(bus, 0);
            int dropped = 0;
            while (DBusMessage* m = dbus_connection_pop_message(bus)) {
                dbus_message_unref(m);
                ++dropped;
            }
            if (dropped == 0) break;
        }
    }

    bool IsHung(const std::string& busName) {
        auto it = hungUntil.find(busName);
        if (it == hungUntil.end()) return false;
        if (Clock::now() < it->second) return true;
        hungUntil.erase(it);
        return false;
    }

    // Called after a failed call into an application: a call that used up
    // its timeout means the application does not answer.
    void NoteFailure(const Obj& o, Clock::time_point started) {
        const auto now = Clock::now();
        if (now - started < std::chrono::milliseconds(opt.callTimeoutMs * 3 / 4)) return;
        if (hungUntil.size() >= 64)
            std::erase_if(hungUntil, [&](const auto& e) { return e.second <= now; });
        if (hungUntil.size() >= 64) hungUntil.clear();
        hungUntil[o.bus] = now + std::chrono::milliseconds(opt.hungBackoffMs);
    }

    std::uint32_t PidOf(const std::string& name) {
        if (name.empty()) return 0;
        auto it = pidByBusName.find(name);
        if (it != pidByBusName.end()) return it->second;
        // Answered by the bus daemon, not by the application.
        const DBusMessagePtr reply = CallMethod(bus, DBUS_SERVICE_DBUS, DBUS_PATH_DBUS, DBUS_INTERFACE_DBUS,
                                                "GetConnectionUnixProcessID", name.c_str(), opt.callTimeoutMs);
        std::uint32_t pid = 0;
        if (!ReplyUint(reply.get(), pid)) return 0;
        // Kept small by ForgetUnlisted; this only guards against a registry
        // that lists thousands of applications.
        if (pidByBusName.size() >= 1024) pidByBusName.clear();
        pidByBusName.emplace(name, pid);
        return pid;
    }

    // Applications come and go, and their bus names are never reused: only
    // those the registry lists now are kept, so that a day of short-lived
    // dialog programs leaves nothing behind.
    void ForgetUnlisted(const std::vector<Obj>& apps) {
        std::unordered_set<std::string_view> listed;
        for (const Obj& a : apps) listed.insert(a.bus);
        std::erase_if(pidByBusName, [&](const auto& e) { return !listed.contains(e.first); });
        std::erase_if(hungUntil, [&](const auto& e) { return !listed.contains(e.first); });
    }

    // The children of an object: their count, then all of them at once.
    // False when the object did not answer.
    bool Children(const Obj& o, std::vector<Obj>& out, const Deadline& dl) {
        auto started = Clock::now();
        std::int32_t count = 0;
        if (!ReplyInt(Exchange1(bus, NewGetProperty(o, kAccessible, "ChildCount"), opt.callTimeoutMs).get(),
                      count)) {
            NoteFailure(o, started);
            return false;
        }
        count = std::clamp(count, 0, 256);
        std::vector<DBusMessagePtr> calls;
        for (std::int32_t i = 0; i < count; ++i) calls.push_back(NewCallInt(o, kAccessible, "GetChildAtIndex", i));
        if (dl.Expired()) return false;
        started = Clock::now();
        const auto replies = Exchange(bus, calls, opt.callTimeoutMs);
        for (const auto& r : replies) {
            Obj child;
            if (!ReplyObj(r.get(), child)) {
                NoteFailure(o, started);
                return false;
            }
            out.push_back(std::move(child));
        }
        return true;
    }

    // The accessible of the top-level window.
    Look FindWindow(const AccWindow& window, const Deadline& dl, Obj& found) {
        const std::uint32_t pid = window.pid;
        const std::string& title = window.title;
        const Rect4 rect{window.x, window.y, window.w, window.h};
        // This process serves its own accessibility calls on the thread that
        // would be waiting here: its windows could only time out.
        if (pid == 0 || pid == static_cast<std::uint32_t>(getpid())) return Look::Absent;
        if (!Connect()) return Look::Absent;
        Drain();
        std::vector<Obj> apps;
        const DBusMessagePtr listed =
            Exchange1(bus, NewCall({kRegistry, kRootPath}, kAccessible, "GetChildren"), opt.callTimeoutMs);
        if (!ReplyObjs(listed.get(), apps)) return Look::Absent;
        ForgetUnlisted(apps);

        Obj best;
        long bestScore = -1;
        Obj byPlace;  // fallback: the only window at the rectangle
        int byPlaceCount = 0;
        const bool haveRect = rect.w > 0 && rect.h > 0;
        bool registered = false;
        bool anyWindow = false;

        for (const Obj& app : apps) {
            if (dl.Expired()) return Look::Absent;
            if (PidOf(app.bus) != pid) continue;
            registered = true;
            if (IsHung(app.bus)) return Look::Absent;
            std::vector<Obj> windows;
            if (!Children(app, windows, dl)) return Look::Absent;
            anyWindow = anyWindow || !windows.empty();
            for (Obj& win : windows) {
                if (dl.Expired()) return Look::Absent;
                DBusMessagePtr calls[2] = {NewGetProperty(win, kAccessible, "Name"),
                                           haveRect ? NewCallUint(win, kComponent, "GetExtents", 0)  // screen
                                                    : DBusMessagePtr()};
                const auto started = Clock::now();
                auto replies = Exchange(bus, calls, opt.callTimeoutMs);
                std::string name;
                if (!ReplyString(replies[0].get(), name)) {
                    NoteFailure(app, started);
                    return Look::Absent;
                }
                Rect4 ext;
                // No extents: a window without a component, or one that
                // went away meanwhile.
                const bool haveExt = ReplyRect(replies[1].get(), ext) && ext.w > 0 && ext.h > 0;
                if (haveRect && !replies[1]) NoteFailure(app, started);
                const long dist = haveExt ? RectDistance(ext, rect) : -1;
                if (TitleMatches(name, title)) {
                    // The extents choose among windows of the same name: one
                    // at the rectangle first, then one without usable
                    // extents, then one elsewhere. They never reject a name
                    // match on their own: GTK 4 reports window-relative
                    // positions on X11, and scaled toolkits report logical
                    // pixels.
                    long score = kUnknownPlace;
                    if (haveExt) score = dist >= 0 ? dist : kElsewhere;
                    if (!best || score < bestScore) {
                        best = std::move(win);
                        bestScore = score;
                    }
                } else if (haveExt && dist >= 0 && dist <= kPlaceTolerance) {
                    ++byPlaceCount;
                    byPlace = std::move(win);
                }
            }
        }
        if (best) {
            found = std::move(best);
            return Look::Found;
        }
        if (byPlaceCount == 1) {
            found = std::move(byPlace);
            return Look::Found;
        }
        // Toolkits register with the registry a moment after they start,
        // and may show a window before that: not yet, rather than never.
        if (!registered || !anyWindow) return Look::NotReady;
        return Look::Absent;
    }

    // Sum of edge distances within which a window counts as lying at the
    // rectangle: window-manager frames add a title bar and borders.
    static constexpr long kPlaceTolerance = 96;
    static constexpr long kUnknownPlace = 1L << 29;
    static constexpr long kElsewhere = 1L << 30;

    // The nodes of a window, all or up to its text node; empty when the
    // window is not found or the walk was cut short by the deadline (a
    // prefix would mislead).
    std::vector<AccNode> Nodes(const AccWindow& window, bool untilText, Look& look) {
        const Deadline dl(opt.deadlineMs);
        std::vector<AccNode> nodes;
        Obj win;
        look = FindWindow(window, dl, win);
        if (look == Look::Found) {
            bool complete = false;
            Walk(win, &nodes, untilText, {}, dl, complete, window.title);
            if (!complete) nodes.clear();
        }
        Drain();
        return nodes;
    }

    // A look, and while the window's application has not registered yet,
    // more looks in short steps for up to readyWaitMs. A process that never
    // registered within that time is not waited for again.
    std::vector<AccNode> NodesOnceReady(const AccWindow& window, bool untilText) {
        const auto end = Clock::now() + std::chrono::milliseconds(opt.readyWaitMs);
        Look look = Look::Absent;
        std::vector<AccNode> nodes = Nodes(window, untilText, look);
        if (look != Look::NotReady) {
            if (look == Look::Found) unpublished.Forget(window.pid);
            return nodes;
        }
        const std::uint64_t started = ProcessStart(window.pid);
        if (unpublished.Contains(window.pid, started)) return nodes;
        while (look == Look::NotReady && Clock::now() < end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(kReadyStepMs));
            nodes = Nodes(window, untilText, look);
        }
        if (look == Look::NotReady) unpublished.Add(window.pid, started);
        if (look == Look::Found) unpublished.Forget(window.pid);
        return nodes;
    }

    static constexpr int kReadyStepMs = 10;

    // A push button and the dialog control id it stands for.
    struct Found {
        Obj button;
        int id = 0;
    };

    // A child below a window, with what the walk needs to know of it.
    struct Kid {
        Obj obj;
        std::uint32_t role = 0;
        std::string name;
        std::int32_t count = 0;
    };

    // The first `count` children of `node` with their role, name and child
    // count: all references of a batch of siblings asked at once, then all
    // their facts at once, so that a group of siblings costs two round
    // trips rather than two per child. Children that vanished meanwhile are
    // left out. False when the target did not answer (noted against `of`).
    bool Kids(const Obj& node, std::int32_t count, std::vector<Kid>& out, const Obj& of, const Deadline& dl) {
        constexpr std::int32_t kBatch = 32;
        for (std::int32_t first = 0; first < count; first += kBatch) {
            if (dl.Expired()) return false;
            const std::int32_t n = std::min(kBatch, count - first);
            std::vector<DBusMessagePtr> calls;
            for (std::int32_t i = 0; i < n; ++i)
                calls.push_back(NewCallInt(node, kAccessible, "GetChildAtIndex", first + i));
            auto started = Clock::now();
            const auto refs = Exchange(bus, calls, opt.callTimeoutMs);
            std::vector<Kid> batch;
            for (const auto& r : refs) {
                Kid k;
                if (!ReplyObj(r.get(), k.obj)) {
                    NoteFailure(of, started);
                    return false;
                }
                // A child that vanished meanwhile is answered with a null object.
                if (!k.obj || !dbus_validate_bus_name(k.obj.bus.c_str(), nullptr)) continue;
                batch.push_back(std::move(k));
            }
            calls.clear();
            for (const Kid& k : batch) {
                calls.push_back(NewCall(k.obj, kAccessible, "GetRole"));
                calls.push_back(NewGetProperty(k.obj, kAccessible, "Name"));
                calls.push_back(NewGetProperty(k.obj, kAccessible, "ChildCount"));
            }
            started = Clock::now();
            const auto facts = Exchange(bus, calls, opt.callTimeoutMs);
            for (std::size_t i = 0; i < batch.size(); ++i) {
                Kid& k = batch[i];
                if (!ReplyUint(facts[3 * i].get(), k.role) || !ReplyString(facts[3 * i + 1].get(), k.name) ||
                    !ReplyInt(facts[3 * i + 2].get(), k.count)) {
                    NoteFailure(of, started);
                    return false;
                }
                out.push_back(std::move(k));
            }
        }
        return true;
    }

    // Depth-first walk below `root` (root excluded). With `nodes` it
    // collects them, with untilText only up to the node that holds the
    // dialog text (DialogTextFromNodes, with the same title, gives the same
    // answer on what was walked). With `ids` it finds the button of the first id in their
    // order that the window has; a button of the first id ends the walk.
    // `complete` tells whether the walk got to its end (or to what ended
    // it): a walk cut short by the deadline answers nothing.
    Found Walk(const Obj& root, std::vector<AccNode>* nodes, bool untilText, std::span<const int> ids,
               const Deadline& dl, bool& complete, std::string_view title = {}) {
        complete = false;
        DialogTextReader reader(title);
        // Appends a node; true when the text node has been reached.
        auto emit = [&](AccNode node) {
            if (!nodes) return false;
            nodes->push_back(std::move(node));
            return untilText && reader.Add(nodes->back());
        };
        Found best;
        std::size_t bestRank = ids.size();
        struct Frame {
            std::vector<Kid> kids;
            std::size_t next = 0;
        };
        std::vector<Frame> stack;
        const auto started = Clock::now();
        std::int32_t rootCount = 0;
        if (!ReplyInt(Exchange1(bus, NewGetProperty(root, kAccessible, "ChildCount"), opt.callTimeoutMs).get(),
                      rootCount)) {
            NoteFailure(root, started);
            return {};
        }
        int seen = 0;
        // Asks for the children of a node, within the node budget.
        auto push = [&](const Obj& node, std::int32_t count) {
            if (seen + count > opt.maxNodes) return false;
            Frame f;
            if (!Kids(node, count, f.kids, root, dl)) return false;
            seen += count;
            stack.push_back(std::move(f));
            return true;
        };
        if (!push(root, rootCount)) return {};
        while (!stack.empty()) {
            if (dl.Expired()) return {};
            Frame& top = stack.back();
            if (top.next >= top.kids.size()) {
                stack.pop_back();
                continue;
            }
            Kid child = std::move(top.kids[top.next++]);
            if (child.role == kRolePushButton && !ids.empty()) {
                bool failed = false;
                const std::size_t rank = ButtonRank(child, ids, dl, failed);
                if (failed) return {};
                if (rank < bestRank) {
                    bestRank = rank;
                    best = {std::move(child.obj), ids[rank]};
                    if (rank == 0) break;
                }
                continue;
            }
            if (emit({RoleName(child.role), std::move(child.name)})) break;
            // A button is one control, like a Win32 button: what a toolkit
            // puts inside it (GTK 4: its label) is not walked.
            if (child.role != kRolePushButton && stack.size() < 64 && child.count > 0 && !HoldsItems(child.role) &&
                !push(child.obj, child.count))
                return {};
        }
        complete = true;
        return best;
    }

    // Which of `ids` a push button stands for, as its place in them
    // (ids.size() for none): by its own name, else by the name of a label
    // inside it (GTK 4.8 names a mnemonic button "_Yes Yes": its label text
    // with the marker, then its inner label's name). `failed` when the
    // target did not answer.
    std::size_t ButtonRank(const Kid& button, std::span<const int> ids, const Deadline& dl, bool& failed) {
        const std::size_t own = RankOfName(ids, button.name);
        if (own < ids.size() || button.count <= 0) return own;
        std::vector<Kid> inner;
        if (!Kids(button.obj, std::min<std::int32_t>(button.count, 8), inner, button.obj, dl)) {
            failed = true;
            return ids.size();
        }
        for (const Kid& k : inner) {
            if (k.role != kRoleLabel) continue;
            const std::size_t r = RankOfName(ids, k.name);
            if (r < ids.size()) return r;
        }
        return ids.size();
    }

    Found FindButton(const AccWindow& window, std::initializer_list<int> ids, const Deadline& dl) {
        if (std::none_of(ids.begin(), ids.end(), IsButtonId)) return {};
        Obj win;
        if (FindWindow(window, dl, win) != Look::Found) return {};
        bool complete = false;
        Found found = Walk(win, nullptr, false, std::span<const int>(ids.begin(), ids.size()), dl, complete);
        return complete ? std::move(found) : Found{};
    }

    // Presses a button through its default action; true when the target
    // acknowledged it. `mayPress` is asked last.
    bool PressDefaultAction(const Obj& button, const Deadline& dl, const std::function<bool()>& mayPress) {
        std::int32_t n = 0;
        if (!ReplyInt(Exchange1(bus, NewGetProperty(button, kAction, "NActions"), opt.callTimeoutMs).get(), n) ||
            n <= 0)
            return false;
        // The default action of a button: GTK calls it "click", Qt "Press".
        std::vector<DBusMessagePtr> calls;
        for (std::int32_t i = 0; i < n && i < 16; ++i) calls.push_back(NewCallInt(button, kAction, "GetName", i));
        const auto replies = Exchange(bus, calls, opt.callTimeoutMs);
        std::int32_t chosen = 0;
        int rank = 99;
        for (std::size_t i = 0; i < replies.size(); ++i) {
            std::string name;
            if (!ReplyString(replies[i].get(), name)) return false;
            name = AsciiLower(name);
            const int r = name == "click" ? 0 : name == "press" ? 1 : name == "activate" ? 2 : 99;
            if (r < rank) {
                rank = r;
                chosen = static_cast<std::int32_t>(i);
            }
        }
        if (dl.Expired()) return false;
        if (mayPress && !mayPress()) return false;
        // A toolkit that clicks synchronously may answer only when what the
        // click opened (a modal box) has closed, while it still serves other
        // calls: a time-out here does not mean the program hangs.
        bool done = false;
        return ReplyBool(Exchange1(bus, NewCallInt(button, kAction, "DoAction", chosen), opt.callTimeoutMs).get(),
                         done) &&
               done;
    }
};


}  // namespace rw::atspi
