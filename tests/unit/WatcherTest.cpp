// The foreground watcher: its triggers and waits, the Active state, the icon
// and menu handling, and the reaction to a match.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>

#include "app/Watcher.h"
#include "items/Settings.h"
#include "tests/unit/CoreFixture.h"

using namespace rw;

namespace {

// Renders what the watcher asks of its window into the fake's transcript,
// so the order against everything else shows.
class FakeHost : public WatcherHost {
public:
    explicit FakeHost(FakePlatform& fake) : fake_(fake) {}
    void TrayIconAdd(Icon icon, const std::string& tip) override {
        fake_.transcript.push_back("tray add " + Name(icon) + " '" + tip + "'");
    }
    void TrayIconModify(Icon icon, const std::string& tip) override {
        fake_.transcript.push_back("tray modify " + Name(icon) + " '" + tip + "'");
    }
    void TrayIconDelete() override { fake_.transcript.push_back("tray delete"); }
    void EnablePollTimer(bool on) override { fake_.transcript.push_back(on ? "poll on" : "poll off"); }
    void ShowPopupMenu() override {
        fake_.transcript.push_back("popup menu");
        if (onMenu) onMenu();
    }
    std::function<void()> onMenu;

private:
    static std::string Name(Icon icon) { return icon == Icon::On ? "On" : "Off"; }
    FakePlatform& fake_;
};

// The "Question" dialog with its focused edit box, another program's window
// and one item, "Q", that types "a" into the dialog.
class WatcherTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        AddQuestion();
        other = fake.AddWindow(Window("Other", "OtherClass", 8, 80));
        gItems.AddItemAt(0, ItemRec{"Q", "Question", 0, "#32770", "", "", "a", "", 0});
    }

    void SetItem(std::int32_t delay, const std::string& macro = "a") {
        ItemRec r;
        gItems.GetItem(0, r);
        r.Delay = delay;
        r.Macro = macro;
        gItems.SetItemAt(0, r);
    }
    Lines Typed() const { return fake.Lines({"char"}); }
    std::string CharA() const { return "char 'a' -> " + Hex(edit); }
    std::vector<std::string> Hits() const {
        Lines out;
        for (const auto& l : fake.debugLines)
            if (l.rfind(" Hit: ", 0) == 0 || l.rfind("NewFG: '", 0) == 0) out.push_back(l);
        return out;
    }

    FakeHost host{fake};
    Watcher watcher{host};
    WinHandle other = 0;
};

TEST(TrayTexts, TipsAreCutTo63Characters) {
    EXPECT_EQ(TrayTipForAdd("Replywick"), " Replywick ");
    EXPECT_EQ(TrayTipForModify("Replywick (not active)"), "Replywick (not active)");
    const std::string longTip(70, 'x');
    EXPECT_EQ(TrayTipForAdd(longTip), " " + std::string(62, 'x'));
    EXPECT_EQ(TrayTipForAdd(std::string(61, 'x')), " " + std::string(61, 'x') + " ");
    EXPECT_EQ(TrayTipForModify(longTip), std::string(63, 'x'));
}

TEST_F(WatcherTest, CreationAddsIconLoadsItemsAndExaminesTheForeground) {
    clsItems items;
    items.AddItem(ItemRec{"From file", "Question", 0, "#32770", "", "", "z", "", 0});
    App.IniPath = (Folder() / "watcher.ini").string();
    std::ofstream(App.IniPath, std::ios::binary) << SettingsFileText(items);
    fake.SetForeground(dlg);
    watcher.Create();
    EXPECT_EQ(gItems.Count(), 1);
    EXPECT_EQ(fake.Lines({"tray", "poll", "char"}),
              (Lines{"tray add On ' Replywick '", "poll on", "char 'z' -> " + Hex(edit)}));
    EXPECT_EQ(watcher.LastFG(), dlg);
    EXPECT_TRUE(watcher.Active());
}

