// The seam between Replywick's portable logic and a window system: small
// role interfaces, each named after what the logic expects of it. A backend
// implements each role in the subsystem that does the work (its windows
// file is the Windows role, its keyboard file the Input role, ...) and
// hands the set out as one Platform.
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

// The roles of the backend the program runs on.
struct Platform {
    Files& files;
    SystemFacts& facts;
    Clock& clock;
    Clipboard& clipboard;
    Windows& windows;
    Processes& processes;
    Input& input;
    Dialogs& dialogs;
};

// The backend the program runs on; set once at start-up (or by a test).
const Platform& Sys();
void SetPlatform(const Platform* platform);

}  // namespace rw
