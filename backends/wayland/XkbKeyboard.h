// What every Wayland keyboard of ours shares, whatever carries its keys to
// the compositor: a layout in XKB terms, where each character is in it
// (the first key that gives it without a modifier, else with Shift alone),
// the keys held down and the lock states, the named keys of macros, and
// the check before each press that the target is still in front.
//
// A keyboard class below adds the way its keys travel (Key, Modifiers,
// Keymap) and what it does for a character that no key gives (Missing).
// Keys are XKB keycodes here; they travel as evdev codes (8 less).
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

namespace rw::wl {

class XkbKeyboard : public Keyboard {
public:
    ~XkbKeyboard() override;
    XkbKeyboard(const XkbKeyboard&) = delete;
    XkbKeyboard& operator=(const XkbKeyboard&) = delete;

    bool Ok() const override { return Ready() && keymap_ != nullptr; }

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

    // The keymap the keys are read with: the layout and any extra keysyms
    // (for tests).
    std::string KeymapText() const { return keymapText_; }

protected:
    XkbKeyboard(WaylandConnection& c, Windows& windows);

    // What a keyboard does for a character that no key of the keymap gives.
    enum class MissingChar {
        Failed,  // it could not be typed
        Typed,   // the keyboard typed it its own way
        OnKey,   // a key gives it now (the keymap changed): type that key
    };

    // Whether the keys can travel.
    virtual bool Ready() const = 0;
    // One key (an evdev code) down or up.
    virtual void Key(std::uint32_t evdev, bool down) = 0;
    // The keyboard's modifiers after each key, where the compositor does
    // not work them out itself.
    virtual void Modifiers(xkb_mod_mask_t depressed, xkb_mod_mask_t latched, xkb_mod_mask_t locked,
                           xkb_layout_index_t layout) = 0;
    // Shows the keymap (KeymapText) to the compositor; false where the
    // keymap cannot change.
    virtual bool SendKeymap() = 0;
    // `ch`: the character's bytes (well-formed UTF-8), cp its code point.
    virtual MissingChar Missing(WinHandle w, std::uint32_t cp, const std::string& ch) = 0;
    // Whether the keyboard can keep its locks from a character's keys
    // (hide true) and show them again (hide false); where it cannot, the
    // character's Shift is chosen under the locks instead.
    virtual bool HideLocks(bool hide) {
        (void)hide;
        return false;
    }

    // The layout: the XKB defaults (XKB_DEFAULT_LAYOUT and its siblings,
    // else the system's), or a keymap's (the seat's). Keys still down stay
    // down.
    bool UseDefaultLayout();
    bool UseLayout(xkb_keymap* keymap);
    // Which of the layout's groups the keys are read in.
    void UseGroup(xkb_layout_index_t group);
    // A lock of the seat (XKB_MOD_NAME_CAPS, XKB_MOD_NAME_NUM) as the
    // compositor tells it, where the seat's locks are also the user's.
    void UseLock(const char* modName, bool on);
    // A spare key (a name but no keysym) now gives the keysym, and the
    // keymap was sent; 0 when none could be lent.
    xkb_keycode_t LendSpare(xkb_keysym_t keysym);
    // Every key still down goes up (for destructors).
    void ReleaseAll();
    // False (and the refusal noted) when keys are aimed at a window that is
    // no longer in front.
    bool MayPress();
    // The keys of a character and every other key go out here.
    void SendKey(xkb_keycode_t key, bool down);
    xkb_state* State() const { return state_; }
    Windows& windows() { return windows_; }
    WaylandConnection& connection() { return c_; }

private:
    struct Extra {
        xkb_keysym_t keysym = 0;
        std::uint64_t lastUse = 0;
    };

    bool SetBase(xkb_keymap* base);
    bool BuildKeymap();
    bool FindChar(std::uint32_t cp, KeyPlace& place);
    // Whether Shift must be down for the key to give cp with the locks now
    // on; `fallback` where neither way gives it.
    bool ShiftUnderLocks(xkb_keycode_t key, std::uint32_t cp, bool fallback);
    xkb_keycode_t KeyOfVk(std::uint8_t vk) { return wl::KeyOfVk(base_, vk); }
    bool LockOn(std::uint8_t vk);
    void Tap(xkb_keycode_t key);

    WaylandConnection& c_;
    Windows& windows_;
    WindowIdentity target_;
    bool aimed_ = false;
    bool refused_ = false;
    xkb_context* context_ = nullptr;
    xkb_keymap* base_ = nullptr;    // the layout alone
    xkb_keymap* keymap_ = nullptr;  // the layout and the extras
    xkb_state* state_ = nullptr;
    xkb_layout_index_t group_ = 0;
    std::string baseText_, keymapText_;
    std::vector<xkb_keycode_t> spares_;
    std::map<xkb_keycode_t, Extra> extras_;
    std::map<std::uint32_t, KeyPlace> places_;  // code point -> key, of the keymap
    std::set<xkb_keycode_t> down_;
    std::uint64_t useCounter_ = 0;
};

}  // namespace rw::wl
