// The clipboard, as plain text.
#pragma once

#include <string>

namespace rw {

class Clipboard {
public:
    virtual ~Clipboard() = default;
    virtual bool ClipboardGetText(std::string& text) = 0;
    virtual bool ClipboardEmpty() = 0;
    virtual bool ClipboardSetText(const std::string& text) = 0;
};

}  // namespace rw
