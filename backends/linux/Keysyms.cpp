#include "backends/linux/Keysyms.h"

#include <X11/XF86keysym.h>
#include <X11/keysym.h>
#include <xkbcommon/xkbcommon.h>

namespace rw::lnx {

VkBinding BindingOfVk(std::uint8_t vk) {
    if (vk >= 0x30 && vk <= 0x39) return {static_cast<std::uint32_t>(XK_0 + (vk - 0x30)), nullptr};
    if (vk >= 0x41 && vk <= 0x5A) return {static_cast<std::uint32_t>(XK_a + (vk - 0x41)), nullptr};
    if (vk >= 0x60 && vk <= 0x69) return {static_cast<std::uint32_t>(XK_KP_0 + (vk - 0x60)), nullptr};
    if (vk >= 0x70 && vk <= 0x87) return {static_cast<std::uint32_t>(XK_F1 + (vk - 0x70)), nullptr};
    switch (vk) {
        case 0x03: return {XK_Break, nullptr};
        case 0x08: return {XK_BackSpace, "BKSP"};
        case 0x09: return {XK_Tab, "TAB"};
        case 0x0C: return {XK_KP_Begin, nullptr};
        case 0x0D: return {XK_Return, "RTRN"};
        case 0x10: return {XK_Shift_L, "LFSH"};
        case 0x11: return {XK_Control_L, "LCTL"};
        case 0x12: return {XK_Alt_L, "LALT"};
        case 0x13: return {XK_Pause, "PAUS"};
        case 0x14: return {XK_Caps_Lock, "CAPS"};
        case 0x1B: return {XK_Escape, "ESC"};
        case 0x20: return {XK_space, "SPCE"};
        case 0x21: return {XK_Prior, "PGUP"};
        case 0x22: return {XK_Next, "PGDN"};
        case 0x23: return {XK_End, "END"};
        case 0x24: return {XK_Home, "HOME"};
        case 0x25: return {XK_Left, "LEFT"};
        case 0x26: return {XK_Up, "UP"};
        case 0x27: return {XK_Right, "RGHT"};
        case 0x28: return {XK_Down, "DOWN"};
        case 0x29: return {XK_Select, nullptr};
        case 0x2A: return {XK_Print, nullptr};
        case 0x2B: return {XK_Execute, nullptr};
        case 0x2C: return {XK_Print, "PRSC"};
        case 0x2D: return {XK_Insert, "INS"};
        case 0x2E: return {XK_Delete, "DELE"};
        case 0x2F: return {XK_Help, nullptr};
        case 0x5B: return {XK_Super_L, "LWIN"};
        case 0x5C: return {XK_Super_R, "RWIN"};
        case 0x5D: return {XK_Menu, "COMP"};
        case 0x5F: return {XF86XK_Sleep, nullptr};
        case 0x6A: return {XK_KP_Multiply, "KPMU"};
        case 0x6B: return {XK_KP_Add, "KPAD"};
        case 0x6C: return {XK_KP_Separator, nullptr};
        case 0x6D: return {XK_KP_Subtract, "KPSU"};
        case 0x6E: return {XK_KP_Decimal, "KPDL"};
        case 0x6F: return {XK_KP_Divide, "KPDV"};
        case 0x90: return {XK_Num_Lock, "NMLK"};
        case 0x91: return {XK_Scroll_Lock, "SCLK"};
        case 0xA0: return {XK_Shift_L, "LFSH"};
        case 0xA1: return {XK_Shift_R, "RTSH"};
        case 0xA2: return {XK_Control_L, "LCTL"};
        case 0xA3: return {XK_Control_R, "RCTL"};
        case 0xA4: return {XK_Alt_L, "LALT"};
        case 0xA5: return {XK_Alt_R, "RALT"};
        case 0xA6: return {XF86XK_Back, nullptr};
        case 0xA7: return {XF86XK_Forward, nullptr};
        case 0xA8: return {XF86XK_Refresh, nullptr};
        case 0xA9: return {XF86XK_Stop, nullptr};
        case 0xAA: return {XF86XK_Search, nullptr};
        case 0xAB: return {XF86XK_Favorites, nullptr};
        case 0xAC: return {XF86XK_HomePage, nullptr};
        case 0xAD: return {XF86XK_AudioMute, nullptr};
        case 0xAE: return {XF86XK_AudioLowerVolume, nullptr};
        case 0xAF: return {XF86XK_AudioRaiseVolume, nullptr};
        case 0xB0: return {XF86XK_AudioNext, nullptr};
        case 0xB1: return {XF86XK_AudioPrev, nullptr};
        case 0xB2: return {XF86XK_AudioStop, nullptr};
        case 0xB3: return {XF86XK_AudioPlay, nullptr};
        case 0xB4: return {XF86XK_Mail, nullptr};
        case 0xB5: return {XF86XK_AudioMedia, nullptr};
        case 0xB6: return {XF86XK_MyComputer, nullptr};
        case 0xB7: return {XF86XK_Calculator, nullptr};
        // Punctuation keys by position (US layout), whatever they carry.
        case 0xBA: return {0, "AC10"};
        case 0xBB: return {0, "AE12"};
        case 0xBC: return {0, "AB08"};
        case 0xBD: return {0, "AE11"};
        case 0xBE: return {0, "AB09"};
        case 0xBF: return {0, "AB10"};
        case 0xC0: return {0, "TLDE"};
        case 0xDB: return {0, "AD11"};
        case 0xDC: return {0, "BKSL"};
        case 0xDD: return {0, "AD12"};
        case 0xDE: return {0, "AC11"};
        case 0xE2: return {0, "LSGT"};
        default: return {};
    }
}

bool IsLockVk(std::uint8_t vk) { return vk == 0x14 || vk == 0x90 || vk == 0x91; }

std::string KeysymLabel(std::uint32_t ks) {
    if (ks == 0) return {};
    if (ks >= XK_F1 && ks <= XK_F35) return "F" + std::to_string(ks - XK_F1 + 1);
    switch (ks) {
        case XK_BackSpace: return "Backspace";
        case XK_Tab: case XK_ISO_Left_Tab: return "Tab";
        case XK_Return: return "Enter";
        case XK_Escape: return "Esc";
        case XK_space: return "Space";
        case XK_Shift_L: return "Shift";
        case XK_Shift_R: return "Right Shift";
        case XK_Control_L: return "Ctrl";
        case XK_Control_R: return "Right Ctrl";
        case XK_Alt_L: return "Alt";
        case XK_Alt_R: return "Right Alt";
        case XK_ISO_Level3_Shift: return "Alt Gr";
        case XK_Super_L: return "Left Windows";
        case XK_Super_R: return "Right Windows";
        case XK_Menu: return "Application";
        case XK_Caps_Lock: return "Caps Lock";
        case XK_Num_Lock: return "Num Lock";
        case XK_Scroll_Lock: return "Scroll Lock";
        case XK_Pause: return "Pause";
        case XK_Break: return "Break";
        case XK_Print: return "Print Screen";
        case XK_Insert: return "Insert";
        case XK_Delete: return "Delete";
        case XK_Home: return "Home";
        case XK_End: return "End";
        case XK_Prior: return "Page Up";
        case XK_Next: return "Page Down";
        case XK_Left: return "Left";
        case XK_Right: return "Right";
        case XK_Up: return "Up";
        case XK_Down: return "Down";
        case XK_Help: return "Help";
        default: break;
    }
    // Keypad keys keep their keysym names; their captions come from the key
    // table's own rule.
    bool keypad = ks >= XK_KP_Space && ks <= XK_KP_Equal;
    std::uint32_t cp = keypad ? 0 : xkb_keysym_to_utf32(ks);
    if (cp > 0x20 && cp != 0x7F && !(cp >= 0x80 && cp < 0xA0)) {
        char buf[16] = {};
        if (xkb_keysym_to_utf8(xkb_keysym_to_upper(ks), buf, sizeof buf) > 1) return buf;
    }
    char name[64] = {};
    if (xkb_keysym_get_name(ks, name, sizeof name) > 0) return name;
    return {};
}

}  // namespace rw::lnx
