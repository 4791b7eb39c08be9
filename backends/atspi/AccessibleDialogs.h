// The Dialogs role of window systems whose toolkits draw their controls
// themselves (X11, Wayland): a dialog's message text and its buttons, read
// and pressed through the accessibility bridge. The dialog's accessible is
// found by the facts of its window that the Windows role gives: its
// process, its title and its outer rectangle.
#pragma once

#include <initializer_list>
#include <string>

#include "AccessibilityBridge.h"
#include "platform/Dialogs.h"
#include "platform/Windows.h"

namespace rw::atspi {

class AccessibleDialogs final : public Dialogs {
public:
    explicit AccessibleDialogs(Windows& windows) : windows_(windows) {}

    // The first label's text (a label of fewer than 4 bytes: the node after
    // it, whatever its kind), at most 259 bytes; empty when the window has
    // none or cannot be read. A window whose program has not registered on
    // the accessibility bus yet is looked at again for a moment (see
    // AccessibilityBridge::TextNodesOnceReady): a dialog in front before
    // its program registered is read, not taken for one without text.
    std::string GetDialogText(WinHandle dialog) override;
    // Presses the button of the first dialog control id, in the order given,
    // that the dialog has, found in one walk; never a button of a window
    // that has taken over the dialog's handle meanwhile. The id pressed, 0
    // when none was.
    int PressDialogButton(WinHandle dialog, std::initializer_list<int> ids) override;

private:
    // The window as the bridge looks for it; false when it has no process
    // or no rectangle (gone, or not a managed window).
    bool Describe(WinHandle w, AccWindow& window);

    Windows& windows_;
    AccessibilityBridge bridge_;
};

}  // namespace rw::atspi
