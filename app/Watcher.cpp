#include "app/Watcher.h"

#include <algorithm>

#include "actions/Pause.h"
#include "actions/SendKeys.h"
#include "actions/WinServices.h"
#include "base/AppValues.h"
#include "app/Matcher.h"
#include "items/Items.h"
#include "items/Settings.h"

namespace rw {

namespace {

constexpr std::size_t kTipChars = 63;  // the icon record's 64 bytes with the NUL
constexpr const char* kTipOn = "Replywick";
constexpr const char* kTipOff = "Replywick (not active)";
constexpr std::uint32_t kMouseMessageMask = 0xFFFF;

// Browser windows show these while a page is still loading; the real title
// follows.
bool IsLoadingBrowserTitle(const std::string& t) {
    return t == "about:blank - Microsoft Internet Explorer" || t == "Microsoft Internet Explorer";
}

// Sets a flag for the lifetime of a scope.
class FlagScope {
public:
    explicit FlagScope(bool& flag) : flag_(flag) { flag_ = true; }
    ~FlagScope() { flag_ = false; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    bool& flag_;
};

}  // namespace

std::string TrayTipForAdd(const std::string& tip) {
    std::string t = " " + tip + " ";
    if (t.size() > kTipChars) t.resize(kTipChars);
    return t;
}

std::string TrayTipForModify(const std::string& tip) {
    return tip.size() > kTipChars ? tip.substr(0, kTipChars) : tip;
}

MenuCaptions GetMenuCaptions(bool english) {
    if (english) return {"&About", "&Settings", "A&ctive", "&Close"};
    return {"Info", "&Einstellungen", "&Aktiv", "&Beenden"};
}

void Watcher::Create() {
    active_ = true;
    lastFG_ = 0;
    host_.TrayIconAdd(WatcherHost::Icon::On, TrayTipForAdd(kTipOn));
    gItems.Clear();
    LoadSettings();
    host_.EnablePollTimer(true);
    // The window in the foreground at start is examined once, whatever
    // arrives later.
    TestNewFGWin();
}

void Watcher::Close() {
    DebugLine([] { return std::string("Replywick end -------------"); });
    SaveConfirmedSettings();
    host_.TrayIconDelete();
}

void Watcher::OnShellHook(std::uint32_t wParam, WinHandle lParam) {
    // Only the low byte counts, so a "rude" activation (0x8004) is one too.
    const std::uint32_t code = wParam & 0xFF;
    if (code != 1 && code != 4) return;  // window created, window activated
    if (!TriggersAllowed()) return;
    WaitThenTest(lParam, 10, 100);
}

void Watcher::OnPollTimer() {
    if (!TriggersAllowed()) return;
    TestNewFGWin();
}

void Watcher::OnExternalNotify(std::int32_t x, std::int32_t y) {
    if (!TriggersAllowed()) return;
    // The sender splits the handle into the two 16-bit coordinates. Taking
    // both as unsigned 16-bit halves keeps a handle whose low word has its
    // top bit set (and which a host reads as a negative x) intact.
    const WinHandle handle = ((static_cast<std::uint32_t>(y) & 0xFFFFu) << 16) |
                             (static_cast<std::uint32_t>(x) & 0xFFFFu);
    WaitThenTest(handle, 100, 1000);
}

void Watcher::WaitThenTest(WinHandle handle, int maxRounds, std::uint32_t maxMs) {
    // The whole trigger counts as one examination: nothing that arrives
    // meanwhile may start another.
    {
        FlagScope busy(examining_);
        const Platform& sys = Sys();
        const std::uint32_t start = sys.clock.GetTickCount();
        int rounds = 0;
        while (sys.windows.GetForegroundWindow() != handle && rounds <= maxRounds &&
               sys.clock.GetTickCount() - start <= maxMs) {
            sys.clock.Sleep(10);
            ++rounds;
        }
        sys.clock.Sleep(10);
        TestNewFGWinBody();
    }
    AfterExamination();
}

void Watcher::OnIconNotification(std::uint32_t lParam) {
    if (examining_) {
        // A click while a macro plays or waits (the host serves its events
        // during long pauses): the macro stops, and the click is carried
        // out once the examination has ended.
        const std::uint32_t button = lParam & kMouseMessageMask;
        if (button == msg::LButtonDown || button == msg::RButtonDown) {
            pendingIcon_ = lParam;
            RequestStop();
        }
        return;
    }
    if (iconGuard_) return;
    FlagScope guard(iconGuard_);
    switch (lParam & kMouseMessageMask) {
        case msg::LButtonDown:
            ToggleActive();
            break;
        case msg::RButtonDown: {
            // The menu only closes properly when our window is in front.
            Sys().windows.SetForegroundWindow(gMainWindow);
            FlagScope menuOpen(popupMenuOpen_);
            host_.ShowPopupMenu();
            break;
        }
        default:
            break;  // moves, releases, double clicks, the middle button
    }
}

void Watcher::OnTaskbarCreated() {
    // The shell restarted: the icon comes back as it was, so that it never
    // claims to answer dialogs while the watcher is off.
    if (active_) {
        host_.TrayIconAdd(WatcherHost::Icon::On, TrayTipForAdd(kTipOn));
    } else {
        host_.TrayIconAdd(WatcherHost::Icon::Off, TrayTipForAdd(kTipOff));
    }
}

void Watcher::ToggleActive() {
    active_ = !active_;
    host_.EnablePollTimer(active_);
    if (active_) {
        host_.TrayIconModify(WatcherHost::Icon::On, TrayTipForModify(kTipOn));
        // The window in front now is examined at once, even if it had been
        // taken up before.
        lastFG_ = 0;
        TestNewFGWin();
    } else {
        host_.TrayIconModify(WatcherHost::Icon::Off, TrayTipForModify(kTipOff));
    }
}

void Watcher::ShowList(const std::function<void()>& runListWindow) {
    host_.EnablePollTimer(false);
    if (runListWindow) runListWindow();
    // The timer follows Active: with the watcher off it stays stopped.
    host_.EnablePollTimer(active_);
    AfterShowList();
}

void Watcher::AfterShowList() {
    // The items may have changed: the window in front is examined anew by
    // the next trigger.
    if (active_) lastFG_ = 0;
}

void Watcher::ForgetWindow(WinHandle w) {
    if (w != 0 && lastFG_ == w) {
        lastFG_ = 0;
        lastFGId_ = {};
    }
}

void Watcher::TestNewFGWin() {
    if (examining_) return;
    {
        FlagScope busy(examining_);
        TestNewFGWinBody();
    }
    AfterExamination();
}

void Watcher::AfterExamination() {
    ClearStopRequest();
    if (pendingIcon_ == 0) return;
    const std::uint32_t click = pendingIcon_;
    pendingIcon_ = 0;
    OnIconNotification(click);
}

void Watcher::TestNewFGWinBody() {
    const Platform& sys = Sys();
    const WinHandle fg = sys.windows.GetForegroundWindow();
    // The same handle may name a new window by now (X hands a closed
    // window's id to the next one at once): that one is taken up anew.
    if (fg == lastFG_ && (fg == 0 || sys.windows.IsSameWindow(lastFGId_))) return;
    // A browser window that is still loading gets about a second for its
    // real title.
    for (int rounds = 0; rounds < 100 && IsLoadingBrowserTitle(GetWinText(fg)); ++rounds) sys.clock.Sleep(10);
    // Taken up before it is examined: a window is examined once per time it
    // comes to the foreground.
    lastFG_ = fg;
    lastFGId_ = sys.windows.IdentifyWindow(fg);
    if (fg != 0) HandleNewFG();
}

void Watcher::HandleNewFG() {
    const WinHandle w = lastFG_;
    const WindowIdentity id = lastFGId_;
    std::string title;
    if (!FindMatchingItem(w, title)) return;
    DebugLine([&] { return " Hit: " + title; });
    if (!Sys().windows.InputReaches(w)) {
        DebugLine([&] {
            return " Not played: '" + title + "' runs as administrator and Replywick does not, so it would ignore the macro";
        });
        return;
    }
    // Copies: CurItem is shared with the item windows.
    const std::string macro = CurItem.Macro;
    // The wait blocks the whole program, so a hand-edited delay is kept
    // within the bounds a {DELAY=} has: negative plays as none, and nothing
    // waits longer than a minute.
    const std::uint32_t delay =
        static_cast<std::uint32_t>(std::clamp<std::int32_t>(CurItem.Delay, 0, kMaxMacroDelayMs));
    const Platform& sys = Sys();
    // A window that leaves the foreground during the delay gets nothing, and
    // neither does a new window that got its handle meanwhile; the wait ends
    // as soon as it does.
    auto stillThere = [&] { return sys.windows.GetForegroundWindow() == w && sys.windows.IsSameWindow(id); };
    if (!Pause(delay, stillThere)) {
        if (StopRequested()) {
            DebugLine([] { return std::string(" Not played: Replywick was asked to stop"); });
        } else {
            DebugLine([] { return std::string(" Not played: the window left the foreground during the delay"); });
        }
        return;
    }
    if (delay == 0) sys.clock.Sleep(0);
    if (!SendKeys(macro, id)) {
        // The window was not (yet) the usable foreground when playback was to
        // begin: a window examined by the poll before its activation was
        // announced. It is taken up anew when it does come to the front.
        DebugLine([] { return std::string(" Not played: the window was not in front when the macro began"); });
        if (lastFG_ == w) {
            lastFG_ = 0;
            lastFGId_ = {};
        }
    }
}

}  // namespace rw
