// The macro player against the fake window system: what reaches the target,
// in which order, with which pauses.
#include <gtest/gtest.h>

#include <algorithm>

#include "actions/SendKeys.h"
#include "tests/unit/CoreFixture.h"

using namespace rw;

namespace {

// Builds an expected transcript from pieces.
struct Script {
    Lines lines;
    Script& operator<<(const std::string& line) {
        lines.push_back(line);
        return *this;
    }
    Script& operator<<(const Lines& more) {
        lines.insert(lines.end(), more.begin(), more.end());
        return *this;
    }
};

// The "Question" dialog in front, its edit box focused, at normal priority.
class SendKeysTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        AddQuestion();
        fake.SetForeground(dlg);
        fake.priorities[70] = priority::Normal;
    }

    // The focus lookup inside the dialog.
    Lines Focus() const { return {"focus of " + Hex(dlg)}; }
    // WaitForTarget on the edit control.
    Lines Wait() const { return {"sync " + Hex(edit), "idle pid 70 max 333"}; }
    // ReleaseModifiers with nothing held.
    static Lines Release() { return {"sleep 10"}; }
    std::string Char(const std::string& c) const { return "char '" + c + "' -> " + Hex(edit); }
    // Start of every playback up to the first step.
    Lines Start(bool braceMode) const {
        Script s;
        s << Release() << Focus();
        if (braceMode) s << "priority pid 70 = 0x80";
        s << "timer begin 1";
        return s.lines;
    }
    static Lines End(bool braceMode) {
        if (braceMode) return {"timer end 1", "priority pid 70 = 0x20"};
        return {"timer end 1"};
    }
    // The keys, characters and commands only.
    Lines Input() const { return fake.Lines({"key", "char", "command", "close", "show"}); }
};

TEST_F(SendKeysTest, WorkedExampleCharacterThenEnter) {
    SendKeys("a{ENTER}");
    Script s;
    s << Start(true);
    // a: yield, wait, type; a "{" follows, so wait and 10 ms; after-step.
    s << "sleep 0" << Wait() << Char("a") << Wait() << "sleep 10" << "sleep 1" << Wait();
    // {ENTER}: wait, press and release with Enter's own scan code, 1 ms, the
    // focus check (no TAB yet: no waiting), focus read again, after-step.
    s << Wait() << "keydown 0x0D scan 0x1C" << "keyup 0x0D scan 0x1C" << "sleep 1" << Focus() << Focus()
      << "sleep 1" << Wait();
    s << End(true);
    EXPECT_EQ(fake.transcript, s.lines);
    EXPECT_EQ(fake.debugLines, (Lines{"  SendKeys: a{ENTER}", "   SendKeys finished"}));
}

TEST_F(SendKeysTest, PlainTextTypesWithoutPriorityOrPreWait) {
    SendKeys("abc");
    Script s;
    s << Start(false);
    for (const char* c : {"a", "b", "c"}) s << Char(c) << "sleep 1" << Wait();
    s << End(false);
    EXPECT_EQ(fake.transcript, s.lines);
}

TEST_F(SendKeysTest, ShiftTabWholeTranscriptWithFocusMoving) {
    WinHandle second = fake.AddChild(dlg, "Edit", "", 0x3EA);
    fake.onKeyEvent = [&](std::uint8_t vk, std::uint32_t flags) {
        if (vk == 0x09 && (flags & keyflag::KeyUp)) fake.SetFocusWindow(second);
    };
    SendKeys("{SHIFT}{TAB}x");
    Script s;
    s << Start(true);
    // {SHIFT}: pressed and left down; the step ends without after-step.
    s << Wait() << "keydown 0x10 scan 0x2A" << "sleep 1" << Focus() << Focus();
    // {TAB}: the pending pause first; the focus before the TAB is noted, the
    // focus has moved after it, so no focus pauses; then Shift goes up.
    s << "sleep 10" << Wait() << Focus() << "keydown 0x09 scan 0x0F" << "keyup 0x09 scan 0x0F" << "sleep 1"
      << Focus() << Focus() << "keyup 0x10 scan 0x2A" << "keyup 0xA1 scan 0x36 ext" << "sleep 1"
      << "sync " + Hex(second) << "idle pid 70 max 333";
    // x goes to the new focus.
    s << "sleep 10" << "sleep 0" << "sync " + Hex(second) << "idle pid 70 max 333"
      << "char 'x' -> " + Hex(second) << "sleep 1" << "sync " + Hex(second) << "idle pid 70 max 333";
    s << End(true);
    EXPECT_EQ(fake.transcript, s.lines);
    EXPECT_GE(fake.GetKeyState(0x10), 0) << "Shift is released at the end";
}

