// Text and path helpers: the exact contracts the item store, the macro
// player and start-up rely on.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "actions/Strings.h"
#include "tests/unit/CoreFixture.h"

using namespace rw;
using namespace std::string_literals;

namespace {

TEST(NulStrings, CutAndTrimAtNul) {
    std::string buffer(260, '\0');  // a path in a filled system buffer
    buffer.replace(0, 16, "C:\\Apps\\tool.exe");
    const struct {
        std::string in, cut, trim;
    } cases[] = {
        {"abc\0def"s, "abc", "abc"}, {"abc", "abc", "abc"}, {"", "", ""}, {"\0abc"s, "", ""},
        {buffer, "C:\\Apps\\tool.exe", "C:\\Apps\\tool.exe"},
        // Spaces directly before the NUL stay: only the leading ones go.
        {"  ab  \0  "s, "  ab  ", "ab  "}, {"  ab  ", "  ab  ", "ab"}, {"   ", "   ", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CutAtNul(c.in), c.cut) << ::testing::PrintToString(c.in);
        EXPECT_EQ(TrimAtNul(c.in), c.trim) << ::testing::PrintToString(c.in);
    }
}

// ---- NextToken ------------------------------------------------------------

TEST(NextTokenTest, WalksPiecesAndPositions) {
    // Each step: the piece returned and the position afterwards (-1: not
    // checked); position 0 marks the end.
    const struct {
        std::string text, delim;
        std::int32_t start;
        std::vector<std::pair<std::string, std::int32_t>> steps;
    } cases[] = {
        {"a;b;c", ";", 1, {{"a", 3}, {"b", 5}, {"c", 7}, {"", 0}}},
        {"", ";", 1, {{"", 0}}},
        {"abc", ";", 0, {{"", 0}}},
        {"abc", ";", 4, {{"", 0}}},
        {"abc", ";", -3, {{"", 0}}},
        {"ab\r\ncd\r\n", "\r\n", 1, {{"ab", 5}, {"cd", 9}, {"", 0}}},
        {"xxab;c", ";", 3, {{"ab", 6}}},
        // An empty delimiter takes the rest instead of looping forever.
        {"abc", "", 2, {{"bc", -1}, {"", 0}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.text) + " from " + std::to_string(c.start));
        std::int32_t pos = c.start;
        for (const auto& [piece, after] : c.steps) {
            EXPECT_EQ(NextToken(pos, c.text, c.delim), piece);
            if (after >= 0) {
                EXPECT_EQ(pos, after);
            }
        }
    }
}

TEST(NextTokenTest, AllPiecesOfAText) {
    const struct {
        std::string text;
        std::vector<std::string> pieces;
    } cases[] = {
        {"a;;b", {"a", "", "b"}},
        {"a;b;", {"a", "b"}},  // no final empty piece
        {"  a b ;\tc\t; ", {"a b", "\tc\t", ""}},  // trimmed of spaces only
    };
    for (const auto& c : cases) {
        std::vector<std::string> out;
        std::int32_t pos = 1;
        for (int guard = 0; guard < 1000; ++guard) {
            std::string piece = NextToken(pos, c.text, ";");
            if (pos == 0) break;
            out.push_back(piece);
        }
        EXPECT_EQ(out, c.pieces) << ::testing::PrintToString(c.text);
    }
}

// ---- ReplaceAll -----------------------------------------------------------

TEST(ReplaceAllTest, Cases) {
    const struct {
        std::string text, search, replacement, want;
    } cases[] = {
        {";;;", ";;", "x", "x;"},  // occurrences do not overlap
        {"a\r\nb\r\n\r\nc", "\r", "", "a\nb\n\nc"},
        {"a\nb\n\nc", "\n", "\r\n", "a\r\nb\r\n\r\nc"},
        {"aXa", "a", "aa", "aaXaa"},  // the replacement is not scanned again
        {"abc", "d", "x", "abc"},
        {"abc", "abcd", "x", "abc"},
        {"", "a", "b", ""},
        {"abab", "abab", "", ""},
        {"a\0b\0"s, "\0"s, "|", "a|b|"},
        {"abc", "", "x", "abc"},  // an empty search text leaves the text alone
    };
    for (const auto& c : cases) {
        std::string t = c.text;
        ReplaceAll(t, c.search, c.replacement);
        EXPECT_EQ(t, c.want) << ::testing::PrintToString(c.text) << " " << ::testing::PrintToString(c.search);
    }
}

// ---- Numbers and simple text ----------------------------------------------

TEST(SimpleText, FormatAbsIsPlainDecimalWithoutSign) {
    const std::pair<std::int16_t, const char*> cases[] = {
        {0, "0"}, {-1, "1"} /* a boolean true */, {7, "7"}, {-250, "250"}, {32767, "32767"}, {-32768, "32768"}};
    for (const auto& [n, want] : cases) EXPECT_EQ(FormatAbs(n), want) << n;
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

TEST(Separators, AddAndRemoveKeepRoots) {
    const struct {
        std::string path;
        char sep;
        std::string added, removed;
    } cases[] = {
        {"", '\\', "", ""},
        {"C:\\Apps", '\\', "C:\\Apps\\", "C:\\Apps"},
        {"C:\\Apps\\", '\\', "C:\\Apps\\", "C:\\Apps"},
        {"C:\\", '\\', "C:\\", "C:\\"},
        {"/usr/bin", '/', "/usr/bin/", "/usr/bin"},
        {"/usr/bin/", '/', "/usr/bin/", "/usr/bin"},
        {"/", '/', "/", "/"},
        {"a:/", '/', "a:/", "a:"},  // no drives on Linux
    };
    for (const auto& c : cases) {
        std::string p = c.path;
        AddBackslash(p, c.sep);
        EXPECT_EQ(p, c.added) << c.path;
        EXPECT_EQ(RemoveBackslash(c.path, c.sep), c.removed) << c.path;
    }
}

// ---- Platform-backed helpers ----------------------------------------------

class PlatformStrings : public CoreTest {
protected:
    void SetUp() override {
        CoreTest::SetUp();
        fake.sep = '/';
        std::filesystem::create_directories(Folder() / "sub");
        std::ofstream(Folder() / "sub" / "x.ini") << "[Item]\r\n";
        std::ofstream(Folder() / "top.ini") << "";
        oldCwd = std::filesystem::current_path();
    }
    void TearDown() override {
        std::filesystem::current_path(oldCwd);
        CoreTest::TearDown();
    }
    std::filesystem::path oldCwd;
};

TEST_F(PlatformStrings, FileExists) {
    // "$" stands for the test's folder.
    const struct {
        bool inFolder;  // the current directory is the test's folder
        std::string path, dir;
        bool want;
    } cases[] = {
        {false, "", "$", false},
        {false, "   ", "$", false},
        {false, "", "", false},
        {false, "$/top.ini", "", true},
        {false, "$/sub", "", true},
        {false, "$/sub/x.ini", "/nonexistent-dir", true},
        {false, "$/missing.ini", "", false},
        {false, "x.ini", "$/sub", true},
        {false, "x.ini", "$/sub/", true},
        {false, "sub/x.ini", "$", true},
        {false, "top.ini", "$/sub", false},
        {false, "x.ini", "", false},
        // An absolute path means the root's /sub/x.ini, never the folder's.
        {false, "/sub/x.ini", "$", false},
        {true, "top.ini", "", true},
        {true, "sub/x.ini", "/nonexistent-dir", true},
        {true, "sub", "", true},
        {true, "x.ini", "", false},
    };
    auto expand = [&](std::string s) {
        if (!s.empty() && s[0] == '$') s.replace(0, 1, Folder().string());
        return s;
    };
    for (const auto& c : cases) {
        std::filesystem::current_path(c.inFolder ? Folder() : oldCwd);
        EXPECT_EQ(FileExists(expand(c.path), expand(c.dir)), c.want)
            << ::testing::PrintToString(c.path) << " in " << ::testing::PrintToString(c.dir);
    }
}

TEST_F(PlatformStrings, DecimalSeparatorIsTrimmedAndCutAtNul) {
    fake.decimalSeparator = " ,\0junk"s;
    EXPECT_EQ(GetDecimalSeparator(), ",");
    fake.decimalSeparator = "";
    EXPECT_EQ(GetDecimalSeparator(), "");
}

}  // namespace
