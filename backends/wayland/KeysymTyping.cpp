#include "backends/wayland/KeysymTyping.h"

#include <cstdio>
#include <memory>

namespace rw::wl {

namespace {

struct StateFree {
    void operator()(xkb_state* s) const { xkb_state_unref(s); }
};

// Which layout of several is in use cannot be told from outside (mutter
// tells only the program that has the focus): the first, GNOME's first
// input source, is taken.
constexpr xkb_layout_index_t kLayoutInUse = 0;

xkb_mod_mask_t ModMask(xkb_keymap* keymap, const char* name) {
    const xkb_mod_index_t i = xkb_keymap_mod_get_index(keymap, name);
    return i == XKB_MOD_INVALID ? 0 : (1u << i);
}

}  // namespace

void KeysymTyping::SetKeymap(xkb_keymap* keymap) {
    keymap_ = keymap;
    cache_.clear();
    SetLocks(capsLock_, numLock_);
}

void KeysymTyping::SetLocks(bool capsLock, bool numLock) {
    capsLock_ = capsLock;
    numLock_ = numLock;
    xkb_mod_mask_t locks = 0;
    if (keymap_ != nullptr) {
        if (capsLock) locks |= ModMask(keymap_, XKB_MOD_NAME_CAPS);
        if (numLock) locks |= ModMask(keymap_, XKB_MOD_NAME_NUM);
    }
    if (locks != locks_) cache_.clear();
    locks_ = locks;
}

bool KeysymTyping::Pick(xkb_layout_index_t layout, xkb_keysym_t keysym, xkb_keycode_t& key,
                        xkb_level_index_t& level) const {
    if (keymap_ == nullptr || keysym == XKB_KEY_NoSymbol) return false;
    // As mutter searches: keycodes upwards (its last one left out), levels
    // upwards, the first match wins.
    for (xkb_keycode_t k = xkb_keymap_min_keycode(keymap_); k < xkb_keymap_max_keycode(keymap_); ++k) {
        const xkb_level_index_t levels = xkb_keymap_num_levels_for_key(keymap_, k, layout);
        for (xkb_level_index_t l = 0; l < levels; ++l) {
            const xkb_keysym_t* syms = nullptr;
            const int n = xkb_keymap_key_get_syms_by_level(keymap_, k, layout, l, &syms);
            for (int i = 0; i < n; ++i) {
                if (syms[i] != keysym) continue;
                key = k;
                level = l;
                return true;
            }
        }
    }
    return false;
}

xkb_keysym_t KeysymTyping::Outcome(xkb_layout_index_t layout, xkb_keysym_t keysym) const {
    if (keymap_ == nullptr || layout >= xkb_keymap_num_layouts(keymap_)) return XKB_KEY_NoSymbol;
    xkb_keycode_t key = 0;
    xkb_level_index_t level = 0;
    if (!Pick(layout, keysym, key, level) || level > 2) return XKB_KEY_NoSymbol;
    const std::unique_ptr<xkb_state, StateFree> state(xkb_state_new(keymap_));
    if (!state) return XKB_KEY_NoSymbol;
    xkb_state_update_mask(state.get(), 0, 0, locks_, 0, 0, layout);
    if (level > 0) {
        xkb_keycode_t modKey = 0;
        xkb_level_index_t modLevel = 0;
        if (!Pick(layout, level == 1 ? XKB_KEY_Shift_L : XKB_KEY_ISO_Level3_Shift, modKey, modLevel))
            return XKB_KEY_NoSymbol;
        xkb_state_update_key(state.get(), modKey, XKB_KEY_DOWN);
    }
    return xkb_state_key_get_one_sym(state.get(), key);
}

bool KeysymTyping::Types(xkb_keysym_t keysym, std::uint32_t cp) const {
    const xkb_keysym_t out = Outcome(kLayoutInUse, keysym);
    return out != XKB_KEY_NoSymbol && xkb_keysym_to_utf32(out) == cp;
}

bool KeysymTyping::Reaches(xkb_keysym_t keysym) const { return Outcome(kLayoutInUse, keysym) != XKB_KEY_NoSymbol; }

xkb_keysym_t KeysymTyping::KeysymFor(std::uint32_t cp) {
    if (keymap_ == nullptr || cp == 0) return XKB_KEY_NoSymbol;
    if (auto it = cache_.find(cp); it != cache_.end()) return it->second;
    // The keysyms that stand for the character: the one xkbcommon names for
    // it, and any other of the keymap's (a Unicode keysym where a legacy one
    // exists, say); then, for Caps Lock, the other case of each.
    std::vector<xkb_keysym_t> candidates{xkb_utf32_to_keysym(cp)};
    for (xkb_keycode_t k = xkb_keymap_min_keycode(keymap_); k <= xkb_keymap_max_keycode(keymap_); ++k) {
        const xkb_level_index_t levels = xkb_keymap_num_levels_for_key(keymap_, k, kLayoutInUse);
        for (xkb_level_index_t l = 0; l < levels; ++l) {
            const xkb_keysym_t* syms = nullptr;
            const int n = xkb_keymap_key_get_syms_by_level(keymap_, k, kLayoutInUse, l, &syms);
            for (int i = 0; i < n; ++i)
                if (xkb_keysym_to_utf32(syms[i]) == cp) candidates.push_back(syms[i]);
        }
    }
    const std::size_t plain = candidates.size();
    for (std::size_t i = 0; i < plain; ++i) {
        candidates.push_back(xkb_keysym_to_upper(candidates[i]));
        candidates.push_back(xkb_keysym_to_lower(candidates[i]));
    }
    xkb_keysym_t found = XKB_KEY_NoSymbol;
    for (xkb_keysym_t ks : candidates) {
        if (ks != XKB_KEY_NoSymbol && Types(ks, cp)) {
            found = ks;
            break;
        }
    }
    cache_[cp] = found;
    return found;
}

std::vector<std::pair<xkb_keysym_t, bool>> KeysymTyping::UnicodeEntry(std::uint32_t cp) const {
    std::vector<std::pair<xkb_keysym_t, bool>> keys;
    if (cp == 0 || cp > 0x10FFFF) return keys;
    auto tap = [&keys](xkb_keysym_t ks) {
        keys.emplace_back(ks, true);
        keys.emplace_back(ks, false);
    };
    keys.emplace_back(XKB_KEY_Control_L, true);
    keys.emplace_back(XKB_KEY_Shift_L, true);
    tap(XKB_KEY_u);
    keys.emplace_back(XKB_KEY_Shift_L, false);
    keys.emplace_back(XKB_KEY_Control_L, false);
    char hex[12];
    const int n = std::snprintf(hex, sizeof hex, "%x", static_cast<unsigned>(cp));
    for (int i = 0; i < n; ++i) tap(static_cast<xkb_keysym_t>(static_cast<unsigned char>(hex[i])));
    tap(XKB_KEY_space);
    // Every key is needed: without one the sequence would type something
    // else.
    for (const auto& [ks, down] : keys)
        if (down && !Reaches(ks)) return {};
    return keys;
}

}  // namespace rw::wl