TEST_F(SendKeysTest, TabThatLeavesFocusWaitsElevenPauses) {
    SendKeys("{TAB}");
    // The focus stays put: 12 checks with 11 pauses of 10 ms between them.
    Script s;
    s << Start(true) << Wait() << Focus() << "keydown 0x09 scan 0x0F" << "keyup 0x09 scan 0x0F" << "sleep 1";
    for (int k = 0; k < 11; ++k) s << Focus() << "sleep 10";
    s << Focus() << Focus() << "sleep 1" << Wait() << End(true);
    EXPECT_EQ(fake.transcript, s.lines);
}

TEST_F(SendKeysTest, KeysAfterATabThatLeftTheFocusWaitToo) {
    SendKeys("{TAB}{ENTER}");
    // 11 focus pauses after each key, 10 ms between the two tokens, and the
    // 10 ms of ReleaseModifiers at the start.
    EXPECT_EQ(fake.Lines({"sleep 10"}).size(), 11u + 11u + 1u + 1u);
}

TEST_F(SendKeysTest, KeysAndCharactersOfMacros) {
    const std::string lf = "char 0x0A -> " + Hex(edit);
    const struct {
        std::string macro;
        Lines input;
    } cases[] = {
        {"{tab+wait}", {"keydown 0x09 scan 0x0F", "keyup 0x09 scan 0x0F"}},
        // Held modifiers are let go in reverse order, each with its right-hand twin.
        {"{SHIFT}{CTRL}{WINKEY}r",
         {"keydown 0x10 scan 0x2A", "keydown 0x11 scan 0x1D", "keydown 0x5B scan 0x00", Char("r"),
          "keyup 0x5B scan 0x00", "keyup 0x11 scan 0x1D", "keyup 0xA3 scan 0x1D ext", "keyup 0x10 scan 0x2A",
          "keyup 0xA1 scan 0x36 ext"}},
        {"{CTRL}{ALT}{DEL}",
         {"keydown 0x11 scan 0x1D", "keydown 0x12 scan 0x38", "keydown 0x2E scan 0x53", "keyup 0x2E scan 0x53",
          "keyup 0x12 scan 0x38", "keyup 0xA5 scan 0x38 ext", "keyup 0x11 scan 0x1D", "keyup 0xA3 scan 0x1D ext"}},
        // A bare modifier at the end, left down, would turn the user's next
        // keystrokes into shortcuts.
        {"ab{CTRL}",
         {Char("a"), Char("b"), "keydown 0x11 scan 0x1D", "keyup 0x11 scan 0x1D", "keyup 0xA3 scan 0x1D ext"}},
        {"{{ENTER}", {Char("{"), Char("E"), Char("N"), Char("T"), Char("E"), Char("R"), Char("}")}},
        // An unclosed brace types the rest as text.
        {"x}{ab", {Char("x"), Char("}"), Char("{"), Char("a"), Char("b")}},
        {"{ENTER}{", {"keydown 0x0D scan 0x1C", "keyup 0x0D scan 0x1C", Char("{")}},
        {"{", {Char("{")}},
        {"{ ENTER }", {"keydown 0x00 scan 0x00", "keyup 0x00 scan 0x00"}},  // unknown name: code zero
        {"a\r\nb", {Char("a"), lf, Char("b")}},  // carriage returns removed, line feeds typed
        {"{Window Minimize}{WINDOW MAXIMIZE}{Window Close}{Window Restore}",
         {"show 2 -> " + Hex(dlg), "show 3 -> " + Hex(dlg), "close -> " + Hex(dlg)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.macro));
        fake.transcript.clear();
        fake.debugLines.clear();
        SendKeys(c.macro);
        EXPECT_EQ(Input(), c.input);
        ASSERT_FALSE(fake.debugLines.empty());
        EXPECT_EQ(fake.debugLines.front(), "  SendKeys: " + c.macro);
        for (int vk : {0x10, 0x11, 0x12, 0x5B}) EXPECT_GE(fake.GetKeyState(vk), 0) << "still held: " << vk;
    }
}

