#include "items/Settings.h"

#include <algorithm>
#include <cstdint>
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
// Set with it when the reason was that other users can change the file.
bool gNotTrusted = false;

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
    gNotTrusted = false;
    const Platform& sys = Sys();
    if (App.IniPath.empty()) return;
    std::string bytes;
    FileOutcome read = sys.files.ReadUsersFile(App.IniPath, bytes, kMaxSettingsFileBytes);
    // A program installed where the user cannot write starts from the list
    // an administrator put beside it, until the user's own file exists.
    if (read.verdict == FileVerdict::Missing && !App.SeedIniPath.empty())
        read = sys.files.ReadUsersFile(App.SeedIniPath, bytes, kMaxSettingsFileBytes);
    const auto notRead = [&](const char* why) {
        // The list in memory is then not what the user has.
        gReadFailed = true;
        DebugLine([&] { return std::string("Settings not read: ") + why + ": " + read.detail; });
    };
    switch (read.verdict) {
        case FileVerdict::Done:
            ReadSettingsText(bytes, gItems);
            break;
        case FileVerdict::Missing:  // a first start
            break;
        case FileVerdict::NotTrusted:
            gNotTrusted = true;
            notRead("other users can change it");
            break;
        case FileVerdict::NotRegular:
            notRead("no regular file");
            break;
        case FileVerdict::TooLarge:
            notRead("too large");
            break;
        case FileVerdict::Unreadable:
        case FileVerdict::ReadOnly:
        case FileVerdict::Failed:
            notRead("cannot read it");
            break;
    }
}

bool SettingsReadFailed() { return gReadFailed; }

namespace {

// A name part that is safe in a file name on every system.
std::string HostPart(const std::string& host) {
    std::string out;
    for (char c : host) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                        c == '.' || c == '_';
        out += ok ? c : '_';
    }
    return out.empty() ? "host" : out;
}

// A temporary file left this long is no save under way.
constexpr std::int64_t kStaleTemporarySeconds = 600;

// A save killed half-way leaves its temporary file behind, and macros may
// hold passwords: the temporaries of this computer's processes that no
// longer run go once a save has succeeded. Another computer sharing the
// folder (a home on a network drive) has processes of its own under the
// same numbers, so its files, and ours from a moment ago, are left alone.
void RemoveStaleTemporaries(const std::string& target, const std::string& host) {
    const Platform& sys = Sys();
    const std::string prefix = target + "." + host + ".";
    for (const std::string& path : sys.files.FilesBeginningWith(prefix)) {
        const std::string rest = path.substr(std::min(path.size(), prefix.size()));
        const std::size_t dot = rest.find('.');
        if (dot == 0 || dot == std::string::npos || rest.substr(dot) != ".tmp") continue;
        const std::string digits = rest.substr(0, dot);
        if (digits.size() > 10 || digits.find_first_not_of("0123456789") != std::string::npos) continue;
        const auto pid = static_cast<std::uint32_t>(std::stoull(digits));
        if (pid == sys.facts.GetCurrentProcessId() || sys.processes.ProcessRunning(pid)) continue;
        if (sys.files.FileAgeSeconds(path) < kStaleTemporarySeconds) continue;
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
        if (gNotTrusted) {
            DebugLine([] { return "Settings not written: other users can change the file: " + App.IniPath; });
            return SaveResult::NotTrusted;
        }
        DebugLine([] { return "Settings not written: the file could not be read at start-up: " + App.IniPath; });
        return SaveResult::NotRead;
    }
    const std::string bytes = SettingsFileText(items);
    // A name of this process's own, on this computer: two instances saving
    // at once (on different displays or computers, or a second program on
    // the same file) never rename each other's half-written file.
    const std::string host = HostPart(sys.files.HostName());
    const std::string suffix = "." + host + "." + std::to_string(sys.facts.GetCurrentProcessId()) + ".tmp";
    const FileOutcome saved = sys.files.ReplaceUsersFile(App.IniPath, bytes, suffix);
    switch (saved.verdict) {
        case FileVerdict::Done:
            RemoveStaleTemporaries(saved.path, host);
            return SaveResult::Saved;
        case FileVerdict::ReadOnly:
            DebugLine([&] { return "Settings not written: the file is read-only: " + saved.path; });
            return SaveResult::ReadOnly;
        case FileVerdict::NotTrusted:
            DebugLine([&] { return "Settings not written: other users can change it: " + saved.detail; });
            return SaveResult::NotTrusted;
        case FileVerdict::NotRegular:
        case FileVerdict::Missing:
        case FileVerdict::Unreadable:
        case FileVerdict::TooLarge:
        case FileVerdict::Failed:
            break;
    }
    DebugLine([&] {
        return "Settings not written: " + (saved.path.empty() ? App.IniPath : saved.path) +
               (saved.detail.empty() ? "" : " (" + saved.detail + ")");
    });
    return SaveResult::Failed;
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
