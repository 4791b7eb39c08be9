// What the three settings windows share: a dialog built from an in-memory
// template, run modally over its owner on a message loop of its own (so a
// window can see keys before its controls do), controls placed in pixels,
// tooltips, and sizes laid out in twips or 96-dpi pixels scaled to the
// system's dots per inch.
#pragma once

#include "backends/win32/Win32Api.h"
#include "ui/Layouts.h"
#include <commctrl.h>

#include <string>
#include <vector>

namespace rw::win32ui {

// Twips (1/1440 inch) to pixels of this screen.
int TwipsX(int twips);
int TwipsY(int twips);
// Pixels as laid out at 96 dots per inch to pixels of this screen.
int Px96(int px);

struct Box {
    int x = 0, y = 0, w = 0, h = 0;
};
Box TwipsBox(int left, int top, int width, int height);
Box Px96Box(int left, int top, int width, int height);
Box TwipsBox(const layout::Box& b);
Box Px96Box(const layout::Box& b);

// Ends every settings window that is open now as its Cancel would, the
// innermost first (the program is about to end).
void CancelOpenWindows();

class DialogWindow {
public:
    DialogWindow() = default;
    virtual ~DialogWindow();
    DialogWindow(const DialogWindow&) = delete;
    DialogWindow& operator=(const DialogWindow&) = delete;

    // Shows the window with this client size (already in screen pixels),
    // topmost and modal over owner (which may be none), and returns once
    // EndModal has been called.
    void RunModal(HWND owner, const std::string& caption, int clientWidth, int clientHeight);
    HWND Hwnd() const { return hwnd_; }

protected:
    // Creates the controls; the dialog exists and has its final size.
    virtual void OnInit() = 0;
    // Esc, the close box, and the end of the program.
    virtual void OnCancel() = 0;
    virtual void OnCommand(int id, int code, HWND control) = 0;
    // Any other message; true when handled, with the result in result.
    virtual bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, INT_PTR& result);
    // Sees each message of the window's loop first; true swallows it.
    virtual bool PreviewMessage(const MSG& m);
    // Where the window goes once it has its size: centred on the screen
    // unless a window says otherwise.
    virtual void Place();

    // Hides the window and ends its loop; the owner is enabled again first,
    // so the activation goes back to it.
    void EndModal();
    bool Ending() const { return ending_; }

    HWND AddControl(const char* cls, const std::string& text, DWORD style, DWORD exStyle, int id, const Box& where);
    HWND Item(int id) const { return GetDlgItem(hwnd_, id); }
    // A tooltip for a control; rect tools on the dialog itself cover the
    // control while it is disabled (a disabled control gets no mouse
    // messages of its own).
    void AddTip(HWND control, const std::string& text, bool alsoWhenDisabled = false);
    // The window's font (the dialog font, "MS Shell Dlg" 8 points).
    HFONT Font() const { return font_; }
    void CentreOver(HWND other);
    void CentreOnScreen();

    HINSTANCE instance_ = GetModuleHandleA(nullptr);

private:
    static INT_PTR CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    INT_PTR Handle(UINT msg, WPARAM wParam, LPARAM lParam);

    HWND hwnd_ = nullptr;
    HWND owner_ = nullptr;
    HWND tips_ = nullptr;
    HFONT font_ = nullptr;
    std::string caption_;
    int clientWidth_ = 0;
    int clientHeight_ = 0;
    bool ending_ = false;
    bool ownerDisabled_ = false;
};

}  // namespace rw::win32ui
