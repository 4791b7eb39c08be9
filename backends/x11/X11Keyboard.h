// The keyboard of the backend's connection: the XKB layout (read once and
// kept until it changes), characters typed as XTest key events for the
// key and level they have in that layout, spare keycodes lent to
// characters the layout lacks, named keys, and the lock keys.
//
// A lent keycode keeps the character's keysym until the target has read
// the character: changing it earlier would let the target translate the
// key with the new keysym. It goes back once the target answered a ping
// since, or after a short grace for targets that take no pings.
#pragma once

#include <X11/XKBlib.h>
#include <X11/Xlib.h>

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "backends/x11/X11Connection.h"
#include "backends/x11/X11Foreground.h"
#include "backends/x11/X11WindowTracker.h"
#include "backends/x11/XResources.h"
#include "platform/Input.h"

namespace rw::x11 {

class X11Keyboard final : public Input {
public:
    X11Keyboard(X11Connection& x, X11WindowTracker& tracker, X11Foreground& foreground);
    // Lent keycodes go back to their own keysyms.
    ~X11Keyboard();
    X11Keyboard(const X11Keyboard&) = delete;
    X11Keyboard& operator=(const X11Keyboard&) = delete;

    // XTest types into whatever has the focus.
    bool CharactersFollowFocus() override { return true; }
    // Types one character (its UTF-8 bytes) into whatever has the focus;
    // w is the window it is meant for.
    bool PostChar(WinHandle w, const std::string& ch) override;
    std::int16_t VkKeyScan(const std::string& ch) override;
    // The X keycode stands in for the scan code.
    std::uint32_t MapVirtualKey(std::uint32_t vk) override;
    std::string GetKeyNameText(std::int32_t lParam) override;
    // The scan code is not used: the keycode comes from the virtual key.
    void KeyEvent(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags) override;
    std::int16_t GetKeyState(int vk) override;
    bool GetKeyboardState(std::array<std::uint8_t, 256>& state) override;
    // Only the lock states can be set on X; keys that are down stay down.
    bool SetKeyboardState(const std::array<std::uint8_t, 256>& state) override;
    // XTest events go wherever the keyboard goes: with a target, each press
    // is sent only when, immediately before it, the target is the active
    // window, still the same window, and holds the input focus. The server
    // is held from the check to the key's last event, and one round trip
    // brings in what changed before; the state itself is known from events
    // (see X11Foreground).
    void AimKeysAt(const WindowIdentity& target) override;
    void EndKeysFor() override;
    bool KeysRefused() override { return refused_; }

    // Window w, whose client window `client` answered a ping, has read
    // every character typed for it so far.
    void TargetHasRead(WinHandle w, WinHandle client);
    // Keycodes lent out go back to their own keysyms; true when none is
    // lent out any more. Unless forced, not while a target may still be
    // reading a character typed with one.
    bool RestoreSpareKeys(bool force);
    bool SpareKeysLent() const { return !lent_.empty(); }

    // Notes a layout change (a core MappingNotify, or an XKB event: an XKB
    // client gets no core MappingNotify for a layout switch). True when the
    // event was one.
    bool HandleEvent(XEvent& ev);
    // Notes an XKB state event, taken from the queue or still in it.
    void NoteStateEvent(const XEvent& ev);

private:
    struct LentKey {
        std::uint32_t keysym = 0;
        std::uint64_t lastUse = 0;  // use counter, for least-recently-used reuse
        std::uint32_t usedAtMs = 0;
        bool targetSynced = false;  // the target answered a ping since
        // The window the character was typed for, and how many times its id
        // had been seen destroyed then: only that very window's answer to a
        // ping tells that the character has been read.
        WinHandle target = 0;
        std::uint64_t targetEnds = 0;
    };

    void Refresh();
    // The locked modifiers and the group characters are looked up with:
    // read again only once the server reported a change of them (an XKB
    // state event, sought in the queue too), not for every character.
    void LockState(unsigned& lockedMods, unsigned& group);
    std::uint8_t KeycodeOfVk(std::uint8_t vk);
    std::uint8_t KeycodeOfKeyName(const char* name);
    std::uint8_t VkOfKeycode(std::uint8_t kc);
    bool VkDown(const char keys[32], std::uint8_t vk);
    bool FindKeyForChar(std::uint32_t cp, std::uint8_t& kc, bool& shift, std::uint32_t& keysym);
    std::uint8_t LendKeycode(std::uint32_t keysym);
    // False, and nothing sent, when the target does not hold the keyboard.
    bool TapKeycode(std::uint8_t kc, bool shift);
    // Whether a key press may be sent now; notes a refusal.
    bool MayPress();
    unsigned LockModMask(std::uint8_t vk);
    bool LockOn(std::uint8_t vk);
    void SetLock(std::uint8_t vk, bool on);

    X11Connection& x_;
    X11WindowTracker& tracker_;
    X11Foreground& foreground_;
    bool refused_ = false;
    bool dirty_ = true;
    bool stateKnown_ = false;
    unsigned lockedMods_ = 0;
    unsigned group_ = 0;
    unsigned long stateSerial_ = 0;
    int minKeycode_ = 8, maxKeycode_ = 255;
    XkbKeyboardPtr xkb_;
    std::map<std::uint8_t, std::uint8_t> vkKeycode_;  // cache, filled lazily
    std::vector<std::uint8_t> spareKeycodes_;
    std::map<std::uint8_t, LentKey> lent_;
    std::uint64_t useCounter_ = 0;
};

}  // namespace rw::x11