// ---- Never into another window ------------------------------------------------

TEST_F(SendKeysTest, KeyEventsStopWhenTheForegroundMovesOn) {
    // (Playback starts after the 10 ms of ReleaseModifiers; the switch at
    // 30 ms falls into the pause.)
    // Key events go to whatever is in front: once another window is there,
    // nothing more is pressed anywhere, held modifiers are let go and the
    // target's priority and the timer are restored. Characters posted to the
    // captured window (Windows) still reach it.
    const WinHandle o = fake.AddWindow(Window("Other"));
    fake.At(30, [&] { fake.SetForeground(o); });
    SendKeys("{SHIFT}a{DELAY=50}b{ENTER}c");
    EXPECT_EQ(Input(), (Lines{"keydown 0x10 scan 0x2A", Char("a"), "keyup 0x10 scan 0x2A",
                              "keyup 0xA1 scan 0x36 ext", Char("b")}));
    EXPECT_EQ(fake.Lines({"timer", "priority"}),
              (Lines{"priority pid 70 = 0x80", "timer begin 1", "timer end 1", "priority pid 70 = 0x20"}));
    EXPECT_EQ(fake.debugLines.back(), "   SendKeys stopped: the target window left the foreground");
}

TEST_F(SendKeysTest, TypedCharactersStopTooWhereTheyFollowTheFocus) {
    // X11 types characters as keys: they land in whatever has the focus.
    fake.charactersFollowFocus = true;
    const WinHandle o = fake.AddWindow({});
    fake.At(30, [&] { fake.SetForeground(o); });
    SendKeys("ab{DELAY=50}cd");
    EXPECT_EQ(Input(), (Lines{Char("a"), Char("b")}));
}

TEST_F(SendKeysTest, ANewWindowWithTheTargetsHandleGetsNothing) {
    // The target closes during a pause and a new window gets its handle (X
    // reuses ids at once): same handle, same foreground, another window.
    fake.charactersFollowFocus = true;
    fake.At(30, [&] {
        fake.AddWindowReusing(dlg, Window("Next"));
        fake.SetForeground(dlg);
        fake.SetFocusWindow(dlg);
    });
    SendKeys("a{DELAY=50}b{Dialog OK}{ENTER}");
    EXPECT_EQ(Input(), (Lines{Char("a")}));
}

TEST_F(SendKeysTest, APopupThatTakesTheFocusGetsNothing) {
    // The dialog stays in front, but a popup of another program takes the
    // input focus during the pause: keys typed now would land in it.
    fake.charactersFollowFocus = true;
    const WinHandle popup = fake.AddWindow(Window("Popup"));
    fake.At(30, [&] { fake.SetFocusWindow(popup); });
    SendKeys("ab{DELAY=50}cd{ENTER}");
    EXPECT_EQ(fake.Lines({"key", "char"}), (Lines{Char("a"), Char("b")}));
    EXPECT_EQ(fake.Lines({"refused"}), (Lines{"refused char 'c' -> " + Hex(dlg)}));
    EXPECT_EQ(fake.debugLines.back(), "   SendKeys stopped: the target window lost the keyboard");
    EXPECT_FALSE(fake.keyTargetSet) << "the keys are for nobody after playback";
}

