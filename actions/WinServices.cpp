#include "actions/WinServices.h"

#include "base/AppValues.h"
#include "base/Numeric.h"

namespace rw {

WinHandle gMainWindow = 0;

// Before the main window exists (and in tests that do not create one) the
// calling thread stands in for it: the main window is always created by the
// thread that runs all of this.
std::uint32_t OwnThread() {
    std::uint32_t t = Sys().GetWindowThreadId(gMainWindow);
    return t != 0 ? t : Sys().GetCurrentThreadId();
}

// The backends hand out at most 259 bytes, cut on a character boundary.
std::string GetWinText(WinHandle w) { return w == 0 ? std::string() : Sys().GetWindowText(w); }

std::string GetWinClass(WinHandle w) { return w == 0 ? std::string() : Sys().GetClassName(w); }

std::string GetDialogText(WinHandle w) { return w == 0 ? std::string() : Sys().GetDialogText(w); }

bool IsUsableWin(WinHandle w) {
    if (w == 0) return false;
    Platform& sys = Sys();
    if (sys.IsWindowVisible(w) != 1) return false;
    Rect r;
    if (!sys.GetWindowRect(w, r)) return false;
    return r.right - r.left >= 1 && r.bottom - r.top >= 1;
}

WinHandle GetUsableFGWin() {
    WinHandle fg = Sys().GetForegroundWindow();
    return IsUsableWin(fg) ? fg : 0;
}

WinHandle GetFocusWin() {
    WinHandle fg = GetUsableFGWin();
    if (fg == 0) return 0;
    Platform& sys = Sys();
    std::uint32_t own = OwnThread();
    std::uint32_t fgt = sys.GetWindowThreadId(GetUsableFGWin());
    WinHandle focus = 0;
    if (own == fgt) {
        focus = sys.GetFocus();
    } else {
        // The focus of another thread is only visible while its input state
        // is shared with ours; the attachment never outlives this call.
        sys.AttachThreadInput(fgt, own, true);
        focus = sys.GetFocus();
        sys.AttachThreadInput(fgt, own, false);
    }
    return focus != 0 ? focus : fg;
}

bool ForceFGWin(WinHandle w) {
    if (w == GetUsableFGWin()) return true;
    Platform& sys = Sys();
    bool ok = sys.SetForegroundWindow(w);
    sys.Sleep(0);
    if (ok) return true;
    // The foreground lock lets only the thread that owns the foreground (or
    // one attached to it) hand it on, so borrow its input state briefly.
    WinHandle fg = GetUsableFGWin();
    std::uint32_t t1 = fg != 0 ? sys.GetWindowThreadId(fg) : 0;
    std::uint32_t t2 = sys.GetWindowThreadId(w);
    if (t1 != t2) {
        sys.AttachThreadInput(t1, t2, true);
        sys.SetForegroundWindow(w);
        sys.AttachThreadInput(t1, t2, false);
    }
    return sys.SetForegroundWindow(w);
}

void SetFGWin(WinHandle w) {
    Platform& sys = Sys();
    if (w == 0 || w == sys.GetForegroundWindow()) return;
    if (!IsUsableWin(w) || sys.IsIconic(w) == 1) return;
    if (App.OsVersion.HasForegroundLock) {
        ForceFGWin(w);
    } else {
        sys.SetForegroundWindow(w);
    }
    SyncWin(w);
    sys.Sleep(0);
}

bool SyncWin(WinHandle w) {
    if (w == 0) return true;
    // Bounded: a window whose thread never answers costs at most
    // kSyncTimeoutMs, then the caller goes on.
    return Sys().SendNullMessage(w, kSyncTimeoutMs);
}

void MakeTopmost(WinHandle w, WinHandle insertAfter) {
    if (w == 0) return;
    Sys().SetWindowPosZOrder(w, insertAfter);
}

void BringToTopIfCovered(WinHandle w) {
    if (w == 0) return;
    Platform& sys = Sys();
    Rect r;
    sys.GetWindowRect(w, r);
    // The centre is rounded toward zero, as integer division does.
    auto mid = [](std::int32_t a, std::int32_t b) {
        return static_cast<std::int32_t>((static_cast<std::int64_t>(a) + b) / 2);
    };
    const std::int32_t xs[5] = {r.left, r.right - 1, r.right - 1, r.left, mid(r.left, r.right)};
    const std::int32_t ys[5] = {r.top, r.top, r.bottom - 1, r.bottom - 1, mid(r.top, r.bottom)};
    for (int k = 0; k < 5; ++k) {
        if (sys.WindowFromPoint(xs[k], ys[k]) != w) {
            MakeTopmost(w, kHwndTopmost);
            return;
        }
    }
}

WinHandle GetCaptionWin(WinHandle w) {
    Platform& sys = Sys();
    // Bounded: a parent chain that loops (a window system's fault) ends.
    WinHandle c = w;
    for (int depth = 0; c != 0 && depth < 64; ++depth) {
        if (sys.HasCaption(c)) return c;
        c = sys.GetParent(c);
    }
    return w;
}

void CenterForm(FormTwips& form) {
    Platform& sys = Sys();
    double sw = static_cast<double>(sys.GetScreenWidth()) * App.TwipsPerPixelX;
    double sh = static_cast<double>(sys.GetScreenHeight()) * App.TwipsPerPixelY;
    form.left = RoundToInt32(sw / 2.0 - form.width / 2.0);
    form.top = RoundToInt32(sh / 2.0 - form.height / 2.0);
}

}  // namespace rw
