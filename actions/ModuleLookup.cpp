#include "actions/ModuleLookup.h"

#include "actions/Strings.h"

namespace rw {

namespace {

// Right$(text, n): the last n characters, or the whole text when shorter.
std::string LastChars(const std::string& text, std::size_t n) {
    return text.size() <= n ? text : text.substr(text.size() - n);
}

// A task's file name as a 255-character buffer holds it: cut at the first
// NUL, and empty when no NUL (our string's end counts as one) falls within
// those 255 characters.
std::string TaskFileName(const std::string& raw) {
    std::size_t end = raw.find('\0');
    if (end == std::string::npos) end = raw.size();
    if (end >= 255) return {};
    return raw.substr(0, end);
}

}  // namespace

std::string GetWindowModule(WinHandle w) {
    const Platform& sys = Sys();
    std::uint32_t pid = sys.windows.GetWindowProcessId(w);
    if (pid == 0) return {};
    // The path is taken as the platform reports it (case and blanks kept).
    std::string path = CutAtNul(sys.processes.GetProcessModulePath(pid));
    if (path.empty()) return {};
    return ResolveVdmModule(path, pid);
}

std::string ResolveVdmModule(const std::string& path, std::uint32_t pid) {
    if (UCase(LastChars(path, 9)) == "NTVDM.EXE") return GetVdmTaskFile(pid);
    return path;
}

std::string GetVdmTaskFile(std::uint32_t pid) {
    // The lookup keeps its state in this call alone and processes no window
    // messages while it runs, so an event can never start a second lookup
    // that overwrites the first one's result.
    std::string result = "--";
    for (const std::string& raw : Sys().processes.EnumVdmTaskFiles(pid)) {
        std::string file = TaskFileName(raw);
        // Every task is visited, so the last one wins; the 16-bit shell task
        // itself is never the answer.
        if (UCase(LastChars(file, 11)) != "WOWEXEC.EXE") result = file;
    }
    return result;
}

}  // namespace rw
