#include "actions/Strings.h"

#include <cstdint>

#include "base/Ascii.h"
#include "platform/Platform.h"

namespace rw {

std::string CutAtNul(const std::string& text) {
    const auto nul = text.find('\0');
    return nul == std::string::npos ? text : text.substr(0, nul);
}

std::string TrimAtNul(const std::string& text) {
    // Trimming first means spaces directly in front of the NUL survive: a
    // buffer filled with NULs has no trailing spaces to trim.
    return CutAtNul(TrimSpaces(text));
}

std::string NextToken(std::int32_t& pos, const std::string& text, const std::string& delim) {
    const auto len = static_cast<std::int64_t>(text.size());
    if (text.empty() || pos <= 0 || pos > len) {
        pos = 0;
        return {};
    }
    const auto start = static_cast<std::size_t>(pos - 1);
    // An empty delimiter would match in place forever and never advance the
    // position; it takes the rest of the text as one piece instead.
    const auto found = delim.empty() ? std::string::npos : text.find(delim, start);
    const std::string piece =
        found == std::string::npos ? text.substr(start) : text.substr(start, found - start);
    // After the last piece this lies beyond the end, so the next call reports
    // the end. Far beyond what a position can hold, the end is reported now.
    const auto next = static_cast<std::int64_t>(pos) + static_cast<std::int64_t>(piece.size()) +
                      static_cast<std::int64_t>(delim.size());
    pos = next > INT32_MAX ? 0 : static_cast<std::int32_t>(next);
    return TrimSpaces(piece);
}

void ReplaceAll(std::string& text, const std::string& search, const std::string& replacement) {
    // An empty search text would occur everywhere; it leaves the text alone.
    if (search.empty() || text.size() < search.size()) return;
    std::size_t count = 0;
    for (auto at = text.find(search); at != std::string::npos; at = text.find(search, at + search.size()))
        ++count;
    if (count == 0) return;
    std::string out;
    out.reserve(text.size() - count * search.size() + count * replacement.size());
    std::size_t from = 0;
    for (auto at = text.find(search); at != std::string::npos; at = text.find(search, from)) {
        out.append(text, from, at - from);
        out += replacement;
        from = at + search.size();
    }
    out.append(text, from, std::string::npos);
    text.swap(out);
}

std::string FormatAbs(std::int16_t value) {
    // Widened first: the absolute value of -32768 does not fit 16 bits.
    const std::int32_t wide = value;
    return std::to_string(wide < 0 ? -wide : wide);
}

std::string TrimSpaces(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    const auto last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

std::string UCase(const std::string& text) { return AsciiUpper(text); }

bool EqualsNoCase(const std::string& a, const std::string& b) { return EqualsAsciiNoCase(a, b); }

void AddBackslash(std::string& path, char sep) {
    if (!path.empty() && path.back() != sep) path += sep;
}

std::string RemoveBackslash(const std::string& path, char sep) {
    if (path.empty() || path.back() != sep) return path;
    // A root keeps its separator: "C:\" on Windows, "/" on Linux.
    if (path.size() == 1) return path;
    if (sep == '\\' && path.size() >= 2 && path[path.size() - 2] == ':') return path;
    return path.substr(0, path.size() - 1);
}

std::string GetDecimalSeparator() { return TrimAtNul(Sys().facts.GetDecimalSeparator()); }

bool FileExists(const std::string& path, const std::string& dir) {
    if (TrimSpaces(path).empty()) return false;
    const Platform& sys = Sys();
    if (sys.files.PathExists(path)) return true;
    if (dir.empty()) return false;
    const char sep = sys.facts.PathSeparator();
    // An absolute POSIX path names the same file whatever the directory.
    if (sep == '/' && path.front() == '/') return false;
    std::string inDir = dir;
    AddBackslash(inDir, sep);
    return sys.files.PathExists(inDir + path);
}

}  // namespace rw
