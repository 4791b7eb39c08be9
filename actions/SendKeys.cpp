#include "actions/SendKeys.h"

#include <algorithm>
#include <array>

#include "actions/KeyTable.h"
#include "actions/Strings.h"
#include "actions/WinServices.h"
#include "app/AppValues.h"
#include "items/ItemText.h"

namespace rw {

namespace {

constexpr std::uint32_t kKeyUp = KEYEVENTF_KEYUP_;
constexpr std::uint32_t kExtended = KEYEVENTF_EXTENDEDKEY_;
constexpr std::uint32_t kInputIdleMs = 333;

// Pending-modifier groups, in the order their keys are let go after a step.
enum Group { Win, Alt, Ctrl, Shift, GroupCount, NoGroup = GroupCount };

Group ModifierGroup(int code) {
    switch (code) {
        case 0x10:
        case 0xA0:
        case 0xA1:
            return Shift;
        case 0x11:
        case 0xA2:
        case 0xA3:
            return Ctrl;
        case 0x12:
        case 0xA4:
        case 0xA5:
            return Alt;
        case 0x5B:
            return Win;
        default:
            return NoGroup;
    }
}

bool IsModifierCode(int code) {
    return (code >= 0x10 && code <= 0x12) || code == 0x5B || (code >= 0xA0 && code <= 0xA5);
}

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
    } kButtons[] = {{"OK", 1}, {"Cancel", 2}, {"Retry", 4}, {"Ignore", 5}, {"Yes", 6}, {"No", 7}};
    for (const auto& b : kButtons) {
        if (EqualsNoCase(name, b.name)) return b.id;
    }
    return 0;
}

// One playback. Positions are 0-based byte offsets into the macro; a plain
// character spans Sys().CharLength bytes (one in an 8-bit code page, a whole
// UTF-8 sequence on Linux), brace tokens are ASCII.
class Player {
public:
    explicit Player(std::string macro) : text_(std::move(macro)) {}
    // False when there was no target (no foreground or focus window).
    bool Play();

private:
    void BraceToken(std::size_t close);
    void PlainCharacter(std::size_t len);
    void ReleasePending();

    Platform& sys_ = Sys();
    std::string text_;
    std::size_t i_ = 0;
    WinHandle dialog_ = 0;
    WinHandle focus_ = 0;
    WinHandle focusBeforeTab_ = 0;
    std::array<bool, GroupCount> pending_{};
    bool releaseAfterStep_ = false;
    bool pendingPause_ = false;
    bool braceMode_ = false;
};

bool Player::Play() {
    ReleaseModifiers();
    // The dialog is the window in the foreground now; button presses and
    // window commands go to it for the whole macro, even if the foreground
    // moves on meanwhile.
    dialog_ = sys_.GetForegroundWindow();
    if (dialog_ == 0) return false;
    focus_ = GetFocusWin();
    if (focus_ == 0) return false;

    ReplaceAll(text_, "\r", "");
    const std::size_t length = text_.size();

    braceMode_ = text_.find('}') != std::string::npos;
    std::uint32_t pid = 0;
    std::uint32_t oldPriority = 0;
    if (braceMode_) {
        // 0 means the process could not be opened; then it is left alone.
        pid = sys_.GetWindowProcessId(focus_);
        oldPriority = sys_.GetPriorityClass(pid);
        if (oldPriority == NORMAL_PRIORITY_CLASS_) sys_.SetPriorityClass(pid, HIGH_PRIORITY_CLASS_);
    }
    sys_.TimeBeginPeriod(1);

    while (i_ < length) {
        if (pendingPause_) {
            pendingPause_ = false;
            sys_.Sleep(10);
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
            step = sys_.CharLength(text_, i_);
            if (step == 0) step = 1;
            PlainCharacter(step);
            if (escapedBrace) step = 2;  // the second "{" is consumed
        }
        if (releaseAfterStep_) {
            ReleasePending();
            sys_.Sleep(1);
            WaitForTarget(focus_);
        }
        i_ += step;
    }

    sys_.TimeEndPeriod(1);
    if (braceMode_ && oldPriority == NORMAL_PRIORITY_CLASS_) sys_.SetPriorityClass(pid, NORMAL_PRIORITY_CLASS_);
    return true;
}

