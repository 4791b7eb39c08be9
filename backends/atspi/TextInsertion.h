// Text typed into an editable control through the accessibility bus, as
// typing would put it: over the control's selection, at its caret, with
// the caret after it. Both the keyboards that lack a key for a character
// and the typing without any keyboard insert text this way; each asks over
// its own connection, with its own rules for a program that does not
// answer (`calls`).
#pragma once

#include <functional>
#include <span>
#include <string>
#include <vector>

#include "AtspiWire.h"

namespace rw::atspi {

// Sends calls to the control's program and gives their replies (null for
// a call that got none), in order.
using ControlCalls = std::function<std::vector<DBusMessagePtr>(std::span<DBusMessagePtr>)>;

enum class Insertion {
    Done,
    NoText,    // the control tells no caret: it takes no text
    NotTaken,  // the control refused to delete the selection or insert
    Stopped,   // `mayInsert` said no
};

// Inserts well-formed UTF-8 text into the control. Lengths and offsets are
// the toolkit's: UTF-16 units where `utf16` (Qt), else bytes for the length
// and characters for offsets (GTK). `mayInsert` is asked right before the
// control's text changes.
Insertion InsertAtCaret(const ControlCalls& calls, const Obj& control, const std::string& text, bool utf16,
                        const std::function<bool()>& mayInsert);

}  // namespace rw::atspi
