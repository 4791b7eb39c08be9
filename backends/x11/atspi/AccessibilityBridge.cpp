// AT-SPI side of the accessibility bridge (libatspi).
#include "AccessibilityBridge.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <dbus/dbus.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atspi/atspi.h>

#include <chrono>
#include <cstdlib>
#include <string_view>
#include <unordered_map>

namespace rw::x11 {

namespace {

using Clock = std::chrono::steady_clock;

struct Deadline {
    Clock::time_point end;
    explicit Deadline(int ms) : end(Clock::now() + std::chrono::milliseconds(ms)) {}
    bool Expired() const { return Clock::now() >= end; }
};

// Owning reference to a GObject of libatspi.
template <typename T>
class Ref {
public:
    Ref() = default;
    explicit Ref(T* p) : p_(p) {}
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    Ref(Ref&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
    Ref& operator=(Ref&& o) noexcept {
        if (this != &o) {
            Reset();
            p_ = o.p_;
            o.p_ = nullptr;
        }
        return *this;
    }
    ~Ref() { Reset(); }
    T* get() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    void Reset() {
        if (p_) g_object_unref(p_);
        p_ = nullptr;
    }

private:
    T* p_ = nullptr;
};

// A GError slot that frees what it holds.
struct Error {
    GError* e = nullptr;
    ~Error() { Clear(); }
    GError** operator&() {
        Clear();
        return &e;
    }
    explicit operator bool() const { return e != nullptr; }
    void Clear() {
        if (e) g_error_free(e);
        e = nullptr;
    }
};

std::string TakeString(gchar* s) {
    std::string out = s ? s : "";
    g_free(s);
    return out;
}

bool EnvSet(const char* name) {
    const char* v = std::getenv(name);
    return v && *v;
}

// Whether some session bus is known without libdbus autolaunching one (that
// would start a stray bus daemon bound to the display).
bool SessionBusKnown() {
    if (EnvSet("DBUS_SESSION_BUS_ADDRESS")) return true;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!runtime || !*runtime) return false;
    struct stat st {};
    const std::string path = std::string(runtime) + "/bus";
    return stat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode);
}

// Asks the session bus for the accessibility bus address with a bounded
// wait; libatspi would wait for the D-Bus default of 25 s.
bool A11yBusAnswers(int timeoutMs) {
    if (!SessionBusKnown()) return false;
    DBusError err;
    dbus_error_init(&err);
    DBusConnection* session = dbus_bus_get(DBUS_BUS_SESSION, &err);
    if (!session) {
        dbus_error_free(&err);
        return false;
    }
    dbus_connection_set_exit_on_disconnect(session, FALSE);
    bool ok = false;
    if (DBusMessage* msg = dbus_message_new_method_call("org.a11y.Bus", "/org/a11y/bus",
                                                        "org.a11y.Bus", "GetAddress")) {
        DBusMessage* reply =
            dbus_connection_send_with_reply_and_block(session, msg, timeoutMs, &err);
        dbus_message_unref(msg);
        if (reply) {
            const char* address = nullptr;
            ok = dbus_message_get_args(reply, nullptr, DBUS_TYPE_STRING, &address,
                                       DBUS_TYPE_INVALID) &&
                 address && *address;
            dbus_message_unref(reply);
        }
    }
    dbus_error_free(&err);
    dbus_connection_unref(session);
    return ok;
}

// The accessibility bus address the bus launcher publishes on the X root
// window (AT_SPI_BUS), where GTK programs look for it too; empty if none.
std::string A11yBusOfDisplay() {
    if (!EnvSet("DISPLAY")) return {};
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy) return {};
    std::string address;
    const Atom atom = XInternAtom(dpy, "AT_SPI_BUS", True);
    if (atom != None) {
        Atom type = None;
        int format = 0;
        unsigned long count = 0, left = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(dpy, DefaultRootWindow(dpy), atom, 0, 1024, False, XA_STRING, &type,
                               &format, &count, &left, &data) == Success &&
            data && format == 8)
            address.assign(reinterpret_cast<const char*>(data), count);
        if (data) XFree(data);
    }
    XCloseDisplay(dpy);
    return address;
}