void Player::BraceToken(std::size_t close) {
    const std::string token = UCase(text_.substr(i_ + 1, close - i_ - 1));
    if (token.compare(0, 6, "DELAY=") == 0) {
        sys_.Sleep(DelayMs(token.substr(6)));
    } else if (token.compare(0, 7, "DIALOG ") == 0) {
        PressDialogButton(dialog_, token.substr(7));
    } else if (token.compare(0, 7, "WINDOW ") == 0) {
        DoWindowCommand(dialog_, token.substr(7));
    } else {
        WaitForTarget(focus_);
        // A name outside the key table is played as code 0.
        const int code = LookupKeyCode(token);
        if (code == 9) focusBeforeTab_ = GetFocusWin();
        const char last = token.empty() ? '\0' : token.back();
        if (last == '+' || last == '-') {
            SetToggleKey(code, last == '+' ? 1 : 0);
        } else {
            const Group g = ModifierGroup(code);
            if (g != NoGroup) pending_[g] = true;
            // A named key carries its own scan code, as the real key would:
            // applications that look at the scan code (games, terminal
            // emulators, remote-desktop clients) then see the key they expect.
            const std::uint8_t scan = Byte(static_cast<std::int32_t>(sys_.MapVirtualKey(Byte(code))));
            sys_.KeyEvent(Byte(code), scan, 0);
            if (IsModifierCode(code)) {
                // The modifier stays down until the next step that is not
                // itself a bare modifier has run.
                releaseAfterStep_ = false;
            } else {
                sys_.KeyEvent(Byte(code), scan, kKeyUp);
            }
            sys_.Sleep(1);
            // Give a TAB time to move the focus: at most 11 pauses.
            for (int pauses = 0;; ++pauses) {
                const bool moved = GetFocusWin() != focusBeforeTab_;
                if (moved || pauses >= 11) break;
                sys_.Sleep(10);
            }
        }
    }
    focus_ = GetFocusWin();
    i_ = close;
    pendingPause_ = true;
}

void Player::PlainCharacter(std::size_t len) {
    if (braceMode_) {
        sys_.Sleep(0);
        WaitForTarget(focus_);
    }
    sys_.PostChar(focus_, text_.substr(i_, len));
    if (i_ + len < text_.size() && text_[i_ + len] == '{') {
        WaitForTarget(focus_);
        sys_.Sleep(10);
    }
}

void Player::ReleasePending() {
    if (pending_[Win]) {
        pending_[Win] = false;
        sys_.KeyEvent(0x5B, 0, kKeyUp);
    }
    if (pending_[Alt]) {
        pending_[Alt] = false;
        sys_.KeyEvent(0x12, 0x38, kKeyUp);
        sys_.KeyEvent(0xA5, 0x38, kKeyUp | kExtended);
    }
    if (pending_[Ctrl]) {
        pending_[Ctrl] = false;
        sys_.KeyEvent(0x11, 0x1D, kKeyUp);
        sys_.KeyEvent(0xA3, 0x1D, kKeyUp | kExtended);
    }
    if (pending_[Shift]) {
        pending_[Shift] = false;
        sys_.KeyEvent(0x10, 0x2A, kKeyUp);
        sys_.KeyEvent(0xA1, 0x36, kKeyUp | kExtended);
    }
}

}  // namespace

void SendKeys(const std::string& macro) {
    DebugLine([&] { return "  SendKeys: " + macro; });
    Player player(macro);
    if (!player.Play()) return;  // nothing typed, and no closing line
    DebugLine([] { return std::string("   SendKeys finished"); });
}

void PostText(WinHandle w, const std::string& text) {
    Platform& sys = Sys();
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t len = sys.CharLength(text, i);
        if (len == 0) len = 1;
        sys.PostChar(w, text.substr(i, len));
        i += len;
    }
}

