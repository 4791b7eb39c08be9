// The bus-free part of the accessibility bridge: which accessible name
// stands for which dialog button, which node holds a dialog's text, and
// which processes are not waited for again.
#include <gtest/gtest.h>

#include "backends/atspi/AccessibilityBridge.h"
#include "backends/atspi/AtspiWire.h"

namespace {

using rw::atspi::AccNode;
using rw::atspi::ButtonNameMatches;
using rw::atspi::CutText259;
using rw::atspi::DialogTextFromNodes;
using rw::atspi::StripMnemonics;
using rw::atspi::UnpublishedProcesses;

TEST(ButtonNames, EveryIdWithItsEnglishAndGermanNames) {
    const struct {
        int id;
        const char* names[2];
    } table[] = {{1, {"OK", "OK"}},          {2, {"Cancel", "Abbrechen"}},
                 {4, {"Retry", "Wiederholen"}}, {5, {"Ignore", "Ignorieren"}},
                 {6, {"Yes", "Ja"}},         {7, {"No", "Nein"}}};
    const int ids[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, -1};
    for (const auto& row : table)
        for (const char* name : row.names)
            for (int id : ids)
                EXPECT_EQ(ButtonNameMatches(id, name), id == row.id) << name << " id " << id;
}

TEST(ButtonNames, MnemonicsAndCaseDoNotMatter) {
    EXPECT_TRUE(ButtonNameMatches(6, "_Yes"));
    EXPECT_TRUE(ButtonNameMatches(6, "&Ja"));
    EXPECT_TRUE(ButtonNameMatches(2, "Abbre&chen"));
    EXPECT_TRUE(ButtonNameMatches(7, "NO"));
    EXPECT_TRUE(ButtonNameMatches(1, "ok"));
    EXPECT_TRUE(ButtonNameMatches(4, "_retry"));
}

TEST(ButtonNames, OtherTextsDoNotMatch) {
    EXPECT_FALSE(ButtonNameMatches(1, "OK "));
    EXPECT_FALSE(ButtonNameMatches(1, "Okay"));
    EXPECT_FALSE(ButtonNameMatches(6, "Yes, always"));
    EXPECT_FALSE(ButtonNameMatches(7, ""));
    EXPECT_FALSE(ButtonNameMatches(7, "N_o_t"));
    EXPECT_FALSE(ButtonNameMatches(2, "Cancel&&"));  // a doubled marker is a real "&"
}

TEST(ButtonNames, StripMnemonics) {
    EXPECT_EQ(StripMnemonics("_Save"), "Save");
    EXPECT_EQ(StripMnemonics("Save && Quit"), "Save & Quit");
    EXPECT_EQ(StripMnemonics("snake__case"), "snake_case");
    EXPECT_EQ(StripMnemonics("trailing_"), "trailing");
    EXPECT_EQ(StripMnemonics(""), "");
}

TEST(DialogText, CutAt259BytesNeverInsideACharacter) {
    EXPECT_EQ(CutText259(std::string(259, 'a')), std::string(259, 'a'));
    EXPECT_EQ(CutText259(std::string(300, 'a')), std::string(259, 'a'));
    // "€" (3 bytes) starting at byte 258 does not fit whole: dropped.
    std::string s = std::string(258, 'a') + "\xe2\x82\xac" + "tail";
    EXPECT_EQ(CutText259(s), std::string(258, 'a'));
    // "ä" (2 bytes) at 257..258 fits exactly.
    s = std::string(257, 'a') + "\xc3\xa4" + "tail";
    EXPECT_EQ(CutText259(s), std::string(257, 'a') + "\xc3\xa4");
}

std::vector<AccNode> Nodes(std::initializer_list<AccNode> l) { return l; }

TEST(DialogText, FirstLabelIsTheText) {
    // A GTK message dialog: fillers, the icon, the message, the buttons.
    auto nodes = Nodes({{"filler", ""},
                        {"filler", ""},
                        {"icon", "Question"},
                        {"label", "Do you want to save?"},
                        {"label", "Second label"},
                        {"push button", "No"},
                        {"push button", "Yes"}});
    EXPECT_EQ(DialogTextFromNodes(nodes), "Do you want to save?");
}

TEST(DialogText, ShortFirstLabelYieldsTheNodeAfterIt) {
    EXPECT_EQ(DialogTextFromNodes(Nodes({{"label", "Id:"}, {"text", "4711 and more"}})),
              "4711 and more");
    // Whatever role the next node has, also an empty one.
    EXPECT_EQ(DialogTextFromNodes(Nodes({{"label", ""}, {"filler", ""}, {"label", "Message"}})), "");
    // Exactly 4 bytes is long enough.
    EXPECT_EQ(DialogTextFromNodes(Nodes({{"label", "Four"}, {"label", "next"}})), "Four");
    // Length is counted in bytes, as the window text of a control is.
    EXPECT_EQ(DialogTextFromNodes(Nodes({{"label", "\xc3\xa4\xc3\xb6"}, {"label", "next"}})),
              "\xc3\xa4\xc3\xb6");
    // A short label as the last node: nothing after it.
    EXPECT_EQ(DialogTextFromNodes(Nodes({{"push button", "OK"}, {"label", "ab"}})), "");
}

TEST(DialogText, NoLabelNoText) {
    EXPECT_EQ(DialogTextFromNodes({}), "");
    EXPECT_EQ(DialogTextFromNodes(Nodes({{"push button", "OK"}, {"text", "entry text"}})), "");
    // Role names are compared exactly, as class names are.
    EXPECT_EQ(DialogTextFromNodes(Nodes({{"Label", "Not a label role"}})), "");
}

TEST(DialogText, LongTextIsCut) {
    const std::string msg = "Start " + std::string(300, 'x');
    EXPECT_EQ(DialogTextFromNodes(Nodes({{"label", msg}})), msg.substr(0, 259));
}

TEST(DialogText, TheTitleBarDrawnInsideTheWindowIsPassedOver) {
    // GTK 3 on Wayland: its own title bar (the title, an empty subtitle, the
    // close button) comes before the message.
    auto nodes = Nodes({{"panel", ""},
                        {"filler", ""},
                        {"push button", "Close"},
                        {"filler", ""},
                        {"label", "RW Question"},
                        {"label", ""},
                        {"filler", ""},
                        {"label", "Remove the old backups?"},
                        {"push button", "No"}});
    EXPECT_EQ(DialogTextFromNodes(nodes, "RW Question"), "Remove the old backups?");
    // Without the title, the first label is taken, as before.
    EXPECT_EQ(DialogTextFromNodes(nodes), "RW Question");
    // Only an empty label right after the title is the subtitle: a short
    // one there is the short label of the rule.
    EXPECT_EQ(DialogTextFromNodes(Nodes({{"label", "T"}, {"label", "Id:"}, {"text", "4711"}}), "T"), "4711");
    // A window whose only label is its title has no text.
    EXPECT_EQ(DialogTextFromNodes(Nodes({{"label", "Title"}, {"push button", "OK"}}), "Title"), "");
}

TEST(DialogText, TheReaderStopsWhereTheTextIs) {
    rw::atspi::DialogTextReader reader("Title");
    EXPECT_FALSE(reader.Add({"label", "Title"}));
    EXPECT_FALSE(reader.Add({"label", ""}));
    EXPECT_FALSE(reader.Add({"label", "Id:"}));
    EXPECT_TRUE(reader.Add({"text", "4711"}));
    EXPECT_TRUE(reader.Add({"label", "later"}));
    EXPECT_EQ(reader.Text(), "4711");
}

// A process that never registered is known by its id and its start time:
// a later process with the same id is waited for again.
TEST(Unpublished, KnownByIdAndStartTime) {
    UnpublishedProcesses u;
    EXPECT_FALSE(u.Contains(100, 5));
    u.Add(100, 5);
    EXPECT_TRUE(u.Contains(100, 5));
    EXPECT_FALSE(u.Contains(100, 6));
    EXPECT_FALSE(u.Contains(101, 5));
    // The later process replaces the earlier one of the same id.
    u.Add(100, 6);
    EXPECT_TRUE(u.Contains(100, 6));
    EXPECT_FALSE(u.Contains(100, 5));
    EXPECT_EQ(u.Size(), 1u);
    // One that registers after all is forgotten.
    u.Forget(100);
    EXPECT_FALSE(u.Contains(100, 6));
    EXPECT_EQ(u.Size(), 0u);
}

TEST(Unpublished, BoundedOldestGoesFirst) {
    UnpublishedProcesses u;
    for (std::uint32_t pid = 1; pid <= 10 * UnpublishedProcesses::kMax; ++pid) u.Add(pid, pid * 7);
    EXPECT_EQ(u.Size(), UnpublishedProcesses::kMax);
    const std::uint32_t last = 10 * UnpublishedProcesses::kMax;
    EXPECT_TRUE(u.Contains(last, last * 7));
    EXPECT_TRUE(u.Contains(last - UnpublishedProcesses::kMax + 1, (last - UnpublishedProcesses::kMax + 1) * 7));
    EXPECT_FALSE(u.Contains(last - UnpublishedProcesses::kMax, (last - UnpublishedProcesses::kMax) * 7));
    EXPECT_FALSE(u.Contains(1, 7));
}

}  // namespace

namespace {

TEST(FrameTitles, QtWindowTitlesCarryTheProgramsDisplayName) {
    using rw::atspi::TitleMatches;
    // The window system's title, then the accessible frame's name.
    EXPECT_TRUE(TitleMatches("RW Question", "RW Question"));
    EXPECT_TRUE(TitleMatches("RW Question", "RW Question \xE2\x80\x94 KDialog"));
    EXPECT_FALSE(TitleMatches("RW Question", "RW Question - KDialog"));
    EXPECT_FALSE(TitleMatches("RW Question", "RW Question \xE2\x80\x94 "));
    EXPECT_FALSE(TitleMatches("RW", "RW Question \xE2\x80\x94 KDialog"));
    EXPECT_FALSE(TitleMatches("", " \xE2\x80\x94 KDialog"));
    EXPECT_FALSE(TitleMatches("RW Question \xE2\x80\x94 KDialog", "RW Question"));
}

}  // namespace
