#include "backends/linux/LinuxFacts.h"

// Qt first: the X headers some window systems pull in define macros
// (None, Bool, Status) that clash with Qt's names.
#include <QString>

#include <clocale>
#include <cstdio>
#include <unistd.h>

#include "backends/linux/LinuxUtil.h"
#include "backends/posix/PosixFiles.h"
#include "backends/posix/PosixProcess.h"
#include "base/Ascii.h"
#include "resources/KeyStrings.h"

namespace rw::lnx {

LinuxFacts::LinuxFacts(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (i > 1) args_ += ' ';
        args_ += argv[i];
    }
}

std::string LinuxFacts::ExecutablePath() { return posix::ExecutablePath(); }
std::uint32_t LinuxFacts::GetCurrentProcessId() { return static_cast<std::uint32_t>(getpid()); }
std::uint16_t LinuxFacts::GetSystemDefaultLangID() { return LangIdFromLocale(SystemLocale()); }

std::string LinuxFacts::GetDecimalSeparator() {
    const lconv* lc = std::localeconv();
    if (lc == nullptr || lc->decimal_point == nullptr) return {};
    return lc->decimal_point;
}

std::string LinuxFacts::LoadResString(int id) { return FixedKeyString(id); }

std::size_t LinuxFacts::CharLength(const std::string& text, std::size_t pos) {
    return posix::Utf8CharLength(text, pos);
}

namespace {
bool IsAscii(const std::string& s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}
}  // namespace

bool LinuxFacts::EqualsIgnoringCase(const std::string& a, const std::string& b) {
    if (a == b) return true;
    // ASCII text (key names, most paths) folds its letters alone, without a
    // conversion: the key table compares every name this way at start-up.
    // Text that is not UTF-8 would decode to replacement characters, and two
    // different stray bytes must not compare equal.
    if ((IsAscii(a) && IsAscii(b)) || !posix::IsValidUtf8(a) || !posix::IsValidUtf8(b))
        return EqualsAsciiNoCase(a, b);
    return QString::fromUtf8(a.data(), static_cast<qsizetype>(a.size())).toCaseFolded() ==
           QString::fromUtf8(b.data(), static_cast<qsizetype>(b.size())).toCaseFolded();
}

void LinuxFacts::DebugOutput(const std::string& line) {
    std::string out = line;
    out += '\n';
    std::fwrite(out.data(), 1, out.size(), stderr);
    std::fflush(stderr);
}

}  // namespace rw::lnx
