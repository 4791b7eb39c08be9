#include "backends/wayland/KeyboardShared.h"

#include "backends/linux/Keysyms.h"
#include "backends/linux/LinuxUtil.h"

namespace rw::wl {

std::int32_t TypedCodePoint(const std::string& ch) {
    std::int32_t cp = lnx::DecodeUtf8Char(ch);
    if (cp < 0) return -1;
    // A line feed in a macro starts a new line: Return is its key.
    if (cp == '\n') cp = '\r';
    if (cp < 0x20 && cp != '\r' && cp != '\t' && cp != 0x08 && cp != 0x1B) return -1;
    if (cp == 0x7F) return -1;
    return cp;
}

std::int16_t KeyStateOf(int vk, const std::function<bool(std::uint8_t)>& held,
                        const std::function<bool(std::uint8_t)>& lockOn) {
    if (vk <= 0 || vk > 0xFF) return 0;
    const auto v = static_cast<std::uint8_t>(vk);
    bool d = held(v);
    if (v == 0x10) d = held(0xA0) || held(0xA1);
    if (v == 0x11) d = held(0xA2) || held(0xA3);
    if (v == 0x12) d = held(0xA4) || held(0xA5);
    std::int16_t r = d ? static_cast<std::int16_t>(-128) : 0;
    if (lnx::IsLockVk(v) && lockOn(v)) r = static_cast<std::int16_t>(r | 1);
    return r;
}

void KeyboardStateOf(std::array<std::uint8_t, 256>& state, bool anyHeld, const std::function<std::int16_t(int)>& keyState,
                     const std::function<bool(std::uint8_t)>& lockOn) {
    if (anyHeld) {
        for (int vk = 1; vk < 256; ++vk)
            if (keyState(vk) < 0) state[static_cast<std::size_t>(vk)] = 0x80;
    }
    for (std::uint8_t vk : kLockVks)
        if (lockOn(vk)) state[vk] = static_cast<std::uint8_t>(state[vk] | 1);
}

void SetLocksOf(const std::array<std::uint8_t, 256>& state, const std::function<bool(std::uint8_t)>& lockOn,
                const std::function<void(std::uint8_t)>& toggle) {
    for (std::uint8_t vk : kLockVks) {
        const bool want = (state[vk] & 1) != 0;
        if (lockOn(vk) != want) toggle(vk);
    }
}

}  // namespace rw::wl
