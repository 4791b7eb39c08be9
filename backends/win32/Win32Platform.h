// rw::Platform on the Win32 API (the A functions, ANSI text).
#pragma once

#include "platform/Platform.h"

namespace rw {

class Win32Platform : public ChildWindowPlatform {
public:
    std::string ExecutablePath() override;
    std::string CommandLineArgs() override;
    char PathSeparator() override { return '\\'; }
    bool PathExists(const std::string& path) override;
    bool ReadFileBytes(const std::string& path, std::string& bytes) override;
    bool WriteNewFileDurably(const std::string& path, const std::string& bytes,
                             const std::string& modeTemplate) override;
    bool ReplaceFileWith(const std::string& source, const std::string& target) override;
    bool RemoveFile(const std::string& path) override;
    std::vector<std::string> FilesBeginningWith(const std::string& path) override;
    bool ProcessRunning(std::uint32_t pid) override;
    bool IsDirectoryWritable(const std::string& dir) override;
    bool IsDirectory(const std::string& path) override;
    bool IsFileWritable(const std::string& path) override;
    std::uint32_t GetCurrentProcessId() override;
    std::string UserConfigDir() override { return {}; }
    std::string HostName() override;
    std::int64_t FileAgeSeconds(const std::string& path) override;
    OsVersionRaw GetVersionEx() override;
    std::uint16_t GetSystemDefaultLangID() override;
    std::string GetDecimalSeparator() override;
    std::int32_t GetScreenWidth() override;
    std::int32_t GetScreenHeight() override;
    std::int32_t TwipsPerPixelX() override;
    std::int32_t TwipsPerPixelY() override;

    std::string LoadResString(int id) override;
    std::uint32_t MapVirtualKey(std::uint32_t vk) override;
    std::int16_t VkKeyScan(const std::string& ch) override;
    std::string GetKeyNameText(std::int32_t lParam) override;
    std::size_t CharLength(const std::string& text, std::size_t pos) override;
    bool EqualsIgnoringCase(const std::string& a, const std::string& b) override;

    bool ClipboardGetText(std::string& text) override;
    bool ClipboardEmpty() override;
    bool ClipboardSetText(const std::string& text) override;

    std::uint32_t GetTickCount() override;
    void Sleep(std::uint32_t ms) override;
    void TimeBeginPeriod(std::uint32_t ms) override;
    void TimeEndPeriod(std::uint32_t ms) override;
    void DebugOutput(const std::string& line) override;

    WinHandle GetForegroundWindow() override;
    // WM_CHAR is posted to the captured window, wherever the focus is.
    bool CharactersFollowFocus() override { return false; }
    bool SetForegroundWindow(WinHandle w) override;
    std::string GetWindowText(WinHandle w) override;
    std::string GetClassName(WinHandle w) override;
    bool GetWindowRect(WinHandle w, Rect& r) override;
    int IsWindowVisible(WinHandle w) override;
    int IsIconic(WinHandle w) override;
    WinHandle GetParent(WinHandle w) override;
    bool HasCaption(WinHandle w) override;
    WinHandle GetFirstChild(WinHandle w) override;
    WinHandle GetNextSibling(WinHandle w) override;
    WinHandle GetDlgItem(WinHandle dialog, int id) override;
    WinHandle WindowFromPoint(std::int32_t x, std::int32_t y) override;
    void SetWindowPosZOrder(WinHandle w, WinHandle insertAfter) override;
    bool ShowWindow(WinHandle w, std::uint32_t cmd) override;

    std::uint32_t GetWindowThreadId(WinHandle w) override;
    std::uint32_t GetWindowProcessId(WinHandle w) override;
    std::uint32_t GetCurrentThreadId() override;
    bool AttachThreadInput(std::uint32_t from, std::uint32_t to, bool attach) override;
    WinHandle GetFocus() override;
    std::uint32_t GetPriorityClass(std::uint32_t pid) override;
    bool SetPriorityClass(std::uint32_t pid, std::uint32_t priorityClass) override;
    void WaitForInputIdle(std::uint32_t pid, std::uint32_t timeoutMs) override;
    std::string GetProcessModulePath(std::uint32_t pid) override;
    std::vector<std::string> EnumVdmTaskFiles(std::uint32_t pid) override;

    bool PostChar(WinHandle w, const std::string& ch) override;
    bool PostCommand(WinHandle dialog, int id, WinHandle button) override;
    bool PostClose(WinHandle w) override;
    bool SendNullMessage(WinHandle w, std::uint32_t timeoutMs) override;
    void KeyEvent(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags) override;
    std::int16_t GetKeyState(int vk) override;
    bool GetKeyboardState(std::array<std::uint8_t, 256>& state) override;
    bool SetKeyboardState(const std::array<std::uint8_t, 256>& state) override;

    // Whether characters, commands and keys we send can reach the window at
    // all. Not when its program runs elevated (as administrator) and
    // Replywick does not, nor when a post to its program has already been
    // refused: user interface privilege isolation drops them silently. The
    // portable logic does not ask this; the main window does, before it
    // hands a window on to the watcher.
    bool InputReaches(WinHandle w) override;

private:
    // A post that failed with ERROR_ACCESS_DENIED: the window's program is
    // above ours, and the rest of the macro would be lost the same way.
    void NoteRefusedPost(WinHandle w);
    std::vector<std::uint32_t> refusedPids_;

    std::string ModulePathNt(std::uint32_t pid);
    std::string ModulePathSnapshot(std::uint32_t pid);
    bool ScreenCaps(int index, int& value);

    WinHandle foregroundBeforeAttach_ = 0;
    // Running under Wine, whose thread-input detach needs a repair.
    const bool underWine_ = RunningUnderWine();
    static bool RunningUnderWine();
};

}  // namespace rw
