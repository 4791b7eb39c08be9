// How characters are typed through GNOME's remote desktop keyboard, on the
// XKB data's layouts: which keysym goes out, and which characters take the
// code-point way.
#include <gtest/gtest.h>

#include <xkbcommon/xkbcommon.h>

#include <map>
#include <string>

#include "backends/wayland/KeysymTyping.h"
#include "backends/wayland/XkbLayout.h"

namespace rw::wl {
namespace {

class Layout {
public:
    explicit Layout(const char* layout, const char* variant = nullptr) {
        context_ = xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES);
        const xkb_rule_names names{"evdev", "pc105", layout, variant, nullptr};
        keymap_ = xkb_keymap_new_from_names(context_, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    }
    ~Layout() {
        xkb_keymap_unref(keymap_);
        xkb_context_unref(context_);
    }
    Layout(const Layout&) = delete;
    Layout& operator=(const Layout&) = delete;
    xkb_keymap* get() const { return keymap_; }

private:
    xkb_context* context_ = nullptr;
    xkb_keymap* keymap_ = nullptr;
};

TEST(KeysymTyping, UsLayoutTypesAsciiByKeysymAndTheRestByCodePoint) {
    Layout us("us");
    ASSERT_NE(us.get(), nullptr);
    KeysymTyping t(us.get());
    EXPECT_EQ(t.KeysymFor('a'), XKB_KEY_a);
    EXPECT_EQ(t.KeysymFor('A'), XKB_KEY_A);
    EXPECT_EQ(t.KeysymFor('@'), XKB_KEY_at);
    EXPECT_EQ(t.KeysymFor('\r'), XKB_KEY_Return);
    EXPECT_EQ(t.KeysymFor('\t'), XKB_KEY_Tab);
    EXPECT_EQ(t.KeysymFor(0xFC), XKB_KEY_NoSymbol);    // ü
    // The evdev keymaps give € a key of its own (KEY_EURO).
    EXPECT_EQ(t.KeysymFor(0x20AC), XKB_KEY_EuroSign);
    EXPECT_EQ(t.KeysymFor(0x4E2D), XKB_KEY_NoSymbol);  // 中
}

TEST(KeysymTyping, CodePointEntryIsCtrlShiftUHexDigitsSpace) {
    Layout us("us");
    KeysymTyping t(us.get());
    const auto keys = t.UnicodeEntry(0x20AC);
    std::string pressed;
    for (const auto& [ks, down] : keys) {
        if (!down) continue;
        char name[64];
        xkb_keysym_get_name(ks, name, sizeof name);
        pressed += std::string(name) + " ";
    }
    EXPECT_EQ(pressed, "Control_L Shift_L u 2 0 a c space ");
    // Every press is released, the modifiers after the u.
    int held = 0;
    for (const auto& [ks, down] : keys) held += down ? 1 : -1;
    EXPECT_EQ(held, 0);
    EXPECT_TRUE(keys.back() == std::make_pair(xkb_keysym_t{XKB_KEY_space}, false));
}

TEST(KeysymTyping, GermanLayoutTypesItsOwnCharactersAndAltGrOnes) {
    Layout de("de");
    ASSERT_NE(de.get(), nullptr);
    KeysymTyping t(de.get());
    EXPECT_EQ(t.KeysymFor(0xFC), XKB_KEY_udiaeresis);  // ü, a key of its own
    EXPECT_EQ(t.KeysymFor(0xDF), XKB_KEY_ssharp);      // ß
    EXPECT_EQ(t.KeysymFor(0x20AC), XKB_KEY_EuroSign);  // €, AltGr+E: mutter adds ISO_Level3_Shift
    EXPECT_EQ(t.KeysymFor('@'), XKB_KEY_at);           // AltGr+Q
    EXPECT_EQ(t.KeysymFor('z'), XKB_KEY_z);
}

TEST(KeysymTyping, CharactersOnlyOnAFourthLevelTakeTheCodePointWay) {
    // mutter reaches no fourth level (Shift+AltGr): it would press the key
    // alone and type its first level instead. On the German layout "¡" is
    // Shift+AltGr+1 only.
    Layout de("de");
    KeysymTyping t(de.get());
    xkb_keycode_t key = 0;
    xkb_level_index_t level = 0;
    ASSERT_TRUE(t.Pick(0, XKB_KEY_exclamdown, key, level));
    ASSERT_EQ(level, 3u);
    EXPECT_EQ(t.KeysymFor(0xA1), XKB_KEY_NoSymbol);
    EXPECT_FALSE(t.UnicodeEntry(0xA1).empty());
}

TEST(KeysymTyping, CapsLockTurnsLettersToTheOtherCasesKeysym) {
    Layout us("us");
    KeysymTyping t(us.get());
    t.SetLocks(true, false);
    // Shift and Caps Lock cancel: "a" goes out as A (Shift+A) and "A" as a.
    EXPECT_EQ(t.KeysymFor('a'), XKB_KEY_A);
    EXPECT_EQ(t.KeysymFor('A'), XKB_KEY_a);
    EXPECT_EQ(t.KeysymFor('1'), XKB_KEY_1);
    EXPECT_EQ(t.KeysymFor('!'), XKB_KEY_exclam);
    t.SetLocks(false, false);
    EXPECT_EQ(t.KeysymFor('a'), XKB_KEY_a);
}

TEST(KeysymTyping, OfSeveralLayoutsTheFirstIsTaken) {
    Layout usRu("us,ru");
    ASSERT_NE(usRu.get(), nullptr);
    KeysymTyping t(usRu.get());
    EXPECT_EQ(t.KeysymFor('a'), XKB_KEY_a);
    EXPECT_EQ(t.KeysymFor(0x436), XKB_KEY_NoSymbol);  // ж, on the second layout only
    EXPECT_FALSE(t.UnicodeEntry(0x436).empty());
}

TEST(KeysymTyping, NoKeymapTypesNothing) {
    KeysymTyping t;
    EXPECT_EQ(t.KeysymFor('a'), XKB_KEY_NoSymbol);
    EXPECT_TRUE(t.UnicodeEntry('a').empty());
    EXPECT_FALSE(t.Reaches(XKB_KEY_Return));
}

TEST(KeysymTyping, ACodePointEntryNeedsEveryKeyOfIt) {
    // A layout without Latin letters has no u: no entry at all rather than
    // one that types something else.
    Layout ru("ru");
    ASSERT_NE(ru.get(), nullptr);
    KeysymTyping t(ru.get());
    EXPECT_EQ(t.KeysymFor(0x436), XKB_KEY_Cyrillic_zhe);
    EXPECT_TRUE(t.UnicodeEntry(0xFC).empty());
}

TEST(XkbLayout, PlacesAndKeyCodesOfTheUsLayout) {
    Layout us("us");
    const auto places = CharPlaces(us.get());
    ASSERT_EQ(places.count('A'), 1u);
    EXPECT_TRUE(places.at('A').shift);
    EXPECT_FALSE(places.at('a').shift);
    EXPECT_EQ(VkScanOf(us.get(), places.at('A')), 0x141);
    EXPECT_EQ(VkScanOf(us.get(), places.at('1')), 0x31);
    // Return's key is the XKB keycode 36; its caption is "Enter".
    EXPECT_EQ(KeyOfVk(us.get(), 0x0D), 36u);
    EXPECT_EQ(KeyNameText(us.get(), 36 << 16), "Enter");
    // A punctuation key by its place: the semicolon key.
    EXPECT_EQ(VkOfKey(us.get(), KeyOfVk(us.get(), 0xBA)), 0xBA);
}

}  // namespace
}  // namespace rw::wl
