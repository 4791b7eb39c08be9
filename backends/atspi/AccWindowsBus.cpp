// AccessibleWindows' connection: finding the bus, subscribing to the
// events, reading them, and the bounded calls into programs.
#include <poll.h>
#include <sys/epoll.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "AccWindowsImpl.h"

namespace rw::atspi {

namespace {

constexpr const char* kRegistryPath = "/org/a11y/atspi/registry";
constexpr const char* kRegistryInterface = "org.a11y.atspi.Registry";
constexpr int kRetrySeconds = 5;
// What may wait read but unhandled: beyond, the connection stops reading
// and the bus keeps the rest.
constexpr long kMaxQueuedBytes = 4L * 1024 * 1024;
// Messages handled per Dispatch; more wait for the next (Queued tells).
constexpr int kMaxPerDispatch = 2000;
// How long and how often a new program's windows are looked at.
constexpr auto kYoungFor = std::chrono::seconds(3);
constexpr auto kFirstLook = std::chrono::milliseconds(50);
constexpr auto kLookEvery = std::chrono::milliseconds(150);

// The events the programs are to send (registered with the registry, which
// tells the programs; they send only events someone listens to).
constexpr const char* kEvents[] = {
    "window:activate",       "window:deactivate", "window:create", "window:destroy", "window:close",
    "object:state-changed:active", "object:state-changed:focused",
};

// The signals this connection receives.
constexpr const char* kMatches[] = {
    "type='signal',interface='org.a11y.atspi.Event.Window'",
    "type='signal',interface='org.a11y.atspi.Event.Object',member='StateChanged',arg0='active'",
    "type='signal',interface='org.a11y.atspi.Event.Object',member='StateChanged',arg0='focused'",
    "type='signal',sender='org.a11y.atspi.Registry',interface='org.a11y.atspi.Event.Object',"
    "member='ChildrenChanged',path='/org/a11y/atspi/accessible/root'",
    "type='signal',sender='org.freedesktop.DBus',interface='org.freedesktop.DBus',member='NameOwnerChanged'",
};

}  // namespace

bool ReplyStates(DBusMessage* m, std::uint64_t& out) {
    DBusMessageIter it;
    if (m == nullptr || !dbus_message_iter_init(m, &it) || dbus_message_iter_get_arg_type(&it) != DBUS_TYPE_ARRAY)
        return false;
    DBusMessageIter a;
    dbus_message_iter_recurse(&it, &a);
    out = 0;
    for (int word = 0; word < 2 && dbus_message_iter_get_arg_type(&a) == DBUS_TYPE_UINT32; ++word) {
        dbus_uint32_t v = 0;
        dbus_message_iter_get_basic(&a, &v);
        out |= static_cast<std::uint64_t>(v) << (32 * word);
        dbus_message_iter_next(&a);
    }
    return true;
}

bool ReplyVariantObj(DBusMessage* m, Obj& out) {
    DBusMessageIter it;
    if (m == nullptr || !dbus_message_iter_init(m, &it)) return false;
    if (dbus_message_iter_get_arg_type(&it) != DBUS_TYPE_VARIANT) return ReadObj(&it, out);
    DBusMessageIter v;
    dbus_message_iter_recurse(&it, &v);
    return ReadObj(&v, out);
}

AccessibleWindows::Impl::~Impl() {
    Disconnect();
    if (epoll >= 0) close(epoll);
}

bool AccessibleWindows::Impl::Connect() {
    if (epoll < 0) epoll = epoll_create1(EPOLL_CLOEXEC);
    if (bus != nullptr) return true;
    const auto now = Clock::now();
    if (now < retryAt) return false;
    retryAt = now + std::chrono::seconds(kRetrySeconds);
    const std::string address = discovery.Address(opt.callTimeoutMs);
    if (address.empty()) return false;
    DBusError err;
    dbus_error_init(&err);
    DBusConnection* c = dbus_connection_open_private(address.c_str(), &err);
    dbus_error_free(&err);
    if (c == nullptr) return false;
    dbus_connection_set_exit_on_disconnect(c, FALSE);
    dbus_connection_set_max_received_size(c, kMaxQueuedBytes);
    // The greeting, with a bounded wait (dbus_bus_register would wait 25 s).
    if (!CallMethod(c, DBUS_SERVICE_DBUS, DBUS_PATH_DBUS, DBUS_INTERFACE_DBUS, "Hello", nullptr, opt.callTimeoutMs)) {
        dbus_connection_close(c);
        dbus_connection_unref(c);
        return false;
    }
    bus = c;
    int fd = -1;
    if (dbus_connection_get_unix_fd(bus, &fd) && fd >= 0 && epoll >= 0) {
        epoll_event ev{};
        ev.events = EPOLLIN;
        ev.data.fd = fd;
        if (epoll_ctl(epoll, EPOLL_CTL_ADD, fd, &ev) == 0) watched = fd;
    }
    // Subscribed before the look, so that nothing falls between the two.
    if (!Subscribe()) {
        Disconnect();
        return false;
    }
    lostSaid = false;
    Scan();
    return true;
}

void AccessibleWindows::Impl::Disconnect() {
    if (watched >= 0 && epoll >= 0) epoll_ctl(epoll, EPOLL_CTL_DEL, watched, nullptr);
    watched = -1;
    if (bus == nullptr) return;
    dbus_connection_close(bus);
    dbus_connection_unref(bus);
    bus = nullptr;
    apps.clear();
    young.clear();
    checkedFrame = 0;
}

void AccessibleWindows::Impl::Lose() {
    // The accessibility bus normally lives as long as the session: it is
    // looked for again after a while; meanwhile no window is known, and
    // nothing is answered.
    if (!lostSaid) std::fputs("replywick: the accessibility bus was lost; no window is known until it is back\n", stderr);
    lostSaid = true;
    Disconnect();
    book.Clear();
    retryAt = Clock::now() + std::chrono::seconds(kRetrySeconds);
}

bool AccessibleWindows::Impl::Subscribe() {
    for (const char* rule : kMatches) {
        if (!CallMethod(bus, DBUS_SERVICE_DBUS, DBUS_PATH_DBUS, DBUS_INTERFACE_DBUS, "AddMatch", rule,
                        opt.callTimeoutMs))
            return false;
    }
    for (const char* event : kEvents) {
        // at-spi2-core 2.46 takes the event, the properties wanted with it
        // and the program it is for; earlier registries the event alone.
        DBusMessagePtr call(dbus_message_new_method_call(kRegistry, kRegistryPath, kRegistryInterface, "RegisterEvent"));
        if (!call) return false;
        DBusMessageIter it, props;
        const char* none = "";
        dbus_message_iter_init_append(call.get(), &it);
        dbus_message_iter_append_basic(&it, DBUS_TYPE_STRING, &event);
        dbus_message_iter_open_container(&it, DBUS_TYPE_ARRAY, "s", &props);
        dbus_message_iter_close_container(&it, &props);
        dbus_message_iter_append_basic(&it, DBUS_TYPE_STRING, &none);
        if (Exchange1(bus, std::move(call), opt.callTimeoutMs)) continue;
        if (!CallMethod(bus, kRegistry, kRegistryPath, kRegistryInterface, "RegisterEvent", event, opt.callTimeoutMs))
            return false;
    }
    return true;
}

void AccessibleWindows::Impl::Scan() {
    const auto end = Clock::now() + std::chrono::milliseconds(opt.scanDeadlineMs);
    std::vector<Obj> programs;
    if (!ReplyObjs(Exchange1(bus, NewCall({kRegistry, kRootPath}, kAccessible, "GetChildren"), opt.callTimeoutMs).get(),
                   programs))
        return;
    for (const Obj& program : programs) {
        if (Clock::now() >= end) return;
        if (!Usable(program.bus)) continue;
        std::vector<Obj> frames;
        if (!ReplyObjs(Call(NewCall(program, kAccessible, "GetChildren"), program.bus).get(), frames)) continue;
        std::vector<DBusMessagePtr> calls;
        for (const Obj& f : frames) calls.push_back(NewCall(f, kAccessible, "GetState"));
        const auto states = Calls(calls, program.bus);
        for (std::size_t i = 0; i < frames.size(); ++i) {
            std::uint64_t s = 0;
            if (!ReplyStates(states[i].get(), s) || !HasState(s, kStateActive)) continue;
            // Only the bus name and path count: the title is read when asked.
            book.Activate(frames[i].bus, frames[i].path);
            return;
        }
    }
}

void AccessibleWindows::Impl::Dispatch() {
    if (bus == nullptr) {
        if (started) Connect();
        return;
    }
    int handled = 0;
    for (int round = 0; round < 64 && handled < kMaxPerDispatch; ++round) {
        dbus_connection_read_write(bus, 0);
        if (!dbus_connection_get_is_connected(bus)) {
            Lose();
            return;
        }
        int popped = 0;
        while (handled < kMaxPerDispatch) {
            DBusMessage* m = dbus_connection_pop_message(bus);
            if (m == nullptr) break;
            const AccEvent e = ParseEvent(m);
            dbus_message_unref(m);
            ++popped;
            ++handled;
            Handle(e);
            if (bus == nullptr) return;
        }
        if (popped == 0) break;
    }
    LookAtYoungPrograms();
    SayIfNothingInFront();
}

void AccessibleWindows::Impl::Handle(const AccEvent& e) {
    using T = AccEvent::Type;
    switch (e.type) {
        case T::None: return;
        case T::AppAdded:
            if (young.size() < 64) {
                App& app = AppOf(e.bus);
                app.youngUntil = Clock::now() + kYoungFor;
                app.nextLook = Clock::now() + kFirstLook;
                young.push_back(e.bus);
            }
            [[fallthrough]];
        case T::Created:
            if (!book.EverActivated()) {
                App& app = AppOf(e.bus);
                if (!app.came) {
                    app.came = true;
                    app.cameAt = Clock::now();
                }
            }
            break;
        case T::AppGone:
            apps.erase(e.bus);
            break;
        case T::Focused: {
            // A control got the focus in a program that has no window in
            // front: the window it lies in came to the front unannounced.
            const FrameBook::Frame* front = book.Get(book.Foreground());
            if (front == nullptr || front->bus != e.bus) LookForActive(e.bus);
            break;
        }
        case T::ActiveState:
            // Tables and lists mark their active item with the same state:
            // an unknown object counts only when it is a top-level one.
            if (book.Find(e.bus, e.path) == 0 && TopLevel(e.bus, e.path)) book.Activate(e.bus, e.path);
            break;
        default: break;
    }
    if (e.type == T::Focused || e.type == T::Unfocused || e.type == T::AppGone) checkedFrame = 0;
    if (e.type == T::Activated || e.type == T::ActiveState || e.type == T::Deactivated || e.type == T::Focused) {
        AppOf(e.bus).tells = true;
    }
    book.Apply(e);
}

void AccessibleWindows::Impl::SayIfNothingInFront() {
    if (nothingInFrontSaid || book.EverActivated()) return;
    const auto now = Clock::now();
    for (auto& [name, app] : apps) {
        if (!app.came || app.looked || now - app.cameAt < std::chrono::milliseconds(opt.noFrontSayMs)) continue;
        app.looked = true;
        if (!Usable(name)) continue;
        std::int32_t windows = 0;
        if (!ReplyInt(Call(NewGetProperty({name, kRootPath}, kAccessible, "ChildCount"), name).get(), windows) ||
            windows <= 0)
            continue;
        nothingInFrontSaid = true;
        std::fputs("replywick: a program shows a window, but the desktop has brought no window to the front: "
                   "the accessibility bus tells no foreground (a seat without a keyboard activates no window); "
                   "no dialog is answered until a window is activated\n",
                   stderr);
        return;
    }
}

bool AccessibleWindows::Impl::LookForActive(const std::string& busName) {
    if (!Usable(busName)) return false;
    std::vector<Obj> frames;
    if (!ReplyObjs(Call(NewCall({busName, kRootPath}, kAccessible, "GetChildren"), busName).get(), frames))
        return false;
    if (frames.size() > 64) frames.resize(64);
    std::vector<DBusMessagePtr> calls;
    for (const Obj& f : frames) calls.push_back(NewCall(f, kAccessible, "GetState"));
    const auto states = Calls(calls, busName);
    for (std::size_t i = 0; i < frames.size(); ++i) {
        std::uint64_t st = 0;
        if (frames[i].bus != busName || !ReplyStates(states[i].get(), st) || !HasState(st, kStateActive)) continue;
        book.Activate(busName, frames[i].path);
        return true;
    }
    return false;
}

void AccessibleWindows::Impl::LookAtYoungPrograms() {
    if (young.empty()) return;
    const auto now = Clock::now();
    std::vector<std::string> still;
    for (const std::string& name : young) {
        auto it = apps.find(name);
        if (it == apps.end() || now >= it->second.youngUntil) continue;
        if (now >= it->second.nextLook) {
            // Once the program tells of its window, the events serve.
            if (LookForActive(name)) continue;
            auto again = apps.find(name);
            if (again == apps.end()) continue;
            again->second.nextLook = Clock::now() + kLookEvery;
        }
        still.push_back(name);
    }
    young = std::move(still);
}

bool AccessibleWindows::Impl::FrameActive(WinHandle w) {
    const FrameBook::Frame* f = Callable(w);
    if (f != nullptr) {
        auto app = apps.find(f->bus);
        if (app != apps.end() && app->second.tells) return true;
    }
    std::uint64_t st = 0;
    return f != nullptr && ReplyStates(Call(NewCall({f->bus, f->path}, kAccessible, "GetState"), f->bus).get(), st) &&
           HasState(st, kStateActive);
}

WinHandle AccessibleWindows::Impl::FrameNamed(std::uint32_t pid, const std::string& title) {
    if (bus == nullptr || pid == 0) return 0;
    std::vector<Obj> programs;
    if (!ReplyObjs(Exchange1(bus, NewCall({kRegistry, kRootPath}, kAccessible, "GetChildren"), opt.callTimeoutMs).get(),
                   programs))
        return 0;
    for (const Obj& program : programs) {
        if (PidOf(program.bus) != pid || !Usable(program.bus)) continue;
        std::vector<Obj> frames;
        if (!ReplyObjs(Call(NewCall(program, kAccessible, "GetChildren"), program.bus).get(), frames)) continue;
        if (frames.size() > 64) frames.resize(64);
        std::vector<DBusMessagePtr> calls;
        for (const Obj& f : frames) calls.push_back(NewGetProperty(f, kAccessible, "Name"));
        const auto names = Calls(calls, program.bus);
        for (std::size_t i = 0; i < frames.size(); ++i) {
            std::string name;
            if (frames[i].bus == program.bus && ReplyString(names[i].get(), name) && TitleMatches(name, title))
                return book.See(frames[i].bus, frames[i].path, name);
        }
    }
    return 0;
}

bool AccessibleWindows::Impl::WaitForMessage(int ms) {
    if (bus == nullptr) return false;
    if (dbus_connection_get_dispatch_status(bus) == DBUS_DISPATCH_DATA_REMAINS) return true;
    if (watched < 0) return false;
    pollfd p{watched, POLLIN, 0};
    return poll(&p, 1, ms) > 0;
}

AccessibleWindows::Impl::App& AccessibleWindows::Impl::AppOf(const std::string& busName) {
    // Bounded by the programs on the bus: each leaves with its connection.
    if (apps.size() >= 4096 && !apps.contains(busName)) apps.clear();
    return apps[busName];
}

std::uint32_t AccessibleWindows::Impl::PidOf(const std::string& busName) {
    if (bus == nullptr || busName.empty()) return 0;
    App& app = AppOf(busName);
    if (app.pidAsked) return app.pid;
    // Answered by the bus daemon, not by the program.
    const DBusMessagePtr reply = CallMethod(bus, DBUS_SERVICE_DBUS, DBUS_PATH_DBUS, DBUS_INTERFACE_DBUS,
                                            "GetConnectionUnixProcessID", busName.c_str(), opt.callTimeoutMs);
    std::uint32_t pid = 0;
    if (!ReplyUint(reply.get(), pid)) return 0;
    app.pid = pid;
    app.pidAsked = true;
    app.self = pid == static_cast<std::uint32_t>(getpid());
    return pid;
}

bool AccessibleWindows::Impl::Usable(const std::string& busName) {
    if (bus == nullptr || PidOf(busName) == 0) return false;
    const App& app = AppOf(busName);
    return !app.self && Clock::now() >= app.hungUntil;
}

std::vector<DBusMessagePtr> AccessibleWindows::Impl::Calls(std::span<DBusMessagePtr> calls, const std::string& busName,
                                                           int timeoutMs) {
    if (bus == nullptr) return std::vector<DBusMessagePtr>(calls.size());
    const int timeout = timeoutMs >= 0 ? std::min(timeoutMs, opt.callTimeoutMs) : opt.callTimeoutMs;
    const auto sent = Clock::now();
    auto replies = Exchange(bus, calls, timeout);
    // A call that used up its time-out means the program does not answer.
    const bool failed = std::any_of(replies.begin(), replies.end(), [](const auto& r) { return !r; });
    if (failed && Clock::now() - sent >= std::chrono::milliseconds(timeout * 3 / 4))
        AppOf(busName).hungUntil = Clock::now() + std::chrono::milliseconds(opt.hungBackoffMs);
    return replies;
}

DBusMessagePtr AccessibleWindows::Impl::Call(DBusMessagePtr call, const std::string& busName, int timeoutMs) {
    return std::move(Calls(std::span<DBusMessagePtr>(&call, 1), busName, timeoutMs).front());
}

bool AccessibleWindows::Impl::CountsCharacters(const std::string& busName) {
    App& app = AppOf(busName);
    if (!app.toolkitAsked && Usable(busName)) {
        std::string toolkit;
        ReplyString(Call(NewGetProperty({busName, kRootPath}, "org.a11y.atspi.Application", "ToolkitName"), busName).get(),
                    toolkit);
        App& again = AppOf(busName);
        again.toolkit = toolkit;
        again.toolkitAsked = true;
    }
    return AppOf(busName).toolkit.rfind("Qt", 0) == 0;
}

bool AccessibleWindows::Impl::TopLevel(const std::string& busName, const std::string& path) {
    if (!Usable(busName)) return false;
    Obj parent;
    return ReplyVariantObj(Call(NewGetProperty({busName, path}, kAccessible, "Parent"), busName).get(), parent) &&
           parent.bus == busName && parent.path == kRootPath;
}

const FrameBook::Frame* AccessibleWindows::Impl::Callable(WinHandle w) {
    const FrameBook::Frame* f = book.Get(w);
    return f != nullptr && Usable(f->bus) ? f : nullptr;
}

}  // namespace rw::atspi
