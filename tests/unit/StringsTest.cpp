// Text and path helpers: the exact contracts the item store, the macro
// player and start-up rely on.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "actions/Strings.h"
#include "backends/fake/FakePlatform.h"

using namespace rw;
using namespace std::string_literals;

namespace {

std::vector<std::string> AllTokens(const std::string& text, const std::string& delim) {
    std::vector<std::string> out;
    std::int32_t pos = 1;
    for (int guard = 0; guard < 1000; ++guard) {
        std::string piece = NextToken(pos, text, delim);
        if (pos == 0) break;
        out.push_back(piece);
    }
    return out;
}

}  // namespace

// ---- NUL handling ---------------------------------------------------------

TEST(NulStrings, CutAtNulStopsAtFirstNul) {
    EXPECT_EQ(CutAtNul("abc\0def"s), "abc");
    EXPECT_EQ(CutAtNul("abc"), "abc");
    EXPECT_EQ(CutAtNul(""), "");
    EXPECT_EQ(CutAtNul("\0abc"s), "");
}

TEST(NulStrings, TrimAtNulOfAFilledBufferReturnsThePath) {
    std::string buffer(260, '\0');
    buffer.replace(0, 16, "C:\\Apps\\tool.exe");
    EXPECT_EQ(TrimAtNul(buffer), "C:\\Apps\\tool.exe");
}

TEST(NulStrings, TrimAtNulKeepsSpacesDirectlyBeforeTheNul) {
    EXPECT_EQ(TrimAtNul("  ab  \0  "s), "ab  ");
    EXPECT_EQ(TrimAtNul("  ab  "), "ab");
    EXPECT_EQ(TrimAtNul("   "), "");
}

// ---- NextToken ------------------------------------------------------------

TEST(NextTokenTest, WalksPiecesThenReportsTheEnd) {
    std::int32_t pos = 1;
    EXPECT_EQ(NextToken(pos, "a;b;c", ";"), "a");
    EXPECT_EQ(pos, 3);
    EXPECT_EQ(NextToken(pos, "a;b;c", ";"), "b");
    EXPECT_EQ(pos, 5);
    EXPECT_EQ(NextToken(pos, "a;b;c", ";"), "c");
    EXPECT_EQ(pos, 7);  // beyond the end
    EXPECT_EQ(NextToken(pos, "a;b;c", ";"), "");
    EXPECT_EQ(pos, 0);
}

TEST(NextTokenTest, EmptyPieceBetweenDelimiters) {
    EXPECT_EQ(AllTokens("a;;b", ";"), (std::vector<std::string>{"a", "", "b"}));
}

TEST(NextTokenTest, TrailingDelimiterGivesNoFinalEmptyPiece) {
    EXPECT_EQ(AllTokens("a;b;", ";"), (std::vector<std::string>{"a", "b"}));
}

TEST(NextTokenTest, EmptyTextEndsAtOnce) {
    std::int32_t pos = 1;
    EXPECT_EQ(NextToken(pos, "", ";"), "");
    EXPECT_EQ(pos, 0);
}

TEST(NextTokenTest, PositionZeroOrBeyondTheEndIsTheEnd) {
    std::int32_t pos = 0;
    EXPECT_EQ(NextToken(pos, "abc", ";"), "");
    EXPECT_EQ(pos, 0);
    pos = 4;
    EXPECT_EQ(NextToken(pos, "abc", ";"), "");
    EXPECT_EQ(pos, 0);
    pos = -3;
    EXPECT_EQ(NextToken(pos, "abc", ";"), "");
    EXPECT_EQ(pos, 0);
}

TEST(NextTokenTest, PiecesAreTrimmedOfSpacesOnly) {
    EXPECT_EQ(AllTokens("  a b ;\tc\t; ", ";"), (std::vector<std::string>{"a b", "\tc\t", ""}));
}

TEST(NextTokenTest, TwoCharacterDelimiterAdvancesByTwo) {
    std::int32_t pos = 1;
    EXPECT_EQ(NextToken(pos, "ab\r\ncd\r\n", "\r\n"), "ab");
    EXPECT_EQ(pos, 5);
    EXPECT_EQ(NextToken(pos, "ab\r\ncd\r\n", "\r\n"), "cd");
    EXPECT_EQ(pos, 9);
    EXPECT_EQ(NextToken(pos, "ab\r\ncd\r\n", "\r\n"), "");
    EXPECT_EQ(pos, 0);
}

