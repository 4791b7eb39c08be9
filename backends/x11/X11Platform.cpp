#include "backends/x11/X11Platform.h"

// Qt first: the X headers define macros (None, Bool, Status) that clash
// with Qt's names.
#include <QClipboard>
#include <QGuiApplication>
#include <QString>

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <xkbcommon/xkbcommon.h>

#include <cerrno>
#include <climits>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <string_view>
#include <poll.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "backends/posix/PosixFiles.h"
#include "backends/x11/X11Keys.h"
#include "backends/x11/X11Util.h"
#include "resources/KeyStrings.h"

namespace rw::x11 {

namespace {

// One request whose failure its caller wants to hear of (Xlib reports
// errors of requests without a reply only here).
struct ErrorProbe {
    Display* dpy = nullptr;
    unsigned long serial = 0;
    bool failed = false;
};
ErrorProbe gProbe;

// Windows vanish between any two requests; an error on one must not end the
// program. Xlib reports it here and the request's caller sees a failure.
int IgnoreXError(Display* dpy, XErrorEvent* e) {
    if (dpy == gProbe.dpy && e->serial == gProbe.serial) gProbe.failed = true;
    return 0;
}

std::uint32_t MonotonicMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    auto ms = static_cast<std::uint64_t>(ts.tv_sec) * 1000u +
              static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(ms);
}

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

constexpr std::size_t kMaxText = 259;
constexpr std::uint32_t kPingLimitMs = 333;
// A target that cannot be pinged gets this long to read a character typed
// through a lent keycode before that keycode changes again.
constexpr std::uint32_t kUnsyncedKeyGraceMs = 60;
constexpr std::size_t kMaxLentKeys = 8;
// Root events: foreground and client list changes; StructureNotify brings
// the MANAGER message of a tray host that starts.
constexpr long kRootMask = PropertyChangeMask | StructureNotifyMask;
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

bool SameHost(std::string a, std::string b) {
    auto lower = [](std::string& s) {
        for (char& c : s)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    };
    lower(a);
    lower(b);
    if (a == b) return true;
    // One side may carry the domain, the other not.
    auto shortName = [](const std::string& s) { return s.substr(0, s.find('.')); };
    return !a.empty() && !b.empty() && shortName(a) == shortName(b) &&
           (a.find('.') == std::string::npos || b.find('.') == std::string::npos);
}

}  // namespace

struct X11Platform::Atoms {
    Atom netActiveWindow, netClientList, netWmName, utf8String, netFrameExtents, netWmState,
        netWmStateHidden, netWmStateMaxVert, netWmStateMaxHorz, netWmStateAbove, wmState,
        netWmPid, netCloseWindow, wmProtocols, wmDeleteWindow, netWmPing, netSupported,
        scrollLockIndicator, manager, trayAtom;
};

X11Platform::X11Platform(const char* displayName, int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (i > 1) args_ += ' ';
        args_ += argv[i];
    }
    XSetErrorHandler(IgnoreXError);
    int major = XkbMajorVersion, minor = XkbMinorVersion, reason = 0;
    dpy_ = XkbOpenDisplay(displayName, &xkbEventBase_, nullptr, &major, &minor, &reason);
    if (dpy_ == nullptr) return;
    screen_ = DefaultScreen(dpy_);
    root_ = RootWindow(dpy_, screen_);
    atoms_ = new Atoms;
    auto A = [this](const char* n) { return XInternAtom(dpy_, n, False); };
    atoms_->netActiveWindow = A("_NET_ACTIVE_WINDOW");
    atoms_->netClientList = A("_NET_CLIENT_LIST");
    atoms_->netWmName = A("_NET_WM_NAME");
    atoms_->utf8String = A("UTF8_STRING");
    atoms_->netFrameExtents = A("_NET_FRAME_EXTENTS");
    atoms_->netWmState = A("_NET_WM_STATE");
    atoms_->netWmStateHidden = A("_NET_WM_STATE_HIDDEN");
    atoms_->netWmStateMaxVert = A("_NET_WM_STATE_MAXIMIZED_VERT");
    atoms_->netWmStateMaxHorz = A("_NET_WM_STATE_MAXIMIZED_HORZ");
    atoms_->netWmStateAbove = A("_NET_WM_STATE_ABOVE");
    atoms_->wmState = A("WM_STATE");
    atoms_->netWmPid = A("_NET_WM_PID");
    atoms_->netCloseWindow = A("_NET_CLOSE_WINDOW");
    atoms_->wmProtocols = A("WM_PROTOCOLS");
    atoms_->wmDeleteWindow = A("WM_DELETE_WINDOW");
    atoms_->netWmPing = A("_NET_WM_PING");
    atoms_->netSupported = A("_NET_SUPPORTED");
    atoms_->scrollLockIndicator = A("Scroll Lock");
    atoms_->manager = A("MANAGER");
    atoms_->trayAtom = A(("_NET_SYSTEM_TRAY_S" + std::to_string(screen_)).c_str());
    XDisplayKeycodes(dpy_, &minKeycode_, &maxKeycode_);
    // Keymap changes of others (a layout switch) reach us as XKB events.
    XkbSelectEvents(dpy_, XkbUseCoreKbd, XkbNewKeyboardNotifyMask | XkbMapNotifyMask,
                    XkbNewKeyboardNotifyMask | XkbMapNotifyMask);
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) == 0) hostName_ = host;
}

X11Platform::~X11Platform() {
    if (dpy_ == nullptr) return;
    RestoreSpareKeys(true);
    if (xkb_ != nullptr) XkbFreeKeyboard(static_cast<XkbDescPtr>(xkb_), XkbAllComponentsMask, True);
    if (mainWin_ != 0) XDestroyWindow(dpy_, mainWin_);
    XCloseDisplay(dpy_);
    delete atoms_;
}

int X11Platform::ConnectionFd() const { return dpy_ != nullptr ? ConnectionNumber(dpy_) : -1; }

// ---- Main window and events -------------------------------------------

WinHandle X11Platform::CreateMainWindow() {
    XSetWindowAttributes attrs{};
    attrs.override_redirect = True;
    Window w = XCreateWindow(dpy_, root_, -10, -10, 1, 1, 0, 0, InputOnly, CopyFromParent,
                             CWOverrideRedirect, &attrs);
    const char* title = "Replywick MainForm";
    XStoreName(dpy_, w, title);
    XChangeProperty(dpy_, w, atoms_->netWmName, atoms_->utf8String, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(title), static_cast<int>(std::strlen(title)));
    XClassHint hint{};
    char resName[] = "replywick";
    char resClass[] = "Replywick";
    hint.res_name = resName;
    hint.res_class = resClass;
    XSetClassHint(dpy_, w, &hint);
    long pid = static_cast<long>(getpid());
    XChangeProperty(dpy_, w, atoms_->netWmPid, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&pid), 1);
    // The child receives the external notification: a MotionNotify sent to
    // it (with or without an event mask) carries a window id in x and y.
    Window child = XCreateWindow(dpy_, w, 0, 0, 1, 1, 0, 0, InputOnly, CopyFromParent, 0, nullptr);
    XSelectInput(dpy_, child, PointerMotionMask);
    XSelectInput(dpy_, root_, kRootMask);
    mainWin_ = static_cast<WinHandle>(w);
    notifyWin_ = static_cast<WinHandle>(child);
    for (WinHandle c : ClientList()) {
        std::uint32_t clientPid = 0;
        if (c == mainWin_ || WatchWindow(c, clientPid)) knownClients_.push_back(c);
    }
    XSync(dpy_, False);
    return mainWin_;
}