TEST_F(WatcherTest, ClosingWritesTheConfirmedSettingsThenRemovesTheIcon) {
    App.IniPath = (Folder() / "watcher.ini").string();
    // The program ends while a settings window is open: its edits were
    // never confirmed and do not reach the file.
    gItems.UpdateBegin();
    gItems.AddItem(Named("unconfirmed"));
    watcher.Close();
    EXPECT_EQ(fake.debugLines, (Lines{"Replywick end -------------"}));
    EXPECT_EQ(fake.transcript.back(), "tray delete");
    std::string bytes;
    ASSERT_TRUE(fake.files.ReadFileBytes(App.IniPath, bytes));
    clsItems back;
    ReadSettingsText(bytes, back);
    ASSERT_EQ(back.Count(), 1);
    EXPECT_EQ(back.GetDesc(0), "Q");
}

TEST_F(WatcherTest, ShellNotificationWaitsForTheWindowThenPlays) {
    fake.SetForeground(other);
    fake.At(30, [&] { fake.SetForeground(dlg); });
    watcher.OnShellHook(1, dlg);
    // Three rounds until the window is in front, 10 ms more, the zero delay
    // and the yield, then the macro.
    Lines head(fake.transcript.begin(), fake.transcript.begin() + 6);
    EXPECT_EQ(head, (Lines{"sleep 10", "sleep 10", "sleep 10", "sleep 10", "sleep 0", "sleep 0"}));
    EXPECT_EQ(Typed(), (Lines{CharA()}));
    EXPECT_EQ(Hits(), (Lines{"NewFG: 'Question'", " Hit: Question"}));
    EXPECT_EQ(watcher.LastFG(), dlg);
}

TEST_F(WatcherTest, ShellNotificationCodesByTheLowByte) {
    fake.SetForeground(dlg);
    for (std::uint32_t code : {0u, 2u, 0x8002u, 0x0105u, 6u}) watcher.OnShellHook(code, dlg);
    EXPECT_TRUE(fake.transcript.empty());
    EXPECT_EQ(watcher.LastFG(), 0u);
    // A "rude" activation carries 4 in its low byte.
    watcher.OnShellHook(0x8004, dlg);
    EXPECT_EQ(Typed(), (Lines{CharA()}));
}

TEST_F(WatcherTest, WaitsForAWindowThatNeverComesAreBounded) {
    // Rounds of 10 ms and 10 ms more (a shell notification 11 rounds, an
    // external one 101); then the window in front is examined.
    gItems.Clear();
    fake.SetForeground(dlg);
    watcher.OnShellHook(1, 0xBEEF);
    EXPECT_EQ(fake.transcript, Lines(12, "sleep 10"));
    EXPECT_EQ(fake.Now(), 120u);
    EXPECT_EQ(watcher.LastFG(), dlg);
    watcher.ForgetWindow(dlg);
    fake.transcript.clear();
    watcher.OnExternalNotify(0xBEEF, 0);
    EXPECT_EQ(fake.transcript, Lines(102, "sleep 10"));
    EXPECT_EQ(fake.Now(), 120u + 1020u);
    EXPECT_EQ(watcher.LastFG(), dlg);
}

TEST_F(WatcherTest, ExternalNotificationCarriesTheHandleInTheCoordinates) {
    gItems.Clear();
    fake.At(200, [&] { fake.SetForeground(0x00010010); });
    watcher.OnExternalNotify(16, 1);
    EXPECT_EQ(watcher.LastFG(), 0x00010010u);
    // 20 rounds, 10 ms; then the title wait of the window that has no title.
    EXPECT_EQ(fake.Lines({"sleep"}).size(), 20u + 1 + 20);
    EXPECT_EQ(fake.Now(), 210u + 200);
}

TEST_F(WatcherTest, ExternalNotificationWithTheLowWordsTopBitSet) {
    gItems.Clear();
    fake.SetForeground(0x00028000);
    watcher.OnExternalNotify(-32768, 2);  // x read as a signed 16-bit value
    EXPECT_EQ(fake.Now(), 10u + 200) << "no waiting: the window is already in front";
    EXPECT_EQ(watcher.LastFG(), 0x00028000u);
}

TEST_F(WatcherTest, PollingTakesAWindowUpOncePerVisitToTheForeground) {
    fake.SetForeground(dlg);
    watcher.OnPollTimer();
    watcher.OnPollTimer();
    EXPECT_EQ(Typed().size(), 1u);
    fake.SetForeground(other);
    watcher.OnPollTimer();
    fake.SetForeground(dlg);
    watcher.OnPollTimer();
    EXPECT_EQ(Typed().size(), 2u) << "switched away and back: played again";
}

