// Checks of the Win32 backend against the real system (run under Wine by the
// end-to-end suite). Prints one line per failed check and exits non-zero.
#include "backends/win32/Win32Api.h"

#include <cstdio>
#include <string>
#include <utility>

#include "actions/KeyTable.h"
#include "backends/win32/Elevation.h"
#include "backends/win32/Win32Handle.h"
#include "backends/win32/Win32Platform.h"
#include "backends/win32/ui/AnsiText.h"
#include "resources/KeyStrings.h"
#include "resources/ResourceIds.h"

namespace {

int gFailures = 0;

void Check(bool ok, const std::string& what) {
    if (!ok) {
        std::printf("FAIL %s\n", what.c_str());
        ++gFailures;
    }
}

template <class A, class B>
void Equal(const A& got, const B& want, const std::string& what) {
    if (!(got == want)) {
        std::printf("FAIL %s: got '%s', want '%s'\n", what.c_str(), std::string(got).c_str(),
                    std::string(want).c_str());
        ++gFailures;
    }
}

std::string Num(long long v) { return std::to_string(v); }

LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcA(h, m, w, l); }

// A window with a focused edit box in a thread of its own, which reads its
// messages until told to stop; WM_APP makes it stop reading for a while.
struct OtherThread {
    HWND top = nullptr;
    HWND edit = nullptr;
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE deaf = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE hear = CreateEventA(nullptr, TRUE, FALSE, nullptr);
};

DWORD WINAPI OtherThreadMain(LPVOID param) {
    auto* o = static_cast<OtherThread*>(param);
    o->top = CreateWindowExA(0, "BackendCheckWindow", "other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 400, 20, 200, 150,
                             nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    o->edit = CreateWindowExA(0, "Edit", "", WS_CHILD | WS_VISIBLE, 0, 0, 80, 20, o->top,
                              reinterpret_cast<HMENU>(21), GetModuleHandleA(nullptr), nullptr);
    SetForegroundWindow(o->top);
    SetFocus(o->edit);
    SetEvent(o->ready);
    MSG m;
    while (GetMessageA(&m, nullptr, 0, 0) > 0) {
        if (m.message == WM_APP) {
            SetEvent(o->deaf);
            WaitForSingleObject(o->hear, INFINITE);
            continue;
        }
        DispatchMessageA(&m);
    }
    DestroyWindow(o->top);
    return 0;
}

}  // namespace

