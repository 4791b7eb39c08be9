#include "backends/fake/FakePlatform.h"

#include <algorithm>
#include <cstdio>

#include "backends/posix/PosixFiles.h"
#include "base/Ascii.h"
#include "resources/KeyStrings.h"

namespace rw {

std::string Hex(std::uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%X", v);
    return buf;
}

static std::string Hex2(std::uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%02X", v);
    return buf;
}

FakePlatform::FakePlatform() {
    // A small US-like layout: letters, digits, a few named keys.
    for (std::uint32_t vk = 'A'; vk <= 'Z'; ++vk) scanCodes[vk] = 0x10 + (vk - 'A');
    for (std::uint32_t vk = '0'; vk <= '9'; ++vk) scanCodes[vk] = 0x02 + (vk - '0');
    scanCodes[0x0D] = 0x1C;
    scanCodes[0x09] = 0x0F;
    scanCodes[0x08] = 0x0E;
    scanCodes[0x1B] = 0x01;
    scanCodes[0x20] = 0x39;
    scanCodes[0x10] = 0x2A;
    scanCodes[0x11] = 0x1D;
    scanCodes[0x12] = 0x38;
    scanCodes[0x2E] = 0x53;
    scanCodes[0x90] = 0x45;
    scanCodes[0x14] = 0x3A;
    scanCodes[0x91] = 0x46;
}

WinHandle FakePlatform::AddWindow(const FakeWindow& w) {
    WinHandle h = next_;
    next_ += 0x10;
    windows_[h] = w;
    if (w.parent != 0 && Exists(w.parent)) {
        windows_[w.parent].children.push_back(h);
    } else {
        topLevel_.push_back(h);
    }
    return h;
}

WinHandle FakePlatform::AddOwnMainWindow(std::uint32_t pid) {
    FakeWindow main;
    main.title = "Replywick MainForm";
    main.visible = 0;
    main.thread = ownThread;
    main.pid = pid;
    return AddWindow(main);
}

WinHandle FakePlatform::AddChild(WinHandle parent, const std::string& cls, const std::string& text,
                                 int id) {
    FakeWindow c;
    c.parent = parent;
    c.cls = cls;
    c.title = text;
    c.ctrlId = id;
    if (Exists(parent)) {
        c.thread = windows_[parent].thread;
        c.pid = windows_[parent].pid;
    }
    return AddWindow(c);
}

void FakePlatform::DestroyWindow(WinHandle w) {
    if (!Exists(w)) return;
    for (WinHandle c : std::vector<WinHandle>(windows_[w].children)) DestroyWindow(c);
    WinHandle parent = windows_[w].parent;
    if (Exists(parent)) {
        auto& ch = windows_[parent].children;
        ch.erase(std::remove(ch.begin(), ch.end(), w), ch.end());
    }
    topLevel_.erase(std::remove(topLevel_.begin(), topLevel_.end(), w), topLevel_.end());
    windows_.erase(w);
    ++generation_[w];
    if (foreground_ == w) foreground_ = 0;
    if (focus_ == w) focus_ = 0;
}

WinHandle FakePlatform::AddWindowReusing(WinHandle handle, const FakeWindow& w) {
    if (Exists(handle)) DestroyWindow(handle);
    windows_[handle] = w;
    topLevel_.push_back(handle);
    return handle;
}

WindowIdentity FakePlatform::IdentifyWindow(WinHandle w) {
    if (!Exists(w)) return {0, 0};
    return {w, generation_[w]};
}

bool FakePlatform::IsSameWindow(const WindowIdentity& id) {
    return Exists(id.handle) && generation_[id.handle] == id.generation;
}

bool FakePlatform::InputReaches(WinHandle w) {
    return Exists(w) && std::find(unreachable.begin(), unreachable.end(), w) == unreachable.end();
}

void FakePlatform::At(std::uint32_t atMs, std::function<void()> action) {
    scheduled_.emplace(atMs, std::move(action));
}

void FakePlatform::RunDue() {
    while (!scheduled_.empty() && scheduled_.begin()->first <= now_) {
        auto action = std::move(scheduled_.begin()->second);
        scheduled_.erase(scheduled_.begin());
        action();
    }
}

std::vector<std::string> FakePlatform::Lines(const std::vector<std::string>& prefixes) const {
    std::vector<std::string> out;
    for (const auto& line : transcript) {
        for (const auto& p : prefixes) {
            if (line.compare(0, p.size(), p) == 0) {
                out.push_back(line);
                break;
            }
        }
    }
    return out;
}

void FakePlatform::Sleep(std::uint32_t ms) {
    if (recordSleeps) Record("sleep " + std::to_string(ms));
    // Advance one millisecond at a time so that scheduled changes land at
    // their moment, also in the middle of a long pause.
    std::uint32_t end = now_ + ms;
    RunDue();
    while (now_ < end) {
        auto nextDue = scheduled_.empty() ? end : std::min(end, std::max(now_ + 1, scheduled_.begin()->first));
        now_ = nextDue;
        RunDue();
    }
}

void FakePlatform::TimeBeginPeriod(std::uint32_t ms) { Record("timer begin " + std::to_string(ms)); }
void FakePlatform::TimeEndPeriod(std::uint32_t ms) { Record("timer end " + std::to_string(ms)); }

bool FakeFiles::ReadFileBytes(const std::string& path, std::string& bytes) {
    const auto& unreadable = fake_.unreadableFiles;
    if (std::find(unreadable.begin(), unreadable.end(), path) != unreadable.end()) return false;
    return PosixFiles::ReadFileBytes(path, bytes);
}
FileOutcome FakeFiles::ReadUsersFile(const std::string& path, std::string& bytes, std::size_t maxBytes) {
    const auto& unreadable = fake_.unreadableFiles;
    if (std::find(unreadable.begin(), unreadable.end(), path) != unreadable.end())
        return {FileVerdict::Unreadable, path, "unreadable by the test's wish"};
    return PosixFiles::ReadUsersFile(path, bytes, maxBytes);
}
bool FakeFiles::WriteNewFileDurably(const std::string& path, const std::string& bytes,
                                    const std::string& modeTemplate) {
    if (fake_.failNextWrite) {
        fake_.failNextWrite = false;
        // A write that breaks off midway: part of the data landed, then the
        // backend cleans up as it must.
        PosixFiles::WriteNewFileDurably(path, bytes.substr(0, bytes.size() / 2), modeTemplate);
        RemoveFile(path);
        return false;
    }
    return PosixFiles::WriteNewFileDurably(path, bytes, modeTemplate);
}
bool FakeFiles::ReplaceFileWith(const std::string& source, const std::string& target) {
    if (fake_.failNextReplace) {
        fake_.failNextReplace = false;
        return false;
    }
    return PosixFiles::ReplaceFileWith(source, target);
}
FileOutcome FakeFiles::ReplaceUsersFile(const std::string& path, const std::string& bytes,
                                        const std::string& tmpSuffix) {
    ReplaceFaults faults;
    faults.failWrite = fake_.failNextWrite;
    faults.failRename = !fake_.failNextWrite && fake_.failNextReplace;
    // Each wish is for one write: a write that fails never reaches the rename.
    fake_.failNextWrite = false;
    if (faults.failRename) fake_.failNextReplace = false;
    return ReplaceUsersFileWith(path, bytes, tmpSuffix, faults);
}
bool FakeFiles::IsDirectoryWritable(const std::string& dir) {
    const auto& unwritable = fake_.unwritableDirs;
    return std::find(unwritable.begin(), unwritable.end(), dir) == unwritable.end();
}
std::string FakeFiles::UserConfigDir() { return fake_.configDir; }
std::string FakeFiles::HostName() { return fake_.hostName; }

bool FakePlatform::ProcessRunning(std::uint32_t pid) {
    return pid == processId ||
           std::find(runningProcesses.begin(), runningProcesses.end(), pid) != runningProcesses.end();
}

std::string FakePlatform::LoadResString(int id) { return FixedKeyString(id); }

std::uint32_t FakePlatform::MapVirtualKey(std::uint32_t vk) {
    auto it = scanCodes.find(vk);
    return it == scanCodes.end() ? 0 : it->second;
}

std::int16_t FakePlatform::VkKeyScan(const std::string& ch) {
    if (ch.size() != 1) return -1;
    unsigned char c = static_cast<unsigned char>(ch[0]);
    if (c >= 'a' && c <= 'z') return static_cast<std::int16_t>(AsciiUpper(static_cast<char>(c)));
    if (c >= 'A' && c <= 'Z') return static_cast<std::int16_t>(0x100 | c);
    if (c >= '0' && c <= '9') return static_cast<std::int16_t>(c);
    if (c == ' ') return 0x20;
    if (c == '\n') return 0x0D;
    return -1;
}

std::string FakePlatform::GetKeyNameText(std::int32_t lParam) {
    auto it = keyNames.find(lParam);
    return it == keyNames.end() ? std::string() : it->second;
}

std::size_t FakePlatform::CharLength(const std::string& text, std::size_t pos) {
    if (pos >= text.size()) return 0;
    return utf8 ? posix::Utf8CharLength(text, pos) : 1;
}

bool FakePlatform::EqualsIgnoringCase(const std::string& a, const std::string& b) {
    auto upper = [](unsigned char c) {
        const bool lower = (c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7);
        return lower ? static_cast<unsigned char>(c - 0x20) : c;
    };
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (upper(static_cast<unsigned char>(a[i])) != upper(static_cast<unsigned char>(b[i]))) return false;
    }
    return true;
}

