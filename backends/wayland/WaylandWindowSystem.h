// The Wayland window system of wlroots compositors (sway, Hyprland, labwc,
// river, Wayfire): the foreign-toplevel protocol for the windows, a virtual
// keyboard for typing, and dialogs through the accessibility bus.
//
// Each role is the subsystem that does the work:
//   WaylandWindows     Windows   (toplevels, foreground, window commands;
//                                 process and size from the accessibility bus)
//   WaylandKeyboard    Input     (a virtual keyboard with the user's layout)
//   AccessibleDialogs  Dialogs   (AT-SPI, as on X11)
//   WaylandFacts       SystemFacts (the Linux facts, with the output's size)
//   PosixFiles, PosixProcesses, PosixClock, QtClipboard: shared by the
//   Linux window systems.
// Beside them WaylandConnection (the backend's own connection, separate
// from Qt's). Other compositors' ways of telling the foreground and taking
// keys (GNOME's, KDE's) would be further Windows and Input roles beside
// these, with the same accessibility bus for dialogs, processes and sizes.
//
// Events: the foreground moving to a toplevel is shell notification 4, a
// new toplevel 1, a closed one onClientGone; they are handed on after the
// connection's handlers have run, never from inside them. There is no
// hidden main window on Wayland and no external notification; the tray
// icon is Qt's (StatusNotifierItem).
#pragma once

#include <memory>

#include "backends/atspi/AccessibleDialogs.h"
#include "backends/linux/LinuxFacts.h"
#include "backends/linux/QtClipboard.h"
#include "backends/linux/WindowSystem.h"
#include "backends/posix/PosixFiles.h"
#include "backends/posix/PosixProcess.h"

namespace rw::wl {

class WaylandConnection;
class WaylandWindows;
class WaylandKeyboard;

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

    // Connected, and the compositor offers the toplevel list and a virtual
    // keyboard.
    bool Ok() const override;
    // Why Ok() is false, for the user.
    const char* Problem() const;
    const Platform& Roles() const override { return roles_; }
    // No window stands for the program on Wayland: a handle that no
    // toplevel ever gets.
    WinHandle CreateMainWindow() override;
    int EventFd() const override;
    void DispatchEvents() override;
    bool HasQueuedEvents() const override;
    // Spare keys keep their characters; nothing to give back.
    bool RestoreSpareKeys(bool) override { return true; }
    bool SpareKeysLent() const override { return false; }

    // For the backend's own tests.
    WaylandWindows& WindowsRole() { return *windows_; }
    WaylandKeyboard& KeyboardRole() { return *keyboard_; }

private:
    void HandOnNews();

    std::unique_ptr<WaylandConnection> c_;
    std::unique_ptr<WaylandWindows> windows_;
    std::unique_ptr<WaylandKeyboard> keyboard_;
    WaylandFacts facts_;
    posix::PosixFiles files_;
    posix::PosixProcesses processes_;
    posix::PosixClock clock_;
    lnx::QtClipboard clipboard_;
    atspi::AccessibleDialogs dialogs_;
    const Platform roles_;
    bool handing_ = false;
};

}  // namespace rw::wl
