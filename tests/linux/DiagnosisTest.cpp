// What "replywick --diagnose" concludes from what it found.
#include <gtest/gtest.h>

#include "backends/linux/Diagnosis.h"

using namespace rw::lnx;

namespace {

DiagnosisFacts AllThere() {
    DiagnosisFacts f;
    f.display = ":0";
    f.displayOpens = true;
    f.accessibilityBus = true;
    f.qtSwitchOn = true;
    f.trayHost = true;
    f.settingsPath = "/home/u/.config/replywick/replywick.ini";
    f.settings = DiagnosisFacts::Settings::Read;
    f.items = 3;
    f.settingsWritable = true;
    return f;
}

Verdict Of(const std::vector<DiagnosisLine>& lines, const std::string& fact) {
    for (const auto& l : lines)
        if (l.fact == fact) return l.verdict;
    ADD_FAILURE() << "no line for " << fact;
    return Verdict::Fails;
}

TEST(Diagnosis, EverythingThereIsStatusZeroWithOneLinePerFact) {
    const auto lines = Diagnose(AllThere());
    EXPECT_EQ(DiagnosisExitStatus(lines), 0);
    const std::string text = DiagnosisText(lines);
    EXPECT_NE(text.find("ok      window system: X11 on display :0\n"), std::string::npos) << text;
    EXPECT_NE(text.find("ok      settings file: /home/u/.config/replywick/replywick.ini: 3 items\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(lines.size(), 6u);
}

TEST(Diagnosis, WhatLimitsReplywickIsSaidButNeededIsOnlyTheDisplayAndTheSettings) {
    DiagnosisFacts f = AllThere();
    f.accessibilityBus = false;
    f.trayHost = false;
    auto lines = Diagnose(f);
    EXPECT_EQ(Of(lines, "accessibility bus"), Verdict::Limited);
    EXPECT_EQ(Of(lines, "Qt programs"), Verdict::Limited);
    EXPECT_EQ(Of(lines, "tray host"), Verdict::Limited);
    EXPECT_NE(DiagnosisText(lines).find("replywick --settings"), std::string::npos);
    EXPECT_EQ(DiagnosisExitStatus(lines), 0);

    f = AllThere();
    f.qtSwitchOn = false;
    lines = Diagnose(f);
    EXPECT_EQ(Of(lines, "Qt programs"), Verdict::Limited);
    EXPECT_NE(DiagnosisText(lines).find("toolkit-accessibility true"), std::string::npos);

    f = AllThere();
    f.display.clear();
    f.displayOpens = false;
    EXPECT_EQ(DiagnosisExitStatus(Diagnose(f)), 1);
    f.display = ":5";
    EXPECT_EQ(Of(Diagnose(f), "window system"), Verdict::Fails);
}

TEST(Diagnosis, TheSettingsFile) {
    using S = DiagnosisFacts::Settings;
    DiagnosisFacts f = AllThere();
    f.settings = S::Missing;
    EXPECT_EQ(DiagnosisExitStatus(Diagnose(f)), 0) << "made at the first save";
    f.settingsWritable = false;
    EXPECT_EQ(DiagnosisExitStatus(Diagnose(f)), 1) << "nowhere to keep the items";
    for (S s : {S::Unreadable, S::NotTrusted, S::NotRegular, S::TooLarge}) {
        f = AllThere();
        f.settings = s;
        EXPECT_EQ(DiagnosisExitStatus(Diagnose(f)), 1);
    }
    f = AllThere();
    f.settingsWritable = false;
    const auto lines = Diagnose(f);
    EXPECT_EQ(DiagnosisExitStatus(lines), 0) << "the items are used, changes are not kept";
    EXPECT_NE(DiagnosisText(lines).find("limited settings file: read-only"), std::string::npos);
    f = AllThere();
    f.items = 1;
    EXPECT_NE(DiagnosisText(Diagnose(f)).find(": 1 item\n"), std::string::npos);
}

}  // namespace

TEST(Diagnosis, OnWaylandTheWaysTakenAndWhatTheKeysCanDo) {
    DiagnosisFacts f = AllThere();
    f.display.clear();
    f.displayOpens = false;
    f.waylandSession = true;
    f.waylandPicked = true;
    f.waylandOnly = true;
    f.waylandConnects = true;
    f.windowsWay = "wlr";
    f.keysWay = "virtual-keyboard";
    auto lines = Diagnose(f);
    EXPECT_EQ(DiagnosisExitStatus(lines), 0);
    EXPECT_EQ(Of(lines, "keys"), Verdict::Ok);
    EXPECT_NE(DiagnosisText(lines).find("window system: Wayland: the windows from the compositor's window list"),
              std::string::npos);

    // Characters and Enter only: Replywick works, with less.
    f.windowsWay = f.keysWay = "accessible";
    lines = Diagnose(f);
    EXPECT_EQ(Of(lines, "keys"), Verdict::Limited);
    EXPECT_EQ(DiagnosisExitStatus(lines), 0);

    // The portal asks the user: said, as the user must act on it.
    f.keysWay = "portal";
    EXPECT_NE(DiagnosisText(Diagnose(f)).find("Remote desktop"), std::string::npos);

    // No keys at all: it cannot do its work.
    f.keysWay.clear();
    f.waylandWhy = "KWin grants its window list and keys only to programs that a desktop file names";
    lines = Diagnose(f);
    EXPECT_EQ(Of(lines, "keys"), Verdict::Fails);
    EXPECT_NE(DiagnosisText(lines).find("desktop file"), std::string::npos);

    // Nothing tells the windows: with an X display the program falls back
    // to XWayland, and says what it lacks.
    f.windowsWay.clear();
    f.waylandWhy = "the compositor does not list its windows";
    f.waylandOnly = false;
    f.display = ":1";
    f.displayOpens = true;
    lines = Diagnose(f);
    EXPECT_EQ(Of(lines, "window system"), Verdict::Limited);
    EXPECT_NE(DiagnosisText(lines).find("X11 on display :1"), std::string::npos);
    EXPECT_NE(DiagnosisText(lines).find("does not list its windows"), std::string::npos);
    // Without one, nothing works.
    f.display.clear();
    f.displayOpens = false;
    EXPECT_EQ(DiagnosisExitStatus(Diagnose(f)), 1);
}
