// The macro language and its player.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Platform.h"

namespace rw {

// Longest pause one {DELAY=} may ask for.
constexpr std::int32_t kMaxMacroDelayMs = 60000;

// Plays the macro into the window in the foreground now. With a target, the
// macro plays only while that very window is in the foreground: nothing is
// played if another window (or a new window with its handle) is there when
// playback starts, and playback stops at once when the target leaves the
// foreground (see the class comment in SendKeys.cpp). False when playback
// did not begin at all: the target (or any window, without one) was not the
// usable foreground window at that moment.
bool SendKeys(const std::string& macro);
bool SendKeys(const std::string& macro, const WindowIdentity& target);
void PostText(WinHandle w, const std::string& text);
// False when the name is unknown, the dialog has no such button or the
// click could not be posted.
bool PressDialogButton(WinHandle dialog, const std::string& name);
// False when the name is unknown or the window system refused the command.
bool DoWindowCommand(WinHandle w, const std::string& name);
void ReleaseModifiers();
void SetToggleKey(int code, int wanted);
void TapKeyExtended(int code);
// False when the window did not answer (it hangs).
bool WaitForTarget(WinHandle w);

}  // namespace rw
