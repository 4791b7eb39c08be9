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
// every compositor, so the keyboard keeps its own XKB state and reports its
// modifiers after every key.
#pragma once

#include <xkbcommon/xkbcommon.h>

#include <array>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "backends/wayland/Desktop.h"
#include "backends/wayland/WaylandConnection.h"
#include "backends/wayland/XkbLayout.h"
#include "platform/Windows.h"

struct zwp_virtual_keyboard_v1;

namespace rw::wl {

class WaylandKeyboard final : public Keyboard {
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
    bool Ok() const override { return keyboard_ != nullptr && keymap_ != nullptr; }

    // Keys go to the toplevel that has the focus.
    bool CharactersFollowFocus() override { return true; }
    bool PostChar(WinHandle w, const std::string& ch) override;
    std::int16_t VkKeyScan(const std::string& ch) override;
    // The XKB keycode stands in for the scan code.
    std::uint32_t MapVirtualKey(std::uint32_t vk) override;
    std::string GetKeyNameText(std::int32_t lParam) override;
    void KeyEvent(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags) override;
    // The keys this keyboard holds down and its lock states: a Wayland
    // client cannot see other keyboards.
    std::int16_t GetKeyState(int vk) override;
    bool GetKeyboardState(std::array<std::uint8_t, 256>& state) override;
    bool SetKeyboardState(const std::array<std::uint8_t, 256>& state) override;
    // Before each key press and character for the target, the compositor
    // is caught up with and the target must still be the activated
    // toplevel; else the press is refused. Releases always go out.
    void AimKeysAt(const WindowIdentity& target) override;
    void EndKeysFor() override { aimed_ = false; }
    bool KeysRefused() override { return refused_; }

    // The keymap sent: the layout and the extra keysyms (for tests).
    std::string KeymapText() const { return keymapText_; }

private:
    struct Extra {
        xkb_keysym_t keysym = 0;
        std::uint64_t lastUse = 0;
    };

    bool BuildKeymap();
    bool SendKeymap();
    bool FindChar(std::uint32_t cp, KeyPlace& place);
    xkb_keycode_t KeyOfVk(std::uint8_t vk);
    xkb_keycode_t LendSpare(xkb_keysym_t keysym);
    void SendKey(xkb_keycode_t key, bool down);
    // The keyboard's modifiers as the seat is to see them.
    void SendModifiers();
    bool LockOn(std::uint8_t vk);
    void Tap(xkb_keycode_t key);
    // False (and the refusal noted) when keys are aimed at a window that is
    // no longer in front.
    bool MayPress();

    WaylandConnection& c_;
    Windows& windows_;
    WindowIdentity target_;
    bool aimed_ = false;
    bool refused_ = false;
    bool locksHidden_ = false;
    zwp_virtual_keyboard_v1* keyboard_ = nullptr;
    xkb_context* context_ = nullptr;
    xkb_keymap* base_ = nullptr;      // the layout alone
    xkb_keymap* keymap_ = nullptr;    // the layout and the extras, as sent
    xkb_state* state_ = nullptr;
    std::string baseText_, keymapText_;
    std::vector<xkb_keycode_t> spares_;
    std::map<xkb_keycode_t, Extra> extras_;
    std::map<std::uint32_t, KeyPlace> places_;  // code point -> key, of the keymap sent
    std::set<xkb_keycode_t> down_;
    std::uint64_t useCounter_ = 0;
    std::uint32_t firstKeymapMs_ = 0;
    bool keyYet_ = false;
};

}  // namespace rw::wl
