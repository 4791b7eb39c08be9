// The Clipboard role on Win32: CF_TEXT, in the ANSI code page.
#pragma once

#include "platform/Clipboard.h"

namespace rw::win32 {

class Win32Clipboard final : public Clipboard {
public:
    // True with empty text when the clipboard holds no text.
    bool ClipboardGetText(std::string& text) override;
    bool ClipboardEmpty() override;
    bool ClipboardSetText(const std::string& text) override;
};

}  // namespace rw::win32