TEST_F(SendKeysTest, TargetLeavingBetweenTheCheckAndTheEventGetsNoMore) {
    // The player's check passes; then, inside the window system's work for
    // the third character, another window comes to the front. That
    // character and everything after it go nowhere, and the held Shift is
    // let go.
    fake.charactersFollowFocus = true;
    const WinHandle o = fake.AddWindow(Window("Other"));
    fake.beforeInput = [&] {
        // Shift has just been let go after "a": "b" is on its way.
        if (fake.Lines({"keyup"}).size() == 2) fake.SetForeground(o);
    };
    SendKeys("{SHIFT}ab{TAB}c");
    EXPECT_EQ(fake.Lines({"key", "char"}), (Lines{"keydown 0x10 scan 0x2A", Char("a"), "keyup 0x10 scan 0x2A",
                                                  "keyup 0xA1 scan 0x36 ext"}));
    EXPECT_EQ(fake.Lines({"refused"}), (Lines{"refused " + Char("b")}));
    EXPECT_EQ(fake.debugLines.back(), "   SendKeys stopped: the target window lost the keyboard");
}

TEST_F(SendKeysTest, KeyPressRefusedInTheGapStopsPlayback) {
    // The same for a named key: a new window with the target's handle comes
    // up while the key is on its way.
    fake.beforeInput = [&] {
        // Enter is down and up again: TAB is on its way.
        if (fake.Lines({"keyup"}).size() == 1 && fake.Lines({"refused"}).empty()) {
            fake.AddWindowReusing(dlg, Window("Next"));
            fake.SetForeground(dlg);
            fake.SetFocusWindow(dlg);
        }
    };
    SendKeys("{ENTER}{TAB}x");
    EXPECT_EQ(fake.Lines({"key", "char"}), (Lines{"keydown 0x0D scan 0x1C", "keyup 0x0D scan 0x1C"}));
    EXPECT_EQ(fake.Lines({"refused"}), (Lines{"refused keydown 0x09 scan 0x0F"}));
    EXPECT_EQ(fake.debugLines.back(), "   SendKeys stopped: the target window lost the keyboard");
}

TEST_F(SendKeysTest, AKeyTheInputCannotPlayStopsPlaybackNamingIt) {
    // An input that plays only some keys (typing through the accessibility
    // bus) refuses the others: the rest of the macro would land in the
    // wrong place, so it stops, and the line names the key as written.
    fake.charactersFollowFocus = true;
    fake.unplayableKeys = {0x25};
    SendKeys("ab{Left}c{ENTER}");
    EXPECT_EQ(fake.Lines({"key", "char"}), (Lines{Char("a"), Char("b")}));
    EXPECT_EQ(fake.Lines({"refused"}), (Lines{"refused keydown 0x25 scan 0x00"}));
    EXPECT_EQ(fake.debugLines.back(), "   SendKeys stopped: {Left} was not played: this input has no such key");
}

TEST_F(SendKeysTest, TheKeysAreForTheTargetWhilePlaying) {
    fake.charactersFollowFocus = true;
    std::vector<WindowIdentity> seen;
    fake.beforeInput = [&] { seen.push_back(fake.keyTargetSet ? fake.keyTarget : WindowIdentity{}); };
    SendKeys("ab");
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], fake.IdentifyWindow(dlg));
    EXPECT_EQ(seen[1], fake.IdentifyWindow(dlg));
    EXPECT_FALSE(fake.keyTargetSet);
}

TEST_F(SendKeysTest, ButtonPressesAndWindowCommandsStillReachTheDialogBehindAnother) {
    // They name the dialog itself, so they stay with it while it exists.
    const WinHandle yes = fake.AddChild(dlg, "Button", "&Yes", 6);
    const WinHandle o = fake.AddWindow(Window("", "", 8));
    fake.At(30, [&] { fake.SetForeground(o); });  // during the DELAY
    SendKeys("{DELAY=20}{Dialog Yes}{Window Minimize}");
    EXPECT_EQ(Input(), (Lines{"command 6 -> " + Hex(dlg) + " button " + Hex(yes), "show 2 -> " + Hex(dlg)}));
}

TEST_F(SendKeysTest, FailuresWriteDebugLines) {
    SendKeys("{Dialog Retry}{Dialog Maybe}{Window Shrink}");
    EXPECT_EQ(fake.debugLines, (Lines{"  SendKeys: {Dialog Retry}{Dialog Maybe}{Window Shrink}",
                                      "   SendKeys: no dialog button RETRY", "   SendKeys: no dialog button MAYBE",
                                      "   SendKeys: window command failed: SHRINK", "   SendKeys finished"}));
}

