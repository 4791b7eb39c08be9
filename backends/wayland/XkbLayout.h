// Questions about an XKB keymap that every Wayland keyboard asks in the
// same way, whatever sends its keys: where a character or a virtual-key
// code is, which code a key stands for, and a key's caption.
//
// All of them but CharPlaces look at the keymap's first layout; a keymap of
// nullptr has no key for anything.
#pragma once

#include <xkbcommon/xkbcommon.h>

#include <cstdint>
#include <map>
#include <string>

namespace rw::wl {

// A character's key, and whether Shift is needed for it.
struct KeyPlace {
    xkb_keycode_t key = 0;
    bool shift = false;
};

// Where each character is: the first key that gives it without a modifier,
// else the first with Shift alone. Keypad keys depend on Num Lock: the
// main keys serve. In the layout given (a key with fewer layouts gives its
// first), where the compositor reads keys in the layout it is in.
std::map<std::uint32_t, KeyPlace> CharPlaces(xkb_keymap* keymap, xkb_layout_index_t layout = 0);

// The first key whose first or second level is the keysym; 0 when none.
xkb_keycode_t KeyOfKeysym(xkb_keymap* keymap, xkb_keysym_t keysym);
// The key of a virtual-key code: by its keysym, else by its XKB key name.
xkb_keycode_t KeyOfVk(xkb_keymap* keymap, std::uint8_t vk);
// The virtual-key code a key stands for; 0 when none.
std::uint8_t VkOfKey(xkb_keymap* keymap, xkb_keycode_t key);
// VkKeyScan's answer for a place: the code, with 0x100 for Shift; -1 when
// the key stands for no code.
std::int16_t VkScanOf(xkb_keymap* keymap, const KeyPlace& place);
// The caption of the key in bits 16-23 of a key message's lParam (the XKB
// keycode stands in for the scan code); empty when there is none.
std::string KeyNameText(xkb_keymap* keymap, std::int32_t lParam);

}  // namespace rw::wl
