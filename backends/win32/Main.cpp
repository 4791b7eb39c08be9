// replywick.exe: start-up, the hidden main window frmMain with its child
// picCBTHook, the notification-area icon and its menu, and the settings
// windows the menu opens.
#include "backends/win32/Win32Api.h"
#include <commctrl.h>
#include <shellapi.h>

#include <cstring>
#include <string>

#include "actions/KeyTable.h"
#include "actions/WinServices.h"
#include "app/Startup.h"
#include "app/Watcher.h"
#include "backends/win32/Win32Handle.h"
#include "backends/win32/Win32Platform.h"
#include "backends/win32/ui/AboutDialog.h"
#include "backends/win32/ui/AnsiText.h"
#include "backends/win32/ui/ItemEditorDialog.h"
#include "backends/win32/ui/ItemListDialog.h"
#include "items/Items.h"
#include "resources/ResourceIds.h"
#include "ui/SettingsServices.h"
#include "ui/WindowFacts.h"

namespace rw {
namespace {

constexpr const char* kMainClass = "ReplywickMainForm";
constexpr const char* kHookClass = "ReplywickCBTHook";
constexpr const char* kMainCaption = "Replywick MainForm";
// One instance per desktop session.
constexpr const char* kInstanceMutex = "Local\\Replywick.SingleInstance";

constexpr UINT_PTR kPollTimerId = 1;  // timPollingX
constexpr UINT kPollIntervalMs = 500;
constexpr UINT kTrayIconId = 1;

enum MenuId : UINT { kMnuAbout = 1, kMnuSettings, kMnuActive, kMnuClose };

using win32ui::Utf8ToAnsi;

class MainForm;
MainForm* gForm = nullptr;

// The older shell-notification registration (systems before version 5),
// exported by shell32 by ordinal only.
using RegisterShellHookFn = BOOL(WINAPI*)(HWND, DWORD);

RegisterShellHookFn OldShellHookRegistration() {
    HMODULE shell = GetModuleHandleA("shell32.dll");
    if (!shell) shell = LoadLibraryA("shell32.dll");
    if (!shell) return nullptr;
    return reinterpret_cast<RegisterShellHookFn>(
        reinterpret_cast<void*>(GetProcAddress(shell, MAKEINTRESOURCEA(181))));
}

class MainForm : public WatcherHost {
public:
    explicit MainForm(HINSTANCE instance) : instance_(instance), watcher_(*this) {}