bool FakePlatform::ClipboardGetText(std::string& text) {
    Record("clipboard get");
    if (clipboardGetFailures > 0) {
        --clipboardGetFailures;
        return false;
    }
    text = clipboard;
    return true;
}
bool FakePlatform::ClipboardEmpty() {
    Record("clipboard empty");
    if (clipboardEmptyFailures > 0) {
        --clipboardEmptyFailures;
        return false;
    }
    clipboard.clear();
    return true;
}
bool FakePlatform::ClipboardSetText(const std::string& text) {
    Record("clipboard set");
    clipboard = text;
    return true;
}

bool FakePlatform::SetForegroundWindow(WinHandle w) {
    Record("setfg " + Hex(w));
    if (!Exists(w)) return false;
    if (setForegroundFailures > 0) {
        --setForegroundFailures;
        return false;
    }
    foreground_ = w;
    return true;
}

std::string FakePlatform::GetWindowText(WinHandle w) {
    if (!Exists(w)) return {};
    const auto& t = windows_[w].title;
    return t.size() > 259 ? t.substr(0, 259) : t;
}
std::string FakePlatform::GetClassName(WinHandle w) {
    if (!Exists(w)) return {};
    const auto& t = windows_[w].cls;
    return t.size() > 259 ? t.substr(0, 259) : t;
}
bool FakePlatform::GetWindowRect(WinHandle w, Rect& r) {
    ++rectReads;
    if (!Exists(w)) {
        r = Rect{};
        return false;
    }
    r = windows_[w].rect;
    return true;
}
int FakePlatform::IsWindowVisible(WinHandle w) { return Exists(w) ? windows_[w].visible : 0; }
int FakePlatform::IsIconic(WinHandle w) { return Exists(w) ? windows_[w].iconic : 0; }
WinHandle FakePlatform::GetParent(WinHandle w) { return Exists(w) ? windows_[w].parent : 0; }
WinHandle FakePlatform::GetFirstChild(WinHandle w) {
    if (!Exists(w) || windows_[w].children.empty()) return 0;
    return windows_[w].children.front();
}
WinHandle FakePlatform::GetNextSibling(WinHandle w) {
    if (!Exists(w)) return 0;
    WinHandle parent = windows_[w].parent;
    const auto& list = Exists(parent) ? windows_[parent].children : topLevel_;
    auto it = std::find(list.begin(), list.end(), w);
    if (it == list.end() || ++it == list.end()) return 0;
    return *it;
}
WinHandle FakePlatform::GetDlgItem(WinHandle dialog, int id) {
    if (!Exists(dialog)) return 0;
    for (WinHandle c : windows_[dialog].children) {
        if (windows_[c].ctrlId == id) return c;
    }
    return 0;
}
WinHandle FakePlatform::WindowFromPoint(std::int32_t x, std::int32_t y) {
    // Top-level windows in order; the last one added lies on top.
    for (auto it = topLevel_.rbegin(); it != topLevel_.rend(); ++it) {
        const auto& fw = windows_[*it];
        if (fw.visible == 1 && x >= fw.rect.left && x < fw.rect.right && y >= fw.rect.top &&
            y < fw.rect.bottom)
            return *it;
    }
    return 0;
}
void FakePlatform::SetWindowPosZOrder(WinHandle w, WinHandle insertAfter) {
    Record("zorder " + Hex(w) + " after " + Hex(insertAfter));
}
bool FakePlatform::ShowWindow(WinHandle w, std::uint32_t cmd) {
    Record("show " + std::to_string(cmd) + " -> " + Hex(w));
    return Exists(w);
}

