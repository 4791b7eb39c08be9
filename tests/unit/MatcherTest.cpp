// Which item matches a window: the comparison rules and the search.
#include <gtest/gtest.h>

#include "actions/WinServices.h"
#include "app/AppValues.h"
#include "app/Matcher.h"
#include "backends/fake/FakePlatform.h"
#include "items/Items.h"

using namespace rw;

namespace {

using Lines = std::vector<std::string>;

TEST(TitleMatches, ExactIsCaseSensitiveEquality) {
    EXPECT_TRUE(TitleMatches("Save", "Save", Exact));
    EXPECT_FALSE(TitleMatches("Save", "save", Exact));
    EXPECT_FALSE(TitleMatches("Save", "Save As", Exact));
    EXPECT_TRUE(TitleMatches("", "", Exact));
    EXPECT_FALSE(TitleMatches("", "Save", Exact));
}

TEST(TitleMatches, FromLeftComparesTheShorterWithTheStartOfTheLonger) {
    for (const char* t : {"Save", "Save As", "Sav"}) EXPECT_TRUE(TitleMatches("Save", t, FromLeft)) << t;
    EXPECT_FALSE(TitleMatches("Save", "save as", FromLeft));
    EXPECT_FALSE(TitleMatches("Save", "A Save", FromLeft));
    EXPECT_FALSE(TitleMatches("", "Save", FromLeft));
    EXPECT_FALSE(TitleMatches("Save", "", FromLeft));
    EXPECT_TRUE(TitleMatches("", "", FromLeft));
}

TEST(TitleMatches, FromRightComparesTheEnds) {
    EXPECT_TRUE(TitleMatches("Notepad", "Untitled - Notepad", FromRight));
    EXPECT_TRUE(TitleMatches("- Notepad", "Notepad", FromRight));
    EXPECT_FALSE(TitleMatches("Notepad", "Notepad - Untitled", FromRight));
    EXPECT_FALSE(TitleMatches("", "Notepad", FromRight));
    EXPECT_TRUE(TitleMatches("", "", FromRight));
}

TEST(TitleMatches, AnywhereContainmentEitherWay) {
    EXPECT_TRUE(TitleMatches("pad", "Untitled - Notepad - x", Anywhere));
    EXPECT_TRUE(TitleMatches("Untitled - Notepad", "Note", Anywhere));
    EXPECT_FALSE(TitleMatches("PAD", "Notepad", Anywhere));
    EXPECT_TRUE(TitleMatches("", "Notepad", Anywhere));
    EXPECT_TRUE(TitleMatches("Notepad", "", Anywhere));
    EXPECT_FALSE(TitleMatches("", "", Anywhere));
}

TEST(TitleMatches, EitherEndAndUnknownTypes) {
    EXPECT_TRUE(TitleMatches("Do you want", "Do you want to save the changes?", EitherEnd));
    EXPECT_TRUE(TitleMatches("the changes?", "Do you want to save the changes?", EitherEnd));
    EXPECT_FALSE(TitleMatches("want to save", "Do you want to save the changes?", EitherEnd));
    for (std::int32_t t : {4, -1, 98, 100}) EXPECT_FALSE(TitleMatches("Save", "Save", t)) << t;
}

TEST(TitleMatches, EitherStartsAndEndsWithSameLengthTexts) {
    EXPECT_FALSE(EitherStartsWith("abc", "abd"));
    EXPECT_FALSE(EitherEndsWith("abc", "xbc"));
    EXPECT_TRUE(EitherEndsWith("bc", "abc"));
    EXPECT_TRUE(EitherStartsWith("abc", "ab"));
}

class MatcherTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetPlatform(&fake);
        App = AppValues{};
        App.DebugMode = true;
        gItems.Clear();
        CurItem = ItemRec{};
        FakeWindow d;
        d.title = "Save changes";
        d.cls = "#32770";
        d.rect = {100, 100, 740, 580};  // 640 x 480
        d.thread = 7;
        d.pid = 70;
        dlg = fake.AddWindow(d);
        fake.AddChild(dlg, "Static", "");  // the icon
        fake.AddChild(dlg, "Static", "Do you want to save the changes?");
        fake.AddChild(dlg, "Button", "Yes", 6);
        fake.modulePaths[70] = "C:\\WINDOWS\\NOTEPAD.EXE";
    }
    void TearDown() override {
        gItems.Clear();
        SetPlatform(nullptr);
    }

    static ItemRec Item(const std::string& desc, const std::string& title, std::int32_t type = Exact,
                        const std::string& cls = "#32770") {
        ItemRec r;
        r.Desc = desc;
        r.Title = title;
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

    FakePlatform fake;
    WinHandle dlg = 0;
};

TEST_F(MatcherTest, DebugLinesOfOneSearch) {
    Add(Item("a", "Save", FromLeft, "Other"));
    Add(Item("b", "changes", Exact));
    Add(Item("c", "Save changes", Exact));
    ASSERT_TRUE(FindMatchingItem(dlg));
    EXPECT_EQ(CurItem.Desc, "c");
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

TEST_F(MatcherTest, NoMatchLeavesTheLastItemInCurItem) {
    Add(Item("x", "Open", Exact));
    Add(Item("y", "Print", Exact));
    EXPECT_FALSE(FindMatchingItem(dlg));
    EXPECT_EQ(CurItem.Desc, "y");
    EXPECT_EQ(Compared().size(), 2u);
}

TEST_F(MatcherTest, EachTestTypeAgainstTheTitle) {
    EXPECT_TRUE(Matches(Item("", "Save changes", Exact)));
    EXPECT_FALSE(Matches(Item("", "Save", Exact)));
    EXPECT_TRUE(Matches(Item("", "Save", FromLeft)));
    EXPECT_FALSE(Matches(Item("", "changes", FromLeft)));
    EXPECT_TRUE(Matches(Item("", "changes", FromRight)));
    EXPECT_FALSE(Matches(Item("", "Save", FromRight)));
    EXPECT_TRUE(Matches(Item("", "e ch", Anywhere)));
    EXPECT_TRUE(Matches(Item("", "", Anywhere)));
    EXPECT_FALSE(Matches(Item("", "", Exact)));
    EXPECT_FALSE(Matches(Item("", "Save changes", 4)));
}

TEST_F(MatcherTest, ClassMustBeEqualAndEmptyClassMatchesNothing) {
    EXPECT_FALSE(Matches(Item("", "Save changes", Exact, "")));
    EXPECT_FALSE(Matches(Item("", "Save changes", Exact, "#32771")));
    EXPECT_FALSE(Matches(Item("", "Save changes", Exact, "#32770 ")));
}

TEST_F(MatcherTest, TextTestUsesEitherEndOfTheDialogText) {
    ItemRec r = Item("", "Save changes");
    r.Text = "Do you want";
    EXPECT_TRUE(Matches(r));
    r.Text = "the changes?";
    EXPECT_TRUE(Matches(r));
    r.Text = "want to save";
    EXPECT_FALSE(Matches(r));
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

TEST_F(MatcherTest, TitleIsReportedToTheCaller) {
    Add(Item("", "Save", FromLeft));
    std::string title;
    ASSERT_TRUE(FindMatchingItem(dlg, title));
    EXPECT_EQ(title, "Save changes");
}

TEST_F(MatcherTest, NoDebugLinesWithoutDebugMode) {
    App.DebugMode = false;
    fake.Win(dlg).title = "";
    Add(Item("", "Save", FromLeft));
    FindMatchingItem(dlg);
    EXPECT_TRUE(fake.debugLines.empty());
}

}  // namespace
