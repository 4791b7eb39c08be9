#include "backends/wayland/WaylandKeyboard.h"

#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <cstring>

#include "backends/posix/PosixProcess.h"
#include "virtual-keyboard-unstable-v1-client-protocol.h"

namespace rw::wl {

namespace {

// A seat that had no keyboard loses the first keys that follow the first
// keymap by less than this.
constexpr std::uint32_t kFirstKeymapSettleMs = 200;

}  // namespace

WaylandKeyboard::WaylandKeyboard(WaylandConnection& c, Windows& windows) : XkbKeyboard(c, windows) {
    UseDefaultLayout();
}

WaylandKeyboard::~WaylandKeyboard() {
    if (keyboard_ == nullptr) return;
    ReleaseAll();
    zwp_virtual_keyboard_v1_destroy(keyboard_);
    if (connection().Ok()) wl_display_flush(connection().display());
}

bool WaylandKeyboard::Start() {
    if (keyboard_ != nullptr) return true;
    WaylandConnection& c = connection();
    if (KeymapText().empty() || c.virtualKeyboards() == nullptr || c.seat() == nullptr) return false;
    keyboard_ = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(c.virtualKeyboards(), c.seat());
    if (!SendKeymap()) return false;
    firstKeymapMs_ = posix::MonotonicMs();
    return c.Roundtrip();
}

bool WaylandKeyboard::SendKeymap() {
    if (keyboard_ == nullptr) return false;
    const std::string text = KeymapText();
    const std::size_t size = text.size() + 1;
    const int fd = memfd_create("replywick-keymap", MFD_CLOEXEC);
    if (fd < 0) return false;
    bool ok = ftruncate(fd, static_cast<off_t>(size)) == 0;
    if (ok) {
        void* map = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        ok = map != MAP_FAILED;
        if (ok) {
            std::memcpy(map, text.c_str(), size);
            munmap(map, size);
        }
    }
    if (ok) {
        zwp_virtual_keyboard_v1_keymap(keyboard_, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd,
                                       static_cast<std::uint32_t>(size));
        wl_display_flush(connection().display());
    }
    close(fd);
    return ok;
}

void WaylandKeyboard::Key(std::uint32_t evdev, bool down) {
    if (!keyYet_) {
        const std::uint32_t since = posix::MonotonicMs() - firstKeymapMs_;
        if (since < kFirstKeymapSettleMs) posix::SleepMs(kFirstKeymapSettleMs - since);
        keyYet_ = true;
    }
    zwp_virtual_keyboard_v1_key(keyboard_, posix::MonotonicMs(), evdev,
                                down ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
}

void WaylandKeyboard::Modifiers(xkb_mod_mask_t depressed, xkb_mod_mask_t latched, xkb_mod_mask_t locked,
                                xkb_layout_index_t layout) {
    zwp_virtual_keyboard_v1_modifiers(keyboard_, depressed, latched, locksHidden_ ? 0 : locked, layout);
    wl_display_flush(connection().display());
}

bool WaylandKeyboard::HideLocks(bool hide) {
    locksHidden_ = hide;
    xkb_state* s = State();
    Modifiers(xkb_state_serialize_mods(s, XKB_STATE_MODS_DEPRESSED),
              xkb_state_serialize_mods(s, XKB_STATE_MODS_LATCHED),
              xkb_state_serialize_mods(s, XKB_STATE_MODS_LOCKED),
              xkb_state_serialize_layout(s, XKB_STATE_LAYOUT_EFFECTIVE));
    return true;
}

XkbKeyboard::MissingChar WaylandKeyboard::Missing(WinHandle, std::uint32_t cp, const std::string&) {
    // The Unicode keysym, never a legacy one: toolkits translate every
    // Unicode keysym, not every legacy one (a GTK 3 entry lost the legacy
    // per-mille keysym).
    return LendSpare(0x01000000u | cp) != 0 ? MissingChar::OnKey : MissingChar::Failed;
}

}  // namespace rw::wl