TEST_F(WatcherTest, ANewWindowWithTheLastOnesHandleIsTakenUpAnew) {
    // A dialog is answered and closed; the next one, from a new process,
    // gets the same handle at once (X reuses ids) with no other window in
    // front in between. Every trigger must see a new window, not only the
    // backend's report of the old one's end.
    fake.SetForeground(dlg);
    watcher.OnPollTimer();
    watcher.OnPollTimer();
    EXPECT_EQ(Typed().size(), 1u) << "the same window is taken up once";
    FakeWindow next = fake.Win(dlg);
    fake.AddWindowReusing(dlg, next);
    const WinHandle nextEdit = fake.AddChild(dlg, "Edit", "", 0x3E9);
    fake.SetForeground(dlg);
    fake.SetFocusWindow(nextEdit);
    watcher.OnShellHook(4, dlg);
    EXPECT_EQ(Typed(), (Lines{CharA(), "char 'a' -> " + Hex(nextEdit)}));
    // The backend's report of a window's end makes its handle count as new.
    watcher.ForgetWindow(other);
    EXPECT_EQ(watcher.LastFG(), dlg);
    watcher.ForgetWindow(dlg);
    EXPECT_EQ(watcher.LastFG(), 0u);
}

TEST_F(WatcherTest, AWindowOurInputCannotReachIsNotPlayedInto) {
    // Windows keeps an elevated program out of reach of one that is not.
    fake.unreachable.push_back(dlg);
    SetItem(500);
    fake.SetForeground(dlg);
    watcher.OnPollTimer();
    EXPECT_EQ(fake.transcript, Lines{}) << "no delay, no playback";
    EXPECT_EQ(fake.debugLines.back(),
              " Not played: 'Question' runs as administrator and Replywick does not, so it would ignore the macro");
}

TEST_F(WatcherTest, ANewWindowThatGotTheHandleDuringTheDelayGetsNothing) {
    // The matched dialog closes during the delay and another one, which no
    // item matches, opens with the same handle and is in front when the
    // delay ends.
    SetItem(2500);
    fake.SetForeground(dlg);
    fake.At(1000, [&] {
        fake.AddWindowReusing(dlg, Window("Password", "#32770"));
        fake.SetForeground(dlg);
        fake.SetFocusWindow(dlg);
    });
    watcher.OnPollTimer();
    EXPECT_EQ(fake.transcript, PauseLines(1000)) << "the wait ends when the window does";
    EXPECT_EQ(fake.debugLines.back(), " Not played: the window left the foreground during the delay");
    // The stranger is examined by the next trigger, as a window of its own.
    fake.debugLines.clear();
    watcher.OnPollTimer();
    EXPECT_EQ(Hits(), (Lines{"NewFG: 'Password'"}));
}

TEST_F(WatcherTest, WindowLeavingTheForegroundDuringTheDelayGetsNothing) {
    SetItem(2000);
    fake.SetForeground(dlg);
    fake.At(500, [&] { fake.SetForeground(other); });
    watcher.OnPollTimer();
    EXPECT_EQ(Hits(), (Lines{"NewFG: 'Question'", " Hit: Question"}));
    EXPECT_EQ(fake.transcript, PauseLines(500)) << "nothing typed, pressed or sent; no more waiting";
    EXPECT_EQ(watcher.LastFG(), dlg);
    // Closed during the delay: the same.
    fake.transcript.clear();
    watcher.ForgetWindow(dlg);
    fake.SetForeground(dlg);
    fake.At(fake.Now() + 700, [&] { fake.DestroyWindow(dlg); });
    watcher.OnPollTimer();
    EXPECT_EQ(fake.transcript, PauseLines(700));
}

