// The text form of items and the numeric rule of its number fields.
#pragma once

#include <cstdint>
#include <string>

#include "base/Numeric.h"
#include "items/ItemRec.h"

namespace rw {

constexpr std::size_t kTextBufferChars = 66666;

// Text of one item: "[Item]" and the nine key lines, each ending in CR LF.
// Values are written unchanged; every CR LF inside Text starts a new "Text="
// line.
std::string ItemToText(const ItemRec& item);
// The same, appended to out.
void AppendItemText(std::string& out, const ItemRec& item);
// About how many bytes ItemToText gives for item (for reserving).
std::size_t ItemTextSizeHint(const ItemRec& item);

// Line breaks of a multi-line text as CR LF: a lone CR or a lone LF becomes
// CR LF, so that every line of it is a line of the text form.
std::string NormalizeLineBreaks(const std::string& text);
// The record as it may be stored: in the one-line fields every CR LF, lone
// CR and lone LF becomes one space (the text form ends a value at a line
// break, and the rest of the line would be read as a key of its own, so a
// captured window title could otherwise smuggle in a "Macro=" line); Text
// keeps its lines, with NormalizeLineBreaks.
void MakeStorable(ItemRec& rec);

// Parses one item's text into rec, which is emptied first: a field whose
// key does not occur is the empty text or 0, never a value left over from
// whatever item the record held before. Lines end at CR LF and are trimmed of spaces; a
// line "[Item]" ends the parse; an empty Desc becomes "-". "Text=" lines are
// collected into a buffer of kTextBufferChars, each followed by CR LF; a
// line that does not fit is skipped, so at most kTextBufferChars - 2
// characters of Text survive.
void ParseItemText(const std::string& sItemString, ItemRec& rec);

}  // namespace rw
