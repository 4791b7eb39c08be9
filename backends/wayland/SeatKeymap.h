// The compositor's own keymap and whether its seat has a keyboard, learnt
// as any client learns them: through a keyboard of the seat (a seat bound
// for this alone, so that no listener of the connection's is needed). The
// compositor sends the keymap when the keyboard is made and again when it
// changes; key and focus events come only to a client that has the focus,
// which a connection without windows never has.
#pragma once

#include <xkbcommon/xkbcommon.h>

#include <cstdint>

#include "backends/wayland/WaylandConnection.h"

struct wl_seat;
struct wl_keyboard;

namespace rw::wl {

class SeatKeymap {
public:
    explicit SeatKeymap(WaylandConnection& c);
    ~SeatKeymap();
    SeatKeymap(const SeatKeymap&) = delete;
    SeatKeymap& operator=(const SeatKeymap&) = delete;

    // Whether the seat has a keyboard now (a headless compositor's seat has
    // none until a virtual one sends its first key).
    bool HasKeyboard() const { return hasKeyboard_; }
    // The compositor's keymap; nullptr until it has come.
    xkb_keymap* Keymap() const { return keymap_; }
    // Counts up each time a new keymap arrives.
    std::uint32_t Generation() const { return generation_; }

private:
    static void OnCapabilities(void* data, wl_seat* seat, std::uint32_t caps);
    static void OnKeymap(void* data, wl_keyboard* k, std::uint32_t format, std::int32_t fd, std::uint32_t size);

    WaylandConnection& c_;
    wl_seat* seat_ = nullptr;
    wl_keyboard* keyboard_ = nullptr;
    xkb_context* context_ = nullptr;
    xkb_keymap* keymap_ = nullptr;
    bool hasKeyboard_ = false;
    std::uint32_t generation_ = 0;
};

}  // namespace rw::wl
