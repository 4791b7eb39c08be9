#include "AccessibleTyping.h"

#include "AccWindowsImpl.h"
#include "TextInsertion.h"
#include "platform/Keys.h"

namespace rw::atspi {

namespace {

constexpr const char* kNoKey =
    "without a keyboard only characters and {ENTER} reach a window (through the accessibility bus)";
constexpr const char* kNoFocus = "no control of the window has the focus";
constexpr const char* kNoAnswer = "the window's program does not answer";
constexpr const char* kNoText = "the focused control takes no text";
constexpr const char* kNotTaken = "the focused control did not take it";
constexpr const char* kNoAction = "neither the focused control nor the window has an action for it";

// The first code point of UTF-8 bytes (-1 when they are not UTF-8), and
// how many characters they hold.
std::int32_t FirstCodePoint(const std::string& s) {
    if (s.empty()) return -1;
    const auto b0 = static_cast<unsigned char>(s[0]);
    if (b0 < 0x80) return b0;
    int extra = b0 >= 0xF0 ? 3 : b0 >= 0xE0 ? 2 : b0 >= 0xC0 ? 1 : -1;
    if (extra < 0 || s.size() < static_cast<std::size_t>(extra) + 1) return -1;
    std::int32_t cp = b0 & (0x3F >> extra);
    for (int i = 1; i <= extra; ++i) {
        const auto b = static_cast<unsigned char>(s[static_cast<std::size_t>(i)]);
        if ((b & 0xC0) != 0x80) return -1;
        cp = (cp << 6) | (b & 0x3F);
    }
    return cp;
}

// The focused control of the window and its states; null, else why not.
const char* FocusOf(AccessibleWindows::Impl& im, WinHandle w, Obj& control, std::uint64_t& states) {
    if (!im.FocusIn(w, control)) return im.Callable(w) != nullptr ? kNoFocus : kNoAnswer;
    states = 0;
    ReplyStates(im.Call(NewCall(control, kAccessible, "GetState"), control.bus).get(), states);
    return nullptr;
}

}  // namespace

void AccessibleTyping::AimKeysAt(const WindowIdentity& target) {
    target_ = target;
    aimed_ = true;
    refused_ = false;
    why_.clear();
}

bool AccessibleTyping::MayPress() {
    if (!aimed_) return true;
    if (refused_) return false;
    // What the programs told since: the target may have left the front.
    frames_.Dispatch();
    if (windows_.GetForegroundWindow() == target_.handle && windows_.IsSameWindow(target_)) {
        // The compositor's word, where it gives one, is final. Else also the
        // frame's own while its program has told nothing by events: one
        // that has not yet learnt that anyone listens tells nothing when
        // its window leaves the front either.
        if (foreign_ || frames_.Inside().FrameActive(target_.handle)) return true;
        // A program that let the question time out is left alone a while.
        if (frames_.Inside().Callable(target_.handle) == nullptr) {
            Refuse(kNoAnswer);
            return false;
        }
    }
    refused_ = true;
    why_.clear();
    return false;
}

void AccessibleTyping::Refuse(const char* why) {
    refused_ = true;
    why_ = why;
}

WinHandle AccessibleTyping::FrameFor(WinHandle w) {
    if (!foreign_ || w == 0) return w;
    if (w == foreignTarget_ && frames_.Alive(foreignFrame_)) return foreignFrame_;
    // The frame of the target's program that bears its title. (Where the
    // seat has no keyboard, no frame knows it is in front.)
    foreignTarget_ = w;
    foreignFrame_ = frames_.Inside().FrameNamed(windows_.GetWindowProcessId(w), windows_.GetWindowText(w));
    return foreignFrame_;
}

bool AccessibleTyping::PostChar(WinHandle target, const std::string& ch) {
    if (!Ok() || target == 0 || !MayPress()) return false;
    const WinHandle w = FrameFor(target);
    if (w == 0) {
        Refuse(kNoFocus);
        return false;
    }
    const std::int32_t cp = FirstCodePoint(ch);
    if (cp < 0) return false;
    // A line break in a macro is the Return key, as on a keyboard.
    if (cp == '\n' || cp == '\r') return Enter(w);
    if (cp < 0x20 || cp == 0x7F) {
        Refuse(kNoKey);
        return false;
    }
    AccessibleWindows::Impl& im = frames_.Inside();
    Obj control;
    std::uint64_t states = 0;
    if (const char* why = FocusOf(im, w, control, states)) {
        Refuse(why);
        return false;
    }
    return Insert(control, ch, states);
}

bool AccessibleTyping::Insert(const Obj& control, const std::string& text, std::uint64_t states) {
    if (!HasState(states, kStateEditable)) {
        Refuse(kNoText);
        return false;
    }
    AccessibleWindows::Impl& im = frames_.Inside();
    const Insertion done = InsertAtCaret(
        [&](std::span<DBusMessagePtr> calls) { return im.Calls(calls, control.bus); }, control, text,
        im.CountsCharacters(control.bus), [this] { return MayPress(); });
    switch (done) {
        case Insertion::Done: return true;
        case Insertion::NoText: Refuse(kNoText); break;
        case Insertion::NotTaken: Refuse(kNotTaken); break;
        // The target left the front meanwhile (MayPress noted it).
        case Insertion::Stopped: break;
    }
    return false;
}

bool AccessibleTyping::Enter(WinHandle w) {
    AccessibleWindows::Impl& im = frames_.Inside();
    Obj control;
    std::uint64_t states = 0;
    if (const char* why = FocusOf(im, w, control, states)) {
        Refuse(why);
        return false;
    }
    if (HasState(states, kStateMultiLine) && HasState(states, kStateEditable)) return Insert(control, "\n", states);
    if (!MayPress()) return false;
    // Return in a GTK entry is its "activate" (the dialog's default
    // button, unless the entry has a use of its own); on a button, the
    // button. Elsewhere (Qt's entries offer no such action) Return presses
    // the dialog's default button.
    if (im.DoAction(control, {"activate", "click", "press"})) return true;
    const FrameBook::Frame* frame = im.Callable(w);
    if (frame != nullptr && im.PressDefault({frame->bus, frame->path})) return true;
    Refuse(kNoAction);
    return false;
}

void AccessibleTyping::KeyEvent(std::uint8_t code, std::uint8_t, std::uint32_t flags) {
    // Nothing is ever held down: a release has nothing to do.
    if ((flags & keyflag::KeyUp) != 0 || !Ok() || !MayPress()) return;
    if (code != vk::Return) {
        Refuse(kNoKey);
        return;
    }
    const WinHandle w = FrameFor(aimed_ ? target_.handle : windows_.GetForegroundWindow());
    if (w == 0) {
        Refuse(kNoFocus);
        return;
    }
    Enter(w);
}

}  // namespace rw::atspi
