#include "TextInsertion.h"

#include <utility>

namespace rw::atspi {

namespace {

constexpr const char* kTextIface = "org.a11y.atspi.Text";
constexpr const char* kEditableTextIface = "org.a11y.atspi.EditableText";

// The number of UTF-16 units of UTF-8 text.
std::int32_t Utf16Length(const std::string& text) {
    std::int32_t n = 0;
    for (unsigned char ch : text) {
        if ((ch & 0xC0) == 0x80) continue;
        n += ch >= 0xF0 ? 2 : 1;
    }
    return n;
}

// The number of characters of UTF-8 text.
std::int32_t CharCount(const std::string& text) {
    std::int32_t n = 0;
    for (unsigned char ch : text)
        if ((ch & 0xC0) != 0x80) ++n;
    return n;
}

DBusMessagePtr NewCallInts(const Obj& o, const char* interface, const char* method, std::int32_t a, std::int32_t b) {
    DBusMessagePtr m = NewCall(o, interface, method);
    dbus_int32_t x = a, y = b;
    if (m && !dbus_message_append_args(m.get(), DBUS_TYPE_INT32, &x, DBUS_TYPE_INT32, &y, DBUS_TYPE_INVALID)) m.reset();
    return m;
}

// The length of the text goes along: GTK reads it in bytes, Qt cuts the
// text to that many UTF-16 units.
DBusMessagePtr NewInsert(const Obj& o, std::int32_t at, const std::string& text, std::int32_t length) {
    DBusMessagePtr m = NewCall(o, kEditableTextIface, "InsertText");
    const char* bytes = text.c_str();
    dbus_int32_t position = at, n = length;
    if (m && !dbus_message_append_args(m.get(), DBUS_TYPE_INT32, &position, DBUS_TYPE_STRING, &bytes, DBUS_TYPE_INT32,
                                       &n, DBUS_TYPE_INVALID))
        m.reset();
    return m;
}

// Two ints (a selection's start and end).
bool ReplyIntPair(DBusMessage* m, std::int32_t& a, std::int32_t& b) {
    dbus_int32_t x = 0, y = 0;
    if (m == nullptr || !dbus_message_get_args(m, nullptr, DBUS_TYPE_INT32, &x, DBUS_TYPE_INT32, &y, DBUS_TYPE_INVALID))
        return false;
    a = x;
    b = y;
    return true;
}

}  // namespace

Insertion InsertAtCaret(const ControlCalls& calls, const Obj& control, const std::string& text, bool utf16,
                        const std::function<bool()>& mayInsert) {
    auto call = [&](DBusMessagePtr m) { return std::move(calls(std::span<DBusMessagePtr>(&m, 1)).front()); };
    // Typed keys replace the selection and go in at the caret.
    DBusMessagePtr where[2] = {NewCall(control, kTextIface, "GetNSelections"),
                               NewGetProperty(control, kTextIface, "CaretOffset")};
    const auto replies = calls(where);
    std::int32_t selections = 0, caret = 0;
    if (replies.size() != 2 || !ReplyInt(replies[0].get(), selections) || !ReplyInt(replies[1].get(), caret))
        return Insertion::NoText;
    if (selections > 0) {
        std::int32_t start = 0, end = 0;
        if (ReplyIntPair(call(NewCallInt(control, kTextIface, "GetSelection", 0)).get(), start, end) && start != end) {
            if (start > end) std::swap(start, end);
            if (!mayInsert()) return Insertion::Stopped;
            bool erased = false;
            if (!ReplyBool(call(NewCallInts(control, kEditableTextIface, "DeleteText", start, end)).get(), erased) ||
                !erased)
                return Insertion::NotTaken;
            caret = start;
        }
    }
    // No caret: the text goes at the end.
    if (caret < 0) ReplyInt(call(NewGetProperty(control, kTextIface, "CharacterCount")).get(), caret);
    if (caret < 0) caret = 0;
    if (!mayInsert()) return Insertion::Stopped;
    const std::int32_t length = utf16 ? Utf16Length(text) : static_cast<std::int32_t>(text.size());
    bool inserted = false;
    if (!ReplyBool(call(NewInsert(control, caret, text, length)).get(), inserted) || !inserted)
        return Insertion::NotTaken;
    // GTK moves the caret after what it inserted; a toolkit that leaves it
    // where it was has it moved here, or the next character would come
    // before this one.
    std::int32_t after = caret;
    if (ReplyInt(call(NewGetProperty(control, kTextIface, "CaretOffset")).get(), after) && after == caret)
        call(NewCallInt(control, kTextIface, "SetCaretOffset", caret + (utf16 ? Utf16Length(text) : CharCount(text))));
    return Insertion::Done;
}

}  // namespace rw::atspi