std::uint32_t FakePlatform::GetWindowProcessId(WinHandle w) { return Exists(w) ? windows_[w].pid : 0; }

WinHandle FakePlatform::FocusedControl(WinHandle w) {
    Record("focus of " + Hex(w));
    if (!Exists(w) || !Exists(focus_)) return 0;
    return windows_[focus_].thread == windows_[w].thread ? focus_ : 0;
}

bool FakePlatform::ForceForeground(WinHandle w) {
    Record("forcefg " + Hex(w));
    return SetForegroundWindow(w);
}

std::uint32_t FakePlatform::GetPriorityClass(std::uint32_t pid) {
    auto it = priorities.find(pid);
    return it == priorities.end() ? 0 : it->second;
}
bool FakePlatform::SetPriorityClass(std::uint32_t pid, std::uint32_t priorityClass) {
    auto it = priorities.find(pid);
    if (it == priorities.end()) return false;
    Record("priority pid " + std::to_string(pid) + " = " + Hex2(priorityClass));
    it->second = priorityClass;
    return true;
}
void FakePlatform::WaitForInputIdle(std::uint32_t pid, std::uint32_t timeoutMs) {
    Record("idle pid " + std::to_string(pid) + " max " + std::to_string(timeoutMs));
}
std::string FakePlatform::GetProcessModulePath(std::uint32_t pid) {
    ++moduleLookups;
    auto it = modulePaths.find(pid);
    return it == modulePaths.end() ? std::string() : it->second;
}
std::vector<std::string> FakePlatform::EnumVdmTaskFiles(std::uint32_t pid) {
    auto it = vdmTasks.find(pid);
    return it == vdmTasks.end() ? std::vector<std::string>() : it->second;
}

