// The settings file: loading into gItems and writing it back safely.
#pragma once

#include <cstddef>
#include <string>

#include "items/Items.h"

namespace rw {

// The whole file text for a list.
std::string SettingsFileText(const clsItems& items);
// Reads the items of a settings file text into items (after Clear). Lines
// end with CR LF or with LF alone; comments (";" first) and lines of spaces
// are skipped; an exact "[Item]" line closes the item collected so far.
void ReadSettingsText(const std::string& bytes, clsItems& items);

// The largest settings file read; anything larger is no list of items.
constexpr std::size_t kMaxSettingsFileBytes = 64u << 20;

// gItems from App.IniPath (or, while that file does not exist yet, from
// App.SeedIniPath). A missing file gives an empty list. A file that is there
// but is not read gives an empty list too, and is remembered: no later save
// may replace it with that empty list. Not read are a file that cannot be
// read, one that is no regular file (a FIFO, a device), one larger than
// kMaxSettingsFileBytes, and one that other users could have changed (see
// Files::ReadUsersFile); each with a debug line.
void LoadSettings();
// Whether the last LoadSettings found a settings file it did not read.
bool SettingsReadFailed();

enum class SaveResult {
    Saved,
    NotRead,     // the file was not read at start-up and was left as it was
    NotTrusted,  // other users can change the file or its folder: left as it was
    ReadOnly,    // the user made the file read-only
    Failed,      // creating, writing or putting the new file in place failed
};
// The items to App.IniPath through a temporary file of this process beside
// it that replaces the old file only once it is completely on disk. On any
// failure the old file is untouched and the temporary file removed. A
// settings file that is a link stays a link: the file it points to is
// replaced. Writes a debug line when nothing was written.
SaveResult SaveSettings(const clsItems& items);
// The program's items, gItems.
SaveResult SaveSettings();
// At the program's end: gItems without the edits of a settings window that
// is still open (they were never confirmed).
SaveResult SaveConfirmedSettings();

// Clipboard as plain text, with one retry after 100 ms.
std::string GetClipText();
void SetClipText(const std::string& text);

}  // namespace rw
