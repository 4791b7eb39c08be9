// The Input role on Win32: characters posted as WM_CHAR, key events
// injected with keybd_event, the key state of the program in front, and
// the keyboard layout's keys and names.
#pragma once

#include "platform/Input.h"

namespace rw::win32 {

class Win32Posts;

class Win32Input final : public Input {
public:
    explicit Win32Input(Win32Posts& posts) : posts_(posts) {}

    // WM_CHAR is posted to the captured window, wherever the focus is.
    bool CharactersFollowFocus() override { return false; }
    bool PostChar(WinHandle w, const std::string& ch) override;
    void KeyEvent(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags) override;
    // Each thread has its own key state: these read and set the foreground
    // thread's, with our input attached to it for the call.
    std::int16_t GetKeyState(int vk) override;
    bool GetKeyboardState(std::array<std::uint8_t, 256>& state) override;
    bool SetKeyboardState(const std::array<std::uint8_t, 256>& state) override;
    std::uint32_t MapVirtualKey(std::uint32_t vk) override;
    // The first byte's key (a double-byte character has none of its own).
    std::int16_t VkKeyScan(const std::string& ch) override;
    std::string GetKeyNameText(std::int32_t lParam) override;

private:
    Win32Posts& posts_;
};

}  // namespace rw::win32
