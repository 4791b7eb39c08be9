// The key table: the fixed names, the names a keyboard layout adds, and the
// lookup the macro player does for every named key.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "actions/KeyTable.h"
#include "tests/unit/CoreFixture.h"

using namespace rw;

namespace {

constexpr std::int32_t kExt = 0x01000000;

const std::vector<std::string> kFixedNames = {
    "SHIFT", "CTRL",     "ALT",       "WINKEY",    "SPACE",     "ENTER",       "ESC",
    "TAB",   "TAB+WAIT", "BACK",      "LEFT",      "RIGHT",     "UP",          "DOWN",
    "INS",   "DEL",      "PGDN",      "PGUP",      "HOME",      "END",         "BREAK",
    "PRTSC", "NUMLOCK+", "NUMLOCK-",  "CAPSLOCK+", "CAPSLOCK-", "SCROLLLOCK+", "SCROLLLOCK-"};
const std::vector<std::int16_t> kFixedCodes = {0x10, 0x11, 0x12, 0x5B, 0x20, 0x0D, 0x1B, 0x09, 0x09, 0x08,
                                               0x25, 0x27, 0x26, 0x28, 0x2D, 0x2E, 0x22, 0x21, 0x24, 0x23,
                                               0x03, 0x2C, 0x90, 0x90, 0x14, 0x14, 0x91, 0x91};

// The keypad names every table carries, whatever the layout says, with "."
// as decimal separator.
const std::vector<std::string> kKeypadNames = {
    "0 (Num)", "1 (Num)", "2 (Num)", "3 (Num)", "4 (Num)", "5 (Num)", "6 (Num)", "7 (Num)",
    "8 (Num)", "9 (Num)", "* (Num)", "+ (Num)", ", (Num)", "- (Num)", ". (Num)", "/ (Num)"};

// A fake whose string table can be scripted.
class ScriptedStrings : public FakePlatform {
public:
    std::map<int, std::string> strings;
    std::string LoadResString(int id) override {
        auto it = strings.find(id);
        return it == strings.end() ? FakePlatform::LoadResString(id) : it->second;
    }
};

class KeyTableTest : public CoreTestOf<ScriptedStrings> {
protected:
    // One key of the layout: its scan code and the name the layout reports
    // for the lParam the table asks with (extended bit or not).
    void Key(int vk, std::uint32_t scan, const std::string& name, bool extended) {
        fake.scanCodes[static_cast<std::uint32_t>(vk)] = scan;
        fake.keyNames[static_cast<std::int32_t>(scan << 16) | (extended ? kExt : 0)] = name;
    }
    std::vector<std::pair<std::string, int>> Generated() const {
        std::vector<std::pair<std::string, int>> out;
        for (std::size_t i = kFixedCount; i < KeyNames.size(); ++i) out.emplace_back(KeyNames[i], KeyCodes[i]);
        return out;
    }
    static constexpr std::size_t kFixedCount = 28;
};

}  // namespace

// ---- Fixed entries --------------------------------------------------------

TEST_F(KeyTableTest, FixedEntriesComeFirstInStringTableOrder) {
    LoadKeyTable();
    ASSERT_GE(KeyNames.size(), kFixedCount);
    ASSERT_EQ(KeyNames.size(), KeyCodes.size());
    EXPECT_EQ(std::vector<std::string>(KeyNames.begin(), KeyNames.begin() + 28), kFixedNames);
    EXPECT_EQ(std::vector<std::int16_t>(KeyCodes.begin(), KeyCodes.begin() + 28), kFixedCodes);
}

TEST_F(KeyTableTest, LookupIgnoresCaseAndTakesTheFirstEntry) {
    EXPECT_EQ(LookupKeyCode("ENTER"), 0) << "an empty table finds nothing";
    LoadKeyTable();
    const std::pair<const char*, int> cases[] = {{"enter", 0x0D},    {"Enter", 0x0D},    {"ENTER", 0x0D},
                                                 {"tab+wait", 0x09}, {"NumLock-", 0x90}, {"prtsc", 0x2C},
                                                 {"NOSUCHKEY", 0},   {"ENTER ", 0},      {"", 0}};
    for (const auto& [name, code] : cases) EXPECT_EQ(LookupKeyCode(name), code) << name;
}

