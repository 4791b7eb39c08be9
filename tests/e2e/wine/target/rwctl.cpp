// Test helper: talks to a running replywick.exe the way the shell, another
// program or the user's clicks would. Prints what it found; the exit code is
// 0 on success.
//   rwctl wait-main MS          wait until the main window exists
//   rwctl wait-gone MS          wait until it is gone
//   rwctl close                 post WM_CLOSE to the main window
//   rwctl endsession            send WM_QUERYENDSESSION and WM_ENDSESSION
//   rwctl shellhook CODE TITLE  post the "SHELLHOOK" message about a window
//   rwctl notify TITLE          external notification to the child window
//   rwctl icon MSG              the icon callback with a mouse message
//   rwctl find TITLE            print the handle of a window
//   rwctl trayremove            remove Replywick's icon, as a shell that lost it
//   rwctl taskbarcreated        post "TaskbarCreated", as a restarted shell
//   rwctl hold FILE MS          keep FILE open without sharing for MS ms
//                               (prints "held" once it has it)
//   rwctl children TITLE [ID]   the visible window with that title ("hex:"
//                               and the title's ANSI bytes in hex, for
//                               titles beyond ASCII) (and a
//                               child with that id) and its controls: one
//                               line each, texts as hex bytes of the ANSI
//                               code page (see PrintChildren)
//   rwctl limited CMDLINE       run a program with the limited token of the
//                               current user (not elevated); its exit code
//   rwctl manifest EXE          print the application manifest of EXE
//   rwctl getclip               the clipboard's text as hex bytes
//   rwctl setclip HEX           put text (hex bytes) on the clipboard
//   rwctl langid                system language id and ANSI code page
//   rwctl elevated              whether this process runs elevated
//   rwctl cursor                the pointer's shape: arrow, wait, hand,
//                               cross or other, and its handle
//   rwctl tooltip               the tooltip shown now: its rectangle and
//                               its text as hex bytes
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

HWND Main() { return FindWindowA(nullptr, "Replywick MainForm"); }

bool WaitFor(bool present, int ms) {
    for (int t = 0; t <= ms; t += 20) {
        if ((Main() != nullptr) == present) return true;
        Sleep(20);
    }
    return false;
}

HWND ByTitle(const char* title, int ms = 5000) {
    for (int t = 0; t <= ms; t += 20) {
        if (HWND h = FindWindowA(nullptr, title)) return h;
        Sleep(20);
    }
    return nullptr;
}

std::string Hex(const std::string& s) {
    std::string out;
    char b[4];
    for (unsigned char c : s) {
        std::snprintf(b, sizeof b, "%02X", c);
        out += b;
    }
    return out.empty() ? "-" : out;
}

std::string FromHex(const char* hex) {
    std::string out;
    for (const char* p = hex; p[0] && p[1]; p += 2) {
        const char pair[3] = {p[0], p[1], 0};
        out += static_cast<char>(std::strtoul(pair, nullptr, 16));
    }
    return out;
}

std::string TextOf(HWND w) {
    char buf[1024] = {};
    const int n = GetWindowTextA(w, buf, sizeof buf);
    return std::string(buf, n > 0 ? static_cast<std::size_t>(n) : 0);
}

std::string ClassOf(HWND w) {
    char buf[256] = {};
    GetClassNameA(w, buf, sizeof buf);
    return buf;
}

