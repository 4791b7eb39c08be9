// The Input role on a wlroots compositor: a virtual keyboard of the seat
// whose keymap is the user's layout (the XKB defaults: XKB_DEFAULT_LAYOUT
// and its siblings, else the system's) with keysyms added on spare keys for
// characters the layout lacks.
//
// The whole layout is sent, not a keymap made for the characters of the
// moment: toolkits (GTK 3) then still know Return, BackSpace, Delete and
// Ctrl combinations. A character the layout lacks gets a spare key (one
// with a name but no keysym) for good, as long as spares last; then the
// least recently used one changes its keysym. The compositor hands a new
// keymap to the focused program before the keys that follow, so a key
// never reaches a program with a keymap it was not typed with.
//
// The compositor computes no modifiers for a virtual keyboard's keys on
// every compositor, so the keyboard keeps its own XKB state (XkbKeyboard)
// and reports its modifiers after every key.
#pragma once

#include <cstdint>
#include <string>

#include "backends/wayland/XkbKeyboard.h"

struct zwp_virtual_keyboard_v1;

namespace rw::wl {

class WaylandKeyboard final : public XkbKeyboard {
public:
    // windows: the toplevels, for the check before each key press.
    WaylandKeyboard(WaylandConnection& c, Windows& windows);
    // Keys still down go up.
    ~WaylandKeyboard() override;
    WaylandKeyboard(const WaylandKeyboard&) = delete;
    WaylandKeyboard& operator=(const WaylandKeyboard&) = delete;

    // Creates the virtual keyboard and sends the layout: done at start, so
    // that the seat has a keyboard long before the first key.
    bool Start() override;

private:
    bool Ready() const override { return keyboard_ != nullptr; }
    void Key(std::uint32_t evdev, bool down) override;
    void Modifiers(xkb_mod_mask_t depressed, xkb_mod_mask_t latched, xkb_mod_mask_t locked,
                   xkb_layout_index_t layout) override;
    bool SendKeymap() override;
    // A spare key gets the character.
    MissingChar Missing(WinHandle w, std::uint32_t cp, const std::string& ch) override;
    // The modifiers the seat is told leave the locks out meanwhile.
    bool HideLocks(bool hide) override;

    zwp_virtual_keyboard_v1* keyboard_ = nullptr;
    bool locksHidden_ = false;
    std::uint32_t firstKeymapMs_ = 0;
    bool keyYet_ = false;
};

}  // namespace rw::wl