bool X11Platform::HasQueuedEvents() const {
    return dpy_ != nullptr && XEventsQueued(dpy_, QueuedAlready) > 0;
}

void X11Platform::DispatchEvents() {
    if (dpy_ == nullptr || dispatching_) return;
    dispatching_ = true;
    while (XPending(dpy_) > 0) {
        XEvent ev;
        XNextEvent(dpy_, &ev);
        HandleEvent(&ev);
    }
    dispatching_ = false;
}

void X11Platform::HandleEvent(void* event) {
    auto& ev = *static_cast<XEvent*>(event);
    switch (ev.type) {
        case PropertyNotify:
            if (ev.xproperty.window != root_) break;
            if (ev.xproperty.atom == atoms_->netActiveWindow) {
                if (onShellHook) onShellHook(4, GetForegroundWindow());
            } else if (ev.xproperty.atom == atoms_->netClientList) {
                std::vector<WinHandle> now = ClientList();
                // The list is compared by id, and an id in it may already
                // name a new window: a destruction that waits behind this
                // event makes its id unknown first, so its new owner counts
                // as added.
                CountQueuedDestroys();
                std::vector<WinHandle> kept, added;
                for (WinHandle w : now) {
                    bool known = false;
                    for (WinHandle k : knownClients_) known = known || k == w;
                    std::uint32_t pid = 0;
                    if (known || w == mainWin_) {
                        kept.push_back(w);
                    } else if (WatchWindow(w, pid)) {
                        // Watched from now on; a window that is gone again
                        // stays unknown, so the next owner of its id is new.
                        kept.push_back(w);
                        added.push_back(w);
                    }
                }
                knownClients_ = kept;
                for (WinHandle w : added) {
                    if (onShellHook) onShellHook(1, w);
                }
            }
            break;
        case MotionNotify:
            if (ev.xmotion.window == notifyWin_ && onExternalNotify) {
                onExternalNotify(ev.xmotion.x & 0xFFFF, ev.xmotion.y & 0xFFFF);
            }
            break;
        case ClientMessage:
            // A tray host announces itself: the "TaskbarCreated" of X11.
            if (ev.xclient.window == root_ && ev.xclient.message_type == atoms_->manager &&
                static_cast<Atom>(ev.xclient.data.l[1]) == atoms_->trayAtom && onTrayHostStarted)
                onTrayHostStarted();
            break;
        case DestroyNotify: {
            // Only the windows we watch report their own destruction.
            if (!IsOwnDestroy(ev)) break;
            const auto w = static_cast<WinHandle>(ev.xdestroywindow.window);
            auto ahead = endsCountedAhead_.find(w);
            std::uint64_t stillAhead = 0;
            if (ahead != endsCountedAhead_.end()) {
                // Counted while it waited in the queue; its id may name a
                // new, known window by now.
                stillAhead = --ahead->second;
                if (stillAhead == 0) endsCountedAhead_.erase(ahead);
            } else {
                NoteDestroyed(w);
            }
            // Which end of this id this is (those still counted ahead come
            // later). When a window with this id has been watched since, the
            // id stands for that one now: reported by its id, this end
            // would make whoever took up the new window forget it. The new
            // window's own end is reported in its turn.
            const std::uint64_t thisEnd = EndsSeen(w) - stillAhead;
            auto watched = watchedAt_.find(w);
            const bool newerWindowWatched = watched != watchedAt_.end() && watched->second >= thisEnd;
            if (!newerWindowWatched && onClientGone) onClientGone(w);
            break;
        }
        case MappingNotify:
            XRefreshKeyboardMapping(&ev.xmapping);
            kbDirty_ = true;
            break;
        default:
            // A layout switch by someone else comes only as an XKB event: an
            // XKB client gets no core MappingNotify for it.
            if (ev.type == xkbEventBase_) kbDirty_ = true;
            break;
    }
}

// ---- Process, files, system --------------------------------------------

std::string X11Platform::ExecutablePath() {
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return {};
    return std::string(buf, static_cast<std::size_t>(n));
}

std::string X11Platform::CommandLineArgs() { return args_; }
bool X11Platform::PathExists(const std::string& p) { return posix::PathExists(p); }
bool X11Platform::ReadFileBytes(const std::string& p, std::string& b) { return posix::ReadFileBytes(p, b); }
bool X11Platform::WriteNewFileDurably(const std::string& p, const std::string& b, const std::string& m) {
    return posix::WriteNewFileDurably(p, b, m);
}
bool X11Platform::ReplaceFileWith(const std::string& s, const std::string& t) { return posix::ReplaceFileWith(s, t); }
bool X11Platform::RemoveFile(const std::string& p) { return posix::RemoveFile(p); }
bool X11Platform::IsDirectoryWritable(const std::string& d) { return posix::IsDirectoryWritable(d); }
bool X11Platform::IsDirectory(const std::string& p) { return posix::IsDirectory(p); }
bool X11Platform::IsFileWritable(const std::string& p) { return posix::IsFileWritable(p); }
std::uint32_t X11Platform::GetCurrentProcessId() { return static_cast<std::uint32_t>(getpid()); }
std::string X11Platform::ResolveFilePath(const std::string& p) { return posix::ResolveFilePath(p); }

std::string X11Platform::UserConfigDir() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/') return xdg;
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] != '\0') return std::string(home) + "/.config";
    return {};
}

std::uint16_t X11Platform::GetSystemDefaultLangID() { return LangIdFromLocale(SystemLocale()); }

std::string X11Platform::GetDecimalSeparator() {
    const lconv* lc = std::localeconv();
    if (lc == nullptr || lc->decimal_point == nullptr) return {};
    return lc->decimal_point;
}

std::int32_t X11Platform::GetScreenWidth() { return dpy_ ? DisplayWidth(dpy_, screen_) : 0; }
std::int32_t X11Platform::GetScreenHeight() { return dpy_ ? DisplayHeight(dpy_, screen_) : 0; }

std::int32_t X11Platform::TwipsPerPixelX() {
    if (!dpy_ || DisplayWidthMM(dpy_, screen_) <= 0) return 15;
    double v = 1440.0 * DisplayWidthMM(dpy_, screen_) / 25.4 / DisplayWidth(dpy_, screen_);
    return static_cast<std::int32_t>(v + 0.5);
}

std::int32_t X11Platform::TwipsPerPixelY() {
    if (!dpy_ || DisplayHeightMM(dpy_, screen_) <= 0) return 15;
    double v = 1440.0 * DisplayHeightMM(dpy_, screen_) / 25.4 / DisplayHeight(dpy_, screen_);
    return static_cast<std::int32_t>(v + 0.5);
}

std::string X11Platform::LoadResString(int id) { return FixedKeyString(id); }

std::size_t X11Platform::CharLength(const std::string& text, std::size_t pos) {
    return posix::Utf8CharLength(text, pos);
}

