// The text form of items: what the writer produces, what the parser takes
// back, and how the two number fields are read.
#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <limits>
#include <string>

#include "items/ItemText.h"
#include "items/Items.h"
#include "tests/unit/CoreFixture.h"

using namespace rw;

namespace {

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();

class ItemTextTest : public CoreTest {
protected:
    // Parses text the way a paste does: through CurItem into a list.
    static ItemRec ParseFresh(const std::string& text) {
        CurItem = ItemRec{};
        clsItems l;
        l.AddItemAtByString(0, text);
        ItemRec r;
        l.GetItem(0, r);
        return r;
    }
    // Reads back a written item as a paste does: the text after the marker
    // (the rest of the marker line, normally nothing, then the key lines).
    static ItemRec ReadBack(const std::string& written) {
        EXPECT_EQ(written.rfind("[Item]", 0), 0u);
        return ParseFresh(written.substr(6));
    }
};

// ---- Writer ---------------------------------------------------------------

TEST_F(ItemTextTest, WriterProducesTheTenLinesInOrder) {
    clsItems l;
    l.AddItemAt(0, ItemRec{"My item", "Save?", 2, "#32770", "Line one\r\nLine two\r\nLine three",
                           "C:\\Apps\\x.exe", "{ENTER}", "400x150", 250});
    EXPECT_EQ(l.GetItemAsString(0),
              "[Item]\r\n"
              "Desc=My item\r\n"
              "Title=Save?\r\n"
              "TitleTestType=2\r\n"
              "Class=#32770\r\n"
              "Text=Line one\r\n"
              "Text=Line two\r\n"
              "Text=Line three\r\n"
              "Modul=C:\\Apps\\x.exe\r\n"
              "Size=400x150\r\n"
              "Macro={ENTER}\r\n"
              "Delay=250\r\n");
}

TEST_F(ItemTextTest, WriterEmptyFieldsAndNegativeNumbers) {
    ItemRec r;
    r.TitleTestType = -3;
    r.Delay = kMin;
    EXPECT_EQ(ItemToText(r),
              "[Item]\r\nDesc=\r\nTitle=\r\nTitleTestType=-3\r\nClass=\r\nText=\r\nModul=\r\n"
              "Size=\r\nMacro=\r\nDelay=-2147483648\r\n");
}

TEST_F(ItemTextTest, WriterKeepsValuesUnchanged) {
    ItemRec r;
    r.Title = "a=b";
    r.Macro = "  lead";
    r.Desc = "x\r\ny";  // only Text is split; here the CR LF just ends the line early
    std::string t = ItemToText(r);
    EXPECT_NE(t.find("\r\nTitle=a=b\r\n"), std::string::npos);
    EXPECT_NE(t.find("\r\nMacro=  lead\r\n"), std::string::npos);
    EXPECT_NE(t.find("\r\nDesc=x\r\ny\r\nTitle="), std::string::npos);
    std::string out = "prefix";
    AppendItemText(out, r);
    EXPECT_EQ(out, "prefix" + t);
}

// ---- Round trips ----------------------------------------------------------

TEST_F(ItemTextTest, RoundTrips) {
    const ItemRec same[] = {
        {"Desc with = sign", "  leading blanks", 3, "Class=x", "a\r\nb=c\r\n  c", "/usr/lib/x/app", "{ALT}{F4}=",
         "640x480", 1500},
        {"Übersicht \xE2\x82\xAC", "Datei speichern? \xC3\xA4\xC3\xB6", 0, "\xFF\xFE", "\x80\x81\r\n\xE4",
         "/opt/\xC3\xA9", "\xE9", "1x1", 0},
        {"d", "", 0, "", "a\r\nb", "", "", "", 0},
        {"d", "", 0, "", "\r\nmid\r\n\r\n", "", "", "", 0},  // empty lines inside the text survive
    };
    for (const auto& r : same) EXPECT_EQ(ReadBack(ItemToText(r)), r) << ItemToText(r);
    // Trailing spaces and an empty name do not survive.
    EXPECT_EQ(ReadBack(ItemToText({"", "title  ", 0, "cls ", "one  \r\ntwo ", "m", "mac ", "", 0})),
              (ItemRec{"-", "title", 0, "cls", "one\r\ntwo", "m", "mac", "", 0}));
}

// ---- Parser ---------------------------------------------------------------

TEST_F(ItemTextTest, ParsedItems) {
    const std::string fits(kTextBufferChars - 2, 'x');
    const std::string a(40000, 'a'), b(30000, 'b'), c(20000, 'c');
    const std::string d(33331, 'd'), e(33331, 'e');  // with both CR LFs exactly the buffer
    const struct {
        std::string text;
        ItemRec want;
    } cases[] = {
        {"", {"-", "", 0, "", "", "", "", "", 0}},
        {"Text=one\r\nText=two\r\nText=three\r\n", {"-", "", 0, "", "one\r\ntwo\r\nthree", "", "", "", 0}},
        {"Title=a=b\r\nClass= x\r\n", {"-", "a=b", 0, " x", "", "", "", "", 0}},
        // Lines are trimmed of spaces only: "\tClass=" is not a key.
        {"   Title=x   \r\n\tClass=y\r\nMacro=z\t \r\n", {"-", "x", 0, "", "", "", "z\t", "", 0}},
        // Keys are case-sensitive; unknown ones are ignored.
        {"title=lower\r\nTITLE=upper\r\nTitle =spaced\r\nFoo=bar\r\nno equals\r\n=value\r\n",
         {"-", "", 0, "", "", "", "", "", 0}},
        {"Title=one\r\nDelay=5\r\nTitle=two\r\nDelay=7\r\n", {"-", "two", 0, "", "", "", "", "", 7}},
        {"Delay=9\r\nMacro=m\r\nSize=1x2\r\nModul=mo\r\nText=t\r\nClass=c\r\nTitleTestType=1\r\nTitle=ti\r\n"
         "Desc=de\r\n",
         {"de", "ti", 1, "c", "t", "mo", "m", "1x2", 9}},
        // The marker ends the parse, also after trimming; a whole item text
        // handed in with its marker parses nothing but still makes an item.
        {"Title=first\r\n[Item]\r\nTitle=second\r\n", {"-", "first", 0, "", "", "", "", "", 0}},
        {"Title=first\r\n  [Item]  \r\nTitle=second\r\n", {"-", "first", 0, "", "", "", "", "", 0}},
        {"[Item]\r\nTitle=x\r\n", {"-", "", 0, "", "", "", "", "", 0}},
        {"Desc=\r\n", {"-", "", 0, "", "", "", "", "", 0}},
        {"Desc=   \r\n", {"-", "", 0, "", "", "", "", "", 0}},
        {"Text=\r\n", {"-", "", 0, "", "", "", "", "", 0}},
        {"Title=x\r\nDelay=100", {"-", "x", 0, "", "", "", "", "", 100}},  // last line without a break
        // A lone line feed is no line break; it is stored as a blank.
        {"Title=a\nMacro=b\r\n", {"-", "a Macro=b", 0, "", "", "", "", "", 0}},
        // The number fields follow the numeric rule.
        {"TitleTestType=3.5\r\nDelay=250 ms\r\n", {"-", "", 4, "", "", "", "", "", 250}},
        {"TitleTestType=99999999999\r\nDelay=-99999999999\r\n", {"-", "", kMax, "", "", "", "", "", kMin}},
        {"Delay=\r\n", {"-", "", 0, "", "", "", "", "", 0}},
        // The Text buffer holds at most 66664 characters; a line that does
        // not fit is skipped, later smaller ones are still taken.
        {"Text=" + fits + "\r\n", {"-", "", 0, "", fits, "", "", "", 0}},
        {"Text=" + fits + "y\r\n", {"-", "", 0, "", "", "", "", "", 0}},
        {"Text=" + std::string(70000, 'L') + "\r\nText=short\r\n", {"-", "", 0, "", "short", "", "", "", 0}},
        {"Text=" + a + "\r\nText=" + b + "\r\nText=" + c + "\r\n", {"-", "", 0, "", a + "\r\n" + c, "", "", "", 0}},
        {"Text=" + d + "\r\nText=" + e + "\r\nText=\r\n", {"-", "", 0, "", d + "\r\n" + e, "", "", "", 0}},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(::testing::PrintToString(row.text.substr(0, 80)));
        // CurItem still holds another item, as after a search: nothing of it
        // may show through.
        CurItem = ItemRec{"old", "old title", 2, "old class", "old text", "old mod", "secret", "9x9", 42};
        clsItems l;
        l.AddItemAtByString(0, row.text);
        ASSERT_EQ(l.Count(), 1);
        ItemRec r;
        l.GetItem(0, r);
        EXPECT_EQ(r, row.want);
    }
}

TEST_F(ItemTextTest, AbsentKeysAreEmptyNotLeftOverFromAnotherItem) {
    // CurItem last held another item (the matcher loads every item it
    // compares): a pasted item without "Macro=" must not inherit that item's
    // macro, which may be a password, and type it into another window.
    CurItem = ItemRec{"old", "old title", 2, "old class", "old text", "old mod", "secret", "9x9", 42};
    clsItems l;
    l.AddItemAtByString(0, "Title=new\r\n");
    ItemRec r;
    l.GetItem(0, r);
    EXPECT_EQ(r, (ItemRec{"-", "new", 0, "", "", "", "", "", 0}));
    EXPECT_EQ(CurItem, r);
}

TEST_F(ItemTextTest, LineBreaksInAStoredValueBecomeBlanks) {
    clsItems l;
    l.AddItemAt(0, Named("d", "a Macro=b"));
    l.SetDesc(0, "x\ry");
    ItemRec r;
    l.GetItem(0, r);
    EXPECT_EQ(r.Title, "a Macro=b");
    EXPECT_EQ(r.Desc, "x y");
}

TEST_F(ItemTextTest, ByStringVariantsAppend) {
    clsItems l;
    l.AddItemAtEndByString("Desc=A\r\n");
    l.AddItemAtEndByString("Desc=B\r\n");
    l.AddItemAtByString(0, "Desc=C\r\n");
    EXPECT_EQ(l.GetDesc(0), "C");
    EXPECT_EQ(l.GetDesc(1), "A");
    EXPECT_EQ(l.GetDesc(2), "B");
}

// ---- Numeric rule -------------------------------------------------------------

struct NumCase {
    const char* text;
    std::int32_t want;
};

void ExpectAll(std::initializer_list<NumCase> cases) {
    for (const auto& c : cases) {
        EXPECT_EQ(NumericValue(c.text), c.want) << ::testing::PrintToString(std::string(c.text));
    }
}

TEST(NumericRule, Examples) {
    ExpectAll({
        NumCase{"2.5", 2}, NumCase{"3.5", 4}, NumCase{"1e3", 1000}, NumCase{"250 ms", 250},
        NumCase{"&H10", 16}, NumCase{"abc", 0}, NumCase{"", 0}, NumCase{"0.5", 0}, NumCase{"1.5", 2},
        NumCase{"-2.5", -2}, NumCase{"-3.5", -4}, NumCase{"-0.5", 0}, NumCase{"2.51", 3},
        NumCase{"2.49", 2}, NumCase{"42", 42}, NumCase{"+42", 42}, NumCase{"-42", -42},
        NumCase{"007", 7}, NumCase{".5", 0}, NumCase{".6", 1}, NumCase{"5.", 5},
        NumCase{"1D3", 1000}, NumCase{"1d3", 1000}, NumCase{"1E+3", 1000}, NumCase{"15e-1", 2},
        NumCase{"25E-1", 2}, NumCase{"1 2 3", 123}, NumCase{"\t1\n0\t", 10}, NumCase{"- 5", -5},
        NumCase{"1\r0", 1}, NumCase{"12abc", 12}, NumCase{"1.2.3", 1}, NumCase{"1e", 1},
        NumCase{"1e+", 1}, NumCase{"1ex", 1}, NumCase{"-", 0}, NumCase{"+", 0}, NumCase{".", 0},
        NumCase{"-.", 0}, NumCase{"e5", 0}, NumCase{"&h1f", 31}, NumCase{"&HFF", 255},
        NumCase{"&H", 0}, NumCase{"&", 0}, NumCase{"&HG", 0}, NumCase{"&H1G", 1},
        NumCase{"&O17", 15}, NumCase{"&o17", 15}, NumCase{"&O8", 0}, NumCase{"&O78", 7},
        NumCase{"& H 1 0", 16}, NumCase{"-&H10", 0}, NumCase{"&X10", 0}, NumCase{"1,5", 1},
        NumCase{"2147483647", kMax}, NumCase{"-2147483648", kMin}});
}

TEST(NumericRule, OutOfRangeIsClampedNotWrapped) {
    ExpectAll({
        NumCase{"2147483648", kMax}, NumCase{"-2147483649", kMin}, NumCase{"2147483647.5", kMax},
        NumCase{"2147483646.5", 2147483646}, NumCase{"-2147483648.5", kMin},
        NumCase{"99999999999999999999", kMax}, NumCase{"1e10", kMax}, NumCase{"-1e10", kMin},
        NumCase{"1e308", kMax}, NumCase{"1e309", kMax}, NumCase{"1e99999999999999999999", kMax},
        NumCase{"-1D99999", kMin}, NumCase{"1e-99999999999999999999", 0}, NumCase{"-1e-400", 0},
        NumCase{"&HFFFFFFFF", kMax}, NumCase{"&H80000000", kMax}, NumCase{"&H7FFFFFFF", kMax},
        NumCase{"&O77777777777777777777", kMax}});
}

TEST(NumericRuleLong, HugeInputsStayFinite) {
    EXPECT_EQ(NumericValue(std::string(100000, '9')), kMax);
    EXPECT_EQ(NumericValue("-" + std::string(100000, '9')), kMin);
    EXPECT_EQ(NumericValue("&H" + std::string(100000, 'F')), kMax);
    EXPECT_EQ(NumericValue("0." + std::string(100000, '0') + "1"), 0);
    EXPECT_EQ(NumericValue(std::string(100000, '0') + "12"), 12);
    // The number is read as a double: a tail of zeros keeps an exact half,
    // a nonzero digit within double precision lifts it, one far beyond that
    // precision cannot.
    EXPECT_EQ(NumericValue("2.5" + std::string(100, '0')), 2);
    EXPECT_EQ(NumericValue("2.50000000001"), 3);
    EXPECT_EQ(NumericValue("2.5" + std::string(100, '0') + "1"), 2);
    EXPECT_EQ(NumericValue("0.00025e4"), 2);
    EXPECT_EQ(NumericValue("0.00035e4"), 4);
}

TEST(NumericRuleParts, RoundToInt32) {
    EXPECT_EQ(RoundToInt32(0.5), 0);
    EXPECT_EQ(RoundToInt32(1.5), 2);
    EXPECT_EQ(RoundToInt32(-1.5), -2);
    EXPECT_EQ(RoundToInt32(std::numeric_limits<double>::infinity()), kMax);
    EXPECT_EQ(RoundToInt32(-std::numeric_limits<double>::infinity()), kMin);
    EXPECT_EQ(RoundToInt32(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_DOUBLE_EQ(ReadLeadingNumber("1.25"), 1.25);
    EXPECT_DOUBLE_EQ(ReadLeadingNumber("&H10"), 16.0);
}

}  // namespace
