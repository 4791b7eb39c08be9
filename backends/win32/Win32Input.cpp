#include "backends/win32/Win32Input.h"

#include "backends/win32/Win32Api.h"

#include "backends/win32/Win32Handle.h"
#include "backends/win32/Win32Posts.h"
#include "backends/win32/Win32ThreadInput.h"
#include "backends/win32/Win32Util.h"

namespace rw::win32 {

namespace {

// Our input attached to the foreground thread's for as long as it lives;
// nothing when we are in front ourselves or nothing is.
class ForegroundInput {
public:
    ForegroundInput() : shared_(WindowThread(::GetForegroundWindow()), GetCurrentThreadId()) {}

private:
    SharedThreadInput shared_;
};

}  // namespace

bool Win32Input::PostChar(WinHandle w, const std::string& ch) {
    if (w == 0 || ch.empty()) return false;
    // A double-byte character reaches an ANSI window as its two bytes.
    bool ok = true;
    for (char c : ch)
        if (!posts_.Post(ToHwnd(w), WM_CHAR, static_cast<unsigned char>(c), 0x00010001)) ok = false;
    return ok;
}

void Win32Input::KeyEvent(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags) {
    keybd_event(vk, scan, flags, 0);
}

std::int16_t Win32Input::GetKeyState(int vk) {
    ForegroundInput front;
    return ::GetKeyState(vk);
}

bool Win32Input::GetKeyboardState(std::array<std::uint8_t, 256>& state) {
    ForegroundInput front;
    return ::GetKeyboardState(state.data()) != 0;
}

bool Win32Input::SetKeyboardState(const std::array<std::uint8_t, 256>& state) {
    std::array<std::uint8_t, 256> copy = state;
    ForegroundInput front;
    return ::SetKeyboardState(copy.data()) != 0;
}

std::uint32_t Win32Input::MapVirtualKey(std::uint32_t vk) { return MapVirtualKeyA(vk, 0); }

std::int16_t Win32Input::VkKeyScan(const std::string& ch) {
    if (ch.empty()) return -1;
    return VkKeyScanA(ch[0]);
}

std::string Win32Input::GetKeyNameText(std::int32_t lParam) {
    char buf[50] = {};
    int n = GetKeyNameTextA(lParam, buf, 50);
    if (n <= 0) return {};
    return CutAt(buf, static_cast<std::size_t>(n));
}

}  // namespace rw::win32
