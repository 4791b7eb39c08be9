#include "ui/WindowFacts.h"

#include "actions/ModuleLookup.h"
#include "actions/WinServices.h"
#include "platform/Platform.h"

namespace rw {

WinHandle SystemWindowFacts::WindowAt(std::int32_t x, std::int32_t y) { return Sys().windows.WindowFromPoint(x, y); }
bool SystemWindowFacts::PointerFindsWindows() { return Sys().facts.FindsWindowsAtPoint(); }
WinHandle SystemWindowFacts::Foreground() { return Sys().windows.GetForegroundWindow(); }
WinHandle SystemWindowFacts::CaptionWindowOf(WinHandle w) { return GetCaptionWin(w); }
std::string SystemWindowFacts::Title(WinHandle w) { return GetWinText(w); }
std::string SystemWindowFacts::ClassName(WinHandle w) { return GetWinClass(w); }
std::string SystemWindowFacts::DialogText(WinHandle w) { return GetDialogText(w); }
std::string SystemWindowFacts::Module(WinHandle w) { return GetWindowModule(w); }
Rect SystemWindowFacts::Bounds(WinHandle w) {
    Rect r;
    if (w != 0) Sys().windows.GetWindowRect(w, r);
    return r;
}

}  // namespace rw
