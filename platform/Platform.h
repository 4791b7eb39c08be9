// The seam between Replywick's portable logic and a window system: small
// role interfaces, each named after what the logic expects of it, that a
// backend implements together. The Win32 backend maps most operations onto
// the API of the same name; the X11 backend onto EWMH, XTest, XKB and
// AT-SPI; the fake backend scripts them and records what it receives.
//
// Rules every backend follows:
//  - Window handles are opaque 32-bit values; 0 means none. Nothing throws.
//  - Texts are 8-bit: the ANSI code page on Windows, the locale's bytes
//    (UTF-8) on Linux. They are passed through unchanged.
//  - All waiting goes through the Clock, so tests run on virtual time.
#pragma once

#include "platform/Clipboard.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Files.h"
#include "platform/Input.h"
#include "platform/Keys.h"
#include "platform/SystemFacts.h"
#include "platform/Types.h"
#include "platform/Windows.h"

namespace rw {

class Platform : public Files,
                 public SystemFacts,
                 public Clock,
                 public Clipboard,
                 public Windows,
                 public Processes,
                 public Input,
                 public Dialogs {};

// A platform whose dialogs are child windows (Windows, the fake): its
// dialogs are answered by the portable child-window rules.
class ChildWindowPlatform : public Platform, public ChildWindows {
public:
    std::string GetDialogText(WinHandle dialog) override { return ChildWindowDialogs(*this, *this).Text(dialog); }
    int PressDialogButton(WinHandle dialog, std::initializer_list<int> ids) override {
        return ChildWindowDialogs(*this, *this).Press(dialog, ids);
    }
};

// The backend the program runs on; set once at start-up (or by a test).
Platform& Sys();
void SetPlatform(Platform* platform);

}  // namespace rw
