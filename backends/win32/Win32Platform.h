// The Win32 backend (the A functions, ANSI text), one class per role:
//   Win32Files       Files       (the file API)
//   Win32Facts       SystemFacts (program, system, screen, string table)
//   Win32Clock       Clock       (tick count, Sleep, timer resolution)
//   Win32Clipboard   Clipboard   (CF_TEXT)
//   Win32Windows     Windows and ChildWindows (window queries, foreground,
//                    focus, commands)
//   Win32Processes   Processes   (priority, module paths, 16-bit tasks)
//   Win32Input       Input       (WM_CHAR, keybd_event, key state, layout)
//   ChildWindowDialogs  Dialogs, on the child windows.
// Beside them Win32Posts (posted messages and the programs that refused
// one) and SharedThreadInput (another thread's input state, borrowed).
#pragma once

#include "backends/win32/Win32Clipboard.h"
#include "backends/win32/Win32Clock.h"
#include "backends/win32/Win32Facts.h"
#include "backends/win32/Win32Files.h"
#include "backends/win32/Win32Input.h"
#include "backends/win32/Win32Posts.h"
#include "backends/win32/Win32Processes.h"
#include "backends/win32/Win32Windows.h"
#include "platform/Platform.h"

namespace rw::win32 {

struct Win32Platform {
    Win32Platform() = default;
    Win32Platform(const Win32Platform&) = delete;
    Win32Platform& operator=(const Win32Platform&) = delete;

    // Shared by the roles that post messages; built before them.
    Win32Posts posts;

    Win32Files files;
    Win32Facts facts;
    Win32Clock clock;
    Win32Clipboard clipboard;
    Win32Windows windows{posts};
    Win32Processes processes;
    Win32Input input{posts};
    ChildWindowDialogs dialogs{windows, windows};

    // The roles to install with SetPlatform.
    const Platform roles{files, facts, clock, clipboard, windows, processes, input, dialogs};
};

}  // namespace rw::win32
