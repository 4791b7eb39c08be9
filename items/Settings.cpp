#include "items/Settings.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "base/AppValues.h"
#include "items/ItemText.h"
#include "platform/Platform.h"

namespace rw {

namespace {

constexpr std::string_view kHeader = "; Replywick\r\n\r\n\r\n";

// Set while the settings file exists but could not be read: the list in
// memory is then not what the user has, and writing it would destroy their
// items.
bool gReadFailed = false;

bool IsBlankLine(std::string_view line) { return line.find_first_not_of(' ') == std::string_view::npos; }

}  // namespace

std::string SettingsFileText(const clsItems& items) {
    std::string out;
    out.reserve(kHeader.size() + items.TextSizeHint() + 2 * static_cast<std::size_t>(items.Count()) + 2);
    out.append(kHeader);
    for (std::int32_t i = 0; i < items.Count(); ++i) {
        items.AppendItemText(i, out);
        out += "\r\n";
    }
    out += "\r\n";
    return out;
}

void ReadSettingsText(const std::string& bytes, clsItems& items) {
    items.Clear();
    // Lines end at LF; a CR right before it belongs to the CR LF. So files
    // edited with LF-only line ends read the same, and a lone CR inside a
    // value (not followed by LF) stays part of that value. A CR at the very
    // end of the file is taken as a line end cut short.
    std::string collected;
    collected.reserve(1024);
    const char* data = bytes.data();
    const std::size_t n = bytes.size();
    std::size_t pos = 0;
    while (pos < n) {
        const void* lf = std::memchr(data + pos, '\n', n - pos);
        std::size_t end = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - data) : n;
        std::size_t next = lf ? end + 1 : n;
        if (end > pos && data[end - 1] == '\r') --end;
        std::string_view line(data + pos, end - pos);
        pos = next;

        if (IsBlankLine(line) || line.front() == ';') continue;
        // The marker is compared as it stands: " [Item]" is an ordinary line,
        // which the item parser then trims and stops at.
        if (line == "[Item]") {
            if (!collected.empty()) items.AddItemAtEndByString(collected);
            collected.clear();
            continue;
        }
        collected.append(line);
        collected += "\r\n";
    }
    if (!collected.empty()) items.AddItemAtEndByString(collected);
}

void LoadSettings() {
    gItems.Clear();
    gReadFailed = false;
    const Platform& sys = Sys();
    std::string path = App.IniPath;
    // A program installed where the user cannot write starts from the list
    // an administrator put beside it, until the user's own file exists.
    if (!App.SeedIniPath.empty() && !sys.files.PathExists(path) && sys.files.PathExists(App.SeedIniPath))
        path = App.SeedIniPath;
    if (path.empty()) return;
    std::string bytes;
    if (!sys.files.ReadFileBytes(path, bytes)) {
        // Missing is fine (a first start); there but unreadable is not.
        if (sys.files.PathExists(path) && !sys.files.IsDirectory(path)) {
            gReadFailed = true;
            DebugLine([&] { return "Settings: cannot read " + path; });
        }
        return;
    }
    ReadSettingsText(bytes, gItems);
}

bool SettingsReadFailed() { return gReadFailed; }

namespace {

// A save killed half-way leaves its temporary file behind, and macros may
// hold passwords: the temporaries of processes that no longer run go once a
// save has succeeded. Another running process's file is its own business.
void RemoveStaleTemporaries(const std::string& target) {
    const Platform& sys = Sys();
    const std::string prefix = target + ".";
    for (const std::string& path : sys.files.FilesBeginningWith(prefix)) {
        const std::string rest = path.substr(std::min(path.size(), prefix.size()));
        const std::size_t dot = rest.find('.');
        if (dot == 0 || dot == std::string::npos || rest.substr(dot) != ".tmp") continue;
        const std::string digits = rest.substr(0, dot);
        if (digits.size() > 10 || digits.find_first_not_of("0123456789") != std::string::npos) continue;
        const auto pid = static_cast<std::uint32_t>(std::stoull(digits));
        if (pid == sys.facts.GetCurrentProcessId() || sys.processes.ProcessRunning(pid)) continue;
        sys.files.RemoveFile(path);
    }
}

}  // namespace

SaveResult SaveSettings() { return SaveSettings(gItems); }

SaveResult SaveConfirmedSettings() {
    // Edits of a settings window that is still open were never confirmed:
    // the file gets the list as it was before the window opened.
    if (gItems.HasSnapshot()) gItems.UpdateCancel();
    return SaveSettings(gItems);
}

SaveResult SaveSettings(const clsItems& items) {
    if (App.IniPath.empty()) return SaveResult::Failed;
    const Platform& sys = Sys();
    if (gReadFailed) {
        DebugLine([] { return "Settings not written: the file could not be read at start-up: " + App.IniPath; });
        return SaveResult::NotRead;
    }
    // A settings file that is a link to the user's own copy elsewhere stays
    // a link: the new text replaces the file it points to.
    const std::string target = sys.files.ResolveFilePath(App.IniPath);
    // A file the user made read-only is left alone, even where the folder
    // would let a rename replace it.
    if (sys.files.PathExists(target) && !sys.files.IsFileWritable(target)) {
        DebugLine([&] { return "Settings not written: the file is read-only: " + target; });
        return SaveResult::ReadOnly;
    }
    const std::string bytes = SettingsFileText(items);
    // A name of this process's own: two instances saving at once (on
    // different displays, or a second program on the same file) never
    // rename each other's half-written file.
    const std::string tmp = target + "." + std::to_string(sys.facts.GetCurrentProcessId()) + ".tmp";
    // One left behind by an interrupted save of an earlier process with the
    // same id would otherwise block this save (the file is created
    // exclusively).
    sys.files.RemoveFile(tmp);
    // The old file is the permission template, so a user's chosen mode
    // survives; a new file is the owner's only. Nothing touches the old file
    // until the new text is completely on disk.
    if (!sys.files.WriteNewFileDurably(tmp, bytes, target) || !sys.files.ReplaceFileWith(tmp, target)) {
        sys.files.RemoveFile(tmp);
        DebugLine([&] { return "Settings not written: " + target; });
        return SaveResult::Failed;
    }
    RemoveStaleTemporaries(target);
    return SaveResult::Saved;
}

std::string GetClipText() {
    std::string text;
    if (Sys().clipboard.ClipboardGetText(text)) return text;
    // Another program may hold the clipboard for a moment.
    Sys().clock.Sleep(100);
    text.clear();
    if (Sys().clipboard.ClipboardGetText(text)) return text;
    return {};
}

void SetClipText(const std::string& text) {
    if (!Sys().clipboard.ClipboardEmpty()) {
        Sys().clock.Sleep(100);
        Sys().clipboard.ClipboardEmpty();
    }
    Sys().clipboard.ClipboardSetText(text);
}

}  // namespace rw
