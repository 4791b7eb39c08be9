// Controls inside X11 top-level windows.
//
// X11 toolkits draw their controls themselves: a dialog has no child windows
// for its labels and buttons. A provider (the accessibility layer) can stand
// in for them with pseudo handles: values with one of the top three bits set,
// which no X resource id ever has. The X11 platform asks the provider for the
// children of a window and for everything about a pseudo handle; without a
// provider a window has no children and no dialog button can be pressed.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Platform.h"

namespace rw::x11 {

// X resource ids use 29 bits; handles above them belong to a provider.
constexpr WinHandle kPseudoHandleMask = 0xE0000000u;
inline bool IsPseudoHandle(WinHandle h) { return (h & kPseudoHandleMask) != 0; }

class ChildProvider {
public:
    virtual ~ChildProvider() = default;
    // First child of a window or of a pseudo node, 0 if none.
    virtual WinHandle FirstChild(WinHandle parent) = 0;
    virtual WinHandle NextSibling(WinHandle node) = 0;
    // The control of a dialog that stands for a dialog control id (1 OK,
    // 2 Cancel, 4 Retry, 5 Ignore, 6 Yes, 7 No), 0 if none.
    virtual WinHandle DlgItem(WinHandle dialog, int id) = 0;
    // Facts of a pseudo node.
    virtual std::string Text(WinHandle node) = 0;
    virtual std::string ClassName(WinHandle node) = 0;
    virtual WinHandle Parent(WinHandle node) = 0;
    // Presses the button of a dialog; true when the press was carried out.
    virtual bool Press(WinHandle dialog, int id, WinHandle button) = 0;
};

}  // namespace rw::x11