TEST(NextTokenTest, StartsInTheMiddle) {
    std::int32_t pos = 3;
    EXPECT_EQ(NextToken(pos, "xxab;c", ";"), "ab");
    EXPECT_EQ(pos, 6);
}

TEST(NextTokenTest, EmptyDelimiterTakesTheRestInsteadOfLoopingForever) {
    std::int32_t pos = 2;
    EXPECT_EQ(NextToken(pos, "abc", ""), "bc");
    EXPECT_EQ(NextToken(pos, "abc", ""), "");
    EXPECT_EQ(pos, 0);
}

// ---- ReplaceAll -----------------------------------------------------------

TEST(ReplaceAllTest, OccurrencesDoNotOverlap) {
    std::string t = ";;;";
    ReplaceAll(t, ";;", "x");
    EXPECT_EQ(t, "x;");
}

TEST(ReplaceAllTest, ReplacesEveryOccurrence) {
    std::string t = "a\r\nb\r\n\r\nc";
    ReplaceAll(t, "\r", "");
    EXPECT_EQ(t, "a\nb\n\nc");
    ReplaceAll(t, "\n", "\r\n");
    EXPECT_EQ(t, "a\r\nb\r\n\r\nc");
}

TEST(ReplaceAllTest, ReplacementContainingTheSearchTextIsNotRescanned) {
    std::string t = "aXa";
    ReplaceAll(t, "a", "aa");
    EXPECT_EQ(t, "aaXaa");
}

TEST(ReplaceAllTest, NoOccurrenceAndShortTextStayAsTheyAre) {
    std::string t = "abc";
    ReplaceAll(t, "d", "x");
    EXPECT_EQ(t, "abc");
    ReplaceAll(t, "abcd", "x");
    EXPECT_EQ(t, "abc");
    std::string empty;
    ReplaceAll(empty, "a", "b");
    EXPECT_EQ(empty, "");
}

TEST(ReplaceAllTest, WholeTextAndEmbeddedNul) {
    std::string t = "abab";
    ReplaceAll(t, "abab", "");
    EXPECT_EQ(t, "");
    std::string n = "a\0b\0"s;
    ReplaceAll(n, "\0"s, "|");
    EXPECT_EQ(n, "a|b|");
}

TEST(ReplaceAllTest, EmptySearchTextLeavesTheTextAlone) {
    std::string t = "abc";
    ReplaceAll(t, "", "x");
    EXPECT_EQ(t, "abc");
}

// ---- Numbers and simple text ----------------------------------------------

TEST(FormatAbsTest, PlainDecimalWithoutSign) {
    EXPECT_EQ(FormatAbs(0), "0");
    EXPECT_EQ(FormatAbs(-1), "1");  // a boolean true
    EXPECT_EQ(FormatAbs(7), "7");
    EXPECT_EQ(FormatAbs(-250), "250");
    EXPECT_EQ(FormatAbs(32767), "32767");
    EXPECT_EQ(FormatAbs(-32768), "32768");
}

TEST(SimpleText, TrimSpacesTouchesOnlyBlanksAtTheEnds) {
    EXPECT_EQ(TrimSpaces("  a  b  "), "a  b");
    EXPECT_EQ(TrimSpaces("\ta\t"), "\ta\t");
    EXPECT_EQ(TrimSpaces("    "), "");
    EXPECT_EQ(TrimSpaces(""), "");
}

TEST(SimpleText, UCaseAndEqualsNoCaseAreAsciiOnly) {
    EXPECT_EQ(UCase("Tab+Wait \xC3\xA4z"), "TAB+WAIT \xC3\xA4Z");
    EXPECT_TRUE(EqualsNoCase("enter", "ENTER"));
    EXPECT_TRUE(EqualsNoCase("", ""));
    EXPECT_FALSE(EqualsNoCase("enter", "enter "));
    EXPECT_FALSE(EqualsNoCase("[", "{"));  // 0x5B and 0x7B differ by the case bit only
    EXPECT_FALSE(EqualsNoCase("\xC3\xA4", "\xC3\x84"));
}

// ---- Separators -----------------------------------------------------------

