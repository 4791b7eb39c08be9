// Which item matches a window: the comparison rules and the search.
#include <gtest/gtest.h>

#include "app/Matcher.h"
#include "tests/unit/CoreFixture.h"

using namespace rw;

namespace {

TEST(TitleMatches, ComparisonRules) {
    const struct {
        const char *pattern, *text;
        std::int32_t type;
        bool want;
    } cases[] = {
        // Exact: case-sensitive equality.
        {"Save", "Save", Exact, true}, {"Save", "save", Exact, false}, {"Save", "Save As", Exact, false},
        {"", "", Exact, true}, {"", "Save", Exact, false},
        // From the left: the shorter one against the start of the longer.
        {"Save", "Save", FromLeft, true}, {"Save", "Save As", FromLeft, true}, {"Save", "Sav", FromLeft, true},
        {"Save", "save as", FromLeft, false}, {"Save", "A Save", FromLeft, false}, {"", "Save", FromLeft, false},
        {"Save", "", FromLeft, false}, {"", "", FromLeft, true},
        // From the right: the ends.
        {"Notepad", "Untitled - Notepad", FromRight, true}, {"- Notepad", "Notepad", FromRight, true},
        {"Notepad", "Notepad - Untitled", FromRight, false}, {"", "Notepad", FromRight, false},
        {"", "", FromRight, true},
        // Anywhere: containment either way.
        {"pad", "Untitled - Notepad - x", Anywhere, true}, {"Untitled - Notepad", "Note", Anywhere, true},
        {"PAD", "Notepad", Anywhere, false}, {"", "Notepad", Anywhere, true}, {"Notepad", "", Anywhere, true},
        {"", "", Anywhere, false},
        // Either end, as the dialog text is compared.
        {"Do you want", "Do you want to save the changes?", EitherEnd, true},
        {"the changes?", "Do you want to save the changes?", EitherEnd, true},
        {"want to save", "Do you want to save the changes?", EitherEnd, false},
        // Unknown types match nothing.
        {"Save", "Save", 4, false}, {"Save", "Save", -1, false}, {"Save", "Save", 98, false},
        {"Save", "Save", 100, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TitleMatches(c.pattern, c.text, c.type), c.want)
            << "'" << c.pattern << "' '" << c.text << "' type " << c.type;
    }
    // Texts of the same length.
    EXPECT_FALSE(EitherStartsWith("abc", "abd"));
    EXPECT_FALSE(EitherEndsWith("abc", "xbc"));
    EXPECT_TRUE(EitherEndsWith("bc", "abc"));
    EXPECT_TRUE(EitherStartsWith("abc", "ab"));
}

// The "Save changes" message box of Notepad, 640 x 480.
class MatcherTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        dlg = AddDialog("Save changes", {100, 100, 740, 580});
        fake.AddChild(dlg, "Static", "");  // the icon
        fake.AddChild(dlg, "Static", "Do you want to save the changes?");
        fake.AddChild(dlg, "Button", "Yes", 6);
        fake.modulePaths[70] = "C:\\WINDOWS\\NOTEPAD.EXE";
    }

    static ItemRec Item(const std::string& desc, const std::string& title, std::int32_t type = Exact,
                        const std::string& cls = "#32770") {
        ItemRec r = Named(desc, title);
        r.TitleTestType = type;
        r.WinClass = cls;
        return r;
    }
    static void Add(const ItemRec& r) { gItems.AddItemAt(gItems.Count(), r); }
    bool Matches(const ItemRec& r) {
        gItems.Clear();
        Add(r);
        return FindMatchingItem(dlg);
    }
    Lines Compared() const {
        Lines out;
        for (const auto& l : fake.debugLines)
            if (l.rfind("Compare with", 0) == 0) out.push_back(l);
        return out;
    }
};

TEST_F(MatcherTest, DebugLinesOfOneSearch) {
    Add(Item("a", "Save", FromLeft, "Other"));
    Add(Item("b", "changes", Exact));
    Add(Item("c", "Save changes", Exact));
    std::string title;
    ASSERT_TRUE(FindMatchingItem(dlg, title));
    EXPECT_EQ(CurItem.Desc, "c");
    EXPECT_EQ(title, "Save changes") << "the title compared with is reported";
    // The line shows the either-end comparison, whatever the item's type.
    EXPECT_EQ(fake.debugLines, (Lines{"NewFG: 'Save changes'", "Compare with 'Save'   -> True",
                                      "Compare with 'changes'   -> True", "Compare with 'Save changes'   -> True"}));
    EXPECT_TRUE(fake.transcript.empty()) << "matching sends nothing";
}

TEST_F(MatcherTest, FirstMatchWinsAndLaterItemsAreNeverLoaded) {
    Add(Item("first", "Save", FromLeft));
    Add(Item("second", "Save changes", Exact));
    ASSERT_TRUE(FindMatchingItem(dlg));
    EXPECT_EQ(CurItem.Desc, "first");
    EXPECT_EQ(Compared(), (Lines{"Compare with 'Save'   -> True"}));
}

