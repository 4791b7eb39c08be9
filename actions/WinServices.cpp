#include "actions/WinServices.h"

#include "base/AppValues.h"
#include "base/Numeric.h"

namespace rw {

WinHandle gMainWindow = 0;

// The backends hand out at most 259 bytes, cut on a character boundary.
std::string GetWinText(WinHandle w) { return w == 0 ? std::string() : Sys().windows.GetWindowText(w); }

std::string GetWinClass(WinHandle w) { return w == 0 ? std::string() : Sys().windows.GetClassName(w); }

std::string GetDialogText(WinHandle w) { return w == 0 ? std::string() : Sys().dialogs.GetDialogText(w); }

bool IsUsableWin(WinHandle w) {
    if (w == 0) return false;
    const Platform& sys = Sys();
    if (sys.windows.IsWindowVisible(w) != 1) return false;
    Rect r;
    if (!sys.windows.GetWindowRect(w, r)) return false;
    return r.right - r.left >= 1 && r.bottom - r.top >= 1;
}

WinHandle GetUsableFGWin() {
    WinHandle fg = Sys().windows.GetForegroundWindow();
    return IsUsableWin(fg) ? fg : 0;
}

WinHandle GetFocusWin() {
    const WinHandle fg = GetUsableFGWin();
    if (fg == 0) return 0;
    const WinHandle focus = Sys().windows.FocusedControl(fg);
    return focus != 0 ? focus : fg;
}

bool ForceFGWin(WinHandle w) {
    if (w == GetUsableFGWin()) return true;
    const Platform& sys = Sys();
    const bool ok = sys.windows.SetForegroundWindow(w);
    sys.clock.Sleep(0);
    if (ok) return true;
    return sys.windows.ForceForeground(w);
}

void SetFGWin(WinHandle w) {
    const Platform& sys = Sys();
    if (w == 0 || w == sys.windows.GetForegroundWindow()) return;
    if (!IsUsableWin(w) || sys.windows.IsIconic(w) == 1) return;
    if (App.OsVersion.HasForegroundLock) {
        ForceFGWin(w);
    } else {
        sys.windows.SetForegroundWindow(w);
    }
    SyncWin(w);
    sys.clock.Sleep(0);
}

bool SyncWin(WinHandle w) {
    if (w == 0) return true;
    // Bounded: a window whose thread never answers costs at most
    // kSyncTimeoutMs, then the caller goes on.
    return Sys().windows.WaitUntilAnswers(w, kSyncTimeoutMs);
}

void MakeTopmost(WinHandle w, WinHandle insertAfter) {
    if (w == 0) return;
    Sys().windows.SetWindowPosZOrder(w, insertAfter);
}

void BringToTopIfCovered(WinHandle w) {
    if (w == 0) return;
    const Platform& sys = Sys();
    Rect r;
    sys.windows.GetWindowRect(w, r);
    // The centre is rounded toward zero, as integer division does.
    auto mid = [](std::int32_t a, std::int32_t b) {
        return static_cast<std::int32_t>((static_cast<std::int64_t>(a) + b) / 2);
    };
    const std::int32_t xs[5] = {r.left, r.right - 1, r.right - 1, r.left, mid(r.left, r.right)};
    const std::int32_t ys[5] = {r.top, r.top, r.bottom - 1, r.bottom - 1, mid(r.top, r.bottom)};
    for (int k = 0; k < 5; ++k) {
        if (sys.windows.WindowFromPoint(xs[k], ys[k]) != w) {
            MakeTopmost(w, kHwndTopmost);
            return;
        }
    }
}

WinHandle GetCaptionWin(WinHandle w) {
    const Platform& sys = Sys();
    // Bounded: a parent chain that loops (a window system's fault) ends.
    WinHandle c = w;
    for (int depth = 0; c != 0 && depth < 64; ++depth) {
        if (sys.windows.HasCaption(c)) return c;
        c = sys.windows.GetParent(c);
    }
    return w;
}

void CenterForm(FormTwips& form) {
    const Platform& sys = Sys();
    double sw = static_cast<double>(sys.facts.GetScreenWidth()) * App.TwipsPerPixelX;
    double sh = static_cast<double>(sys.facts.GetScreenHeight()) * App.TwipsPerPixelY;
    form.left = RoundToInt32(sw / 2.0 - form.width / 2.0);
    form.top = RoundToInt32(sh / 2.0 - form.height / 2.0);
}

}  // namespace rw
