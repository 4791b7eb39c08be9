// AT-SPI side of the accessibility bridge (libatspi).
#include "AccessibilityBridge.h"

#include <dbus/dbus.h>
#include <unistd.h>

#include <atspi/atspi.h>

#include <algorithm>
#include <chrono>
#include <span>
#include <string_view>
#include <unordered_map>

#include "BusDiscovery.h"

namespace rw::atspi {

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

bool IsButtonId(int id) { return id == 1 || id == 2 || id == 4 || id == 5 || id == 6 || id == 7; }

// The place of the first id that an accessible name stands for; ids.size()
// when it stands for none of them.
std::size_t RankOfName(std::span<const int> ids, const std::string& name) {
    for (std::size_t r = 0; r < ids.size(); ++r)
        if (ButtonNameMatches(ids[r], name)) return r;
    return ids.size();
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
    BusDiscovery discovery;

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
        if (!discovery.Locate(opt.deadlineMs)) return false;
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
        const DBusMessagePtr reply =
            CallMethod(a11yBus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                       "GetConnectionUnixProcessID", name.c_str(), opt.callTimeoutMs);
        dbus_uint32_t pid = 0;
        if (!reply || !dbus_message_get_args(reply.get(), nullptr, DBUS_TYPE_UINT32, &pid, DBUS_TYPE_INVALID))
            return 0;
        // Applications come and go; their names are never reused, so the
        // cache is simply started afresh now and then.
        if (pidByBusName.size() >= 1024) pidByBusName.clear();
        pidByBusName.emplace(name, pid);
        return pid;
    }

    // The accessible of the top-level window, or none.
    Ref<AtspiAccessible> FindWindow(const AccWindow& window, const Deadline& dl) {
        const std::uint32_t pid = window.pid;
        const std::string& title = window.title;
        const Rect4 rect{window.x, window.y, window.w, window.h};
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
    std::vector<AccNode> Nodes(const AccWindow& window, bool untilText) {
        const Deadline dl(opt.deadlineMs);
        std::vector<AccNode> nodes;
        Ref<AtspiAccessible> win = FindWindow(window, dl);
        if (!win) return nodes;
        bool complete = false;
        Walk(win.get(), &nodes, untilText, {}, dl, complete);
        if (!complete) nodes.clear();
        return nodes;
    }

    // A push button and the dialog control id it stands for.
    struct Found {
        Ref<AtspiAccessible> button;
        int id = 0;
    };

    // Depth-first walk below `root` (root excluded). With `nodes` it
    // collects them, with untilText only up to the node that holds the
    // dialog text (DialogTextFromNodes gives the same answer on what was
    // walked). With `ids` it finds the button of the first id in their
    // order that the window has; a button of the first id ends the walk.
    // `complete` tells whether the walk got to its end (or to what ended
    // it): a walk cut short by the deadline answers nothing.
    Found Walk(AtspiAccessible* root, std::vector<AccNode>* nodes, bool untilText,
               std::span<const int> ids, const Deadline& dl, bool& complete) {
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
        Found best;
        std::size_t bestRank = ids.size();
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
            if (role == ATSPI_ROLE_PUSH_BUTTON && !ids.empty()) {
                bool failed = false;
                const std::size_t rank = ButtonRank(child.get(), name, count, ids, dl, failed);
                if (failed) return {};
                if (rank < bestRank) {
                    bestRank = rank;
                    best = {std::move(child), ids[rank]};
                    if (rank == 0) break;
                }
                continue;
            }
            if (emit({RoleName(role), std::move(name)})) break;
            // A button is one control, like a Win32 button: what a toolkit
            // puts inside it (GTK 4: its label) is not walked.
            if (role != ATSPI_ROLE_PUSH_BUTTON && stack.size() < 64 && count > 0 && !HoldsItems(role))
                stack.push_back({std::move(child), 0, count});
        }
        complete = true;
        return best;
    }

