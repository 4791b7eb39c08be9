#include "backends/win32/Win32Posts.h"

#include "base/AppValues.h"

namespace rw::win32 {

bool Win32Posts::Post(HWND w, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (PostMessageA(w, msg, wParam, lParam)) return true;
    NoteRefusal(w);
    return false;
}

bool Win32Posts::Refused(std::uint32_t pid) const {
    for (std::uint32_t refused : refusedPids_)
        if (refused == pid) return true;
    return false;
}

void Win32Posts::NoteRefusal(HWND w) {
    if (GetLastError() != ERROR_ACCESS_DENIED) return;
    DWORD pid = 0;
    if (!GetWindowThreadProcessId(w, &pid) || pid == 0 || Refused(pid)) return;
    // A handful is plenty: process ids come back, and an old entry must not
    // block a new program for ever.
    if (refusedPids_.size() >= 8) refusedPids_.erase(refusedPids_.begin());
    refusedPids_.push_back(pid);
    DebugLine([&] {
        return "   SendKeys: the window refused our messages: its program runs with higher rights than Replywick "
               "(as administrator)";
    });
}

}  // namespace rw::win32