void FakePlatform::AimKeysAt(const WindowIdentity& target) {
    keyTargetSet = true;
    keyTarget = target;
    keysRefused = false;
    keysRefusedWhy.clear();
}

void FakePlatform::EndKeysFor() {
    keyTargetSet = false;
    keyTarget = {};
}

bool FakePlatform::KeyTargetHoldsKeyboard() {
    if (!keyTargetSet) return true;
    if (foreground_ != keyTarget.handle || !IsSameWindow(keyTarget)) return false;
    if (focus_ == 0) return true;  // no focus scripted: the window in front has it
    for (WinHandle w = focus_; Exists(w); w = windows_[w].parent) {
        if (w == keyTarget.handle) return true;
    }
    return false;
}

bool FakePlatform::PostChar(WinHandle w, const std::string& ch) {
    if (beforeInput) beforeInput();
    std::string shown;
    if (ch.size() == 1 && (static_cast<unsigned char>(ch[0]) < 0x20 || ch[0] == 0x7F)) {
        shown = Hex2(static_cast<unsigned char>(ch[0]));
    } else {
        shown = "'" + ch + "'";
    }
    if (charactersFollowFocus && !KeyTargetHoldsKeyboard()) {
        keysRefused = true;
        Record("refused char " + shown + " -> " + Hex(w));
        return false;
    }
    Record("char " + shown + " -> " + Hex(w));
    return Exists(w);
}
bool FakePlatform::PostCommand(WinHandle dialog, int id, WinHandle button) {
    Record("command " + std::to_string(id) + " -> " + Hex(dialog) + " button " + Hex(button));
    return Exists(dialog);
}
bool FakePlatform::PostClose(WinHandle w) {
    Record("close -> " + Hex(w));
    return Exists(w);
}
bool FakePlatform::WaitUntilAnswers(WinHandle w, std::uint32_t timeoutMs) {
    if (Exists(w) && windows_[w].hung) {
        Record("sync " + Hex(w) + " timed out");
        now_ += timeoutMs;
        RunDue();
        return false;
    }
    Record("sync " + Hex(w));
    return Exists(w);
}

