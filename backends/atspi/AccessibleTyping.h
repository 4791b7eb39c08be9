// The Input role where no keyboard can be had: typing through the
// accessibility bus, into the control that has the focus inside the window
// in front.
//
// Characters are inserted at the caret of the focused text control
// (EditableText), replacing its selection as typing would; a line break
// and {ENTER} insert a new line in a multi-line control and otherwise
// carry out the focused control's action (a GTK entry's "activate": the
// dialog's default button; a focused button's "click"). Nothing else can
// be played without a keyboard: any other key is refused, and the player
// stops with a line that names it and says why (KeysRefusedWhy). Key
// releases pass (nothing is ever held down).
//
// Before each character and key the window it is aimed at must still be
// the one in front, and the control typed into must lie inside it: once
// the target has left the foreground or closed, nothing more is inserted
// anywhere.
//
// The windows: by default the handles are those of `frames`, the windows
// the accessibility bus tells. With the windows of another way (a desktop
// whose own protocol tells the windows but offers no keyboard), handles
// are that way's: the foreground is checked there, and the frame typed
// into is the one of the target's process that bears its title.
//
// There is no keyboard state: every key reads as up and every lock as off.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "AccessibleWindows.h"
#include "platform/Input.h"

namespace rw::atspi {

struct Obj;

class AccessibleTyping final : public Input {
public:
    explicit AccessibleTyping(AccessibleWindows& frames, Windows* windows = nullptr)
        : frames_(frames), windows_(windows != nullptr ? *windows : frames), foreign_(windows != nullptr) {}

    bool Ok() const { return frames_.Ok(); }

    // Characters land in the focused control of the window in front.
    bool CharactersFollowFocus() override { return true; }
    bool PostChar(WinHandle w, const std::string& ch) override;
    void KeyEvent(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags) override;
    std::int16_t GetKeyState(int) override { return 0; }
    bool GetKeyboardState(std::array<std::uint8_t, 256>& state) override {
        state.fill(0);
        return true;
    }
    bool SetKeyboardState(const std::array<std::uint8_t, 256>&) override { return true; }
    std::uint32_t MapVirtualKey(std::uint32_t) override { return 0; }
    // No layout: no character has a key.
    std::int16_t VkKeyScan(const std::string&) override { return -1; }
    std::string GetKeyNameText(std::int32_t) override { return {}; }

    void AimKeysAt(const WindowIdentity& target) override;
    void EndKeysFor() override { aimed_ = false; }
    bool KeysRefused() override { return refused_; }
    std::string KeysRefusedWhy() override { return why_; }

private:
    // False (and the refusal noted) when keys are aimed at a window that is
    // no longer in front.
    bool MayPress();
    // Refuses the event itself, for the reason given.
    void Refuse(const char* why);
    // Text into the focused control (with its states); refused when it
    // takes none.
    bool Insert(const Obj& control, const std::string& text, std::uint64_t states);
    // {ENTER} or a line break for the window w.
    bool Enter(WinHandle w);
    // The frame that stands for the window w; 0 when none does.
    WinHandle FrameFor(WinHandle w);

    AccessibleWindows& frames_;
    Windows& windows_;
    bool foreign_;
    // With another way's windows: the last target and its frame.
    WinHandle foreignTarget_ = 0;
    WinHandle foreignFrame_ = 0;
    WindowIdentity target_;
    bool aimed_ = false;
    bool refused_ = false;
    std::string why_;
};

}  // namespace rw::atspi