bool X11Platform::EqualsIgnoringCase(const std::string& a, const std::string& b) {
    if (a == b) return true;
    // Text that is not UTF-8 would decode to replacement characters, and two
    // different stray bytes must not compare equal: such text compares with
    // ASCII letters folded only.
    if (!posix::IsValidUtf8(a) || !posix::IsValidUtf8(b)) {
        if (a.size() != b.size()) return false;
        for (std::size_t i = 0; i < a.size(); ++i) {
            auto up = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
            if (up(a[i]) != up(b[i])) return false;
        }
        return true;
    }
    return QString::fromUtf8(a.data(), static_cast<qsizetype>(a.size())).toCaseFolded() ==
           QString::fromUtf8(b.data(), static_cast<qsizetype>(b.size())).toCaseFolded();
}

// ---- Clipboard -----------------------------------------------------------

bool X11Platform::ClipboardGetText(std::string& text) {
    QClipboard* cb = QGuiApplication::clipboard();
    if (cb == nullptr) return false;
    text = cb->text().toStdString();
    return true;
}

bool X11Platform::ClipboardEmpty() {
    QClipboard* cb = QGuiApplication::clipboard();
    if (cb == nullptr) return false;
    cb->clear();
    return true;
}

bool X11Platform::ClipboardSetText(const std::string& text) {
    QClipboard* cb = QGuiApplication::clipboard();
    if (cb == nullptr) return false;
    cb->setText(QString::fromStdString(text));
    return true;
}

// ---- Time and diagnostics ------------------------------------------------

std::uint32_t X11Platform::GetTickCount() { return MonotonicMs(); }