// The GLib main context that serves libatspi's connection, one per process
// like that connection; never freed, since libatspi keeps sources on it.
GMainContext* SharedContext() {
    static GMainContext* context = g_main_context_new();
    return context;
}

const char* BusNameOf(AtspiAccessible* a) {
    AtspiObject* o = ATSPI_OBJECT(a);
    return (o && o->app && o->app->bus_name) ? o->app->bus_name : "";
}

std::string RoleName(AtspiRole role) {
    // The untranslated role name ("push button"), independent of the locale.
    return TakeString(atspi_role_get_name(role));
}

// Lower-case ASCII copy, for comparing action names.
std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

// Containers whose contents are items rather than controls (rows, cells,
// menu entries, document content), as a Win32 list view's rows are not child
// windows. They count as one node; their contents are not walked, which also
// keeps a dialog with a long list as quick as any other.
bool HoldsItems(AtspiRole role) {
    switch (role) {
        case ATSPI_ROLE_LIST:
        case ATSPI_ROLE_LIST_BOX:
        case ATSPI_ROLE_TABLE:
        case ATSPI_ROLE_TREE:
        case ATSPI_ROLE_TREE_TABLE:
        case ATSPI_ROLE_MENU_BAR:
        case ATSPI_ROLE_MENU:
        case ATSPI_ROLE_POPUP_MENU:
        case ATSPI_ROLE_COMBO_BOX:
        case ATSPI_ROLE_DOCUMENT_FRAME:
        case ATSPI_ROLE_DOCUMENT_WEB:
        case ATSPI_ROLE_DOCUMENT_TEXT:
        case ATSPI_ROLE_DOCUMENT_EMAIL:
        case ATSPI_ROLE_DOCUMENT_SPREADSHEET:
        case ATSPI_ROLE_DOCUMENT_PRESENTATION:
        case ATSPI_ROLE_TERMINAL:
            return true;
        default:
            return false;
    }
}

struct Rect4 {
    int x = 0, y = 0, w = 0, h = 0;
};

// How far two rectangles lie apart (sum of the edge distances); negative
// when they do not overlap at all.
long RectDistance(const Rect4& a, const Rect4& b) {
    const bool overlap =
        a.x < b.x + b.w && b.x < a.x + a.w && a.y < b.y + b.h && b.y < a.y + a.h;
    if (!overlap) return -1;
    auto d = [](long p, long q) { return p > q ? p - q : q - p; };
    return d(a.x, b.x) + d(a.y, b.y) + d(long{a.x} + a.w, long{b.x} + b.w) +
           d(long{a.y} + a.h, long{b.y} + b.h);
}

// Byte length of the window titles the backend hands us at most: a longer
// title arrives cut, so a title of that length matches by its start.
constexpr std::size_t kTitleCut = 259;

bool TitleMatches(const std::string& accName, const std::string& title) {
    if (accName == title) return true;
    return title.size() + 4 > kTitleCut && accName.size() > title.size() &&
           accName.compare(0, title.size(), title) == 0;
}

}  // namespace

struct AccessibilityBridge::Impl {
    Options opt;
    enum class Bus { Unknown, Up, Down, Lost } bus = Bus::Unknown;
    Clock::time_point retryAt{};
    GMainContext* context = nullptr;
    std::unordered_map<std::string, std::uint32_t> pidByBusName;  // unique names never recur
    std::unordered_map<std::string, Clock::time_point> hungUntil;
    DBusConnection* a11yBus = nullptr;  // libatspi's connection, to notice its loss
    bool addressSetHere = false;        // AT_SPI_BUS_ADDRESS came from the display