TEST_F(SendKeysTest, EscapedBraceTypesOneBrace) {
    SendKeys("{{");
    Script s;
    // Not brace mode (no "}"); the second "{" is consumed, but the wait that
    // precedes a following "{" happens.
    s << Start(false) << Char("{") << Wait() << "sleep 10" << "sleep 1" << Wait() << End(false);
    EXPECT_EQ(fake.transcript, s.lines);
}

TEST_F(SendKeysTest, LoneClosingBraceIsTextButSwitchesToBraceMode) {
    SendKeys("a}b");
    EXPECT_EQ(Input(), (Lines{Char("a"), Char("}"), Char("b")}));
    EXPECT_EQ(fake.Lines({"priority"}), (Lines{"priority pid 70 = 0x80", "priority pid 70 = 0x20"}));
    // Brace mode: every character yields and waits first.
    EXPECT_EQ(fake.Lines({"sleep 0"}).size(), 3u);
}

TEST_F(SendKeysTest, DelayPausesThenTenMoreBeforeNextStep) {
    SendKeys("{DELAY=250}x");
    Script s;
    s << Start(true) << PauseLines(250) << Focus() << "sleep 1" << Wait();
    s << "sleep 10" << "sleep 0" << Wait() << Char("x") << "sleep 1" << Wait() << End(true);
    EXPECT_EQ(fake.transcript, s.lines);
}

TEST_F(SendKeysTest, DelayValuesAreReadAndBounded) {
    const std::pair<const char*, std::uint32_t> cases[] = {
        {"{delay=x}", 0},  {"{DELAY=-5}", 0},  {"{DELAY=99999999999}", 60000}, {"{DELAY=60001}", 60000},
        {"{DELAY=2.5}", 2}, {"{DELAY=3.5}", 4}, {"{DELAY= 1 2}", 12},          {"{DELAY=1e2}", 100},
        {"{DELAY=7ms}", 7}, {"{DELAY=}", 0},
    };
    for (const auto& [macro, ms] : cases) {
        fake.transcript.clear();
        SendKeys(macro);
        // The token's pause comes first after the timer is raised.
        const auto& t = fake.transcript;
        auto it = std::find(t.begin(), t.end(), "timer begin 1");
        ASSERT_NE(it, t.end()) << macro;
        const Lines pause = PauseLines(ms);
        ASSERT_GE(t.end() - (it + 1), static_cast<std::ptrdiff_t>(pause.size())) << macro;
        EXPECT_EQ(Lines(it + 1, it + 1 + static_cast<std::ptrdiff_t>(pause.size())), pause) << macro;
    }
}

TEST_F(SendKeysTest, DialogButtonsByIdAndUnknownNamesDoNothing) {
    // With no button of id 1, OK falls back to the cancel id.
    const WinHandle only = fake.AddChild(dlg, "Button", "OK", 2);
    SendKeys("{Dialog OK}");
    EXPECT_EQ(Input(), (Lines{"command 2 -> " + Hex(dlg) + " button " + Hex(only)}));
    fake.transcript.clear();
    const WinHandle ok = fake.AddChild(dlg, "Button", "OK", 1);
    const WinHandle yes = fake.AddChild(dlg, "Button", "Ja", 6);
    SendKeys("{Dialog ok}{dialog YES}{Dialog No}{Dialog Help}");
    EXPECT_EQ(Input(), (Lines{"command 1 -> " + Hex(dlg) + " button " + Hex(ok),
                              "command 6 -> " + Hex(dlg) + " button " + Hex(yes)}));
}

