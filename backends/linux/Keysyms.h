// Windows virtual-key codes on an XKB keyboard, shared by the Linux window
// systems (X11 and Wayland both describe keys with XKB keysyms).
//
// A named key of a macro carries a Windows virtual-key code. Each code that
// the key table can hold is tied here to a keysym (Shift_L, Return, F5,
// KP_Add, ...). The punctuation keys (the OEM codes), whose Windows codes
// follow key positions rather than symbols, are tied to XKB key names of the
// US layout's positions (AC10 for VK_OEM_1 and so on). Windows scan codes
// have no meaning here: events carry XKB keycodes only.
#pragma once

#include <cstdint>
#include <string>

namespace rw::lnx {

struct VkBinding {
    std::uint32_t keysym = 0;  // 0: none
    const char* xkbKeyName = nullptr;  // position-bound keys, and the fallback
};

// The binding of a virtual-key code; keysym 0 and no key name when the code
// has no key on X.
VkBinding BindingOfVk(std::uint8_t vk);

// Lock keys (Caps Lock 0x14, Num Lock 0x90, Scroll Lock 0x91).
bool IsLockVk(std::uint8_t vk);

// A key's caption as a key name: the English name of a function key
// ("Backspace", "Right Shift", "Page Up", "F7"), the upper-case character of
// a character key ("A", "Ü", "#"), else the keysym's own name. Empty for
// NoSymbol.
std::string KeysymLabel(std::uint32_t keysym);

}  // namespace rw::lnx
