#include "backends/wayland/XkbLayout.h"

#include <utility>

#include "backends/linux/Keysyms.h"

namespace rw::wl {

namespace {

bool IsKeypadKeysym(xkb_keysym_t ks) { return ks >= XKB_KEY_KP_Space && ks <= XKB_KEY_KP_Equal; }

}  // namespace

std::map<std::uint32_t, KeyPlace> CharPlaces(xkb_keymap* keymap, xkb_layout_index_t layout) {
    std::map<std::uint32_t, KeyPlace> places;
    if (keymap == nullptr) return places;
    const xkb_mod_index_t shiftIndex = xkb_keymap_mod_get_index(keymap, XKB_MOD_NAME_SHIFT);
    const xkb_mod_mask_t shiftMask = shiftIndex == XKB_MOD_INVALID ? 0 : (1u << shiftIndex);
    for (int pass = 0; pass < 2; ++pass) {
        const xkb_mod_mask_t want = pass == 0 ? 0 : shiftMask;
        if (pass == 1 && shiftMask == 0) break;
        for (xkb_keycode_t k = xkb_keymap_min_keycode(keymap); k <= xkb_keymap_max_keycode(keymap); ++k) {
            const xkb_layout_index_t layouts = xkb_keymap_num_layouts_for_key(keymap, k);
            if (layouts == 0) continue;
            const xkb_layout_index_t g = layout < layouts ? layout : 0;
            const xkb_level_index_t levels = xkb_keymap_num_levels_for_key(keymap, k, g);
            for (xkb_level_index_t l = 0; l < levels; ++l) {
                xkb_mod_mask_t masks[8];
                const std::size_t n = xkb_keymap_key_get_mods_for_level(keymap, k, g, l, masks, 8);
                bool reachable = false;
                for (std::size_t i = 0; i < n; ++i) reachable = reachable || masks[i] == want;
                // ONE_LEVEL keys list no mask for their only level.
                if (n == 0 && l == 0 && want == 0) reachable = true;
                if (!reachable) continue;
                const xkb_keysym_t* syms = nullptr;
                if (xkb_keymap_key_get_syms_by_level(keymap, k, g, l, &syms) != 1) continue;
                if (IsKeypadKeysym(syms[0])) continue;
                const std::uint32_t cp = xkb_keysym_to_utf32(syms[0]);
                if (cp == 0 || places.count(cp) != 0) continue;
                places[cp] = KeyPlace{k, pass == 1};
            }
        }
    }
    return places;
}

xkb_keycode_t KeyOfKeysym(xkb_keymap* keymap, xkb_keysym_t keysym) {
    if (keymap == nullptr || keysym == 0) return 0;
    for (xkb_level_index_t level = 0; level < 2; ++level) {
        for (xkb_keycode_t k = xkb_keymap_min_keycode(keymap); k <= xkb_keymap_max_keycode(keymap); ++k) {
            if (xkb_keymap_num_layouts_for_key(keymap, k) == 0) continue;
            const xkb_keysym_t* syms = nullptr;
            if (xkb_keymap_key_get_syms_by_level(keymap, k, 0, level, &syms) == 1 && syms[0] == keysym) return k;
        }
    }
    return 0;
}

xkb_keycode_t KeyOfVk(xkb_keymap* keymap, std::uint8_t vk) {
    const lnx::VkBinding b = lnx::BindingOfVk(vk);
    xkb_keycode_t k = KeyOfKeysym(keymap, b.keysym);
    if (k == 0 && b.xkbKeyName != nullptr && keymap != nullptr) {
        k = xkb_keymap_key_by_name(keymap, b.xkbKeyName);
        if (k == XKB_KEYCODE_INVALID) k = 0;
    }
    return k;
}

std::uint8_t VkOfKey(xkb_keymap* keymap, xkb_keycode_t key) {
    if (key == 0) return 0;
    // Letters, digits and the common keys first, then punctuation and the
    // keypad: the first code that has this key is its code.
    static const std::pair<int, int> ranges[] = {{0x41, 0x5A}, {0x30, 0x39}, {0x20, 0x20}, {0x0D, 0x0D},
                                                 {0x09, 0x09}, {0x08, 0x08}, {0x1B, 0x1B}, {0xBA, 0xE2},
                                                 {0x60, 0x6F}};
    for (const auto& [first, last] : ranges)
        for (int vk = first; vk <= last; ++vk)
            if (KeyOfVk(keymap, static_cast<std::uint8_t>(vk)) == key) return static_cast<std::uint8_t>(vk);
    return 0;
}

std::int16_t VkScanOf(xkb_keymap* keymap, const KeyPlace& place) {
    const std::uint8_t vk = VkOfKey(keymap, place.key);
    if (vk == 0) return -1;
    return static_cast<std::int16_t>((place.shift ? 0x100 : 0) | vk);
}

std::string KeyNameText(xkb_keymap* keymap, std::int32_t lParam) {
    const auto key = static_cast<xkb_keycode_t>(static_cast<std::uint32_t>(lParam >> 16) & 0xFFu);
    if (keymap == nullptr || key < xkb_keymap_min_keycode(keymap) || key > xkb_keymap_max_keycode(keymap)) return {};
    const xkb_keysym_t* syms = nullptr;
    if (xkb_keymap_key_get_syms_by_level(keymap, key, 0, 0, &syms) != 1) return {};
    return lnx::KeysymLabel(syms[0]);
}

}  // namespace rw::wl
