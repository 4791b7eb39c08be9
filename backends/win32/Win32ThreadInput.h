// Another thread's input state, borrowed for a moment. Windows gives every
// thread its own: the keyboard focus and the key state of the program in
// front are visible only to a thread attached to its input, and only the
// foreground's owner (or a thread attached to it) may hand the foreground
// on. The attachment never outlives the scope.
#pragma once

#include "backends/win32/Win32Api.h"

namespace rw::win32 {

// The thread that created a window; 0 for none.
DWORD WindowThread(HWND w);

class SharedThreadInput {
public:
    // Attaches the input of thread `from` to that of `to`; nothing when they
    // are the same thread or either is unknown (0).
    SharedThreadInput(DWORD from, DWORD to);
    // Detaches them again.
    ~SharedThreadInput();
    SharedThreadInput(const SharedThreadInput&) = delete;
    SharedThreadInput& operator=(const SharedThreadInput&) = delete;

private:
    DWORD from_;
    DWORD to_;
    bool active_;
    // The foreground window before the attachment, restored under Wine.
    HWND foregroundBefore_ = nullptr;
};

}  // namespace rw::win32
