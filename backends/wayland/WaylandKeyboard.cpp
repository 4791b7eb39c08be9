#include "backends/wayland/WaylandKeyboard.h"

#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <cstdlib>
#include <cstring>

#include "backends/linux/Keysyms.h"
#include "backends/linux/LinuxUtil.h"
#include "backends/posix/PosixProcess.h"
#include "backends/wayland/XkbLayout.h"
#include "platform/Keys.h"
#include "virtual-keyboard-unstable-v1-client-protocol.h"

namespace rw::wl {

namespace {

// A seat that had no keyboard loses the first keys that follow the first
// keymap by less than this.
constexpr std::uint32_t kFirstKeymapSettleMs = 200;
constexpr std::size_t kMaxSpares = 256;
constexpr std::uint8_t kLockVks[] = {0x14, 0x90, 0x91};

const char* LockModName(std::uint8_t vk) {
    switch (vk) {
        case 0x14: return XKB_MOD_NAME_CAPS;
        case 0x90: return XKB_MOD_NAME_NUM;
        default: return nullptr;
    }
}

}  // namespace

WaylandKeyboard::WaylandKeyboard(WaylandConnection& c, Windows& windows) : c_(c), windows_(windows) {
    context_ = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    // No names: the XKB defaults (XKB_DEFAULT_LAYOUT, ... or the system's).
    if (context_ != nullptr) base_ = xkb_keymap_new_from_names(context_, nullptr, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (base_ != nullptr) {
        char* text = xkb_keymap_get_as_string(base_, XKB_KEYMAP_FORMAT_TEXT_V1);
        if (text != nullptr) baseText_ = text;
        std::free(text);
        // Spare keys: a name, no keysym at all, no modifier; the highest
        // first, far from the keys people press.
        for (xkb_keycode_t k = xkb_keymap_max_keycode(base_);
             k >= xkb_keymap_min_keycode(base_) && k > 8 && spares_.size() < kMaxSpares; --k) {
            if (xkb_keymap_key_get_name(base_, k) == nullptr) continue;
            if (xkb_keymap_num_layouts_for_key(base_, k) != 0) continue;
            spares_.push_back(k);
        }
    }
}

WaylandKeyboard::~WaylandKeyboard() {
    if (keyboard_ != nullptr) {
        const std::set<xkb_keycode_t> down = down_;
        for (xkb_keycode_t k : down) SendKey(k, false);
        zwp_virtual_keyboard_v1_destroy(keyboard_);
        if (c_.Ok()) wl_display_flush(c_.display());
    }
    if (state_ != nullptr) xkb_state_unref(state_);
    if (keymap_ != nullptr) xkb_keymap_unref(keymap_);
    if (base_ != nullptr) xkb_keymap_unref(base_);
    if (context_ != nullptr) xkb_context_unref(context_);
}

bool WaylandKeyboard::Start() {
    if (keyboard_ != nullptr) return true;
    if (base_ == nullptr || c_.virtualKeyboards() == nullptr || c_.seat() == nullptr) return false;
    keyboard_ = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(c_.virtualKeyboards(), c_.seat());
    if (!BuildKeymap() || !SendKeymap()) return false;
    firstKeymapMs_ = posix::MonotonicMs();
    return c_.Roundtrip();
}

bool WaylandKeyboard::BuildKeymap() {
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
    if (locked != 0) {
        xkb_state_update_mask(state, xkb_state_serialize_mods(state, XKB_STATE_MODS_DEPRESSED),
                              xkb_state_serialize_mods(state, XKB_STATE_MODS_LATCHED), locked, 0, 0, 0);
    }
    if (state_ != nullptr) xkb_state_unref(state_);
    if (keymap_ != nullptr) xkb_keymap_unref(keymap_);
    keymap_ = keymap;
    state_ = state;
    keymapText_ = std::move(text);

    places_ = CharPlaces(keymap_);
    return true;
}

bool WaylandKeyboard::SendKeymap() {
    if (keyboard_ == nullptr) return false;
    const std::size_t size = keymapText_.size() + 1;
    const int fd = memfd_create("replywick-keymap", MFD_CLOEXEC);
    if (fd < 0) return false;
    bool ok = ftruncate(fd, static_cast<off_t>(size)) == 0;
    if (ok) {
        void* map = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        ok = map != MAP_FAILED;
        if (ok) {
            std::memcpy(map, keymapText_.c_str(), size);
            munmap(map, size);
        }
    }
    if (ok) {
        zwp_virtual_keyboard_v1_keymap(keyboard_, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd,
                                       static_cast<std::uint32_t>(size));
        wl_display_flush(c_.display());
    }
    close(fd);
    return ok;
}

void WaylandKeyboard::SendKey(xkb_keycode_t key, bool down) {
    if (!Ok() || !c_.Ok() || key < 8) return;
    if (!keyYet_) {
        const std::uint32_t since = posix::MonotonicMs() - firstKeymapMs_;
        if (since < kFirstKeymapSettleMs) posix::SleepMs(kFirstKeymapSettleMs - since);
        keyYet_ = true;
    }
    zwp_virtual_keyboard_v1_key(keyboard_, posix::MonotonicMs(), key - 8,
                                down ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
    xkb_state_update_key(state_, key, down ? XKB_KEY_DOWN : XKB_KEY_UP);
    if (down) {
        down_.insert(key);
    } else {
        down_.erase(key);
    }
    SendModifiers();
    c_.NoteSent();
}

void WaylandKeyboard::SendModifiers() {
    zwp_virtual_keyboard_v1_modifiers(keyboard_, xkb_state_serialize_mods(state_, XKB_STATE_MODS_DEPRESSED),
                                      xkb_state_serialize_mods(state_, XKB_STATE_MODS_LATCHED),
                                      locksHidden_ ? 0 : xkb_state_serialize_mods(state_, XKB_STATE_MODS_LOCKED),
                                      xkb_state_serialize_layout(state_, XKB_STATE_LAYOUT_EFFECTIVE));
    wl_display_flush(c_.display());
}

void WaylandKeyboard::Tap(xkb_keycode_t key) {
    if (!MayPress()) return;
    SendKey(key, true);
    SendKey(key, false);
}

void WaylandKeyboard::AimKeysAt(const WindowIdentity& target) {
    target_ = target;
    aimed_ = true;
    refused_ = false;
}

bool WaylandKeyboard::MayPress() {
    if (!aimed_) return true;
    if (refused_) return false;
    // The compositor's word on the foreground as of now: a round trip when
    // keys went out since the last one, else what has arrived.
    c_.SyncSent();
    if (windows_.GetForegroundWindow() == target_.handle && windows_.IsSameWindow(target_)) return true;
    refused_ = true;
    return false;
}

bool WaylandKeyboard::FindChar(std::uint32_t cp, KeyPlace& place) {
    auto it = places_.find(cp);
    if (it == places_.end()) return false;
    place = it->second;
    return true;
}

xkb_keycode_t WaylandKeyboard::LendSpare(xkb_keysym_t keysym) {
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
        // was delivered with the keymap it was typed with (see the header).
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

bool WaylandKeyboard::PostChar(WinHandle w, const std::string& ch) {
    if (!Ok() || w == 0) return false;
    std::int32_t cp = lnx::DecodeUtf8Char(ch);
    if (cp < 0) return false;
    // A line feed in a macro starts a new line: Return is its key.
    if (cp == '\n') cp = '\r';
    if (cp < 0x20 && cp != '\r' && cp != '\t' && cp != 0x08 && cp != 0x1B) return false;
    if (cp == 0x7F) return false;
    KeyPlace place;
    if (!FindChar(static_cast<std::uint32_t>(cp), place)) {
        // The Unicode keysym, never a legacy one: toolkits translate every
        // Unicode keysym, not every legacy one (a GTK 3 entry lost the
        // legacy per-mille keysym).
        const xkb_keysym_t ks = 0x01000000u | static_cast<std::uint32_t>(cp);
        if (LendSpare(ks) == 0 || !FindChar(static_cast<std::uint32_t>(cp), place)) return false;
    }
    auto extra = extras_.find(place.key);
    if (extra != extras_.end()) extra->second.lastUse = ++useCounter_;
    xkb_keycode_t shiftKey = 0;
    if (place.shift && xkb_state_mod_name_is_active(state_, XKB_MOD_NAME_SHIFT, XKB_STATE_MODS_DEPRESSED) <= 0)
        shiftKey = KeyOfVk(0xA0);
    // Checked once for the character: its Shift, press and release follow
    // each other at once.
    if (!MayPress()) return false;
    const bool aimed = aimed_;
    aimed_ = false;
    // The character arrives as written whatever the lock state (Caps Lock
    // would turn "a" into "A"): the locks are hidden for its keys and shown
    // again after them.
    const bool locked = xkb_state_serialize_mods(state_, XKB_STATE_MODS_LOCKED) != 0;
    if (locked) {
        locksHidden_ = true;
        SendModifiers();
    }
    if (shiftKey != 0) SendKey(shiftKey, true);
    Tap(place.key);
    if (shiftKey != 0) SendKey(shiftKey, false);
    if (locked) {
        locksHidden_ = false;
        SendModifiers();
    }
    aimed_ = aimed;
    return true;
}

xkb_keycode_t WaylandKeyboard::KeyOfVk(std::uint8_t vk) { return wl::KeyOfVk(base_, vk); }

std::int16_t WaylandKeyboard::VkKeyScan(const std::string& ch) {
    const std::int32_t cp = lnx::DecodeUtf8Char(ch);
    KeyPlace place;
    if (cp < 0 || !FindChar(static_cast<std::uint32_t>(cp), place) || extras_.count(place.key) != 0) return -1;
    return VkScanOf(base_, place);
}

std::uint32_t WaylandKeyboard::MapVirtualKey(std::uint32_t vk) {
    return vk > 0xFF ? 0 : KeyOfVk(static_cast<std::uint8_t>(vk));
}

std::string WaylandKeyboard::GetKeyNameText(std::int32_t lParam) { return KeyNameText(base_, lParam); }

bool WaylandKeyboard::LockOn(std::uint8_t vk) {
    if (state_ == nullptr) return false;
    if (const char* mod = LockModName(vk))
        return xkb_state_mod_name_is_active(state_, mod, XKB_STATE_MODS_LOCKED) > 0;
    return xkb_state_led_name_is_active(state_, XKB_LED_NAME_SCROLL) > 0;
}

void WaylandKeyboard::KeyEvent(std::uint8_t vk, std::uint8_t, std::uint32_t flags) {
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

std::int16_t WaylandKeyboard::GetKeyState(int vk) {
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

bool WaylandKeyboard::GetKeyboardState(std::array<std::uint8_t, 256>& state) {
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

bool WaylandKeyboard::SetKeyboardState(const std::array<std::uint8_t, 256>& state) {
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