TEST_F(WatcherTest, DelayBeforePlaying) {
    // A negative delay is none (and yields twice), a huge one is cut to a
    // minute, a positive one has no extra yield before the player begins.
    Lines minute = PauseLines(60000);
    minute.push_back("sleep 10");
    const std::pair<std::int32_t, Lines> cases[] = {
        {-5, {"sleep 0", "sleep 0"}}, {2000000000, minute}, {40, {"sleep 40", "sleep 10"}}};
    fake.SetForeground(dlg);
    for (const auto& [delay, head] : cases) {
        SCOPED_TRACE(delay);
        SetItem(delay);
        fake.transcript.clear();
        watcher.ForgetWindow(dlg);
        watcher.OnPollTimer();
        ASSERT_GE(fake.transcript.size(), head.size());
        EXPECT_EQ(Lines(fake.transcript.begin(), fake.transcript.begin() + static_cast<std::ptrdiff_t>(head.size())),
                  head);
        EXPECT_EQ(Typed(), (Lines{CharA()}));
    }
}

TEST_F(WatcherTest, ActiveOffHoldsEveryTriggerOnExaminesAtOnce) {
    fake.SetForeground(dlg);
    watcher.OnPollTimer();
    fake.transcript.clear();

    watcher.ToggleActive();
    EXPECT_FALSE(watcher.Active());
    EXPECT_EQ(fake.transcript, (Lines{"poll off", "tray modify Off 'Replywick (not active)'"}));
    fake.transcript.clear();
    const std::uint32_t t0 = fake.Now();
    fake.SetForeground(other);
    watcher.OnPollTimer();
    watcher.OnShellHook(1, other);
    watcher.OnExternalNotify(static_cast<std::int32_t>(other), 0);
    EXPECT_TRUE(fake.transcript.empty());
    EXPECT_EQ(fake.Now(), t0) << "no trigger waited";
    EXPECT_EQ(watcher.LastFG(), dlg);

    fake.SetForeground(dlg);
    watcher.ToggleActive();
    EXPECT_TRUE(watcher.Active());
    // The window had been taken up before; it is examined again at once.
    EXPECT_EQ(fake.Lines({"poll", "tray", "char"}), (Lines{"poll on", "tray modify On 'Replywick'", CharA()}));
}

TEST_F(WatcherTest, OpenMenuAndSettingsWindowHoldEveryTriggerAndFurtherClicksOff) {
    // The settings window opened from the menu shares CurItem with the
    // matcher: nothing may be examined while it is up, whatever the trigger.
    fake.SetForeground(other);
    bool openInside = false;
    host.onMenu = [&] {
        watcher.ShowList([&] {
            openInside = watcher.PopupMenuOpen();
            fake.SetForeground(dlg);
            watcher.OnPollTimer();
            watcher.OnShellHook(4, dlg);
            watcher.OnExternalNotify(static_cast<std::int32_t>(dlg), 0);
            watcher.OnIconNotification(msg::LButtonDown);
            watcher.OnIconNotification(msg::RButtonDown);
        });
    };
    watcher.OnIconNotification(0x00010000u | msg::RButtonDown);
    EXPECT_TRUE(openInside);
    EXPECT_FALSE(watcher.PopupMenuOpen());
    EXPECT_TRUE(watcher.Active()) << "the click during the menu was ignored";
    EXPECT_EQ(watcher.LastFG(), 0u);
    EXPECT_EQ(fake.transcript, (Lines{"setfg " + Hex(gMainWindow), "popup menu", "poll off", "poll on"}));
    // Once the menu is gone the triggers act again.
    watcher.OnPollTimer();
    EXPECT_EQ(Typed(), (Lines{CharA()}));
}

TEST_F(WatcherTest, LeftDoubleClickTogglesOnce) {
    fake.SetForeground(other);
    for (std::uint32_t m : {0x0201u, 0x0202u, 0x0203u, 0x0202u}) watcher.OnIconNotification(m);
    EXPECT_FALSE(watcher.Active());
    for (std::uint32_t m : {0x0200u, 0x0205u, 0x0206u, 0x0207u, 0x0208u}) watcher.OnIconNotification(m);
    EXPECT_FALSE(watcher.Active());
    EXPECT_EQ(fake.Lines({"poll", "tray"}), (Lines{"poll off", "tray modify Off 'Replywick (not active)'"}));
}

