#include "backends/x11/X11Keyboard.h"

#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <xkbcommon/xkbcommon.h>

#include <cstring>

#include "backends/posix/PosixProcess.h"
#include "backends/linux/Keysyms.h"
#include "backends/linux/LinuxUtil.h"
#include "backends/x11/XResources.h"
#include "platform/Keys.h"

namespace rw::x11 {

using lnx::BindingOfVk;
using lnx::IsLockVk;
using lnx::KeysymLabel;
using lnx::VkBinding;

namespace {

// A target that cannot be pinged gets this long to read a character typed
// through a lent keycode before that keycode changes again.
constexpr std::uint32_t kUnsyncedKeyGraceMs = 60;
constexpr std::size_t kMaxLentKeys = 8;
constexpr std::uint8_t kLockVks[] = {0x14, 0x90, 0x91};

// Holds the server (no other client's request is handled) from the check
// of the target to the last event of a key, while keys are aimed at a
// target: no window can take the focus or come to the front in between.
class ServerHold {
public:
    ServerHold(Display* dpy, bool hold) : dpy_(hold ? dpy : nullptr) {
        if (dpy_ != nullptr) XGrabServer(dpy_);
    }
    ~ServerHold() {
        if (dpy_ == nullptr) return;
        XUngrabServer(dpy_);
        XFlush(dpy_);
    }
    ServerHold(const ServerHold&) = delete;
    ServerHold& operator=(const ServerHold&) = delete;

private:
    Display* dpy_;
};

// Looks through the queue for XCheckIfEvent without taking anything out.
Bool NoteQueuedStateEvent(Display*, XEvent* ev, XPointer arg) {
    reinterpret_cast<X11Keyboard*>(arg)->NoteStateEvent(*ev);
    return False;
}

bool KeycodeDown(const char keys[32], std::uint8_t kc) {
    if (kc == 0) return false;
    return (static_cast<unsigned char>(keys[kc / 8]) & (1u << (kc % 8))) != 0;
}

}  // namespace

X11Keyboard::X11Keyboard(X11Connection& x, X11WindowTracker& tracker, X11Foreground& foreground)
    : x_(x), tracker_(tracker), foreground_(foreground) {
    if (!x_.Ok()) return;
    XDisplayKeycodes(x_.dpy(), &minKeycode_, &maxKeycode_);
    // Keymap changes of others (a layout switch) reach us as XKB events.
    XkbSelectEvents(x_.dpy(), XkbUseCoreKbd, XkbNewKeyboardNotifyMask | XkbMapNotifyMask,
                    XkbNewKeyboardNotifyMask | XkbMapNotifyMask);
    // So do changes of the lock state and the group; not those of the
    // modifiers held, which every Shift we press would report.
    XkbSelectEventDetails(x_.dpy(), XkbUseCoreKbd, XkbStateNotify, XkbAllStateComponentsMask,
                          XkbModifierLockMask | XkbGroupStateMask);
}

void X11Keyboard::NoteStateEvent(const XEvent& ev) {
    if (ev.type != x_.XkbEventBase()) return;
    const auto& xkb = reinterpret_cast<const XkbEvent&>(ev);
    if (xkb.any.xkb_type == XkbStateNotify && xkb.any.serial >= stateSerial_) stateKnown_ = false;
}

void X11Keyboard::LockState(unsigned& lockedMods, unsigned& group) {
    Display* dpy = x_.dpy();
    // Reads what has arrived; takes nothing out of the queue.
    XEvent unused;
    XCheckIfEvent(dpy, &unused, NoteQueuedStateEvent, reinterpret_cast<XPointer>(this));
    if (!stateKnown_) {
        stateSerial_ = NextRequest(dpy);
        XkbStateRec st{};
        XkbGetState(dpy, XkbUseCoreKbd, &st);
        lockedMods_ = st.locked_mods;
        group_ = st.group;
        stateKnown_ = true;
    }
    lockedMods = lockedMods_;
    group = group_;
}

X11Keyboard::~X11Keyboard() { RestoreSpareKeys(true); }

bool X11Keyboard::HandleEvent(XEvent& ev) {
    if (ev.type == MappingNotify) {
        XRefreshKeyboardMapping(&ev.xmapping);
        dirty_ = true;
        return true;
    }
    if (ev.type == x_.XkbEventBase()) {
        if (reinterpret_cast<const XkbEvent&>(ev).any.xkb_type == XkbStateNotify) {
            NoteStateEvent(ev);
        } else {
            dirty_ = true;
        }
        return true;
    }
    return false;
}

// ---- Layout ------------------------------------------------------------------

void X11Keyboard::Refresh() {
    if (!dirty_ && xkb_ != nullptr) return;
    dirty_ = false;
    Display* dpy = x_.dpy();
    xkb_.reset(XkbGetMap(dpy, XkbAllClientInfoMask, XkbUseCoreKbd));
    if (xkb_ != nullptr) XkbGetNames(dpy, XkbKeyNamesMask, xkb_.get());
    vkKeycode_.clear();
    // Spare keycodes: no keysym at all and no modifier. Characters the
    // layout lacks are typed through them. Keycodes lent out keep their place.
    spareKeycodes_.clear();
    int count = maxKeycode_ - minKeycode_ + 1;
    int per = 0;
    XPtr<KeySym> syms(XGetKeyboardMapping(dpy, static_cast<KeyCode>(minKeycode_), count, &per));
    ModifierMapPtr mods(XGetModifierMapping(dpy));
    if (syms == nullptr) return;
    for (int kc = maxKeycode_; kc >= minKeycode_ && spareKeycodes_.size() < kMaxLentKeys; --kc) {
        bool empty = true;
        for (int l = 0; l < per; ++l) empty = empty && syms.get()[(kc - minKeycode_) * per + l] == NoSymbol;
        bool isMod = false;
        if (mods != nullptr) {
            for (int i = 0; i < 8 * mods->max_keypermod; ++i) isMod = isMod || mods->modifiermap[i] == kc;
        }
        bool lentHere = lent_.count(static_cast<std::uint8_t>(kc)) != 0;
        if ((empty && !isMod) || lentHere) spareKeycodes_.push_back(static_cast<std::uint8_t>(kc));
    }
}

std::uint8_t X11Keyboard::KeycodeOfKeyName(const char* name) {
    const XkbDescPtr xkb = xkb_.get();
    if (xkb == nullptr || xkb->names == nullptr || xkb->names->keys == nullptr || name == nullptr) return 0;
    for (int kc = xkb->min_key_code; kc <= xkb->max_key_code; ++kc) {
        if (std::strncmp(xkb->names->keys[kc].name, name, XkbKeyNameLength) == 0) {
            return static_cast<std::uint8_t>(kc);
        }
    }
    return 0;
}

std::uint8_t X11Keyboard::KeycodeOfVk(std::uint8_t vk) {
    if (!x_.Ok()) return 0;
    Refresh();
    auto it = vkKeycode_.find(vk);
    if (it != vkKeycode_.end()) return it->second;
    VkBinding b = BindingOfVk(vk);
    std::uint8_t kc = 0;
    if (b.keysym != 0) kc = static_cast<std::uint8_t>(XKeysymToKeycode(x_.dpy(), b.keysym));
    if (kc == 0 && b.xkbKeyName != nullptr) kc = KeycodeOfKeyName(b.xkbKeyName);
    vkKeycode_[vk] = kc;
    return kc;
}

std::uint8_t X11Keyboard::VkOfKeycode(std::uint8_t kc) {
    if (kc == 0) return 0;
    // Letters, digits and the common keys first, then punctuation and the
    // keypad: the first code that has this key is its code.
    static const std::pair<int, int> ranges[] = {{0x41, 0x5A}, {0x30, 0x39}, {0x20, 0x20}, {0x0D, 0x0D},
                                                 {0x09, 0x09}, {0x08, 0x08}, {0x1B, 0x1B}, {0xBA, 0xE2},
                                                 {0x60, 0x6F}};
    for (const auto& [first, last] : ranges)
        for (int vk = first; vk <= last; ++vk)
            if (KeycodeOfVk(static_cast<std::uint8_t>(vk)) == kc) return static_cast<std::uint8_t>(vk);
    return 0;
}

std::uint32_t X11Keyboard::MapVirtualKey(std::uint32_t vk) {
    if (vk > 0xFF) return 0;
    // The X keycode stands in for the scan code; it identifies the key the
    // same way within one keyboard mapping.
    return KeycodeOfVk(static_cast<std::uint8_t>(vk));
}

std::string X11Keyboard::GetKeyNameText(std::int32_t lParam) {
    if (!x_.Ok()) return {};
    auto kc = static_cast<std::uint32_t>(lParam >> 16) & 0xFFu;
    if (kc < static_cast<std::uint32_t>(minKeycode_) || kc > static_cast<std::uint32_t>(maxKeycode_)) return {};
    Refresh();
    XkbStateRec st{};
    XkbGetState(x_.dpy(), XkbUseCoreKbd, &st);
    KeySym ks = XkbKeycodeToKeysym(x_.dpy(), static_cast<KeyCode>(kc), st.group, 0);
    if (ks == NoSymbol) ks = XkbKeycodeToKeysym(x_.dpy(), static_cast<KeyCode>(kc), 0, 0);
    return KeysymLabel(static_cast<std::uint32_t>(ks));
}

// ---- Typing ----------------------------------------------------------------

bool X11Keyboard::FindKeyForChar(std::uint32_t cp, std::uint8_t& kc, bool& shift, std::uint32_t& keysym) {
    Refresh();
    const XkbDescPtr xkb = xkb_.get();
    if (xkb == nullptr) return false;
    unsigned locked = 0, group = 0;
    LockState(locked, group);
    for (unsigned wantShift = 0; wantShift < 2; ++wantShift) {
        unsigned mods = locked | (wantShift != 0 ? ShiftMask : 0u);
        unsigned state = XkbBuildCoreState(mods, group);
        for (int k = xkb->min_key_code; k <= xkb->max_key_code; ++k) {
            if (lent_.count(static_cast<std::uint8_t>(k)) != 0) continue;
            unsigned modsRtrn = 0;
            KeySym ks = NoSymbol;
            if (!XkbTranslateKeyCode(xkb, static_cast<KeyCode>(k), state, &modsRtrn, &ks) || ks == NoSymbol) continue;
            // Keypad keys depend on Num Lock; the main keys are preferred.
            if (ks >= XK_KP_Space && ks <= XK_KP_Equal) continue;
            if (xkb_keysym_to_utf32(static_cast<xkb_keysym_t>(ks)) != cp) continue;
            kc = static_cast<std::uint8_t>(k);
            shift = wantShift != 0;
            keysym = static_cast<std::uint32_t>(ks);
            return true;
        }
    }
    return false;
}

std::uint8_t X11Keyboard::LendKeycode(std::uint32_t keysym) {
    Refresh();
    for (auto& [kc, lent] : lent_) {
        if (lent.keysym == keysym) return kc;
    }
    if (spareKeycodes_.empty()) return 0;
    // The spare that is free, else the least recently used one.
    std::uint8_t pick = 0;
    for (std::uint8_t kc : spareKeycodes_) {
        if (lent_.count(kc) == 0) {
            pick = kc;
            break;
        }
    }
    if (pick == 0) {
        std::uint64_t oldest = UINT64_MAX;
        for (auto& [kc, lent] : lent_) {
            if (lent.lastUse < oldest) {
                oldest = lent.lastUse;
                pick = kc;
            }
        }
        // Changing the keycode while the target has not read the character
        // typed with it would let the target translate it with the new keysym.
        LentKey& old = lent_[pick];
        if (!old.targetSynced) {
            std::uint32_t since = posix::MonotonicMs() - old.usedAtMs;
            if (since < kUnsyncedKeyGraceMs) posix::SleepMs(kUnsyncedKeyGraceMs - since);
        }
    }
    Display* dpy = x_.dpy();
    // The keysym on both levels: given once, the server would make a letter
    // key of it (lower case plain, upper case shifted) and an upper-case
    // letter would arrive in lower case.
    KeySym ks[2] = {keysym, keysym};
    XChangeKeyboardMapping(dpy, pick, 2, ks, 1);
    // The server applies the mapping before it handles our next request;
    // XSync makes sure it has, and that the MappingNotify every client gets
    // is queued ahead of the key events that follow.
    XSync(dpy, False);
    LentKey& l = lent_[pick];
    l.keysym = keysym;
    l.targetSynced = false;
    // Our own notification of the change is no news to us.
    XEvent ev;
    while (XCheckTypedEvent(dpy, MappingNotify, &ev)) XRefreshKeyboardMapping(&ev.xmapping);
    // The layout kept stays as it is: it differs from the server's only in
    // keycodes lent out, which characters are never looked up in (see
    // FindKeyForChar). Reading it all again for every lent key would cost
    // four round trips a character.
    return pick;
}

bool X11Keyboard::RestoreSpareKeys(bool force) {
    if (!x_.Ok() || lent_.empty()) return true;
    const std::uint32_t now = posix::MonotonicMs();
    if (!force) {
        for (auto& [kc, lent] : lent_) {
            if (!lent.targetSynced && now - lent.usedAtMs < kUnsyncedKeyGraceMs) return false;
        }
    }
    for (auto& [kc, lent] : lent_) {
        KeySym none[2] = {NoSymbol, NoSymbol};
        XChangeKeyboardMapping(x_.dpy(), kc, 2, none, 1);
    }
    lent_.clear();
    XSync(x_.dpy(), False);
    dirty_ = true;
    return true;
}

void X11Keyboard::TargetHasRead(WinHandle w, WinHandle client) {
    for (auto& [kc, lent] : lent_) {
        if ((lent.target == w || lent.target == client) && tracker_.EndsSeen(lent.target) == lent.targetEnds)
            lent.targetSynced = true;
    }
}

void X11Keyboard::AimKeysAt(const WindowIdentity& target) {
    refused_ = false;
    foreground_.AimAt(target);
}

void X11Keyboard::EndKeysFor() {
    foreground_.EndAim();
    refused_ = false;
}

bool X11Keyboard::MayPress() {
    if (!foreground_.Aiming()) return true;
    // Once refused, refused until the next target: the macro stops there.
    if (refused_) return false;
    // The caller holds the server. What changed before that, the server
    // may not have sent us yet: one round trip brings it all in, and from
    // then on nothing changes until the key is out.
    XSync(x_.dpy(), False);
    if (foreground_.TargetHoldsKeyboard()) return true;
    refused_ = true;
    return false;
}

bool X11Keyboard::TapKeycode(std::uint8_t kc, bool shift) {
    Display* dpy = x_.dpy();
    std::uint8_t shiftKc = 0;
    if (shift) {
        char keys[32];
        XQueryKeymap(dpy, keys);
        std::uint8_t l = KeycodeOfVk(0xA0), r = KeycodeOfVk(0xA1);
        if (!KeycodeDown(keys, l) && !KeycodeDown(keys, r)) shiftKc = l;
    }
    // Last thing before the events: the keymap work and any wait for a free
    // key are behind us.
    const ServerHold hold(dpy, foreground_.Aiming());
    if (!MayPress()) return false;
    x_.NoteInputSent();
    if (shiftKc != 0) XTestFakeKeyEvent(dpy, shiftKc, True, CurrentTime);
    XTestFakeKeyEvent(dpy, kc, True, CurrentTime);
    XTestFakeKeyEvent(dpy, kc, False, CurrentTime);
    if (shiftKc != 0) XTestFakeKeyEvent(dpy, shiftKc, False, CurrentTime);
    XFlush(dpy);
    return true;
}

bool X11Keyboard::PostChar(WinHandle w, const std::string& ch) {
    if (!x_.Ok() || w == 0) return false;
    std::int32_t cp = lnx::DecodeUtf8Char(ch);
    if (cp < 0) return false;
    // A line feed in a macro starts a new line: Return is its key on X.
    if (cp == '\n') cp = '\r';
    if (cp < 0x20 && cp != '\r' && cp != '\t' && cp != 0x08 && cp != 0x1B) return false;
    if (cp == 0x7F) return false;
    std::uint8_t kc = 0;
    bool shift = false;
    std::uint32_t keysym = 0;
    if (FindKeyForChar(static_cast<std::uint32_t>(cp), kc, shift, keysym)) return TapKeycode(kc, shift);
    // The layout has no key for it: a spare keycode is lent the character's
    // keysym for as long as it is needed.
    xkb_keysym_t ks = xkb_utf32_to_keysym(static_cast<std::uint32_t>(cp));
    if (ks == XKB_KEY_NoSymbol) return false;
    kc = LendKeycode(ks);
    if (kc == 0) return false;
    LentKey& l = lent_[kc];
    l.lastUse = ++useCounter_;
    l.usedAtMs = posix::MonotonicMs();
    l.targetSynced = false;
    l.target = w;
    l.targetEnds = tracker_.EndsSeen(w);
    return TapKeycode(kc, false);
}

std::int16_t X11Keyboard::VkKeyScan(const std::string& ch) {
    if (!x_.Ok()) return -1;
    std::int32_t cp = lnx::DecodeUtf8Char(ch);
    if (cp < 0) return -1;
    std::uint8_t kc = 0;
    bool shift = false;
    std::uint32_t keysym = 0;
    if (!FindKeyForChar(static_cast<std::uint32_t>(cp), kc, shift, keysym)) return -1;
    std::uint8_t vk = VkOfKeycode(kc);
    if (vk == 0) return -1;
    return static_cast<std::int16_t>((shift ? 0x100 : 0) | vk);
}

// ---- Keys and locks ----------------------------------------------------------

bool X11Keyboard::VkDown(const char keys[32], std::uint8_t vk) {
    switch (vk) {
        case 0x10: return VkDown(keys, 0xA0) || VkDown(keys, 0xA1);
        case 0x11: return VkDown(keys, 0xA2) || VkDown(keys, 0xA3);
        case 0x12: return VkDown(keys, 0xA4) || VkDown(keys, 0xA5);
        default: return KeycodeDown(keys, KeycodeOfVk(vk));
    }
}

unsigned X11Keyboard::LockModMask(std::uint8_t vk) {
    if (vk == 0x14) return LockMask;
    KeySym want = vk == 0x90 ? XK_Num_Lock : XK_Scroll_Lock;
    unsigned mask = 0;
    ModifierMapPtr mods(XGetModifierMapping(x_.dpy()));
    if (mods == nullptr) return 0;
    for (int m = 0; m < 8; ++m) {
        for (int k = 0; k < mods->max_keypermod; ++k) {
            KeyCode kc = mods->modifiermap[m * mods->max_keypermod + k];
            if (kc != 0 && XkbKeycodeToKeysym(x_.dpy(), kc, 0, 0) == want) mask |= 1u << m;
        }
    }
    return mask;
}

bool X11Keyboard::LockOn(std::uint8_t vk) {
    unsigned mask = LockModMask(vk);
    if (mask != 0) {
        XkbStateRec st{};
        XkbGetState(x_.dpy(), XkbUseCoreKbd, &st);
        return (st.locked_mods & mask) != 0;
    }
    if (vk == 0x91) {
        // Scroll Lock is often no modifier; its indicator tells the state.
        Bool on = False;
        if (XkbGetNamedIndicator(x_.dpy(), x_.atoms().scrollLockIndicator, nullptr, &on, nullptr, nullptr))
            return on != False;
    }
    return false;
}

void X11Keyboard::SetLock(std::uint8_t vk, bool on) {
    if (LockOn(vk) == on) return;
    unsigned mask = LockModMask(vk);
    x_.NoteInputSent();
    if (mask != 0) {
        XkbLockModifiers(x_.dpy(), XkbUseCoreKbd, mask, on ? mask : 0);
    } else {
        std::uint8_t kc = KeycodeOfVk(vk);
        if (kc == 0) return;
        XTestFakeKeyEvent(x_.dpy(), kc, True, CurrentTime);
        XTestFakeKeyEvent(x_.dpy(), kc, False, CurrentTime);
    }
    XSync(x_.dpy(), False);
}

void X11Keyboard::KeyEvent(std::uint8_t vk, std::uint8_t, std::uint32_t flags) {
    if (!x_.Ok()) return;
    const bool down = (flags & keyflag::KeyUp) == 0;
    if (IsLockVk(vk)) {
        // A tap of a lock key toggles it; the state changes on the way down.
        if (!down) return;
        const ServerHold hold(x_.dpy(), foreground_.Aiming());
        if (MayPress()) SetLock(vk, !LockOn(vk));
        return;
    }
    std::uint8_t kc = KeycodeOfVk(vk);
    if (kc == 0) return;
    // Releases always go out: a key we pressed must not stay down.
    const ServerHold hold(x_.dpy(), down && foreground_.Aiming());
    if (down && !MayPress()) return;
    x_.NoteInputSent();
    XTestFakeKeyEvent(x_.dpy(), kc, down ? True : False, CurrentTime);
    XFlush(x_.dpy());
}

std::int16_t X11Keyboard::GetKeyState(int vk) {
    if (!x_.Ok() || vk < 0 || vk > 0xFF) return 0;
    char keys[32];
    XQueryKeymap(x_.dpy(), keys);
    auto v = static_cast<std::uint8_t>(vk);
    std::int16_t r = VkDown(keys, v) ? static_cast<std::int16_t>(-128) : 0;
    if (IsLockVk(v) && LockOn(v)) r = static_cast<std::int16_t>(r | 1);
    return r;
}

bool X11Keyboard::GetKeyboardState(std::array<std::uint8_t, 256>& state) {
    state.fill(0);
    if (!x_.Ok()) return false;
    char keys[32];
    XQueryKeymap(x_.dpy(), keys);
    for (int vk = 1; vk < 256; ++vk) {
        if (VkDown(keys, static_cast<std::uint8_t>(vk))) state[static_cast<std::size_t>(vk)] = 0x80;
    }
    for (std::uint8_t vk : kLockVks) {
        if (LockOn(vk)) state[vk] = static_cast<std::uint8_t>(state[vk] | 1);
    }
    return true;
}

bool X11Keyboard::SetKeyboardState(const std::array<std::uint8_t, 256>& state) {
    if (!x_.Ok()) return false;
    for (std::uint8_t vk : kLockVks) SetLock(vk, (state[vk] & 1) != 0);
    return true;
}

}  // namespace rw::x11
