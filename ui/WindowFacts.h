// What the item editor's search tool learns about the window under the
// pointer, or, where no program can see what lies under the pointer, about
// the window the user brings to the front.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Types.h"

namespace rw {

class WindowFacts {
public:
    virtual ~WindowFacts() = default;
    virtual WinHandle WindowAt(std::int32_t x, std::int32_t y) = 0;
    // Whether WindowAt works; where it does not, the search tool captures
    // the window that comes to the front instead.
    virtual bool PointerFindsWindows() { return true; }
    virtual WinHandle Foreground() { return 0; }
    // The captioned window a window belongs to (GetCaptionWin).
    virtual WinHandle CaptionWindowOf(WinHandle w) = 0;
    virtual std::string Title(WinHandle w) = 0;
    virtual std::string ClassName(WinHandle w) = 0;
    virtual std::string DialogText(WinHandle w) = 0;
    virtual std::string Module(WinHandle w) = 0;
    virtual Rect Bounds(WinHandle w) = 0;
};

// The facts as the window services and the module lookup give them.
class SystemWindowFacts final : public WindowFacts {
public:
    WinHandle WindowAt(std::int32_t x, std::int32_t y) override;
    bool PointerFindsWindows() override;
    WinHandle Foreground() override;
    WinHandle CaptionWindowOf(WinHandle w) override;
    std::string Title(WinHandle w) override;
    std::string ClassName(WinHandle w) override;
    std::string DialogText(WinHandle w) override;
    std::string Module(WinHandle w) override;
    Rect Bounds(WinHandle w) override;
};

}  // namespace rw
