#include "AccessibleDialogs.h"

namespace rw::atspi {

bool AccessibleDialogs::Describe(WinHandle w, AccWindow& window) {
    Rect r;
    window.pid = windows_.GetWindowProcessId(w);
    window.title = windows_.GetWindowText(w);
    if (window.pid == 0 || !windows_.GetWindowRect(w, r)) return false;
    window.x = r.left;
    window.y = r.top;
    window.w = r.right - r.left;
    window.h = r.bottom - r.top;
    return true;
}

std::string AccessibleDialogs::GetDialogText(WinHandle dialog) {
    AccWindow window;
    if (dialog == 0 || !Describe(dialog, window)) return {};
    return DialogTextFromNodes(bridge_.TextNodesOnceReady(window), window.title);
}

int AccessibleDialogs::PressDialogButton(WinHandle dialog, std::initializer_list<int> ids) {
    if (dialog == 0) return 0;
    // Identified before anything is read: should the handle pass to a new
    // window during the walk, the press is refused.
    const WindowIdentity identity = windows_.IdentifyWindow(dialog);
    AccWindow window;
    if (!Describe(dialog, window)) return 0;
    return bridge_.PressButton(window, ids, [&] { return windows_.IsSameWindow(identity); });
}

}  // namespace rw::atspi
