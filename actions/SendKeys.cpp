#include "actions/SendKeys.h"

#include <algorithm>
#include <array>
#include <string>
#include <string_view>

#include "actions/KeyTable.h"
#include "actions/Pause.h"
#include "actions/Strings.h"
#include "actions/WinServices.h"
#include "base/AppValues.h"
#include "base/Numeric.h"

namespace rw {

namespace {

constexpr std::uint32_t kKeyUp = keyflag::KeyUp;
constexpr std::uint32_t kExtended = keyflag::Extended;
constexpr std::uint32_t kInputIdleMs = 333;

// Pending-modifier groups, in the order their keys are let go after a step.
enum Group { Win, Alt, Ctrl, Shift, GroupCount, NoGroup = GroupCount };

Group ModifierGroup(int code) {
    switch (code) {
        case vk::Shift:
        case vk::LShift:
        case vk::RShift:
            return Shift;
        case vk::Control:
        case vk::LControl:
        case vk::RControl:
            return Ctrl;
        case vk::Menu:
        case vk::LMenu:
        case vk::RMenu:
            return Alt;
        case vk::LWin:
            return Win;
        default:
            return NoGroup;
    }
}

bool IsModifierCode(int code) { return ModifierGroup(code) != NoGroup; }

std::uint8_t Byte(std::int32_t v) { return static_cast<std::uint8_t>(v & 0xFF); }

// The milliseconds of a DELAY= token: its leading number, read like the
// number fields of an item (blanks skipped, rounded half to even, the same
// whatever the user's locale), clamped to 0..kMaxMacroDelayMs: a negative or
// enormous value would otherwise block the program for weeks.
std::uint32_t DelayMs(const std::string& text) {
    return static_cast<std::uint32_t>(std::clamp(NumericValue(text), 0, kMaxMacroDelayMs));
}

int DialogButtonId(const std::string& name) {
    static const struct {
        const char* name;
        int id;
    } kButtons[] = {{"OK", button::Ok},         {"Cancel", button::Cancel}, {"Retry", button::Retry},
                    {"Ignore", button::Ignore}, {"Yes", button::Yes},       {"No", button::No}};
    for (const auto& b : kButtons) {
        if (EqualsNoCase(name, b.name)) return b.id;
    }
    return 0;
}

// One playback. Positions are 0-based byte offsets into the macro; a plain
// character spans Sys().CharLength bytes (one in an 8-bit code page, a whole
// UTF-8 sequence on Linux), brace tokens are ASCII.
//
// Injected key events land in whatever window has the focus when they are
// processed, and so do typed characters where the window system types them
// as keys (X11). A macro may hold a password, so before each such event the
// player makes sure that the window it started in is still in the
// foreground and is still the same window; if not, it stops for good:
// pending modifiers are let go, the timer and the target's priority are
// restored, and nothing more is sent anywhere. Characters posted to the
// captured window (Windows) keep going to it, as do button presses and
// window commands, which name the dialog itself, as long as that window
// exists.
class Player {
public:
    explicit Player(std::string macro) : text_(std::move(macro)) {}
    // False when there was no target (no foreground or focus window, or not
    // the expected one).
    bool Play(const WindowIdentity* expected);
    bool Stopped() const { return stopped_; }

private:
    void BraceToken(std::size_t close);
    void PlainCharacter(std::size_t len);
    void ReleasePending();
    // WaitForTarget, until the target has once failed to answer: a program
    // that hangs would otherwise cost every step of the macro the whole
    // bound, and the program waits with it (no other dialog is answered).
    void Wait();
    // Whether input may still be sent: for a key event (or a character that
    // follows the focus) the target must be in front; for anything addressed
    // to the dialog by its handle it must still exist. Stops playback when
    // not.
    bool MaySend(bool followsFocus);
    // MaySend's test, without stopping.
    bool TargetHolds(bool followsFocus);
    // Stops playback when the program was asked to stop; true then.
    bool StopIfAsked();
    // After a key press or character (`what`, as the macro wrote it; a
    // character is quoted): false, and playback stopped, when the input
    // role refused it, because the target no longer had the keyboard or
    // because the input cannot play it.
    bool KeysStillAccepted(std::string_view what, bool quoted);
    void Stop(const std::string& why);

