// The clipboard as plain text, through Qt's clipboard: Qt answers the
// selection requests of other programs for as long as the program runs,
// which the backend's own connection has no event loop for.
#pragma once

#include <string>

namespace rw::x11 {

class X11Clipboard {
public:
    // False when there is no clipboard (no Qt application).
    bool GetText(std::string& text);
    bool Empty();
    bool SetText(const std::string& text);
};

}  // namespace rw::x11