TEST_F(SendKeysTest, NumLockOnOnlyWhenOffAndOffOnlyWhenOn) {
    SendKeys("{NUMLOCK+}");
    EXPECT_EQ(Input(), (Lines{"keydown 0x90 scan 0x45 ext", "keyup 0x90 scan 0x45 ext"}));
    EXPECT_EQ(fake.keyState[0x90], 1);
    fake.transcript.clear();
    SendKeys("{NUMLOCK+}");
    EXPECT_TRUE(Input().empty());
    SendKeys("{numlock-}");
    EXPECT_EQ(Input(), (Lines{"keydown 0x90 scan 0x45 ext", "keyup 0x90 scan 0x45 ext"}));
    EXPECT_EQ(fake.keyState[0x90], 0);
    fake.transcript.clear();
    SendKeys("{NUMLOCK-}");
    EXPECT_TRUE(Input().empty());
}

TEST_F(SendKeysTest, LockKeyTokenHasNoPressPauseOrFocusWait) {
    SendKeys("{CAPSLOCK+}");
    Script s;
    s << Start(true) << Wait() << "keydown 0x14 scan 0x3A ext" << "keyup 0x14 scan 0x3A ext" << Focus()
      << "sleep 1" << Wait() << End(true);
    EXPECT_EQ(fake.transcript, s.lines);
}

TEST_F(SendKeysTest, LockKeyOnOlderSystemsWritesTheKeyStateTwice) {
    App.OsVersion.IsNT = false;
    SendKeys("{SCROLLLOCK+}");
    Lines l = fake.Lines({"setkeyboardstate", "key"});
    // Once by ReleaseModifiers, twice for the lock key; no key events.
    EXPECT_EQ(l, (Lines{"setkeyboardstate", "setkeyboardstate", "setkeyboardstate"}));
    EXPECT_EQ(fake.keyState[0x91], 1);
}

TEST_F(SendKeysTest, NoOrAnUnusableForegroundWindowTypesNothing) {
    fake.SetForeground(0);
    SendKeys("abc{ENTER}");
    EXPECT_EQ(fake.transcript, (Lines{"sleep 10"}));
    EXPECT_EQ(fake.debugLines, (Lines{"  SendKeys: abc{ENTER}"}));
    fake.SetForeground(dlg);
    fake.Win(dlg).rect = {100, 100, 100, 250};  // zero wide
    SendKeys("abc");
    EXPECT_TRUE(Input().empty());
    EXPECT_EQ(fake.debugLines.size(), 2u);
}

TEST_F(SendKeysTest, Utf8CharactersArePostedWhole) {
    fake.utf8 = true;
    SendKeys("\xC3\xA9\xE2\x82\xAC{ENTER}");
    EXPECT_EQ(Input(), (Lines{Char("\xC3\xA9"), Char("\xE2\x82\xAC"), "keydown 0x0D scan 0x1C",
                              "keyup 0x0D scan 0x1C"}));
    // The character before the "{" is followed by the extra wait and pause.
    Script s;
    s << Start(true) << "sleep 0" << Wait() << Char("\xC3\xA9") << "sleep 1" << Wait() << "sleep 0" << Wait()
      << Char("\xE2\x82\xAC") << Wait() << "sleep 10" << "sleep 1" << Wait();
    Lines head(fake.transcript.begin(), fake.transcript.begin() + static_cast<long>(s.lines.size()));
    EXPECT_EQ(head, s.lines);
}

TEST_F(SendKeysTest, PriorityLeftAloneUnlessNormal) {
    fake.priorities[70] = priority::High;
    SendKeys("{ENTER}");
    EXPECT_TRUE(fake.Lines({"priority"}).empty());
    fake.priorities.erase(70);  // cannot be opened
    SendKeys("{ENTER}");
    EXPECT_TRUE(fake.Lines({"priority"}).empty());
    EXPECT_EQ(Input().size(), 4u);
}

TEST_F(SendKeysTest, HungTargetCostsBoundedTimeAndPlaybackGoesOn) {
    fake.Win(edit).hung = true;
    SendKeys("ab");
    EXPECT_EQ(Input(), (Lines{Char("a"), Char("b")}));
    // The first wait is cut off after a second; a target that hangs is not
    // waited for again, or every step would cost that second.
    EXPECT_EQ(fake.Lines({"sync"}), (Lines{"sync " + Hex(edit) + " timed out"}));
    EXPECT_EQ(fake.Now(), 10u + 1 + kSyncTimeoutMs + 1);
    EXPECT_EQ(fake.debugLines[1], "   SendKeys: the target does not answer; no more waiting for it");
}

