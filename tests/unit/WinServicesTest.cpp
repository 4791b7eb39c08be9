// Services on windows: texts, usability, focus, foreground switching,
// synchronisation and the placement of our own forms.
#include <gtest/gtest.h>

#include "tests/unit/CoreFixture.h"

using namespace rw;

namespace {

class WinServicesTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        dlg = AddDialog("Dialog", {10, 20, 210, 120});
    }
    WinHandle Top(int thread, Rect r = {0, 0, 50, 50}) {
        FakeWindow w = Window("", "", static_cast<std::uint32_t>(thread));
        w.rect = r;
        return fake.AddWindow(w);
    }
};

TEST_F(WinServicesTest, TextAndClassAreCutAt259Characters) {
    fake.Win(dlg).title = std::string(300, 't');
    fake.Win(dlg).cls = std::string(260, 'c');
    EXPECT_EQ(GetWinText(dlg), std::string(259, 't'));
    EXPECT_EQ(GetWinClass(dlg), std::string(259, 'c'));
    EXPECT_EQ(GetWinText(0), "");
    EXPECT_EQ(GetWinClass(0xDEAD), "");
}

TEST_F(WinServicesTest, DialogText) {
    const struct {
        std::vector<std::pair<std::string, std::string>> children;  // class, text
        std::string want;
    } cases[] = {
        // A message box: the icon is skipped.
        {{{"Button", "OK"}, {"Static", ""}, {"Static", "Do you want to save?"}}, "Do you want to save?"},
        // After a short label comes the text, whatever its class.
        {{{"Static", "Abc"}, {"Edit", "the text box"}}, "the text box"},
        {{{"Static", "Abcd"}, {"Edit", "not this"}}, "Abcd"},
        {{{"Static", "Hi"}}, ""},  // a short label as the last child
        // The class name must be exact.
        {{{"STATIC", "Do you want to save?"}, {"static", "Do you want to save?"}}, ""},
    };
    for (const auto& c : cases) {
        const WinHandle d = AddDialog("Dialog");
        for (const auto& [cls, text] : c.children) fake.AddChild(d, cls, text);
        EXPECT_EQ(GetDialogText(d), c.want) << c.want;
    }
    EXPECT_EQ(GetDialogText(0), "");
}

TEST_F(WinServicesTest, UsableMeansVisibleExactlyOneAndNotEmpty) {
    const struct {
        int visible;
        Rect rect;
        bool want;
    } cases[] = {
        {1, {10, 20, 210, 120}, true}, {2, {10, 20, 210, 120}, false}, {1, {10, 20, 11, 21}, true},
        {1, {10, 20, 10, 120}, false}, {1, {10, 20, 210, 20}, false},
    };
    for (const auto& c : cases) {
        fake.Win(dlg).visible = c.visible;
        fake.Win(dlg).rect = c.rect;
        EXPECT_EQ(IsUsableWin(dlg), c.want) << c.visible << " " << c.rect.right << "x" << c.rect.bottom;
    }
    EXPECT_FALSE(IsUsableWin(0));
    EXPECT_FALSE(IsUsableWin(0xDEAD));
}

TEST_F(WinServicesTest, UsableForegroundWindow) {
    EXPECT_EQ(GetUsableFGWin(), 0u);
    fake.SetForeground(dlg);
    EXPECT_EQ(GetUsableFGWin(), dlg);
    fake.Win(dlg).visible = 0;
    EXPECT_EQ(GetUsableFGWin(), 0u);
}

TEST_F(WinServicesTest, FocusIsLookedUpInsideTheForegroundWindow) {
    edit = fake.AddChild(dlg, "Edit", "");
    fake.SetForeground(dlg);
    fake.SetFocusWindow(edit);
    EXPECT_EQ(GetFocusWin(), edit);
    EXPECT_EQ(fake.transcript, (Lines{"focus of " + Hex(dlg)}));
    // A focused control of another program is none of the foreground's.
    const WinHandle other = fake.AddChild(Top(9), "Edit", "");
    fake.SetFocusWindow(other);
    EXPECT_EQ(GetFocusWin(), dlg);
}

TEST_F(WinServicesTest, FocusWithoutAFocusedControl) {
    EXPECT_EQ(GetFocusWin(), 0u) << "no foreground window";
    fake.SetForeground(dlg);
    EXPECT_EQ(GetFocusWin(), dlg) << "the foreground window itself";
    fake.transcript.clear();
    fake.Win(dlg).rect = {0, 0, 0, 0};
    EXPECT_EQ(GetFocusWin(), 0u);
    EXPECT_TRUE(fake.transcript.empty());
}

