// The settings file: loading into gItems and writing it back safely.
#pragma once

#include <string>

#include "items/Items.h"

namespace rw {

// The whole file text for a list.
std::string SettingsFileText(const clsItems& items);
// Reads the items of a settings file text into items (after Clear). Lines
// end with CR LF or with LF alone; comments (";" first) and lines of spaces
// are skipped; an exact "[Item]" line closes the item collected so far.
void ReadSettingsText(const std::string& bytes, clsItems& items);

// gItems from App.IniPath; a missing or unreadable file gives an empty list.
void LoadSettings();
// gItems to App.IniPath through a temporary file beside it that replaces the
// old file only once it is completely on disk. False (and the old file
// untouched) on any failure.
bool SaveSettings();

// Clipboard as plain text, with one retry after 100 ms.
std::string GetClipText();
void SetClipText(const std::string& text);

}  // namespace rw
