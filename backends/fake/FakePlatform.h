// A scriptable window system on a virtual clock, for tests. It records every
// event it receives as a readable transcript line.
#pragma once

#include <array>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "backends/posix/PosixFiles.h"
#include "platform/Platform.h"

namespace rw {

struct FakeWindow {
    std::string title;
    std::string cls;
    WinHandle parent = 0;
    std::vector<WinHandle> children;  // in z-order: first child first
    Rect rect{0, 0, 100, 100};
    int visible = 1;
    int iconic = 0;
    std::uint32_t thread = 1;
    std::uint32_t pid = 1;
    int ctrlId = 0;
    bool hung = false;  // never answers a sent message
};

class FakePlatform;

// The files are real (in a test's folder), through the Linux files role;
// the fake's knobs make reads and writes fail where a test asks for it.
class FakeFiles : public posix::PosixFiles {
public:
    explicit FakeFiles(FakePlatform& fake) : fake_(fake) {}
    // A path in unreadableFiles fails to read.
    bool ReadFileBytes(const std::string& path, std::string& bytes) override;
    FileOutcome ReadUsersFile(const std::string& path, std::string& bytes, std::size_t maxBytes) override;
    // failNextWrite breaks a write off half-way, failNextReplace fails the
    // rename that would put the new file in place.
    bool WriteNewFileDurably(const std::string& path, const std::string& bytes,
                             const std::string& modeTemplate) override;
    bool ReplaceFileWith(const std::string& source, const std::string& target) override;
    FileOutcome ReplaceUsersFile(const std::string& path, const std::string& bytes,
                                 const std::string& tmpSuffix) override;
    // Every folder is writable but those in unwritableDirs.
    bool IsDirectoryWritable(const std::string& dir) override;
    std::string UserConfigDir() override;
    std::string HostName() override;

private:
    FakePlatform& fake_;
};

// One scripted object plays every other role, so that one transcript shows
// the order of everything the logic did across roles.
class FakePlatform : public SystemFacts,
                     public Clock,
                     public Clipboard,
                     public Windows,
                     public ChildWindows,
                     public Processes,
                     public Input {
public:
    FakePlatform();
    FakePlatform(const FakePlatform&) = delete;
    FakePlatform& operator=(const FakePlatform&) = delete;

    // The roles to install with SetPlatform.
    FakeFiles files{*this};
    const Platform roles{files, *this, *this, *this, *this, *this, *this, dialogs_};

    // ---- Scripting -----------------------------------------------------
    WinHandle AddWindow(const FakeWindow& w);
    // The program's own hidden main window, on the calling thread.
    WinHandle AddOwnMainWindow(std::uint32_t pid = 1);
    // A child control of parent with a class, text and control id.
    WinHandle AddChild(WinHandle parent, const std::string& cls, const std::string& text, int id = 0);
    FakeWindow& Win(WinHandle w) { return windows_.at(w); }
    void DestroyWindow(WinHandle w);
    // A new top-level window that gets the handle of one just destroyed, as
    // X hands out ids again at once.
    WinHandle AddWindowReusing(WinHandle handle, const FakeWindow& w);
    void SetForeground(WinHandle w) { foreground_ = w; }
    void SetFocusWindow(WinHandle w) { focus_ = w; }
    // Runs action when the virtual clock reaches atMs (during a Sleep).
    void At(std::uint32_t atMs, std::function<void()> action);
    std::uint32_t Now() const { return now_; }

    // Everything received, one line per event.
    std::vector<std::string> transcript;
    // Debug lines written by the program.
    std::vector<std::string> debugLines;
    // Transcript lines that start with one of the prefixes.
    std::vector<std::string> Lines(const std::vector<std::string>& prefixes) const;
    bool recordSleeps = true;

    // Process facts.
    std::map<std::uint32_t, std::string> modulePaths;
    std::map<std::uint32_t, std::vector<std::string>> vdmTasks;
    std::map<std::uint32_t, std::uint32_t> priorities;  // pid -> class; missing: cannot open
    int moduleLookups = 0;
    int dialogTextReads = 0;
    int rectReads = 0;

    // Keyboard layout: vk -> scan code; key-name lParam -> name.
    std::map<std::uint32_t, std::uint32_t> scanCodes;
    std::map<std::int32_t, std::string> keyNames;
    std::string decimalSeparator = ".";
    std::array<std::uint8_t, 256> keyState{};

    // Clipboard and its failures.
    std::string clipboard;
    int clipboardGetFailures = 0;    // the next n reads fail
    int clipboardEmptyFailures = 0;  // the next n empties fail

    // System facts.
    std::string exePath = "C:\\Apps\\replywick.exe";
    std::string commandLine;
    char sep = '\\';
    OsVersionRaw os{2, 10, 0, 19045};
    std::uint16_t langId = 1033;
    std::int32_t screenW = 1024, screenH = 768;
    std::string configDir;

    // File failures (files themselves are real, in a test's directory).
    bool failNextWrite = false;
    bool failNextReplace = false;
    std::string hostName = "testhost";
    std::vector<std::string> unwritableDirs;
    // Files that exist but cannot be read (locked, no permission, I/O error).
    std::vector<std::string> unreadableFiles;
    std::uint32_t processId = 4242;
    // Other processes that run (the fake's own always does).
    std::vector<std::uint32_t> runningProcesses;

    // ---- The roles ---------------------------------------------------------
    std::string ExecutablePath() override { return exePath; }
    std::string CommandLineArgs() override { return commandLine; }
    char PathSeparator() override { return sep; }
    bool ProcessRunning(std::uint32_t pid) override;
    std::uint32_t GetCurrentProcessId() override { return processId; }
    OsVersionRaw GetVersionEx() override { return os; }
    std::uint16_t GetSystemDefaultLangID() override { return langId; }
    std::string GetDecimalSeparator() override { return decimalSeparator; }
    std::int32_t GetScreenWidth() override { return screenW; }
    std::int32_t GetScreenHeight() override { return screenH; }
    std::int32_t TwipsPerPixelX() override { return 15; }
    std::int32_t TwipsPerPixelY() override { return 15; }

    std::string LoadResString(int id) override;
    std::uint32_t MapVirtualKey(std::uint32_t vk) override;
    std::int16_t VkKeyScan(const std::string& ch) override;
    std::string GetKeyNameText(std::int32_t lParam) override;
    std::size_t CharLength(const std::string& text, std::size_t pos) override;
    // ASCII letters and those of Windows-1252 (ä/Ä, é/É).
    bool EqualsIgnoringCase(const std::string& a, const std::string& b) override;

    bool ClipboardGetText(std::string& text) override;
    bool ClipboardEmpty() override;
    bool ClipboardSetText(const std::string& text) override;

    std::uint32_t GetTickCount() override { return now_; }
    void Sleep(std::uint32_t ms) override;
    void TimeBeginPeriod(std::uint32_t ms) override;
    void TimeEndPeriod(std::uint32_t ms) override;
    void DebugOutput(const std::string& line) override { debugLines.push_back(line); }

    WinHandle GetForegroundWindow() override { return foreground_; }
    WindowIdentity IdentifyWindow(WinHandle w) override;
    bool IsSameWindow(const WindowIdentity& id) override;
    bool CharactersFollowFocus() override { return charactersFollowFocus; }
    bool InputReaches(WinHandle w) override;
    bool SetForegroundWindow(WinHandle w) override;
    std::string GetWindowText(WinHandle w) override;
    std::string GetClassName(WinHandle w) override;
    bool GetWindowRect(WinHandle w, Rect& r) override;
    int IsWindowVisible(WinHandle w) override;
    int IsIconic(WinHandle w) override;
    WinHandle GetParent(WinHandle w) override;
    WinHandle GetFirstChild(WinHandle w) override;
    WinHandle GetNextSibling(WinHandle w) override;
    WinHandle GetDlgItem(WinHandle dialog, int id) override;
    WinHandle WindowFromPoint(std::int32_t x, std::int32_t y) override;
    void SetWindowPosZOrder(WinHandle w, WinHandle insertAfter) override;
    bool ShowWindow(WinHandle w, std::uint32_t cmd) override;

    // Records "focus of W". The focus is known inside the window's own
    // thread, as Windows tells it.
    WinHandle FocusedControl(WinHandle w) override;
    std::uint32_t GetWindowProcessId(WinHandle w) override;
    // Records "forcefg W", then asks as SetForegroundWindow does.
    bool ForceForeground(WinHandle w) override;
    std::uint32_t GetPriorityClass(std::uint32_t pid) override;
    bool SetPriorityClass(std::uint32_t pid, std::uint32_t priorityClass) override;
    void WaitForInputIdle(std::uint32_t pid, std::uint32_t timeoutMs) override;
    std::string GetProcessModulePath(std::uint32_t pid) override;
    std::vector<std::string> EnumVdmTaskFiles(std::uint32_t pid) override;

    bool PostChar(WinHandle w, const std::string& ch) override;
    bool PostCommand(WinHandle dialog, int id, WinHandle button) override;
    bool PostClose(WinHandle w) override;
    bool WaitUntilAnswers(WinHandle w, std::uint32_t timeoutMs) override;
    void KeyEvent(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags) override;
    std::int16_t GetKeyState(int vk) override;
    bool GetKeyboardState(std::array<std::uint8_t, 256>& state) override;
    bool SetKeyboardState(const std::array<std::uint8_t, 256>& state) override;
    // With a target, a key press or character is refused (recorded as
    // "refused ...", not delivered) unless that very window is in front and
    // the focus, where one is set, lies inside it.
    void AimKeysAt(const WindowIdentity& target) override;
    void EndKeysFor() override;
    bool KeysRefused() override { return keysRefused; }
    std::string KeysRefusedWhy() override { return keysRefusedWhy; }

    // The thread of the program's own windows.
    std::uint32_t ownThread = 1000;
    bool utf8 = false;  // CharLength as on Linux
    // Typed characters go to the focus (X11) instead of their window.
    bool charactersFollowFocus = false;
    // Windows whose program our input cannot reach (elevated, on Windows).
    std::vector<WinHandle> unreachable;
    // The next n SetForegroundWindow calls fail (a foreground lock refusing).
    int setForegroundFailures = 0;
    // The window the keys are for now (AimKeysAt until EndKeysFor).
    bool keyTargetSet = false;
    WindowIdentity keyTarget;
    bool keysRefused = false;
    // Keys this input cannot play at all (an input that types through the
    // accessibility bus): their presses are refused with the reason given.
    std::vector<std::uint8_t> unplayableKeys;
    std::string keysRefusedWhy;
    // Runs at the start of every key event and typed character, before the
    // target is checked: the window system's own work before the event
    // (a keymap change, a wait for a free key) in which anything can happen.
    std::function<void()> beforeInput;
    // Runs after every injected key event, e.g. to move the focus on TAB.
    std::function<void(std::uint8_t vk, std::uint32_t flags)> onKeyEvent;

private:
    void Record(std::string line) { transcript.push_back(std::move(line)); }
    void RunDue();
    bool Exists(WinHandle w) const { return w != 0 && windows_.count(w) != 0; }
    // False when a key target is set and does not hold the keyboard now.
    bool KeyTargetHoldsKeyboard();

    std::map<WinHandle, FakeWindow> windows_;
    std::map<WinHandle, std::uint64_t> generation_;  // bumped when a handle's window goes
    std::vector<WinHandle> topLevel_;
    WinHandle next_ = 0x100;
    WinHandle foreground_ = 0;
    WinHandle focus_ = 0;
    std::uint32_t now_ = 0;
    std::multimap<std::uint32_t, std::function<void()>> scheduled_;
    // The child-window rules, counting the texts read.
    class CountingDialogs final : public Dialogs {
    public:
        explicit CountingDialogs(FakePlatform& fake) : fake_(fake), rules_(fake, fake) {}
        std::string GetDialogText(WinHandle dialog) override {
            ++fake_.dialogTextReads;
            return rules_.GetDialogText(dialog);
        }
        int PressDialogButton(WinHandle dialog, std::initializer_list<int> ids) override {
            return rules_.PressDialogButton(dialog, ids);
        }

    private:
        FakePlatform& fake_;
        ChildWindowDialogs rules_;
    };
    CountingDialogs dialogs_{*this};
};

// "0x1A2B" style handle text used by transcript lines.
std::string Hex(std::uint32_t v);

}  // namespace rw