TEST_F(WatcherTest, MomentWithoutForegroundWindowForgetsTheLastOne) {
    fake.SetForeground(dlg);
    watcher.OnPollTimer();
    fake.SetForeground(0);
    watcher.OnPollTimer();
    EXPECT_EQ(watcher.LastFG(), 0u);
    fake.SetForeground(dlg);
    watcher.OnPollTimer();
    EXPECT_EQ(Typed().size(), 2u);
}

TEST_F(WatcherTest, HungTargetCostsBoundedTimeAndPlaybackGoesOn) {
    fake.Win(edit).hung = true;
    fake.Win(dlg).hung = true;
    SetItem(0, "ab{ENTER}");
    fake.SetForeground(dlg);
    watcher.OnPollTimer();
    EXPECT_EQ(Typed(), (Lines{CharA(), "char 'b' -> " + Hex(edit)}));
    EXPECT_EQ(fake.Lines({"key"}), (Lines{"keydown 0x0D scan 0x1C", "keyup 0x0D scan 0x1C"}));
    const auto syncs = fake.Lines({"sync"});
    // One wait timed out after its second; the hung target is not waited
    // for again (the focus lookup's own bounded waits aside).
    EXPECT_EQ(syncs.size(), 1u);
    EXPECT_LE(fake.Now(), kSyncTimeoutMs + 200u);
    // The watcher is free for the next window afterwards.
    fake.SetForeground(other);
    watcher.OnPollTimer();
    EXPECT_EQ(watcher.LastFG(), other);
}

TEST_F(WatcherTest, TriggersDuringAnExaminationDoNothing) {
    gItems.AddItemAt(1, ItemRec{"O", "Other", 0, "OtherClass", "", "", "z", "", 0});
    SetItem(100);
    fake.SetForeground(dlg);
    std::uint32_t nestedEnd = 0;
    fake.At(50, [&] {
        // Another window comes and goes while the first one's delay runs.
        fake.SetForeground(other);
        watcher.OnPollTimer();
        watcher.OnShellHook(4, other);
        watcher.OnExternalNotify(static_cast<std::int32_t>(other), 0);
        watcher.TestNewFGWin();
        nestedEnd = fake.Now();
        fake.SetForeground(dlg);
    });
    watcher.OnPollTimer();
    EXPECT_EQ(nestedEnd, 50u) << "no nested trigger waited or examined";
    EXPECT_EQ(Typed(), (Lines{CharA()}));
    EXPECT_EQ(Hits(), (Lines{"NewFG: 'Question'", " Hit: Question"}));
    EXPECT_EQ(watcher.LastFG(), dlg);
}

TEST_F(WatcherTest, TriggersDuringPlaybackDoNothing) {
    fake.SetForeground(dlg);
    SetItem(0, "a{DELAY=300}b");
    fake.At(100, [&] {
        watcher.OnShellHook(1, dlg);
        watcher.ToggleActive();
        watcher.ToggleActive();  // switching on examines at once, but not inside an examination
    });
    watcher.OnPollTimer();
    EXPECT_EQ(Typed(), (Lines{CharA(), "char 'b' -> " + Hex(edit)}));
    EXPECT_EQ(Hits().size(), 2u);
    EXPECT_TRUE(watcher.Active());
}

TEST_F(WatcherTest, LoadingBrowserIsGivenTimeForItsTitle) {
    gItems.AddItemAt(0, ItemRec{"", "News - Microsoft Internet Explorer", 0, "IEFrame", "", "", "x", "", 0});
    const WinHandle browser = fake.AddWindow(Window("about:blank - Microsoft Internet Explorer", "IEFrame", 9));
    fake.At(150, [&] { fake.Win(browser).title = "Microsoft Internet Explorer"; });
    fake.At(300, [&] { fake.Win(browser).title = "News - Microsoft Internet Explorer"; });
    fake.SetForeground(browser);
    fake.SetFocusWindow(browser);
    watcher.OnPollTimer();
    EXPECT_EQ(fake.Lines({"char"}), (Lines{"char 'x' -> " + Hex(browser)}));
    EXPECT_EQ(Hits().front(), "NewFG: 'News - Microsoft Internet Explorer'");
}

