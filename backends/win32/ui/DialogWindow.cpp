#include "backends/win32/ui/DialogWindow.h"

#include <algorithm>
#include <cmath>

#include "base/AppValues.h"

namespace rw::win32ui {

namespace {

int Scale(int twips, int perPixel) {
    if (perPixel <= 0) perPixel = 15;
    return static_cast<int>(std::lround(static_cast<double>(twips) / perPixel));
}

// The windows open now, the innermost last.
std::vector<DialogWindow*>& OpenWindows() {
    static std::vector<DialogWindow*> open;
    return open;
}

constexpr UINT kDpiChanged = 0x02E0;  // WM_DPICHANGED

constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_FIXEDSYS;
constexpr DWORD kExStyle = WS_EX_TOPMOST | WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;

// An extended dialog template without controls: the windows create theirs
// in pixels, which dialog units (tied to the font) cannot express. The
// caption is set afterwards as ANSI text.
std::vector<WORD> EmptyTemplate() {
    std::vector<WORD> t;
    auto word = [&t](WORD w) { t.push_back(w); };
    auto dword = [&](DWORD d) {
        word(LOWORD(d));
        word(HIWORD(d));
    };
    word(1);       // dlgVer
    word(0xFFFF);  // signature: DLGTEMPLATEEX
    dword(0);      // helpID
    dword(kExStyle);
    dword(kStyle);
    word(0);                               // no controls
    word(0), word(0), word(10), word(10);  // x, y, cx, cy: sized in pixels later
    word(0);                               // no menu
    word(0);                               // the dialog class
    word(0);                               // empty title
    word(8);                               // point size
    word(FW_NORMAL);
    word(MAKEWORD(FALSE, DEFAULT_CHARSET));  // italic, charset
    for (const wchar_t* f = L"MS Shell Dlg"; *f; ++f) word(static_cast<WORD>(*f));
    word(0);
    return t;
}

RECT WorkAreaOf(HWND w) {
    MONITORINFO mi{};
    mi.cbSize = sizeof mi;
    HMONITOR m = MonitorFromWindow(w, MONITOR_DEFAULTTONEAREST);
    if (m && GetMonitorInfoA(m, &mi)) return mi.rcWork;
    RECT r{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    return r;
}

}  // namespace

int TwipsX(int twips) { return Scale(twips, App.TwipsPerPixelX); }
int TwipsY(int twips) { return Scale(twips, App.TwipsPerPixelY); }
int Px96(int px) { return Scale(px * 15, App.TwipsPerPixelX); }

Box TwipsBox(int left, int top, int width, int height) {
    return {TwipsX(left), TwipsY(top), TwipsX(width), TwipsY(height)};
}
Box TwipsBox(const layout::Box& b) { return TwipsBox(b.x, b.y, b.w, b.h); }
Box Px96Box(const layout::Box& b) { return Px96Box(b.x, b.y, b.w, b.h); }

Box Px96Box(int left, int top, int width, int height) { return {Px96(left), Px96(top), Px96(width), Px96(height)}; }

void CancelOpenWindows() {
    // A copy: cancelling may end a loop, which takes its window off the list.
    std::vector<DialogWindow*> open = OpenWindows();
    for (auto it = open.rbegin(); it != open.rend(); ++it) {
        HWND h = (*it)->Hwnd();
        if (h) PostMessageA(h, WM_CLOSE, 0, 0);
    }
}

DialogWindow::~DialogWindow() {
    if (hwnd_ && IsWindow(hwnd_)) DestroyWindow(hwnd_);
}

void DialogWindow::RunModal(HWND owner, const std::string& caption, int clientWidth, int clientHeight) {
    owner_ = owner;
    caption_ = caption;
    clientWidth_ = clientWidth;
    clientHeight_ = clientHeight;
    ending_ = false;
    const std::vector<WORD> t = EmptyTemplate();
    HWND h = CreateDialogIndirectParamA(instance_, reinterpret_cast<LPCDLGTEMPLATEA>(t.data()), owner, Proc,
                                        reinterpret_cast<LPARAM>(this));
    if (!h) return;
    auto& open = OpenWindows();
    open.push_back(this);
    if (owner && IsWindowEnabled(owner)) {
        EnableWindow(owner, FALSE);
        ownerDisabled_ = true;
    }
    ShowWindow(h, SW_SHOW);
    SetForegroundWindow(h);

    bool quit = false;
    WPARAM quitCode = 0;
    MSG m;
    while (!ending_ && IsWindow(h)) {
        const BOOL got = GetMessageA(&m, nullptr, 0, 0);
        if (got == -1) break;
        if (got == 0) {
            // The program ends: the window closes as by Cancel, and the quit
            // goes on to the loop outside.
            quit = true;
            quitCode = m.wParam;
            if (!ending_) OnCancel();
            break;
        }
        if (PreviewMessage(m)) continue;
        if (IsDialogMessageA(h, &m)) continue;
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
    if (ownerDisabled_) {
        EnableWindow(owner_, TRUE);
        ownerDisabled_ = false;
    }
    if (IsWindow(h)) DestroyWindow(h);
    hwnd_ = nullptr;
    open.erase(std::remove(open.begin(), open.end(), this), open.end());
    if (tips_ && IsWindow(tips_)) DestroyWindow(tips_);
    tips_ = nullptr;
    if (quit) PostQuitMessage(static_cast<int>(quitCode));
}

void DialogWindow::EndModal() {
    if (ending_) return;
    ending_ = true;
    if (ownerDisabled_) {
        EnableWindow(owner_, TRUE);
        ownerDisabled_ = false;
    }
    if (hwnd_) ShowWindow(hwnd_, SW_HIDE);
}

bool DialogWindow::OnMessage(UINT, WPARAM, LPARAM, INT_PTR&) { return false; }
bool DialogWindow::PreviewMessage(const MSG&) { return false; }
void DialogWindow::Place() { CentreOnScreen(); }

void DialogWindow::CentreOnScreen() {
    RECT wa = WorkAreaOf(hwnd_);
    RECT r{};
    GetWindowRect(hwnd_, &r);
    const int w = r.right - r.left, h = r.bottom - r.top;
    SetWindowPos(hwnd_, nullptr, wa.left + (wa.right - wa.left - w) / 2, wa.top + (wa.bottom - wa.top - h) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void DialogWindow::CentreOver(HWND other) {
    if (!other || !IsWindowVisible(other)) {
        CentreOnScreen();
        return;
    }
    RECT o{}, r{};
    GetWindowRect(other, &o);
    GetWindowRect(hwnd_, &r);
    const int w = r.right - r.left, h = r.bottom - r.top;
    int x = o.left + (o.right - o.left - w) / 2;
    int y = o.top + (o.bottom - o.top - h) / 2;
    // Never partly off the screen the owner is on.
    const RECT wa = WorkAreaOf(other);
    x = std::max(static_cast<int>(wa.left), std::min(x, static_cast<int>(wa.right) - w));
    y = std::max(static_cast<int>(wa.top), std::min(y, static_cast<int>(wa.bottom) - h));
    SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

HWND DialogWindow::AddControl(const char* cls, const std::string& text, DWORD style, DWORD exStyle, int id,
                              const Box& where) {
    HWND c = CreateWindowExA(exStyle, cls, text.c_str(), WS_CHILD | WS_VISIBLE | style, where.x, where.y, where.w,
                             where.h, hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, nullptr);
    if (c && font_) SendMessageA(c, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    return c;
}

void DialogWindow::AddTip(HWND control, const std::string& text, bool alsoWhenDisabled) {
    if (!control) return;
    if (!tips_) {
        tips_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, instance_,
                                nullptr);
        if (!tips_) return;
        // Long tips wrap instead of running across the screen.
        SendMessageA(tips_, TTM_SETMAXTIPWIDTH, 0, Px96(320));
    }
    TOOLINFOA ti{};
    // The size every version of the common controls accepts.
    ti.cbSize = TTTOOLINFOA_V2_SIZE;
    ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    ti.hwnd = hwnd_;
    ti.uId = reinterpret_cast<UINT_PTR>(control);
    ti.lpszText = const_cast<char*>(text.c_str());  // the tooltip keeps a copy
    SendMessageA(tips_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
    if (!alsoWhenDisabled) return;
    TOOLINFOA area{};
    area.cbSize = TTTOOLINFOA_V2_SIZE;
    area.uFlags = TTF_SUBCLASS;
    area.hwnd = hwnd_;
    area.uId = static_cast<UINT_PTR>(GetDlgCtrlID(control));
    GetWindowRect(control, &area.rect);
    MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&area.rect), 2);
    area.lpszText = const_cast<char*>(text.c_str());
    SendMessageA(tips_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&area));
}

INT_PTR CALLBACK DialogWindow::Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<DialogWindow*>(GetWindowLongPtrA(hwnd, DWLP_USER));
    if (msg == WM_INITDIALOG) {
        self = reinterpret_cast<DialogWindow*>(lParam);
        SetWindowLongPtrA(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
        self->hwnd_ = hwnd;
    }
    if (!self) return FALSE;
    return self->Handle(msg, wParam, lParam);
}

INT_PTR DialogWindow::Handle(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_INITDIALOG: {
            font_ = reinterpret_cast<HFONT>(SendMessageA(hwnd_, WM_GETFONT, 0, 0));
            SetWindowTextA(hwnd_, caption_.c_str());
            RECT r{0, 0, clientWidth_, clientHeight_};
            AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongA(hwnd_, GWL_STYLE)), FALSE,
                               static_cast<DWORD>(GetWindowLongA(hwnd_, GWL_EXSTYLE)));
            SetWindowPos(hwnd_, HWND_TOPMOST, 0, 0, r.right - r.left, r.bottom - r.top, SWP_NOMOVE | SWP_NOACTIVATE);
            OnInit();
            Place();
            return FALSE;  // OnInit has set the focus
        }
        case WM_CLOSE:
            if (!ending_) OnCancel();
            return TRUE;
        case kDpiChanged: {
            // Moved onto a monitor with another scale: the controls were
            // placed in pixels for the scale the window opened with, so the
            // window keeps its size (the dialog manager's own rescaling would
            // grow the frame around controls that stay as they are) and
            // only takes the place the system suggests.
            const auto* r = reinterpret_cast<const RECT*>(lParam);
            if (r)
                SetWindowPos(hwnd_, nullptr, r->left, r->top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            SetWindowLongPtrA(hwnd_, DWLP_MSGRESULT, 0);
            return TRUE;
        }
        case WM_COMMAND:
            if (LOWORD(wParam) == IDCANCEL) {
                if (!ending_) OnCancel();
                return TRUE;
            }
            OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
            return TRUE;
        default: {
            INT_PTR result = FALSE;
            if (OnMessage(msg, wParam, lParam, result)) {
                // Messages whose answer is not the procedure's return value
                // take it through DWLP_MSGRESULT.
                switch (msg) {
                    case WM_CTLCOLOREDIT:
                    case WM_CTLCOLORSTATIC:
                    case WM_CTLCOLORLISTBOX:
                    case WM_CTLCOLORBTN:
                    case WM_CTLCOLORDLG:
                    case WM_COMPAREITEM:
                    case WM_VKEYTOITEM:
                    case WM_CHARTOITEM:
                    case WM_QUERYDRAGICON:
                    case WM_INITDIALOG:
                        return result;
                    default:
                        SetWindowLongPtrA(hwnd_, DWLP_MSGRESULT, result);
                        return TRUE;
                }
            }
            return FALSE;
        }
    }
}

}  // namespace rw::win32ui
