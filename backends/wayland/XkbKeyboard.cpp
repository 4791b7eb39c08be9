#include "backends/wayland/XkbKeyboard.h"

#include <cstdlib>

#include "backends/linux/Keysyms.h"
#include "backends/linux/LinuxUtil.h"
#include "backends/wayland/KeyboardShared.h"
#include "platform/Keys.h"

namespace rw::wl {

namespace {

constexpr std::size_t kMaxSpares = 256;

const char* LockModName(std::uint8_t vk) {
    switch (vk) {
        case 0x14: return XKB_MOD_NAME_CAPS;
        case 0x90: return XKB_MOD_NAME_NUM;
        default: return nullptr;
    }
}

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

bool XkbKeyboard::UseLayout(xkb_keymap* keymap) {
    return context_ != nullptr && keymap != nullptr && SetBase(xkb_keymap_ref(keymap));
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

    places_ = CharPlaces(keymap_, group_);
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

bool XkbKeyboard::FindChar(std::uint32_t cp, KeyPlace& place) {
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
    const std::int32_t cp = TypedCodePoint(ch);
    if (cp < 0) return false;
    const auto code = static_cast<std::uint32_t>(cp);
    KeyPlace place;
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

std::int16_t XkbKeyboard::VkKeyScan(const std::string& ch) {
    const std::int32_t cp = lnx::DecodeUtf8Char(ch);
    KeyPlace place;
    if (cp < 0 || !FindChar(static_cast<std::uint32_t>(cp), place) || extras_.count(place.key) != 0) return -1;
    return VkScanOf(base_, place);
}

std::uint32_t XkbKeyboard::MapVirtualKey(std::uint32_t vk) {
    return vk > 0xFF ? 0 : KeyOfVk(static_cast<std::uint8_t>(vk));
}

std::string XkbKeyboard::GetKeyNameText(std::int32_t lParam) { return KeyNameText(base_, lParam); }

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
    return KeyStateOf(
        vk,
        [this](std::uint8_t code) {
            const xkb_keycode_t k = KeyOfVk(code);
            return k != 0 && down_.count(k) != 0;
        },
        [this](std::uint8_t lock) { return LockOn(lock); });
}

bool XkbKeyboard::GetKeyboardState(std::array<std::uint8_t, 256>& state) {
    state.fill(0);
    if (!Ok()) return false;
    KeyboardStateOf(
        state, !down_.empty(), [this](int vk) { return GetKeyState(vk); },
        [this](std::uint8_t lock) { return LockOn(lock); });
    return true;
}

bool XkbKeyboard::SetKeyboardState(const std::array<std::uint8_t, 256>& state) {
    if (!Ok()) return false;
    SetLocksOf(
        state, [this](std::uint8_t lock) { return LockOn(lock); },
        [this](std::uint8_t vk) {
            const xkb_keycode_t key = KeyOfVk(vk);
            if (key != 0) Tap(key);
        });
    return true;
}

}  // namespace rw::wl