    ~Impl() {
        // libatspi stays initialised (see Lost), and its connection stays on
        // the shared context; both end with the process.
        if (a11yBus) dbus_connection_unref(a11yBus);
    }

    bool Connect() {
        if (bus == Bus::Up) {
            if (dbus_connection_get_is_connected(a11yBus)) return true;
            // The accessibility bus went away (its launcher ended; it normally
            // lives as long as the session). libatspi keeps the registry of
            // the old bus for good, even across atspi_exit/atspi_init, so a
            // new bus cannot be used from this process: answer empty from
            // now on instead of calling into a dead connection.
            bus = Bus::Lost;
            return false;
        }
        if (bus == Bus::Lost) return false;
        const auto now = Clock::now();
        if (bus == Bus::Down && now < retryAt) return false;
        bus = Bus::Down;
        retryAt = now + std::chrono::seconds(5);
        if (addressSetHere || !EnvSet("AT_SPI_BUS_ADDRESS")) {
            if (addressSetHere) unsetenv("AT_SPI_BUS_ADDRESS");
            addressSetHere = false;
            if (!A11yBusAnswers(opt.deadlineMs)) {
                // No session bus to ask (a bare X session, or one started
                // elsewhere): the display tells where the bus is. libatspi
                // takes an address only from the environment; this is set
                // once, on the user-interface thread, and only in this case.
                const std::string address = A11yBusOfDisplay();
                if (address.empty()) return false;
                setenv("AT_SPI_BUS_ADDRESS", address.c_str(), 1);
                addressSetHere = true;
            }
        }
        const int rc = atspi_init();
        if (rc == 1 && atspi_get_a11y_bus() == nullptr) return false;
        if (rc != 0 && rc != 1) {
            // Reset libatspi so that a later attempt starts afresh; using it
            // without a bus would abort the process.
            atspi_exit();
            return false;
        }
        // No grace period for starting applications: every call is bounded.
        atspi_set_timeout(opt.callTimeoutMs, 0);
        context = SharedContext();
        atspi_set_main_context(context);
        a11yBus = atspi_get_a11y_bus();
        if (!a11yBus) {
            atspi_exit();
            return false;
        }
        dbus_connection_ref(a11yBus);
        bus = Bus::Up;
        return true;
    }