void PressDialogButton(WinHandle dialog, const std::string& name) {
    int id = DialogButtonId(name);
    if (id == 0) return;
    Platform& sys = Sys();
    WinHandle button = sys.GetDlgItem(dialog, id);
    // A message box with only one button gives it id 2 (it answers Esc too),
    // so "OK" falls back to that.
    if (button == 0 && id == 1) {
        button = sys.GetDlgItem(dialog, 2);
        if (button != 0) id = 2;
    }
    if (button == 0) return;
    sys.PostCommand(dialog, id, button);
}

void DoWindowCommand(WinHandle w, const std::string& name) {
    Platform& sys = Sys();
    if (EqualsNoCase(name, "Minimize")) {
        sys.ShowWindow(w, SW_SHOWMINIMIZED_);
    } else if (EqualsNoCase(name, "Maximize")) {
        sys.ShowWindow(w, SW_SHOWMAXIMIZED_);
    } else if (EqualsNoCase(name, "Close")) {
        sys.PostClose(w);
    }
}

void ReleaseModifiers() {
    Platform& sys = Sys();
    // The key state of the foreground thread is what counts, so look at it
    // through an attachment. A thread cannot be attached to itself, and with
    // no foreground window there is nothing to attach.
    const std::uint32_t fgt = sys.GetWindowThreadId(sys.GetForegroundWindow());
    const std::uint32_t own = OwnThread();
    const bool attach = fgt != 0 && fgt != own;
    if (attach) sys.AttachThreadInput(fgt, own, true);
    if (sys.GetKeyState(0x10) < 0) {
        sys.KeyEvent(0x10, 0x2A, kKeyUp);
        sys.KeyEvent(0x10, 0x36, kKeyUp | kExtended);
    }
    if (sys.GetKeyState(0x11) < 0) {
        sys.KeyEvent(0x11, 0x1D, kKeyUp);
        sys.KeyEvent(0x11, 0x1D, kKeyUp | kExtended);
    }
    if (sys.GetKeyState(0x12) < 0) {
        sys.KeyEvent(0x12, 0x38, kKeyUp);
        sys.KeyEvent(0x12, 0x38, kKeyUp | kExtended);
    }
    if (!App.OsVersion.IsNT) {
        // The older systems do not update the key state from injected
        // key-ups of other threads; clear it by hand.
        std::array<std::uint8_t, 256> state{};
        if (sys.GetKeyboardState(state)) {
            state[0x10] = state[0x11] = state[0x12] = 0;
            sys.SetKeyboardState(state);
        }
    }
    if (attach) sys.AttachThreadInput(fgt, own, false);
    sys.Sleep(10);
}

void SetToggleKey(int code, int wanted) {
    if (code < 0 || code > 255) return;
    Platform& sys = Sys();
    std::array<std::uint8_t, 256> state{};
    if (!sys.GetKeyboardState(state)) return;
    const auto idx = static_cast<std::size_t>(code);
    // The whole byte is compared: 1 is "on and not held", 0 "off and not held".
    if (state[idx] == wanted) return;
    if (App.OsVersion.IsNT) {
        TapKeyExtended(code);
    } else {
        state[idx] = static_cast<std::uint8_t>(wanted);
        sys.SetKeyboardState(state);
        sys.Sleep(10);
        sys.SetKeyboardState(state);
    }
}

void TapKeyExtended(int code) {
    Platform& sys = Sys();
    const std::uint8_t vk = Byte(code);
    const std::uint8_t scan = Byte(static_cast<std::int32_t>(sys.MapVirtualKey(vk)));
    sys.KeyEvent(vk, scan, kExtended);
    sys.KeyEvent(vk, scan, kExtended | kKeyUp);
}

void WaitForTarget(WinHandle w) {
    // Both waits are bounded: a target that never answers costs at most
    // kSyncTimeoutMs plus kInputIdleMs, and playback goes on.
    Platform& sys = Sys();
    const std::uint32_t pid = sys.GetWindowProcessId(w);
    SyncWin(w);
    if (pid != 0) sys.WaitForInputIdle(pid, kInputIdleMs);
}

}  // namespace rw
