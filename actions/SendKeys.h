// The macro language and its player.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Platform.h"

namespace rw {

// Longest pause one {DELAY=} may ask for.
constexpr std::int32_t kMaxMacroDelayMs = 60000;

void SendKeys(const std::string& macro);
void PostText(WinHandle w, const std::string& text);
void PressDialogButton(WinHandle dialog, const std::string& name);
void DoWindowCommand(WinHandle w, const std::string& name);
void ReleaseModifiers();
void SetToggleKey(int code, int wanted);
void TapKeyExtended(int code);
void WaitForTarget(WinHandle w);

}  // namespace rw
