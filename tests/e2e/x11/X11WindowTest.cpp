// The X11 platform against a real X server with a window manager (run by
// the x11 scenario "window_identity", which provides both): which window a
// handle names when X hands a closed window's id to a new client, with and
// without the event loop running, and which clients count as local.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "backends/x11/X11WindowSystem.h"
#include "backends/x11/X11WindowTracker.h"

namespace rw::x11 {
namespace {

// Another program's connection with one top-level window.
struct Client {
    Display* dpy = nullptr;
    Window win = 0;
    ~Client() { Close(); }
    void Close() {
        if (dpy != nullptr) XCloseDisplay(dpy);  // its windows end with it
        dpy = nullptr;
    }
    void SetPid(long pid) {
        XChangeProperty(dpy, win, XInternAtom(dpy, "_NET_WM_PID", False), XA_CARDINAL, 32,
                        PropModeReplace, reinterpret_cast<unsigned char*>(&pid), 1);
        XSync(dpy, False);
    }
    void SetMachine(const char* host) {
        XTextProperty tp{};
        char* list[] = {const_cast<char*>(host)};
        XStringListToTextProperty(list, 1, &tp);
        XSetWMClientMachine(dpy, win, &tp);
        XFree(tp.value);
        XSync(dpy, False);
    }
};

std::unique_ptr<Client> OpenClient(bool map, long pid = 4242) {
    auto c = std::make_unique<Client>();
    c->dpy = XOpenDisplay(nullptr);
    if (c->dpy == nullptr) return nullptr;
    c->win = XCreateSimpleWindow(c->dpy, DefaultRootWindow(c->dpy), 10, 10, 120, 80, 0, 0, 0xFFFFFF);
    XStoreName(c->dpy, c->win, "RW Identity");
    c->SetPid(pid);
    if (map) XMapWindow(c->dpy, c->win);
    XSync(c->dpy, False);
    return c;
}

// A new client whose window gets the id `id` of a window that has ended:
// the server gives a leaving client's slot to the next one. Only the test
// programs connect here, so that happens within a few tries.
std::unique_ptr<Client> OpenClientWithId(Window id, bool map, long pid = 4242) {
    for (int i = 0; i < 40; ++i) {
        auto c = OpenClient(map, pid);
        if (c && c->win == id) return c;
        c.reset();
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    return nullptr;
}

bool WaitUntil(const std::function<bool()>& done, int ms = 5000) {
    for (int waited = 0; waited < ms; waited += 10) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done();
}

class WindowIdentityTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "needs an X display";
        plat_ = std::make_unique<X11WindowSystem>(nullptr, 0, nullptr);
        ASSERT_TRUE(plat_->Ok());
        plat_->events.onClientGone = [this](WinHandle w) { gone_.push_back(w); };
        plat_->events.onShellHook = [this](std::uint32_t code, WinHandle w) {
            if (code == 1) created_.push_back(w);
        };
    }
    // Xlib reads what the server sent while waiting for a reply, so a
    // request on the platform's connection fills its queue.
    void Dispatch() { plat_->DispatchEvents(); }
    std::size_t Count(const std::vector<WinHandle>& v, WinHandle w) {
        std::size_t n = 0;
        for (WinHandle x : v) n += x == w ? 1 : 0;
        return n;
    }

