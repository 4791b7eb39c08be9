#include "backends/x11/X11Platform.h"

// Qt first: the X headers define macros (None, Bool, Status) that clash
// with Qt's names.
#include <QString>

#include <clocale>
#include <cstdio>
#include <unistd.h>

#include "backends/posix/PosixFiles.h"
#include "backends/posix/PosixProcess.h"
#include "backends/x11/X11Connection.h"
#include "backends/x11/X11Keyboard.h"
#include "backends/x11/X11MainWindow.h"
#include "backends/x11/X11Util.h"
#include "backends/x11/X11WindowTracker.h"
#include "backends/x11/X11Windows.h"
#include "resources/KeyStrings.h"

namespace rw::x11 {

X11Platform::X11Platform(const char* displayName, int argc, char** argv)
    : x_(std::make_unique<X11Connection>(displayName)),
      tracker_(std::make_unique<X11WindowTracker>(*x_)),
      windows_(std::make_unique<X11Windows>(*x_, *tracker_)),
      keyboard_(std::make_unique<X11Keyboard>(*x_, *tracker_)),
      mainWindow_(std::make_unique<X11MainWindow>(*x_, *tracker_, *windows_, *keyboard_, events)) {
    for (int i = 1; i < argc; ++i) {
        if (i > 1) args_ += ' ';
        args_ += argv[i];
    }
}

X11Platform::~X11Platform() = default;

bool X11Platform::Ok() const { return x_->Ok(); }
int X11Platform::ConnectionFd() const { return x_->Fd(); }

// ---- Main window and events ----------------------------------------------

WinHandle X11Platform::CreateMainWindow() { return mainWindow_->Create(); }
void X11Platform::DispatchEvents() { mainWindow_->Dispatch(); }
bool X11Platform::HasQueuedEvents() const { return mainWindow_->HasQueuedEvents(); }

// ---- Process, files, system ------------------------------------------------

std::string X11Platform::ExecutablePath() { return posix::ExecutablePath(); }
bool X11Platform::PathExists(const std::string& p) { return posix::PathExists(p); }
bool X11Platform::ReadFileBytes(const std::string& p, std::string& b) { return posix::ReadFileBytes(p, b); }
bool X11Platform::WriteNewFileDurably(const std::string& p, const std::string& b, const std::string& m) {
    return posix::WriteNewFileDurably(p, b, m);
}
bool X11Platform::ReplaceFileWith(const std::string& s, const std::string& t) { return posix::ReplaceFileWith(s, t); }
bool X11Platform::RemoveFile(const std::string& p) { return posix::RemoveFile(p); }
std::vector<std::string> X11Platform::FilesBeginningWith(const std::string& p) { return posix::FilesBeginningWith(p); }
bool X11Platform::ProcessRunning(std::uint32_t pid) { return posix::ProcessRunning(pid); }
bool X11Platform::IsDirectoryWritable(const std::string& d) { return posix::IsDirectoryWritable(d); }
bool X11Platform::IsDirectory(const std::string& p) { return posix::IsDirectory(p); }
bool X11Platform::IsFileWritable(const std::string& p) { return posix::IsFileWritable(p); }
std::uint32_t X11Platform::GetCurrentProcessId() { return static_cast<std::uint32_t>(getpid()); }
std::string X11Platform::ResolveFilePath(const std::string& p) { return posix::ResolveFilePath(p); }
std::string X11Platform::UserConfigDir() { return posix::UserConfigDir(); }
FileOutcome X11Platform::ReadUsersFile(const std::string& p, std::string& b, std::size_t max) {
    return posix::ReadUsersFile(p, b, max);
}
FileOutcome X11Platform::ReplaceUsersFile(const std::string& p, const std::string& b, const std::string& suffix) {
    return posix::ReplaceUsersFile(p, b, suffix);
}
std::string X11Platform::HostName() { return posix::HostName(); }
std::int64_t X11Platform::FileAgeSeconds(const std::string& p) { return posix::FileAgeSeconds(p); }
std::uint16_t X11Platform::GetSystemDefaultLangID() { return LangIdFromLocale(SystemLocale()); }

std::string X11Platform::GetDecimalSeparator() {
    const lconv* lc = std::localeconv();
    if (lc == nullptr || lc->decimal_point == nullptr) return {};
    return lc->decimal_point;
}

std::int32_t X11Platform::GetScreenWidth() { return x_->Ok() ? DisplayWidth(x_->dpy(), x_->Screen()) : 0; }
std::int32_t X11Platform::GetScreenHeight() { return x_->Ok() ? DisplayHeight(x_->dpy(), x_->Screen()) : 0; }

namespace {
// Twips (1/1440 inch) per pixel along a screen side; 15 (96 dpi) when the
// server does not know the screen's size.
std::int32_t TwipsPerPixel(int pixels, int millimetres) {
    if (pixels <= 0 || millimetres <= 0) return 15;
    return static_cast<std::int32_t>(1440.0 * millimetres / 25.4 / pixels + 0.5);
}
}  // namespace

std::int32_t X11Platform::TwipsPerPixelX() {
    if (!x_->Ok()) return 15;
    return TwipsPerPixel(DisplayWidth(x_->dpy(), x_->Screen()), DisplayWidthMM(x_->dpy(), x_->Screen()));
}

std::int32_t X11Platform::TwipsPerPixelY() {
    if (!x_->Ok()) return 15;
    return TwipsPerPixel(DisplayHeight(x_->dpy(), x_->Screen()), DisplayHeightMM(x_->dpy(), x_->Screen()));
}

std::string X11Platform::LoadResString(int id) { return FixedKeyString(id); }

std::size_t X11Platform::CharLength(const std::string& text, std::size_t pos) {
    return posix::Utf8CharLength(text, pos);
}

namespace {
bool IsAscii(const std::string& s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}
}  // namespace

bool X11Platform::EqualsIgnoringCase(const std::string& a, const std::string& b) {
    if (a == b) return true;
    // ASCII text (key names, most paths) folds its letters alone, without a
    // conversion: the key table compares every name this way at start-up.
    // Text that is not UTF-8 would decode to replacement characters, and two
    // different stray bytes must not compare equal: such text compares with
    // ASCII letters folded only.
    if ((IsAscii(a) && IsAscii(b)) || !posix::IsValidUtf8(a) || !posix::IsValidUtf8(b)) {
        if (a.size() != b.size()) return false;
        for (std::size_t i = 0; i < a.size(); ++i) {
            auto up = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
            if (up(a[i]) != up(b[i])) return false;
        }
        return true;
    }
    return QString::fromUtf8(a.data(), static_cast<qsizetype>(a.size())).toCaseFolded() ==
           QString::fromUtf8(b.data(), static_cast<qsizetype>(b.size())).toCaseFolded();
}

std::uint32_t X11Platform::GetTickCount() { return posix::MonotonicMs(); }
void X11Platform::Sleep(std::uint32_t ms) { posix::SleepMs(ms); }

void X11Platform::DebugOutput(const std::string& line) {
    std::string out = line;
    out += '\n';
    std::fwrite(out.data(), 1, out.size(), stderr);
    std::fflush(stderr);
}

// ---- Windows ---------------------------------------------------------------

WinHandle X11Platform::GetForegroundWindow() { return windows_->GetForegroundWindow(); }
WindowIdentity X11Platform::IdentifyWindow(WinHandle w) { return tracker_->Identify(w); }
bool X11Platform::IsSameWindow(const WindowIdentity& id) { return tracker_->IsSame(id); }
bool X11Platform::SetForegroundWindow(WinHandle w) { return windows_->SetForegroundWindow(w); }
std::string X11Platform::GetWindowText(WinHandle w) { return windows_->GetWindowText(w); }
std::string X11Platform::GetClassName(WinHandle w) { return windows_->GetClassName(w); }
bool X11Platform::GetWindowRect(WinHandle w, Rect& r) { return windows_->GetWindowRect(w, r); }
int X11Platform::IsWindowVisible(WinHandle w) { return windows_->IsWindowVisible(w); }
int X11Platform::IsIconic(WinHandle w) { return windows_->IsIconic(w); }
WinHandle X11Platform::WindowFromPoint(std::int32_t x, std::int32_t y) { return windows_->WindowFromPoint(x, y); }
void X11Platform::SetWindowPosZOrder(WinHandle w, WinHandle after) { windows_->SetWindowPosZOrder(w, after); }
bool X11Platform::ShowWindow(WinHandle w, std::uint32_t cmd) { return windows_->ShowWindow(w, cmd); }
bool X11Platform::PostClose(WinHandle w) { return windows_->PostClose(w); }
WinHandle X11Platform::GetFocus() { return windows_->GetFocus(); }
std::uint32_t X11Platform::GetWindowProcessId(WinHandle w) { return windows_->GetWindowProcessId(w); }
std::uint32_t X11Platform::GetWindowThreadId(WinHandle w) { return windows_->GetWindowThreadId(w); }

bool X11Platform::SendNullMessage(WinHandle w, std::uint32_t timeoutMs) {
    WinHandle answeredBy = 0;
    const bool read = windows_->WaitUntilRead(w, timeoutMs, answeredBy);
    // An answer to a ping also tells that the characters typed for the
    // window have been read: their lent keycodes may change again.
    if (answeredBy != 0) keyboard_->TargetHasRead(w, answeredBy);
    return read;
}

// ---- Processes -------------------------------------------------------------

std::uint32_t X11Platform::GetCurrentThreadId() { return posix::CurrentThreadId(); }

std::uint32_t X11Platform::GetPriorityClass(std::uint32_t pid) {
    int nice = 0;
    if (pid == 0 || !posix::GetNice(pid, nice)) return 0;
    return PriorityClassOfNice(nice);
}

bool X11Platform::SetPriorityClass(std::uint32_t pid, std::uint32_t priorityClass) {
    bool known = false;
    int nice = NiceOfPriorityClass(priorityClass, known);
    if (pid == 0 || !known) return false;
    // Raising needs the right to lower nice values; without it this fails
    // and playing goes on at the target's own priority.
    return posix::SetNice(pid, nice);
}

std::string X11Platform::GetProcessModulePath(std::uint32_t pid) { return posix::ProcessModulePath(pid); }

// ---- Keyboard --------------------------------------------------------------

bool X11Platform::PostChar(WinHandle w, const std::string& ch) { return keyboard_->TypeChar(w, ch); }
std::int16_t X11Platform::VkKeyScan(const std::string& ch) { return keyboard_->VkKeyScan(ch); }
std::uint32_t X11Platform::MapVirtualKey(std::uint32_t vk) { return keyboard_->MapVirtualKey(vk); }
std::string X11Platform::GetKeyNameText(std::int32_t lParam) { return keyboard_->GetKeyNameText(lParam); }
void X11Platform::KeyEvent(std::uint8_t vk, std::uint8_t, std::uint32_t flags) { keyboard_->KeyEvent(vk, flags); }
std::int16_t X11Platform::GetKeyState(int vk) { return keyboard_->GetKeyState(vk); }
bool X11Platform::GetKeyboardState(std::array<std::uint8_t, 256>& s) { return keyboard_->GetKeyboardState(s); }
bool X11Platform::SetKeyboardState(const std::array<std::uint8_t, 256>& s) { return keyboard_->SetKeyboardState(s); }
bool X11Platform::RestoreSpareKeys(bool force) { return keyboard_->RestoreSpareKeys(force); }
bool X11Platform::SpareKeysLent() const { return keyboard_->SpareKeysLent(); }

}  // namespace rw::x11