TEST_F(WatcherTest, BrowserThatNeverLoadsIsExaminedAfterASecond) {
    const WinHandle browser = fake.AddWindow(Window("Microsoft Internet Explorer", "IEFrame"));
    fake.SetForeground(browser);
    watcher.OnPollTimer();
    EXPECT_EQ(fake.Now(), 1000u);
    EXPECT_EQ(fake.transcript, Lines(100, "sleep 10"));
    EXPECT_EQ(Hits(), (Lines{"NewFG: 'Microsoft Internet Explorer'"}));
}

TEST_F(WatcherTest, ItemListClosingForgetsTheLastWindowOnlyWhenActive) {
    fake.SetForeground(dlg);
    watcher.OnPollTimer();
    bool ran = false;
    fake.transcript.clear();
    watcher.ShowList([&] { ran = true; });
    EXPECT_TRUE(ran);
    EXPECT_EQ(fake.transcript, (Lines{"poll off", "poll on"}));
    EXPECT_EQ(watcher.LastFG(), 0u);

    watcher.OnPollTimer();
    watcher.ToggleActive();
    fake.transcript.clear();
    watcher.ShowList([] {});
    EXPECT_EQ(fake.transcript, (Lines{"poll off", "poll off"})) << "the timer follows Active";
    EXPECT_EQ(watcher.LastFG(), dlg);
}

TEST_F(WatcherTest, ShellRestartBringsTheIconBackAsItWas) {
    fake.transcript.clear();
    watcher.OnTaskbarCreated();
    watcher.ToggleActive();
    fake.transcript.clear();
    watcher.OnTaskbarCreated();
    EXPECT_EQ(fake.Lines({"tray"}), (Lines{"tray add Off ' Replywick (not active) '"}));
    EXPECT_FALSE(watcher.Active());
}

}  // namespace

// During an item's delay and a macro's pauses the host serves its events.
// A click on the icon then stops the macro, and the menu opens once the
// examination is over, never inside the macro.
TEST_F(WatcherTest, AClickOnTheIconDuringAPauseStopsTheMacroThenOpensTheMenu) {
    SetItem(0, "{DELAY=60000}a");
    fake.SetForeground(dlg);
    bool clicked = false;
    SetPauseService([&] {
        if (!clicked && fake.Now() >= 300) {
            clicked = true;
            watcher.OnIconNotification(msg::RButtonDown);
            EXPECT_TRUE(fake.Lines({"popup menu"}).empty()) << "no menu inside the macro";
        }
    });
    bool menuAfterMacro = false;
    host.onMenu = [&] { menuAfterMacro = !watcher.Examining() && !StopRequested(); };
    watcher.OnPollTimer();
    EXPECT_TRUE(Typed().empty());
    EXPECT_LT(fake.Now(), 1000u);
    EXPECT_EQ(fake.Lines({"popup menu"}).size(), 1u);
    EXPECT_TRUE(menuAfterMacro);
}

TEST_F(WatcherTest, AStopRequestDuringTheDelayPlaysNothingAndIsOverAfterwards) {
    SetItem(30000);
    fake.SetForeground(dlg);
    SetPauseService([&] {
        if (fake.Now() >= 200) RequestStop();
    });
    watcher.OnPollTimer();
    EXPECT_TRUE(Typed().empty());
    EXPECT_EQ(fake.debugLines.back(), " Not played: Replywick was asked to stop");
    EXPECT_FALSE(StopRequested()) << "the next window is examined as usual";
}


// A window the poll examines just before it is activated (its activation is
// announced later) is not in front when its macro is to begin: it is taken
// up again when it does come to the front, not counted as done.
TEST_F(WatcherTest, AWindowNotYetInFrontWhenPlaybackBeginsIsTakenUpWhenItComes) {
    fake.SetForeground(dlg);
    fake.At(fake.Now() + 1, [&] { fake.SetForeground(0); });
    watcher.OnPollTimer();
    EXPECT_TRUE(Typed().empty());
    EXPECT_EQ(fake.debugLines.back(), " Not played: the window was not in front when the macro began");
    fake.SetForeground(dlg);
    watcher.OnShellHook(4, dlg);
    EXPECT_EQ(Typed(), (Lines{CharA()}));
}
