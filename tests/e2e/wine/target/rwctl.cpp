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
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

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
