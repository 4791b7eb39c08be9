// What the logic asks of a dialog: its message text and its buttons.
//
// On Windows a dialog's controls are child windows, and ChildWindowDialogs
// answers from them by the program's own rules (portable, so tests drive it
// on the fake). Window systems without child windows for controls (X11)
// answer from what they have, in one pass.
#pragma once

#include <initializer_list>
#include <string>

#include "platform/Types.h"
#include "platform/Windows.h"

namespace rw {

// Dialog-button ids, as Windows message boxes number their buttons.
namespace button {
constexpr int Ok = 1;
constexpr int Cancel = 2;
constexpr int Retry = 4;
constexpr int Ignore = 5;
constexpr int Yes = 6;
constexpr int No = 7;
}  // namespace button

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // The message text of a dialog, at most 259 bytes; empty when the window
    // has none.
    virtual std::string GetDialogText(WinHandle dialog) = 0;
    // Clicks the first of the buttons (by id, in the order given) that the
    // dialog has. The id clicked; 0 when it has none of them or the click
    // could not be sent.
    virtual int PressDialogButton(WinHandle dialog, std::initializer_list<int> ids) = 0;
};

// Child windows of a dialog, where the window system has them (Windows).
class ChildWindows {
public:
    virtual ~ChildWindows() = default;
    virtual WinHandle GetFirstChild(WinHandle w) = 0;
    virtual WinHandle GetNextSibling(WinHandle w) = 0;
    // Child control of a dialog by control id; 0 if none.
    virtual WinHandle GetDlgItem(WinHandle dialog, int id) = 0;
    // Queues a button click of a dialog (WM_COMMAND with the id, lParam the
    // button).
    virtual bool PostCommand(WinHandle dialog, int id, WinHandle button) = 0;
};

// The dialogs role of a window system whose controls are child windows.
class ChildWindowDialogs final : public Dialogs {
public:
    ChildWindowDialogs(Windows& windows, ChildWindows& children) : windows_(windows), children_(children) {}
    // The first child of class "Static" (exactly); when its text is shorter
    // than 4 bytes (an icon, a short label) the control after it, whatever
    // its class.
    std::string GetDialogText(WinHandle dialog) override;
    // The first id the dialog has a child for; the click is a posted
    // WM_COMMAND, never a mouse click, and the caption is never read.
    int PressDialogButton(WinHandle dialog, std::initializer_list<int> ids) override;

private:
    Windows& windows_;
    ChildWindows& children_;
};

}  // namespace rw
