// Test target for the end-to-end suite: shows dialogs with a known child
// layout (icon Static, message Static, an edit, buttons 1, 2, 6, 7) and logs
// everything it receives, one line per event:
//   <ms> <EVENT> <window> <args>     window: D<n> for dialog n, W for the witness
// (HELD D<n> names the modifier keys held down as dialog n goes.)
// Arguments (name=value): log= title= text= size=WxH count= gap= autoclose=
//   timeout= witness=1 linger= keep=1 jitter= announce=1 hang=
// hang=MS: the thread sleeps MS once each dialog is shown, answering no
// message meanwhile (a program that hangs).
// announce=1: each shown dialog is announced to Replywick the way a shell
// does it (the "SHELLHOOK" message, window activated).
#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

namespace {

FILE* gLog = nullptr;
LARGE_INTEGER gFreq, gStart;

double NowMs() {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart - gStart.QuadPart) * 1000.0 / static_cast<double>(gFreq.QuadPart);
}

void Log(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
void Log(const char* fmt, ...) {
    if (!gLog) return;
    std::fprintf(gLog, "%.1f ", NowMs());
    va_list ap;
    va_start(ap, fmt);
    std::vfprintf(gLog, fmt, ap);
    va_end(ap);
    std::fputc('\n', gLog);
    std::fflush(gLog);
}

struct Options {
    std::string log, title = "Target", text = "Target message", witnessTitle = "Witness";
    int width = 0, height = 0, count = 1, gap = 300, jitter = 0, autoclose = 0, timeout = 10000, linger = 0;
    int hang = 0;
    bool witness = false, keep = false, announce = false;
};

Options gOpt;
HWND gDialog = nullptr, gWitness = nullptr;
int gIndex = 0;
bool gDone = false;       // the current dialog has gone
bool gAnswered = false;   // the current dialog received something
double gShownAt = 0;
const char* gReason = "";

constexpr UINT_PTR kAutoCloseTimer = 1, kTimeoutTimer = 2;

std::string Tag(HWND h) {
    if (gDialog && (h == gDialog || IsChild(gDialog, h))) return "D" + std::to_string(gIndex);
    if (gWitness && (h == gWitness || IsChild(gWitness, h))) return "W";
    return "?";
}

void FirstMessage(HWND h) {
    if (gDialog && (h == gDialog || IsChild(gDialog, h)) && !gAnswered) {
        gAnswered = true;
        Log("FIRST D%d %.1f", gIndex, NowMs() - gShownAt);
    }
}

// The modifiers the system holds down as the dialog goes ("none" or e.g.
// "CTRL SHIFT"): a macro must not leave one pressed behind it.
void LogHeldModifiers() {
    std::string held;
    const std::pair<int, const char*> keys[] = {{VK_CONTROL, "CTRL"}, {VK_SHIFT, "SHIFT"}, {VK_MENU, "ALT"},
                                                {VK_LWIN, "WINKEY"}};
    for (const auto& [vk, name] : keys) {
        if (GetAsyncKeyState(vk) < 0) held += held.empty() ? name : std::string(" ") + name;
    }
    Log("HELD D%d %s", gIndex, held.empty() ? "none" : held.c_str());
}

void EndDialogWindow(const char* reason) {
    if (!gDialog) return;
    gReason = reason;
    HWND d = gDialog;
    LogHeldModifiers();
    Log("GONE D%d %s", gIndex, reason);
    gDialog = nullptr;
    DestroyWindow(d);
    gDone = true;
}

INT_PTR CALLBACK DialogProc(HWND h, UINT msg, WPARAM wParam, LPARAM) {
    switch (msg) {
        case WM_INITDIALOG:
            return TRUE;
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            if (HIWORD(wParam) != BN_CLICKED || id < 1 || id > 7) return FALSE;
            FirstMessage(h);
            Log("COMMAND %s %d", Tag(h).c_str(), id);
            if (!gOpt.keep) EndDialogWindow("answered");
            return TRUE;
        }
        case WM_CLOSE:
            FirstMessage(h);
            Log("CLOSE %s", Tag(h).c_str());
            EndDialogWindow("closed");
            return TRUE;
        case WM_SIZE:
            if (wParam == SIZE_MINIMIZED) {
                FirstMessage(h);
                Log("MINIMIZED %s", Tag(h).c_str());
            } else if (wParam == SIZE_MAXIMIZED) {
                FirstMessage(h);
                Log("MAXIMIZED %s", Tag(h).c_str());
            }
            return FALSE;
        case WM_TIMER:
            if (wParam == kAutoCloseTimer) EndDialogWindow("autoclose");
            if (wParam == kTimeoutTimer) EndDialogWindow("timeout");
            return TRUE;
        default:
            return FALSE;
    }
}

LRESULT CALLBACK WitnessProc(HWND h, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_CREATE) {
        CreateWindowExA(WS_EX_CLIENTEDGE, "Edit", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 10, 10, 300, 24, h,
                        reinterpret_cast<HMENU>(200), nullptr, nullptr);
        return 0;
    }
    if (msg == WM_SETFOCUS) {
        SetFocus(GetDlgItem(h, 200));
        return 0;
    }
    if (msg == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) Log("COMMAND W %d", LOWORD(wParam));
    if (msg == WM_CLOSE) {
        Log("CLOSE W");
        return 0;  // the witness stays
    }
    return DefWindowProcA(h, msg, wParam, lParam);
}

