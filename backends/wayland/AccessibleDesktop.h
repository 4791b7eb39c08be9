// The accessibility bus as a desktop's way of following the windows
// ("accessible" windows) and of typing ("accessible" keys), for a
// compositor that offers neither wlroots' nor KDE's protocols (GNOME's
// mutter): the Wayland faces of atspi::AccessibleWindows and
// atspi::AccessibleTyping, which know nothing of Wayland.
#pragma once

#include <memory>

#include "backends/atspi/AccessibleTyping.h"
#include "backends/atspi/AccessibleWindows.h"
#include "backends/wayland/Desktop.h"

namespace rw::wl {

class AccessibleToplevels final : public Toplevels {
public:
    // Connects to the accessibility bus; Ok() tells whether it could.
    AccessibleToplevels() { windows_.Start(); }
    atspi::AccessibleWindows& Frames() { return windows_; }

    bool Ok() const override { return windows_.Ok(); }
    News TakeNews() override;
    bool HasNews() const override { return windows_.HasNews(); }
    bool Alive(WinHandle w) const override { return windows_.Alive(w); }
    int SourceFd() const override { return windows_.Fd(); }
    void DispatchSource() override { windows_.Dispatch(); }
    bool SourceQueued() const override { return windows_.Queued(); }

    WinHandle GetForegroundWindow() override { return windows_.GetForegroundWindow(); }
    bool SetForegroundWindow(WinHandle w) override { return windows_.SetForegroundWindow(w); }
    std::string GetWindowText(WinHandle w) override { return windows_.GetWindowText(w); }
    std::string GetClassName(WinHandle w) override { return windows_.GetClassName(w); }
    bool GetWindowRect(WinHandle w, Rect& r) override { return windows_.GetWindowRect(w, r); }
    int IsWindowVisible(WinHandle w) override { return windows_.IsWindowVisible(w); }
    int IsIconic(WinHandle w) override { return windows_.IsIconic(w); }
    WinHandle GetParent(WinHandle w) override { return windows_.GetParent(w); }
    WinHandle WindowFromPoint(std::int32_t x, std::int32_t y) override { return windows_.WindowFromPoint(x, y); }
    void SetWindowPosZOrder(WinHandle w, WinHandle after) override { windows_.SetWindowPosZOrder(w, after); }
    bool ShowWindow(WinHandle w, std::uint32_t cmd) override { return windows_.ShowWindow(w, cmd); }
    bool PostClose(WinHandle w) override { return windows_.PostClose(w); }
    bool WaitUntilAnswers(WinHandle w, std::uint32_t ms) override { return windows_.WaitUntilAnswers(w, ms); }
    WinHandle FocusedControl(WinHandle w) override { return windows_.FocusedControl(w); }
    std::uint32_t GetWindowProcessId(WinHandle w) override { return windows_.GetWindowProcessId(w); }

private:
    atspi::AccessibleWindows windows_;
};

class AccessibleKeyboard final : public Keyboard {
public:
    // windows: the way of following the windows taken. With accessible
    // windows the typing shares their connection; with another way it has
    // a connection of its own and checks the foreground through `windows`.
    explicit AccessibleKeyboard(Toplevels& windows);

    bool Start() override { return typing_->Ok(); }
    bool Ok() const override { return typing_->Ok(); }
    int SourceFd() const override { return own_ ? own_->Fd() : -1; }
    void DispatchSource() override;
    bool SourceQueued() const override { return own_ && own_->Queued(); }

    bool CharactersFollowFocus() override { return typing_->CharactersFollowFocus(); }
    bool PostChar(WinHandle w, const std::string& ch) override { return typing_->PostChar(w, ch); }
    void KeyEvent(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags) override {
        typing_->KeyEvent(vk, scan, flags);
    }
    std::int16_t GetKeyState(int vk) override { return typing_->GetKeyState(vk); }
    bool GetKeyboardState(std::array<std::uint8_t, 256>& s) override { return typing_->GetKeyboardState(s); }
    bool SetKeyboardState(const std::array<std::uint8_t, 256>& s) override { return typing_->SetKeyboardState(s); }
    std::uint32_t MapVirtualKey(std::uint32_t vk) override { return typing_->MapVirtualKey(vk); }
    std::int16_t VkKeyScan(const std::string& ch) override { return typing_->VkKeyScan(ch); }
    std::string GetKeyNameText(std::int32_t lParam) override { return typing_->GetKeyNameText(lParam); }
    void AimKeysAt(const WindowIdentity& target) override { typing_->AimKeysAt(target); }
    void EndKeysFor() override { typing_->EndKeysFor(); }
    bool KeysRefused() override { return typing_->KeysRefused(); }
    std::string KeysRefusedWhy() override { return typing_->KeysRefusedWhy(); }

private:
    std::unique_ptr<atspi::AccessibleWindows> own_;
    std::unique_ptr<atspi::AccessibleTyping> typing_;
};

}  // namespace rw::wl