    Windows& W() { return plat_->Roles().windows; }
    std::unique_ptr<X11WindowSystem> plat_;
    std::vector<WinHandle> gone_, created_;
};

TEST_F(WindowIdentityTest, NewWindowWithTheOldIdIsAnotherWindow) {
    auto a = OpenClient(false);
    ASSERT_TRUE(a);
    const auto id = static_cast<WinHandle>(a->win);
    const WindowIdentity first = W().IdentifyWindow(id);
    EXPECT_EQ(first.handle, id);
    EXPECT_TRUE(W().IsSameWindow(first));
    EXPECT_TRUE(W().IsSameWindow(first));  // asking does not change the answer

    a->Close();
    auto b = OpenClientWithId(id, false);  // same pid: only the end tells them apart
    ASSERT_TRUE(b) << "the server did not reuse the window id";
    // No event has been dispatched: the platform must read them itself.
    EXPECT_FALSE(W().IsSameWindow(first));
    const WindowIdentity second = W().IdentifyWindow(id);
    EXPECT_NE(second, first);
    EXPECT_TRUE(W().IsSameWindow(second));
    EXPECT_FALSE(W().IsSameWindow(first));

    // Dispatching the old end does not count it a second time. The id
    // stands for the new window now, so the old end is not reported by it:
    // whoever took up the new window would forget it.
    Dispatch();
    EXPECT_TRUE(gone_.empty());
    EXPECT_TRUE(W().IsSameWindow(second));
    EXPECT_FALSE(W().IsSameWindow(first));
    EXPECT_EQ(W().IdentifyWindow(id), second);

    // The new window is watched too: its own end is seen and reported.
    b->Close();
    EXPECT_TRUE(WaitUntil([&] { return !W().IsSameWindow(second); }));
    Dispatch();
    EXPECT_EQ(Count(gone_, id), 1u);
}

TEST_F(WindowIdentityTest, OldEndStillQueuedWhenTheNewWindowIsIdentified) {
    auto a = OpenClient(false);
    ASSERT_TRUE(a);
    const auto id = static_cast<WinHandle>(a->win);
    const WindowIdentity first = W().IdentifyWindow(id);
    a->Close();
    auto b = OpenClientWithId(id, false);
    ASSERT_TRUE(b) << "the server did not reuse the window id";
    // The old window's end has not been read yet when the new window is
    // identified: it belongs to the old one, not to the new one.
    const WindowIdentity second = W().IdentifyWindow(id);
    EXPECT_NE(second, first);
    EXPECT_TRUE(W().IsSameWindow(second));
    Dispatch();
    EXPECT_TRUE(W().IsSameWindow(second));
    EXPECT_FALSE(W().IsSameWindow(first));
    EXPECT_EQ(Count(gone_, id), 0u);
}

TEST_F(WindowIdentityTest, EndNoticedWhileWaitingIsReportedOnce) {
    auto a = OpenClient(false);
    ASSERT_TRUE(a);
    const auto id = static_cast<WinHandle>(a->win);
    const WindowIdentity first = W().IdentifyWindow(id);
    a->Close();
    // Noticed without the event loop...
    EXPECT_TRUE(WaitUntil([&] { return !W().IsSameWindow(first); }));
    EXPECT_TRUE(gone_.empty());
    // ...and reported by it, once, as no other window has the id yet.
    Dispatch();
    EXPECT_EQ(Count(gone_, id), 1u);
    EXPECT_FALSE(W().IsSameWindow(first));
    Dispatch();
    EXPECT_EQ(Count(gone_, id), 1u);
}

TEST_F(WindowIdentityTest, GoneWhenIdentifiedStaysGone) {
    auto a = OpenClient(false);
    ASSERT_TRUE(a);
    const auto id = static_cast<WinHandle>(a->win);
    a->Close();
    ASSERT_TRUE(WaitUntil([&] { return !W().IsSameWindow(W().IdentifyWindow(id)); }));
    const WindowIdentity gone = W().IdentifyWindow(id);
    auto b = OpenClientWithId(id, false);
    ASSERT_TRUE(b) << "the server did not reuse the window id";
    EXPECT_FALSE(W().IsSameWindow(gone));
    EXPECT_TRUE(W().IsSameWindow(W().IdentifyWindow(id)));
}

TEST_F(WindowIdentityTest, AnotherProcessIsAnotherWindow) {
    auto a = OpenClient(false, 1111);
    ASSERT_TRUE(a);
    const WindowIdentity first = W().IdentifyWindow(static_cast<WinHandle>(a->win));
    EXPECT_TRUE(W().IsSameWindow(first));
    a->SetPid(2222);
    EXPECT_FALSE(W().IsSameWindow(first));
}

TEST_F(WindowIdentityTest, NoWindowNoIdentity) {
    EXPECT_FALSE(W().IsSameWindow(W().IdentifyWindow(0)));
    EXPECT_FALSE(W().IsSameWindow(WindowIdentity{}));
}

// The window manager lists the new client under the old one's id before the
// program reads the list again: the id is known, but the window is new.
TEST_F(WindowIdentityTest, ClientListShowsNewOwnerOfAnOldIdAsCreated) {
    plat_->CreateMainWindow();
    auto listed = [&](WinHandle w) {
        Dispatch();
        return Count(created_, w) > 0;
    };
    auto a = OpenClient(true);
    ASSERT_TRUE(a);
    const auto id = static_cast<WinHandle>(a->win);
    ASSERT_TRUE(WaitUntil([&] { return listed(id); })) << "the window manager did not list the window";
    created_.clear();

    a->Close();
    auto b = OpenClientWithId(id, true);
    ASSERT_TRUE(b) << "the server did not reuse the window id";
    // Wait, without reading events, until the window manager has listed
    // the new window.
    Display* probe = XOpenDisplay(nullptr);
    ASSERT_NE(probe, nullptr);
    Atom clientList = XInternAtom(probe, "_NET_CLIENT_LIST", False);
    auto inList = [&] {
        Atom type = 0;
        int format = 0;
        unsigned long n = 0, after = 0;
        unsigned char* data = nullptr;
        bool found = false;
        if (XGetWindowProperty(probe, DefaultRootWindow(probe), clientList, 0, 4096, False, XA_WINDOW,
                               &type, &format, &n, &after, &data) == Success &&
            data != nullptr) {
            auto* ids = reinterpret_cast<unsigned long*>(data);
            for (unsigned long i = 0; i < n; ++i) found = found || ids[i] == id;
        }
        if (data != nullptr) XFree(data);
        return found;
    };
    ASSERT_TRUE(WaitUntil(inList)) << "the window manager did not list the new window";
    XCloseDisplay(probe);

    EXPECT_TRUE(WaitUntil([&] { return listed(id); })) << "the new window was never reported as created";
    // The old window's end is reported in its place, before the list that
    // shows the new window.
    EXPECT_EQ(Count(gone_, id), 1u);
    // The new one is watched: its end is reported.
    b->Close();
    EXPECT_TRUE(WaitUntil([&] {
        Dispatch();
        return Count(gone_, id) == 2;
    }));
}

// A long session sees many windows come and go: what the tracker keeps is
// that of the windows that live.
TEST_F(WindowIdentityTest, TrackerForgetsWindowsWhoseEndWasReported) {
    auto keep = OpenClient(false);
    ASSERT_TRUE(keep);
    const WindowIdentity kept = W().IdentifyWindow(static_cast<WinHandle>(keep->win));
    // Many at a time, so that they have ids of their own (the server hands
    // a closed client's ids to the next one).
    for (int round = 0; round < 3; ++round) {
        std::vector<std::unique_ptr<Client>> clients;
        std::vector<WindowIdentity> ids;
        for (int i = 0; i < 20; ++i) {
            clients.push_back(OpenClient(false));
            ASSERT_TRUE(clients.back());
            ids.push_back(W().IdentifyWindow(static_cast<WinHandle>(clients.back()->win)));
            ASSERT_TRUE(W().IsSameWindow(ids.back()));
        }
        EXPECT_GE(plat_->Tracker().IdsKept(), 20u);
        for (auto& c : clients) c->Close();
        for (const auto& id : ids) ASSERT_TRUE(WaitUntil([&] { return !W().IsSameWindow(id); }));
        Dispatch();
        for (const auto& id : ids) EXPECT_FALSE(W().IsSameWindow(id));
        EXPECT_LE(plat_->Tracker().IdsKept(), 1u) << "round " << round;
    }
    EXPECT_TRUE(W().IsSameWindow(kept));
}

// An id the tracker has forgotten is handed to a new window: an identity of
// the old window still names no window.
TEST_F(WindowIdentityTest, ForgottenIdGivenToANewWindowIsAnotherWindow) {
    auto a = OpenClient(false);
    ASSERT_TRUE(a);
    const auto id = static_cast<WinHandle>(a->win);
    const WindowIdentity first = W().IdentifyWindow(id);
    a->Close();
    ASSERT_TRUE(WaitUntil([&] { return !W().IsSameWindow(first); }));
    Dispatch();
    ASSERT_EQ(Count(gone_, id), 1u);
    auto b = OpenClientWithId(id, false);
    ASSERT_TRUE(b) << "the server did not reuse the window id";
    EXPECT_FALSE(W().IsSameWindow(first));
    const WindowIdentity second = W().IdentifyWindow(id);
    EXPECT_NE(second, first);
    EXPECT_TRUE(W().IsSameWindow(second));
    EXPECT_FALSE(W().IsSameWindow(first));
}

// ---- Keys only where they belong ---------------------------------------------

// A mapped window of another program that the window manager has made the
// active one, with the input focus.
class KeyTargetTest : public WindowIdentityTest {
protected:
    void SetUp() override {
        WindowIdentityTest::SetUp();
        if (IsSkipped()) return;
        plat_->CreateMainWindow();
        target_ = OpenClient(true);
        ASSERT_TRUE(target_);
        XSelectInput(target_->dpy, target_->win, KeyPressMask);
        XSync(target_->dpy, False);
        ASSERT_TRUE(Activate(*target_)) << "the window manager did not activate the window";
        id_ = W().IdentifyWindow(static_cast<WinHandle>(target_->win));
    }
    void TearDown() override {
        if (plat_) In().EndKeysFor();
        WindowIdentityTest::TearDown();
    }
    // Asks the window manager to activate the client's window and waits
    // until it is active and has the focus.
    bool Activate(Client& c) {
        XEvent ev{};
        ev.xclient.type = ClientMessage;
        ev.xclient.window = c.win;
        ev.xclient.message_type = XInternAtom(c.dpy, "_NET_ACTIVE_WINDOW", False);
        ev.xclient.format = 32;
        ev.xclient.data.l[0] = 2;
        XSendEvent(c.dpy, DefaultRootWindow(c.dpy), False, SubstructureRedirectMask | SubstructureNotifyMask, &ev);
        XSync(c.dpy, False);
        return WaitUntil([&] {
            Window focus = 0;
            int revert = 0;
            XGetInputFocus(c.dpy, &focus, &revert);
            return focus == c.win && W().GetForegroundWindow() == static_cast<WinHandle>(c.win);
        });
    }
    // Key presses that reached the client so far.
    static int Presses(Client& c) {
        XSync(c.dpy, False);
        int n = 0;
        XEvent ev;
        while (XCheckTypedWindowEvent(c.dpy, c.win, KeyPress, &ev)) ++n;
        return n;
    }
    Input& In() { return plat_->Roles().input; }
    WinHandle Target() const { return static_cast<WinHandle>(target_->win); }

