// The Windows role on Win32, and the child windows a dialog's controls are:
// top-level windows' texts, frames and states, the foreground and the
// keyboard focus (through the owning thread's input state), window
// commands, posted button commands, and whether our input reaches a window.
#pragma once

#include "platform/Dialogs.h"
#include "platform/Windows.h"

namespace rw::win32 {

class Win32Posts;

class Win32Windows final : public Windows, public ChildWindows {
public:
    explicit Win32Windows(Win32Posts& posts) : posts_(posts) {}

    WinHandle GetForegroundWindow() override;
    bool SetForegroundWindow(WinHandle w) override;
    // Characters, commands and keys we send cannot reach a window whose
    // program runs elevated (as administrator) while Replywick does not, nor
    // one whose program has already refused a post: user interface
    // privilege isolation drops them silently. The portable logic does not
    // ask this; the main window does, before it hands a window on to the
    // watcher.
    bool InputReaches(WinHandle w) override;
    std::string GetWindowText(WinHandle w) override;
    std::string GetClassName(WinHandle w) override;
    bool GetWindowRect(WinHandle w, Rect& r) override;
    int IsWindowVisible(WinHandle w) override;
    int IsIconic(WinHandle w) override;
    WinHandle GetParent(WinHandle w) override;
    // Both caption style bits.
    bool HasCaption(WinHandle w) override;
    WinHandle WindowFromPoint(std::int32_t x, std::int32_t y) override;
    void SetWindowPosZOrder(WinHandle w, WinHandle insertAfter) override;
    bool ShowWindow(WinHandle w, std::uint32_t cmd) override;
    // WM_CLOSE.
    bool PostClose(WinHandle w) override;
    // WM_NULL, sent with a time-out that gives up early on a hung window.
    bool WaitUntilAnswers(WinHandle w, std::uint32_t timeoutMs) override;
    // The foreground lock lets only the thread that owns the foreground (or
    // one attached to it) hand it on: the request is made once more with
    // the foreground thread's input attached to w's, then once on its own.
    bool ForceForeground(WinHandle w) override;
    // GetFocus with our input attached to w's thread: the focus of w's
    // program, which is inside w while w is in front.
    WinHandle FocusedControl(WinHandle w) override;
    std::uint32_t GetWindowProcessId(WinHandle w) override;

    WinHandle GetFirstChild(WinHandle w) override;
    WinHandle GetNextSibling(WinHandle w) override;
    WinHandle GetDlgItem(WinHandle dialog, int id) override;
    bool PostCommand(WinHandle dialog, int id, WinHandle button) override;

private:
    Win32Posts& posts_;
};

}  // namespace rw::win32
