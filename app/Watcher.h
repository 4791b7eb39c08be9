// The foreground watcher: the logic of the hidden main window. The platform's
// main window feeds its events in and renders what it asks for.
//
// What stays with the host: it sets gMainWindow (actions/WinServices.h)
// before Create; it registers for the shell's window notifications (and the
// taskbar-created message) after Create and removes that registration before
// Close; it runs the 500 ms poll timer as EnablePollTimer says and calls
// OnPollTimer on each tick; it builds the menu with GetMenuCaptions
// (App.UseEnglish), shows the Active check mark from Active(), and carries
// out the entries: About modally, Settings through ShowList, Active through
// ToggleActive, Close by closing the main window (which calls Close).
// Everything runs on the one user-interface thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/Platform.h"

namespace rw {

// What the watcher asks of the window that hosts it.
class WatcherHost {
public:
    virtual ~WatcherHost() = default;
    enum class Icon { On, Off };
    // tip is the text exactly as the icon record holds it: the watcher has
    // already formatted it with TrayTipForAdd or TrayTipForModify, so the
    // host shows it unchanged (" Replywick " when added).
    virtual void TrayIconAdd(Icon icon, const std::string& tip) = 0;
    virtual void TrayIconModify(Icon icon, const std::string& tip) = 0;
    virtual void TrayIconDelete() = 0;
    virtual void EnablePollTimer(bool on) = 0;
    // Shows the pop-up menu and carries out the chosen entry completely
    // before returning.
    virtual void ShowPopupMenu() = 0;
};

// Tooltip texts as the icon record holds them.
std::string TrayTipForAdd(const std::string& tip);     // " tip ", at most 63 chars
std::string TrayTipForModify(const std::string& tip);  // first 63 chars

struct MenuCaptions {
    std::string about, settings, active, close;
};
MenuCaptions GetMenuCaptions(bool english);

class Watcher {
public:
    explicit Watcher(WatcherHost& host) : host_(host) {}

    // Creation of the main window: icon added, items loaded from the
    // settings file, poll timer on, the foreground window examined once.
    void Create();
    // Closing: the end-of-program debug line, settings written, icon removed.
    void Close();

    // Triggers.
    void OnShellHook(std::uint32_t wParam, WinHandle lParam);
    void OnPollTimer();
    void OnExternalNotify(std::int32_t x, std::int32_t y);
    // Icon callback: the mouse message in the low 16 bits.
    void OnIconNotification(std::uint32_t lParam);
    void OnTaskbarCreated();

    void ToggleActive();
    // The Settings menu entry: the poll timer stops, runListWindow shows the
    // item list window modally, the timer runs again (if Active), and
    // AfterShowList follows.
    void ShowList(const std::function<void()>& runListWindow);
    // After the item list window closed.
    void AfterShowList();
    // A window of the menu (About, or Settings through ShowList) asked for
    // from outside, without the icon: it is held like one opened from the
    // menu, so no window is examined while it is up. False, and nothing
    // shown, while the menu or such a window is up already or a macro
    // plays.
    bool ShowFromOutside(const std::function<void()>& show);
    // A window that is gone. Window systems that hand its handle to the next
    // window at once (X reuses ids) must not let that window count as the
    // one already taken up.
    void ForgetWindow(WinHandle w);

    // Takes up the foreground window if it is new. Does nothing while an
    // examination runs: examinations never nest.
    void TestNewFGWin();

    bool Active() const { return active_; }
    // While a window is examined and its macro plays (or waits). A host that
    // serves its events during long pauses defers its own ending until
    // then, after RequestStop.
    bool Examining() const { return examining_; }
    WinHandle LastFG() const { return lastFG_; }
    bool PopupMenuOpen() const { return popupMenuOpen_; }

private:
    // Examines LastFG and plays the matching item's macro; only TestNewFGWin
    // calls it, inside its guard against nesting.
    void HandleNewFG();
    bool TriggersAllowed() const { return active_ && !popupMenuOpen_ && !examining_; }
    // Waits at most maxRounds rounds of 10 ms or maxMs until handle is the
    // foreground window, then 10 ms more, then tests the foreground.
    void WaitThenTest(WinHandle handle, int maxRounds, std::uint32_t maxMs);
    void TestNewFGWinBody();
    // A stop asked for during the examination is over; a click on the icon
    // that came meanwhile is carried out now.
    void AfterExamination();

    WatcherHost& host_;
    bool active_ = true;
    bool popupMenuOpen_ = false;
    bool examining_ = false;
    bool iconGuard_ = false;
    std::uint32_t pendingIcon_ = 0;
    WinHandle lastFG_ = 0;
    // Which window lastFG_ named when it was taken up: a handle handed on to
    // a new window does not make that window an old one.
    WindowIdentity lastFGId_;
};

}  // namespace rw