int main() {
    rw::win32::Win32Platform sys;
    rw::SetPlatform(&sys.roles);

    // String table: the 28 fixed key entries, nothing behind them.
    for (int id = 1; id <= 28; ++id) Equal(sys.facts.LoadResString(id), rw::FixedKeyString(id), "string " + Num(id));
    Equal(sys.facts.LoadResString(29), std::string(), "string 29");
    rw::LoadKeyTable();
    Equal(Num(rw::LookupKeyCode("enter")), Num(0x0D), "key enter");
    Equal(Num(rw::LookupKeyCode("TAB+WAIT")), Num(0x09), "key TAB+WAIT");
    Equal(Num(rw::LookupKeyCode("F5")), Num(0x74), "key F5 from the layout");
    Equal(Num(rw::LookupKeyCode("no such key")), Num(0), "unknown key");

    // Icons (16 and 32 pixels), cursors and the version record.
    HINSTANCE self = GetModuleHandleA(nullptr);
    for (int id : {IDI_OKON, IDI_OKOFF}) {
        for (int size : {16, 32}) {
            HICON icon = static_cast<HICON>(LoadImageA(self, MAKEINTRESOURCEA(id), IMAGE_ICON, size, size, 0));
            ICONINFO info{};
            BITMAP bm{};
            Check(icon && GetIconInfo(icon, &info) && GetObjectA(info.hbmColor, sizeof bm, &bm) &&
                      bm.bmWidth == size,
                  "icon " + Num(id) + " at " + Num(size));
        }
    }
    Check(LoadCursorA(self, "T") != nullptr, "cross-hair cursor T");
    Check(LoadCursorA(self, MAKEINTRESOURCEA(IDC_HANDPOINT)) != nullptr, "hand cursor");
    {
        char path[MAX_PATH];
        GetModuleFileNameA(nullptr, path, MAX_PATH);
        DWORD ignored = 0;
        DWORD size = GetFileVersionInfoSizeA(path, &ignored);
        std::string data(size, '\0');
        Check(size > 0 && GetFileVersionInfoA(path, 0, size, data.data()), "version record");
        const std::pair<const char*, const char*> fields[] = {{"ProductName", "Replywick"},
                                                              {"InternalName", "Replywick"},
                                                              {"FileVersion", "0.09.0073"},
                                                              {"ProductVersion", "0.09.0073"}};
        for (const auto& [key, want] : fields) {
            char* value = nullptr;
            UINT len = 0;
            const std::string q = std::string("\\StringFileInfo\\040704B0\\") + key;
            const bool ok = size > 0 && VerQueryValueA(data.data(), q.c_str(), reinterpret_cast<void**>(&value), &len);
            Equal(ok && value ? std::string(value) : std::string(), std::string(want), std::string("version ") + key);
        }
    }

    // Process and system.
    const std::string exe = sys.facts.ExecutablePath();
    Check(exe.size() > 18 && exe.substr(exe.size() - 17) == "backend_check.exe", "executable path " + exe);
    Equal(sys.facts.CommandLineArgs(), std::string("/ini=a b /D"), "command line arguments");
    Equal(std::string(1, sys.facts.PathSeparator()), std::string("\\"), "separator");
    const rw::OsVersionRaw v = sys.facts.GetVersionEx();
    Check(v.platformId == 2 && v.major >= 5, "version " + Num(v.platformId) + " " + Num(v.major));
    Equal(sys.facts.GetDecimalSeparator(), std::string("."), "decimal separator");
    Equal(Num(sys.facts.TwipsPerPixelX()), Num(15), "twips x");
    Equal(Num(sys.facts.TwipsPerPixelY()), Num(15), "twips y");
    Equal(Num(sys.facts.GetScreenWidth()), Num(1280), "screen width");
    Equal(Num(sys.facts.GetScreenHeight()), Num(800), "screen height");
    Equal(sys.files.UserConfigDir(), std::string(), "no config dir");

    // Module lookup: this process, none, a process that does not exist.
    const std::string module = sys.processes.GetProcessModulePath(GetCurrentProcessId());
    Check(lstrcmpiA(module.c_str(), exe.c_str()) == 0, "module of this process: " + module);
    Equal(sys.processes.GetProcessModulePath(0), std::string(), "module of pid 0");
    Equal(sys.processes.GetProcessModulePath(0x7FFFFFF0u), std::string(), "module of a missing pid");
    Check(sys.processes.EnumVdmTaskFiles(GetCurrentProcessId()).empty(), "no 16-bit tasks");

    // Files: create new only, durable write, replace, remove.
    const std::string a = "bc_test_a.tmp", b = "bc_test_b.tmp";
    sys.files.RemoveFile(a);
    sys.files.RemoveFile(b);
    Check(sys.files.WriteNewFileDurably(a, "one\r\n", ""), "write new");
    Check(!sys.files.WriteNewFileDurably(a, "two\r\n", ""), "a second write of the same new file fails");
    std::string bytes;
    Check(sys.files.ReadFileBytes(a, bytes) && bytes == "one\r\n", "read back");
    Check(sys.files.WriteNewFileDurably(b, "three", ""), "write b");
    Check(sys.files.ReplaceFileWith(b, a), "replace");
    Check(sys.files.ReadFileBytes(a, bytes) && bytes == "three" && !sys.files.PathExists(b), "replaced");
    Check(sys.files.RemoveFile(a) && !sys.files.PathExists(a), "remove");
    Check(!sys.files.ReadFileBytes(a, bytes), "read of a missing file fails");
    // What the temporary files of a save are named and judged by.
    Check(!sys.files.HostName().empty(), "computer name");
    Equal(Num(sys.files.FileAgeSeconds(a)), Num(-1), "age of a missing file");
    Check(sys.files.WriteNewFileDurably(a, "age\r\n", ""), "write for its age");
    Check(sys.files.FileAgeSeconds(a) >= 0, "a fresh file has an age");
    Check(sys.files.RemoveFile(a), "remove after the age");
    Check(sys.files.IsDirectoryWritable("."), "current directory writable");

    // Read-only attribute: the settings file must not be replaced then.
    const std::string ro = "bc_test_ro.tmp";
    SetFileAttributesA(ro.c_str(), FILE_ATTRIBUTE_NORMAL);
    sys.files.RemoveFile(ro);
    Check(!sys.files.IsFileWritable(ro), "a missing file is not writable");
    Check(sys.files.WriteNewFileDurably(ro, "ro\r\n", ""), "write the read-only candidate");
    Check(sys.files.IsFileWritable(ro), "a fresh file is writable");
    Check(SetFileAttributesA(ro.c_str(), FILE_ATTRIBUTE_READONLY) != 0, "set the read-only attribute");
    Check(!sys.files.IsFileWritable(ro), "a read-only file is not writable");
    Check(SetFileAttributesA(ro.c_str(), FILE_ATTRIBUTE_NORMAL) != 0, "clear the read-only attribute");
    Check(sys.files.IsFileWritable(ro), "writable again once the attribute is cleared");

    // Folders against files.
    const std::string dir = "bc_test_dir";
    RemoveDirectoryA(dir.c_str());
    Check(CreateDirectoryA(dir.c_str(), nullptr) != 0, "create a folder");
    Check(sys.files.IsDirectory(dir), "a folder is a directory");
    Check(sys.files.IsDirectory("."), "the current directory is a directory");
    Check(!sys.files.IsDirectory(ro), "a file is not a directory");
    Check(!sys.files.IsDirectory("bc_no_such_thing"), "a missing path is not a directory");
    Check(!sys.files.IsDirectory(""), "an empty path is not a directory");
    Check(sys.files.RemoveFile(ro) && RemoveDirectoryA(dir.c_str()) != 0, "clean up");
    Equal(Num(sys.facts.GetCurrentProcessId()), Num(::GetCurrentProcessId()), "process id");

    // Letter case by the ANSI code page's rules; the bytes below are
    // Windows-1252 (u and U with diaeresis), which the harness's locale gives.
    Equal(Num(GetACP()), Num(1252), "ANSI code page");
    Check(sys.facts.EqualsIgnoringCase("C:\\B\xFCro\\a.exe", "C:\\B\xDCRO\\A.EXE"), "u-umlaut path equals upper case");
    Check(sys.facts.EqualsIgnoringCase("\xE9t\xE9", "\xC9T\xC9"), "e-acute equals E-acute");
    Check(sys.facts.EqualsIgnoringCase("", ""), "empty texts are equal");
    Check(!sys.facts.EqualsIgnoringCase("abc", "abd"), "abc is not abd");
    Check(!sys.facts.EqualsIgnoringCase("abc", "ABCD"), "different lengths differ");
    Check(!sys.facts.EqualsIgnoringCase("abc", ""), "a text is not the empty text");
    Check(!sys.facts.EqualsIgnoringCase("B\xFCro", "BURO"), "u-umlaut is not plain U");
    Check(!sys.facts.EqualsIgnoringCase(std::string("a\0b", 3), std::string("a\0c", 3)), "bytes after a NUL count");
    {
        // The inputs are left as they are.
        const std::string lower = "b\xFCro";
        Check(sys.facts.EqualsIgnoringCase(lower, "B\xDCRO") && lower == "b\xFCro", "inputs unchanged");
    }

    // Clipboard as text.
    Check(sys.clipboard.ClipboardSetText("[Item]\r\nDesc=x\r\n"), "clipboard set");
    std::string clip;
    Check(sys.clipboard.ClipboardGetText(clip) && clip == "[Item]\r\nDesc=x\r\n", "clipboard get: " + clip);
    Check(sys.clipboard.ClipboardEmpty(), "clipboard empty");
    Check(sys.clipboard.ClipboardGetText(clip) && clip.empty(), "clipboard is empty");

    // Windows: texts cut at 259 bytes, children in order, dialog items.
    WNDCLASSA wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "BackendCheckWindow";
    RegisterClassA(&wc);
    const std::string longTitle(300, 'a');
    HWND top = CreateWindowExA(0, "BackendCheckWindow", longTitle.c_str(), WS_OVERLAPPEDWINDOW, 10, 20, 300, 200,
                               nullptr, nullptr, wc.hInstance, nullptr);
    HWND c1 = CreateWindowExA(0, "Static", "first", WS_CHILD | WS_VISIBLE, 0, 0, 50, 20, top,
                              reinterpret_cast<HMENU>(11), wc.hInstance, nullptr);
    HWND c2 = CreateWindowExA(0, "Button", "second", WS_CHILD | WS_VISIBLE, 0, 30, 50, 20, top,
                              reinterpret_cast<HMENU>(12), wc.hInstance, nullptr);
    const rw::WinHandle w = rw::FromHwnd(top);
    Equal(Num(static_cast<long long>(sys.windows.GetWindowText(w).size())), Num(259), "long title cut");
    Equal(sys.windows.GetClassName(w), std::string("BackendCheckWindow"), "class");
    Equal(sys.windows.GetWindowText(0), std::string(), "text of none");
    Check(sys.windows.IsWindowVisible(w) == 0, "hidden");
    ShowWindow(top, SW_SHOWNORMAL);
    Check(sys.windows.IsWindowVisible(w) == 1, "visible");
    rw::Rect r;
    Check(sys.windows.GetWindowRect(w, r) && r.right - r.left == 300 && r.bottom - r.top == 200, "rectangle");
    Check(sys.windows.GetFirstChild(w) == rw::FromHwnd(c1), "first child");
    Check(sys.windows.GetNextSibling(rw::FromHwnd(c1)) == rw::FromHwnd(c2), "next sibling");
    Check(sys.windows.GetDlgItem(w, 12) == rw::FromHwnd(c2), "dialog item");
    Check(sys.windows.GetDlgItem(w, 13) == 0, "no dialog item");
    Check(sys.windows.GetParent(rw::FromHwnd(c1)) == w, "parent");
    Check(rw::ToHwnd(rw::FromHwnd(HWND_TOPMOST)) == HWND_TOPMOST, "HWND_TOPMOST round trip");
    Check(sys.windows.WaitUntilAnswers(w, 1000), "a window of ours answers");
    Check(!sys.windows.WaitUntilAnswers(0, 1000), "no window, no answer");
    Check(sys.windows.GetWindowProcessId(w) == GetCurrentProcessId(), "process of the window");

    // Posted messages as the player sends them.
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
    sys.input.PostChar(w, std::string(1, static_cast<char>(0xE4)));  // a-umlaut in Latin-1
    Check(PeekMessageA(&m, top, WM_CHAR, WM_CHAR, PM_REMOVE) && m.wParam == 0xE4 && m.lParam == 0x00010001,
          "WM_CHAR " + Num(static_cast<long long>(m.wParam)));
    sys.windows.PostCommand(w, 6, rw::FromHwnd(c2));
    Check(PeekMessageA(&m, top, WM_COMMAND, WM_COMMAND, PM_REMOVE) && m.wParam == 6 &&
              m.lParam == reinterpret_cast<LPARAM>(c2),
          "WM_COMMAND");
    sys.windows.PostClose(w);
    Check(PeekMessageA(&m, top, WM_CLOSE, WM_CLOSE, PM_REMOVE) && m.wParam == 0 && m.lParam == 0, "WM_CLOSE");

    // Rights (user interface privilege isolation): only a target that runs
    // elevated refuses a Replywick that does not; a token that cannot be
    // read decides nothing (a refused post tells then).
    using rw::TokenAnswer;
    Check(rw::InputRefused(false, TokenAnswer::Elevated), "an elevated target refuses us");
    Check(!rw::InputRefused(true, TokenAnswer::Elevated), "elevated ourselves, we reach it");
    Check(!rw::InputRefused(false, TokenAnswer::NotElevated), "a target at our level");
    Check(!rw::InputRefused(false, TokenAnswer::AccessDenied), "an unreadable token decides nothing");
    Check(!rw::InputRefused(false, TokenAnswer::Unknown), "an unknown target is not refused");
    Check(rw::ProcessElevated(GetCurrentProcessId()).has_value(), "this process's elevation is known");
    Check(rw::ProcessElevated(GetCurrentProcessId()) == rw::SelfElevated(), "the same answer for ourselves");
    Check(!rw::ProcessElevated(0x7FFFFFF0u).has_value(), "a missing process: unknown");
    Check(sys.windows.InputReaches(w), "a window of our own is reached");
    Check(sys.windows.InputReaches(0), "no window: nothing known against it");

    // The focus inside a window of our own thread, then inside another
    // thread's, whose input state is borrowed only for the question.
    HWND edit = CreateWindowExA(0, "Edit", "", WS_CHILD | WS_VISIBLE, 0, 60, 80, 20, top,
                                reinterpret_cast<HMENU>(14), wc.hInstance, nullptr);
    SetFocus(edit);
    Check(sys.windows.FocusedControl(w) == rw::FromHwnd(edit), "focus inside a window of our thread");
    Check(sys.windows.FocusedControl(0) == 0, "no focus inside no window");
    {
        OtherThread other;
        DWORD otherId = 0;
        HANDLE thread = CreateThread(nullptr, 0, OtherThreadMain, &other, 0, &otherId);
        Check(thread && WaitForSingleObject(other.ready, 10000) == WAIT_OBJECT_0, "other thread ready");
        const rw::WinHandle ow = rw::FromHwnd(other.top);
        Check(sys.windows.FocusedControl(ow) == rw::FromHwnd(other.edit), "focus inside another thread's window");
        Check(GetFocus() != other.edit, "the other thread's input is not ours after the question");
        Check(sys.windows.WaitUntilAnswers(ow, 5000), "a thread that reads its messages answers");
        PostMessageA(other.top, WM_APP, 0, 0);
        Check(WaitForSingleObject(other.deaf, 10000) == WAIT_OBJECT_0, "other thread stopped reading");
        Check(!sys.windows.WaitUntilAnswers(ow, 200), "a thread that reads no messages does not answer");
        SetEvent(other.hear);
        Check(sys.windows.ForceForeground(w) && GetForegroundWindow() == top, "forced to the front");
        PostThreadMessageA(otherId, WM_QUIT, 0, 0);
        Check(thread && WaitForSingleObject(thread, 10000) == WAIT_OBJECT_0, "other thread ended");
        Check(sys.windows.FocusedControl(ow) == 0, "no focus inside a window that is gone");
        if (thread) CloseHandle(thread);
        for (HANDLE h : {other.ready, other.deaf, other.hear}) CloseHandle(h);
    }
    DestroyWindow(top);

    // The window texts turn from UTF-8 into the ANSI code page (1252 here).
    Equal(rw::win32ui::Utf8ToAnsi("Gr\xC3\xB6\xC3\x9F" "e:"), std::string("Gr\xF6\xDF" "e:"), "Groesse");
    Equal(rw::win32ui::ToAnsi(rw::ItemListTextsFor(false)).add, std::string("&Hinzuf\xFCgen..."), "Hinzufuegen");
    Equal(rw::win32ui::ToAnsi(rw::ItemListTextsFor(false)).cutTip, std::string(" Ausschneiden "), "Ausschneiden");
    Equal(rw::win32ui::ToAnsi(rw::ItemEditorTextsFor(false)).delay, std::string("&Verz\xF6gerung:"), "delay");
    Equal(rw::win32ui::Utf8ToAnsi("B\xFCro"), std::string("B\xFCro"), "bytes that are not UTF-8 stay");
    Equal(rw::win32ui::Utf8ToAnsi(""), std::string(), "empty");

    std::printf("%s (%d failed)\n", gFailures == 0 ? "PASS" : "FAIL", gFailures);
    return gFailures == 0 ? 0 : 1;
}