bool Pump(double untilMs, bool stopWhenDone) {
    MSG m;
    for (;;) {
        if (stopWhenDone && gDone) return true;
        const double now = NowMs();
        if (untilMs >= 0 && now >= untilMs) return false;
        DWORD wait = untilMs >= 0 ? static_cast<DWORD>(untilMs - now) + 1 : INFINITE;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, wait, QS_ALLINPUT);
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            if (m.message == WM_QUIT) return false;
            switch (m.message) {
                case WM_CHAR:
                case WM_SYSCHAR:
                    FirstMessage(m.hwnd);
                    Log("CHAR %s %u", Tag(m.hwnd).c_str(), static_cast<unsigned>(m.wParam));
                    break;
                case WM_KEYDOWN:
                case WM_SYSKEYDOWN:
                    FirstMessage(m.hwnd);
                    Log("KEYDOWN %s %02X", Tag(m.hwnd).c_str(), static_cast<unsigned>(m.wParam));
                    break;
                case WM_KEYUP:
                case WM_SYSKEYUP:
                    Log("KEYUP %s %02X", Tag(m.hwnd).c_str(), static_cast<unsigned>(m.wParam));
                    break;
                default:
                    break;
            }
            if (gDialog && IsDialogMessageA(gDialog, &m)) continue;
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
    }
}

void ParseArgs() {
    for (int i = 1; i < __argc; ++i) {
        std::string a = __argv[i];
        const auto eq = a.find('=');
        if (eq == std::string::npos) continue;
        const std::string k = a.substr(0, eq), v = a.substr(eq + 1);
        if (k == "log") gOpt.log = v;
        else if (k == "title") gOpt.title = v;
        else if (k == "text") gOpt.text = v;
        else if (k == "size") std::sscanf(v.c_str(), "%dx%d", &gOpt.width, &gOpt.height);
        else if (k == "count") gOpt.count = std::atoi(v.c_str());
        else if (k == "gap") gOpt.gap = std::atoi(v.c_str());
        else if (k == "jitter") gOpt.jitter = std::atoi(v.c_str());
        else if (k == "autoclose") gOpt.autoclose = std::atoi(v.c_str());
        else if (k == "timeout") gOpt.timeout = std::atoi(v.c_str());
        else if (k == "linger") gOpt.linger = std::atoi(v.c_str());
        else if (k == "witness") gOpt.witness = v == "1";
        else if (k == "witnesstitle") gOpt.witnessTitle = v;
        else if (k == "keep") gOpt.keep = v == "1";
        else if (k == "announce") gOpt.announce = v == "1";
        else if (k == "hang") gOpt.hang = std::atoi(v.c_str());
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    QueryPerformanceFrequency(&gFreq);
    QueryPerformanceCounter(&gStart);
    ParseArgs();
    std::srand(static_cast<unsigned>(gStart.QuadPart));
    if (!gOpt.log.empty()) gLog = std::fopen(gOpt.log.c_str(), "a");
    Log("START pid=%lu", GetCurrentProcessId());

    if (gOpt.witness) {
        WNDCLASSA wc{};
        wc.lpfnWndProc = WitnessProc;
        wc.hInstance = instance;
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.lpszClassName = "RwWitness";
        RegisterClassA(&wc);
        gWitness = CreateWindowExA(0, "RwWitness", gOpt.witnessTitle.c_str(), WS_OVERLAPPEDWINDOW, 50, 50, 400,
                                   200, nullptr, nullptr, instance, nullptr);
        ShowWindow(gWitness, SW_SHOW);
        SetForegroundWindow(gWitness);
        Pump(NowMs() + 300, false);
        Log("WITNESS %lu", static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(gWitness)));
    }

    for (gIndex = 1; gIndex <= gOpt.count; ++gIndex) {
        gDone = false;
        gAnswered = false;
        gDialog = CreateDialogParamA(instance, MAKEINTRESOURCEA(100), nullptr, DialogProc, 0);
        if (!gDialog) {
            Log("ERROR CreateDialog %lu", GetLastError());
            break;
        }
        SetWindowTextA(gDialog, gOpt.title.c_str());
        SetDlgItemTextA(gDialog, 101, gOpt.text.c_str());
        if (gOpt.width > 0 && gOpt.height > 0)
            SetWindowPos(gDialog, nullptr, 200, 150, gOpt.width, gOpt.height, SWP_NOZORDER);
        ShowWindow(gDialog, SW_SHOW);
        SetForegroundWindow(gDialog);
        SetFocus(GetDlgItem(gDialog, 100));
        gShownAt = NowMs();
        RECT r{};
        GetWindowRect(gDialog, &r);
        Log("SHOWN D%d %lu %ldx%ld", gIndex, static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(gDialog)),
            r.right - r.left, r.bottom - r.top);
        if (gOpt.announce) {
            if (HWND rw = FindWindowA(nullptr, "Replywick MainForm"))
                PostMessageA(rw, RegisterWindowMessageA("SHELLHOOK"), HSHELL_WINDOWACTIVATED,
                             reinterpret_cast<LPARAM>(gDialog));
        }
        if (gOpt.hang > 0) {
            Log("HANG D%d %d", gIndex, gOpt.hang);
            Sleep(static_cast<DWORD>(gOpt.hang));
            Log("AWAKE D%d", gIndex);
        }
        if (gOpt.autoclose > 0) SetTimer(gDialog, kAutoCloseTimer, static_cast<UINT>(gOpt.autoclose), nullptr);
        if (gOpt.timeout > 0) SetTimer(gDialog, kTimeoutTimer, static_cast<UINT>(gOpt.timeout), nullptr);
        Pump(-1, true);
        // A random part in the gap keeps the dialogs from locking onto the
        // phase of a polling timer.
        const int extra = gOpt.jitter > 0 ? std::rand() % gOpt.jitter : 0;
        if (gIndex < gOpt.count) Pump(NowMs() + gOpt.gap + extra, false);
    }
    if (gOpt.linger > 0) Pump(NowMs() + gOpt.linger, false);
    Log("END");
    if (gLog) std::fclose(gLog);
    return 0;
}