TEST_F(SendKeysTest, ReleaseModifiersLetsGoOfHeldKeys) {
    fake.keyState[0x10] = 0x80;
    fake.keyState[0x11] = 0x80;
    fake.keyState[0x12] = 0x80;
    ReleaseModifiers();
    EXPECT_EQ(fake.transcript,
              (Lines{"keyup 0x10 scan 0x2A", "keyup 0x10 scan 0x36 ext", "keyup 0x11 scan 0x1D",
                     "keyup 0x11 scan 0x1D ext", "keyup 0x12 scan 0x38", "keyup 0x12 scan 0x38 ext", "sleep 10"}));
}

TEST_F(SendKeysTest, ReleaseModifiersOnOlderSystemsClearsTheKeyState) {
    App.OsVersion.IsNT = false;
    fake.keyState[0x11] = 0x80;
    ReleaseModifiers();
    EXPECT_EQ(fake.Lines({"setkeyboardstate"}).size(), 1u);
    EXPECT_EQ(fake.keyState[0x10] | fake.keyState[0x11] | fake.keyState[0x12], 0);
}

TEST_F(SendKeysTest, PostTextTypesEveryCharacterWithoutPauses) {
    PostText(edit, "{ENTER}");
    EXPECT_EQ(fake.transcript, (Lines{Char("{"), Char("E"), Char("N"), Char("T"), Char("E"), Char("R"), Char("}")}));
}

TEST_F(SendKeysTest, DebugLinesOnlyInDebugMode) {
    App.DebugMode = false;
    SendKeys("a");
    EXPECT_TRUE(fake.debugLines.empty());
}

}  // namespace

// Long pauses end as soon as nothing more would reach the target, and when
// the program is asked to stop (a signal, the session's end, a click on the
// icon): the program never sits out a minute-long pause for nothing.
TEST_F(SendKeysTest, APauseEndsWhenItsTargetGoes) {
    fake.At(1000, [&] { fake.DestroyWindow(dlg); });
    SendKeys("{DELAY=60000}{DELAY=60000}x");
    EXPECT_LE(fake.Now(), 1000u + kPauseSliceMs);
    EXPECT_TRUE(Input().empty());
    EXPECT_EQ(fake.debugLines.back(), "   SendKeys stopped: the target window is gone");
}

TEST_F(SendKeysTest, APauseEndsWhenTheTargetLeavesTheFrontWhereKeysFollowTheFocus) {
    const WinHandle other = fake.AddWindow(Window("Other", "", 8, 80));
    fake.charactersFollowFocus = true;
    fake.At(1000, [&] { fake.SetForeground(other); });
    SendKeys("{DELAY=60000}x");
    EXPECT_LE(fake.Now(), 1000u + kPauseSliceMs);
    EXPECT_TRUE(Input().empty());
    EXPECT_EQ(fake.debugLines.back(), "   SendKeys stopped: the target window left the foreground");

    // Where characters go to the window they are posted to, the pause is
    // kept: they still reach it.
    fake.transcript.clear();
    fake.charactersFollowFocus = false;
    fake.SetForeground(dlg);
    fake.At(fake.Now() + 1000, [&] { fake.SetForeground(other); });
    const std::uint32_t start = fake.Now();
    SendKeys("{DELAY=5000}x");
    EXPECT_GE(fake.Now() - start, 5000u);
    EXPECT_EQ(Input(), (Lines{Char("x")}));
}

TEST_F(SendKeysTest, AStopRequestEndsAPauseAndTheMacro) {
    int served = 0;
    SetPauseService([&] {
        ++served;
        if (fake.Now() >= 500) RequestStop();
    });
    SendKeys("{DELAY=60000}x{DELAY=60000}y");
    EXPECT_EQ(served, 5) << "the host is served after every slice";
    EXPECT_TRUE(Input().empty());
    EXPECT_EQ(fake.debugLines.back(), "   SendKeys stopped: Replywick was asked to stop");
    EXPECT_TRUE(fake.Lines({"keydown"}).empty()) << "no modifier left down";
}

