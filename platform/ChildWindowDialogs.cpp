#include "platform/Dialogs.h"

namespace rw {

std::string ChildWindowDialogs::GetDialogText(WinHandle dialog) {
    if (dialog == 0) return {};
    WinHandle c = children_.GetFirstChild(dialog);
    // The class comparison is exact: a text control whose class differs in
    // letter case is not taken.
    while (c != 0 && windows_.GetClassName(c) != "Static") c = children_.GetNextSibling(c);
    if (c == 0) return {};
    // A message box's first static is its icon (no text) or a short label;
    // the message then sits in the control after it, whatever its class.
    if (windows_.GetWindowText(c).size() < 4) c = children_.GetNextSibling(c);
    return c == 0 ? std::string() : windows_.GetWindowText(c);
}

int ChildWindowDialogs::PressDialogButton(WinHandle dialog, std::initializer_list<int> ids) {
    if (dialog == 0) return 0;
    for (int id : ids) {
        const WinHandle button = children_.GetDlgItem(dialog, id);
        if (button == 0) continue;
        return children_.PostCommand(dialog, id, button) ? id : 0;
    }
    return 0;
}

}  // namespace rw
