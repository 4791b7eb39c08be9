// The Input role on KDE Plasma (KWin): keys through KWin's fake input
// (org_kde_kwin_fake_input), granted like its window management to a
// program that a desktop file names (see PlasmaWindows.h).
//
// KWin reads fake keys as evdev codes with the seat's own keymap and
// state, not ours: the keyboard learns that keymap from the seat (the one
// every program gets), and the group in use from KWin's keyboard-layout
// service (org.kde.keyboard; only there with more than one layout) at the
// start of each macro. KWin works out the modifiers from the keys itself.
// The seat's locks are the user's too: KWin's key states
// (org_kde_kwin_keystate, where granted) tell them, so that Caps Lock left
// on by the user does not turn "a" into "A" (Shift undoes it).
//
// A character that no key of the seat's layout gives cannot be typed as a
// key: no keymap of ours reaches KWin (it offers no virtual keyboard to
// clients; its input-method protocol belongs to the input method it starts
// itself). Such a character goes into the focused editable control of the
// target through the accessibility bus instead, after the keys sent before
// it have been read by the program. A target without such a control (or
// without accessibility) does not get it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "backends/atspi/AccessibilityBridge.h"
#include "backends/wayland/SeatKeymap.h"
#include "backends/wayland/SessionBus.h"
#include "backends/wayland/XkbKeyboard.h"

struct org_kde_kwin_fake_input;
struct org_kde_kwin_keystate;

namespace rw::wl {

class FakeInputKeyboard final : public XkbKeyboard {
public:
    // windows: the toplevels, for the check before each key press.
    FakeInputKeyboard(WaylandConnection& c, Windows& windows);
    // Keys still down go up.
    ~FakeInputKeyboard() override;
    FakeInputKeyboard(const FakeInputKeyboard&) = delete;
    FakeInputKeyboard& operator=(const FakeInputKeyboard&) = delete;

    // Binds the fake input, introduces the program to KWin, and learns the
    // seat's keymap (the XKB defaults where the seat tells none).
    bool Start() override;
    // The seat's keymap, should it have changed, and the layout group KWin
    // is in now, too.
    void AimKeysAt(const WindowIdentity& target) override;

private:
    static void OnKeyState(void* data, org_kde_kwin_keystate* keystate, std::uint32_t key, std::uint32_t state);

    bool Ready() const override { return fakeInput_ != nullptr; }
    void Key(std::uint32_t evdev, bool down) override;
    void Modifiers(xkb_mod_mask_t, xkb_mod_mask_t, xkb_mod_mask_t, xkb_layout_index_t) override {}
    bool SendKeymap() override { return false; }
    MissingChar Missing(WinHandle w, std::uint32_t cp, const std::string& ch) override;
    // The seat's keymap, when a new one has come.
    void FollowKeymap();
    // The group KWin's layout service names; 0 without the service.
    void FollowGroup();

    org_kde_kwin_fake_input* fakeInput_ = nullptr;
    org_kde_kwin_keystate* keyState_ = nullptr;
    std::unique_ptr<SeatKeymap> seatKeymap_;
    std::uint32_t keymapGeneration_ = 0;
    std::unique_ptr<SessionBus> session_;
    // Key events sent since the program last showed it had read them all.
    std::uint32_t unread_ = 0;
    atspi::AccessibilityBridge bridge_;
};

}  // namespace rw::wl
