#include "backends/x11/X11Windows.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <poll.h>
#include <unistd.h>

#include "backends/linux/LinuxUtil.h"
#include "backends/posix/PosixProcess.h"
#include "backends/x11/XResources.h"
#include "base/Ascii.h"
#include "platform/Keys.h"

namespace rw::x11 {

namespace {

constexpr std::size_t kMaxText = 259;
constexpr std::uint32_t kPingLimitMs = 333;

std::string Latin1ToUtf8(const unsigned char* s, std::size_t n) {
    std::string out;
    out.reserve(n);
    for (std::size_t i = 0; i < n && s[i] != 0; ++i) {
        unsigned char c = s[i];
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// Text up to its first NUL byte.
std::string UpToNul(std::string text) {
    auto nul = text.find('\0');
    if (nul != std::string::npos) text.erase(nul);
    return text;
}

bool SameHost(std::string a, std::string b) {
    a = AsciiLower(a);
    b = AsciiLower(b);
    if (a == b) return true;
    // One side may carry the domain, the other not.
    auto shortName = [](const std::string& s) { return s.substr(0, s.find('.')); };
    return !a.empty() && !b.empty() && shortName(a) == shortName(b) &&
           (a.find('.') == std::string::npos || b.find('.') == std::string::npos);
}

struct PingMatch {
    Window root;
    Atom protocols;
    Atom ping;
    long serial;
};
Bool IsPingReply(Display*, XEvent* ev, XPointer arg) {
    auto* m = reinterpret_cast<PingMatch*>(arg);
    return ev->type == ClientMessage && ev->xclient.message_type == m->protocols &&
                   ev->xclient.window == m->root && static_cast<Atom>(ev->xclient.data.l[0]) == m->ping &&
                   ev->xclient.data.l[1] == m->serial
               ? True
               : False;
}

}  // namespace

X11Windows::X11Windows(X11Connection& x, X11WindowTracker& tracker, X11Foreground& foreground)
    : x_(x), tracker_(tracker), foreground_(foreground) {
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) == 0) hostName_ = host;
}

// ---- Queries ---------------------------------------------------------------

bool X11Windows::WindowExists(WinHandle w) {
    if (x_.dpy() == nullptr || w == 0) return false;
    XWindowAttributes a;
    return XGetWindowAttributes(x_.dpy(), w, &a) != 0;
}

bool X11Windows::IsClient(Window w) {
    std::uint32_t state = 0;
    return x_.ReadCardinal(w, x_.atoms().wmState, state);
}

std::vector<WinHandle> X11Windows::ClientList() {
    std::vector<WinHandle> out;
    for (unsigned long w : x_.ReadItems(x_.Root(), x_.atoms().netClientList))
        out.push_back(static_cast<WinHandle>(w));
    return out;
}

std::string X11Windows::GetWindowText(WinHandle w) {
    Display* dpy = x_.dpy();
    if (dpy == nullptr || w == 0) return {};
    std::string text = x_.ReadText(w, x_.atoms().netWmName, x_.atoms().utf8String);
    if (text.empty()) {
        XTextProperty tp{};
        if (XGetWMName(dpy, w, &tp) != 0 && tp.value != nullptr) {
            XPtr<unsigned char> value(tp.value);
            if (tp.encoding == XA_STRING && tp.format == 8) {
                text = Latin1ToUtf8(value.get(), tp.nitems);
            } else {
                char** raw = nullptr;
                int count = 0;
                const int rc = Xutf8TextPropertyToTextList(dpy, &tp, &raw, &count);
                StringListPtr list(raw);
                if (rc >= Success && list != nullptr && count > 0 && list.get()[0] != nullptr)
                    text = list.get()[0];
            }
        }
    }
    return lnx::CutUtf8(UpToNul(text), kMaxText);
}

std::string X11Windows::GetClassName(WinHandle w) {
    if (x_.dpy() == nullptr || w == 0) return {};
    XClassHint hint{};
    if (XGetClassHint(x_.dpy(), w, &hint) == 0) return {};
    XPtr<char> name(hint.res_name);
    XPtr<char> cls(hint.res_class);
    return cls != nullptr ? lnx::CutUtf8(cls.get(), kMaxText) : std::string();
}

bool X11Windows::GetWindowRect(WinHandle w, Rect& r) {
    r = Rect{};
    Display* dpy = x_.dpy();
    if (dpy == nullptr || w == 0) return false;
    XWindowAttributes a;
    if (XGetWindowAttributes(dpy, w, &a) == 0) return false;
    int x = 0, y = 0;
    Window child = 0;
    if (XTranslateCoordinates(dpy, w, x_.Root(), 0, 0, &x, &y, &child) == 0) return false;
    // The outer frame: the window manager's decorations around the client.
    long left = 0, right = 0, top = 0, bottom = 0;
    std::vector<unsigned long> ext = x_.ReadItems(w, x_.atoms().netFrameExtents);
    if (ext.size() >= 4) {
        left = static_cast<long>(ext[0]);
        right = static_cast<long>(ext[1]);
        top = static_cast<long>(ext[2]);
        bottom = static_cast<long>(ext[3]);
    }
    r.left = static_cast<std::int32_t>(x - a.border_width - left);
    r.top = static_cast<std::int32_t>(y - a.border_width - top);
    r.right = static_cast<std::int32_t>(x + a.width + a.border_width + right);
    r.bottom = static_cast<std::int32_t>(y + a.height + a.border_width + bottom);
    return true;
}

int X11Windows::IsWindowVisible(WinHandle w) {
    if (x_.dpy() == nullptr || w == 0) return 0;
    XWindowAttributes a;
    if (XGetWindowAttributes(x_.dpy(), w, &a) == 0) return 0;
    return a.map_state == IsViewable ? 1 : 0;
}

int X11Windows::IsIconic(WinHandle w) {
    if (x_.dpy() == nullptr || w == 0) return 0;
    for (unsigned long s : x_.ReadItems(w, x_.atoms().netWmState))
        if (s == x_.atoms().netWmStateHidden) return 1;
    std::uint32_t st = 0;
    if (x_.ReadCardinal(w, x_.atoms().wmState, st) && st == IconicState) return 1;
    return 0;
}

bool X11Windows::IsAncestorOrSelf(WinHandle ancestor, WinHandle w) {
    Window cur = w;
    for (int depth = 0; depth < 64 && cur != 0; ++depth) {
        if (cur == ancestor) return true;
        if (cur == x_.Root()) return false;
        const WindowTree tree = QueryTree(x_.dpy(), cur);
        if (!tree.ok) return false;
        cur = tree.parent;
    }
    return false;
}

WinHandle X11Windows::FindClientBelow(WinHandle w, int depth) {
    if (depth > 6) return 0;
    const WindowTree tree = QueryTree(x_.dpy(), w);
    if (!tree.ok) return 0;
    const Window* kids = tree.children.get();
    WinHandle found = 0;
    // Topmost children first.
    for (unsigned int i = tree.count; i-- > 0 && found == 0;)
        if (IsClient(kids[i])) found = static_cast<WinHandle>(kids[i]);
    for (unsigned int i = tree.count; i-- > 0 && found == 0;)
        found = FindClientBelow(static_cast<WinHandle>(kids[i]), depth + 1);
    return found;
}

WinHandle X11Windows::ClientOf(WinHandle w) {
    // The managed window that contains w (w itself for a client window).
    Window cur = w;
    for (int depth = 0; depth < 64 && cur != 0 && cur != x_.Root(); ++depth) {
        if (IsClient(cur)) return static_cast<WinHandle>(cur);
        const WindowTree tree = QueryTree(x_.dpy(), cur);
        if (!tree.ok) return 0;
        cur = tree.parent;
    }
    return w;
}

WinHandle X11Windows::WindowFromPoint(std::int32_t x, std::int32_t y) {
    Display* dpy = x_.dpy();
    if (dpy == nullptr) return 0;
    if (x < 0 || y < 0 || x >= DisplayWidth(dpy, x_.Screen()) || y >= DisplayHeight(dpy, x_.Screen())) return 0;
    int rx = 0, ry = 0;
    Window child = 0;
    if (XTranslateCoordinates(dpy, x_.Root(), x_.Root(), x, y, &rx, &ry, &child) == 0 || child == 0) return 0;
    if (IsClient(child)) return static_cast<WinHandle>(child);
    WinHandle client = FindClientBelow(static_cast<WinHandle>(child), 0);
    return client != 0 ? client : static_cast<WinHandle>(child);
}

WinHandle X11Windows::FocusedControl(WinHandle w) {
    if (x_.dpy() == nullptr) return 0;
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(x_.dpy(), &focus, &revert);
    if (focus == 0 || focus == PointerRoot) return 0;
    const WinHandle fg = w;
    if (fg == 0) return 0;
    if (focus == fg) return fg;
    return IsAncestorOrSelf(fg, static_cast<WinHandle>(focus)) ? static_cast<WinHandle>(focus) : 0;
}

// ---- Processes -------------------------------------------------------------

bool X11Windows::IsRemoteClient(WinHandle w) {
    XTextProperty tp{};
    if (XGetWMClientMachine(x_.dpy(), w, &tp) == 0 || tp.value == nullptr) return false;
    XPtr<unsigned char> value(tp.value);
    std::string machine;
    if (tp.format == 8) machine = UpToNul(std::string(reinterpret_cast<const char*>(value.get()), tp.nitems));
    if (machine.empty() || hostName_.empty() || SameHost(machine, "localhost")) return false;
    return !SameHost(machine, hostName_);
}

X11Windows::TargetFacts* X11Windows::FactsOfTarget(WinHandle w) {
    const WinHandle target = foreground_.Target().handle;
    if (w == 0 || !foreground_.AimedAt(target)) return nullptr;
    if (targetFacts_.id != foreground_.Target() || targetFacts_.window != w) {
        // Toolkits give the focus to a window inside the top-level one.
        targetFacts_ = TargetFacts{};
        if (w != target && !IsAncestorOrSelf(target, w)) return nullptr;
        targetFacts_.id = foreground_.Target();
        targetFacts_.window = w;
        targetFacts_.client = ClientOf(w);
        targetFacts_.takesPing = SupportsProtocol(targetFacts_.client, x_.atoms().netWmPing);
    }
    return &targetFacts_;
}

std::uint32_t X11Windows::GetWindowProcessId(WinHandle w) {
    TargetFacts* facts = FactsOfTarget(w);
    if (facts != nullptr && facts->pidRead) return facts->pid;
    std::uint32_t pid = 0;
    if (!x_.ReadCardinal(w, x_.atoms().netWmPid, pid)) {
        pid = 0;
    } else if (pid != 0 && IsRemoteClient(w)) {
        // A program shown here from another host (ssh -X) has its process
        // there: the same number here names some unrelated local process.
        pid = 0;
    }
    if (facts != nullptr) {
        facts->pid = pid;
        facts->pidRead = true;
    }
    return pid;
}

// ---- Commands --------------------------------------------------------------

bool X11Windows::SupportsProtocol(WinHandle w, Atom protocol) {
    Atom* raw = nullptr;
    int n = 0;
    if (XGetWMProtocols(x_.dpy(), w, &raw, &n) == 0) return false;
    XPtr<Atom> protos(raw);
    for (int i = 0; i < n; ++i)
        if (protos.get()[i] == protocol) return true;
    return false;
}

bool X11Windows::WmSupports(Atom atom) {
    for (unsigned long a : x_.ReadItems(x_.Root(), x_.atoms().netSupported))
        if (a == atom) return true;
    return false;
}

bool X11Windows::SetForegroundWindow(WinHandle w) {
    if (w == tracker_.MainWindow()) return true;  // never mapped; nothing to activate
    if (!WindowExists(w)) return false;
    // Source 2: a pager-like request, which window managers honour without
    // focus-stealing prevention.
    x_.AskWindowManager(w, x_.atoms().netActiveWindow, 2, CurrentTime, GetForegroundWindow());
    return true;
}

void X11Windows::SetWindowPosZOrder(WinHandle w, WinHandle insertAfter) {
    if (!WindowExists(w)) return;
    if (insertAfter == 0xFFFFFFFFu || insertAfter == 0xFFFFFFFEu) {
        // HWND_TOPMOST / HWND_NOTOPMOST: the window manager's "above" state.
        long action = insertAfter == 0xFFFFFFFFu ? 1 : 0;
        x_.AskWindowManager(w, x_.atoms().netWmState, action, static_cast<long>(x_.atoms().netWmStateAbove), 0, 2);
    } else if (insertAfter == 0) {
        XRaiseWindow(x_.dpy(), w);
        XFlush(x_.dpy());
    }
}

bool X11Windows::ShowWindow(WinHandle w, std::uint32_t cmd) {
    if (!WindowExists(w)) return false;
    if (cmd == show::Minimized) {
        bool ok = XIconifyWindow(x_.dpy(), w, x_.Screen()) != 0;
        XFlush(x_.dpy());
        return ok;
    }
    if (cmd == show::Maximized) {
        x_.AskWindowManager(w, x_.atoms().netWmState, 1, static_cast<long>(x_.atoms().netWmStateMaxVert),
                            static_cast<long>(x_.atoms().netWmStateMaxHorz), 2);
        return true;
    }
    return false;
}

bool X11Windows::PostClose(WinHandle w) {
    if (!WindowExists(w)) return false;
    WinHandle client = ClientOf(w);
    if (WmSupports(x_.atoms().netCloseWindow)) {
        x_.AskWindowManager(client, x_.atoms().netCloseWindow, CurrentTime, 2);
        return true;
    }
    if (!SupportsProtocol(client, x_.atoms().wmDeleteWindow)) return false;
    x_.SendProtocol(client, x_.atoms().wmDeleteWindow, CurrentTime);
    return true;
}

// ---- Waiting for a window --------------------------------------------------

bool X11Windows::WaitForPingReply(long serial, std::uint32_t deadlineMs, WinHandle client) {
    PingMatch match{x_.Root(), x_.atoms().wmProtocols, x_.atoms().netWmPing, serial};
    XEvent reply;
    const std::uint64_t ends = tracker_.EndsSeen(client);
    for (;;) {
        if (XCheckIfEvent(x_.dpy(), &reply, IsPingReply, reinterpret_cast<XPointer>(&match))) return true;
        // A window that ended answers no more; a new one with its id never
        // saw this ping.
        tracker_.CountQueuedDestroys();
        if (tracker_.EndsSeen(client) != ends) return false;
        std::int32_t left = static_cast<std::int32_t>(deadlineMs - posix::MonotonicMs());
        if (left <= 0) return false;
        pollfd pfd{x_.Fd(), POLLIN, 0};
        poll(&pfd, 1, left);
        XEventsQueued(x_.dpy(), QueuedAfterReading);
    }
}

bool X11Windows::WaitUntilAnswers(WinHandle w, std::uint32_t timeoutMs) {
    // The window keys are aimed at is known to exist from the events; what
    // else a wait needs of it is read once.
    TargetFacts* facts = FactsOfTarget(w);
    if (facts == nullptr && !WindowExists(w)) return false;
    // Nothing sent since it last answered: it has read everything already
    // (the wait before a character follows the one after the step before).
    const std::uint64_t input = x_.InputSent();
    if (facts != nullptr && facts->answered && facts->answeredAtInput == input) return true;
    const std::uint32_t start = posix::MonotonicMs();
    const WinHandle client = facts != nullptr ? facts->client : ClientOf(w);
    const bool takesPing =
        facts != nullptr ? facts->takesPing : SupportsProtocol(client, x_.atoms().netWmPing);
    if (!takesPing) {
        // The round trip: everything sent so far, key events included, has
        // reached the server and been delivered.
        XSync(x_.dpy(), False);
        return true;
    }
    // The ping goes out after the key events on the same connection, so the
    // window reads them first: its answer says more than a round trip would.
    // The window answers a ping from its event loop, so an answer means the
    // events before it have been read.
    std::uint32_t limit = timeoutMs < kPingLimitMs ? timeoutMs : kPingLimitMs;
    const long serial = ++pingSerial_;
    x_.ListenToRoot(true);
    x_.SendProtocol(client, x_.atoms().netWmPing, serial, static_cast<long>(client));
    bool answered = WaitForPingReply(serial, start + limit, client);
    x_.ListenToRoot();
    // The root's substructure events that arrived meanwhile stay queued:
    // the event loop passes them by (only a watched window's own
    // DestroyNotify counts), and a client's end must not be lost with them.
    // An answer to a ping also tells that the characters typed for the
    // window have been read: their lent keycodes may change again.
    if (answered && onAnswered) onAnswered(w, client);
    if (facts != nullptr) {
        facts->answered = answered;
        facts->answeredAtInput = input;
    }
    return answered;
}

}  // namespace rw::x11
