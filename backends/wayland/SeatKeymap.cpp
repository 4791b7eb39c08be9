#include "backends/wayland/SeatKeymap.h"

#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>
#include <string>

namespace rw::wl {

namespace {

// A keymap larger than this is no keymap (a usual one is about 60 KB).
constexpr std::uint32_t kMaxKeymapBytes = 16u << 20;

}  // namespace

SeatKeymap::SeatKeymap(WaylandConnection& c) : c_(c) {
    context_ = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    // Version 4 is enough for keymaps and capabilities; wl_keyboard.release
    // came with 3.
    seat_ = static_cast<wl_seat*>(c_.Bind(wl_seat_interface, 4));
    if (seat_ == nullptr) return;
    static const wl_seat_listener listener = {
        &SeatKeymap::OnCapabilities,
        [](void*, wl_seat*, const char*) {},
    };
    wl_seat_add_listener(seat_, &listener, this);
}

SeatKeymap::~SeatKeymap() {
    if (keyboard_ != nullptr) {
        if (wl_keyboard_get_version(keyboard_) >= WL_KEYBOARD_RELEASE_SINCE_VERSION) {
            wl_keyboard_release(keyboard_);
        } else {
            wl_keyboard_destroy(keyboard_);
        }
    }
    if (seat_ != nullptr) {
        if (wl_seat_get_version(seat_) >= WL_SEAT_RELEASE_SINCE_VERSION) {
            wl_seat_release(seat_);
        } else {
            wl_seat_destroy(seat_);
        }
    }
    if (keymap_ != nullptr) xkb_keymap_unref(keymap_);
    if (context_ != nullptr) xkb_context_unref(context_);
}

void SeatKeymap::OnCapabilities(void* data, wl_seat* seat, std::uint32_t caps) {
    auto* self = static_cast<SeatKeymap*>(data);
    self->hasKeyboard_ = (caps & WL_SEAT_CAPABILITY_KEYBOARD) != 0;
    if (!self->hasKeyboard_ || self->keyboard_ != nullptr) return;
    self->keyboard_ = wl_seat_get_keyboard(seat);
    static const wl_keyboard_listener listener = {
        &SeatKeymap::OnKeymap,
        [](void*, wl_keyboard*, std::uint32_t, wl_surface*, wl_array*) {},
        [](void*, wl_keyboard*, std::uint32_t, wl_surface*) {},
        [](void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {},
        [](void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {},
        [](void*, wl_keyboard*, std::int32_t, std::int32_t) {},
    };
    wl_keyboard_add_listener(self->keyboard_, &listener, self);
}

void SeatKeymap::OnKeymap(void* data, wl_keyboard*, std::uint32_t format, std::int32_t fd, std::uint32_t size) {
    auto* self = static_cast<SeatKeymap*>(data);
    if (format != WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 || size == 0 || size > kMaxKeymapBytes ||
        self->context_ == nullptr) {
        close(fd);
        return;
    }
    void* map = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    close(fd);
    if (map == MAP_FAILED) return;
    // The text ends at its terminating zero, or at the end of the mapping.
    const char* text = static_cast<const char*>(map);
    const std::string keymapText(text, std::find(text, text + size, '\0'));
    munmap(map, size);
    xkb_keymap* keymap = xkb_keymap_new_from_buffer(self->context_, keymapText.data(), keymapText.size(),
                                                    XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (keymap == nullptr) return;
    if (self->keymap_ != nullptr) xkb_keymap_unref(self->keymap_);
    self->keymap_ = keymap;
    ++self->generation_;
}

}  // namespace rw::wl
