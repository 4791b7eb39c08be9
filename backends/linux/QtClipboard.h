// The clipboard as plain text, through Qt's clipboard: Qt answers the
// selection requests of other programs for as long as the program runs, on
// any window system Qt runs on.
#pragma once

#include <string>

#include "platform/Clipboard.h"

namespace rw::lnx {

class QtClipboard final : public Clipboard {
public:
    // Each is false when there is no clipboard (no Qt application).
    bool ClipboardGetText(std::string& text) override;
    bool ClipboardEmpty() override;
    bool ClipboardSetText(const std::string& text) override;
};

}  // namespace rw::lnx
