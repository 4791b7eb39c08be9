#include "backends/wayland/RemoteDesktopKeyboard.h"

#include <cstdio>
#include <cstdlib>

#include "backends/linux/Keysyms.h"
#include "backends/linux/LinuxUtil.h"
#include "backends/wayland/KeyboardShared.h"
#include "backends/posix/PosixProcess.h"
#include "platform/Keys.h"

namespace rw::wl {

namespace {

// One key in this many waits for the desktop's answer, so that keys never
// pile up unread in a desktop that is slow to take them.
constexpr std::uint32_t kConfirmEvery = 16;
// After this many key events the target's program must answer before the
// next press (see Pace): one tap.
constexpr std::uint32_t kPaceEvents = 2;
// How long one answer is waited for, and how many times.
constexpr int kAnswerMs = 1000;
constexpr int kAnswerTries = 5;
// How long the first key waits for the seat's keyboard at most.
constexpr std::uint32_t kSeatKeyboardWaitMs = 1000;

void Note(const std::string& what) { std::fprintf(stderr, "replywick: keys: %s\n", what.c_str()); }

bool Tracing() { return std::getenv("RW_X11_TRACE") != nullptr; }

// A program that is slow to answer once (loading a font for a new script)
// is asked again at once, not skipped for a while.
atspi::AccessibilityBridge::Options BridgeOptions() {
    atspi::AccessibilityBridge::Options o;
    o.callTimeoutMs = kAnswerMs;
    o.deadlineMs = kAnswerMs;
    o.hungBackoffMs = 0;
    return o;
}

}  // namespace

const char* RemoteDesktopKeyboard::WayName(Via via) { return via == Via::Portal ? "portal" : "remote-desktop"; }

std::unique_ptr<Keyboard> RemoteDesktopKeyboard::Open(WaylandConnection& c, Toplevels& windows, Via via) {
    std::unique_ptr<RemoteDesktopSession> session = via == Via::Portal ? NewPortalSession() : NewMutterSession();
    if (!session->Offered()) return nullptr;
    return std::make_unique<RemoteDesktopKeyboard>(c, windows, std::move(session));
}

RemoteDesktopKeyboard::RemoteDesktopKeyboard(WaylandConnection& c, Toplevels& windows,
                                             std::unique_ptr<RemoteDesktopSession> session)
    : c_(c), windows_(windows), session_(std::move(session)), seat_(c), bridge_(BridgeOptions()) {
    context_ = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    // No names: the XKB defaults (XKB_DEFAULT_LAYOUT, ... or the system's).
    if (context_ != nullptr) defaults_ = xkb_keymap_new_from_names(context_, nullptr, XKB_KEYMAP_COMPILE_NO_FLAGS);
    Refresh();
}

RemoteDesktopKeyboard::~RemoteDesktopKeyboard() {
    const std::set<Key> down = down_;
    for (const Key& k : down) Send(k, false);
    session_->End();
    if (defaults_ != nullptr) xkb_keymap_unref(defaults_);
    if (context_ != nullptr) xkb_context_unref(context_);
}

bool RemoteDesktopKeyboard::Start() {
    if (started_) return Ok();
    started_ = true;
    // The compositor's keymap, where its seat has a keyboard already.
    c_.Roundtrip();
    if (!session_->Begin()) {
        Note(session_->Why());
        endNoted_ = true;
        return false;
    }
    if (session_->state() == RemoteDesktopSession::State::Asking)
        Note("the desktop asks whether this program may type (\"Remote desktop\": \"Allow remote interaction\", "
             "then \"Share\"); until then no key is typed");
    Follow();
    return Ok();
}

bool RemoteDesktopKeyboard::Ok() const { return session_->state() != RemoteDesktopSession::State::Ended; }

void RemoteDesktopKeyboard::DispatchSource() {
    session_->Dispatch();
    Follow();
}

// What the session's state asks for: the first key once it is ready, and
// a word for the user when it has ended.
void RemoteDesktopKeyboard::Follow() {
    const RemoteDesktopSession::State state = session_->state();
    if (state == RemoteDesktopSession::State::Ready && !primed_) Prime();
    if (state == RemoteDesktopSession::State::Ended && !endNoted_) {
        endNoted_ = true;
        // The desktop has let go of the session's keys.
        down_.clear();
        Note(session_->Why() + "; no more keys can be typed");
    }
}

void RemoteDesktopKeyboard::Prime() {
    primed_ = true;
    // A seat without a keyboard gets one with this key, which is lost.
    const Key shift{true, XKB_KEY_Shift_L};
    Send(shift, true);
    Send(shift, false);
    const std::uint32_t start = posix::MonotonicMs();
    while (!seat_.HasKeyboard() && posix::MonotonicMs() - start < kSeatKeyboardWaitMs) {
        if (!c_.Roundtrip()) break;
        if (!seat_.HasKeyboard()) posix::SleepMs(10);
    }
    // The keymap, which the new keyboard brings.
    c_.Roundtrip();
    Refresh();
    if (Tracing()) std::fprintf(stderr, "wayland: keys ready\n");
}

xkb_keymap* RemoteDesktopKeyboard::Model() const {
    return seat_.Keymap() != nullptr ? seat_.Keymap() : defaults_;
}

// The model follows the compositor's keymap and the lock states.
void RemoteDesktopKeyboard::Refresh() {
    if (generation_ != seat_.Generation()) {
        generation_ = seat_.Generation();
        typing_.SetKeymap(Model());
        places_ = CharPlaces(Model());
    }
    typing_.SetLocks(LockOn(0x14), LockOn(0x90));
}

// A lock state this keyboard set counts until mutter tells it back, and
// mutter's word counts again only between macros: while keys go out,
// mutter's reports trail behind them, and the lock this keyboard turns off
// and on again around a code-point entry would flicker in them.
void RemoteDesktopKeyboard::SettleLocks() {
    for (auto it = ownLocks_.begin(); it != ownLocks_.end();) {
        if (session_->LocksKnown() && it->first != 0x91 && Told(it->first) == it->second) {
            it = ownLocks_.erase(it);
        } else {
            ++it;
        }
    }
}

bool RemoteDesktopKeyboard::Told(std::uint8_t vk) const {
    return vk == 0x14 ? session_->CapsLock() : vk == 0x90 ? session_->NumLock() : false;
}

bool RemoteDesktopKeyboard::Send(const Key& key, bool down) {
    if (session_->state() != RemoteDesktopSession::State::Ready) return false;
    if (down && aimed_ && !Pace()) {
        refused_ = true;
        refusedWhy_ = "the target's program does not take keys";
        return false;
    }
    const bool confirm = ++sent_ % kConfirmEvery == 0;
    const bool ok = key.first ? session_->Keysym(key.second, down, confirm)
                              : session_->Keycode(key.second, down, confirm);
    ++unanswered_;
    if (down && ok) {
        down_.insert(key);
    } else if (!down) {
        down_.erase(key);
    }
    return ok;
}

bool RemoteDesktopKeyboard::Tap(const Key& key) {
    if (!MayPress() || !Send(key, true)) return false;
    Send(key, false);
    return true;
}

void RemoteDesktopKeyboard::AimKeysAt(const WindowIdentity& target) {
    target_ = target;
    aimed_ = true;
    refused_ = false;
    refusedWhy_.clear();
    pidKnown_ = false;
    CatchUp();
    SettleLocks();
}

bool RemoteDesktopKeyboard::MayPress() {
    if (refused_) return false;
    CatchUp();
    if (session_->state() != RemoteDesktopSession::State::Ready) {
        if (aimed_) {
            refused_ = true;
            refusedWhy_ = session_->state() == RemoteDesktopSession::State::Ended
                              ? session_->Why()
                              : "the desktop still waits for the user to allow typing";
        }
        return false;
    }
    if (!aimed_ || InFront()) return true;
    refused_ = true;
    return false;
}

// What has arrived from the desktop: the session's end, the windows'
// events; nothing is waited for.
void RemoteDesktopKeyboard::CatchUp() {
    c_.Pump();
    DispatchSource();
    windows_.DispatchSource();
}

bool RemoteDesktopKeyboard::InFront() {
    return windows_.GetForegroundWindow() == target_.handle && windows_.IsSameWindow(target_);
}

// A program is sent keys no faster than it takes them. mutter hands each
// key to the program as soon as it can, and drops a program whose socket
// overflows; a GTK program stops reading its socket while events wait in
// its own queue, and handles one of them per turn of its main loop. So
// before each press (after the first tap) the keys sent so far must have
// reached mutter, and the target's program must have answered a call of
// its main loop (its accessibility bridge): then it has handled at least
// one event more, and its queue cannot grow. A program that cannot be
// asked (no accessibility) is not waited for; one that does not answer for
// several seconds gets no more keys.
bool RemoteDesktopKeyboard::Pace() {
    if (unanswered_ < kPaceEvents) return true;
    unanswered_ = 0;
    if (!pidKnown_) {
        targetPid_ = windows_.GetWindowProcessId(target_.handle);
        pidKnown_ = true;
    }
    const std::uint32_t pid = targetPid_;
    if (pid == 0 || pid == unaskable_) return true;
    session_->Sync();
    for (int i = 0; i < kAnswerTries; ++i) {
        const std::uint32_t asked = posix::MonotonicMs();
        if (bridge_.Answers(pid, kAnswerMs)) return true;
        // Turned down at once: the program has no bridge to ask.
        if (posix::MonotonicMs() - asked < kAnswerMs / 2) {
            unaskable_ = pid;
            return true;
        }
    }
    Note("the target's program does not take the keys; no more are sent to it");
    return false;
}

bool RemoteDesktopKeyboard::PostChar(WinHandle w, const std::string& ch) {
    if (w == 0) return false;
    const std::int32_t cp = TypedCodePoint(ch);
    if (cp < 0) return false;
    // Checked once for the character: its keys follow each other at once.
    // A session that waits for the user, or has ended, refuses it.
    if (!MayPress()) return false;
    Refresh();
    const auto code = static_cast<std::uint32_t>(cp);
    std::vector<std::pair<xkb_keysym_t, bool>> keys;
    if (const xkb_keysym_t ks = typing_.KeysymFor(code); ks != XKB_KEY_NoSymbol) {
        keys = {{ks, true}, {ks, false}};
    } else {
        keys = typing_.UnicodeEntry(code);
        // GTK starts the entry only on Ctrl+Shift+U, which Caps Lock would
        // turn into Ctrl+Shift+u: the lock is off for the entry's keys.
        if (!keys.empty() && LockOn(0x14) && typing_.Reaches(XKB_KEY_Caps_Lock)) {
            const std::pair<xkb_keysym_t, bool> lock[] = {{XKB_KEY_Caps_Lock, true}, {XKB_KEY_Caps_Lock, false}};
            keys.insert(keys.begin(), std::begin(lock), std::end(lock));
            keys.insert(keys.end(), std::begin(lock), std::end(lock));
        }
    }
    if (keys.empty()) return false;
    const bool capsLock = LockOn(0x14);
    int capsTaps = 0;
    bool ok = true;
    for (const auto& [ks, down] : keys) {
        const Key key{true, ks};
        // After a failure only the keys held go up.
        if (!ok && (down || down_.count(key) == 0)) continue;
        const bool sent = Send(key, down);
        if (sent && down && ks == XKB_KEY_Caps_Lock) ++capsTaps;
        ok = sent && ok;
    }
    if (capsTaps > 0) ownLocks_[0x14] = capsTaps % 2 == 0 ? capsLock : !capsLock;
    return ok;
}

RemoteDesktopKeyboard::Key RemoteDesktopKeyboard::KeyOfVkCode(std::uint8_t vk) {
    Refresh();
    const lnx::VkBinding b = lnx::BindingOfVk(vk);
    if (b.keysym != 0 && typing_.Reaches(b.keysym)) return Key{true, b.keysym};
    // A key meant by its place (or one whose keysym the keymap lacks) goes
    // out as that key of the keymap.
    const xkb_keycode_t k = KeyOfVk(Model(), vk);
    if (k > 8) return Key{false, k - 8};
    return Key{true, 0};
}

std::uint32_t RemoteDesktopKeyboard::MapVirtualKey(std::uint32_t vk) {
    return vk > 0xFF ? 0 : KeyOfVk(Model(), static_cast<std::uint8_t>(vk));
}

std::int16_t RemoteDesktopKeyboard::VkKeyScan(const std::string& ch) {
    Refresh();
    const std::int32_t cp = lnx::DecodeUtf8Char(ch);
    if (cp < 0) return -1;
    auto it = places_.find(static_cast<std::uint32_t>(cp));
    return it == places_.end() ? std::int16_t{-1} : VkScanOf(Model(), it->second);
}

std::string RemoteDesktopKeyboard::GetKeyNameText(std::int32_t lParam) { return KeyNameText(Model(), lParam); }

bool RemoteDesktopKeyboard::LockOn(std::uint8_t vk) const {
    auto own = ownLocks_.find(vk);
    if (own != ownLocks_.end()) return own->second;
    return session_->LocksKnown() && Told(vk);
}

void RemoteDesktopKeyboard::KeyEvent(std::uint8_t vk, std::uint8_t, std::uint32_t flags) {
    const bool down = (flags & keyflag::KeyUp) == 0;
    const Key key = KeyOfVkCode(vk);
    if (key.second == 0) return;
    if (lnx::IsLockVk(vk)) {
        // A tap of a lock key toggles it; the state changes on the way down.
        if (!down) return;
        const bool was = LockOn(vk);
        if (Tap(key)) ownLocks_[vk] = !was;
        return;
    }
    // Only a key this keyboard holds goes up.
    if (!down && down_.count(key) == 0) return;
    if (down && !MayPress()) return;
    if (down_.count(key) != 0 && down) Send(key, false);
    Send(key, down);
}

std::int16_t RemoteDesktopKeyboard::GetKeyState(int vk) {
    return KeyStateOf(
        vk,
        [this](std::uint8_t code) {
            const Key k = KeyOfVkCode(code);
            return k.second != 0 && down_.count(k) != 0;
        },
        [this](std::uint8_t lock) { return LockOn(lock); });
}

bool RemoteDesktopKeyboard::GetKeyboardState(std::array<std::uint8_t, 256>& state) {
    state.fill(0);
    if (!Ok()) return false;
    KeyboardStateOf(
        state, !down_.empty(), [this](int vk) { return GetKeyState(vk); },
        [this](std::uint8_t lock) { return LockOn(lock); });
    return true;
}

bool RemoteDesktopKeyboard::SetKeyboardState(const std::array<std::uint8_t, 256>& state) {
    if (!Ok()) return false;
    SetLocksOf(
        state, [this](std::uint8_t lock) { return LockOn(lock); },
        [this](std::uint8_t vk) { KeyEvent(vk, 0, 0); });
    return true;
}

}  // namespace rw::wl