    const Platform& sys_ = Sys();
    std::string text_;
    std::size_t i_ = 0;
    WinHandle dialog_ = 0;
    WindowIdentity dialogId_;
    bool charsFollowFocus_ = false;
    bool stopped_ = false;
    WinHandle focus_ = 0;
    WinHandle focusBeforeTab_ = 0;
    std::array<bool, GroupCount> pending_{};
    bool releaseAfterStep_ = false;
    bool pendingPause_ = false;
    bool targetHung_ = false;
    bool braceMode_ = false;
};

bool Player::Play(const WindowIdentity* expected) {
    ReleaseModifiers();
    // The dialog is the window in the foreground now; button presses and
    // window commands go to it for the whole macro, even if the foreground
    // moves on meanwhile.
    dialog_ = sys_.windows.GetForegroundWindow();
    if (dialog_ == 0) return false;
    if (expected != nullptr) {
        if (dialog_ != expected->handle || !sys_.windows.IsSameWindow(*expected)) return false;
        dialogId_ = *expected;
    } else {
        dialogId_ = sys_.windows.IdentifyWindow(dialog_);
    }
    charsFollowFocus_ = sys_.input.CharactersFollowFocus();
    focus_ = GetFocusWin();
    if (focus_ == 0) return false;
    // The input role checks the target once more immediately before each
    // key press and character that follows the focus: between our check and
    // the event the window system may still have work to do (on X11 a
    // keymap change, or a wait for a free key) while another window comes
    // up or takes the focus.
    sys_.input.AimKeysAt(dialogId_);
    struct EndKeys {
        Input& input;
        ~EndKeys() { input.EndKeysFor(); }
    } endKeys{sys_.input};

    ReplaceAll(text_, "\r", "");
    const std::size_t length = text_.size();

    braceMode_ = text_.find('}') != std::string::npos;
    std::uint32_t pid = 0;
    std::uint32_t oldPriority = 0;
    if (braceMode_) {
        // 0 means the process could not be opened; then it is left alone.
        pid = sys_.windows.GetWindowProcessId(focus_);
        oldPriority = sys_.processes.GetPriorityClass(pid);
        if (oldPriority == priority::Normal) sys_.processes.SetPriorityClass(pid, priority::High);
    }
    sys_.clock.TimeBeginPeriod(1);

    while (i_ < length && !stopped_) {
        if (StopIfAsked()) break;
        if (pendingPause_) {
            pendingPause_ = false;
            sys_.clock.Sleep(10);
        }
        releaseAfterStep_ = true;
        const char ch = text_[i_];
        const bool escapedBrace = ch == '{' && i_ + 1 < length && text_[i_ + 1] == '{';
        // A "{" that no "}" follows opens no token: it and everything after
        // it are typed as they stand.
        const std::size_t close = ch == '{' && !escapedBrace ? text_.find('}', i_ + 1) : std::string::npos;
        std::size_t step = 1;
        if (close != std::string::npos) {
            BraceToken(close);
        } else {
            step = sys_.facts.CharLength(text_, i_);
            if (step == 0) step = 1;
            PlainCharacter(step);
            if (escapedBrace) step = 2;  // the second "{" is consumed
        }
        if (stopped_) break;
        if (releaseAfterStep_) {
            ReleasePending();
            sys_.clock.Sleep(1);
            Wait();
        }
        i_ += step;
    }

    // A modifier named last ({CTRL} at the very end) is still down: let it
    // go, or the user's next keystrokes would become shortcuts.
    ReleasePending();
    sys_.clock.TimeEndPeriod(1);
    if (braceMode_ && oldPriority == priority::Normal) sys_.processes.SetPriorityClass(pid, priority::Normal);
    return true;
}

void Player::Wait() {
    if (targetHung_) return;
    if (WaitForTarget(focus_)) return;
    targetHung_ = true;
    DebugLine([] { return std::string("   SendKeys: the target does not answer; no more waiting for it"); });
}

bool Player::TargetHolds(bool followsFocus) {
    if (followsFocus && sys_.windows.GetForegroundWindow() != dialog_) return false;
    return sys_.windows.IsSameWindow(dialogId_);
}

bool Player::MaySend(bool followsFocus) {
    if (stopped_) return false;
    if (TargetHolds(followsFocus)) return true;
    Stop(followsFocus ? "the target window left the foreground" : "the target window is gone");
    return false;
}

bool Player::StopIfAsked() {
    if (!StopRequested()) return false;
    Stop("Replywick was asked to stop");
    return true;
}

bool Player::KeysStillAccepted(std::string_view what, bool quoted) {
    if (!sys_.input.KeysRefused()) return true;
    const std::string why = sys_.input.KeysRefusedWhy();
    if (why.empty()) {
        Stop("the target window lost the keyboard");
    } else {
        const std::string q = quoted ? "'" : "";
        Stop(q + std::string(what) + q + " was not played: " + why);
    }
    return false;
}

void Player::Stop(const std::string& why) {
    stopped_ = true;
    DebugLine([&] { return "   SendKeys stopped: " + why; });
}

void Player::BraceToken(std::size_t close) {
    const std::string token = UCase(text_.substr(i_ + 1, close - i_ - 1));
    if (token.compare(0, 6, "DELAY=") == 0) {
        // A pause ends early for a target that is gone (or, where keys go
        // wherever the focus is, no longer in front): nothing more would
        // reach it, and the program would wait for nothing.
        if (!Pause(DelayMs(token.substr(6)), [this] { return TargetHolds(charsFollowFocus_); }) && !StopIfAsked())
            MaySend(charsFollowFocus_);
    } else if (token.compare(0, 7, "DIALOG ") == 0) {
        if (!MaySend(false)) return;
        if (!PressDialogButton(dialog_, token.substr(7)))
            DebugLine([&] { return "   SendKeys: no dialog button " + token.substr(7); });
    } else if (token.compare(0, 7, "WINDOW ") == 0) {
        if (!MaySend(false)) return;
        if (!DoWindowCommand(dialog_, token.substr(7)))
            DebugLine([&] { return "   SendKeys: window command failed: " + token.substr(7); });
    } else {
        Wait();
        if (!MaySend(true)) return;
        const std::string_view named = std::string_view(text_).substr(i_, close - i_ + 1);
        // A name outside the key table is played as code 0.
        const int code = LookupKeyCode(token);
        if (code == vk::Tab) focusBeforeTab_ = GetFocusWin();
        const char last = token.empty() ? '\0' : token.back();
        if (last == '+' || last == '-') {
            SetToggleKey(code, last == '+' ? 1 : 0);
            if (!KeysStillAccepted(named, false)) return;
        } else {
            const Group g = ModifierGroup(code);
            if (g != NoGroup) pending_[g] = true;
            // A named key carries its own scan code, as the real key would:
            // applications that look at the scan code (games, terminal
            // emulators, remote-desktop clients) then see the key they expect.
            const std::uint8_t scan = Byte(static_cast<std::int32_t>(sys_.input.MapVirtualKey(Byte(code))));
            sys_.input.KeyEvent(Byte(code), scan, 0);
            if (!KeysStillAccepted(named, false)) return;
            if (IsModifierCode(code)) {
                // The modifier stays down until the next step that is not
                // itself a bare modifier has run.
                releaseAfterStep_ = false;
            } else {
                sys_.input.KeyEvent(Byte(code), scan, kKeyUp);
            }
            sys_.clock.Sleep(1);
            // Give a TAB time to move the focus: at most 11 pauses.
            for (int pauses = 0;; ++pauses) {
                const bool moved = GetFocusWin() != focusBeforeTab_;
                if (moved || pauses >= 11) break;
                sys_.clock.Sleep(10);
            }
        }
    }
    // The focus is read anew after every token, but only inside the target:
    // with another window in front its focus would be that window's, and the
    // characters still to come belong to the captured control.
    if (sys_.windows.GetForegroundWindow() == dialog_) focus_ = GetFocusWin();
    i_ = close;
    pendingPause_ = true;
}

void Player::PlainCharacter(std::size_t len) {
    if (braceMode_) {
        sys_.clock.Sleep(0);
        Wait();
    }
    if (!MaySend(charsFollowFocus_)) return;
    const bool typed = sys_.input.PostChar(focus_, text_.substr(i_, len));
    if (charsFollowFocus_ && !KeysStillAccepted(std::string_view(text_).substr(i_, len), true)) return;
    if (!typed) DebugLine([&] { return "   SendKeys: a character could not be typed: " + text_.substr(i_, len); });
    if (i_ + len < text_.size() && text_[i_ + len] == '{') {
        Wait();
        sys_.clock.Sleep(10);
    }
}

void Player::ReleasePending() {
    if (pending_[Win]) {
        pending_[Win] = false;
        sys_.input.KeyEvent(vk::LWin, 0, kKeyUp);
    }
    if (pending_[Alt]) {
        pending_[Alt] = false;
        sys_.input.KeyEvent(vk::Menu, scan::Alt, kKeyUp);
        sys_.input.KeyEvent(vk::RMenu, scan::Alt, kKeyUp | kExtended);
    }
    if (pending_[Ctrl]) {
        pending_[Ctrl] = false;
        sys_.input.KeyEvent(vk::Control, scan::Control, kKeyUp);
        sys_.input.KeyEvent(vk::RControl, scan::Control, kKeyUp | kExtended);
    }
    if (pending_[Shift]) {
        pending_[Shift] = false;
        sys_.input.KeyEvent(vk::Shift, scan::LShift, kKeyUp);
        sys_.input.KeyEvent(vk::RShift, scan::RShift, kKeyUp | kExtended);
    }
}

}  // namespace

namespace {

bool PlayMacro(const std::string& macro, const WindowIdentity* target) {
    DebugLine([&] { return "  SendKeys: " + macro; });
    Player player(macro);
    if (!player.Play(target)) return false;  // nothing typed, and no closing line
    if (player.Stopped()) return true;       // the stop wrote its own line
    DebugLine([] { return std::string("   SendKeys finished"); });
    return true;
}

}  // namespace

bool SendKeys(const std::string& macro) { return PlayMacro(macro, nullptr); }
bool SendKeys(const std::string& macro, const WindowIdentity& target) { return PlayMacro(macro, &target); }

void PostText(WinHandle w, const std::string& text) {
    const Platform& sys = Sys();
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t len = sys.facts.CharLength(text, i);
        if (len == 0) len = 1;
        sys.input.PostChar(w, text.substr(i, len));
        i += len;
    }
}

