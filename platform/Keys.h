// The key codes, flags and messages the logic speaks in. They are Windows'
// own values; other backends translate them into their own means.
#pragma once

#include <cstdint>

namespace rw {

// Virtual-key codes the logic names.
namespace vk {
constexpr std::uint8_t Tab = 0x09;
constexpr std::uint8_t Return = 0x0D;
constexpr std::uint8_t Shift = 0x10;
constexpr std::uint8_t Control = 0x11;
constexpr std::uint8_t Menu = 0x12;  // Alt
constexpr std::uint8_t Escape = 0x1B;
constexpr std::uint8_t Space = 0x20;
constexpr std::uint8_t Delete = 0x2E;
constexpr std::uint8_t LWin = 0x5B;
constexpr std::uint8_t Add = 0x6B;       // numeric-keypad plus
constexpr std::uint8_t Subtract = 0x6D;  // numeric-keypad minus
constexpr std::uint8_t LShift = 0xA0;
constexpr std::uint8_t RShift = 0xA1;
constexpr std::uint8_t LControl = 0xA2;
constexpr std::uint8_t RControl = 0xA3;
constexpr std::uint8_t LMenu = 0xA4;
constexpr std::uint8_t RMenu = 0xA5;
}  // namespace vk

// Scan codes of the modifier keys as a PC keyboard sends them.
namespace scan {
constexpr std::uint8_t LShift = 0x2A;
constexpr std::uint8_t RShift = 0x36;
constexpr std::uint8_t Control = 0x1D;
constexpr std::uint8_t Alt = 0x38;
}  // namespace scan

// Flags of one injected key event.
namespace keyflag {
constexpr std::uint32_t Extended = 0x0001;
constexpr std::uint32_t KeyUp = 0x0002;
}  // namespace keyflag

// How a window command shows a window.
namespace show {
constexpr std::uint32_t Minimized = 2;
constexpr std::uint32_t Maximized = 3;
}  // namespace show

// Priority classes of a process.
namespace priority {
constexpr std::uint32_t Normal = 0x20;
constexpr std::uint32_t High = 0x80;
}  // namespace priority

// Window messages that reach the logic from a host window.
namespace msg {
constexpr std::uint32_t MouseMove = 0x0200;
constexpr std::uint32_t LButtonDown = 0x0201;
constexpr std::uint32_t RButtonDown = 0x0204;
}  // namespace msg

}  // namespace rw
