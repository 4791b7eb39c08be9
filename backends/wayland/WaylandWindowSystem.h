// The Wayland window system: the windows and the foreground, and the keys,
// each the way the desktop offers them (see Desktops.h), and dialogs,
// processes and sizes through the accessibility bus on every desktop.
//
// Each role is the subsystem that does the work:
//   a Toplevels        Windows   (the windows, the foreground, window
//                                 commands; wlroots: WaylandWindows;
//                                 KWin: PlasmaWindows)
//   a Keyboard         Input     (wlroots: WaylandKeyboard, a virtual
//                                 keyboard with the user's layout; KWin:
//                                 FakeInputKeyboard; both XkbKeyboards)
//   AccessibleDialogs  Dialogs   (AT-SPI, as on X11)
//   WaylandFacts       SystemFacts (the Linux facts, with the output's size)
//   PosixFiles, PosixProcesses, PosixClock, QtClipboard: shared by the
//   Linux window systems.
// Beside them WaylandConnection (the backend's own connection, separate
// from Qt's).
//
// Events: the foreground moving to a window is shell notification 4, a new
// window 1, a closed one onClientGone; they are handed on after the
// handlers that learnt them have run, never from inside them. The event
// descriptor stands for the Wayland connection and every connection of the
// windows' and the keys' own (D-Bus). There is no hidden main window on
// Wayland and no external notification; the tray icon is Qt's
// (StatusNotifierItem).
#pragma once

#include <memory>
#include <string>

#include "backends/atspi/AccessibleDialogs.h"
#include "backends/linux/LinuxFacts.h"
#include "backends/linux/QtClipboard.h"
#include "backends/linux/WindowSystem.h"
#include "backends/posix/PosixFiles.h"
#include "backends/posix/PosixProcess.h"

namespace rw::wl {

class WaylandConnection;
class Toplevels;
class Keyboard;

// The Linux facts; the screen is the output's current mode.
class WaylandFacts final : public lnx::LinuxFacts {
public:
    WaylandFacts(WaylandConnection& c, int argc, char** argv) : LinuxFacts(argc, argv), c_(c) {}
    // No program sees what lies under the pointer outside its own windows.
    bool FindsWindowsAtPoint() override { return false; }
    std::int32_t GetScreenWidth() override;
    std::int32_t GetScreenHeight() override;
    // Wayland tells no physical size that toolkits go by: 96 dpi.
    std::int32_t TwipsPerPixelX() override { return 15; }
    std::int32_t TwipsPerPixelY() override { return 15; }

private:
    WaylandConnection& c_;
};

class WaylandWindowSystem final : public lnx::WindowSystem {
public:
    // Connects (nullptr: $WAYLAND_DISPLAY). Check Ok() before use.
    WaylandWindowSystem(const char* displayName, int argc, char** argv);
    ~WaylandWindowSystem() override;
    WaylandWindowSystem(const WaylandWindowSystem&) = delete;
    WaylandWindowSystem& operator=(const WaylandWindowSystem&) = delete;

    // Connected, and the windows can be followed and keys sent.
    bool Ok() const override;
    // Why Ok() is false, for the user.
    const char* Problem() const;
    const Platform& Roles() const override { return *roles_; }
    // The ways taken, for the log and the user: "wlr", "virtual-keyboard", ...
    const std::string& WindowsWay() const { return windowsWay_; }
    const std::string& KeysWay() const { return keysWay_; }
    // No window stands for the program on Wayland: a handle that no
    // toplevel ever gets.
    WinHandle CreateMainWindow() override;
    int EventFd() const override;
    void DispatchEvents() override;
    bool HasQueuedEvents() const override;
    // Spare keys keep their characters; nothing to give back.
    bool RestoreSpareKeys(bool) override { return true; }
    bool SpareKeysLent() const override { return false; }

private:
    void HandOnNews();
    void Watch(int fd);

    std::unique_ptr<WaylandConnection> c_;
    std::unique_ptr<Toplevels> windows_;
    std::unique_ptr<Keyboard> keyboard_;
    std::string windowsWay_, keysWay_;
    WaylandFacts facts_;
    posix::PosixFiles files_;
    posix::PosixProcesses processes_;
    posix::PosixClock clock_;
    lnx::QtClipboard clipboard_;
    std::unique_ptr<atspi::AccessibleDialogs> dialogs_;
    std::unique_ptr<Platform> roles_;
    int epoll_ = -1;
    bool handing_ = false;
};

}  // namespace rw::wl