bool PressDialogButton(WinHandle dialog, const std::string& name) {
    const int id = DialogButtonId(name);
    if (id == 0) return false;
    // A message box with only one button gives it the Cancel id (it answers
    // Esc too), so "OK" falls back to that.
    if (id == button::Ok) return Sys().dialogs.PressDialogButton(dialog, {button::Ok, button::Cancel}) != 0;
    return Sys().dialogs.PressDialogButton(dialog, {id}) != 0;
}

bool DoWindowCommand(WinHandle w, const std::string& name) {
    const Platform& sys = Sys();
    if (EqualsNoCase(name, "Minimize")) return sys.windows.ShowWindow(w, show::Minimized);
    if (EqualsNoCase(name, "Maximize")) return sys.windows.ShowWindow(w, show::Maximized);
    if (EqualsNoCase(name, "Close")) return sys.windows.PostClose(w);
    return false;
}

void ReleaseModifiers() {
    const Platform& sys = Sys();
    // The key state the program in front sees is what counts.
    if (sys.input.GetKeyState(vk::Shift) < 0) {
        sys.input.KeyEvent(vk::Shift, scan::LShift, kKeyUp);
        sys.input.KeyEvent(vk::Shift, scan::RShift, kKeyUp | kExtended);
    }
    if (sys.input.GetKeyState(vk::Control) < 0) {
        sys.input.KeyEvent(vk::Control, scan::Control, kKeyUp);
        sys.input.KeyEvent(vk::Control, scan::Control, kKeyUp | kExtended);
    }
    if (sys.input.GetKeyState(vk::Menu) < 0) {
        sys.input.KeyEvent(vk::Menu, scan::Alt, kKeyUp);
        sys.input.KeyEvent(vk::Menu, scan::Alt, kKeyUp | kExtended);
    }
    if (!App.OsVersion.IsNT) {
        // The older systems do not update the key state from injected
        // key-ups of other threads; clear it by hand.
        std::array<std::uint8_t, 256> state{};
        if (sys.input.GetKeyboardState(state)) {
            state[vk::Shift] = state[vk::Control] = state[vk::Menu] = 0;
            sys.input.SetKeyboardState(state);
        }
    }
    sys.clock.Sleep(10);
}