// Text another process's control holds, asked through a message: Wine
// converts the cross-process answers of the wide messages reliably, so they
// are asked wide and turned into the ANSI code page here.
std::string Ansi(const std::wstring& w) {
    if (w.empty()) return {};
    const int n = WideCharToMultiByte(CP_ACP, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    WideCharToMultiByte(CP_ACP, 0, w.data(), static_cast<int>(w.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::string Asked(HWND c, UINT lenMsg, UINT textMsg, WPARAM index) {
    const LRESULT len = SendMessageW(c, lenMsg, index, 0);
    if (len <= 0) return {};
    std::wstring buf(static_cast<std::size_t>(len) + 1, L'\0');
    const LRESULT got = textMsg == WM_GETTEXT
                            ? SendMessageW(c, textMsg, static_cast<WPARAM>(len + 1), reinterpret_cast<LPARAM>(buf.data()))
                            : SendMessageW(c, textMsg, index, reinterpret_cast<LPARAM>(buf.data()));
    buf.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return Ansi(buf);
}

struct Search {
    const char* title;
    int id;
    HWND found;
};

BOOL CALLBACK FindTop(HWND w, LPARAM l) {
    auto* s = reinterpret_cast<Search*>(l);
    if (!IsWindowVisible(w) || TextOf(w) != s->title) return TRUE;
    if (s->id >= 0 && !GetDlgItem(w, s->id)) return TRUE;
    s->found = w;
    return FALSE;
}

// window HWND X Y W H CLIENTX CLIENTY CLIENTW CLIENTH TOPMOST ENABLED FOREGROUND CLASS HEXTITLE
// child ID CLASS X Y W H VISIBLE ENABLED STYLE FOCUSED HEXTEXT IMAGE
//   (IMAGE: the handle of a button's icon or a static's bitmap, 0 for none)
// row ID INDEX X Y W H SELECTED CARET HEXTEXT     (list boxes; rows in view)
// item ID INDEX HEXTEXT                          (combo boxes, list boxes)
// combo ID CURSEL
// content ID HEXTEXT                             (edit controls: what they hold)
// extent ID W H                                  (labels, buttons, frames: the
//                                                 text's size in the control's font)

// The size a control's one-line text takes in the control's own font (asked
// with WM_GETFONT; when that handle means nothing in this process, the
// dialog font at the window's dpi). An access key's "&" takes no room
// unless the control shows it.
void PrintExtent(HWND c, int id, const std::string& cls) {
    const std::string text = TextOf(c);
    if (text.empty() || (lstrcmpiA(cls.c_str(), "Static") && lstrcmpiA(cls.c_str(), "Button"))) return;
    const LONG style = GetWindowLongA(c, GWL_STYLE);
    if (!lstrcmpiA(cls.c_str(), "Static") && (style & SS_TYPEMASK) > SS_RIGHT && (style & SS_TYPEMASK) != SS_LEFTNOWORDWRAP)
        return;
    HDC dc = CreateCompatibleDC(nullptr);
    auto font = reinterpret_cast<HFONT>(SendMessageA(c, WM_GETFONT, 0, 0));
    LOGFONTA lf{};
    HFONT own = nullptr;
    if (!font || !GetObjectA(font, sizeof lf, &lf)) {
        const UINT dpi = GetDpiForWindow(c);
        lf = LOGFONTA{};
        lf.lfHeight = -MulDiv(8, dpi ? static_cast<int>(dpi) : 96, 72);
        lf.lfWeight = FW_NORMAL;
        lf.lfCharSet = DEFAULT_CHARSET;
        lstrcpyA(lf.lfFaceName, "MS Shell Dlg");
    }
    own = CreateFontIndirectA(&lf);
    HGDIOBJ old = SelectObject(dc, own);
    RECT r{0, 0, 0, 0};
    UINT flags = DT_CALCRECT | DT_SINGLELINE;
    if (!lstrcmpiA(cls.c_str(), "Static") && (style & SS_NOPREFIX)) flags |= DT_NOPREFIX;
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &r, flags);
    SelectObject(dc, old);
    DeleteObject(own);
    DeleteDC(dc);
    std::printf("extent %d %ld %ld\n", id, r.right - r.left, r.bottom - r.top);
}

BOOL CALLBACK PrintChild(HWND c, LPARAM) {
    RECT r{};
    GetWindowRect(c, &r);
    const int id = GetDlgCtrlID(c);
    const std::string cls = ClassOf(c);
    LRESULT image = 0;
    if (!lstrcmpiA(cls.c_str(), "Button")) image = SendMessageA(c, BM_GETIMAGE, IMAGE_ICON, 0);
    if (!lstrcmpiA(cls.c_str(), "Static")) image = SendMessageA(c, STM_GETIMAGE, IMAGE_BITMAP, 0);
    std::printf("child %d %s %ld %ld %ld %ld %d %d %08lX %d %s %llu\n", id, cls.c_str(), r.left, r.top,
                r.right - r.left, r.bottom - r.top, IsWindowVisible(c) ? 1 : 0, IsWindowEnabled(c) ? 1 : 0,
                static_cast<unsigned long>(GetWindowLongA(c, GWL_STYLE)), GetFocus() == c ? 1 : 0,
                Hex(TextOf(c)).c_str(), static_cast<unsigned long long>(image));
    PrintExtent(c, id, cls);
    if (!lstrcmpiA(cls.c_str(), "Edit")) std::printf("content %d %s\n", id, Hex(Asked(c, WM_GETTEXTLENGTH, WM_GETTEXT, 0)).c_str());
    if (!lstrcmpiA(cls.c_str(), "ListBox")) {
        const auto n = static_cast<int>(SendMessageA(c, LB_GETCOUNT, 0, 0));
        const auto top = static_cast<int>(SendMessageA(c, LB_GETTOPINDEX, 0, 0));
        const auto h = static_cast<int>(SendMessageA(c, LB_GETITEMHEIGHT, 0, 0));
        const auto caret = static_cast<int>(SendMessageA(c, LB_GETCARETINDEX, 0, 0));
        RECT client{};
        GetClientRect(c, &client);
        POINT origin{0, 0};
        ClientToScreen(c, &origin);
        for (int i = 0; i < n; ++i) {
            const std::string text = Asked(c, LB_GETTEXTLEN, LB_GETTEXT, static_cast<WPARAM>(i));
            const int y = (i - top) * h;
            if (i >= top && y + h <= client.bottom)
                std::printf("row %d %d %ld %ld %ld %d %d %d %s\n", id, i, origin.x, origin.y + y, client.right, h,
                            SendMessageA(c, LB_GETSEL, static_cast<WPARAM>(i), 0) > 0 ? 1 : 0, caret == i ? 1 : 0,
                            Hex(text).c_str());
            else
                std::printf("item %d %d %s\n", id, i, Hex(text).c_str());
        }
    } else if (!lstrcmpiA(cls.c_str(), "ComboBox")) {
        const auto n = static_cast<int>(SendMessageA(c, CB_GETCOUNT, 0, 0));
        for (int i = 0; i < n; ++i)
            std::printf("item %d %d %s\n", id, i, Hex(Asked(c, CB_GETLBTEXTLEN, CB_GETLBTEXT, static_cast<WPARAM>(i))).c_str());
        std::printf("combo %d %d\n", id, static_cast<int>(SendMessageA(c, CB_GETCURSEL, 0, 0)));
    }
    return TRUE;
}

int PrintChildren(const char* title, int id) {
    const std::string wanted = std::strncmp(title, "hex:", 4) ? std::string(title) : FromHex(title + 4);
    Search s{wanted.c_str(), id, nullptr};
    EnumWindows(FindTop, reinterpret_cast<LPARAM>(&s));
    if (!s.found) {
        std::puts("no such window");
        return 1;
    }
    HWND w = s.found;
    RECT r{}, c{};
    GetWindowRect(w, &r);
    GetClientRect(w, &c);
    POINT origin{0, 0};
    ClientToScreen(w, &origin);
    // The focus of another thread is visible while its input is shared.
    const DWORD thread = GetWindowThreadProcessId(w, nullptr);
    AttachThreadInput(GetCurrentThreadId(), thread, TRUE);
    std::printf("window %lu %ld %ld %ld %ld %ld %ld %ld %ld %d %d %d %s %s\n",
                static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(w)), r.left, r.top, r.right - r.left,
                r.bottom - r.top, origin.x, origin.y, c.right, c.bottom,
                (GetWindowLongA(w, GWL_EXSTYLE) & WS_EX_TOPMOST) ? 1 : 0, IsWindowEnabled(w) ? 1 : 0,
                GetForegroundWindow() == w ? 1 : 0, ClassOf(w).c_str(), Hex(TextOf(w)).c_str());
    EnumChildWindows(w, PrintChild, 0);
    AttachThreadInput(GetCurrentThreadId(), thread, FALSE);
    return 0;
}

// Runs a command line with the limited (not elevated) token linked to ours.
int RunLimited(const char* cmdline) {
    HANDLE own = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ALL_ACCESS, &own)) return 90;
    TOKEN_LINKED_TOKEN linked{};
    DWORD size = 0;
    HANDLE token = nullptr;
    if (GetTokenInformation(own, TokenLinkedToken, &linked, sizeof linked, &size)) {
        if (!DuplicateTokenEx(linked.LinkedToken, TOKEN_ALL_ACCESS, nullptr, SecurityImpersonation, TokenPrimary,
                              &token))
            return 91;
    } else {
        return 92;
    }
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::string line = cmdline;
    if (!CreateProcessAsUserA(token, nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return 93;
    std::printf("pid %lu\n", pi.dwProcessId);
    std::fflush(stdout);
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    return static_cast<int>(code);
}

bool SelfElevated() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    TOKEN_ELEVATION e{};
    DWORD size = 0;
    const BOOL ok = GetTokenInformation(token, TokenElevation, &e, sizeof e, &size);
    CloseHandle(token);
    return ok && e.TokenIsElevated;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const char* cmd = argv[1];
    if (!std::strcmp(cmd, "wait-main")) return WaitFor(true, argc > 2 ? std::atoi(argv[2]) : 10000) ? 0 : 1;
    if (!std::strcmp(cmd, "wait-gone")) return WaitFor(false, argc > 2 ? std::atoi(argv[2]) : 10000) ? 0 : 1;
    if (!std::strcmp(cmd, "hold") && argc > 3) {
        // Another program busy with the file: nobody else can open it.
        HANDLE f = CreateFileA(argv[2], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (f == INVALID_HANDLE_VALUE) {
            std::printf("cannot open %lu\n", GetLastError());
            return 1;
        }
        std::puts("held");
        std::fflush(stdout);
        Sleep(static_cast<DWORD>(std::atoi(argv[3])));
        CloseHandle(f);
        std::puts("released");
        return 0;
    }
    if (!std::strcmp(cmd, "children") && argc > 2) return PrintChildren(argv[2], argc > 3 ? std::atoi(argv[3]) : -1);
    if (!std::strcmp(cmd, "limited") && argc > 2) return RunLimited(argv[2]);
    if (!std::strcmp(cmd, "elevated")) {
        std::puts(SelfElevated() ? "elevated" : "limited");
        return 0;
    }
    if (!std::strcmp(cmd, "cursor")) {
        CURSORINFO ci{};
        ci.cbSize = sizeof ci;
        if (!GetCursorInfo(&ci)) return 1;
        const struct {
            LPCSTR id;
            const char* name;
        } known[] = {{IDC_ARROW, "arrow"}, {IDC_WAIT, "wait"}, {IDC_HAND, "hand"}, {IDC_CROSS, "cross"},
                     {IDC_IBEAM, "ibeam"}};
        const char* name = "other";
        for (const auto& k : known)
            if (ci.hCursor == LoadCursorA(nullptr, k.id)) name = k.name;
        std::printf("%s %llu\n", name, static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(ci.hCursor)));
        return 0;
    }
    if (!std::strcmp(cmd, "tooltip")) {
        HWND tip = nullptr;
        while ((tip = FindWindowExA(nullptr, tip, "tooltips_class32", nullptr)) != nullptr) {
            if (!IsWindowVisible(tip)) continue;
            RECT r{};
            GetWindowRect(tip, &r);
            // The tip's text is its window text while it shows.
            const std::string text = Asked(tip, WM_GETTEXTLENGTH, WM_GETTEXT, 0);
            std::printf("%ld %ld %ld %ld %s\n", r.left, r.top, r.right - r.left, r.bottom - r.top, Hex(text).c_str());
            return 0;
        }
        std::puts("none");
        return 1;
    }
    if (!std::strcmp(cmd, "langid")) {
        std::printf("%04X %u\n", GetSystemDefaultLangID(), GetACP());
        return 0;
    }
    if (!std::strcmp(cmd, "manifest") && argc > 2) {
        HMODULE m = LoadLibraryExA(argv[2], nullptr, LOAD_LIBRARY_AS_DATAFILE);
        if (!m) return 1;
        HRSRC r = FindResourceA(m, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
        if (!r) return 1;
        const DWORD n = SizeofResource(m, r);
        const char* data = static_cast<const char*>(LockResource(LoadResource(m, r)));
        if (!data) return 1;
        std::fwrite(data, 1, n, stdout);
        return 0;
    }
    if (!std::strcmp(cmd, "getclip")) {
        if (!OpenClipboard(nullptr)) return 1;
        std::string text;
        if (HANDLE h = GetClipboardData(CF_TEXT)) {
            if (const char* p = static_cast<const char*>(GlobalLock(h))) {
                text = p;
                GlobalUnlock(h);
            }
        }
        CloseClipboard();
        std::printf("%s\n", Hex(text).c_str());
        return 0;
    }
    if (!std::strcmp(cmd, "setclip") && argc > 2) {
        const std::string text = std::strcmp(argv[2], "-") ? FromHex(argv[2]) : std::string();
        HWND owner = CreateWindowExA(0, "Static", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        if (!OpenClipboard(owner)) return 1;
        EmptyClipboard();
        HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
        std::memcpy(GlobalLock(mem), text.c_str(), text.size() + 1);
        GlobalUnlock(mem);
        const bool ok = SetClipboardData(CF_TEXT, mem) != nullptr;
        CloseClipboard();
        return ok ? 0 : 1;
    }
    HWND main = Main();
    if (!main) {
        std::puts("no main window");
        return 1;
    }
    if (!std::strcmp(cmd, "close")) return PostMessageA(main, WM_CLOSE, 0, 0) ? 0 : 1;
    if (!std::strcmp(cmd, "endsession")) {
        DWORD_PTR r = 0;
        SendMessageTimeoutA(main, WM_QUERYENDSESSION, 0, 0, SMTO_BLOCK, 5000, &r);
        std::printf("queryendsession %lu\n", static_cast<unsigned long>(r));
        SendMessageTimeoutA(main, WM_ENDSESSION, TRUE, 0, SMTO_BLOCK, 5000, &r);
        return 0;
    }
    if (!std::strcmp(cmd, "icon") && argc > 2) {
        return PostMessageA(main, WM_MOUSEMOVE, 0, std::strtol(argv[2], nullptr, 0)) ? 0 : 1;
    }
    if (!std::strcmp(cmd, "shellhook") && argc > 3) {
        HWND w = ByTitle(argv[3]);
        if (!w) return 1;
        UINT msg = RegisterWindowMessageA("SHELLHOOK");
        return PostMessageA(main, msg, std::strtoul(argv[2], nullptr, 0), reinterpret_cast<LPARAM>(w)) ? 0 : 1;
    }
    if (!std::strcmp(cmd, "notify") && argc > 2) {
        HWND w = ByTitle(argv[2]);
        HWND hook = GetWindow(main, GW_CHILD);
        if (!w || !hook) return 1;
        const auto h = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(w));
        return PostMessageA(hook, WM_MOUSEMOVE, 0, MAKELPARAM(LOWORD(h), HIWORD(h))) ? 0 : 1;
    }
    if (!std::strcmp(cmd, "trayremove")) {
        NOTIFYICONDATAA nid{};
        nid.cbSize = NOTIFYICONDATAA_V1_SIZE;
        nid.hWnd = main;
        nid.uID = 1;
        return Shell_NotifyIconA(NIM_DELETE, &nid) ? 0 : 1;
    }
    if (!std::strcmp(cmd, "taskbarcreated")) {
        return PostMessageA(main, RegisterWindowMessageA("TaskbarCreated"), 0, 0) ? 0 : 1;
    }
    if (!std::strcmp(cmd, "find") && argc > 2) {
        HWND w = ByTitle(argv[2], 0);
        std::printf("%lu\n", static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(w)));
        return w ? 0 : 1;
    }
    return 2;
}
