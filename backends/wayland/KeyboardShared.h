// What every Wayland keyboard of ours decides the same way, whatever sends
// its keys: which characters of a macro keys can type, and the keyboard
// state it tells: only the keys it holds itself and the lock states it
// knows (a Wayland client cannot see other keyboards), in the shape of the
// Win32 questions (GetKeyState, GetKeyboardState, SetKeyboardState).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace rw::wl {

// The code point a macro's character (UTF-8) is typed as: a line feed
// starts a new line, so Return's '\r'. -1 for bad UTF-8 and for control
// characters that no key types (all but Return, Tab, Backspace, Escape).
std::int32_t TypedCodePoint(const std::string& ch);

// Caps Lock, Num Lock, Scroll Lock.
inline constexpr std::uint8_t kLockVks[] = {0x14, 0x90, 0x91};

// GetKeyState's answer for vk: bit 15 while the key is held (Shift, Ctrl
// and Alt while either side is), bit 0 while a lock is on. `held` tells
// whether the keyboard holds a code's key, `lockOn` a lock's state.
std::int16_t KeyStateOf(int vk, const std::function<bool(std::uint8_t)>& held,
                        const std::function<bool(std::uint8_t)>& lockOn);
// GetKeyboardState's answer from the keyboard's GetKeyState; the keys are
// asked about only when the keyboard holds any.
void KeyboardStateOf(std::array<std::uint8_t, 256>& state, bool anyHeld, const std::function<std::int16_t(int)>& keyState,
                     const std::function<bool(std::uint8_t)>& lockOn);
// SetKeyboardState's part a keyboard can do: each lock whose state differs
// from the one asked for is tapped (`toggle`).
void SetLocksOf(const std::array<std::uint8_t, 256>& state, const std::function<bool(std::uint8_t)>& lockOn,
                const std::function<void(std::uint8_t)>& toggle);

}  // namespace rw::wl