void SetToggleKey(int code, int wanted) {
    if (code < 0 || code > 255) return;
    const Platform& sys = Sys();
    std::array<std::uint8_t, 256> state{};
    if (!sys.input.GetKeyboardState(state)) return;
    const auto idx = static_cast<std::size_t>(code);
    // The whole byte is compared: 1 is "on and not held", 0 "off and not held".
    if (state[idx] == wanted) return;
    if (App.OsVersion.IsNT) {
        TapKeyExtended(code);
    } else {
        state[idx] = static_cast<std::uint8_t>(wanted);
        sys.input.SetKeyboardState(state);
        sys.clock.Sleep(10);
        sys.input.SetKeyboardState(state);
    }
}

void TapKeyExtended(int code) {
    const Platform& sys = Sys();
    const std::uint8_t vk = Byte(code);
    const std::uint8_t scan = Byte(static_cast<std::int32_t>(sys.input.MapVirtualKey(vk)));
    sys.input.KeyEvent(vk, scan, kExtended);
    sys.input.KeyEvent(vk, scan, kExtended | kKeyUp);
}

bool WaitForTarget(WinHandle w) {
    // Both waits are bounded: a target that never answers costs at most
    // kSyncTimeoutMs plus kInputIdleMs, and playback goes on.
    const Platform& sys = Sys();
    const std::uint32_t pid = sys.windows.GetWindowProcessId(w);
    const bool answered = SyncWin(w);
    if (pid != 0) sys.processes.WaitForInputIdle(pid, kInputIdleMs);
    return answered;
}

}  // namespace rw
