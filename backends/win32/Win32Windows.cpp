#include "backends/win32/Win32Windows.h"

#include "backends/win32/Win32Api.h"

#include "backends/win32/Elevation.h"
#include "backends/win32/Win32Handle.h"
#include "backends/win32/Win32Posts.h"
#include "backends/win32/Win32ThreadInput.h"
#include "backends/win32/Win32Util.h"

namespace rw::win32 {

namespace {

// A buffer the system filled may end in the first byte of a double-byte
// character whose second byte did not fit; drop such a stray lead byte.
std::string WholeCharacters(std::string s) {
    std::size_t i = 0;
    while (i < s.size()) {
        if (IsDBCSLeadByte(static_cast<BYTE>(s[i]))) {
            if (i + 1 >= s.size()) {
                s.resize(i);
                break;
            }
            i += 2;
        } else {
            ++i;
        }
    }
    return s;
}

}  // namespace

WinHandle Win32Windows::GetForegroundWindow() { return FromHwnd(::GetForegroundWindow()); }

bool Win32Windows::SetForegroundWindow(WinHandle w) {
    return w != 0 && ::SetForegroundWindow(ToHwnd(w)) != 0;
}

bool Win32Windows::InputReaches(WinHandle w) {
    const std::uint32_t pid = GetWindowProcessId(w);
    if (pid == 0) return true;  // nothing known against it
    if (posts_.Refused(pid)) return false;
    return !InputRefused(SelfElevated(), AskProcessToken(pid));
}

std::string Win32Windows::GetWindowText(WinHandle w) {
    if (w == 0) return {};
    char buf[kTextBuffer] = {};
    int n = GetWindowTextA(ToHwnd(w), buf, kTextBuffer);
    if (n <= 0) return {};
    return WholeCharacters(CutAt(buf, static_cast<std::size_t>(n)));
}

std::string Win32Windows::GetClassName(WinHandle w) {
    if (w == 0) return {};
    char buf[kTextBuffer] = {};
    int n = GetClassNameA(ToHwnd(w), buf, kTextBuffer);
    if (n <= 0) return {};
    return WholeCharacters(CutAt(buf, static_cast<std::size_t>(n)));
}

bool Win32Windows::GetWindowRect(WinHandle w, Rect& r) {
    RECT rc{};
    if (w == 0 || !::GetWindowRect(ToHwnd(w), &rc)) {
        r = Rect{};
        return false;
    }
    r = Rect{rc.left, rc.top, rc.right, rc.bottom};
    return true;
}

int Win32Windows::IsWindowVisible(WinHandle w) { return w == 0 ? 0 : ::IsWindowVisible(ToHwnd(w)); }
int Win32Windows::IsIconic(WinHandle w) { return w == 0 ? 0 : ::IsIconic(ToHwnd(w)); }

WinHandle Win32Windows::GetParent(WinHandle w) { return w == 0 ? 0 : FromHwnd(::GetParent(ToHwnd(w))); }

bool Win32Windows::HasCaption(WinHandle w) {
    if (w == 0) return false;
    const LONG style = GetWindowLongA(ToHwnd(w), GWL_STYLE);
    return (static_cast<DWORD>(style) & WS_CAPTION) == WS_CAPTION;
}

WinHandle Win32Windows::WindowFromPoint(std::int32_t x, std::int32_t y) {
    POINT pt{x, y};
    return FromHwnd(::WindowFromPoint(pt));
}

void Win32Windows::SetWindowPosZOrder(WinHandle w, WinHandle insertAfter) {
    if (w == 0) return;
    ::SetWindowPos(ToHwnd(w), ToHwnd(insertAfter), 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
}

bool Win32Windows::ShowWindow(WinHandle w, std::uint32_t cmd) {
    // ShowWindow answers whether the window was visible before, not whether
    // the command worked: only a window that does not exist fails here.
    if (w == 0 || !IsWindow(ToHwnd(w))) return false;
    ::ShowWindow(ToHwnd(w), static_cast<int>(cmd));
    return true;
}

bool Win32Windows::PostClose(WinHandle w) { return w != 0 && posts_.Post(ToHwnd(w), WM_CLOSE, 0, 0); }

bool Win32Windows::WaitUntilAnswers(WinHandle w, std::uint32_t timeoutMs) {
    if (w == 0) return false;
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(ToHwnd(w), WM_NULL, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, timeoutMs, &result) != 0;
}

bool Win32Windows::ForceForeground(WinHandle w) {
    if (w == 0) return false;
    const HWND target = ToHwnd(w);
    const DWORD front = WindowThread(::GetForegroundWindow());
    const DWORD owner = WindowThread(target);
    if (front != owner) {
        SharedThreadInput borrowed(front, owner);
        ::SetForegroundWindow(target);
    }
    return ::SetForegroundWindow(target) != 0;
}

WinHandle Win32Windows::FocusedControl(WinHandle w) {
    if (w == 0) return 0;
    const DWORD owner = WindowThread(ToHwnd(w));
    if (owner == 0) return 0;  // gone
    // Within our own thread the focus is ours to read; another thread's is
    // visible only while its input state is shared with ours.
    SharedThreadInput borrowed(owner, GetCurrentThreadId());
    return FromHwnd(::GetFocus());
}

std::uint32_t Win32Windows::GetWindowProcessId(WinHandle w) {
    if (w == 0) return 0;
    DWORD pid = 0;
    if (!GetWindowThreadProcessId(ToHwnd(w), &pid)) return 0;
    return pid;
}

WinHandle Win32Windows::GetFirstChild(WinHandle w) {
    return w == 0 ? 0 : FromHwnd(::GetWindow(ToHwnd(w), GW_CHILD));
}

WinHandle Win32Windows::GetNextSibling(WinHandle w) {
    return w == 0 ? 0 : FromHwnd(::GetWindow(ToHwnd(w), GW_HWNDNEXT));
}

WinHandle Win32Windows::GetDlgItem(WinHandle dialog, int id) {
    return dialog == 0 ? 0 : FromHwnd(::GetDlgItem(ToHwnd(dialog), id));
}

bool Win32Windows::PostCommand(WinHandle dialog, int id, WinHandle button) {
    return dialog != 0 && posts_.Post(ToHwnd(dialog), WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), 0),
                                      reinterpret_cast<LPARAM>(ToHwnd(button)));
}

}  // namespace rw::win32