TEST_F(KeyTableTest, FixedCodesAreReadAsHexadecimalLikeTheNumberFields) {
    fake.strings[1] = "A=ffff";        // four hex digits: a 16-bit -1
    fake.strings[2] = "B= 1 b";        // blanks inside are ignored
    fake.strings[3] = "C=2C=7";        // split at the first "=", hex stops at "="
    fake.strings[4] = "D=zz";          // no digits: 0
    fake.strings[5] = "NOEQUALS";      // the whole entry is the name
    fake.strings[6] = "E=\t0A\n";      // tabs and line feeds ignored too
    fake.strings[7] = "F=12345";       // only the low 16 bits fit the table
    LoadKeyTable();
    const std::vector<std::pair<std::string, std::int16_t>> want = {
        {"A", -1}, {"B", 0x1B}, {"C", 0x2C}, {"D", 0}, {"NOEQUALS", 0}, {"E", 0x0A}, {"F", 0x2345},
        {"TAB", 0x09}};  // the rest untouched
    for (std::size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(KeyNames[i], want[i].first) << i;
        EXPECT_EQ(KeyCodes[i], want[i].second) << i;
    }
}

// ---- Generated names ------------------------------------------------------

TEST_F(KeyTableTest, WithoutLayoutNamesOnlyTheKeypadIsAdded) {
    LoadKeyTable();
    std::vector<std::pair<std::string, int>> expected;
    for (int code = 96; code <= 111; ++code) expected.emplace_back(kKeypadNames[code - 96], code);
    EXPECT_EQ(Generated(), expected);
}

TEST_F(KeyTableTest, KeypadNamesIgnoreTheLayoutAndUseTheDecimalSeparator) {
    Key(96, 0x52, "Num 0", false);
    Key(96, 0x52, "Ins", true);
    fake.decimalSeparator = "\xC2\xB7";  // a separator of more than one byte
    LoadKeyTable();
    EXPECT_EQ(LookupKeyCode("0 (num)"), 96);
    EXPECT_EQ(LookupKeyCode("Num 0"), 0);
    EXPECT_EQ(LookupKeyCode("\xC2\xB7 (Num)"), 110);
    EXPECT_EQ(LookupKeyCode("/ (Num)"), 111);
    EXPECT_EQ(LookupKeyCode(", (Num)"), 108);
}

TEST_F(KeyTableTest, CommaAsDecimalSeparatorDuplicatesTheSeparatorKey) {
    fake.decimalSeparator = ",";
    LoadKeyTable();
    EXPECT_EQ(LookupKeyCode(", (Num)"), 108);
    int commas = 0;
    for (const auto& n : KeyNames) commas += n == ", (Num)";
    EXPECT_EQ(commas, 1);
}

TEST_F(KeyTableTest, KeyNamesOfOddInputs) {
    fake.decimalSeparator = "";
    EXPECT_EQ(GetKeyName(110), " (Num)") << "an empty separator still names the key";
    Key(0x41, 0x1E, std::string("A\0garbage", 9), true);
    EXPECT_EQ(GetKeyName(0x41), "A") << "cut at its NUL";
}

TEST_F(KeyTableTest, LayoutNamesFollowInAscendingCodeOrder) {
    Key(0x41, 0x1E, "A", true);
    Key(0x13, 0x45, "Pause", false);
    Key(0xBA, 0x27, "\xC3\x9C", false);  // the German layout's U umlaut key
    Key(0x70, 0x3B, "F1", false);
    LoadKeyTable();
    auto gen = Generated();
    ASSERT_EQ(gen.size(), 4u + 16u);
    EXPECT_EQ(gen[0], std::make_pair(std::string("Pause"), 0x13));
    EXPECT_EQ(gen[1], std::make_pair(std::string("A"), 0x41));
    EXPECT_EQ(gen[2].second, 96);  // keypad 0
    EXPECT_EQ(gen[18], std::make_pair(std::string("F1"), 0x70));
    EXPECT_EQ(gen[19], std::make_pair(std::string("\xC3\x9C"), 0xBA));
}

TEST_F(KeyTableTest, NamesOfFixedEntriesAreNotAddedTwice) {
    Key(0x0D, 0x1C, "Enter", false);
    Key(0x1B, 0x01, "esc", false);
    Key(0x14, 0x3A, "Caps Lock", false);
    Key(0x5D, 0x5D, "TAB", true);  // a layout name clashing with another key's fixed name
    LoadKeyTable();
    EXPECT_EQ(Generated().front(), std::make_pair(std::string("Caps Lock"), 0x14));
    EXPECT_EQ(LookupKeyCode("ENTER"), 0x0D);
    EXPECT_EQ(LookupKeyCode("tab"), 0x09);
    EXPECT_EQ(KeyNames.size(), 28u + 1u + 16u);
}