    bool Create() {
        imgOKonIcon_ = static_cast<HICON>(
            LoadImageA(instance_, MAKEINTRESOURCEA(IDI_OKON), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
        imgOKoffIcon_ = static_cast<HICON>(
            LoadImageA(instance_, MAKEINTRESOURCEA(IDI_OKOFF), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
        HICON bigIcon = LoadIconA(instance_, MAKEINTRESOURCEA(IDI_OKON));

        WNDCLASSA wc{};
        wc.lpfnWndProc = FormProc;
        wc.hInstance = instance_;
        wc.hIcon = bigIcon;
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.lpszClassName = kMainClass;
        if (!RegisterClassA(&wc)) return false;

        WNDCLASSA hc{};
        hc.lpfnWndProc = HookProc;
        hc.hInstance = instance_;
        hc.lpszClassName = kHookClass;
        if (!RegisterClassA(&hc)) return false;

        // Never shown; a real top-level window (not message-only) so that it
        // receives the shell's broadcasts and can be found by its caption.
        hwnd_ = CreateWindowExA(0, kMainClass, kMainCaption, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                200, 100, nullptr, nullptr, instance_, nullptr);
        if (!hwnd_) return false;
        picCBTHook_ = CreateWindowExA(0, kHookClass, "", WS_CHILD, 0, 0, 16, 16, hwnd_, nullptr, instance_,
                                      nullptr);
        gMainWindow = FromHwnd(hwnd_);
        SendMessageA(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(imgOKonIcon_));
        SendMessageA(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon));

        BuildMenu();
        taskbarCreatedMsg_ = RegisterWindowMessageA("TaskbarCreated");
        Hook();
        // Icon, items from the settings file, the polling timer, and the
        // window in the foreground now.
        watcher_.Create();
        return true;
    }

    // ---- WatcherHost ----------------------------------------------------
    void TrayIconAdd(Icon icon, const std::string& tip) override {
        nid_.cbSize = NOTIFYICONDATAA_V1_SIZE;
        nid_.hWnd = hwnd_;
        nid_.uID = kTrayIconId;
        SetTip(tip);
        nid_.hIcon = IconHandle(icon);
        nid_.uCallbackMessage = WM_MOUSEMOVE;
        nid_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
        Shell_NotifyIconA(NIM_ADD, &nid_);
    }

    void TrayIconModify(Icon icon, const std::string& tip) override {
        nid_.uFlags = NIF_ICON | NIF_TIP;
        nid_.cbSize = NOTIFYICONDATAA_V1_SIZE;
        SetTip(tip);
        nid_.hIcon = IconHandle(icon);
        Shell_NotifyIconA(NIM_MODIFY, &nid_);
    }

    void TrayIconDelete() override {
        nid_.cbSize = NOTIFYICONDATAA_V1_SIZE;
        nid_.hWnd = hwnd_;
        nid_.uID = kTrayIconId;
        Shell_NotifyIconA(NIM_DELETE, &nid_);
    }

    void EnablePollTimer(bool on) override {
#ifdef RW_TEST_WITHOUT_POLLING
        // Test variant: the shell and external notifications act alone.
        on = false;
#endif
        if (on)
            SetTimer(hwnd_, kPollTimerId, kPollIntervalMs, nullptr);
        else
            KillTimer(hwnd_, kPollTimerId);
    }

    void ShowPopupMenu() override {
        CheckMenuItem(mnuPop_, kMnuActive, MF_BYCOMMAND | (watcher_.Active() ? MF_CHECKED : MF_UNCHECKED));
        POINT pt{};
        GetCursorPos(&pt);
        UINT chosen = static_cast<UINT>(TrackPopupMenu(mnuPop_, TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY,
                                                       pt.x, pt.y, 0, hwnd_, nullptr));
        // Lets the menu close properly when the user clicks elsewhere.
        PostMessageA(hwnd_, WM_NULL, 0, 0);
        if (closePending_) return;  // the program ends: nothing more opens
        switch (chosen) {
            case kMnuAbout:
                ShowAbout();
                break;
            case kMnuSettings:
                watcher_.ShowList([this] { ShowItemList(); });
                break;
            case kMnuActive:
                watcher_.ToggleActive();
                break;
            case kMnuClose:
                // Closed once the icon handler has returned.
                PostMessageA(hwnd_, WM_CLOSE, 0, 0);
                break;
            default:
                break;
        }
    }

private:
    // The settings windows, modal, while the menu's hold on the watcher
    // lasts (they run inside ShowPopupMenu). Their captions and texts turn
    // into the ANSI code page here, once; everything else they show is ANSI
    // already.
    void ShowItemList() {
        ItemListServices s = ProgramItemListServices(gItems);
        s.addCaption = Utf8ToAnsi(s.addCaption);
        s.editCaption = Utf8ToAnsi(s.editCaption);
        s.texts = win32ui::ToAnsi(s.texts);
        const ItemEditorTexts editorTexts = win32ui::ToAnsi(ItemEditorTextsFor(App.UseEnglish));
        SystemWindowFacts facts;
        win32ui::ItemListDialog window(gItems, CurItem, s, [&](HWND owner, const std::string& caption) {
            win32ui::ItemEditorDialog editor(CurItem, KeyNames, facts, editorTexts);
            editor.Run(owner, caption);
        });
        window.Run(hwnd_);
    }

    void ShowAbout() {
        AboutServices s = ProgramAboutServices([](const std::string& url) {
            ShellExecuteA(nullptr, "open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
        });
        s.texts = win32ui::ToAnsi(s.texts);
        win32ui::AboutDialog window(s);
        window.Run(hwnd_);
    }

    void SetTip(const std::string& tip) {
        std::memset(nid_.szTip, 0, sizeof nid_.szTip);
        std::strncpy(nid_.szTip, tip.c_str(), 63);
    }

    HICON IconHandle(Icon icon) const { return icon == Icon::On ? imgOKonIcon_ : imgOKoffIcon_; }

    void BuildMenu() {
        const MenuCaptions c = GetMenuCaptions(App.UseEnglish);
        mnuPop_ = CreatePopupMenu();
        AppendMenuA(mnuPop_, MF_STRING, kMnuAbout, Utf8ToAnsi(c.about).c_str());
        AppendMenuA(mnuPop_, MF_STRING, kMnuSettings, Utf8ToAnsi(c.settings).c_str());
        AppendMenuA(mnuPop_, MF_SEPARATOR, 0, nullptr);
        AppendMenuA(mnuPop_, MF_STRING | MF_CHECKED, kMnuActive, Utf8ToAnsi(c.active).c_str());
        AppendMenuA(mnuPop_, MF_SEPARATOR, 0, nullptr);
        AppendMenuA(mnuPop_, MF_STRING, kMnuClose, Utf8ToAnsi(c.close).c_str());
    }

    void Hook() {
        shellHookMsg_ = RegisterWindowMessageA("SHELLHOOK");
        if (App.OsVersion.MajorVersion >= 5) {
            RegisterShellHookWindow(hwnd_);
        } else if (auto reg = OldShellHookRegistration()) {
            reg(hwnd_, 1);
        }
        oldWndProc_ = SetWindowLongPtrA(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(MainWndProc));
    }

    void Unhook() {
        if (oldWndProc_ == 0) return;
        SetWindowLongPtrA(hwnd_, GWLP_WNDPROC, oldWndProc_);
        oldWndProc_ = 0;
        if (App.OsVersion.MajorVersion >= 5) {
            DeregisterShellHookWindow(hwnd_);
        } else if (auto reg = OldShellHookRegistration()) {
            reg(hwnd_, 0);
        }
    }

    // Close, log-off and shut-down all end the program this way, once.
    void Shutdown() {
        if (closed_) return;
        closed_ = true;
        Unhook();
        EnablePollTimer(false);
        watcher_.Close();  // end line, settings file, icon removed
    }

    // The subclass installed by Hook: shell notifications and the shell's
    // restart; everything goes on to the form's own procedure.
    static LRESULT CALLBACK MainWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        MainForm& f = *gForm;
        const LONG_PTR old = f.oldWndProc_;
        // A registration that failed leaves 0, which must not catch WM_NULL.
        if (msg == f.taskbarCreatedMsg_ && msg != 0) {
            f.watcher_.OnTaskbarCreated();
        } else if (msg == f.shellHookMsg_ && msg != 0) {
            f.watcher_.OnShellHook(static_cast<std::uint32_t>(wParam), FromHwnd(reinterpret_cast<HWND>(lParam)));
        }
        if (old == 0) return DefWindowProcA(hwnd, msg, wParam, lParam);
        return CallWindowProcA(reinterpret_cast<WNDPROC>(old), hwnd, msg, wParam, lParam);
    }

    // The form's own window procedure.
    static LRESULT CALLBACK FormProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        MainForm* f = gForm;
        if (f && f->hwnd_ == hwnd) {
            switch (msg) {
                case WM_TIMER:
                    if (wParam == kPollTimerId) f->watcher_.OnPollTimer();
                    return 0;
                case WM_MOUSEMOVE:
                    // The icon's callback: the mouse message in lParam.
                    f->watcher_.OnIconNotification(static_cast<std::uint32_t>(lParam));
                    if (f->closePending_ && !f->watcher_.PopupMenuOpen()) {
                        f->closePending_ = false;
                        PostMessageA(hwnd, WM_CLOSE, 0, 0);
                    }
                    return 0;
                case WM_CLOSE:
                    if (f->watcher_.PopupMenuOpen()) {
                        // We are inside the icon's handler (its menu, or a
                        // settings window opened from it): the menu and the
                        // windows close as by Cancel, and the program ends
                        // once the handler has returned.
                        f->closePending_ = true;
                        EndMenu();
                        win32ui::CancelOpenWindows();
                        return 0;
                    }
                    f->Shutdown();
                    DestroyWindow(hwnd);
                    return 0;
                case WM_QUERYENDSESSION:
                    return TRUE;  // closing is never refused
                case WM_ENDSESSION:
                    // The process may be ended as soon as this returns.
                    if (wParam) f->Shutdown();
                    return 0;
                case WM_DESTROY:
                    f->Shutdown();
                    PostQuitMessage(0);
                    return 0;
                default:
                    break;
            }
        }
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }

    // picCBTHook: another program names a new window by sending a mouse
    // move whose coordinates carry the handle's two 16-bit halves.
    static LRESULT CALLBACK HookProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        if (msg == WM_MOUSEMOVE && gForm) {
            const auto x = static_cast<std::int32_t>(LOWORD(lParam));
            const auto y = static_cast<std::int32_t>(HIWORD(lParam));
            gForm->watcher_.OnExternalNotify(x, y);
            return 0;
        }
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }

    HINSTANCE instance_;
    Watcher watcher_;
    HWND hwnd_ = nullptr;
    HWND picCBTHook_ = nullptr;
    HICON imgOKonIcon_ = nullptr;
    HICON imgOKoffIcon_ = nullptr;
    HMENU mnuPop_ = nullptr;
    LONG_PTR oldWndProc_ = 0;
    UINT shellHookMsg_ = 0;
    UINT taskbarCreatedMsg_ = 0;
    NOTIFYICONDATAA nid_{};
    bool closed_ = false;
    // Close asked for while the icon's handler runs: done once it returns.
    bool closePending_ = false;
};

}  // namespace
}  // namespace rw

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // A second start ends at once, without a trace.
    HANDLE mutex = CreateMutexA(nullptr, FALSE, rw::kInstanceMutex);
    if (mutex && GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        return 0;
    }

    // The settings windows' controls, the version 6 ones the manifest asks for.
    INITCOMMONCONTROLSEX icc{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);

    static rw::win32::Win32Platform platform;
    rw::SetPlatform(&platform.roles);
    rw::InitApp();

    static rw::MainForm form(instance);
    rw::gForm = &form;
    if (!form.Create()) return 1;

    MSG m;
    while (GetMessageA(&m, nullptr, 0, 0) > 0) {
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
    if (mutex) CloseHandle(mutex);
    return 0;
}
