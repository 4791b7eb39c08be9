#include "AccessibleTyping.h"

#include <functional>

#include "AccWindowsImpl.h"
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

std::int32_t CharCount(const std::string& s) {
    std::int32_t n = 0;
    for (char c : s)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
    return n;
}

// The length of the text goes along: GTK reads it in bytes, Qt cuts the
// text to that many characters (and pads it with NULs beyond).
DBusMessagePtr NewInsert(const Obj& o, std::int32_t at, const std::string& text, std::int32_t length) {
    DBusMessagePtr m = NewCall(o, kEditableText, "InsertText");
    const char* t = text.c_str();
    if (m && !dbus_message_append_args(m.get(), DBUS_TYPE_INT32, &at, DBUS_TYPE_STRING, &t, DBUS_TYPE_INT32, &length,
                                       DBUS_TYPE_INVALID))
        m.reset();
    return m;
}

DBusMessagePtr NewCallInts(const Obj& o, const char* interface, const char* method, std::int32_t a, std::int32_t b) {
    DBusMessagePtr m = NewCall(o, interface, method);
    if (m && !dbus_message_append_args(m.get(), DBUS_TYPE_INT32, &a, DBUS_TYPE_INT32, &b, DBUS_TYPE_INVALID)) m.reset();
    return m;
}

// Two plain int32 (a selection's start and end).
bool ReplyInts(DBusMessage* m, std::int32_t& a, std::int32_t& b) {
    DBusError err;
    dbus_error_init(&err);
    dbus_int32_t x = 0, y = 0;
    const bool ok = m != nullptr && dbus_message_get_args(m, &err, DBUS_TYPE_INT32, &x, DBUS_TYPE_INT32, &y, DBUS_TYPE_INVALID);
    dbus_error_free(&err);
    a = x;
    b = y;
    return ok;
}

// Inserts text at the control's caret, over its selection, and puts the
// caret after it. `mayInsert` is asked right before the insertion. Null
// when inserted, else why not.
const char* Insert(AccessibleWindows::Impl& im, const Obj& control, const std::string& text, std::uint64_t states,
                   const std::function<bool()>& mayInsert) {
    if (!HasState(states, kStateEditable)) return kNoText;
    DBusMessagePtr calls[2] = {NewGetProperty(control, kText, "CaretOffset"),
                               NewCall(control, kText, "GetNSelections")};
    auto replies = im.Calls(calls, control.bus);
    std::int32_t caret = 0, selections = 0;
    if (!ReplyInt(replies[0].get(), caret)) return kNoText;
    ReplyInt(replies[1].get(), selections);
    if (selections > 0) {
        std::int32_t start = 0, end = 0;
        if (ReplyInts(im.Call(NewCallInt(control, kText, "GetSelection", 0), control.bus).get(), start, end) &&
            start < end) {
            if (!mayInsert()) return "";
            bool deleted = false;
            if (!ReplyBool(im.Call(NewCallInts(control, kEditableText, "DeleteText", start, end), control.bus).get(),
                           deleted) ||
                !deleted)
                return kNotTaken;
            caret = start;
        }
    }
    if (caret < 0) ReplyInt(im.Call(NewGetProperty(control, kText, "CharacterCount"), control.bus).get(), caret);
    if (caret < 0) caret = 0;
    if (!mayInsert()) return "";
    bool inserted = false;
    const std::int32_t length =
        im.CountsCharacters(control.bus) ? CharCount(text) : static_cast<std::int32_t>(text.size());
    if (!ReplyBool(im.Call(NewInsert(control, caret, text, length), control.bus).get(), inserted) || !inserted)
        return kNotTaken;
    // GTK moves the caret after what it inserted; a toolkit that leaves it
    // where it was has it moved here, or the next character would come
    // before this one.
    std::int32_t after = caret;
    if (ReplyInt(im.Call(NewGetProperty(control, kText, "CaretOffset"), control.bus).get(), after) && after == caret)
        im.Call(NewCallInt(control, kText, "SetCaretOffset", caret + CharCount(text)), control.bus);
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
        // frame's own: a program that has not yet learnt that anyone
        // listens tells nothing when its window leaves the front.
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
    if (!im.FocusIn(w, control)) {
        Refuse(im.Callable(w) != nullptr ? kNoFocus : kNoAnswer);
        return false;
    }
    std::uint64_t states = 0;
    ReplyStates(im.Call(NewCall(control, kAccessible, "GetState"), control.bus).get(), states);
    const char* why = Insert(im, control, ch, states, [this] { return MayPress(); });
    if (why == nullptr) return true;
    // An empty reason: the target left the front meanwhile (MayPress noted it).
    if (*why != '\0') Refuse(why);
    return false;
}

bool AccessibleTyping::Enter(WinHandle w) {
    AccessibleWindows::Impl& im = frames_.Inside();
    Obj control;
    if (!im.FocusIn(w, control)) {
        Refuse(im.Callable(w) != nullptr ? kNoFocus : kNoAnswer);
        return false;
    }
    std::uint64_t states = 0;
    ReplyStates(im.Call(NewCall(control, kAccessible, "GetState"), control.bus).get(), states);
    if (HasState(states, kStateMultiLine) && HasState(states, kStateEditable)) {
        const char* why = Insert(im, control, "\n", states, [this] { return MayPress(); });
        if (why == nullptr) return true;
        if (*why != '\0') Refuse(why);
        return false;
    }
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