TEST_F(MatcherTest, TheDialogTextIsReadOnlyWhenAnItemAsksForIt) {
    // Reading it may wait for the dialog's program on the accessibility bus.
    Add(Item("no text", "Save changes", Exact));
    ASSERT_TRUE(FindMatchingItem(dlg));
    EXPECT_EQ(fake.dialogTextReads, 0);
    ItemRec other = Item("other title", "Open");
    other.Text = "Do you";
    ItemRec text = Item("text", "Save changes");
    text.Text = "Do you";
    Add(other);
    Add(text);
    gItems.RemoveItem(0);
    ASSERT_TRUE(FindMatchingItem(dlg));
    EXPECT_EQ(CurItem.Desc, "text");
    EXPECT_EQ(fake.dialogTextReads, 1) << "once, for the item whose title and class fit";
}

TEST_F(MatcherTest, NoMatchLeavesTheLastItemInCurItem) {
    Add(Item("x", "Open", Exact));
    Add(Item("y", "Print", Exact));
    EXPECT_FALSE(FindMatchingItem(dlg));
    EXPECT_EQ(CurItem.Desc, "y");
    EXPECT_EQ(Compared().size(), 2u);
}

TEST_F(MatcherTest, TitleClassAndTextRules) {
    const struct {
        const char* title;
        std::int32_t type;
        const char *cls, *text;
        bool want;
    } cases[] = {
        {"Save changes", Exact, "#32770", "", true}, {"Save", Exact, "#32770", "", false},
        {"Save", FromLeft, "#32770", "", true},       {"changes", FromLeft, "#32770", "", false},
        {"changes", FromRight, "#32770", "", true},   {"Save", FromRight, "#32770", "", false},
        {"e ch", Anywhere, "#32770", "", true},       {"", Anywhere, "#32770", "", true},
        {"", Exact, "#32770", "", false},             {"Save changes", 4, "#32770", "", false},
        // The class must be equal; an empty class matches nothing.
        {"Save changes", Exact, "", "", false},       {"Save changes", Exact, "#32771", "", false},
        {"Save changes", Exact, "#32770 ", "", false},
        // The text is either end of the dialog's message.
        {"Save changes", Exact, "#32770", "Do you want", true},
        {"Save changes", Exact, "#32770", "the changes?", true},
        {"Save changes", Exact, "#32770", "want to save", false},
    };
    for (const auto& c : cases) {
        ItemRec r = Item("", c.title, c.type, c.cls);
        r.Text = c.text;
        EXPECT_EQ(Matches(r), c.want) << "'" << c.title << "' type " << c.type << " class '" << c.cls << "' text '"
                                      << c.text << "'";
    }
}

TEST_F(MatcherTest, MultiLineTextMatchesAMessageWhoseLinesEndInLineFeeds) {
    // Items keep their lines as CR LF; many programs write "\n" alone.
    fake.Win(fake.GetNextSibling(fake.GetFirstChild(dlg))).title = "Line one\nLine two\nLine three";
    ItemRec r = Item("", "Save changes");
    r.Text = "Line one\nLine two";  // as captured, stored with CR LF
    EXPECT_TRUE(Matches(r));
    r.Text = "Line two\r\nLine three";
    EXPECT_TRUE(Matches(r));
}

TEST_F(MatcherTest, LongMessageIsComparedByItsFirst259Characters) {
    fake.DestroyWindow(fake.GetFirstChild(dlg));
    WinHandle msgCtl = fake.GetFirstChild(dlg);
    fake.Win(msgCtl).title = "Start " + std::string(300, '.') + " End";
    ItemRec r = Item("", "Save changes");
    r.Text = "Start ...";
    EXPECT_TRUE(Matches(r));
    r.Text = "... End";
    EXPECT_FALSE(Matches(r));
}

TEST_F(MatcherTest, SizeRuleNeedsBothNumbersAndALowerCaseX) {
    ItemRec r = Item("", "Save changes");
    for (const char* size : {"640x480", " 640 x 480 ", "640x480.4"}) {
        r.WinSize = size;
        fake.rectReads = 0;
        EXPECT_TRUE(Matches(r)) << size;
        EXPECT_EQ(fake.rectReads, 1) << size;
    }
    for (const char* size : {"640x479", "641x480"}) {
        r.WinSize = size;
        EXPECT_FALSE(Matches(r)) << size;
    }
    // No size test at all: the rectangle is not even read.
    for (const char* size : {"640", "0x480", "640X480", "", "abc", "x480"}) {
        r.WinSize = size;
        fake.rectReads = 0;
        EXPECT_TRUE(Matches(r)) << size;
        EXPECT_EQ(fake.rectReads, 0) << size;
    }
    fake.Win(dlg).rect = {0, 0, 300, 200};
    r.WinSize = "640X480";
    EXPECT_TRUE(Matches(r));
}

