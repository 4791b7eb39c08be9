#include "backends/win32/Win32ThreadInput.h"

#include <utility>

namespace rw::win32 {

namespace {

bool RunningUnderWine() {
    static const bool wine = [] {
        HMODULE ntdll = GetModuleHandleA("ntdll.dll");
        return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
    }();
    return wine;
}

}  // namespace

DWORD WindowThread(HWND w) { return w == nullptr ? 0 : GetWindowThreadProcessId(w, nullptr); }

SharedThreadInput::SharedThreadInput(DWORD from, DWORD to)
    : from_(from), to_(to), active_(from != 0 && to != 0 && from != to) {
    if (!active_) return;
    if (RunningUnderWine()) {
        // Wine does not merge two input states: the thread that attaches
        // drops its own, with the key events still queued in it. Attaching
        // the target to us would throw away keys we injected a moment ago
        // that it has not read yet, so our thread joins the target's input
        // instead. The shared state is the same either way; only what gets
        // discarded differs (ours holds no input of the user's).
        if (to_ == GetCurrentThreadId()) std::swap(from_, to_);
        foregroundBefore_ = GetForegroundWindow();
    }
    AttachThreadInput(from_, to_, TRUE);
}

SharedThreadInput::~SharedThreadInput() {
    if (!active_) return;
    AttachThreadInput(from_, to_, FALSE);
    // Wine gives the detached thread a fresh input state and leaves no
    // foreground window behind, so the next key stroke would go nowhere.
    // Windows keeps the foreground (a moment without one there is real and
    // must not be "repaired"), so this runs under Wine only.
    if (foregroundBefore_ && GetForegroundWindow() == nullptr && IsWindow(foregroundBefore_))
        SetForegroundWindow(foregroundBefore_);
}

}  // namespace rw::win32
