// Input for another program: typed characters and injected key events, the
// keyboard's state and layout.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "platform/Types.h"

namespace rw {

class Input {
public:
    virtual ~Input() = default;
    // Whether typed characters land wherever the input focus is now
    // (injected key strokes, as on X11) instead of in the window they are
    // posted to (WM_CHAR on Windows).
    virtual bool CharactersFollowFocus() = 0;
    // Types one character (its bytes) into a window (WM_CHAR).
    virtual bool PostChar(WinHandle w, const std::string& ch) = 0;
    // One injected key event (keybd_event); flags from keyflag::.
    virtual void KeyEvent(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags) = 0;
    // The keyboard as the program in front sees it (on Windows each thread
    // has its own key state, so the backend looks through the foreground
    // thread's): negative when the key is down.
    virtual std::int16_t GetKeyState(int vk) = 0;
    // All 256 key-state bytes, read and set the same way.
    virtual bool GetKeyboardState(std::array<std::uint8_t, 256>& state) = 0;
    virtual bool SetKeyboardState(const std::array<std::uint8_t, 256>& state) = 0;
    // Scan code of a virtual-key code (MapVirtualKeyA, mapping type 0).
    virtual std::uint32_t MapVirtualKey(std::uint32_t vk) = 0;
    // Virtual-key code (low byte) and shift state (high byte) of a character,
    // -1 when the layout has no key for it. `ch` is one character's bytes.
    virtual std::int16_t VkKeyScan(const std::string& ch) = 0;
    // Display name of a key from its key-message lParam; empty if none.
    virtual std::string GetKeyNameText(std::int32_t lParam) = 0;

    // The window the key presses and typed characters that follow are for,
    // until EndKeysFor. Where they land wherever the focus is (X11), the
    // backend checks immediately before each press or character that this
    // very window is still in front and holds the input focus, and refuses
    // the event when not; KeysRefused tells. Key releases always pass, so
    // that no key stays held down.
    virtual void AimKeysAt(const WindowIdentity& target) { (void)target; }
    virtual void EndKeysFor() {}
    // Whether an event was refused since AimKeysAt.
    virtual bool KeysRefused() { return false; }
    // Why, when the event itself was refused rather than the target having
    // lost the keyboard (an input that can play only some keys): the reason
    // for the user, which the player puts after the key it names. Empty
    // when the target lost the keyboard.
    virtual std::string KeysRefusedWhy() { return {}; }
};

}  // namespace rw