TEST_F(MatcherTest, EachItemsSizeComesFromItsOwnField) {
    fake.Win(dlg).rect = {0, 0, 300, 200};
    ItemRec a = Item("a", "Save changes");
    a.WinSize = "640x480";
    ItemRec b = Item("b", "Save changes");
    b.WinSize = "300";
    Add(a);
    Add(b);
    ASSERT_TRUE(FindMatchingItem(dlg));
    EXPECT_EQ(CurItem.Desc, "b");
    EXPECT_EQ(fake.rectReads, 1);
}

TEST_F(MatcherTest, ModuleRule) {
    ItemRec r = Item("", "Save changes");
    for (const char* m : {"", "*", "c:\\windows\\notepad.exe", "C:\\WINDOWS\\NOTEPAD.EXE"}) {
        r.Modul = m;
        EXPECT_TRUE(Matches(r)) << m;
    }
    for (const char* m : {"notepad.exe", "C:\\WINDOWS\\NOTEPAD.EX", "**"}) {
        r.Modul = m;
        EXPECT_FALSE(Matches(r)) << m;
    }
    // Letters beyond ASCII by the platform's rules (here Windows-1252).
    fake.modulePaths[70] = "C:\\B\xFCro\\a.exe";
    r.Modul = "C:\\B\xDCRO\\A.EXE";
    EXPECT_TRUE(Matches(r));
    fake.modulePaths.erase(70);  // owner unknown: only "" and "*" pass
    r.Modul = "";
    EXPECT_TRUE(Matches(r));
    r.Modul = "*";
    EXPECT_TRUE(Matches(r));
    r.Modul = "C:\\WINDOWS\\NOTEPAD.EXE";
    EXPECT_FALSE(Matches(r));
}

TEST_F(MatcherTest, RectangleAndModuleAreFetchedLazilyPerItem) {
    ItemRec wrongTitle = Item("1", "Open");
    wrongTitle.WinSize = "640x480";
    ItemRec wrongSize = Item("2", "Save changes");
    wrongSize.WinSize = "10x10";
    ItemRec wrongModule = Item("3", "Save changes");
    wrongModule.WinSize = "640x480";
    wrongModule.Modul = "C:\\other.exe";
    ItemRec wrongText = Item("4", "Save changes");
    wrongText.Text = "nothing like it";
    ItemRec good = Item("5", "Save changes");
    good.WinSize = "640x480";
    good.Modul = "c:\\windows\\notepad.exe";
    for (const auto& r : {wrongTitle, wrongSize, wrongModule, wrongText, good}) Add(r);
    ASSERT_TRUE(FindMatchingItem(dlg));
    EXPECT_EQ(CurItem.Desc, "5");
    EXPECT_EQ(fake.rectReads, 3);      // items 2, 3 and 5
    EXPECT_EQ(fake.moduleLookups, 2);  // items 3 and 5
    // An item that names no module (or "*") looks none up.
    fake.moduleLookups = 0;
    gItems.Clear();
    Add(Item("6", "Save changes"));
    ASSERT_TRUE(FindMatchingItem(dlg));
    EXPECT_EQ(fake.moduleLookups, 0);
}

TEST_F(MatcherTest, TitleThatAppearsAfter50Ms) {
    fake.Win(dlg).title = "";
    fake.At(50, [&] { fake.Win(dlg).title = "Save changes"; });
    Add(Item("", "Save changes"));
    ASSERT_TRUE(FindMatchingItem(dlg));
    EXPECT_EQ(fake.Now(), 50u);
    Lines expected(5, "NewFG: no text  class=#32770");
    expected.push_back("NewFG: 'Save changes'");
    expected.push_back("Compare with 'Save changes'   -> True");
    EXPECT_EQ(fake.debugLines, expected);
    EXPECT_EQ(fake.transcript, Lines(5, "sleep 10"));
}

TEST_F(MatcherTest, TitleThatNeverAppearsIsWaitedFor200Ms) {
    fake.Win(dlg).title = "";
    Add(Item("", "x", Anywhere));
    EXPECT_TRUE(FindMatchingItem(dlg)) << "an empty title matches a non-empty Anywhere pattern";
    EXPECT_EQ(fake.Now(), 200u);
    EXPECT_EQ(fake.transcript.size(), 20u);
}

TEST_F(MatcherTest, VanishedWindowHasEmptyFacts) {
    fake.DestroyWindow(dlg);
    Add(Item("", "Save changes"));
    EXPECT_FALSE(FindMatchingItem(dlg));
    EXPECT_EQ(fake.Now(), 200u);
    gItems.Clear();
    ItemRec r = Item("any", "x", Anywhere, "");
    Add(r);
    EXPECT_TRUE(FindMatchingItem(dlg)) << "an item may match empty facts; the caller then plays nothing";
}

TEST_F(MatcherTest, NoDebugLinesWithoutDebugMode) {
    App.DebugMode = false;
    fake.Win(dlg).title = "";
    Add(Item("", "Save", FromLeft));
    FindMatchingItem(dlg);
    EXPECT_TRUE(fake.debugLines.empty());
}

}  // namespace
