#include "backends/x11/X11WindowSystem.h"

#include "backends/x11/X11Connection.h"
#include "backends/x11/X11Foreground.h"
#include "backends/x11/X11Keyboard.h"
#include "backends/x11/X11MainWindow.h"
#include "backends/x11/X11WindowTracker.h"
#include "backends/x11/X11Windows.h"

namespace rw::x11 {

X11WindowSystem::X11WindowSystem(const char* displayName, int argc, char** argv)
    : x_(std::make_unique<X11Connection>(displayName)),
      tracker_(std::make_unique<X11WindowTracker>(*x_)),
      foreground_(std::make_unique<X11Foreground>(*x_, *tracker_)),
      windows_(std::make_unique<X11Windows>(*x_, *tracker_, *foreground_)),
      keyboard_(std::make_unique<X11Keyboard>(*x_, *tracker_, *foreground_)),
      mainWindow_(std::make_unique<X11MainWindow>(*x_, *tracker_, *foreground_, *windows_, *keyboard_, events)),
      facts_(*x_, argc, argv),
      dialogs_(*windows_),
      roles_{files_, facts_, clock_, clipboard_, *windows_, processes_, *keyboard_, dialogs_} {
    windows_->onAnswered = [this](WinHandle w, WinHandle client) { keyboard_->TargetHasRead(w, client); };
}

X11WindowSystem::~X11WindowSystem() = default;

bool X11WindowSystem::Ok() const { return x_->Ok(); }
int X11WindowSystem::EventFd() const { return x_->Fd(); }
WinHandle X11WindowSystem::CreateMainWindow() { return mainWindow_->Create(); }
void X11WindowSystem::DispatchEvents() { mainWindow_->Dispatch(); }
bool X11WindowSystem::HasQueuedEvents() const { return mainWindow_->HasQueuedEvents(); }
bool X11WindowSystem::RestoreSpareKeys(bool force) { return keyboard_->RestoreSpareKeys(force); }
bool X11WindowSystem::SpareKeysLent() const { return keyboard_->SpareKeysLent(); }

std::int32_t X11Facts::GetScreenWidth() { return x_.Ok() ? DisplayWidth(x_.dpy(), x_.Screen()) : 0; }
std::int32_t X11Facts::GetScreenHeight() { return x_.Ok() ? DisplayHeight(x_.dpy(), x_.Screen()) : 0; }

namespace {
// Twips (1/1440 inch) per pixel along a screen side; 15 (96 dpi) when the
// server does not know the screen's size.
std::int32_t TwipsPerPixel(int pixels, int millimetres) {
    if (pixels <= 0 || millimetres <= 0) return 15;
    return static_cast<std::int32_t>(1440.0 * millimetres / 25.4 / pixels + 0.5);
}
}  // namespace

std::int32_t X11Facts::TwipsPerPixelX() {
    if (!x_.Ok()) return 15;
    return TwipsPerPixel(DisplayWidth(x_.dpy(), x_.Screen()), DisplayWidthMM(x_.dpy(), x_.Screen()));
}

std::int32_t X11Facts::TwipsPerPixelY() {
    if (!x_.Ok()) return 15;
    return TwipsPerPixel(DisplayHeight(x_.dpy(), x_.Screen()), DisplayHeightMM(x_.dpy(), x_.Screen()));
}

}  // namespace rw::x11
