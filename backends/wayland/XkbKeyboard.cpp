#include "backends/wayland/XkbKeyboard.h"

#include <cstdlib>

#include "backends/linux/Keysyms.h"
#include "backends/linux/LinuxUtil.h"
#include "platform/Keys.h"

namespace rw::wl {

namespace {

constexpr std::size_t kMaxSpares = 256;
constexpr std::uint8_t kLockVks[] = {0x14, 0x90, 0x91};

const char* LockModName(std::uint8_t vk) {
    switch (vk) {
        case 0x14: return XKB_MOD_NAME_CAPS;
        case 0x90: return XKB_MOD_NAME_NUM;
        default: return nullptr;
    }
}

bool IsKeypadKeysym(xkb_keysym_t ks) { return ks >= XKB_KEY_KP_Space && ks <= XKB_KEY_KP_Equal; }

}  // namespace

XkbKeyboard::XkbKeyboard(WaylandConnection& c, Windows& windows) : c_(c), windows_(windows) {
    context_ = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
}

XkbKeyboard::~XkbKeyboard() {
    if (state_ != nullptr) xkb_state_unref(state_);
    if (keymap_ != nullptr) xkb_keymap_unref(keymap_);
    if (base_ != nullptr) xkb_keymap_unref(base_);
    if (context_ != nullptr) xkb_context_unref(context_);
}

bool XkbKeyboard::UseDefaultLayout() {
    // No names: the XKB defaults (XKB_DEFAULT_LAYOUT, ... or the system's).
    return context_ != nullptr &&
           SetBase(xkb_keymap_new_from_names(context_, nullptr, XKB_KEYMAP_COMPILE_NO_FLAGS));
}

bool XkbKeyboard::UseLayout(const std::string& text) {
    return context_ != nullptr && SetBase(xkb_keymap_new_from_string(context_, text.c_str(), XKB_KEYMAP_FORMAT_TEXT_V1,
                                                                     XKB_KEYMAP_COMPILE_NO_FLAGS));
}

void XkbKeyboard::UseGroup(xkb_layout_index_t group) {
    if (group == group_) return;
    group_ = group;
    if (keymap_ != nullptr) BuildKeymap();
}

void XkbKeyboard::UseLock(const char* modName, bool on) {
    if (state_ == nullptr) return;
    const xkb_mod_index_t index = xkb_keymap_mod_get_index(keymap_, modName);
    if (index == XKB_MOD_INVALID) return;
    const xkb_mod_mask_t locked = xkb_state_serialize_mods(state_, XKB_STATE_MODS_LOCKED);
    const xkb_mod_mask_t want = on ? locked | (1u << index) : locked & ~(1u << index);
    if (want == locked) return;
    xkb_state_update_mask(state_, xkb_state_serialize_mods(state_, XKB_STATE_MODS_DEPRESSED),
                          xkb_state_serialize_mods(state_, XKB_STATE_MODS_LATCHED), want, 0, 0, group_);
}

bool XkbKeyboard::SetBase(xkb_keymap* base) {
    if (base == nullptr) return false;
    char* text = xkb_keymap_get_as_string(base, XKB_KEYMAP_FORMAT_TEXT_V1);
    if (text == nullptr) {
        xkb_keymap_unref(base);
        return false;
    }
    baseText_ = text;
    std::free(text);
    if (base_ != nullptr) xkb_keymap_unref(base_);
    base_ = base;
    // Spare keys: a name, no keysym at all, no modifier; the highest first,
    // far from the keys people press.
    spares_.clear();
    extras_.clear();
    for (xkb_keycode_t k = xkb_keymap_max_keycode(base_);
         k >= xkb_keymap_min_keycode(base_) && k > 8 && spares_.size() < kMaxSpares; --k) {
        if (xkb_keymap_key_get_name(base_, k) == nullptr) continue;
        if (xkb_keymap_num_layouts_for_key(base_, k) != 0) continue;
        spares_.push_back(k);
    }
    return BuildKeymap();
}

bool XkbKeyboard::BuildKeymap() {
    std::string text = baseText_;
    if (!extras_.empty()) {
        // The symbols section is the keymap's last: the extras go at its end.
        const auto keymapEnd = text.rfind("};");
        const auto symbolsEnd = keymapEnd == std::string::npos ? keymapEnd : text.rfind("};", keymapEnd - 1);
        if (symbolsEnd == std::string::npos) return false;
        std::string lines;
        for (const auto& [key, extra] : extras_) {
            char name[64];
            if (xkb_keysym_get_name(extra.keysym, name, sizeof name) <= 0) continue;
            lines += "\tkey <";
            lines += xkb_keymap_key_get_name(base_, key);
            lines += "> { type= \"ONE_LEVEL\", symbols[Group1]= [ ";
            lines += name;
            lines += " ] };\n";
        }
        text.insert(symbolsEnd, lines);
    }
    xkb_keymap* keymap =
        xkb_keymap_new_from_buffer(context_, text.data(), text.size(), XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (keymap == nullptr) return false;
    // The new state keeps the keys down and the locks of the old one.
    xkb_state* state = xkb_state_new(keymap);
    xkb_mod_mask_t locked = state_ ? xkb_state_serialize_mods(state_, XKB_STATE_MODS_LOCKED) : 0;
    for (xkb_keycode_t k : down_) xkb_state_update_key(state, k, XKB_KEY_DOWN);
    xkb_state_update_mask(state, xkb_state_serialize_mods(state, XKB_STATE_MODS_DEPRESSED),
                          xkb_state_serialize_mods(state, XKB_STATE_MODS_LATCHED), locked, 0, 0, group_);
    if (state_ != nullptr) xkb_state_unref(state_);
    if (keymap_ != nullptr) xkb_keymap_unref(keymap_);
    keymap_ = keymap;
    state_ = state;
    keymapText_ = std::move(text);

    // Where each character is: the first key that gives it without a
    // modifier, else the first with Shift alone. Keypad keys depend on Num
    // Lock: the main keys serve.
    places_.clear();
    const xkb_mod_index_t shiftIndex = xkb_keymap_mod_get_index(keymap_, XKB_MOD_NAME_SHIFT);
    const xkb_mod_mask_t shiftMask = shiftIndex == XKB_MOD_INVALID ? 0 : (1u << shiftIndex);
    for (int pass = 0; pass < 2; ++pass) {
        const xkb_mod_mask_t want = pass == 0 ? 0 : shiftMask;
        if (pass == 1 && shiftMask == 0) break;
        for (xkb_keycode_t k = xkb_keymap_min_keycode(keymap_); k <= xkb_keymap_max_keycode(keymap_); ++k) {
            const xkb_layout_index_t layouts = xkb_keymap_num_layouts_for_key(keymap_, k);
            if (layouts == 0) continue;
            // A key with fewer groups than the keymap gives its first.
            const xkb_layout_index_t g = group_ < layouts ? group_ : 0;
            const xkb_level_index_t levels = xkb_keymap_num_levels_for_key(keymap_, k, g);
            for (xkb_level_index_t l = 0; l < levels; ++l) {
                xkb_mod_mask_t masks[8];
                const std::size_t n = xkb_keymap_key_get_mods_for_level(keymap_, k, g, l, masks, 8);
                bool reachable = false;
                for (std::size_t i = 0; i < n; ++i) reachable = reachable || masks[i] == want;
                // ONE_LEVEL keys list no mask for their only level.
                if (n == 0 && l == 0 && want == 0) reachable = true;
                if (!reachable) continue;
                const xkb_keysym_t* syms = nullptr;
                if (xkb_keymap_key_get_syms_by_level(keymap_, k, g, l, &syms) != 1) continue;
                if (IsKeypadKeysym(syms[0])) continue;
                const std::uint32_t cp = xkb_keysym_to_utf32(syms[0]);
                if (cp == 0 || places_.count(cp) != 0) continue;
                places_[cp] = Place{k, pass == 1};
            }
        }
    }
    return true;
}

void XkbKeyboard::ReleaseAll() {
    const std::set<xkb_keycode_t> down = down_;
    for (xkb_keycode_t k : down) SendKey(k, false);
}

void XkbKeyboard::SendKey(xkb_keycode_t key, bool down) {
    if (!Ok() || !c_.Ok() || key < 8) return;
    Key(key - 8, down);
    xkb_state_update_key(state_, key, down ? XKB_KEY_DOWN : XKB_KEY_UP);
    if (down) {
        down_.insert(key);
    } else {
        down_.erase(key);
    }
    Modifiers(xkb_state_serialize_mods(state_, XKB_STATE_MODS_DEPRESSED),
              xkb_state_serialize_mods(state_, XKB_STATE_MODS_LATCHED),
              xkb_state_serialize_mods(state_, XKB_STATE_MODS_LOCKED),
              xkb_state_serialize_layout(state_, XKB_STATE_LAYOUT_EFFECTIVE));
    c_.NoteSent();
}

void XkbKeyboard::Tap(xkb_keycode_t key) {
    if (!MayPress()) return;
    SendKey(key, true);
    SendKey(key, false);
}

void XkbKeyboard::AimKeysAt(const WindowIdentity& target) {
    target_ = target;
    aimed_ = true;
    refused_ = false;
}

bool XkbKeyboard::MayPress() {
    if (!aimed_) return true;
    if (refused_) return false;
    // The compositor's word on the foreground as of now: a round trip when
    // keys went out since the last one, else what has arrived.
    c_.SyncSent();
    if (windows_.GetForegroundWindow() == target_.handle && windows_.IsSameWindow(target_)) return true;
    refused_ = true;
    return false;
}

bool XkbKeyboard::FindChar(std::uint32_t cp, Place& place) {
    auto it = places_.find(cp);
    if (it == places_.end()) return false;
    place = it->second;
    return true;
}

bool XkbKeyboard::ShiftUnderLocks(xkb_keycode_t key, std::uint32_t cp, bool fallback) {
    const xkb_mod_index_t shiftIndex = xkb_keymap_mod_get_index(keymap_, XKB_MOD_NAME_SHIFT);
    if (shiftIndex == XKB_MOD_INVALID) return fallback;
    xkb_state* probe = xkb_state_new(keymap_);
    if (probe == nullptr) return fallback;
    const xkb_mod_mask_t locked = xkb_state_serialize_mods(state_, XKB_STATE_MODS_LOCKED);
    bool shift = fallback;
    for (const bool s : {fallback, !fallback}) {
        xkb_state_update_mask(probe, s ? (1u << shiftIndex) : 0, 0, locked, 0, 0, group_);
        if (xkb_state_key_get_utf32(probe, key) == cp) {
            shift = s;
            break;
        }
    }
    xkb_state_unref(probe);
    return shift;
}

xkb_keycode_t XkbKeyboard::LendSpare(xkb_keysym_t keysym) {
    if (spares_.empty()) return 0;
    xkb_keycode_t pick = 0;
    for (xkb_keycode_t k : spares_) {
        if (extras_.count(k) == 0) {
            pick = k;
            break;
        }
    }
    if (pick == 0) {
        // All lent: the least recently used one changes. Its old character
        // was delivered with the keymap it was typed with.
        std::uint64_t oldest = UINT64_MAX;
        for (const auto& [k, e] : extras_) {
            if (e.lastUse < oldest && down_.count(k) == 0) {
                oldest = e.lastUse;
                pick = k;
            }
        }
        if (pick == 0) return 0;
    }
    extras_[pick] = Extra{keysym, 0};
    if (!BuildKeymap() || !SendKeymap()) {
        extras_.erase(pick);
        BuildKeymap();
        return 0;
    }
    return pick;
}

bool XkbKeyboard::PostChar(WinHandle w, const std::string& ch) {
    if (!Ok() || w == 0) return false;
    std::int32_t cp = lnx::DecodeUtf8Char(ch);
    if (cp < 0) return false;
    // A line feed in a macro starts a new line: Return is its key.
    if (cp == '\n') cp = '\r';
    if (cp < 0x20 && cp != '\r' && cp != '\t' && cp != 0x08 && cp != 0x1B) return false;
    if (cp == 0x7F) return false;
    const auto code = static_cast<std::uint32_t>(cp);
    Place place;
    if (!FindChar(code, place)) {
        const MissingChar missing = Missing(w, code, ch);
        if (missing == MissingChar::Typed) return true;
        if (missing == MissingChar::Failed || !FindChar(code, place)) return false;
    }
    auto extra = extras_.find(place.key);
    if (extra != extras_.end()) extra->second.lastUse = ++useCounter_;
    // Checked once for the character: its Shift, press and release follow
    // each other at once.
    if (!MayPress()) return false;
    const bool aimed = aimed_;
    aimed_ = false;
    // The character arrives as written whatever the lock state (Caps Lock
    // would turn "a" into "A"): the locks are hidden for its keys, or where
    // they cannot be, Shift undoes what they do.
    const bool locked = xkb_state_serialize_mods(state_, XKB_STATE_MODS_LOCKED) != 0;
    const bool hidden = locked && HideLocks(true);
    const bool shift = locked && !hidden ? ShiftUnderLocks(place.key, code, place.shift) : place.shift;
    xkb_keycode_t shiftKey = 0;
    if (shift && xkb_state_mod_name_is_active(state_, XKB_MOD_NAME_SHIFT, XKB_STATE_MODS_DEPRESSED) <= 0)
        shiftKey = KeyOfVk(0xA0);
    if (shiftKey != 0) SendKey(shiftKey, true);
    Tap(place.key);
    if (shiftKey != 0) SendKey(shiftKey, false);
    if (hidden) HideLocks(false);
    aimed_ = aimed;
    return true;
}

xkb_keycode_t XkbKeyboard::KeyOfKeysym(xkb_keysym_t keysym) {
    if (base_ == nullptr || keysym == 0) return 0;
    for (xkb_level_index_t level = 0; level < 2; ++level) {
        for (xkb_keycode_t k = xkb_keymap_min_keycode(base_); k <= xkb_keymap_max_keycode(base_); ++k) {
            if (xkb_keymap_num_layouts_for_key(base_, k) == 0) continue;
            const xkb_keysym_t* syms = nullptr;
            if (xkb_keymap_key_get_syms_by_level(base_, k, 0, level, &syms) == 1 && syms[0] == keysym) return k;
        }
    }
    return 0;
}

xkb_keycode_t XkbKeyboard::KeyOfVk(std::uint8_t vk) {
    const lnx::VkBinding b = lnx::BindingOfVk(vk);
    xkb_keycode_t k = KeyOfKeysym(b.keysym);
    if (k == 0 && b.xkbKeyName != nullptr && base_ != nullptr) {
        k = xkb_keymap_key_by_name(base_, b.xkbKeyName);
        if (k == XKB_KEYCODE_INVALID) k = 0;
    }
    return k;
}

std::uint8_t XkbKeyboard::VkOfKey(xkb_keycode_t key) {
    if (key == 0) return 0;
    // Letters, digits and the common keys first, then punctuation and the
    // keypad: the first code that has this key is its code.
    static const std::pair<int, int> ranges[] = {{0x41, 0x5A}, {0x30, 0x39}, {0x20, 0x20}, {0x0D, 0x0D},
                                                 {0x09, 0x09}, {0x08, 0x08}, {0x1B, 0x1B}, {0xBA, 0xE2},
                                                 {0x60, 0x6F}};
    for (const auto& [first, last] : ranges)
        for (int vk = first; vk <= last; ++vk)
            if (KeyOfVk(static_cast<std::uint8_t>(vk)) == key) return static_cast<std::uint8_t>(vk);
    return 0;
}

std::int16_t XkbKeyboard::VkKeyScan(const std::string& ch) {
    const std::int32_t cp = lnx::DecodeUtf8Char(ch);
    Place place;
    if (cp < 0 || !FindChar(static_cast<std::uint32_t>(cp), place) || extras_.count(place.key) != 0) return -1;
    const std::uint8_t vk = VkOfKey(place.key);
    if (vk == 0) return -1;
    return static_cast<std::int16_t>((place.shift ? 0x100 : 0) | vk);
}

std::uint32_t XkbKeyboard::MapVirtualKey(std::uint32_t vk) {
    return vk > 0xFF ? 0 : KeyOfVk(static_cast<std::uint8_t>(vk));
}

std::string XkbKeyboard::GetKeyNameText(std::int32_t lParam) {
    const auto key = static_cast<xkb_keycode_t>(static_cast<std::uint32_t>(lParam >> 16) & 0xFFu);
    if (base_ == nullptr || key < xkb_keymap_min_keycode(base_) || key > xkb_keymap_max_keycode(base_)) return {};
    const xkb_keysym_t* syms = nullptr;
    if (xkb_keymap_key_get_syms_by_level(base_, key, 0, 0, &syms) != 1) return {};
    return lnx::KeysymLabel(syms[0]);
}

bool XkbKeyboard::LockOn(std::uint8_t vk) {
    if (state_ == nullptr) return false;
    if (const char* mod = LockModName(vk))
        return xkb_state_mod_name_is_active(state_, mod, XKB_STATE_MODS_LOCKED) > 0;
    return xkb_state_led_name_is_active(state_, XKB_LED_NAME_SCROLL) > 0;
}

void XkbKeyboard::KeyEvent(std::uint8_t vk, std::uint8_t, std::uint32_t flags) {
    if (!Ok()) return;
    const bool down = (flags & keyflag::KeyUp) == 0;
    const xkb_keycode_t key = KeyOfVk(vk);
    if (key == 0) return;
    if (lnx::IsLockVk(vk)) {
        // A tap of a lock key toggles it; the state changes on the way down.
        if (down) Tap(key);
        return;
    }
    if (down && !MayPress()) return;
    if (down_.count(key) != 0 && down) SendKey(key, false);
    SendKey(key, down);
}

std::int16_t XkbKeyboard::GetKeyState(int vk) {
    if (vk <= 0 || vk > 0xFF) return 0;
    const auto v = static_cast<std::uint8_t>(vk);
    auto isDown = [this](std::uint8_t code) {
        const xkb_keycode_t k = KeyOfVk(code);
        return k != 0 && down_.count(k) != 0;
    };
    bool d = isDown(v);
    if (v == 0x10) d = isDown(0xA0) || isDown(0xA1);
    if (v == 0x11) d = isDown(0xA2) || isDown(0xA3);
    if (v == 0x12) d = isDown(0xA4) || isDown(0xA5);
    std::int16_t r = d ? static_cast<std::int16_t>(-128) : 0;
    if (lnx::IsLockVk(v) && LockOn(v)) r = static_cast<std::int16_t>(r | 1);
    return r;
}

bool XkbKeyboard::GetKeyboardState(std::array<std::uint8_t, 256>& state) {
    state.fill(0);
    if (!Ok()) return false;
    if (!down_.empty()) {
        for (int vk = 1; vk < 256; ++vk)
            if (GetKeyState(vk) < 0) state[static_cast<std::size_t>(vk)] = 0x80;
    }
    for (std::uint8_t vk : kLockVks)
        if (LockOn(vk)) state[vk] = static_cast<std::uint8_t>(state[vk] | 1);
    return true;
}

bool XkbKeyboard::SetKeyboardState(const std::array<std::uint8_t, 256>& state) {
    if (!Ok()) return false;
    for (std::uint8_t vk : kLockVks) {
        const bool want = (state[vk] & 1) != 0;
        if (LockOn(vk) == want) continue;
        const xkb_keycode_t key = KeyOfVk(vk);
        if (key != 0) Tap(key);
    }
    return true;
}

}  // namespace rw::wl