    // Handles what the bus delivered since the last call (application
    // registrations, tree and name changes), without blocking.
    void Pump(const Deadline& dl) {
        for (int i = 0; i < 200 && !dl.Expired(); ++i)
            if (!g_main_context_iteration(context, FALSE)) break;
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
    void NoteFailure(AtspiAccessible* a, Clock::time_point started) {
        const auto now = Clock::now();
        if (now - started < std::chrono::milliseconds(opt.callTimeoutMs * 3 / 4)) return;
        if (hungUntil.size() >= 64)
            std::erase_if(hungUntil, [&](const auto& e) { return e.second <= now; });
        hungUntil[BusNameOf(a)] = now + std::chrono::milliseconds(opt.hungBackoffMs);
    }

    std::uint32_t PidOf(AtspiAccessible* app) {
        const std::string name = BusNameOf(app);
        if (name.empty()) return 0;
        auto it = pidByBusName.find(name);
        if (it != pidByBusName.end()) return it->second;
        // Answered by the bus daemon, not by the application. Asked here
        // rather than through libatspi, which would wait up to 25 s.
        DBusMessage* msg = dbus_message_new_method_call("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                        "org.freedesktop.DBus",
                                                        "GetConnectionUnixProcessID");
        if (!msg) return 0;
        const char* cname = name.c_str();
        dbus_message_append_args(msg, DBUS_TYPE_STRING, &cname, DBUS_TYPE_INVALID);
        DBusError err;
        dbus_error_init(&err);
        DBusMessage* reply =
            dbus_connection_send_with_reply_and_block(a11yBus, msg, opt.callTimeoutMs, &err);
        dbus_message_unref(msg);
        dbus_uint32_t pid = 0;
        bool ok = false;
        if (reply) {
            ok = dbus_message_get_args(reply, nullptr, DBUS_TYPE_UINT32, &pid, DBUS_TYPE_INVALID);
            dbus_message_unref(reply);
        }
        dbus_error_free(&err);
        if (!ok) return 0;
        // Applications come and go; their names are never reused, so the
        // cache is simply started afresh now and then.
        if (pidByBusName.size() >= 1024) pidByBusName.clear();
        pidByBusName.emplace(name, pid);
        return pid;
    }

    // The accessible of the top-level window, or none.
    Ref<AtspiAccessible> FindWindow(std::uint32_t pid, const std::string& title, const Rect4& rect,
                                    const Deadline& dl) {
        // This process serves its own accessibility calls on the thread that
        // would be waiting here: its windows could only time out.
        if (pid == 0 || pid == static_cast<std::uint32_t>(getpid())) return {};
        if (!Connect()) return {};
        Pump(dl);
        Ref<AtspiAccessible> desktop(atspi_get_desktop(0));
        if (!desktop) return {};
        Error err;
        const gint apps = atspi_accessible_get_child_count(desktop.get(), &err);
        if (err || apps <= 0) return {};

        Ref<AtspiAccessible> best;
        long bestScore = -1;
        Ref<AtspiAccessible> byPlace;  // fallback: the only window at the rectangle
        int byPlaceCount = 0;
        const bool haveRect = rect.w > 0 && rect.h > 0;

        for (gint i = 0; i < apps && !dl.Expired(); ++i) {
            Ref<AtspiAccessible> app(atspi_accessible_get_child_at_index(desktop.get(), i, &err));
            if (err || !app) {
                err.Clear();
                continue;
            }
            if (PidOf(app.get()) != pid) continue;
            if (IsHung(BusNameOf(app.get()))) return {};

            auto started = Clock::now();
            const gint windows = atspi_accessible_get_child_count(app.get(), &err);
            if (err) {
                NoteFailure(app.get(), started);
                return {};
            }
            for (gint j = 0; j < windows && !dl.Expired(); ++j) {
                started = Clock::now();
                Ref<AtspiAccessible> win(atspi_accessible_get_child_at_index(app.get(), j, &err));
                if (err || !win) {
                    if (err) NoteFailure(app.get(), started);
                    return {};
                }
                started = Clock::now();
                const std::string name = TakeString(atspi_accessible_get_name(win.get(), &err));
                if (err) {
                    NoteFailure(app.get(), started);
                    return {};
                }
                Rect4 ext;
                bool haveExt = false;
                if (haveRect) {
                    Ref<AtspiComponent> comp(atspi_accessible_get_component_iface(win.get()));
                    if (comp) {
                        started = Clock::now();
                        AtspiRect* r =
                            atspi_component_get_extents(comp.get(), ATSPI_COORD_TYPE_SCREEN, &err);
                        if (err) {
                            NoteFailure(app.get(), started);
                            if (r) g_free(r);
                            return {};
                        }
                        if (r) {
                            ext = {r->x, r->y, r->width, r->height};
                            haveExt = r->width > 0 && r->height > 0;
                            g_free(r);
                        }
                    }
                }
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
        if (best) return best;
        if (byPlaceCount == 1) return byPlace;
        return {};
    }

    // Sum of edge distances within which a window counts as lying at the
    // rectangle: window-manager frames add a title bar and borders.
    static constexpr long kPlaceTolerance = 96;
    static constexpr long kUnknownPlace = 1L << 29;
    static constexpr long kElsewhere = 1L << 30;

    // The nodes of a window, all or up to its text node; empty when the
    // window is not found or the walk was cut short by the deadline (a
    // prefix would mislead).
    std::vector<AccNode> Nodes(std::uint32_t pid, const std::string& title, const Rect4& place,
                               bool untilText) {
        const Deadline dl(opt.deadlineMs);
        std::vector<AccNode> nodes;
        Ref<AtspiAccessible> win = FindWindow(pid, title, place, dl);
        if (!win) return nodes;
        bool complete = false;
        Walk(win.get(), &nodes, 0, dl, complete, untilText);
        if (!complete) nodes.clear();
        return nodes;
    }

    // Depth-first walk below `root` (root excluded). Stops at the first push
    // button that stands for `buttonId` when one is asked for (then returned).
    // With untilText the walk ends at the node that holds the dialog text
    // (DialogTextFromNodes gives the same answer on what was walked).
    Ref<AtspiAccessible> Walk(AtspiAccessible* root, std::vector<AccNode>* nodes, int buttonId,
                              const Deadline& dl, bool& complete, bool untilText = false) {
        complete = false;
        std::size_t firstLabel = 0;
        bool haveLabel = false;
        // Appends a node; true when the text node has been reached.
        auto emit = [&](AccNode node) {
            if (!nodes) return false;
            nodes->push_back(std::move(node));
            if (!untilText) return false;
            const AccNode& last = nodes->back();
            if (!haveLabel && last.role == "label") {
                haveLabel = true;
                firstLabel = nodes->size() - 1;
                return CutText259(last.name).size() >= 4;
            }
            return haveLabel && nodes->size() == firstLabel + 2;
        };
        struct Frame {
            Ref<AtspiAccessible> node;
            gint next = 0;
            gint count = 0;
        };
        std::vector<Frame> stack;
        Error err;
        auto started = Clock::now();
        const gint rootCount = atspi_accessible_get_child_count(root, &err);
        if (err) {
            NoteFailure(root, started);
            return {};
        }
        stack.push_back({Ref<AtspiAccessible>(ATSPI_ACCESSIBLE(g_object_ref(root))), 0, rootCount});
        int seen = 0;
        while (!stack.empty()) {
            if (dl.Expired() || seen >= opt.maxNodes) return {};
            Frame& top = stack.back();
            if (top.next >= top.count) {
                stack.pop_back();
                continue;
            }
            started = Clock::now();
            Ref<AtspiAccessible> child(
                atspi_accessible_get_child_at_index(top.node.get(), top.next++, &err));
            if (err || !child) {
                if (err) {
                    NoteFailure(root, started);
                    return {};
                }
                continue;  // a child that vanished meanwhile
            }
            ++seen;
            started = Clock::now();
            const AtspiRole role = atspi_accessible_get_role(child.get(), &err);
            std::string name;
            if (!err) name = TakeString(atspi_accessible_get_name(child.get(), &err));
            gint count = 0;
            if (!err) count = atspi_accessible_get_child_count(child.get(), &err);
            if (err) {
                NoteFailure(root, started);
                return {};
            }
            if (role == ATSPI_ROLE_PUSH_BUTTON) {
                // A button is one control, like a Win32 button: what a toolkit
                // puts inside it (GTK 4: its label) is not walked.
                if (buttonId != 0) {
                    bool failed = false;
                    if (ButtonNameMatches(buttonId, name) ||
                        InnerLabelMatches(child.get(), count, buttonId, dl, failed)) {
                        complete = true;
                        return child;
                    }
                    if (failed) return {};
                }
                if (emit({RoleName(role), std::move(name)})) {
                    complete = true;
                    return {};
                }
                continue;
            }
            if (emit({RoleName(role), std::move(name)})) {
                complete = true;
                return {};
            }
            if (stack.size() < 64 && count > 0 && !HoldsItems(role))
                stack.push_back({std::move(child), 0, count});
        }
        complete = true;
        return {};
    }

    // GTK 4.8 names a button with a mnemonic "_Yes Yes" (its label text with
    // the marker, then its inner label's name), so the inner label's name
    // counts as the button's name as well.
    bool InnerLabelMatches(AtspiAccessible* button, gint count, int buttonId, const Deadline& dl,
                           bool& failed) {
        Error err;
        for (gint i = 0; i < count && i < 8 && !dl.Expired(); ++i) {
            const auto started = Clock::now();
            Ref<AtspiAccessible> inner(atspi_accessible_get_child_at_index(button, i, &err));
            if (err || !inner) {
                if (err) {
                    NoteFailure(button, started);
                    failed = true;
                }
                return false;
            }
            const AtspiRole role = atspi_accessible_get_role(inner.get(), &err);
            std::string name;
            if (!err) name = TakeString(atspi_accessible_get_name(inner.get(), &err));
            if (err) {
                NoteFailure(button, started);
                failed = true;
                return false;
            }
            if (role == ATSPI_ROLE_LABEL && ButtonNameMatches(buttonId, name)) return true;
        }
        return false;
    }

    Ref<AtspiAccessible> FindButton(std::uint32_t pid, const std::string& title, const Rect4& rect,
                                    int id, const Deadline& dl) {
        if (id != 1 && id != 2 && id != 4 && id != 5 && id != 6 && id != 7) return {};
        Ref<AtspiAccessible> win = FindWindow(pid, title, rect, dl);
        if (!win) return {};
        bool complete = false;
        return Walk(win.get(), nullptr, id, dl, complete);
    }
};

AccessibilityBridge::AccessibilityBridge() : AccessibilityBridge(Options{}) {}

AccessibilityBridge::AccessibilityBridge(const Options& options) : impl_(std::make_unique<Impl>()) {
    impl_->opt = options;
}

AccessibilityBridge::~AccessibilityBridge() = default;

bool AccessibilityBridge::BusAvailable() { return impl_->Connect(); }

std::vector<AccNode> AccessibilityBridge::Snapshot(std::uint32_t pid, const std::string& title,
                                                   int x, int y, int w, int h) {
    return impl_->Nodes(pid, title, {x, y, w, h}, false);
}

std::vector<AccNode> AccessibilityBridge::TextNodes(std::uint32_t pid, const std::string& title,
                                                    int x, int y, int w, int h) {
    return impl_->Nodes(pid, title, {x, y, w, h}, true);
}

bool AccessibilityBridge::HasButton(std::uint32_t pid, const std::string& title, int x, int y,
                                    int w, int h, int id) {
    const Deadline dl(impl_->opt.deadlineMs);
    return static_cast<bool>(impl_->FindButton(pid, title, {x, y, w, h}, id, dl));
}

bool AccessibilityBridge::PressButton(std::uint32_t pid, const std::string& title, int x, int y,
                                      int w, int h, int id) {
    const Deadline dl(impl_->opt.deadlineMs);
    Ref<AtspiAccessible> button = impl_->FindButton(pid, title, {x, y, w, h}, id, dl);
    if (!button || dl.Expired()) return false;
    Ref<AtspiAction> action(atspi_accessible_get_action_iface(button.get()));
    if (!action) return false;
    Error err;
    const gint n = atspi_action_get_n_actions(action.get(), &err);
    if (err || n <= 0) return false;
    // The default action of a button: GTK calls it "click", Qt "Press".
    gint chosen = 0;
    int rank = 99;
    for (gint i = 0; i < n && !dl.Expired(); ++i) {
        const std::string name = Lower(TakeString(atspi_action_get_action_name(action.get(), i, &err)));
        if (err) return false;
        const int r = name == "click" ? 0 : name == "press" ? 1 : name == "activate" ? 2 : 99;
        if (r < rank) {
            rank = r;
            chosen = i;
        }
    }
    if (dl.Expired()) return false;
    // A toolkit that clicks synchronously may answer only when what the
    // click opened (a modal box) has closed, while it still serves other
    // calls: a time-out here does not mean the program hangs.
    const gboolean done = atspi_action_do_action(action.get(), chosen, &err);
    if (err) return false;
    return done != FALSE;
}

}  // namespace rw::x11