void X11Platform::Sleep(std::uint32_t ms) {
    if (ms == 0) {
        sched_yield();
        return;
    }
    timespec ts{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

void X11Platform::DebugOutput(const std::string& line) {
    std::string out = line;
    out += '\n';
    std::fwrite(out.data(), 1, out.size(), stderr);
    std::fflush(stderr);
}

// ---- Window properties ---------------------------------------------------

bool X11Platform::WindowExists(WinHandle w) {
    if (dpy_ == nullptr || w == 0 || IsPseudoHandle(w)) return false;
    XWindowAttributes a;
    return XGetWindowAttributes(dpy_, w, &a) != 0;
}

bool X11Platform::GetCardinal(WinHandle w, unsigned long atom, std::uint32_t& value) {
    if (dpy_ == nullptr || w == 0 || IsPseudoHandle(w)) return false;
    Atom type = 0;
    int format = 0;
    unsigned long n = 0, after = 0;
    unsigned char* data = nullptr;
    bool ok = false;
    if (XGetWindowProperty(dpy_, w, atom, 0, 1, False, AnyPropertyType, &type, &format, &n,
                           &after, &data) == Success &&
        data != nullptr && n >= 1 && format == 32) {
        value = static_cast<std::uint32_t>(reinterpret_cast<unsigned long*>(data)[0]);
        ok = true;
    }
    if (data != nullptr) XFree(data);
    return ok;
}

std::vector<unsigned long> X11Platform::GetAtomList(WinHandle w, unsigned long prop) {
    std::vector<unsigned long> out;
    if (dpy_ == nullptr || w == 0 || IsPseudoHandle(w)) return out;
    Atom type = 0;
    int format = 0;
    unsigned long n = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(dpy_, w, prop, 0, 4096, False, AnyPropertyType, &type, &format, &n,
                           &after, &data) == Success &&
        data != nullptr && format == 32) {
        auto* v = reinterpret_cast<unsigned long*>(data);
        out.assign(v, v + n);
    }
    if (data != nullptr) XFree(data);
    return out;
}

std::vector<WinHandle> X11Platform::ClientList() {
    std::vector<WinHandle> out;
    for (unsigned long w : GetAtomList(static_cast<WinHandle>(root_), atoms_->netClientList))
        out.push_back(static_cast<WinHandle>(w));
    return out;
}

bool X11Platform::ReadPid(WinHandle w, std::uint32_t& pid) {
    pid = 0;
    if (dpy_ == nullptr || w == 0 || IsPseudoHandle(w)) return false;
    Atom type = 0;
    int format = 0;
    unsigned long n = 0, after = 0;
    unsigned char* data = nullptr;
    // Anything but Success means the request failed: the window is gone.
    const int rc = XGetWindowProperty(dpy_, w, atoms_->netWmPid, 0, 1, False, AnyPropertyType, &type,
                                      &format, &n, &after, &data);
    if (rc == Success && data != nullptr && n >= 1 && format == 32)
        pid = static_cast<std::uint32_t>(reinterpret_cast<unsigned long*>(data)[0]);
    if (data != nullptr) XFree(data);
    return rc == Success;
}

bool X11Platform::WatchWindow(WinHandle w, std::uint32_t& pid) {
    pid = 0;
    if (dpy_ == nullptr || w == 0 || IsPseudoHandle(w)) return false;
    // The destruction of a watched window arrives in order with everything
    // else, so a window that gets the id of a closed one is never taken for
    // it. Another client may end a window and get its id for a new one
    // between our two requests: then the selection hit the old window (its
    // end is queued since) or nothing (the selection failed), and it is
    // made again for the window there now.
    for (int attempt = 0; attempt < 4; ++attempt) {
        const unsigned long serial = NextRequest(dpy_);
        gProbe = {dpy_, serial, false};
        XSelectInput(dpy_, w, StructureNotifyMask);
        const bool exists = ReadPid(w, pid);
        const bool selectFailed = gProbe.failed;
        gProbe = {};
        if (!exists) return false;
        if (selectFailed) continue;
        DestroySince since{w, serial, false};
        XEvent unused;
        XCheckIfEvent(dpy_, &unused, FindDestroySince, reinterpret_cast<XPointer>(&since));
        if (since.found) continue;
        // Every end of this id still queued belongs to an earlier window:
        // counted now, so that they do not count against this one.
        CountQueuedDestroys();
        watchedAt_[w] = EndsSeen(w);
        return true;
    }
    return false;
}

void X11Platform::NoteDestroyed(WinHandle w) {
    ++ends_[w];
    // Its id is free: a new window that gets it must count as added when
    // the client list shows it.
    std::erase(knownClients_, w);
}

std::uint64_t X11Platform::EndsSeen(WinHandle w) const {
    auto it = ends_.find(w);
    return it != ends_.end() ? it->second : 0;
}

void X11Platform::CountQueuedDestroys() {
    if (dpy_ == nullptr) return;
    std::map<WinHandle, std::uint32_t> queued;
    XEvent unused;
    XCheckIfEvent(dpy_, &unused, TallyDestroys, reinterpret_cast<XPointer>(&queued));
    for (const auto& [w, n] : queued) {
        // The queue gives up its events from the front only, so the first
        // ones of a window are those counted before.
        std::uint32_t& ahead = endsCountedAhead_[w];
        while (ahead < n) {
            NoteDestroyed(w);
            ++ahead;
        }
    }
}

WindowIdentity X11Platform::IdentifyWindow(WinHandle w) {
    if (w == 0) return {};
    if (IsPseudoHandle(w)) {
        // A control stands or falls with its window.
        WinHandle parent = children_ != nullptr ? children_->Parent(w) : 0;
        if (parent == 0 || IsPseudoHandle(parent)) return {w, kGoneGeneration};
        return {w, IdentifyWindow(parent).generation};
    }
    if (w == mainWin_ || w == notifyWin_) return {w, 0};  // ours, for as long as we run
    std::uint32_t pid = 0;
    // Watching counts the ends of earlier windows with this id first.
    if (!WatchWindow(w, pid)) return {w, kGoneGeneration};
    return {w, (EndsSeen(w) << 32) | pid};
}

bool X11Platform::IsSameWindow(const WindowIdentity& id) {
    if (id.handle == 0 || id.generation == kGoneGeneration || dpy_ == nullptr) return false;
    if (IsPseudoHandle(id.handle)) {
        WinHandle parent = children_ != nullptr ? children_->Parent(id.handle) : 0;
        if (parent == 0 || IsPseudoHandle(parent)) return false;
        return IsSameWindow({parent, id.generation});
    }
    if (id.handle == mainWin_ || id.handle == notifyWin_) return true;
    std::uint32_t pid = 0;
    // The round trip brings in everything the server sent before it: a
    // destruction of the window identified is in the queue now if it
    // happened, even while nobody dispatches events.
    if (!ReadPid(id.handle, pid)) return false;
    CountQueuedDestroys();
    if (EndsSeen(id.handle) != (id.generation >> 32)) return false;
    const auto idPid = static_cast<std::uint32_t>(id.generation & 0xFFFFFFFFu);
    return idPid == 0 || pid == 0 || pid == idPid;
}

bool X11Platform::IsAncestorOrSelf(WinHandle ancestor, WinHandle w) {
    Window cur = w;
    for (int depth = 0; depth < 64 && cur != 0; ++depth) {
        if (cur == ancestor) return true;
        if (cur == root_) return false;
        Window rootRet = 0, parent = 0;
        Window* kids = nullptr;
        unsigned int nk = 0;
        if (XQueryTree(dpy_, cur, &rootRet, &parent, &kids, &nk) == 0) return false;
        if (kids != nullptr) XFree(kids);
        cur = parent;
    }
    return false;
}

WinHandle X11Platform::FindClientBelow(WinHandle w, int depth) {
    if (depth > 6) return 0;
    Window rootRet = 0, parent = 0;
    Window* kids = nullptr;
    unsigned int nk = 0;
    if (XQueryTree(dpy_, w, &rootRet, &parent, &kids, &nk) == 0) return 0;
    WinHandle found = 0;
    // Topmost children first.
    for (unsigned int i = nk; i-- > 0 && found == 0;) {
        std::uint32_t st = 0;
        if (GetCardinal(static_cast<WinHandle>(kids[i]), atoms_->wmState, st))
            found = static_cast<WinHandle>(kids[i]);
    }
    for (unsigned int i = nk; i-- > 0 && found == 0;)
        found = FindClientBelow(static_cast<WinHandle>(kids[i]), depth + 1);
    if (kids != nullptr) XFree(kids);
    return found;
}

WinHandle X11Platform::ClientOf(WinHandle w) {
    // The managed window that contains w (w itself for a client window).
    Window cur = w;
    for (int depth = 0; depth < 64 && cur != 0 && cur != root_; ++depth) {
        std::uint32_t st = 0;
        if (GetCardinal(static_cast<WinHandle>(cur), atoms_->wmState, st)) return static_cast<WinHandle>(cur);
        Window rootRet = 0, parent = 0;
        Window* kids = nullptr;
        unsigned int nk = 0;
        if (XQueryTree(dpy_, cur, &rootRet, &parent, &kids, &nk) == 0) return 0;
        if (kids != nullptr) XFree(kids);
        cur = parent;
    }
    return w;
}

bool X11Platform::SupportsProtocol(WinHandle w, unsigned long protocol) {
    Atom* protos = nullptr;
    int n = 0;
    bool found = false;
    if (XGetWMProtocols(dpy_, w, &protos, &n) != 0) {
        for (int i = 0; i < n; ++i) found = found || protos[i] == protocol;
        XFree(protos);
    }
    return found;
}

bool X11Platform::WmSupports(unsigned long atom) {
    for (unsigned long a : GetAtomList(static_cast<WinHandle>(root_), atoms_->netSupported))
        if (a == atom) return true;
    return false;
}

void X11Platform::SendRootMessage(WinHandle w, unsigned long type, long l0, long l1, long l2,
                                  long l3, long l4) {
    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = w;
    ev.xclient.message_type = type;
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = l0;
    ev.xclient.data.l[1] = l1;
    ev.xclient.data.l[2] = l2;
    ev.xclient.data.l[3] = l3;
    ev.xclient.data.l[4] = l4;
    XSendEvent(dpy_, root_, False, SubstructureRedirectMask | SubstructureNotifyMask, &ev);
    XFlush(dpy_);
}

// ---- Windows -------------------------------------------------------------

WinHandle X11Platform::GetForegroundWindow() {
    if (dpy_ == nullptr) return 0;
    std::uint32_t w = 0;
    if (!GetCardinal(static_cast<WinHandle>(root_), atoms_->netActiveWindow, w)) return 0;
    // Window managers may leave the id of a destroyed window in the property
    // until something else is activated; that window is no foreground window.
    if (w != 0 && !WindowExists(w)) return 0;
    return w;
}

bool X11Platform::SetForegroundWindow(WinHandle w) {
    if (w == mainWin_) return true;  // never mapped; nothing to activate
    if (!WindowExists(w)) return false;
    // Source 2: a pager-like request, which window managers honour without
    // focus-stealing prevention.
    SendRootMessage(w, atoms_->netActiveWindow, 2, CurrentTime, GetForegroundWindow(), 0, 0);
    return true;
}

std::string X11Platform::GetWindowText(WinHandle w) {
    if (children_ != nullptr && IsPseudoHandle(w)) return CutUtf8(children_->Text(w), kMaxText);
    if (dpy_ == nullptr || w == 0 || IsPseudoHandle(w)) return {};
    std::string text;
    Atom type = 0;
    int format = 0;
    unsigned long n = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(dpy_, w, atoms_->netWmName, 0, 1024, False, atoms_->utf8String, &type,
                           &format, &n, &after, &data) == Success &&
        data != nullptr && type == atoms_->utf8String && format == 8) {
        text.assign(reinterpret_cast<char*>(data), n);
    }
    if (data != nullptr) XFree(data);
    if (text.empty()) {
        XTextProperty tp{};
        if (XGetWMName(dpy_, w, &tp) != 0 && tp.value != nullptr) {
            if (tp.encoding == XA_STRING && tp.format == 8) {
                text = Latin1ToUtf8(tp.value, tp.nitems);
            } else {
                char** list = nullptr;
                int count = 0;
                if (Xutf8TextPropertyToTextList(dpy_, &tp, &list, &count) >= Success && list != nullptr) {
                    if (count > 0 && list[0] != nullptr) text = list[0];
                    XFreeStringList(list);
                }
            }
            XFree(tp.value);
        }
    }
    auto nul = text.find('\0');
    if (nul != std::string::npos) text.erase(nul);
    return CutUtf8(text, kMaxText);
}

std::string X11Platform::GetClassName(WinHandle w) {
    if (children_ != nullptr && IsPseudoHandle(w)) return CutUtf8(children_->ClassName(w), kMaxText);
    if (dpy_ == nullptr || w == 0 || IsPseudoHandle(w)) return {};
    XClassHint hint{};
    std::string cls;
    if (XGetClassHint(dpy_, w, &hint) != 0) {
        if (hint.res_class != nullptr) cls = hint.res_class;
        if (hint.res_name != nullptr) XFree(hint.res_name);
        if (hint.res_class != nullptr) XFree(hint.res_class);
    }
    return CutUtf8(cls, kMaxText);
}