void FakePlatform::KeyEvent(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags) {
    if (beforeInput) beforeInput();
    bool up = (flags & keyflag::KeyUp) != 0;
    std::string line = std::string(up ? "keyup " : "keydown ") + Hex2(vk) + " scan " + Hex2(scan);
    if (flags & keyflag::Extended) line += " ext";
    if (!up && !KeyTargetHoldsKeyboard()) {
        keysRefused = true;
        Record("refused " + line);
        return;
    }
    if (!up && std::find(unplayableKeys.begin(), unplayableKeys.end(), vk) != unplayableKeys.end()) {
        keysRefused = true;
        keysRefusedWhy = "this input has no such key";
        Record("refused " + line);
        return;
    }
    Record(line);
    // Keep the key state as a keyboard would: down bit, and the toggle bit
    // of lock keys flips on each press.
    auto& s = keyState[vk];
    if (up) {
        s = static_cast<std::uint8_t>(s & 0x01);
    } else {
        bool lock = vk == 0x14 || vk == 0x90 || vk == 0x91;
        s = static_cast<std::uint8_t>(0x80 | (lock ? ((s & 0x01) ^ 0x01) : (s & 0x01)));
    }
    // Modifier groups: the generic code follows its left/right keys.
    auto syncGeneric = [this](int generic, int l, int r) {
        keyState[generic] = static_cast<std::uint8_t>(((keyState[l] | keyState[r]) & 0x80) |
                                                      (keyState[generic] & 0x01));
    };
    if (vk == 0xA0 || vk == 0xA1) syncGeneric(0x10, 0xA0, 0xA1);
    if (vk == 0xA2 || vk == 0xA3) syncGeneric(0x11, 0xA2, 0xA3);
    if (vk == 0xA4 || vk == 0xA5) syncGeneric(0x12, 0xA4, 0xA5);
    if (onKeyEvent) onKeyEvent(vk, flags);
}

std::int16_t FakePlatform::GetKeyState(int vk) {
    if (vk < 0 || vk > 255) return 0;
    std::uint8_t s = keyState[static_cast<std::size_t>(vk)];
    return static_cast<std::int16_t>(((s & 0x80) ? 0xFF80 : 0) | (s & 0x01));
}
bool FakePlatform::GetKeyboardState(std::array<std::uint8_t, 256>& state) {
    state = keyState;
    return true;
}
bool FakePlatform::SetKeyboardState(const std::array<std::uint8_t, 256>& state) {
    Record("setkeyboardstate");
    keyState = state;
    return true;
}

}  // namespace rw