    // Which of `ids` a push button stands for, as its place in them
    // (ids.size() for none): by its own name, else by the name of a label
    // inside it (GTK 4.8 names a mnemonic button "_Yes Yes": its label text
    // with the marker, then its inner label's name). `failed` when the
    // target did not answer.
    std::size_t ButtonRank(AtspiAccessible* button, const std::string& name, gint count,
                           std::span<const int> ids, const Deadline& dl, bool& failed) {
        const std::size_t own = RankOfName(ids, name);
        if (own < ids.size()) return own;
        Error err;
        for (gint i = 0; i < count && i < 8 && !dl.Expired(); ++i) {
            const auto started = Clock::now();
            Ref<AtspiAccessible> inner(atspi_accessible_get_child_at_index(button, i, &err));
            AtspiRole role = ATSPI_ROLE_INVALID;
            std::string innerName;
            if (!err && inner) role = atspi_accessible_get_role(inner.get(), &err);
            if (!err && inner) innerName = TakeString(atspi_accessible_get_name(inner.get(), &err));
            if (err) {
                NoteFailure(button, started);
                failed = true;
            }
            if (err || !inner) return ids.size();
            if (role == ATSPI_ROLE_LABEL) {
                const std::size_t r = RankOfName(ids, innerName);
                if (r < ids.size()) return r;
            }
        }
        return ids.size();
    }

    Found FindButton(const AccWindow& window, std::initializer_list<int> ids, const Deadline& dl) {
        if (std::none_of(ids.begin(), ids.end(), IsButtonId)) return {};
        Ref<AtspiAccessible> win = FindWindow(window, dl);
        if (!win) return {};
        bool complete = false;
        Found found = Walk(win.get(), nullptr, false, std::span<const int>(ids.begin(), ids.size()), dl, complete);
        return complete ? std::move(found) : Found{};
    }

    // Presses a button through its default action; true when the target
    // acknowledged it. `mayPress` is asked last.
    bool PressDefaultAction(AtspiAccessible* button, const Deadline& dl,
                            const std::function<bool()>& mayPress) {
        Ref<AtspiAction> action(atspi_accessible_get_action_iface(button));
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
        if (mayPress && !mayPress()) return false;
        // A toolkit that clicks synchronously may answer only when what the
        // click opened (a modal box) has closed, while it still serves other
        // calls: a time-out here does not mean the program hangs.
        const gboolean done = atspi_action_do_action(action.get(), chosen, &err);
        return !err && done != FALSE;
    }
};

AccessibilityBridge::AccessibilityBridge() : AccessibilityBridge(Options{}) {}

AccessibilityBridge::AccessibilityBridge(const Options& options) : impl_(std::make_unique<Impl>()) {
    impl_->opt = options;
}

AccessibilityBridge::~AccessibilityBridge() = default;

bool AccessibilityBridge::BusAvailable() { return impl_->Connect(); }

std::vector<AccNode> AccessibilityBridge::Snapshot(const AccWindow& window) {
    return impl_->Nodes(window, false);
}

std::vector<AccNode> AccessibilityBridge::TextNodes(const AccWindow& window) {
    return impl_->Nodes(window, true);
}

int AccessibilityBridge::FindButton(const AccWindow& window, std::initializer_list<int> ids) {
    const Deadline dl(impl_->opt.deadlineMs);
    return impl_->FindButton(window, ids, dl).id;
}

int AccessibilityBridge::PressButton(const AccWindow& window, std::initializer_list<int> ids,
                                     const std::function<bool()>& mayPress) {
    const Deadline dl(impl_->opt.deadlineMs);
    const Impl::Found found = impl_->FindButton(window, ids, dl);
    if (!found.button || dl.Expired()) return 0;
    return impl_->PressDefaultAction(found.button.get(), dl, mayPress) ? found.id : 0;
}