    std::unique_ptr<Client> target_;
    WindowIdentity id_;
};

TEST_F(KeyTargetTest, KeysReachTheTargetThatHoldsTheKeyboard) {
    In().AimKeysAt(id_);
    EXPECT_TRUE(In().PostChar(Target(), "x"));
    EXPECT_FALSE(In().KeysRefused());
    EXPECT_TRUE(WaitUntil([&] { return Presses(*target_) > 0; }));
}

TEST_F(KeyTargetTest, APopupThatTakesTheFocusGetsNothing) {
    In().AimKeysAt(id_);
    // An override-redirect popup of another program takes the focus.
    Client popup;
    popup.dpy = XOpenDisplay(nullptr);
    ASSERT_NE(popup.dpy, nullptr);
    XSetWindowAttributes attrs{};
    attrs.override_redirect = True;
    popup.win = XCreateWindow(popup.dpy, DefaultRootWindow(popup.dpy), 0, 0, 50, 50, 0, CopyFromParent,
                              InputOutput, CopyFromParent, CWOverrideRedirect, &attrs);
    XSelectInput(popup.dpy, popup.win, KeyPressMask | StructureNotifyMask);
    XMapWindow(popup.dpy, popup.win);
    XEvent ev;
    XWindowEvent(popup.dpy, popup.win, StructureNotifyMask, &ev);  // mapped
    XSetInputFocus(popup.dpy, popup.win, RevertToParent, CurrentTime);
    XSync(popup.dpy, False);
    // Nothing is dispatched: the keyboard learns of it from the queue.
    EXPECT_FALSE(In().PostChar(Target(), "y"));
    In().KeyEvent(0x41, 0, 0);
    EXPECT_TRUE(In().KeysRefused());
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(Presses(popup), 0);
}

TEST_F(KeyTargetTest, AKeyboardGrabOfAnotherProgramGetsNothing) {
    In().AimKeysAt(id_);
    Client grabber;
    grabber.dpy = XOpenDisplay(nullptr);
    ASSERT_NE(grabber.dpy, nullptr);
    grabber.win = DefaultRootWindow(grabber.dpy);
    ASSERT_EQ(XGrabKeyboard(grabber.dpy, grabber.win, False, GrabModeAsync, GrabModeAsync, CurrentTime),
              GrabSuccess);
    XSync(grabber.dpy, False);
    EXPECT_EQ(W().GetForegroundWindow(), Target()) << "the grab leaves the active window as it is";
    EXPECT_FALSE(In().PostChar(Target(), "z"));
    EXPECT_TRUE(In().KeysRefused());
    XUngrabKeyboard(grabber.dpy, CurrentTime);
    XSync(grabber.dpy, False);
    grabber.win = 0;
}

TEST_F(KeyTargetTest, AnotherActiveWindowOrTheTargetsEndIsSeenWithoutTheEventLoop) {
    In().AimKeysAt(id_);
    auto other = OpenClient(true);
    ASSERT_TRUE(other);
    ASSERT_TRUE(Activate(*other));  // reads the foreground, dispatches nothing
    EXPECT_FALSE(In().PostChar(Target(), "x"));
    EXPECT_TRUE(In().KeysRefused());
    In().EndKeysFor();

    // The end of the target, noticed with no event dispatched.
    ASSERT_TRUE(Activate(*target_));
    id_ = W().IdentifyWindow(Target());
    In().AimKeysAt(id_);
    EXPECT_TRUE(W().IsSameWindow(id_));
    target_->Close();
    EXPECT_TRUE(WaitUntil([&] { return !W().IsSameWindow(id_); }));
    EXPECT_FALSE(In().PostChar(Target(), "x"));
    EXPECT_TRUE(In().KeysRefused());
}

TEST_F(KeyTargetTest, KeyReleasesAlwaysGoOut) {
    In().AimKeysAt(id_);
    In().KeyEvent(0x10, 0, 0);  // Shift down, while the target has the keyboard
    auto other = OpenClient(true);
    ASSERT_TRUE(other);
    ASSERT_TRUE(Activate(*other));
    In().KeyEvent(0x41, 0, 0);
    EXPECT_TRUE(In().KeysRefused());
    In().KeyEvent(0x10, 0, keyflag::KeyUp);
    EXPECT_TRUE(WaitUntil([&] { return In().GetKeyState(0x10) >= 0; })) << "Shift stayed down";
}

TEST_F(WindowIdentityTest, ProgramOfAnotherHostHasNoLocalProcess) {
    auto a = OpenClient(false, 3333);
    ASSERT_TRUE(a);
    const auto w = static_cast<WinHandle>(a->win);
    EXPECT_EQ(W().GetWindowProcessId(w), 3333u);  // no machine named: local
    char host[256] = {};
    ASSERT_EQ(gethostname(host, sizeof host - 1), 0);
    a->SetMachine(host);
    EXPECT_EQ(W().GetWindowProcessId(w), 3333u);
    std::string upper = host;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    a->SetMachine(upper.c_str());
    EXPECT_EQ(W().GetWindowProcessId(w), 3333u);
    // The same host with its domain named on one side only.
    const std::string shortHost = std::string(host).substr(0, std::string(host).find('.'));
    a->SetMachine(shortHost.c_str());
    EXPECT_EQ(W().GetWindowProcessId(w), 3333u);
    if (shortHost == host) {
        a->SetMachine((shortHost + ".example.org").c_str());
        EXPECT_EQ(W().GetWindowProcessId(w), 3333u);
    }
    a->SetMachine("localhost");
    EXPECT_EQ(W().GetWindowProcessId(w), 3333u);
    a->SetMachine("rw-elsewhere.invalid");
    EXPECT_EQ(W().GetWindowProcessId(w), 0u);
}

}  // namespace
}  // namespace rw::x11
