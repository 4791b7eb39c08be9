// The Input role on GNOME: the keyboard of a remote desktop session (see
// RemoteDesktopSessions.h), which types keysyms into the window that has
// the focus. mutter finds the keys for them in its own keymap; which
// characters it can type that way, and how the others are typed, is
// KeysymTyping's part. The keymap is the compositor's, as every client
// gets it (SeatKeymap), and the XKB defaults until it has come.
//
// Which way: the portal, where the desktop offers a keyboard through it;
// mutter's own interface where no portal does (a session without
// xdg-desktop-portal-gnome, a headless or test session). mutter documents
// that interface as private to the desktop's own parts and asks nobody,
// while the portal asks the user, so an application on a user's desktop
// goes through the portal. GNOME's portal (xdg-desktop-portal 1.16,
// RemoteDesktop version 1) keeps no permission: it asks at every start of
// the program, in a window titled "Remote desktop" whose switch "Allow
// remote interaction" must be turned on before "Share" is offered. Until
// the user has answered, and after a refusal, every key press is refused
// (the macro stops); nothing else is tried behind the user's back. While
// the session lasts, GNOME Shell shows its sharing indicator in the top
// bar; stopping it there ends the session, and the keys with it.
//
// The promises are WaylandKeyboard's: before each key press and each
// character for the target, the target must still be the foreground
// window as the Windows role knows it from the events that have arrived
// (read then, without a round trip); else the press is refused. Releases
// always go out. No key stays down: the keyboard releases what it holds
// when it ends, and the desktop lets go of a session's keys when the
// session ends.
//
// mutter gives a new seat its keyboard with the first key it gets, and
// loses that key: a session that has become ready starts with a tap of
// Shift and waits (at most a second) until the seat has its keyboard.
//
// Keys go no faster than the target's program takes them (see Pace).
#pragma once

#include <xkbcommon/xkbcommon.h>

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>

#include "backends/atspi/AccessibilityBridge.h"
#include "backends/wayland/Desktop.h"
#include "backends/wayland/KeysymTyping.h"
#include "backends/wayland/RemoteDesktopSessions.h"
#include "backends/wayland/SeatKeymap.h"
#include "backends/wayland/WaylandConnection.h"
#include "backends/wayland/XkbLayout.h"

namespace rw::wl {

class RemoteDesktopKeyboard final : public Keyboard {
public:
    enum class Via { Portal, Mutter };
    // The way's name: "portal", "remote-desktop".
    static const char* WayName(Via via);
    // The keyboard of that way; nullptr when the desktop does not offer it.
    static std::unique_ptr<Keyboard> Open(WaylandConnection& c, Toplevels& windows, Via via);

    RemoteDesktopKeyboard(WaylandConnection& c, Toplevels& windows, std::unique_ptr<RemoteDesktopSession> session);
    // Keys still down go up; the session ends.
    ~RemoteDesktopKeyboard() override;
    RemoteDesktopKeyboard(const RemoteDesktopKeyboard&) = delete;
    RemoteDesktopKeyboard& operator=(const RemoteDesktopKeyboard&) = delete;

    // Asks for the session (at program start, so that the seat has its
    // keyboard and the user has answered long before the first key).
    bool Start() override;
    // Not ended: a session that waits for the user's answer counts.
    bool Ok() const override;

    bool CharactersFollowFocus() override { return true; }
    bool PostChar(WinHandle w, const std::string& ch) override;
    std::int16_t VkKeyScan(const std::string& ch) override;
    // The XKB keycode stands in for the scan code.
    std::uint32_t MapVirtualKey(std::uint32_t vk) override;
    std::string GetKeyNameText(std::int32_t lParam) override;
    void KeyEvent(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags) override;
    // The keys this keyboard holds; Caps Lock and Num Lock as mutter tells
    // them (through the portal: as this keyboard left them, off at start);
    // Scroll Lock as this keyboard left it.
    std::int16_t GetKeyState(int vk) override;
    bool GetKeyboardState(std::array<std::uint8_t, 256>& state) override;
    bool SetKeyboardState(const std::array<std::uint8_t, 256>& state) override;
    void AimKeysAt(const WindowIdentity& target) override;
    void EndKeysFor() override {
        aimed_ = false;
        SettleLocks();
    }
    bool KeysRefused() override { return refused_; }
    // Empty when the target lost the keyboard; else the session's state,
    // or a target that takes no keys.
    std::string KeysRefusedWhy() override { return refusedWhy_; }

    int SourceFd() const override { return session_->Fd(); }
    void DispatchSource() override;
    bool SourceQueued() const override { return session_->Queued(); }

private:
    // A key as it goes out: by keysym, or by evdev code where a key is
    // meant by its place (the punctuation keys' codes).
    using Key = std::pair<bool, std::uint32_t>;  // (by keysym, code)

    void Follow();
    void Prime();
    xkb_keymap* Model() const;
    void Refresh();
    bool Send(const Key& key, bool down);
    Key KeyOfVkCode(std::uint8_t vk);
    bool LockOn(std::uint8_t vk) const;
    // The lock state as mutter tells it.
    bool Told(std::uint8_t vk) const;
    void SettleLocks();
    bool Tap(const Key& key);
    bool MayPress();
    void CatchUp();
    bool InFront();
    bool Pace();

    WaylandConnection& c_;
    Toplevels& windows_;
    std::unique_ptr<RemoteDesktopSession> session_;
    SeatKeymap seat_;
    xkb_context* context_ = nullptr;
    xkb_keymap* defaults_ = nullptr;  // the XKB defaults, until the compositor's keymap comes
    std::uint32_t generation_ = ~0u;
    KeysymTyping typing_;
    std::map<std::uint32_t, KeyPlace> places_;
    std::set<Key> down_;
    WindowIdentity target_;
    bool aimed_ = false, refused_ = false;
    std::string refusedWhy_;
    bool started_ = false, primed_ = false, endNoted_ = false;
    // Lock states this keyboard set, until mutter has told them back (see
    // SettleLocks); where it tells none (the portal), the keyboard's own.
    std::map<std::uint8_t, bool> ownLocks_;
    std::uint32_t sent_ = 0;
    // Pacing: key events since the target's program last answered, and a
    // program found to have no accessibility bridge.
    atspi::AccessibilityBridge bridge_;
    std::uint32_t unanswered_ = 0;
    std::uint32_t targetPid_ = 0;
    bool pidKnown_ = false;
    std::uint32_t unaskable_ = 0;
};

}  // namespace rw::wl