TEST_F(WinServicesTest, ForceForeground) {
    const WinHandle fg = Top(9);
    const std::string set = "setfg " + Hex(dlg);
    const struct {
        WinHandle front;
        int refusals;
        bool ok;
        Lines transcript;
    } cases[] = {
        {dlg, 0, true, {}},  // already there
        {fg, 0, true, {set, "sleep 0"}},
        // Against the foreground lock: forced once the plain request failed.
        {fg, 1, true, {set, "sleep 0", "forcefg " + Hex(dlg), set}},
        {0, 2, false, {set, "sleep 0", "forcefg " + Hex(dlg), set}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.refusals);
        fake.transcript.clear();
        fake.SetForeground(c.front);
        fake.setForegroundFailures = c.refusals;
        EXPECT_EQ(ForceFGWin(dlg), c.ok);
        EXPECT_EQ(fake.transcript, c.transcript);
        EXPECT_EQ(fake.GetForegroundWindow(), c.ok ? dlg : c.front);
    }
}

TEST_F(WinServicesTest, SetForegroundDoesNothingForUnfitWindows) {
    fake.SetForeground(dlg);
    SetFGWin(dlg);
    SetFGWin(0);
    WinHandle hidden = Top(8);
    fake.Win(hidden).visible = 0;
    SetFGWin(hidden);
    WinHandle minimised = Top(8);
    fake.Win(minimised).iconic = 1;
    SetFGWin(minimised);
    EXPECT_TRUE(fake.transcript.empty());
    EXPECT_EQ(fake.GetForegroundWindow(), dlg);
}

TEST_F(WinServicesTest, SetForegroundWithAndWithoutLock) {
    WinHandle fg = Top(9);
    fake.SetForeground(fg);
    SetFGWin(dlg);
    EXPECT_EQ(fake.transcript, (Lines{"setfg " + Hex(dlg), "sleep 0", "sync " + Hex(dlg), "sleep 0"}));
    fake.transcript.clear();
    App.OsVersion.HasForegroundLock = false;
    fake.SetForeground(fg);
    SetFGWin(dlg);
    EXPECT_EQ(fake.transcript, (Lines{"setfg " + Hex(dlg), "sync " + Hex(dlg), "sleep 0"}));
}

TEST_F(WinServicesTest, SyncWinIsBoundedForAHungWindow) {
    fake.Win(dlg).hung = true;
    SyncWin(dlg);
    EXPECT_EQ(fake.Now(), kSyncTimeoutMs);
    EXPECT_EQ(fake.transcript, (Lines{"sync " + Hex(dlg) + " timed out"}));
    SyncWin(0);
    EXPECT_EQ(fake.transcript.size(), 1u);
}

TEST_F(WinServicesTest, BringToTopOnlyWhenCovered) {
    BringToTopIfCovered(dlg);
    EXPECT_TRUE(fake.transcript.empty()) << "nothing lies over the dialog";
    // A small window over the bottom-right corner only, then one over the
    // centre alone: (10+210)/2 = 110, (20+120)/2 = 70.
    const WinHandle corner = Top(8, {200, 110, 260, 160});
    BringToTopIfCovered(dlg);
    fake.DestroyWindow(corner);
    Top(8, {110, 70, 111, 71});
    BringToTopIfCovered(dlg);
    EXPECT_EQ(fake.transcript, Lines(2, "zorder " + Hex(dlg) + " after 0xFFFFFFFF"));
}

TEST_F(WinServicesTest, BringToTopWhenNoWindowIsFoundAtAPoint) {
    WinHandle w = Top(8, {-50, 20, 150, 120});
    BringToTopIfCovered(w);
    EXPECT_TRUE(fake.transcript.empty());
    // Off the screen (or hidden) the platform finds no window at all.
    fake.Win(w).visible = 0;
    BringToTopIfCovered(w);
    EXPECT_EQ(fake.transcript, (Lines{"zorder " + Hex(w) + " after 0xFFFFFFFF"}));
}

TEST_F(WinServicesTest, CenterFormRoundsHalvesToEven) {
    // Screen 1024 x 768 pixels at 15 twips: 15360 x 11520 twips.
    FormTwips f;
    f.width = 4321;   // 7680 - 2160.5 = 5519.5 -> 5520
    f.height = 4323;  // 5760 - 2161.5 = 3598.5 -> 3598
    CenterForm(f);
    EXPECT_EQ(f.left, 5520);
    EXPECT_EQ(f.top, 3598);
    f.width = 16000;  // wider than the screen: negative left
    CenterForm(f);
    EXPECT_EQ(f.left, -320);
}

}  // namespace
