// Stateless services on windows of other programs and of this program.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Platform.h"

namespace rw {

// The program's hidden main window: the watcher brings it to the front
// when the icon is clicked.
extern WinHandle gMainWindow;

// The longest wait for a window's thread to answer; after it the caller
// goes on, so a hung target never hangs the program.
constexpr std::uint32_t kSyncTimeoutMs = 1000;

std::string GetWinText(WinHandle w);
std::string GetWinClass(WinHandle w);
std::string GetDialogText(WinHandle w);
bool IsUsableWin(WinHandle w);
WinHandle GetUsableFGWin();
WinHandle GetFocusWin();
bool ForceFGWin(WinHandle w);
void SetFGWin(WinHandle w);
// False when the window did not answer within kSyncTimeoutMs.
bool SyncWin(WinHandle w);
void MakeTopmost(WinHandle w, WinHandle insertAfter);
void BringToTopIfCovered(WinHandle w);
// The window itself or its nearest ancestor with a title bar: a button of
// another program's dialog gives the dialog. A window without one anywhere
// above it (a tool tip, a menu) gives itself.
WinHandle GetCaptionWin(WinHandle w);

constexpr WinHandle kHwndTopmost = 0xFFFFFFFFu;  // HWND_TOPMOST (-1)

// A form's position and size in twips; CenterForm sets left and top.
struct FormTwips {
    std::int32_t left = 0, top = 0, width = 0, height = 0;
};
void CenterForm(FormTwips& form);

}  // namespace rw