TEST_F(KeyTableTest, LaterCodesWithAnExistingNameAreDropped) {
    Key(0x10, 0x2A, "Umschalt", false);
    Key(0xA0, 0x2A, "umschalt", false);  // left Shift: same label
    LoadKeyTable();
    EXPECT_EQ(LookupKeyCode("UMSCHALT"), 0x10);
    EXPECT_EQ(KeyNames.size(), 28u + 1u + 16u);
}

TEST_F(KeyTableTest, EmptyNamesAndNamesInParenthesesAreSkipped) {
    Key(0x15, 0x70, "(Kana)", false);
    Key(0x16, 0x71, "", false);
    Key(0xE5, 0x72, " (x)", false);  // does not begin with "("
    LoadKeyTable();
    EXPECT_EQ(LookupKeyCode("(Kana)"), 0);
    EXPECT_EQ(LookupKeyCode(" (x)"), 0xE5);
}

TEST_F(KeyTableTest, CodesOutsideTheRangesAreNotAsked) {
    for (int code : {3, 8, 12, 33, 40, 44, 47}) Key(code, static_cast<std::uint32_t>(0x60 + code), "K" + std::to_string(code), code != 8);
    LoadKeyTable();
    EXPECT_EQ(Generated().size(), 16u);
}

TEST_F(KeyTableTest, ExtendedFlagOnlyWhereTheKeyMessageCarriesIt) {
    // Each key is named differently with and without the extended bit; the
    // name shows which lParam was asked.
    auto both = [&](int vk, std::uint32_t scan) {
        Key(vk, scan, "plain" + std::to_string(vk), false);
        Key(vk, scan, "ext" + std::to_string(vk), true);
    };
    // F1 112 and F12 123 plain, F13 124 extended; Scroll Lock 145 and both
    // Shift keys 160/161 plain.
    const std::pair<int, bool> cases[] = {{3, true},    {12, true},   {13, false},  {32, false},  {33, true},
                                          {46, true},   {65, true},   {112, false}, {123, false}, {124, true},
                                          {144, true},  {145, false}, {160, false}, {161, false}, {162, true},
                                          {165, true},  {166, false}, {255, false}};
    for (const auto& [vk, ext] : cases) both(vk, static_cast<std::uint32_t>(vk));
    for (const auto& [vk, ext] : cases) EXPECT_EQ(GetKeyName(vk), (ext ? "ext" : "plain") + std::to_string(vk));
}

TEST_F(KeyTableTest, PrintScreenNeverGetsAGeneratedName) {
    Key(44, 0x37, "Druck", true);
    Key(44, 0x37, "Druck", false);
    EXPECT_EQ(GetKeyName(44), "");
    LoadKeyTable();
    EXPECT_EQ(LookupKeyCode("Druck"), 0);
    EXPECT_EQ(LookupKeyCode("PRTSC"), 0x2C);
}

TEST_F(KeyTableTest, AFullLayoutFillsExactlyTheRoomOfTheTable) {
    for (int code = 13; code <= 255; ++code) {
        if (code >= 33 && code <= 47) continue;
        const auto scan = static_cast<std::uint32_t>(code);
        Key(code, scan, "K" + std::to_string(code), false);
        Key(code, scan, "K" + std::to_string(code), true);
    }
    LoadKeyTable();
    EXPECT_EQ(KeyNames.size(), 256u);
    EXPECT_EQ(KeyCodes.size(), 256u);
    EXPECT_EQ(KeyNames.back(), "K255");
    EXPECT_EQ(LookupKeyCode("k13"), 13);
    EXPECT_EQ(LookupKeyCode("K96"), 0);  // keypad keys keep their own names
    EXPECT_EQ(LookupKeyCode("7 (NUM)"), 103);
}

TEST_F(KeyTableTest, ReloadingBuildsTheSameTableAgainQuietly) {
    Key(0x41, 0x1E, "A", true);
    LoadKeyTable();
    const auto names = KeyNames;
    const auto codes = KeyCodes;
    LoadKeyTable();
    EXPECT_EQ(KeyNames, names);
    EXPECT_EQ(KeyCodes, codes);
    EXPECT_TRUE(fake.debugLines.empty());
    EXPECT_TRUE(fake.transcript.empty()) << "building the table sends no keys";
}
