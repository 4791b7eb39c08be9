// The fake window system itself: tests elsewhere rely on its clock and its
// transcript, so these must hold.
#include <gtest/gtest.h>

#include "backends/fake/FakePlatform.h"

using namespace rw;

TEST(FakePlatform, ScheduledChangesLandDuringSleep) {
    FakePlatform fake;
    WinHandle a = fake.AddWindow({});
    WinHandle b = fake.AddWindow({});
    fake.SetForeground(a);
    fake.At(25, [&] { fake.SetForeground(b); });
    fake.Sleep(20);
    EXPECT_EQ(fake.GetForegroundWindow(), a);
    fake.Sleep(10);
    EXPECT_EQ(fake.GetForegroundWindow(), b);
    EXPECT_EQ(fake.Now(), 30u);
}

TEST(FakePlatform, ChildrenAndTranscript) {
    FakePlatform fake;
    WinHandle dlg = fake.AddWindow({});
    WinHandle icon = fake.AddChild(dlg, "Static", "");
    WinHandle ok = fake.AddChild(dlg, "Button", "OK", 1);
    EXPECT_EQ(fake.GetFirstChild(dlg), icon);
    EXPECT_EQ(fake.GetNextSibling(icon), ok);
    EXPECT_EQ(fake.GetNextSibling(ok), 0u);
    EXPECT_EQ(fake.GetDlgItem(dlg, 1), ok);
    fake.PostChar(dlg, "a");
    fake.PostChar(dlg, "\n");
    fake.KeyEvent(0x10, 0x2A, keyflag::KeyUp | keyflag::Extended);
    EXPECT_EQ(fake.transcript, (std::vector<std::string>{"char 'a' -> " + Hex(dlg),
                                                          "char 0x0A -> " + Hex(dlg),
                                                          "keyup 0x10 scan 0x2A ext"}));
}

TEST(FakePlatform, LockKeysToggleOnPress) {
    FakePlatform fake;
    EXPECT_EQ(fake.GetKeyState(0x90) & 1, 0);
    fake.KeyEvent(0x90, 0x45, keyflag::Extended);
    fake.KeyEvent(0x90, 0x45, keyflag::Extended | keyflag::KeyUp);
    EXPECT_EQ(fake.GetKeyState(0x90) & 1, 1);
    EXPECT_GE(fake.GetKeyState(0x90), 0);
}
