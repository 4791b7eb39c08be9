// How a character is typed through a desktop that takes keysyms and finds
// their keys itself (GNOME's remote desktop, directly or through the
// desktop portal), worked out on a model of that desktop's keymap.
//
// mutter looks a keysym up in the layout in use: the first key, in keycode
// order, that has it on any level, and adds Shift for the second level and
// the key of ISO_Level3_Shift for the third. A keysym no key has is
// dropped, and one found only on a fourth level comes out as that key's
// first level: a different character. So a character goes out as a keysym
// only when the model shows that the key mutter will find, with the
// modifier it will add and the lock state of the moment, gives this very
// character. With Caps Lock on, that can be the other case's keysym ("A"
// for "a": Shift and Caps Lock cancel). Of several layouts, the first is
// taken as the one in use: which one is cannot be told from outside (mutter
// tells only the program that has the focus), and with another in use a
// character missing there is lost.
//
// A character that no keysym gives is typed as its Unicode code point:
// Ctrl+Shift+U, the hexadecimal digits, Space. GTK programs (their own
// input method) and programs that use IBus (GNOME's input methods) read
// that as the character; other programs get the letters and digits.
#pragma once

#include <xkbcommon/xkbcommon.h>

#include <cstdint>
#include <map>
#include <vector>

namespace rw::wl {

class KeysymTyping {
public:
    // No keymap: nothing can be typed. The keymap is not owned.
    explicit KeysymTyping(xkb_keymap* keymap = nullptr) { SetKeymap(keymap); }
    void SetKeymap(xkb_keymap* keymap);
    void SetLocks(bool capsLock, bool numLock);

    // The keysym that types the character (a code point) as it is; 0 when
    // none does.
    xkb_keysym_t KeysymFor(std::uint32_t cp);
    // Whether mutter finds a key for the keysym, on a level it can reach
    // (so that the key pressed is the one meant).
    bool Reaches(xkb_keysym_t keysym) const;
    // The keysyms, in order, with true for a press and false for a release,
    // that type the character through its code point; empty when the
    // keymap lacks a key they need.
    std::vector<std::pair<xkb_keysym_t, bool>> UnicodeEntry(std::uint32_t cp) const;

    // The key mutter picks for a keysym on a layout, and its level; false
    // when it finds none.
    bool Pick(xkb_layout_index_t layout, xkb_keysym_t keysym, xkb_keycode_t& key, xkb_level_index_t& level) const;

private:
    // The keysym that pressing keysym's key gives on the layout, with the
    // modifier mutter adds and the locks; 0 when it cannot be pressed.
    xkb_keysym_t Outcome(xkb_layout_index_t layout, xkb_keysym_t keysym) const;
    bool Types(xkb_keysym_t keysym, std::uint32_t cp) const;

    xkb_keymap* keymap_ = nullptr;
    xkb_mod_mask_t locks_ = 0;
    bool capsLock_ = false, numLock_ = false;
    std::map<std::uint32_t, xkb_keysym_t> cache_;  // code point -> keysym (0: none), for these locks
};

}  // namespace rw::wl