bool X11Platform::GetWindowRect(WinHandle w, Rect& r) {
    r = Rect{};
    if (dpy_ == nullptr || w == 0 || IsPseudoHandle(w)) return false;
    XWindowAttributes a;
    if (XGetWindowAttributes(dpy_, w, &a) == 0) return false;
    int x = 0, y = 0;
    Window child = 0;
    if (XTranslateCoordinates(dpy_, w, root_, 0, 0, &x, &y, &child) == 0) return false;
    // The outer frame: the window manager's decorations around the client.
    long left = 0, right = 0, top = 0, bottom = 0;
    std::vector<unsigned long> ext = GetAtomList(w, atoms_->netFrameExtents);
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

int X11Platform::IsWindowVisible(WinHandle w) {
    if (dpy_ == nullptr || w == 0 || IsPseudoHandle(w)) return 0;
    XWindowAttributes a;
    if (XGetWindowAttributes(dpy_, w, &a) == 0) return 0;
    return a.map_state == IsViewable ? 1 : 0;
}

int X11Platform::IsIconic(WinHandle w) {
    if (dpy_ == nullptr || w == 0 || IsPseudoHandle(w)) return 0;
    for (unsigned long s : GetAtomList(w, atoms_->netWmState))
        if (s == atoms_->netWmStateHidden) return 1;
    std::uint32_t st = 0;
    if (GetCardinal(w, atoms_->wmState, st) && st == IconicState) return 1;
    return 0;
}

WinHandle X11Platform::GetParent(WinHandle w) {
    if (children_ != nullptr && IsPseudoHandle(w)) return children_->Parent(w);
    return 0;  // top-level client windows have no parent window of interest
}

WinHandle X11Platform::GetFirstChild(WinHandle w) {
    if (children_ == nullptr || w == 0) return 0;
    return children_->FirstChild(w);
}

WinHandle X11Platform::GetNextSibling(WinHandle w) {
    if (children_ == nullptr || w == 0) return 0;
    return children_->NextSibling(w);
}

WinHandle X11Platform::GetDlgItem(WinHandle dialog, int id) {
    if (children_ == nullptr || dialog == 0) return 0;
    return children_->DlgItem(dialog, id);
}

WinHandle X11Platform::WindowFromPoint(std::int32_t x, std::int32_t y) {
    if (dpy_ == nullptr) return 0;
    if (x < 0 || y < 0 || x >= GetScreenWidth() || y >= GetScreenHeight()) return 0;
    int rx = 0, ry = 0;
    Window child = 0;
    if (XTranslateCoordinates(dpy_, root_, root_, x, y, &rx, &ry, &child) == 0 || child == 0) return 0;
    std::uint32_t st = 0;
    if (GetCardinal(static_cast<WinHandle>(child), atoms_->wmState, st)) return static_cast<WinHandle>(child);
    WinHandle client = FindClientBelow(static_cast<WinHandle>(child), 0);
    return client != 0 ? client : static_cast<WinHandle>(child);
}

void X11Platform::SetWindowPosZOrder(WinHandle w, WinHandle insertAfter) {
    if (!WindowExists(w)) return;
    if (insertAfter == 0xFFFFFFFFu || insertAfter == 0xFFFFFFFEu) {
        // HWND_TOPMOST / HWND_NOTOPMOST: the window manager's "above" state.
        long action = insertAfter == 0xFFFFFFFFu ? 1 : 0;
        SendRootMessage(w, atoms_->netWmState, action, static_cast<long>(atoms_->netWmStateAbove), 0, 2, 0);
    } else if (insertAfter == 0) {
        XRaiseWindow(dpy_, w);
        XFlush(dpy_);
    }
}

bool X11Platform::ShowWindow(WinHandle w, std::uint32_t cmd) {
    if (!WindowExists(w)) return false;
    if (cmd == show::Minimized) {
        bool ok = XIconifyWindow(dpy_, w, screen_) != 0;
        XFlush(dpy_);
        return ok;
    }
    if (cmd == show::Maximized) {
        SendRootMessage(w, atoms_->netWmState, 1, static_cast<long>(atoms_->netWmStateMaxVert),
                        static_cast<long>(atoms_->netWmStateMaxHorz), 2, 0);
        return true;
    }
    return false;
}

// ---- Threads, focus, processes -------------------------------------------

bool X11Platform::IsRemoteClient(WinHandle w) {
    XTextProperty tp{};
    if (XGetWMClientMachine(dpy_, w, &tp) == 0 || tp.value == nullptr) return false;
    std::string machine;
    if (tp.format == 8) machine.assign(reinterpret_cast<char*>(tp.value), tp.nitems);
    XFree(tp.value);
    auto nul = machine.find('\0');
    if (nul != std::string::npos) machine.erase(nul);
    if (machine.empty() || hostName_.empty() || SameHost(machine, "localhost")) return false;
    return !SameHost(machine, hostName_);
}

std::uint32_t X11Platform::GetWindowProcessId(WinHandle w) {
    if (IsPseudoHandle(w) && children_ != nullptr) w = children_->Parent(w);
    std::uint32_t pid = 0;
    if (!GetCardinal(w, atoms_->netWmPid, pid)) return 0;
    // A program shown here from another host (ssh -X) has its process
    // there: the same number here names some unrelated local process.
    if (pid != 0 && IsRemoteClient(w)) return 0;
    return pid;
}

std::uint32_t X11Platform::GetCurrentThreadId() { return static_cast<std::uint32_t>(syscall(SYS_gettid)); }

std::uint32_t X11Platform::GetWindowThreadId(WinHandle w) {
    if (IsPseudoHandle(w) && children_ != nullptr) w = children_->Parent(w);
    if (w == mainWin_ && w != 0) return GetCurrentThreadId();
    if (!WindowExists(w)) return 0;
    std::uint32_t pid = GetWindowProcessId(w);
    if (pid == static_cast<std::uint32_t>(getpid())) return GetCurrentThreadId();
    // X has no threads owning windows; a constant id per process (or per
    // window when it names no process) stands in, kept apart from real ids.
    return pid != 0 ? (0x40000000u | pid) : (0x20000000u | (w & 0x1FFFFFFFu));
}

WinHandle X11Platform::GetFocus() {
    if (dpy_ == nullptr) return 0;
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(dpy_, &focus, &revert);
    if (focus == 0 || focus == PointerRoot) return 0;
    WinHandle fg = GetForegroundWindow();
    if (fg == 0) return 0;
    if (focus == fg) return fg;
    return IsAncestorOrSelf(fg, static_cast<WinHandle>(focus)) ? static_cast<WinHandle>(focus) : 0;
}

std::uint32_t X11Platform::GetPriorityClass(std::uint32_t pid) {
    if (pid == 0) return 0;
    errno = 0;
    int nice = getpriority(PRIO_PROCESS, static_cast<id_t>(pid));
    if (nice == -1 && errno != 0) return 0;
    return PriorityClassOfNice(nice);
}

bool X11Platform::SetPriorityClass(std::uint32_t pid, std::uint32_t priorityClass) {
    bool known = false;
    int nice = NiceOfPriorityClass(priorityClass, known);
    if (pid == 0 || !known) return false;
    // Raising needs the right to lower nice values; without it this fails
    // and playing goes on at the target's own priority.
    return setpriority(PRIO_PROCESS, static_cast<id_t>(pid), nice) == 0;
}

std::string X11Platform::GetProcessModulePath(std::uint32_t pid) {
    if (pid == 0) return {};
    std::string link = "/proc/" + std::to_string(pid) + "/exe";
    char buf[PATH_MAX];
    ssize_t n = readlink(link.c_str(), buf, sizeof buf - 1);
    if (n <= 0) return {};
    std::string path(buf, static_cast<std::size_t>(n));
    // A program whose file was replaced (an update while it runs) shows
    // its path with this mark; the path is still the program's. A file
    // that really has such a name is the very file the link names.
    static constexpr std::string_view kDeleted = " (deleted)";
    if (path.size() > kDeleted.size() && path.ends_with(kDeleted)) {
        struct stat real {}, named {};
        const bool sameFile = stat(link.c_str(), &real) == 0 && stat(path.c_str(), &named) == 0 &&
                              real.st_dev == named.st_dev && real.st_ino == named.st_ino;
        if (!sameFile) path.resize(path.size() - kDeleted.size());
    }
    return path;
}

// ---- Messages ------------------------------------------------------------

bool X11Platform::PostCommand(WinHandle dialog, int id, WinHandle button) {
    if (children_ == nullptr || dialog == 0) return false;
    return children_->Press(dialog, id, button);
}

bool X11Platform::PostClose(WinHandle w) {
    if (IsPseudoHandle(w) || !WindowExists(w)) return false;
    WinHandle client = ClientOf(w);
    if (WmSupports(atoms_->netCloseWindow)) {
        SendRootMessage(client, atoms_->netCloseWindow, CurrentTime, 2, 0, 0, 0);
        return true;
    }
    if (!SupportsProtocol(client, atoms_->wmDeleteWindow)) return false;
    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = client;
    ev.xclient.message_type = atoms_->wmProtocols;
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = static_cast<long>(atoms_->wmDeleteWindow);
    ev.xclient.data.l[1] = CurrentTime;
    XSendEvent(dpy_, client, False, NoEventMask, &ev);
    XFlush(dpy_);
    return true;
}

namespace {
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

bool X11Platform::WaitForPingReply(long serial, std::uint32_t deadlineMs, WinHandle client) {
    PingMatch match{root_, atoms_->wmProtocols, atoms_->netWmPing, serial};
    XEvent reply;
    const std::uint64_t ends = EndsSeen(client);
    for (;;) {
        if (XCheckIfEvent(dpy_, &reply, IsPingReply, reinterpret_cast<XPointer>(&match))) return true;
        // A window that ended answers no more; a new one with its id never
        // saw this ping.
        CountQueuedDestroys();
        if (EndsSeen(client) != ends) return false;
        std::int32_t left = static_cast<std::int32_t>(deadlineMs - MonotonicMs());
        if (left <= 0) return false;
        pollfd pfd{ConnectionNumber(dpy_), POLLIN, 0};
        poll(&pfd, 1, left);
        XEventsQueued(dpy_, QueuedAfterReading);
    }
}

bool X11Platform::SendNullMessage(WinHandle w, std::uint32_t timeoutMs) {
    if (IsPseudoHandle(w) && children_ != nullptr) w = children_->Parent(w);
    if (!WindowExists(w)) return false;
    const std::uint32_t start = MonotonicMs();
    // The round trip: everything sent so far, key events included, has
    // reached the server and been delivered.
    XSync(dpy_, False);
    WinHandle client = ClientOf(w);
    if (!SupportsProtocol(client, atoms_->netWmPing)) return true;
    // The window answers a ping from its event loop, so an answer means the
    // events before it have been read.
    std::uint32_t limit = timeoutMs < kPingLimitMs ? timeoutMs : kPingLimitMs;
    const long serial = ++pingSerial_;
    XSelectInput(dpy_, root_, kRootMask | SubstructureNotifyMask);
    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = client;
    ev.xclient.message_type = atoms_->wmProtocols;
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = static_cast<long>(atoms_->netWmPing);
    ev.xclient.data.l[1] = serial;
    ev.xclient.data.l[2] = static_cast<long>(client);
    XSendEvent(dpy_, client, False, NoEventMask, &ev);
    XFlush(dpy_);
    bool answered = WaitForPingReply(serial, start + limit, client);
    XSelectInput(dpy_, root_, kRootMask);
    if (answered) {
        for (auto& [kc, lent] : lent_) {
            if ((lent.target == w || lent.target == client) && EndsSeen(lent.target) == lent.targetEnds)
                lent.targetSynced = true;
        }
    }
    // The root's substructure events that arrived meanwhile stay queued:
    // HandleEvent passes them by (only a watched window's own DestroyNotify
    // counts), and a client's end must not be lost with them.
    return answered;
}

// ---- Keyboard --------------------------------------------------------------

void X11Platform::RefreshKeyboard() {
    if (!kbDirty_ && xkb_ != nullptr) return;
    kbDirty_ = false;
    if (xkb_ != nullptr) XkbFreeKeyboard(static_cast<XkbDescPtr>(xkb_), XkbAllComponentsMask, True);
    XkbDescPtr xkb = XkbGetMap(dpy_, XkbAllClientInfoMask, XkbUseCoreKbd);
    if (xkb != nullptr) XkbGetNames(dpy_, XkbKeyNamesMask, xkb);
    xkb_ = xkb;
    vkKeycode_.clear();
    // Spare keycodes: no keysym at all and no modifier. Characters the
    // layout lacks are typed through them. Keycodes lent out keep their place.
    spareKeycodes_.clear();
    int count = maxKeycode_ - minKeycode_ + 1;
    int per = 0;
    KeySym* syms = XGetKeyboardMapping(dpy_, static_cast<KeyCode>(minKeycode_), count, &per);
    XModifierKeymap* mods = XGetModifierMapping(dpy_);
    if (syms != nullptr) {
        for (int kc = maxKeycode_; kc >= minKeycode_ && spareKeycodes_.size() < kMaxLentKeys; --kc) {
            bool empty = true;
            for (int l = 0; l < per; ++l) empty = empty && syms[(kc - minKeycode_) * per + l] == NoSymbol;
            bool isMod = false;
            if (mods != nullptr) {
                for (int i = 0; i < 8 * mods->max_keypermod; ++i) isMod = isMod || mods->modifiermap[i] == kc;
            }
            bool lentHere = lent_.count(static_cast<std::uint8_t>(kc)) != 0;
            if ((empty && !isMod) || lentHere) spareKeycodes_.push_back(static_cast<std::uint8_t>(kc));
        }
        XFree(syms);
    }
    if (mods != nullptr) XFreeModifiermap(mods);
}

std::uint8_t X11Platform::KeycodeOfKeyName(const char* name) {
    auto* xkb = static_cast<XkbDescPtr>(xkb_);
    if (xkb == nullptr || xkb->names == nullptr || xkb->names->keys == nullptr || name == nullptr) return 0;
    for (int kc = xkb->min_key_code; kc <= xkb->max_key_code; ++kc) {
        if (std::strncmp(xkb->names->keys[kc].name, name, XkbKeyNameLength) == 0) {
            return static_cast<std::uint8_t>(kc);
        }
    }
    return 0;
}

std::uint8_t X11Platform::KeycodeOfVk(std::uint8_t vk) {
    if (dpy_ == nullptr) return 0;
    RefreshKeyboard();
    auto it = vkKeycode_.find(vk);
    if (it != vkKeycode_.end()) return it->second;
    VkBinding b = BindingOfVk(vk);
    std::uint8_t kc = 0;
    if (b.keysym != 0) kc = static_cast<std::uint8_t>(XKeysymToKeycode(dpy_, b.keysym));
    if (kc == 0 && b.xkbKeyName != nullptr) kc = KeycodeOfKeyName(b.xkbKeyName);
    vkKeycode_[vk] = kc;
    return kc;
}

std::uint8_t X11Platform::VkOfKeycode(std::uint8_t kc) {
    if (kc == 0) return 0;
    static const std::uint8_t order[] = {0x20, 0x0D, 0x09, 0x08, 0x1B};
    for (int vk = 0x41; vk <= 0x5A; ++vk)
        if (KeycodeOfVk(static_cast<std::uint8_t>(vk)) == kc) return static_cast<std::uint8_t>(vk);
    for (int vk = 0x30; vk <= 0x39; ++vk)
        if (KeycodeOfVk(static_cast<std::uint8_t>(vk)) == kc) return static_cast<std::uint8_t>(vk);
    for (std::uint8_t vk : order)
        if (KeycodeOfVk(vk) == kc) return vk;
    for (int vk = 0xBA; vk <= 0xE2; ++vk)
        if (KeycodeOfVk(static_cast<std::uint8_t>(vk)) == kc) return static_cast<std::uint8_t>(vk);
    for (int vk = 0x60; vk <= 0x6F; ++vk)
        if (KeycodeOfVk(static_cast<std::uint8_t>(vk)) == kc) return static_cast<std::uint8_t>(vk);
    return 0;
}

std::uint32_t X11Platform::MapVirtualKey(std::uint32_t vk) {
    if (vk > 0xFF) return 0;
    // The X keycode stands in for the scan code; it identifies the key the
    // same way within one keyboard mapping.
    return KeycodeOfVk(static_cast<std::uint8_t>(vk));
}

std::string X11Platform::GetKeyNameText(std::int32_t lParam) {
    if (dpy_ == nullptr) return {};
    auto kc = static_cast<std::uint32_t>(lParam >> 16) & 0xFFu;
    if (kc < static_cast<std::uint32_t>(minKeycode_) || kc > static_cast<std::uint32_t>(maxKeycode_)) return {};
    RefreshKeyboard();
    XkbStateRec st{};
    XkbGetState(dpy_, XkbUseCoreKbd, &st);
    KeySym ks = XkbKeycodeToKeysym(dpy_, static_cast<KeyCode>(kc), st.group, 0);
    if (ks == NoSymbol) ks = XkbKeycodeToKeysym(dpy_, static_cast<KeyCode>(kc), 0, 0);
    return KeysymLabel(static_cast<std::uint32_t>(ks));
}

bool X11Platform::FindKeyForChar(std::uint32_t cp, std::uint8_t& kc, bool& shift, std::uint32_t& keysym) {
    RefreshKeyboard();
    auto* xkb = static_cast<XkbDescPtr>(xkb_);
    if (xkb == nullptr) return false;
    XkbStateRec st{};
    XkbGetState(dpy_, XkbUseCoreKbd, &st);
    const unsigned locked = st.locked_mods;
    for (unsigned wantShift = 0; wantShift < 2; ++wantShift) {
        unsigned mods = locked | (wantShift != 0 ? ShiftMask : 0u);
        unsigned state = XkbBuildCoreState(mods, st.group);
        for (int k = xkb->min_key_code; k <= xkb->max_key_code; ++k) {
            if (lent_.count(static_cast<std::uint8_t>(k)) != 0) continue;
            unsigned modsRtrn = 0;
            KeySym ks = NoSymbol;
            if (!XkbTranslateKeyCode(xkb, static_cast<KeyCode>(k), state, &modsRtrn, &ks) || ks == NoSymbol) continue;
            // Keypad keys depend on Num Lock; the main keys are preferred.
            if (ks >= XK_KP_Space && ks <= XK_KP_Equal) continue;
            if (xkb_keysym_to_utf32(static_cast<xkb_keysym_t>(ks)) != cp) continue;
            kc = static_cast<std::uint8_t>(k);
            shift = wantShift != 0;
            keysym = static_cast<std::uint32_t>(ks);
            return true;
        }
    }
    return false;
}

std::uint8_t X11Platform::LendKeycode(std::uint32_t keysym) {
    RefreshKeyboard();
    for (auto& [kc, lent] : lent_) {
        if (lent.keysym == keysym) return kc;
    }
    if (spareKeycodes_.empty()) return 0;
    // The spare that is free, else the least recently used one.
    std::uint8_t pick = 0;
    for (std::uint8_t kc : spareKeycodes_) {
        if (lent_.count(kc) == 0) {
            pick = kc;
            break;
        }
    }
    if (pick == 0) {
        std::uint64_t oldest = UINT64_MAX;
        for (auto& [kc, lent] : lent_) {
            if (lent.lastUse < oldest) {
                oldest = lent.lastUse;
                pick = kc;
            }
        }
        // Changing the keycode while the target has not read the character
        // typed with it would let the target translate it with the new keysym.
        LentKey& old = lent_[pick];
        if (!old.targetSynced) {
            std::uint32_t since = MonotonicMs() - old.usedAtMs;
            if (since < kUnsyncedKeyGraceMs) Sleep(kUnsyncedKeyGraceMs - since);
        }
    }
    // The keysym on both levels: given once, the server would make a letter
    // key of it (lower case plain, upper case shifted) and an upper-case
    // letter would arrive in lower case.
    KeySym ks[2] = {keysym, keysym};
    XChangeKeyboardMapping(dpy_, pick, 2, ks, 1);
    // The server applies the mapping before it handles our next request;
    // XSync makes sure it has, and that the MappingNotify every client gets
    // is queued ahead of the key events that follow.
    XSync(dpy_, False);
    LentKey& l = lent_[pick];
    l.keysym = keysym;
    l.targetSynced = false;
    // Our own notification of the change is no news to us.
    XEvent ev;
    while (XCheckTypedEvent(dpy_, MappingNotify, &ev)) XRefreshKeyboardMapping(&ev.xmapping);
    kbDirty_ = true;
    return pick;
}

bool X11Platform::RestoreSpareKeys(bool force) {
    if (dpy_ == nullptr || lent_.empty()) return true;
    const std::uint32_t now = MonotonicMs();
    if (!force) {
        for (auto& [kc, lent] : lent_) {
            if (!lent.targetSynced && now - lent.usedAtMs < kUnsyncedKeyGraceMs) return false;
        }
    }
    for (auto& [kc, lent] : lent_) {
        KeySym none[2] = {NoSymbol, NoSymbol};
        XChangeKeyboardMapping(dpy_, kc, 2, none, 1);
    }
    lent_.clear();
    XSync(dpy_, False);
    kbDirty_ = true;
    return true;
}

void X11Platform::TapKeycode(std::uint8_t kc, bool shift) {
    std::uint8_t shiftKc = 0;
    if (shift) {
        char keys[32];
        XQueryKeymap(dpy_, keys);
        std::uint8_t l = KeycodeOfVk(0xA0), r = KeycodeOfVk(0xA1);
        if (!KeycodeDown(keys, l) && !KeycodeDown(keys, r)) shiftKc = l;
    }
    if (shiftKc != 0) XTestFakeKeyEvent(dpy_, shiftKc, True, CurrentTime);
    XTestFakeKeyEvent(dpy_, kc, True, CurrentTime);
    XTestFakeKeyEvent(dpy_, kc, False, CurrentTime);
    if (shiftKc != 0) XTestFakeKeyEvent(dpy_, shiftKc, False, CurrentTime);
    XFlush(dpy_);
}

bool X11Platform::PostChar(WinHandle w, const std::string& ch) {
    if (dpy_ == nullptr || w == 0) return false;
    std::int32_t cp = DecodeUtf8Char(ch);
    if (cp < 0) return false;
    // A line feed in a macro starts a new line: Return is its key on X.
    if (cp == '\n') cp = '\r';
    if (cp < 0x20 && cp != '\r' && cp != '\t' && cp != 0x08 && cp != 0x1B) return false;
    if (cp == 0x7F) return false;
    std::uint8_t kc = 0;
    bool shift = false;
    std::uint32_t keysym = 0;
    if (FindKeyForChar(static_cast<std::uint32_t>(cp), kc, shift, keysym)) {
        TapKeycode(kc, shift);
        return true;
    }
    // The layout has no key for it: a spare keycode is lent the character's
    // keysym for as long as it is needed.
    xkb_keysym_t ks = xkb_utf32_to_keysym(static_cast<std::uint32_t>(cp));
    if (ks == XKB_KEY_NoSymbol) return false;
    kc = LendKeycode(ks);
    if (kc == 0) return false;
    LentKey& l = lent_[kc];
    l.lastUse = ++useCounter_;
    l.usedAtMs = MonotonicMs();
    l.targetSynced = false;
    l.target = w;
    l.targetEnds = EndsSeen(w);
    TapKeycode(kc, false);
    return true;
}

std::int16_t X11Platform::VkKeyScan(const std::string& ch) {
    if (dpy_ == nullptr) return -1;
    std::int32_t cp = DecodeUtf8Char(ch);
    if (cp < 0) return -1;
    std::uint8_t kc = 0;
    bool shift = false;
    std::uint32_t keysym = 0;
    if (!FindKeyForChar(static_cast<std::uint32_t>(cp), kc, shift, keysym)) return -1;
    std::uint8_t vk = VkOfKeycode(kc);
    if (vk == 0) return -1;
    return static_cast<std::int16_t>((shift ? 0x100 : 0) | vk);
}

bool X11Platform::KeycodeDown(const char keys[32], std::uint8_t kc) const {
    if (kc == 0) return false;
    return (static_cast<unsigned char>(keys[kc / 8]) & (1u << (kc % 8))) != 0;
}

bool X11Platform::VkDown(const char keys[32], std::uint8_t vk) {
    switch (vk) {
        case 0x10: return VkDown(keys, 0xA0) || VkDown(keys, 0xA1);
        case 0x11: return VkDown(keys, 0xA2) || VkDown(keys, 0xA3);
        case 0x12: return VkDown(keys, 0xA4) || VkDown(keys, 0xA5);
        default: return KeycodeDown(keys, KeycodeOfVk(vk));
    }
}

unsigned X11Platform::LockModMask(std::uint8_t vk) {
    if (vk == 0x14) return LockMask;
    KeySym want = vk == 0x90 ? XK_Num_Lock : XK_Scroll_Lock;
    unsigned mask = 0;
    XModifierKeymap* mods = XGetModifierMapping(dpy_);
    if (mods == nullptr) return 0;
    for (int m = 0; m < 8; ++m) {
        for (int k = 0; k < mods->max_keypermod; ++k) {
            KeyCode kc = mods->modifiermap[m * mods->max_keypermod + k];
            if (kc != 0 && XkbKeycodeToKeysym(dpy_, kc, 0, 0) == want) mask |= 1u << m;
        }
    }
    XFreeModifiermap(mods);
    return mask;
}

bool X11Platform::LockOn(std::uint8_t vk) {
    unsigned mask = LockModMask(vk);
    if (mask != 0) {
        XkbStateRec st{};
        XkbGetState(dpy_, XkbUseCoreKbd, &st);
        return (st.locked_mods & mask) != 0;
    }
    if (vk == 0x91) {
        // Scroll Lock is often no modifier; its indicator tells the state.
        Bool on = False;
        if (XkbGetNamedIndicator(dpy_, atoms_->scrollLockIndicator, nullptr, &on, nullptr, nullptr))
            return on != False;
    }
    return false;
}

void X11Platform::SetLock(std::uint8_t vk, bool on) {
    if (LockOn(vk) == on) return;
    unsigned mask = LockModMask(vk);
    if (mask != 0) {
        XkbLockModifiers(dpy_, XkbUseCoreKbd, mask, on ? mask : 0);
    } else {
        std::uint8_t kc = KeycodeOfVk(vk);
        if (kc == 0) return;
        XTestFakeKeyEvent(dpy_, kc, True, CurrentTime);
        XTestFakeKeyEvent(dpy_, kc, False, CurrentTime);
    }
    XSync(dpy_, False);
}

void X11Platform::KeyEvent(std::uint8_t vk, std::uint8_t /*scan*/, std::uint32_t flags) {
    if (dpy_ == nullptr) return;
    const bool down = (flags & keyflag::KeyUp) == 0;
    if (IsLockVk(vk)) {
        // A tap of a lock key toggles it; the state changes on the way down.
        if (down) SetLock(vk, !LockOn(vk));
        return;
    }
    std::uint8_t kc = KeycodeOfVk(vk);
    if (kc == 0) return;
    XTestFakeKeyEvent(dpy_, kc, down ? True : False, CurrentTime);
    XFlush(dpy_);
}

std::int16_t X11Platform::GetKeyState(int vk) {
    if (dpy_ == nullptr || vk < 0 || vk > 0xFF) return 0;
    char keys[32];
    XQueryKeymap(dpy_, keys);
    auto v = static_cast<std::uint8_t>(vk);
    std::int16_t r = VkDown(keys, v) ? static_cast<std::int16_t>(-128) : 0;
    if (IsLockVk(v) && LockOn(v)) r = static_cast<std::int16_t>(r | 1);
    return r;
}

bool X11Platform::GetKeyboardState(std::array<std::uint8_t, 256>& state) {
    state.fill(0);
    if (dpy_ == nullptr) return false;
    char keys[32];
    XQueryKeymap(dpy_, keys);
    for (int vk = 1; vk < 256; ++vk) {
        if (VkDown(keys, static_cast<std::uint8_t>(vk))) state[static_cast<std::size_t>(vk)] = 0x80;
    }
    for (std::uint8_t vk : {std::uint8_t{0x14}, std::uint8_t{0x90}, std::uint8_t{0x91}}) {
        if (LockOn(vk)) state[vk] = static_cast<std::uint8_t>(state[vk] | 1);
    }
    return true;
}

bool X11Platform::SetKeyboardState(const std::array<std::uint8_t, 256>& state) {
    if (dpy_ == nullptr) return false;
    // Only the lock states can be set on X; keys that are down stay down.
    for (std::uint8_t vk : {std::uint8_t{0x14}, std::uint8_t{0x90}, std::uint8_t{0x91}}) {
        SetLock(vk, (state[vk] & 1) != 0);
    }
    return true;
}

}  // namespace rw::x11