std::vector<AccFrame> AccessibilityBridge::FramesNamed(const std::string& title) {
    std::vector<AccFrame> frames;
    Impl& im = *impl_;
    const Deadline dl(im.opt.deadlineMs);
    if (title.empty() || !im.Connect()) return frames;
    im.Pump(dl);
    Ref<AtspiAccessible> desktop(atspi_get_desktop(0));
    if (!desktop) return frames;
    Error err;
    const gint apps = atspi_accessible_get_child_count(desktop.get(), &err);
    if (err) return frames;
    const auto self = static_cast<std::uint32_t>(getpid());
    for (gint i = 0; i < apps && !dl.Expired(); ++i) {
        Ref<AtspiAccessible> app(atspi_accessible_get_child_at_index(desktop.get(), i, &err));
        if (err || !app) {
            err.Clear();
            continue;
        }
        const std::uint32_t pid = im.PidOf(app.get());
        // This process would have to answer itself (see FindWindow).
        if (pid == 0 || pid == self || im.IsHung(BusNameOf(app.get()))) continue;
        auto started = Clock::now();
        const gint windows = atspi_accessible_get_child_count(app.get(), &err);
        if (err) {
            im.NoteFailure(app.get(), started);
            err.Clear();
            continue;
        }
        std::string appName;
        for (gint j = 0; j < windows && !dl.Expired(); ++j) {
            started = Clock::now();
            Ref<AtspiAccessible> win(atspi_accessible_get_child_at_index(app.get(), j, &err));
            std::string name;
            if (!err && win) name = TakeString(atspi_accessible_get_name(win.get(), &err));
            if (err) {
                im.NoteFailure(app.get(), started);
                err.Clear();
                break;
            }
            if (!win || !TitleMatches(name, title)) continue;
            if (appName.empty()) appName = TakeString(atspi_accessible_get_name(app.get(), &err));
            err.Clear();
            AccFrame frame{pid, appName, 0, 0};
            Ref<AtspiComponent> comp(atspi_accessible_get_component_iface(win.get()));
            if (comp) {
                AtspiRect* r = atspi_component_get_extents(comp.get(), ATSPI_COORD_TYPE_SCREEN, &err);
                if (!err && r && r->width > 0 && r->height > 0) {
                    frame.w = r->width;
                    frame.h = r->height;
                }
                if (r) g_free(r);
                err.Clear();
            }
            frames.push_back(std::move(frame));
        }
    }
    return frames;
}

bool AccessibilityBridge::Answers(std::uint32_t pid, int timeoutMs) {
    Impl& im = *impl_;
    const Deadline dl(im.opt.deadlineMs);
    if (pid == 0 || pid == static_cast<std::uint32_t>(getpid()) || !im.Connect()) return false;
    im.Pump(dl);
    std::string busName;
    Ref<AtspiAccessible> desktop(atspi_get_desktop(0));
    if (!desktop) return false;
    Error err;
    const gint apps = atspi_accessible_get_child_count(desktop.get(), &err);
    for (gint i = 0; !err && i < apps && busName.empty() && !dl.Expired(); ++i) {
        Ref<AtspiAccessible> app(atspi_accessible_get_child_at_index(desktop.get(), i, &err));
        if (err || !app) {
            err.Clear();
            continue;
        }
        if (im.PidOf(app.get()) == pid) busName = BusNameOf(app.get());
    }
    if (busName.empty() || im.IsHung(busName)) return false;
    // Answered by the toolkit's accessibility bridge on the program's main
    // loop (a D-Bus peer ping would be answered by a library thread).
    const DBusMessagePtr reply =
        CallMethod(im.a11yBus, busName.c_str(), "/org/a11y/atspi/accessible/root", "org.a11y.atspi.Accessible",
                   "GetRole", nullptr, std::min(timeoutMs, im.opt.callTimeoutMs));
    return reply != nullptr && dbus_message_get_type(reply.get()) == DBUS_MESSAGE_TYPE_METHOD_RETURN;
}

}  // namespace rw::atspi