TEST(Separators, AddBackslash) {
    std::string p;
    AddBackslash(p);
    EXPECT_EQ(p, "");
    p = "C:\\Apps";
    AddBackslash(p);
    EXPECT_EQ(p, "C:\\Apps\\");
    AddBackslash(p);
    EXPECT_EQ(p, "C:\\Apps\\");
    p = "/usr/bin";
    AddBackslash(p, '/');
    EXPECT_EQ(p, "/usr/bin/");
    AddBackslash(p, '/');
    EXPECT_EQ(p, "/usr/bin/");
}

TEST(Separators, RemoveBackslashKeepsRoots) {
    EXPECT_EQ(RemoveBackslash("C:\\"), "C:\\");
    EXPECT_EQ(RemoveBackslash("C:\\dir\\"), "C:\\dir");
    EXPECT_EQ(RemoveBackslash("C:\\dir"), "C:\\dir");
    EXPECT_EQ(RemoveBackslash(""), "");
    EXPECT_EQ(RemoveBackslash("/", '/'), "/");
    EXPECT_EQ(RemoveBackslash("/usr/bin/", '/'), "/usr/bin");
    EXPECT_EQ(RemoveBackslash("a:/", '/'), "a:");  // no drives on Linux
}

// ---- Platform-backed helpers ----------------------------------------------

class PlatformStrings : public ::testing::Test {
protected:
    void SetUp() override {
        SetPlatform(&fake);
        fake.sep = '/';
        root = std::filesystem::temp_directory_path() /
               ("rw-strings-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(root);
        std::filesystem::create_directories(root / "sub");
        std::ofstream(root / "sub" / "x.ini") << "[Item]\r\n";
        std::ofstream(root / "top.ini") << "";
        oldCwd = std::filesystem::current_path();
    }
    void TearDown() override {
        std::filesystem::current_path(oldCwd);
        std::filesystem::remove_all(root);
        SetPlatform(nullptr);
    }
    FakePlatform fake;
    std::filesystem::path root;
    std::filesystem::path oldCwd;
};

TEST_F(PlatformStrings, FileExistsBlankPathIsFalse) {
    EXPECT_FALSE(FileExists("", root.string()));
    EXPECT_FALSE(FileExists("   ", root.string()));
    EXPECT_FALSE(FileExists("", ""));
}

TEST_F(PlatformStrings, FileExistsAbsoluteFileAndDirectory) {
    EXPECT_TRUE(FileExists((root / "top.ini").string(), ""));
    EXPECT_TRUE(FileExists((root / "sub").string(), ""));
    EXPECT_TRUE(FileExists((root / "sub" / "x.ini").string(), "/nonexistent-dir"));
    EXPECT_FALSE(FileExists((root / "missing.ini").string(), ""));
}

TEST_F(PlatformStrings, FileExistsRelativeToTheDirectoryWithOrWithoutSeparator) {
    EXPECT_TRUE(FileExists("x.ini", (root / "sub").string()));
    EXPECT_TRUE(FileExists("x.ini", (root / "sub").string() + "/"));
    EXPECT_TRUE(FileExists("sub/x.ini", root.string()));
    EXPECT_FALSE(FileExists("top.ini", (root / "sub").string()));
    EXPECT_FALSE(FileExists("x.ini", ""));
}

TEST_F(PlatformStrings, FileExistsRelativeToTheCurrentDirectory) {
    std::filesystem::current_path(root);
    EXPECT_TRUE(FileExists("top.ini", ""));
    EXPECT_TRUE(FileExists("sub/x.ini", "/nonexistent-dir"));
    EXPECT_TRUE(FileExists("sub", ""));
    EXPECT_FALSE(FileExists("x.ini", ""));
}

TEST_F(PlatformStrings, FileExistsDoesNotJoinAnAbsolutePathToTheDirectory) {
    // root/sub/x.ini exists, so a naive join "root" + "/" + "/sub/x.ini"
    // would find it; an absolute path means the root's /sub/x.ini.
    EXPECT_FALSE(FileExists("/sub/x.ini", root.string()));
}

TEST_F(PlatformStrings, DecimalSeparatorIsTrimmedAndCutAtNul) {
    fake.decimalSeparator = " ,\0junk"s;
    EXPECT_EQ(GetDecimalSeparator(), ",");
    fake.decimalSeparator = "";
    EXPECT_EQ(GetDecimalSeparator(), "");
}
